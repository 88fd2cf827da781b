#include "model/elem.h"

#include <algorithm>

#include "model/document.h"
#include "model/message_log.h"

namespace svg {

// --- CAttributeMap ----------------------------------------------------------

void CAttributeMap::Store(AttributeId id, std::string_view foreignName, std::string value)
{
    for (Entry& entry : entries_) {
        if (entry.id == id && (id != AttributeId::Unknown || entry.foreignName == foreignName)) {
            if (entry.attribute.flag == 0)
                entry.attribute.previous = std::move(entry.attribute.value);
            entry.attribute.value = std::move(value);
            return;
        }
    }
    Entry& entry = entries_.emplace_back();
    entry.id = id;
    if (id == AttributeId::Unknown)
        entry.foreignName = foreignName;
    entry.attribute.value = std::move(value);
}

void CAttributeMap::Set(std::string_view name, std::string value)
{
    Store(AttributeIdFromName(name), name, std::move(value));
}

void CAttributeMap::Set(AttributeId id, std::string value) { Store(id, {}, std::move(value)); }

const CAttribute* CAttributeMap::Find(AttributeId id) const
{
    if (id == AttributeId::Unknown)
        return nullptr;
    for (const Entry& entry : entries_)
        if (entry.id == id)
            return &entry.attribute;
    return nullptr;
}

const CAttribute* CAttributeMap::Find(std::string_view name) const
{
    const AttributeId id = AttributeIdFromName(name);
    if (id != AttributeId::Unknown)
        return Find(id);
    for (const Entry& entry : entries_)
        if (entry.id == AttributeId::Unknown && entry.foreignName == name)
            return &entry.attribute;
    return nullptr;
}

const std::string* CAttributeMap::Value(AttributeId id) const
{
    const CAttribute* attribute = Find(id);
    return attribute ? &attribute->value : nullptr;
}

const std::string* CAttributeMap::Value(std::string_view name) const
{
    const CAttribute* attribute = Find(name);
    return attribute ? &attribute->value : nullptr;
}

bool CAttributeMap::Remove(AttributeId id)
{
    const auto it = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& entry) { return entry.id == id; });
    if (it == entries_.end() || id == AttributeId::Unknown)
        return false;
    entries_.erase(it);
    return true;
}

// --- Class names --------------------------------------------------------------

const char* ElemClassName(ElemClass kind)
{
    switch (kind) {
    case ElemClass::Elem: return "CElem";
    case ElemClass::Container: return "CElemContainer";
    case ElemClass::Document: return "CElemDocument";
    case ElemClass::Image: return "CElemImage";
    case ElemClass::Marker: return "CElemMarker";
    case ElemClass::Mask: return "CElemMask";
    case ElemClass::Glyph: return "CElemGlyph";
    case ElemClass::Paint: return "CElemPaint";
    case ElemClass::Gradient: return "CElemGradient";
    case ElemClass::Pattern: return "CElemPattern";
    case ElemClass::Shape: return "CElemShape";
    case ElemClass::Text: return "CElemText";
    case ElemClass::ClipPath: return "CElemClipPath";
    case ElemClass::Filter: return "CElemFilter";
    case ElemClass::FilterPrimitive: return "CElemFilterPrimitive";
    case ElemClass::Font: return "CElemFont";
    case ElemClass::AltGlyphDef: return "CElemAltGlyphDef";
    case ElemClass::ColorProfile: return "CElemColorProfile";
    case ElemClass::String: return "CElemString";
    case ElemClass::Comment: return "CElemComment";
    }
    return "CElem";
}

namespace {
// The class hierarchy as parent links, for IsA.
ElemClass BaseClass(ElemClass kind)
{
    switch (kind) {
    case ElemClass::Document:
    case ElemClass::Image:
    case ElemClass::Marker:
    case ElemClass::Mask:
    case ElemClass::Glyph:
    case ElemClass::Paint: return ElemClass::Container;
    case ElemClass::Gradient:
    case ElemClass::Pattern: return ElemClass::Paint;
    case ElemClass::Text: return ElemClass::Shape;
    default: return ElemClass::Elem;
    }
}
}  // namespace

// --- CElem --------------------------------------------------------------------

CElem::CElem(std::string name, CElem* parent)
    : name_(std::move(name)), elementId_(ElementIdFromName(name_)), parent_(parent)
{
}

// Children are freed from the deepest level up with an explicit stack: a
// tree as deep as limits allow must not run the destructor recursion that
// deep on whatever thread frees it.
CElem::~CElem()
{
    std::vector<std::unique_ptr<CElem>> pending = std::move(children_);
    while (!pending.empty()) {
        std::unique_ptr<CElem> elem = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<CElem>& child : elem->children_)
            pending.push_back(std::move(child));
        elem->children_.clear();
    }
}

bool CElem::IsA(ElemClass kind) const
{
    for (ElemClass k = Class();; k = BaseClass(k)) {
        if (k == kind)
            return true;
        if (k == ElemClass::Elem)
            return false;
    }
}

CElem* CElem::AppendChild(std::unique_ptr<CElem> child)
{
    child->parent_ = this;
    return children_.emplace_back(std::move(child)).get();
}

CElemDocument* CElem::Document()
{
    CElem* elem = this;
    while (elem->parent_ != nullptr)
        elem = elem->parent_;
    return elem->Class() == ElemClass::Document ? static_cast<CElemDocument*>(elem) : nullptr;
}

