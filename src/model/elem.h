// The element tree: one CElem object per element of a loaded document, chosen
// by name through CreateElement. An element owns its children, its attribute
// map of specified values as text, its source location and, once prepared,
// its resolved properties and the typed fields its class reads from its
// attributes. The classes here are data: the layers above give them
// behaviour (the style layer resolves properties, the renderer prepares,
// draws and hit-tests them, dispatching on Class()).
//
// Threads: a tree is built and prepared on the loading thread; once its load
// has ended it is read-only, and any number of threads may read and draw it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/attribute_names.h"
#include "model/element_names.h"
#include "model/properties.h"
#include "values/keywords.h"
#include "values/matrix.h"
#include "values/path_geometry.h"
#include "values/rect.h"
#include "values/syntax.h"

namespace svg {

class CElemDocument;

// Attribute name to value, in the order the attributes were first set,
// which is the order the attribute grid shows. Known names are stored and
// found by their AttributeId; other names (foreign attributes) by their text.
// Overriding a document value keeps it as the previous value, so a `style`
// declaration that beats a presentation attribute leaves the attribute's own
// text visible. Every element has one: an entry is kept small, and the rare
// parts (foreign names, overridden values) live apart.
class CAttributeMap {
public:
    struct Entry {
        AttributeId id = AttributeId::Unknown;
        // 0 for attributes read from the document; copied when an element is cloned.
        unsigned char flag = 0;
        // For AttributeId::Unknown: 1 + the index of its name among the foreign names.
        std::uint32_t foreignName = 0;
        std::string value;
    };

    CAttributeMap() = default;
    CAttributeMap(const CAttributeMap& other);
    CAttributeMap& operator=(const CAttributeMap& other);
    CAttributeMap(CAttributeMap&&) noexcept = default;
    CAttributeMap& operator=(CAttributeMap&&) noexcept = default;
    ~CAttributeMap();

    void Set(std::string_view name, std::string value);
    void Set(AttributeId id, std::string value);
    const std::string* Value(AttributeId id) const;
    const std::string* Value(std::string_view name) const;
    // The document's value that a later one replaced; null when none was.
    const std::string* Previous(std::string_view name) const;
    bool Contains(AttributeId id) const { return Value(id) != nullptr; }
    bool Contains(std::string_view name) const { return Value(name) != nullptr; }
    bool Remove(AttributeId id);
    void Reserve(std::size_t count) { entries_.reserve(count); }
    std::string_view NameOf(const Entry& entry) const;

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    struct Rare {
        std::vector<std::string> foreignNames;
        std::vector<std::pair<std::size_t, std::string>> previous;  // entry index, value
    };

    void Store(AttributeId id, std::string_view foreignName, std::string value);
    const Entry* FindEntry(AttributeId id) const;
    const Entry* FindEntry(std::string_view name) const;
    Rare& RareParts();

    std::vector<Entry> entries_;
    std::unique_ptr<Rare> rare_;
};

// The class family. The kind mirrors the C++ class, so that code that must
// know the class dispatches on it without dynamic_cast chains.
enum class ElemClass : unsigned char {
    Elem,
    Container,
    Document,
    Image,
    Marker,
    Mask,
    Glyph,
    Paint,
    Gradient,
    Pattern,
    Shape,
    Text,
    ClipPath,
    Filter,
    FilterPrimitive,
    Font,
    AltGlyphDef,
    ColorProfile,
    String,
    Comment,
};

const char* ElemClassName(ElemClass kind);

enum class PrepState : unsigned char { NotPrepared = 0, BeingPrepared = 1, Prepared = 2 };

class CElem {
public:
    CElem(std::string name, CElem* parent);
    virtual ~CElem();
    CElem(const CElem&) = delete;
    CElem& operator=(const CElem&) = delete;

    virtual ElemClass Class() const { return ElemClass::Elem; }
    bool IsA(ElemClass kind) const;

    // --- Tree -------------------------------------------------------------
    const std::string& Name() const { return *name_; }
    ElementId Id() const { return elementId_; }
    CElem* Parent() { return parent_; }
    const CElem* Parent() const { return parent_; }
    // The children in document order, as CElem* (const CElem* for a const
    // element): `for (const CElem* child : elem.Children())`.
    auto Children()
    {
        return std::views::transform(children_, [](const std::unique_ptr<CElem>& c) { return c.get(); });
    }
    auto Children() const
    {
        return std::views::transform(children_,
                                     [](const std::unique_ptr<CElem>& c) -> const CElem* { return c.get(); });
    }
    std::size_t ChildCount() const { return children_.size(); }
    // Takes ownership and returns the child.
    CElem* AppendChild(std::unique_ptr<CElem> child);
    CElemDocument* Document();
    const CElemDocument* Document() const;
    // True when this element or an ancestor has the given name.
    bool HasAncestorOrSelfNamed(ElementId element) const;

