#include "model/elem.h"

#include <algorithm>

#include "model/document.h"
#include "model/message_log.h"

namespace svg {

// --- CAttributeMap ----------------------------------------------------------

CAttributeMap::CAttributeMap(const CAttributeMap& other)
    : entries_(other.entries_), rare_(other.rare_ ? std::make_unique<Rare>(*other.rare_) : nullptr)
{
}

CAttributeMap& CAttributeMap::operator=(const CAttributeMap& other)
{
    if (this != &other) {
        entries_ = other.entries_;
        rare_ = other.rare_ ? std::make_unique<Rare>(*other.rare_) : nullptr;
    }
    return *this;
}

CAttributeMap::~CAttributeMap() = default;

CAttributeMap::Rare& CAttributeMap::RareParts()
{
    if (!rare_)
        rare_ = std::make_unique<Rare>();
    return *rare_;
}

std::string_view CAttributeMap::NameOf(const Entry& entry) const
{
    if (entry.id != AttributeId::Unknown)
        return AttributeName(entry.id);
    if (rare_ && entry.foreignName > 0 && entry.foreignName <= rare_->foreignNames.size())
        return rare_->foreignNames[entry.foreignName - 1];
    return {};
}

void CAttributeMap::Store(AttributeId id, std::string_view foreignName, std::string value)
{
    for (Entry& entry : entries_) {
        if (entry.id == id && (id != AttributeId::Unknown || NameOf(entry) == foreignName)) {
            if (entry.flag == 0) {
                const std::size_t index = static_cast<std::size_t>(&entry - entries_.data());
                auto& previous = RareParts().previous;
                const auto kept = std::find_if(previous.begin(), previous.end(),
                                               [index](const auto& pair) { return pair.first == index; });
                if (kept != previous.end())
                    kept->second = std::move(entry.value);
                else
                    previous.emplace_back(index, std::move(entry.value));
            }
            entry.value = std::move(value);
            return;
        }
    }
    Entry& entry = entries_.emplace_back();
    entry.id = id;
    entry.value = std::move(value);
    if (id == AttributeId::Unknown) {
        auto& names = RareParts().foreignNames;
        names.emplace_back(foreignName);
        entry.foreignName = static_cast<std::uint32_t>(names.size());
    }
}

void CAttributeMap::Set(std::string_view name, std::string value)
{
    Store(AttributeIdFromName(name), name, std::move(value));
}

void CAttributeMap::Set(AttributeId id, std::string value) { Store(id, {}, std::move(value)); }

const CAttributeMap::Entry* CAttributeMap::FindEntry(AttributeId id) const
{
    if (id == AttributeId::Unknown)
        return nullptr;
    for (const Entry& entry : entries_)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

const CAttributeMap::Entry* CAttributeMap::FindEntry(std::string_view name) const
{
    const AttributeId id = AttributeIdFromName(name);
    if (id != AttributeId::Unknown)
        return FindEntry(id);
    for (const Entry& entry : entries_)
        if (entry.id == AttributeId::Unknown && NameOf(entry) == name)
            return &entry;
    return nullptr;
}

const std::string* CAttributeMap::Value(AttributeId id) const
{
    const Entry* entry = FindEntry(id);
    return entry ? &entry->value : nullptr;
}

const std::string* CAttributeMap::Value(std::string_view name) const
{
    const Entry* entry = FindEntry(name);
    return entry ? &entry->value : nullptr;
}

const std::string* CAttributeMap::Previous(std::string_view name) const
{
    const Entry* entry = FindEntry(name);
    if (entry == nullptr || !rare_)
        return nullptr;
    const std::size_t index = static_cast<std::size_t>(entry - entries_.data());
    for (const auto& [at, value] : rare_->previous)
        if (at == index)
            return &value;
    return nullptr;
}

bool CAttributeMap::Remove(AttributeId id)
{
    const auto it = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& entry) { return entry.id == id; });
    if (it == entries_.end() || id == AttributeId::Unknown)
        return false;
    const std::size_t index = static_cast<std::size_t>(it - entries_.begin());
    entries_.erase(it);
    // Overridden values follow their entries.
    if (rare_) {
        std::erase_if(rare_->previous, [index](const auto& pair) { return pair.first == index; });
        for (auto& pair : rare_->previous)
            if (pair.first > index)
                --pair.first;
    }
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

namespace {
// The one copy of each known element name, and of the names of character
// data and comments; null for any other name.
const std::string* SharedName(ElementId id, std::string_view name)
{
    static const std::vector<std::string> known = [] {
        std::vector<std::string> names;
        for (int index = 0;; ++index) {
            const std::string_view listed = ElementName(static_cast<ElementId>(index));
            if (index > 0 && listed.empty())
                break;
            names.emplace_back(listed);
        }
        return names;
    }();
    static const std::string kString = "#string";
    static const std::string kComment = "#comment";
    if (id != ElementId::Unknown)
        return &known[static_cast<std::size_t>(id)];
    if (name == kString)
        return &kString;
    if (name == kComment)
        return &kComment;
    return nullptr;
}
}  // namespace

CElem::CElem(std::string name, CElem* parent)
    : elementId_(ElementIdFromName(name)), name_(nullptr), parent_(parent)
{
    name_ = SharedName(elementId_, name);
    if (name_ == nullptr) {
        name_ = new std::string(std::move(name));
        ownsName_ = true;
    }
}

// Children are freed from the deepest level up with an explicit stack: a
// tree as deep as limits allow must not run the destructor recursion that
// deep on whatever thread frees it.
CElem::~CElem()
{
    if (ownsName_)
        delete name_;
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
