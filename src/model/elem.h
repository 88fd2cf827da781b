// The element tree: one CElem object per element of a loaded document, chosen
// by name through CreateElement. An element owns its children (those flagged
// ownedByParent), its attribute map of specified values as text, its source
// location and, once prepared, its resolved properties. Elements are built and
// prepared on the loading thread; afterwards they are read-only for viewers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/element_names.h"
#include "style/properties.h"
#include "values/matrix.h"
#include "values/path_geometry.h"
#include "values/rect.h"

namespace svg {

class CElemDocument;
class CCanvas;
struct CDocOptions;
struct RenderArgs;
struct ClipRegion;

// One specified attribute. Overriding a document value keeps it as the
// previous value, so a `style` declaration that beats a presentation attribute
// leaves the attribute's own text visible.
struct CAttribute {
    // 0 for attributes read from the document; copied when an element is cloned.
    unsigned char flag = 0;
    std::string value;
    std::string previous;
};

// Attribute name (qualified, case-sensitive) to CAttribute, in the order the
// attributes were first set, which is the order the attribute grid shows.
class CAttributeMap {
public:
    void Set(std::string_view name, std::string value);
    const CAttribute* Find(std::string_view name) const;
    const std::string* Value(std::string_view name) const;
    bool Contains(std::string_view name) const { return Find(name) != nullptr; }
    bool Remove(std::string_view name);
    void Reserve(std::size_t count) { entries_.reserve(count); }

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::vector<std::pair<std::string, CAttribute>> entries_;
};

// The class family. The kind mirrors the C++ class so that code that must know
// the class (the tree dump, the panes) needs no dynamic_cast chains.
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

    // Reads and checks the element's own attributes, builds its geometry and
    // reports problems. Returns false to abandon preparing the rest of the tree.
    // The base reports the elements whose behaviour Vexo does not support.
    virtual bool Setup();

    // --- Rendering (the render subsystem implements these) -----------------
    // Draws the element's own content; Render has already applied its
    // transform, clip and viewport. The base draws nothing.
    virtual bool Draw(CCanvas& canvas, const RenderArgs& args);
    // Tight bounds of the element's own geometry mapped by `toSpace` (not
    // its children's); null when it has none.
    virtual std::optional<RectF> GetOutlineBounds(const Matrix& toSpace) const;
    // The element under (x, y), given in the parent's user space; null when
    // the point misses it.
    virtual CElem* HitTest(double x, double y);
    // Appends the outlines the element itself contributes to a clip path,
    // filled under `rule`, in its own user space (before its transform). The
    // base contributes nothing.
    virtual void AppendClipGeometry(ClipRegion& clip, FillMode rule) const;

    // --- Tree -------------------------------------------------------------
    const std::string& Name() const { return name_; }
    ElementId Id() const { return elementId_; }
    CElem* Parent() const { return parent_; }
    const std::vector<CElem*>& Children() const { return children_; }
    // Takes ownership when child->ownedByParent is set.
    void AppendChild(CElem* child);
    CElemDocument* Document();
    const CElemDocument* Document() const;
    // True when this element or an ancestor has the given name.
    bool HasAncestorOrSelfNamed(ElementId element) const;

    // --- Attributes -------------------------------------------------------
    // The value stored under `name`; "inherit" always continues at the parent,
    // a missing value only when `inherited` is true. Null when none is found.
    const std::string* GetAttribute(std::string_view name, bool inherited) const;
    // GetAttribute, then the same along this element's xlink:href chain
    // (gradients and patterns take attributes from the element they reference).
    const std::string* GetAttributeVia(std::string_view name, bool inherited);

