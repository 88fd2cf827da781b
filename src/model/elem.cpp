#include "model/elem.h"

#include <algorithm>

#include "model/document.h"
#include "model/message_log.h"

namespace svg {

// --- CAttributeMap ----------------------------------------------------------

void CAttributeMap::Set(std::string_view name, std::string value)
{
    for (auto& [key, attribute] : entries_) {
        if (key == name) {
            if (attribute.flag == 0)
                attribute.previous = std::move(attribute.value);
            attribute.value = std::move(value);
            return;
        }
    }
    CAttribute attribute;
    attribute.value = std::move(value);
    entries_.emplace_back(std::string(name), std::move(attribute));
}

const CAttribute* CAttributeMap::Find(std::string_view name) const
{
    for (const auto& [key, attribute] : entries_)
        if (key == name)
            return &attribute;
    return nullptr;
}

const std::string* CAttributeMap::Value(std::string_view name) const
{
    const CAttribute* attribute = Find(name);
    return attribute ? &attribute->value : nullptr;
}

bool CAttributeMap::Remove(std::string_view name)
{
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [name](const auto& entry) { return entry.first == name; });
    if (it == entries_.end())
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

CElem::~CElem()
{
    for (CElem* child : children_)
        if (child->ownedByParent)
            delete child;
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

bool CElem::Setup()
{
    switch (elementId_) {
    case ElementId::script:
    case ElementId::a:
    case ElementId::animate:
    case ElementId::set:
    case ElementId::animateMotion:
    case ElementId::animateColor:
    case ElementId::animateTransform:
    case ElementId::cursor:
        ReportMessage("W %s NOT supported at %d(%d)", name_.c_str(), line, column);
        break;
    default:
        break;
    }
    return true;
}

bool CElem::Draw(CCanvas&, const RenderArgs&) { return true; }

std::optional<RectF> CElem::GetOutlineBounds(const Matrix&) const { return std::nullopt; }

CElem* CElem::HitTest(double, double) { return nullptr; }

void CElem::AppendChild(CElem* child)
{
    child->parent_ = this;
    children_.push_back(child);
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
    for (const CElem* child : children_) {
        if (child->Class() == ElemClass::String)
            text += static_cast<const CElemString*>(child)->text;
        else
            text += child->TextContent();
    }
    return text;
}

// --- Subclasses -----------------------------------------------------------------

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
