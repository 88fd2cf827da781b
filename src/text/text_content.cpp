// Collecting a text element's characters and reading its positioning lists.
#include "text/text_content.h"

#include <algorithm>
#include <cmath>

#include "base/limits.h"
#include "model/attribute_reader.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "text/shaper.h"
#include "values/number.h"
#include "values/scan.h"

namespace svg {
namespace {

// Elements whose character data is part of the text: the text content
// elements and links inside text.
bool IsContentChild(const CElem& child)
{
    switch (child.Id()) {
    case ElementId::tspan:
    case ElementId::tref:
    case ElementId::textPath:
    case ElementId::altGlyph:
    case ElementId::a: return true;
    default: return false;
    }
}

bool Preserves(const CElem& elem)
{
    const std::string* space = elem.GetAttribute(AttributeId::xml_space, true);
    return space != nullptr && *space == "preserve";
}

class CContentCollector {
public:
    CContentCollector(CTextReferences& references, CLoadContext& context) : references_(references), context_(context)
    {
    }

    TextContent Collect(const CElemText& text)
    {
        VisitElement(text, kNoSpan, kNoSpan);
        // One trailing space of collapsed white space goes.
        if (state_ == State::AfterCollapsedSpace && !content_.chars.empty()) {
            content_.chars.pop_back();
            content_.owner.pop_back();
            const auto size = static_cast<std::uint32_t>(content_.chars.size());
            for (TextSpan& span : content_.spans)
                span.end = std::min(span.end, size), span.first = std::min(span.first, span.end);
        }
        return std::move(content_);
    }

private:
    // 0: after a character that is not white space; 1: after preserved white
    // space (or at the start); 2: after a space written for collapsed white space.
    enum class State { AfterCharacter, AfterSpace, AfterCollapsedSpace };

    void VisitElement(const CElem& elem, std::int32_t parent, std::int32_t textPath)
    {
        const auto index = static_cast<std::int32_t>(content_.spans.size());
        TextSpan span;
        span.elem = &elem;
        span.parent = parent;
        span.first = static_cast<std::uint32_t>(content_.chars.size());
        span.textPath = elem.Id() == ElementId::textPath ? index : textPath;
        if (elem.Id() == ElementId::altGlyph)
            span.altGlyphs = AltGlyphs(elem);
        content_.spans.push_back(span);
        if (elem.Id() == ElementId::tref)
            AppendTref(elem, index);
        else
            VisitChildren(elem, index, span.textPath);
        content_.spans[static_cast<std::size_t>(index)].end = static_cast<std::uint32_t>(content_.chars.size());
    }

    void VisitChildren(const CElem& elem, std::int32_t span, std::int32_t textPath)
    {
        for (const CElem* child : elem.Children()) {
            if (full_ || context_.StopRequested())
                return;
            if (child->Class() == ElemClass::String) {
                AppendString(static_cast<const CElemString*>(child)->text, Preserves(elem), span);
                continue;
            }
            if (!IsContentChild(*child) || child->excluded || child->props.display == Display::None)
                continue;
            // A textPath inside a textPath has no path of its own to follow;
            // one without a usable path lays out nothing.
            if (child->Id() == ElementId::textPath && (textPath != kNoSpan || !HasPath(*child)))
                continue;
            VisitElement(*child, span, textPath);
        }
    }

    // A glyphRef names a glyph of an SVG font.
    const CElem* GlyphOfRef(const CElem& glyphRef)
    {
        const std::string* href = glyphRef.GetAttribute(AttributeId::xlink_href, false);
        bool cycle = false;
        const CElem* target = href != nullptr ? references_.Resolve(glyphRef, *href, cycle) : nullptr;
        return target != nullptr && target->Id() == ElementId::glyph && target->Parent() != nullptr &&
                       target->Parent()->Id() == ElementId::font
                   ? target
                   : nullptr;
    }