    // --- Preparation and references ---------------------------------------
    // Resolves properties, runs Setup, then prepares the children. Returns
    // false when a stop was requested or a Setup failed.
    bool Prepare();
    // Resolves "url(file#id)", "file#id" or "#id" to an element, loading an
    // external file as a document of its own when one is named.
    CElem* FindReference(std::string_view reference, const CDocOptions* options = nullptr);
    // GetAttribute for colour properties: "currentColor" gives the resolved
    // `color` of this element.
    const std::string* GetColorAttribute(std::string_view name, bool inherited) const;
    // Follows xlink:href to an element of the same name, with the located
    // messages for a missing target, a cycle, and a target of another name.
    CElem* FollowHref();
    // Directory (ending in '/') that relative references of this element
    // resolve against, with xml:base applied.
    std::string BaseDirectory() const;
    // Concatenated text of all descendant character-data nodes.
    std::string TextContent() const;

    // --- Data -------------------------------------------------------------
    RectF region;
    RectF viewport;
    int line = 0;
    int column = 0;
    std::string id;
    CAttributeMap attributes;
    // Shapes, `text`, images and containers other than symbol, mask and marker.
    bool graphicsElement = false;
    PrepState prepState = PrepState::NotPrepared;
    bool ownedByParent = true;
    // Set when conditional processing excluded this element from rendering.
    bool excluded = false;
    // For an element cloned into a `use` instance: the element it was cloned from.
    CElem* instanceSource = nullptr;
    // Resolved at the start of preparation.
    ResolvedProperties props;
    // Bounding boxes of the element with its graphics descendants: in its own
    // user space and in its parent's (after transform and viewBox); null
    // when it has no geometry. Computed once by ComputeBounds.
    std::optional<RectF> bboxUser;
    std::optional<RectF> bboxParent;
    bool boundsComputed = false;

protected:
    void SetGraphicsElement(bool value) { graphicsElement = value; }

private:
    std::string name_;
    ElementId elementId_;
    CElem* parent_;
    std::vector<CElem*> children_;
};

class CElemContainer : public CElem {
public:
    CElemContainer(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Container; }

    bool Setup() override;
    bool Draw(CCanvas& canvas, const RenderArgs& args) override;
    CElem* HitTest(double x, double y) override;

    // Viewport of svg and symbol: region is the viewport in the parent's user
    // space, viewport the viewBox (or 0, 0, width, height).
    bool hasViewBox = false;
    int aspectAlign = 5;  // 0 none, 1..9 xMinYMin..xMaxYMax
    bool aspectSlice = false;
    Matrix viewBoxMatrix;
    // The `clip` property's rectangle; width 0 means none.
    RectF clipRect;
    // enable-background: 1 accumulate, 0 new (with backgroundRect).
    int backgroundMode = 1;
    RectF backgroundRect;
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

    bool Setup() override;
    bool Draw(CCanvas& canvas, const RenderArgs& args) override;
    // The region x, y, width, height: an image's geometry, drawn or not.
    std::optional<RectF> GetOutlineBounds(const Matrix& toSpace) const override;
    CElem* HitTest(double x, double y) override;

    // At most one of the two is set; neither when loading failed. A raster
    // has one pixel a unit of the natural rectangle; an SVG picture is drawn
    // through Render with svgPictureMatrix mapping its user space into the
    // natural rectangle.
    std::shared_ptr<const CRasterImage> raster;
    CElem* svgPicture = nullptr;
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

    bool Setup() override;
    // Draws the content with each child's own display: only the marker's
    // own display (and its ancestors') is ignored.
    bool Draw(CCanvas& canvas, const RenderArgs& args) override;
    // Draws one instance at `vertex` (in the shape's user space) for a shape
    // whose stroke is `strokeWidth` wide. False when nothing can be drawn:
    // no area, an unusable marker, or a singular instance transform.
    bool DrawMarker(CCanvas& canvas, const MarkerInfo& vertex, float strokeWidth, const RenderArgs& args);
    // True when (x, y), in the shape's user space, hits the content of the
    // instance at `vertex`.
    bool HitTestMarker(float strokeWidth, const MarkerInfo& vertex, double x, double y);

    float refX = 0;
    float refY = 0;
    float markerWidth = 3;
    float markerHeight = 3;
    int markerUnits = 2;  // 1 userSpaceOnUse, 2 strokeWidth
    bool orientFixed = true;  // false for orient="auto"
    float orientAngle = 0;    // degrees
    // False after a negative markerWidth or markerHeight: never drawn.
    bool usable = true;
};