    // --- Attributes -------------------------------------------------------
    // The value stored under `attribute`; "inherit" always continues at the parent,
    // a missing value only when `inherited` is true. Null when none is found.
    const std::string* GetAttribute(AttributeId attribute, bool inherited) const;
    // GetAttribute for colour properties: "currentColor" gives the resolved
    // `color` of this element.
    const std::string* GetColorAttribute(AttributeId attribute, bool inherited) const;
    // The element's `id`, else its `xml:id`; empty without either.
    const std::string& IdAttribute() const;
    // Directory (ending in '/') that relative references of this element
    // resolve against, with xml:base applied.
    std::string BaseDirectory() const;
    // Concatenated text of all descendant character-data nodes.
    std::string TextContent() const;
    // The element's resolved font, x-height and viewport, for its lengths.
    LengthContext Lengths(float dpi) const;

    // --- Data -------------------------------------------------------------
    RectF region;
    RectF viewport;
    int line = 0;
    int column = 0;
    CAttributeMap attributes;
    // For an element cloned into a `use` instance: the element it was cloned from.
    const CElem* instanceSource = nullptr;
    // Resolved at the start of preparation.
    ResolvedProperties props;
    // Bounding boxes of the element with its graphics descendants: in its own
    // user space and in its parent's (after transform and viewBox); null
    // when it has no geometry. Computed once, after preparation.
    std::optional<RectF> bboxUser;
    std::optional<RectF> bboxParent;
    // What the element's drawing can touch, in its own user space (the
    // space of bboxUser): its geometry grown by the stroke's reach; null
    // when it draws nothing. Known only where that is cheap to tell
    // (shapes without markers and groups of them): elsewhere intermediate
    // surfaces cover the whole clip.
    std::optional<RectF> paintBoxUser;
    bool paintBoxKnown = false;
    bool boundsComputed = false;
    // This element or one of its descendants is drawn through a filter that
    // reads BackgroundImage or BackgroundAlpha: its containers must keep what
    // they have drawn. Computed with the bounds.
    bool readsBackground = false;
    // Shapes, `text`, images and containers other than symbol, mask and marker.
    bool graphicsElement = false;
    PrepState prepState = PrepState::NotPrepared;
    // Set when conditional processing excluded this element from rendering.
    bool excluded = false;

protected:
    void SetGraphicsElement(bool value) { graphicsElement = value; }

private:
    // Beside the flags above, where they fill what would be padding.
    ElementId elementId_;
    bool ownsName_ = false;
    // Shared by all elements of a known name (and by character data and
    // comments); owned, and deleted with the element, for other names.
    const std::string* name_;
    CElem* parent_;
    std::vector<std::unique_ptr<CElem>> children_;
};

// The `clip` property's rect(top, right, bottom, left), in user units from
// the top and left edges of a viewport; null where it says `auto` (that edge
// of the viewport).
struct ClipOffsets {
    std::optional<double> top, right, bottom, left;
};

// Viewports: svg, symbol and foreignObject, and the base of the elements
// that share their fields (image, marker, mask, glyph, paint servers).
class CElemContainer : public CElem {
public:
    CElemContainer(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Container; }

    // Viewport of svg and symbol: region is the viewport in the parent's user
    // space, viewport the viewBox (or 0, 0, width, height).
    bool hasViewBox = false;
    AspectRatio aspect;
    Matrix viewBoxMatrix;
    // The `clip` property's rectangle; width 0 means none.
    RectF clipRect;
    // enable-background: accumulate, or new with an optional region
    // (without one, the region is the document's bounding box).
    EnableBackground background;
};

class CRasterImage;

// `image`: a raster picture or an SVG picture (another document's root, or an
// element of this document) placed in the region x, y, width, height.
// `viewport` is the picture's natural rectangle (0, 0, natural width,
// natural height) and viewBoxMatrix maps it onto the region.
class CElemImage : public CElemContainer {
public:
    CElemImage(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Image; }