    // The glyphs an altGlyph stands for: the glyph it names, or those of the
    // altGlyphDef it names (each glyphRef, or the first glyphRef of each
    // altGlyphItem that resolves; one that does not empties the list).
    std::vector<const CElem*> AltGlyphs(const CElem& altGlyph)
    {
        const std::string* href = altGlyph.GetAttribute(AttributeId::xlink_href, false);
        if (href == nullptr)
            return {};
        const char* name = altGlyph.Name().c_str();
        bool cycle = false;
        const CElem* target = references_.Resolve(altGlyph, *href, cycle);
        if (target == nullptr) {
            context_.Log().Report(altGlyph, cycle ? msg::kHrefCycle : msg::kAltGlyphNotFound, name, href->c_str());
            return {};
        }
        if (target->Id() == ElementId::glyph && target->Parent() != nullptr &&
            target->Parent()->Id() == ElementId::font)
            return {target};
        if (target->Id() != ElementId::altGlyphDef) {
            context_.Log().Report(altGlyph, msg::kAltGlyphWrongElement, name, href->c_str());
            return {};
        }
        std::vector<const CElem*> glyphs;
        for (const CElem* child : target->Children()) {
            const CElem* glyph = nullptr;
            if (child->Id() == ElementId::glyphRef) {
                glyph = GlyphOfRef(*child);
            } else if (child->Id() == ElementId::altGlyphItem) {
                for (const CElem* ref : child->Children())
                    if (ref->Id() == ElementId::glyphRef && (glyph = GlyphOfRef(*ref)) != nullptr)
                        break;
            } else {
                continue;
            }
            if (glyph == nullptr)
                return {};
            glyphs.push_back(glyph);
        }
        return glyphs;
    }

    // A textPath must name a `path` element.
    bool HasPath(const CElem& textPath)
    {
        const char* name = textPath.Name().c_str();
        const std::string* href = textPath.GetAttribute(AttributeId::xlink_href, false);
        if (href == nullptr) {
            context_.Log().Report(textPath, msg::kHrefNotDefined, name);
            return false;
        }
        bool cycle = false;
        const CElem* target = references_.Resolve(textPath, *href, cycle);
        if (target == nullptr)
            context_.Log().Report(textPath, cycle ? msg::kHrefCycle : msg::kHrefNotFound, name, href->c_str());
        else if (target->Id() != ElementId::path)
            context_.Log().Report(textPath, msg::kHrefNotPath, name, href->c_str());
        return target != nullptr && target->Id() == ElementId::path;
    }

    // tref: the character data of the element it names, as if written here.
    void AppendTref(const CElem& tref, std::int32_t span)
    {
        const std::string* href = tref.GetAttribute(AttributeId::xlink_href, false);
        if (href == nullptr)
            return;
        bool cycle = false;
        const CElem* target = references_.Resolve(tref, *href, cycle);
        if (cycle) {
            context_.Log().Report(tref, msg::kHrefCycle, tref.Name().c_str(), href->c_str());
            return;
        }
        // An element SVG does not know holds no text SVG lays out.
        if (target == nullptr || target->Id() == ElementId::Unknown) {
            context_.Log().Report(tref, msg::kHrefNotFound, tref.Name().c_str(), href->c_str());
            return;
        }
        AppendString(target->TextContent(), Preserves(tref), span);
    }

    void AppendString(std::string_view utf8, bool preserve, std::int32_t span)
    {
        for (char32_t c : DecodeUtf8(utf8)) {
            if (preserve) {
                const bool space = c == U'\t' || c == U'\n' || c == U'\r' || c == U' ';
                Append(space ? U' ' : c, span);
                state_ = space ? State::AfterSpace : State::AfterCharacter;
            } else if (c == U'\n' || c == U'\r') {
                continue;
            } else if (c == U'\t' || c == U' ') {
                if (state_ == State::AfterCharacter) {
                    Append(U' ', span);
                    state_ = State::AfterCollapsedSpace;
                }
            } else {
                Append(c, span);
                state_ = State::AfterCharacter;
            }
            if (full_)
                return;
        }
    }

    void Append(char32_t c, std::int32_t span)
    {
        if (content_.chars.size() >= limits::kMaxTextChars) {
            const CElem& text = *content_.spans.front().elem;
            context_.Log().Report(text, msg::kTextTooLong, text.Name().c_str(), limits::kMaxTextChars);
            full_ = true;
            return;
        }
        content_.chars.push_back(c);
        content_.owner.push_back(static_cast<std::uint32_t>(span));
    }