const CElemDocument* CElem::Document() const
{
    return const_cast<CElem*>(this)->Document();
}

bool CElem::HasAncestorOrSelfNamed(ElementId element) const
{
    for (const CElem* elem = this; elem != nullptr; elem = elem->parent_)
        if (elem->elementId_ == element)
            return true;
    return false;
}

std::string CElem::TextContent() const
{
    std::string text;
    for (const CElem* child : Children()) {
        if (child->Class() == ElemClass::String)
            text += static_cast<const CElemString*>(child)->text;
        else
            text += child->TextContent();
    }
    return text;
}

// --- Subclasses -----------------------------------------------------------------

LengthContext CElem::Lengths(float dpi) const
{
    return {dpi, props.fontSize, props.xHeight, viewport};
}

CElemContainer::CElemContainer(std::string name, CElem* parent) : CElem(std::move(name), parent)
{
    const ElementId element = Id();
    SetGraphicsElement(element != ElementId::symbol && element != ElementId::mask &&
                       element != ElementId::marker);
}

CElemImage::CElemImage(std::string name, CElem* parent) : CElemContainer(std::move(name), parent)
{
    SetGraphicsElement(true);
}

CElemGradient::CElemGradient(std::string name, CElem* parent, Kind k)
    : CElemPaint(std::move(name), parent), kind(k)
{
}

CElemShape::CElemShape(std::string name, CElem* parent) : CElem(std::move(name), parent)
{
    SetGraphicsElement(true);
}

CElemText::CElemText(std::string name, CElem* parent) : CElemShape(std::move(name), parent)
{
    // Only `text` itself is a graphics element; tspan, textPath, tref and
    // altGlyph are drawn as part of it.
    SetGraphicsElement(Id() == ElementId::text);
}

CElemString::CElemString(CElem* parent, std::string t) : CElem("#string", parent), text(std::move(t)) {}

CElemComment::CElemComment(CElem* parent, std::string t) : CElem("#comment", parent), text(std::move(t))
{
}

// --- Factory --------------------------------------------------------------------

std::unique_ptr<CElem> CreateElement(std::string_view nameView, CElem* parent)
{
    std::string name(nameView);
    switch (ElementIdFromName(nameView)) {
    case ElementId::path:
    case ElementId::rect:
    case ElementId::circle:
    case ElementId::ellipse:
    case ElementId::line:
    case ElementId::polyline:
    case ElementId::polygon: return std::make_unique<CElemShape>(std::move(name), parent);
    case ElementId::text:
    case ElementId::tspan:
    case ElementId::textPath:
    case ElementId::tref:
    case ElementId::altGlyph: return std::make_unique<CElemText>(std::move(name), parent);
    case ElementId::image: return std::make_unique<CElemImage>(std::move(name), parent);
    case ElementId::altGlyphDef: return std::make_unique<CElemAltGlyphDef>(std::move(name), parent);
    case ElementId::pattern: return std::make_unique<CElemPattern>(std::move(name), parent);
    case ElementId::marker: return std::make_unique<CElemMarker>(std::move(name), parent);
    case ElementId::linearGradient:
        return std::make_unique<CElemGradient>(std::move(name), parent, CElemGradient::Linear);
    case ElementId::radialGradient:
        return std::make_unique<CElemGradient>(std::move(name), parent, CElemGradient::Radial);
    case ElementId::glyph:
    case ElementId::missing_glyph: return std::make_unique<CElemGlyph>(std::move(name), parent);
    // Links are not followed, but what they contain is drawn.
    case ElementId::a:
    case ElementId::use:
    case ElementId::svg:
    case ElementId::g:
    case ElementId::symbol:
    case ElementId::switch_:
    case ElementId::foreignObject: return std::make_unique<CElemContainer>(std::move(name), parent);
    case ElementId::clipPath: return std::make_unique<CElemClipPath>(std::move(name), parent);
    case ElementId::font:
    case ElementId::font_face: return std::make_unique<CElemFont>(std::move(name), parent);
    case ElementId::mask: return std::make_unique<CElemMask>(std::move(name), parent);
    case ElementId::filter: return std::make_unique<CElemFilter>(std::move(name), parent);
    case ElementId::feBlend:
    case ElementId::feMerge:
    case ElementId::feMergeNode:
    case ElementId::feOffset:
    case ElementId::feColorMatrix:
    case ElementId::feComponentTransfer:
    case ElementId::feComposite:
    case ElementId::feConvolveMatrix:
    case ElementId::feDisplacementMap:
    case ElementId::feFlood:
    case ElementId::feTile:
    case ElementId::feImage:
    case ElementId::feGaussianBlur:
    case ElementId::feMorphology:
    case ElementId::feTurbulence:
    case ElementId::feDiffuseLighting:
    case ElementId::feSpecularLighting:
    case ElementId::feDistantLight:
    case ElementId::fePointLight:
    case ElementId::feSpotLight:
    case ElementId::feFuncR:
    case ElementId::feFuncG:
    case ElementId::feFuncB:
    case ElementId::feFuncA: return std::make_unique<CElemFilterPrimitive>(std::move(name), parent);
    case ElementId::color_profile: return std::make_unique<CElemColorProfile>(std::move(name), parent);
    default: break;
    }
    if (name == "#string")
        return std::make_unique<CElemString>(parent, std::string());
    return std::make_unique<CElem>(std::move(name), parent);
}

}  // namespace svg