    // At most one of the two is set; neither when loading failed. A raster
    // has one pixel a unit of the natural rectangle; an SVG picture is drawn
    // through Render with svgPictureMatrix mapping its user space into the
    // natural rectangle.
    std::shared_ptr<const CRasterImage> raster;
    const CElem* svgPicture = nullptr;
    Matrix svgPictureMatrix;
};

// `marker`: content drawn at the vertices of path, line, polyline and
// polygon. The container fields hold its viewport: region is (0, 0,
// markerWidth, markerHeight), viewport the viewBox (or that same rectangle),
// viewBoxMatrix maps one into the other, clipRect comes from `clip`.
class CElemMarker : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Marker; }

    float refX = 0;
    float refY = 0;
    float markerWidth = 3;
    float markerHeight = 3;
    MarkerUnits markerUnits = MarkerUnits::StrokeWidth;
    bool orientAuto = false;
    float orientAngle = 0;  // degrees
    // False after a negative markerWidth or markerHeight: never drawn.
    bool usable = true;
};

// `mask`: content whose luminance becomes the alpha of the elements that
// reference it.
class CElemMask : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Mask; }

    Units units = Units::ObjectBoundingBox;          // maskUnits
    Units contentUnits = Units::UserSpaceOnUse;      // maskContentUnits
    // The region as given (following xlink:href): fractions of the masked
    // element's box, or user units; null where not given.
    std::optional<float> x, y, width, height;
    // A zero or negative width or height: the masked element is not drawn.
    bool emptyRegion = false;
};

class CElemGlyph : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Glyph; }
};

// Abstract paint server: gradients and patterns are drawn only through the
// shapes that reference them. Not a graphics element: its content counts for
// no bounds and no hit.
class CElemPaint : public CElemContainer {
public:
    CElemPaint(std::string name, CElem* parent) : CElemContainer(std::move(name), parent)
    {
        SetGraphicsElement(false);
    }
    ElemClass Class() const override { return ElemClass::Paint; }
};

// One colour stop of a gradient.
struct CGradientStop {
    float offset = 0;   // 0..1, never below the offset of the stop before
    float opacity = 1;  // stop-opacity
    Rgba color;         // opaque: the opacity is kept apart
};

class CElemGradient : public CElemPaint {
public:
    enum Kind : unsigned char { Linear = 0, Radial = 1 };
    CElemGradient(std::string name, CElem* parent, Kind kind);
    ElemClass Class() const override { return ElemClass::Gradient; }

    Kind kind;
    Units units = Units::ObjectBoundingBox;  // gradientUnits
    SpreadMethod spread = SpreadMethod::Pad;
    Matrix gradientTransform;
    // In the units above: fractions of the box, or user units.
    float x1 = 0, y1 = 0, x2 = 1, y2 = 0;
    float cx = 0.5f, cy = 0.5f, fx = 0.5f, fy = 0.5f, r = 0.5f;
    // Its own stops, or those of the first gradient along its xlink:href
    // chain that has some; the first stop is at offset 0.
    std::vector<CGradientStop> stops;
};

class CElemPattern : public CElemPaint {
public:
    using CElemPaint::CElemPaint;
    ElemClass Class() const override { return ElemClass::Pattern; }

    Units units = Units::ObjectBoundingBox;        // patternUnits
    Units contentUnits = Units::UserSpaceOnUse;    // patternContentUnits
    Matrix patternTransform;
    // The `clip` property's offsets, for each tile's viewport; null without one.
    std::optional<ClipOffsets> clipOffsets;
    // The tile, in patternUnits.
    float x = 0, y = 0, width = 0, height = 0;
    // With hasViewBox (and aspect): mapped onto each tile.
    RectF viewBox;
    // False when the tile or the viewBox has no area: the pattern paints nothing.
    bool ready = false;
    // The element whose children draw each tile: this pattern, or the first
    // along its xlink:href chain that has children.
    const CElem* content = nullptr;
};

// The markers of a shape and the vertices they are drawn on.
struct ShapeMarkers {
    const CElem* start = nullptr;
    const CElem* mid = nullptr;
    const CElem* end = nullptr;
    std::vector<MarkerInfo> vertices;
};

class CElemShape : public CElem {
public:
    CElemShape(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Shape; }

    CGraphicsPathArray paths;
    // Only a path, line, polyline or polygon that has a marker carries them.
    std::unique_ptr<ShapeMarkers> markers;

    std::span<const MarkerInfo> MarkerVertices() const
    {
        return markers != nullptr ? std::span<const MarkerInfo>(markers->vertices) : std::span<const MarkerInfo>();
    }
};

// What text layout made of a `text` element; the text layer defines it.
class CTextLayout {
public:
    virtual ~CTextLayout() = default;
};