    CTextReferences& references_;
    CLoadContext& context_;
    TextContent content_;
    State state_ = State::AfterSpace;
    bool full_ = false;
};

// --- Positioning lists ----------------------------------------------------------

// Up to `count` numbers of a list; a value that cannot be read is reported
// and the numbers before it are kept. The list is not read further than it
// is used, so a list of a million numbers costs no more than the text.
std::vector<Number> ReadNumberList(const CElem& elem, AttributeId attribute, std::size_t count,
                                   const CLoadContext& context)
{
    std::vector<Number> numbers;
    const std::string* text = elem.attributes.Value(attribute);
    if (text == nullptr)
        return numbers;
    std::size_t pos = SkipSpace(*text, 0);
    while (pos < text->size() && numbers.size() < count) {
        const std::optional<Number> number = ParseNumber(*text, pos);
        if (!number) {
            ReportInvalidValue(elem, attribute, *text, context);
            break;
        }
        numbers.push_back(*number);
        pos = SkipSeparator(*text, pos);
    }
    return numbers;
}

bool TakesPositions(const CElem& elem)
{
    const ElementId id = elem.Id();
    return id == ElementId::text || id == ElementId::tspan || id == ElementId::tref || id == ElementId::altGlyph;
}

void ReadLengths(const TextSpan& span, AttributeId attribute, PercentRule rule, const CLoadContext& context,
                 std::vector<CharPlacement>& out, void (*store)(CharPlacement&, float))
{
    const std::size_t count = span.end - span.first;
    const std::vector<Number> numbers = ReadNumberList(*span.elem, attribute, count, context);
    const LengthContext lengths = LengthsOf(*span.elem, context);
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        const auto value = static_cast<float>(ResolveLength(numbers[k], rule, lengths));
        store(out[span.first + k], std::isfinite(value) ? value : 0.0f);
    }
}

void ReadRotations(const TextSpan& span, const CLoadContext& context, std::vector<CharPlacement>& out)
{
    const std::size_t count = span.end - span.first;
    std::vector<Number> numbers = ReadNumberList(*span.elem, AttributeId::rotate, count, context);
    // rotate is a list of plain numbers: degrees without a unit.
    const auto withUnit = std::find_if(numbers.begin(), numbers.end(),
                                       [](const Number& number) { return number.unit != Unit::User; });
    if (withUnit != numbers.end()) {
        ReportInvalidValue(*span.elem, AttributeId::rotate, *span.elem->attributes.Value(AttributeId::rotate),
                           context);
        numbers.erase(withUnit, numbers.end());
    }
    if (numbers.empty())
        return;
    for (std::size_t k = 0; k < count; ++k) {
        const auto degrees = static_cast<float>(ToDegrees(numbers[std::min(k, numbers.size() - 1)]));
        out[span.first + k].rotate = std::isfinite(degrees) ? degrees : 0.0f;
    }
}

}  // namespace

TextContent CollectTextContent(const CElemText& text, CTextReferences& references, CLoadContext& context)
{
    return CContentCollector(references, context).Collect(text);
}

std::vector<CharPlacement> ReadPlacements(const TextContent& content, CLoadContext& context)
{
    std::vector<CharPlacement> placements(content.chars.size());
    // Parents come before their children, so inner values overwrite outer ones.
    for (const TextSpan& span : content.spans) {
        if (!TakesPositions(*span.elem) || span.first >= span.end)
            continue;
        ReadLengths(span, AttributeId::x, PercentRule::HorizontalPosition, context, placements,
                    [](CharPlacement& p, float v) { p.x = v; });
        ReadLengths(span, AttributeId::y, PercentRule::VerticalPosition, context, placements,
                    [](CharPlacement& p, float v) { p.y = v; });
        ReadLengths(span, AttributeId::dx, PercentRule::HorizontalSize, context, placements,
                    [](CharPlacement& p, float v) { p.dx = v; });
        ReadLengths(span, AttributeId::dy, PercentRule::VerticalSize, context, placements,
                    [](CharPlacement& p, float v) { p.dy = v; });
        ReadRotations(span, context, placements);
    }
    return placements;
}

}  // namespace svg
