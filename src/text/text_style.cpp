// Reading the text properties of content elements.
#include "text/text_style.h"

#include <cmath>

#include "model/attribute_reader.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "text/bidi.h"
#include "text/font_context.h"
#include "values/number.h"
#include "values/scan.h"

namespace svg {
namespace {

std::string_view Trimmed(const std::string* text) { return text != nullptr ? TrimSpace(*text) : std::string_view{}; }

void Report(const CElem& elem, AttributeId attribute, const std::string& text, const CLoadContext& context)
{
    ReportInvalidValue(elem, attribute, text, context);
}

WritingMode ReadWritingMode(const CElem& text, const CLoadContext& context)
{
    const std::string* value = text.GetAttribute(AttributeId::writing_mode, true);
    const std::string_view mode = Trimmed(value);
    if (value == nullptr || mode == "lr-tb" || mode == "lr" || mode == "horizontal-tb")
        return WritingMode::LeftToRight;
    if (mode == "rl-tb" || mode == "rl")
        return WritingMode::RightToLeft;
    // vertical-rl and vertical-lr are the same vertical lines in CSS's words.
    if (mode == "tb-rl" || mode == "tb" || mode == "vertical-rl" || mode == "vertical-lr")
        return WritingMode::TopToBottom;
    Report(text, AttributeId::writing_mode, *value, context);
    return WritingMode::LeftToRight;
}

// letter-spacing, word-spacing and kerning as lengths: em of the element's
// font, percentages of the viewport along the line. Null for the keyword
// `normalWord` (and for a missing value); an unreadable value is reported.
std::optional<float> ReadSpacing(const CElem& elem, AttributeId attribute, std::string_view normalWord,
                                 bool vertical, const CLoadContext& context)
{
    const std::string* value = elem.GetAttribute(attribute, true);
    const std::string_view text = Trimmed(value);
    if (value == nullptr || text == normalWord)
        return std::nullopt;
    const std::optional<Number> length = ParseLength(text);
    if (!length) {
        Report(elem, attribute, *value, context);
        return std::nullopt;
    }
    const double user = ResolveLength(*length, vertical ? PercentRule::VerticalSize : PercentRule::HorizontalSize,
                                      LengthsOf(elem, context));
    return std::isfinite(user) ? std::optional(static_cast<float>(user)) : std::nullopt;
}

TextAnchor ReadAnchor(const CElem& elem, const CLoadContext& context)
{
    // An unknown value is reported and the nearest ancestor's value used.
    for (const CElem* at = &elem; at != nullptr; at = at->Parent()) {
        const std::string* value = at->attributes.Value(AttributeId::text_anchor);
        if (value == nullptr || TrimSpace(*value) == "inherit")
            continue;
        const std::string_view text = TrimSpace(*value);
        if (text == "start")
            return TextAnchor::Start;
        if (text == "middle")
            return TextAnchor::Middle;
        if (text == "end")
            return TextAnchor::End;
        if (at == &elem)
            Report(elem, AttributeId::text_anchor, *value, context);
    }
    return TextAnchor::Start;
}

// glyph-orientation-vertical and -horizontal: "auto", or an angle rounded to
// quarter turns (deg, rad, grad; a plain number is degrees).
int ReadOrientation(const CElem& elem, AttributeId attribute, int automatic, const CLoadContext& context)
{
    const std::string* value = elem.GetAttribute(attribute, true);
    const std::string_view text = Trimmed(value);
    if (value == nullptr || text == "auto")
        return automatic;
    const std::optional<Number> angle = ParseLength(text);
    const bool angular = angle && (angle->unit == Unit::User || angle->unit == Unit::Deg ||
                                   angle->unit == Unit::Rad || angle->unit == Unit::Grad);
    if (!angular) {
        Report(elem, attribute, *value, context);
        return automatic;
    }
    double degrees = std::fmod(ToDegrees(*angle), 360.0);
    if (degrees < 0)
        degrees += 360;
    // Angles from 315 degrees up round to a whole turn, which is no turn.
    return static_cast<int>(std::floor(degrees / 90 + 0.5)) % 4;
}

// The decorations a text-decoration value declares, as words separated by
// white space (CSS); a value with any other word declares none.
bool Declares(std::string_view value, std::string_view word)
{
    bool found = false;
    std::size_t pos = SkipSpace(value, 0);
    while (pos < value.size()) {
        std::size_t end = pos;
        while (end < value.size() && !IsSpace(value[end]))
            ++end;
        const std::string_view item = value.substr(pos, end - pos);
        if (item != "underline" && item != "overline" && item != "line-through" && item != "blink")
            return false;
        found = found || item == word;
        pos = SkipSpace(value, end);
    }
    return found;
}

// The element (within the text) whose paint draws decoration `word` over
// `elem`'s glyphs: the nearest element from `elem` up that declares it; one
// declared above the `text` element paints with the text's own paint.
const CElem* DecorationPainter(const CElem& elem, const CElem& text, std::string_view word)
{
    bool insideText = true;
    for (const CElem* at = &elem; at != nullptr; at = at->Parent()) {
        const std::string* value = at->attributes.Value(AttributeId::text_decoration);
        if (value != nullptr && Declares(*value, word))
            return insideText ? at : &text;
        if (at == &text)
            insideText = false;
    }
    return nullptr;
}

// An unreadable text-decoration of a content element is reported once.
void CheckDecoration(const CElem& elem, const CLoadContext& context)
{
    const std::string* value = elem.attributes.Value(AttributeId::text_decoration);
    if (value == nullptr)
        return;
    const std::string_view text = TrimSpace(*value);
    if (text == "none" || text == "inherit")
        return;
    if (!Declares(text, "underline") && !Declares(text, "overline") && !Declares(text, "line-through") &&
        !Declares(text, "blink"))
        Report(elem, AttributeId::text_decoration, *value, context);
}

// --- Baselines -----------------------------------------------------------------------

// How far the glyphs of a face move down so that `baseline` of theirs sits
// where the alphabetic baseline of the line is: the baseline's height above
// the alphabetic one. Tables come from the face's ascent, descent and
// x-height, as browsers build them for fonts without a BASE table.
float BaselineHeight(const CFontFace& face, float fontSize, Baseline baseline)
{
    if (!(face.unitsPerEm > 0))
        return 0;
    const float scale = fontSize / face.unitsPerEm;
    const float ascent = face.ascent * scale;
    const float descent = -face.descent * scale;  // below the baseline: negative
    switch (baseline) {
    case Baseline::Hanging: return ascent * 0.8f;
    case Baseline::Middle: return face.xHeight * scale * 0.5f;
    case Baseline::Central: return (ascent + descent) * 0.5f;
    case Baseline::Mathematical: return ascent * 0.5f;
    case Baseline::BeforeEdge:
    case Baseline::TextBeforeEdge:
    case Baseline::Top:
    case Baseline::TextTop: return ascent;
    case Baseline::AfterEdge:
    case Baseline::TextAfterEdge:
    case Baseline::Bottom:
    case Baseline::TextBottom:
    case Baseline::Ideographic: return descent;
    default: return 0;
    }
}

std::optional<Baseline> ReadBaseline(const CElem& elem, AttributeId attribute, const CLoadContext& context)
{
    const std::string* value = elem.GetAttribute(attribute, false);
    if (value == nullptr)
        return std::nullopt;
    const std::optional<Baseline> baseline = ParseBaseline(TrimSpace(*value));
    if (!baseline)
        Report(elem, attribute, *value, context);
    return baseline;
}

// The dominant baseline in force for a content element: its own, else its
// nearest content ancestor's ("auto", "no-change" and "reset-size" leave
// the one in force).
Baseline DominantBaseline(const TextContent& content, std::size_t span, const CLoadContext& context,
                          bool reportOwn)
{
    for (std::int32_t at = static_cast<std::int32_t>(span); at != kNoSpan; at = content.spans[at].parent) {
        const CElem& elem = *content.spans[static_cast<std::size_t>(at)].elem;
        // "inherit" reads the parent's value, also above the `text` element.
        const std::string* value = elem.GetAttribute(AttributeId::dominant_baseline, false);
        if (value == nullptr)
            continue;
        const std::optional<Baseline> baseline = ParseBaseline(TrimSpace(*value));
        if (!baseline) {
            if (reportOwn && at == static_cast<std::int32_t>(span))
                Report(elem, AttributeId::dominant_baseline, *value, context);
            continue;
        }
        if (*baseline != Baseline::Auto && *baseline != Baseline::NoChange && *baseline != Baseline::ResetSize)
            return *baseline;
    }
    return Baseline::Alphabetic;
}

// baseline-shift of one element, down positive: sub and super by the
// font's own subscript and superscript offsets, percentages of the font
// size, lengths as given (up).
float OwnBaselineShift(const SpanStyle& span, const CLoadContext& context)
{
    const CElem& elem = *span.elem;
    const float fontSize = span.fontSize;
    const std::string* value = elem.GetAttribute(AttributeId::baseline_shift, false);
    const std::string_view text = Trimmed(value);
    if (value == nullptr || text == "baseline")
        return 0;
    const CFontFace* face = span.primaryFace.get();
    const float scale = face != nullptr && face->unitsPerEm > 0 ? fontSize / face->unitsPerEm : 0.0f;
    if (text == "sub")
        return face != nullptr ? face->subscriptOffset * scale : fontSize * 0.2f;
    if (text == "super")
        return face != nullptr ? -face->superscriptOffset * scale : -fontSize * 0.4f;
    const std::optional<Number> length = ParseLength(text);
    if (!length) {
        Report(elem, AttributeId::baseline_shift, *value, context);
        return 0;
    }
    const double shift = length->unit == Unit::Percent ? length->value / 100 * fontSize
                                                       : ToUserUnits(*length, LengthsOf(elem, context));
    return std::isfinite(shift) ? static_cast<float>(-shift) : 0.0f;
}

void ReadTextLength(const CElem& elem, SpanStyle& style, bool vertical, const CLoadContext& context)
{
    // An attribute, not a property: "inherit" is no length. A value that is
    // no length at all is ignored without a message; a negative one is an
    // error (SVG 1.1; zero is a length like any other).
    const std::string* value = elem.attributes.Value(AttributeId::textLength);
    if (value != nullptr) {
        if (const std::optional<Number> length = ParseLength(*value)) {
            const double user = ResolveLength(*length, vertical ? PercentRule::VerticalSize : PercentRule::HorizontalSize,
                                              LengthsOf(elem, context));
            if (user >= 0 && std::isfinite(user))
                style.textLength = static_cast<float>(user);
            else
                Report(elem, AttributeId::textLength, *value, context);
        }
    }
    const std::string* adjust = elem.GetAttribute(AttributeId::lengthAdjust, false);
    if (adjust != nullptr) {
        const std::string_view text = TrimSpace(*adjust);
        if (text == "spacingAndGlyphs")
            style.spacingAndGlyphs = true;
        else if (text != "spacing")
            Report(elem, AttributeId::lengthAdjust, *adjust, context);
    }
}

void ReadBidi(const CElem& elem, SpanStyle& style, const CLoadContext& context)
{
    const std::string* direction = elem.GetAttribute(AttributeId::direction, true);
    const std::string* unicodeBidi = elem.GetAttribute(AttributeId::unicode_bidi, false);
    const EmbeddingResult result = ResolveEmbedding(Trimmed(direction), Trimmed(unicodeBidi));
    if (result.invalidDirection && elem.attributes.Value(AttributeId::direction) == direction)
        Report(elem, AttributeId::direction, *direction, context);
    if (result.invalidUnicodeBidi)
        Report(elem, AttributeId::unicode_bidi, *unicodeBidi, context);
    style.rtl = Trimmed(direction) == "rtl";
    style.embedding = result.code;
}

SpanStyle ReadSpan(const TextContent& content, std::size_t index, const TextStyle& text, CFontContext& fonts,
                   const CLoadContext& context)
{
    const CElem& elem = *content.spans[index].elem;
    const CElem& textElem = *content.spans.front().elem;
    const bool vertical = IsVertical(text.mode);
    SpanStyle style;
    style.elem = &elem;
    style.familyList = elem.props.fontFamily;
    style.query.style = static_cast<std::uint16_t>(elem.props.fontStyle);
    style.query.weight = elem.props.fontWeight;
    style.query.stretch = elem.props.fontStretch;
    style.query.variant = elem.props.fontVariant == FontVariant::SmallCaps ? 2 : 1;
    style.fontSize = elem.props.fontSize;
    style.primaryFace = fonts.Pool().FindFaceInList(style.familyList, style.query);

    style.letterSpacing = ReadSpacing(elem, AttributeId::letter_spacing, "normal", vertical, context).value_or(0);
    style.wordSpacing = ReadSpacing(elem, AttributeId::word_spacing, "normal", vertical, context).value_or(0);
    if (const std::optional<float> kerning = ReadSpacing(elem, AttributeId::kerning, "auto", vertical, context)) {
        style.fontKerning = false;
        style.kerningSpacing = *kerning;
    }
    style.anchor = ReadAnchor(elem, context);
    ReadBidi(elem, style, context);
    CheckDecoration(elem, context);
    style.underline = DecorationPainter(elem, textElem, "underline");
    style.overline = DecorationPainter(elem, textElem, "overline");
    style.lineThrough = DecorationPainter(elem, textElem, "line-through");
    ReadTextLength(elem, style, vertical, context);
    style.orientationVertical =
        ReadOrientation(elem, AttributeId::glyph_orientation_vertical, kOrientationAuto, context);
    style.orientationHorizontal = ReadOrientation(elem, AttributeId::glyph_orientation_horizontal, 0, context);
    return style;
}

// Where a span's glyphs sit across the line. Horizontally: the shifts of
// the span and its content ancestors (the `text` element's own shift does
// not apply), then the span's alignment baseline, or else the dominant
// baseline in force, of its own face. Vertical text is centred on its line
// glyph by glyph; only the shifts apply there, to the right.
float BaselineOffset(const TextContent& content, const TextStyle& text, std::size_t index,
                     const CLoadContext& context)
{
    float shift = 0;
    for (std::int32_t at = static_cast<std::int32_t>(index); at > 0; at = content.spans[at].parent) {
        const SpanStyle& span = text.spans[static_cast<std::size_t>(at)];
        shift += OwnBaselineShift(span, context);
    }
    const SpanStyle& style = text.spans[index];
    if (IsVertical(text.mode))
        return -shift;
    const std::optional<Baseline> alignment = ReadBaseline(*style.elem, AttributeId::alignment_baseline, context);
    Baseline baseline = DominantBaseline(content, index, context, true);
    if (alignment && *alignment != Baseline::Auto && *alignment != Baseline::Baseline)
        baseline = *alignment;
    if (!style.primaryFace)
        return shift;
    return shift + BaselineHeight(*style.primaryFace, style.fontSize, baseline);
}

}  // namespace

bool IsVertical(WritingMode mode) { return mode == WritingMode::TopToBottom; }

TextStyle ReadTextStyle(const TextContent& content, CFontContext& fonts, CLoadContext& context)
{
    TextStyle text;
    text.mode = ReadWritingMode(*content.spans.front().elem, context);
    text.spans.reserve(content.spans.size());
    for (std::size_t i = 0; i < content.spans.size(); ++i)
        text.spans.push_back(ReadSpan(content, i, text, fonts, context));
    for (std::size_t i = 0; i < content.spans.size(); ++i)
        text.spans[i].baselineOffset = BaselineOffset(content, text, i, context);
    return text;
}

}  // namespace svg