// text, tspan, textPath, tref and altGlyph. Only `text` is laid out and
// drawn; the others are read as part of it.
class CElemText : public CElemShape {
public:
    CElemText(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Text; }

    // Set on `text` when it has been laid out.
    std::unique_ptr<const CTextLayout> layout;
};

// `clipPath`: the union of its children's outlines clips the elements that
// reference it.
class CElemClipPath : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::ClipPath; }

    Units units = Units::UserSpaceOnUse;  // clipPathUnits
};

class CElemFilterPrimitive;

// A coordinate or size of a filter region or primitive subregion as written,
// ready for either of the units the filter may ask for: user units (a length,
// percentages of the viewport) or a fraction of the bounding box (a
// percentage divided by 100). A primitive inherited through a filter's
// xlink:href works in the units of the filter that uses it.
struct FilterLength {
    float userUnits = 0;
    float fraction = 0;

    float In(Units units) const { return units == Units::UserSpaceOnUse ? userUnits : fraction; }
};

// Where a primitive's `in` or `in2` comes from, resolved when the filter is
// prepared: a standard input, the result of an earlier primitive of the same
// filter (by its position in CElemFilter::primitives), or the previous
// primitive's result (SourceGraphic for the first), which is also what a
// name no earlier primitive gave its result stands for.
struct FilterInputRef {
    enum class Kind : std::uint8_t { Previous, Standard, Result };
    Kind kind = Kind::Previous;
    FilterInput standard = FilterInput::SourceGraphic;
    int index = -1;

    friend bool operator==(const FilterInputRef&, const FilterInputRef&) = default;
};

// `filter`: the region, resolution and primitives an element is drawn
// through. The region is given in `units` (user units, or fractions of the
// filtered element's box); null where not given, which takes SVG's default
// of 10% around the box.
class CElemFilter : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::Filter; }

    Units units = Units::ObjectBoundingBox;         // filterUnits
    Units primitiveUnits = Units::UserSpaceOnUse;
    std::optional<float> x, y, width, height;
    // filterRes: pixels across the region; resY follows resX when one number
    // is given. Null: the resolution of the device.
    std::optional<float> resolutionX, resolutionY;
    // A zero or negative region size or filterRes: the filtered element is
    // not drawn.
    bool disabled = false;
    // The primitives in order: its own, or when it has none, those of the
    // first filter along its xlink:href chain that has some.
    std::vector<const CElemFilterPrimitive*> primitives;
    // Some primitive reads BackgroundImage or BackgroundAlpha.
    bool readsBackground = false;
};

// What a filter primitive's family read from its element's attributes; the
// filter layer defines one type per family.
class CFilterPrimitiveParams {
public:
    virtual ~CFilterPrimitiveParams() = default;
};

// Filter primitives and the elements inside them (feMergeNode, light
// sources, transfer functions), which share the class.
class CElemFilterPrimitive : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::FilterPrimitive; }

    // The subregion as written; null where not given (the default subregion
    // of the primitive's inputs takes over).
    std::optional<FilterLength> x, y, width, height;
    // A zero or negative subregion width or height: the result is transparent.
    bool emptySubregion = false;
    // color-interpolation-filters: the colour space the primitive computes in.
    ColorInterpolation colorSpace = ColorInterpolation::LinearRGB;
    // `in` and `in2` (a feMergeNode keeps its `in` here too).
    FilterInputRef in, in2;
    // Set when the primitive's family is known and its attributes were read.
    std::unique_ptr<const CFilterPrimitiveParams> params;
};

class CElemFont : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::Font; }
    float unitsPerEm = 1000;
};

class CElemAltGlyphDef : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::AltGlyphDef; }
};

// `color-profile`: an ICC profile opened through lcms2. No colour is
// converted through it; opening it checks the reference.
class CElemColorProfile : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::ColorProfile; }

    // The lcms2 transform from sRGB to the profile; null when none was made.
    std::shared_ptr<void> colorTransform;
};

// Character data; element name "#string".
class CElemString : public CElem {
public:
    CElemString(CElem* parent, std::string text);
    ElemClass Class() const override { return ElemClass::String; }
    std::string text;
};

// A comment; element name "#comment".
class CElemComment : public CElem {
public:
    CElemComment(CElem* parent, std::string text);
    ElemClass Class() const override { return ElemClass::Comment; }
    std::string text;
};

// The element factory: the class for `name` (exact, case-sensitive), with its
// name and parent set. Never fails; unknown names give a plain CElem.
std::unique_ptr<CElem> CreateElement(std::string_view name, CElem* parent);

}  // namespace svg
