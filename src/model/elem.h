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

class CElemImage : public CElemContainer {
public:
    CElemImage(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Image; }
};

class CElemMarker : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Marker; }
};

class CElemMask : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Mask; }
};

class CElemGlyph : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Glyph; }
};

// Abstract paint server: gradients and patterns are never drawn directly.
class CElemPaint : public CElemContainer {
public:
    using CElemContainer::CElemContainer;
    ElemClass Class() const override { return ElemClass::Paint; }
    // Paint servers are drawn only through the shapes that reference them.
    bool Draw(CCanvas&, const RenderArgs&) override { return true; }
};

class CElemGradient : public CElemPaint {
public:
    enum Kind : unsigned char { Linear = 0, Radial = 1 };
    CElemGradient(std::string name, CElem* parent, Kind kind);
    ElemClass Class() const override { return ElemClass::Gradient; }
    Kind kind;
};

class CElemPattern : public CElemPaint {
public:
    using CElemPaint::CElemPaint;
    ElemClass Class() const override { return ElemClass::Pattern; }
};

class CElemShape : public CElem {
public:
    CElemShape(std::string name, CElem* parent);
    ElemClass Class() const override { return ElemClass::Shape; }

    bool Setup() override;
    bool Draw(CCanvas& canvas, const RenderArgs& args) override;
    std::optional<RectF> GetOutlineBounds(const Matrix& toSpace) const override;
    CElem* HitTest(double x, double y) override;

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

class CElemClipPath : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::ClipPath; }
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

class CElemColorProfile : public CElem {
public:
    using CElem::CElem;
    ElemClass Class() const override { return ElemClass::ColorProfile; }
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