// `mask`: content whose luminance, in linear light, becomes the alpha of
// the elements that reference it. The region and units are read by Setup.
class CElemMask : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Mask; }
    bool Setup() override;

    int units = 0;         // maskUnits: 0 objectBoundingBox, 1 userSpaceOnUse
    int contentUnits = 1;  // maskContentUnits, the same codes
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

// Abstract paint server: gradients and patterns are never drawn directly.
class CElemPaint : public CElemContainer {
public:
    // Not a graphics element: its content counts for no bounds and no hit.
    CElemPaint(std::string name, CElem* parent) : CElemContainer(std::move(name), parent)
    {
        SetGraphicsElement(false);
    }
    ElemClass Class() const override { return ElemClass::Paint; }
    // Paint servers are drawn only through the shapes that reference them.
    bool Draw(CCanvas&, const RenderArgs&) override { return true; }
    // Fills (or, with isStroke, strokes with the pen of) one path item of
    // `shape`; the item's owner, or else the shape, gives the fill or stroke
    // style, the shape its bounding box. True when the server has painted,
    // which may mean painting nothing (a gradient without stops). False when
    // it cannot paint this item (objectBoundingBox units on a box without
    // width or height): the shape then uses its fallback colour.
    virtual bool PaintPath(CCanvas& canvas, const CGraphicsPath& path, const CElem& shape, bool isStroke,
                           const RenderArgs& args);
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
    bool Setup() override;
    bool PaintPath(CCanvas& canvas, const CGraphicsPath& path, const CElem& shape, bool isStroke,
                   const RenderArgs& args) override;

    Kind kind;
    int units = 0;   // 1 userSpaceOnUse, 0 objectBoundingBox
    int spread = 0;  // 0 pad, 1 reflect, 2 repeat
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
    bool Setup() override;
    bool PaintPath(CCanvas& canvas, const CGraphicsPath& path, const CElem& shape, bool isStroke,
                   const RenderArgs& args) override;

    int units = 0;         // patternUnits: 1 userSpaceOnUse, 0 objectBoundingBox
    int contentUnits = 1;  // patternContentUnits, the same codes
    Matrix patternTransform;
    // The tile, in patternUnits.
    float x = 0, y = 0, width = 0, height = 0;
    // With hasViewBox (and aspectAlign, aspectSlice): mapped onto each tile.
    RectF viewBox;
    // False when the tile or the viewBox has no area: the pattern paints nothing.
    bool ready = false;
    // The element whose children draw each tile: this pattern, or the first
    // along its xlink:href chain that has children.
    CElem* content = nullptr;
    // A pattern met again while its own tile is being drawn is reported once.
    bool cycleReported = false;
};

class CElemShape : public CElem {
public:
    CElemShape(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Shape; }

    bool Setup() override;
    bool Draw(CCanvas& canvas, const RenderArgs& args) override;
    std::optional<RectF> GetOutlineBounds(const Matrix& toSpace) const override;
    CElem* HitTest(double x, double y) override;
    void AppendClipGeometry(ClipRegion& clip, FillMode rule) const override;

    CGraphicsPathArray paths;
    std::vector<MarkerInfo> markers;
    CElem* markerStart = nullptr;
    CElem* markerMid = nullptr;
    CElem* markerEnd = nullptr;
};

class CElemText : public CElemShape {
public:
    CElemText(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Text; }
};

// `clipPath`: the union of its children's outlines clips the elements that
// reference it. Setup reads the units and checks the children's clip-rule.
class CElemClipPath : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::ClipPath; }
    bool Setup() override;

    int units = 1;  // clipPathUnits: 0 objectBoundingBox, 1 userSpaceOnUse
};

class CElemFilter : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::Filter; }
};

class CElemFilterPrimitive : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::FilterPrimitive; }
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

    bool Setup() override;

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

// Element at a source location, searched in every loaded document in order;
// used to turn a located message back into its element.
CElem* FindElementAtLocation(int line, int column);

}  // namespace svg
