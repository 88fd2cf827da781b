// Property resolution: turns an element's specified values into the resolved
// fields of ResolvedProperties, once, before the element's own Setup. Three
// lookups are used:
//   parent-resolved  the parent's resolved value unless the element has its
//                    own (font properties, display, visibility, color, fill-rule);
//   inherited text   the element's own value, else the nearest ancestor's,
//                    parsed in this element's context (percentages against its
//                    viewport, em against its font size: fill, stroke and
//                    their properties);
//   own              only the element's own value, else the initial value
//                    (transform, overflow, opacity, mask, filter, clip-path).
// Nothing here fails: a bad value is reported with its location and the
// starting or initial value stays.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "style/resolve.h"

#include "base/limits.h"
#include "model/attribute_reader.h"
#include "model/elem.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "model/properties.h"
#include "model/references.h"
#include "values/color.h"
#include "values/matrix.h"
#include "values/number.h"
#include "values/syntax.h"
#include "values/scan.h"

namespace svg {
namespace {

constexpr Rgb kBlack{0, 0, 0};

struct Keyword {
    std::string_view name;
    int code;
};

constexpr Keyword kDisplays[] = {
    {"inline", 0},         {"block", 1},         {"list-item", 2},           {"run-in", 3},
    {"compact", 4},        {"marker", 5},        {"table", 6},               {"inline-table", 7},
    {"table-row-group", 8}, {"table-header-group", 9}, {"table-footer-group", 10}, {"table-row", 11},
    {"table-column-group", 12}, {"table-column", 13}, {"table-cell", 14}, {"table-caption", 15},
    {"none", 16}};
constexpr Keyword kOverflows[] = {{"visible", 0}, {"hidden", 1}, {"scroll", 2}, {"auto", 3}};
constexpr Keyword kVisibilities[] = {{"visible", 0}, {"hidden", 1}, {"collapse", 2}};

struct SizeKeyword {
    std::string_view name;
    float size;  // user units
};
constexpr SizeKeyword kFontSizes[] = {{"xx-small", 8.8f}, {"x-small", 10.0f}, {"small", 13.0f},
                                      {"medium", 15.5f},  {"large", 17.5f},   {"x-large", 23.3f},
                                      {"xx-large", 31.0f}};

// The CSS font-stretch percentages, narrowest first; wider and narrower step
// along this scale.
constexpr SizeKeyword kFontStretches[] = {
    {"ultra-condensed", 0.5f}, {"extra-condensed", 0.625f}, {"condensed", 0.75f},
    {"semi-condensed", 0.875f}, {"normal", 1.0f},            {"semi-expanded", 1.125f},
    {"expanded", 1.25f},        {"extra-expanded", 1.5f},    {"ultra-expanded", 2.0f}};

std::optional<int> FindKeyword(std::string_view word, std::span<const Keyword> table)
{
    for (const Keyword& keyword : table)
        if (keyword.name == word)
            return keyword.code;
    return std::nullopt;
}

std::optional<float> FindSize(std::string_view word, std::span<const SizeKeyword> table)
{
    for (const SizeKeyword& keyword : table)
        if (keyword.name == word)
            return keyword.size;
    return std::nullopt;
}

// --- The three lookups --------------------------------------------------------------

// Parent-resolved: the element's own value, or nothing when the parent's
// resolved value stays. "inherit" keeps the parent's resolved value as well:
// reading the ancestor's text again would apply a relative value such as
// "150%" or "bolder" twice.
std::optional<std::string_view> OwnOverride(const CElem& elem, AttributeId name)
{
    const std::string* value = elem.attributes.Value(name);
    if (value == nullptr)
        return std::nullopt;
    const std::string_view text = TrimCssSpace(*value);
    if (text == "inherit")
        return std::nullopt;
    return text;
}

// Inherited text: the element's own value, else the nearest ancestor's.
std::optional<std::string_view> InheritedText(const CElem& elem, AttributeId name)
{
    const std::string* value = elem.GetAttribute(name, true);
    return value != nullptr ? std::optional(TrimCssSpace(*value)) : std::nullopt;
}

// Own: the element's value ("inherit" reads the parent's), else nothing.
std::optional<std::string_view> OwnText(const CElem& elem, AttributeId name)
{
    const std::string* value = elem.GetAttribute(name, false);
    return value != nullptr ? std::optional(TrimCssSpace(*value)) : std::nullopt;
}

int ResolveKeyword(std::optional<std::string_view> text, std::span<const Keyword> table, int start)
{
    return text ? FindKeyword(*text, table).value_or(start) : start;
}

// A keyword of one of the typed sets: the parent's (or initial) value when
// there is none or it is unknown.
template <typename Value>
Value ResolveTyped(std::optional<std::string_view> text, std::optional<Value> (*parse)(std::string_view), Value start)
{
    if (!text)
        return start;
    return parse(*text).value_or(start);
}

// A number with its unit; nothing for text that does not start with one, or
// for a value too large to be a float.
std::optional<Number> FiniteNumber(std::string_view text)
{
    const std::optional<Number> number = ParseNumber(text);
    if (!number || !std::isfinite(static_cast<float>(number->value)))
        return std::nullopt;
    return number;
}

// A number that is the whole value, with no unit (px reads the same) or the
// given one: opacity and the miter limit are plain numbers, so "0.1mm" is no
// value of theirs, nor is "20%" a miter limit.
std::optional<double> PlainNumber(std::string_view text, std::optional<Unit> allowedUnit = std::nullopt)
{
    std::size_t end = 0;
    const std::optional<Number> number = ParseNumber(text, end);
    if (!number || end != text.size() || !std::isfinite(static_cast<float>(number->value)))
        return std::nullopt;
    if (number->unit != Unit::User && number->unit != allowedUnit)
        return std::nullopt;
    return number->unit == Unit::Percent ? number->value / 100 : number->value;
}

// Stroke widths and dash lengths: percentages of the viewport
// diagonal. Resolution runs before the element takes its parent's viewport,
// so the parent's is the one that applies.
std::optional<double> DiagonalLength(const CElem& elem, const Number& number, const CLoadContext& context)
{
    const CElem* viewportOwner = elem.Parent() != nullptr ? elem.Parent() : &elem;
    const float dpi = context.Options().dpi;
    const double length = number.unit == Unit::Percent
                              ? ResolveLength(number, PercentRule::Diagonal, viewportOwner->Lengths(dpi))
                              : ToUserUnits(number, elem.Lengths(dpi));
    if (!std::isfinite(length))
        return std::nullopt;
    return length;
}

std::optional<double> DiagonalLength(const CElem& elem, std::string_view text, const CLoadContext& context)
{
    const std::optional<Number> number = FiniteNumber(text);
    return number ? DiagonalLength(elem, *number, context) : std::nullopt;
}

// --- Fonts --------------------------------------------------------------------------

// A leading integer: none, or 0, means normal (400); one beyond 1000 is no
// weight (CSS) and leaves `start`; others are clamped to 100..900 but not
// snapped to multiples of 100.
int ParseWeightNumber(std::string_view text, int start)
{
    std::size_t pos = 0;
    while (pos < text.size() && IsCssSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = std::min(value * 10 + (text[pos] - '0'), 100000L);  // saturates far above 900
    if (value == 0)
        return 400;
    if (!negative && value > 1000)
        return start;
    return negative ? 100 : static_cast<int>(std::clamp(value, 100L, 900L));
}

// bolder and lighter step along the weights fonts commonly have, as CSS
// Fonts gives it and browsers do: 400 bolder is 700, 400 lighter is 100.
int BolderWeight(int weight) { return weight < 350 ? 400 : weight < 550 ? 700 : 900; }
int LighterWeight(int weight) { return weight < 550 ? 100 : weight < 750 ? 400 : 700; }

int ResolveFontWeight(std::optional<std::string_view> text, int start)
{
    if (!text)
        return start;
    if (*text == "normal")
        return 400;
    if (*text == "bold")
        return 700;
    if (*text == "bolder")
        return BolderWeight(start);
    if (*text == "lighter")
        return LighterWeight(start);
    return ParseWeightNumber(*text, start);
}

float ResolveFontSize(const CElem& elem, std::optional<std::string_view> text, float start, const FaceMetrics& face,
                      float dpi)
{
    if (!text)
        return start;
    if (const std::optional<float> size = FindSize(*text, kFontSizes))
        return *size;
    if (*text == "larger")
        return start * 1.2f;
    if (*text == "smaller")
        return start / 1.2f;
    const std::optional<Number> number = FiniteNumber(*text);
    if (!number)
        return start;
    double size = 0;
    switch (number->unit) {
    case Unit::Percent: size = number->value / 100 * start; break;
    case Unit::Em: size = number->value * start; break;
    case Unit::Ex: size = number->value * face.xHeight / face.unitsPerEm * start; break;
    default: size = ToUserUnits(*number, elem.Lengths(dpi)); break;
    }
    // A negative size is invalid in CSS and would mirror the glyphs.
    const float result = static_cast<float>(size);
    return std::isfinite(result) && result >= 0 ? result : start;
}

float ResolveFontStretch(std::optional<std::string_view> text, float start)
{
    if (!text)
        return start;
    if (const std::optional<float> factor = FindSize(*text, kFontStretches))
        return *factor;
    if (*text == "wider") {
        for (const SizeKeyword& step : kFontStretches)
            if (step.size > start)
                return step.size;
        return kFontStretches[std::size(kFontStretches) - 1].size;
    }
    if (*text == "narrower") {
        for (auto step = std::rbegin(kFontStretches); step != std::rend(kFontStretches); ++step)
            if (step->size < start)
                return step->size;
        return kFontStretches[0].size;
    }
    return start;
}

float ResolveFontSizeAdjust(std::optional<std::string_view> text, float start)
{
    if (!text)
        return start;
    if (*text == "none")
        return 0;
    const std::optional<Number> number = FiniteNumber(*text);
    if (!number)
        return start;
    const double adjust = number->unit == Unit::Percent ? number->value / 100 : number->value;
    return adjust > 0 ? static_cast<float>(adjust) : start;
}

// The size children start from. font-size-adjust changes only the size this
// element draws with; its unadjusted size (of which the x-height is `adjust`
// times) is what descendants scale, or the adjustment would compound at every
// level of nesting.
float SizeForChildren(const ResolvedProperties& parent)
{
    return parent.fontSizeAdjust > 0 ? parent.xHeight / parent.fontSizeAdjust : parent.fontSize;
}

FaceMetrics FaceOf(const ResolvedProperties& props, const CLoadContext& context)
{
    CFontMetricsSource* fonts = context.FontMetrics();
    return fonts != nullptr ? fonts->Metrics(props.fontFamily, props.fontWeight, props.fontStyle) : FaceMetrics{};
}

// True when `text` holds a length in ex units ("2ex", ".5ex").
bool HasExUnit(std::string_view text)
{
    for (std::size_t at = text.find("ex"); at != std::string_view::npos; at = text.find("ex", at + 1)) {
        const bool afterNumber = at > 0 && ((text[at - 1] >= '0' && text[at - 1] <= '9') || text[at - 1] == '.');
        const bool wordEnds = at + 2 == text.size() || !std::isalpha(static_cast<unsigned char>(text[at + 2]));
        if (afterNumber && wordEnds)
            return true;
    }
    return false;
}

bool OwnValuesUseEx(const CElem& elem)
{
    for (const CAttributeMap::Entry& entry : elem.attributes)
        if (HasExUnit(entry.value))
            return true;
    return false;
}

// The face's metrics are needed for ex units (in this element's values or an
// ancestor's, which inherited values are parsed against), for
// font-size-adjust and for text. Elsewhere the x-height keeps the default
// proportion, so that a document without text and ex units never starts the
// font machinery.
bool NeedsFaceMetrics(const CElem& elem, const ResolvedProperties& props)
{
    return props.exUnitsInScope || props.fontSizeAdjust > 0 || elem.Class() == ElemClass::Text;
}

// The parent's copy when the value is the same text, else the load's shared one.
SharedText InheritedOrShared(std::optional<std::string_view> own, const SharedText& start, CLoadContext& context)
{
    return !own || start == *own ? start : context.ShareText(*own);
}

void ResolveFont(CElem& elem, const ResolvedProperties& start, CLoadContext& context)
{
    ResolvedProperties& props = elem.props;
    props.fontFamily = InheritedOrShared(OwnOverride(elem, AttributeId::font_family), start.fontFamily, context);
    props.fontStyle = ResolveTyped(OwnOverride(elem, AttributeId::font_style), &ParseFontStyle, start.fontStyle);
    props.fontWeight = ResolveFontWeight(OwnOverride(elem, AttributeId::font_weight), start.fontWeight);
    props.exUnitsInScope = start.exUnitsInScope || OwnValuesUseEx(elem);
    props.fontSizeAdjust =
        ResolveFontSizeAdjust(OwnOverride(elem, AttributeId::font_size_adjust), start.fontSizeAdjust);
    FaceMetrics face;
    if (NeedsFaceMetrics(elem, props)) {
        face = FaceOf(props, context);
    } else {
        face.xHeight = face.unitsPerEm * context.Options().defaultXHeight / context.Options().defaultFontSize;
        face.capHeight = face.unitsPerEm * 0.7f;
    }
    props.fontSize = ResolveFontSize(elem, OwnOverride(elem, AttributeId::font_size), SizeForChildren(start), face,
                                     context.Options().dpi);
    props.fontStretch = ResolveFontStretch(OwnOverride(elem, AttributeId::font_stretch), start.fontStretch);
    props.fontVariant =
        ResolveTyped(OwnOverride(elem, AttributeId::font_variant), &ParseFontVariant, start.fontVariant);
    if (props.fontSizeAdjust > 0) {
        const float adjusted = props.fontSizeAdjust * face.unitsPerEm / face.xHeight * props.fontSize;
        if (std::isfinite(adjusted))
            props.fontSize = adjusted;
    }
    props.xHeight = face.xHeight * props.fontSize / face.unitsPerEm;
    props.capHeight = face.capHeight * props.fontSize / face.unitsPerEm;
}

// --- Layout, transform, colour ------------------------------------------------------

// display does not apply to these: their content is used wherever they are
// referenced, even when they or an ancestor say none, and must not inherit
// that none. (A marker lets its drawing ignore display instead.)
bool IsDrawnOnlyByReference(ElementId id)
{
    return id == ElementId::clipPath || id == ElementId::mask || id == ElementId::pattern;
}

// Unlike the other parent-resolved keywords, an unknown display value means inline.
Display ResolveDisplay(const CElem& elem, Display start)
{
    if (IsDrawnOnlyByReference(elem.Id()))
        return Display::Inline;
    const std::optional<std::string_view> text = OwnOverride(elem, AttributeId::display);
    return text ? static_cast<Display>(FindKeyword(*text, kDisplays).value_or(0)) : start;
}

// SVG 1.1 gives svg no transform, but browsers apply one outside its viewport
// (clip and viewBox included), as SVG 2 does; documents written for them
// would otherwise draw out of place. symbol keeps the SVG 1.1 rule.
bool TakesTransform(ElementId id)
{
    switch (id) {
    case ElementId::a:
    case ElementId::circle:
    case ElementId::clipPath:
    case ElementId::defs:
    case ElementId::ellipse:
    case ElementId::foreignObject:
    case ElementId::g:
    case ElementId::image:
    case ElementId::line:
    case ElementId::path:
    case ElementId::polygon:
    case ElementId::polyline:
    case ElementId::rect:
    case ElementId::svg:
    case ElementId::switch_:
    case ElementId::text:
    case ElementId::use: return true;
    default: return false;
    }
}

void ResolveTransform(CElem& elem, const CLoadContext& context)
{
    const std::string* text = elem.GetAttribute(AttributeId::transform, false);
    if (text == nullptr)
        return;
    if (!TakesTransform(elem.Id())) {
        context.Log().Report(elem, msg::kTransformNotApplicable, elem.Name().c_str());
        return;
    }
    Matrix matrix;
    if (!ParseTransform(*text, matrix)) {
        ReportInvalidValue(elem, AttributeId::transform, *text, context);
        return;
    }
    elem.props.transform = matrix;
}

// `color` keeps its text, for currentColor to parse later. "currentColor" as
// the value of `color` itself means the parent's colour, like "inherit"; a
// value that is not a colour is ignored like an unknown keyword.
SharedText ResolveColor(const CElem& elem, const SharedText& start, CLoadContext& context)
{
    const std::optional<std::string_view> text = OwnOverride(elem, AttributeId::color);
    if (!text || *text == "currentColor" || !ParseColor(*text, context.Options().desktop.palette))
        return start;
    return InheritedOrShared(text, start, context);
}

// A percentage counts as its fraction.
float ResolveOpacity(std::optional<std::string_view> text)
{
    const std::optional<double> opacity = text ? PlainNumber(*text, Unit::Percent) : std::nullopt;
    return opacity ? static_cast<float>(std::clamp(*opacity, 0.0, 1.0)) : 1.0f;
}

// --- mask, filter, clip-path --------------------------------------------------------

// The value of a reference property; nothing for "none", which names no file.
const std::string* ReferenceValue(const CElem& elem, AttributeId name)
{
    const std::string* value = elem.GetAttribute(name, false);
    if (value == nullptr || TrimCssSpace(*value).empty() || TrimCssSpace(*value) == "none")
        return nullptr;
    return value;
}

// The message names the property whose reference closes the loop.
void ReportCycle(const CElem& elem, AttributeId property, const std::string& value, const CLoadContext& context)
{
    context.Log().Report(elem, msg::kPropertyCycle, elem.Name().c_str(), std::string(AttributeName(property)).c_str(),
                         value.c_str());
}

// True when the references of `property` that start at `target` come back
// to `elem` (a mask whose mask has a mask ..., a clipPath clipped by a
// clipPath ...): a loop the preparation states miss, because its first
// member finished before the others were reached. Loops longer than the walk
// are cut where they are drawn.
bool LeadsBack(const CElem& target, const CElem& elem, const CElem* ResolvedProperties::*property)
{
    const CElem* next = &target;
    for (std::size_t step = 0; next != nullptr && step < limits::kMaxHrefChain; ++step, next = next->props.*property)
        if (next == &elem)
            return true;
    return false;
}

void ResolveMask(CElem& elem, CLoadContext& context)
{
    const std::string* value = ReferenceValue(elem, AttributeId::mask);
    if (value == nullptr)
        return;
    CElem* target = FindReference(elem, *value, context);
    const char* name = elem.Name().c_str();
    if (target == nullptr)
        context.Log().Report(elem, msg::kMaskNotFound, name, value->c_str());
    else if (target->prepState == PrepState::BeingPrepared || LeadsBack(*target, elem, &ResolvedProperties::mask))
        ReportCycle(elem, AttributeId::mask, *value, context);
    else if (target->Id() != ElementId::mask)
        context.Log().Report(elem, msg::kMaskNotMask, name, value->c_str());
    else
        elem.props.mask = target;
}

void ResolveFilter(CElem& elem, CLoadContext& context)
{
    const std::string* value = ReferenceValue(elem, AttributeId::filter);
    if (value == nullptr)
        return;
    CElem* target = FindReference(elem, *value, context);
    const char* name = elem.Name().c_str();
    if (target == nullptr) {
        context.Log().Report(elem, msg::kFilterNotFound, name, value->c_str());
        elem.props.filterFailed = true;
    } else if (target->prepState == PrepState::BeingPrepared) {
        ReportCycle(elem, AttributeId::filter, *value, context);
    } else if (target->Id() != ElementId::filter) {
        context.Log().Report(elem, msg::kFilterNotFilter, name, value->c_str());
        elem.props.filterFailed = true;
    } else {
        elem.props.filter = target;
    }
}

// Anything but a clipPath is ignored silently. A clipPath still being
// prepared is one that clips itself, directly or through its content, and a
// clipPath whose clip-path leads back here closes a loop between clipPaths:
// both are reported like the other reference cycles, since drawing them
// would not end.
void ResolveClipPath(CElem& elem, CLoadContext& context)
{
    const std::string* value = ReferenceValue(elem, AttributeId::clip_path);
    if (value == nullptr)
        return;
    CElem* target = FindReference(elem, *value, context);
    if (target == nullptr || target->Class() != ElemClass::ClipPath)
        return;
    if (target->prepState == PrepState::BeingPrepared || LeadsBack(*target, elem, &ResolvedProperties::clipPath))
        ReportCycle(elem, AttributeId::clip_path, *value, context);
    else
        elem.props.clipPath = target;
}

// --- Colour rendering ---------------------------------------------------------------

ColorRendering ResolveColorRendering(const CElem& elem, const CLoadContext& context)
{
    const std::optional<std::string_view> text = InheritedText(elem, AttributeId::color_rendering);
    if (!text)
        return ColorRendering::OptimizeQuality;
    if (const std::optional<ColorRendering> value = ParseColorRendering(*text))
        return *value;
    context.Log().Report(elem, msg::kColorRenderingInvalid, elem.Name().c_str(), std::string(*text).c_str());
    return ColorRendering::OptimizeQuality;
}

// Only a mask reads the result (the space it takes its luminance in):
// gradients and group compositing stay in sRGB whatever it says, as most
// current renderers draw them.
ColorInterpolation ResolveColorInterpolation(const CElem& elem, const CLoadContext& context)
{
    if (elem.props.colorRendering == ColorRendering::OptimizeSpeed)
        return ColorInterpolation::SRGB;
    const std::optional<std::string_view> text = InheritedText(elem, AttributeId::color_interpolation);
    if (!text)
        return ColorInterpolation::SRGB;
    if (const std::optional<ColorInterpolation> value = ParseColorInterpolation(*text))
        return *value;
    context.Log().Report(elem, msg::kColorInterpolationInvalid, elem.Name().c_str(), std::string(*text).c_str());
    return ColorInterpolation::SRGB;
}

// --- Paint --------------------------------------------------------------------------

// Plain alpha, whatever color-interpolation says: it governs how gradients
// and compositing interpolate, never the colour of solid paint.
Rgba WithOpacity(Rgb color, float opacity)
{
    return Rgba{color.r, color.g, color.b, static_cast<std::uint8_t>(opacity * 255)};
}

enum class PaintProperty { Fill, Stroke };

// What a fill or stroke value paints with: a paint server, a colour, both
// (the colour is the fallback), or neither.
struct Paint {
    CElem* server = nullptr;
    std::optional<Rgb> color;
};

// A url() fallback: nothing when there is none or it is "none" (the colour
// keyword table would make that white), "currentColor" is the element's
// colour, anything else a colour or black.
std::optional<Rgb> FallbackColor(const CElem& elem, std::string_view fallback, const SystemPalette& palette)
{
    if (fallback.empty() || fallback == "none")
        return std::nullopt;
    if (fallback == "currentColor")
        return ParseColor(elem.props.color.Str(), palette).value_or(kBlack);
    return ParseColor(fallback, palette).value_or(kBlack);
}

void ReportMissingServer(const CElem& elem, PaintProperty property, const std::string& value,
                         const CLoadContext& context)
{
    const char* format = property == PaintProperty::Fill ? msg::kFillNotFound : msg::kStrokeNotFound;
    context.Log().Report(elem, format, elem.Name().c_str(), value.c_str());
}

void ReportCyclicServer(const CElem& elem, const CElem& target, PaintProperty property, const std::string& value,
                        std::string_view reference, const CLoadContext& context)
{
    if (property == PaintProperty::Fill)
        context.Log().Report(elem, msg::kFillCycle, elem.Name().c_str(), std::string(reference).c_str());
    else
        context.Log().Report(elem, msg::kStrokeCycle, target.Name().c_str(), value.c_str());
}

// Both places in the message name the referring element, not the reference.
void ReportNotPaint(const CElem& elem, PaintProperty property, const CLoadContext& context)
{
    const char* name = elem.Name().c_str();
    const char* format = property == PaintProperty::Fill ? msg::kFillNotPaint : msg::kStrokeNotPaint;
    context.Log().Report(elem, format, name, name);
}

Paint ResolveServerPaint(CElem& elem, PaintProperty property, const std::string& value, std::string_view text,
                         CLoadContext& context)
{
    const std::optional<UrlValue> url = ParseUrl(text);
    const std::string_view reference = url ? url->reference : text;
    const std::string_view fallback = url ? url->fallback : std::string_view();
    // A reference that is missing, cyclic or names no paint server is an
    // error: only a fallback paints in its place, never an invented colour.
    Paint paint{nullptr, FallbackColor(elem, fallback, context.Options().desktop.palette)};
    CElem* target = FindReference(elem, reference, context);
    if (target == nullptr)
        ReportMissingServer(elem, property, value, context);
    else if (target->prepState == PrepState::BeingPrepared)
        ReportCyclicServer(elem, *target, property, value, reference, context);
    else if (!target->IsA(ElemClass::Paint))
        ReportNotPaint(elem, property, context);
    else
        paint.server = target;
    return paint;
}

// "none", a colour (black when it does not parse), or "url(ref) fallback";
// currentColor has been replaced by the element's colour.
Paint ResolvePaint(CElem& elem, PaintProperty property, const std::string& value, CLoadContext& context)
{
    const std::string_view text = TrimCssSpace(value);
    if (text == "none")
        return {};
    if (text.starts_with("url("))
        return ResolveServerPaint(elem, property, value, text, context);
    return {nullptr, ParseColor(text, context.Options().desktop.palette).value_or(kBlack)};
}

void ResolveFill(CElem& elem, CLoadContext& context)
{
    ResolvedProperties& props = elem.props;
    const std::string* value = elem.GetColorAttribute(AttributeId::fill, true);
    const Paint paint =
        value != nullptr ? ResolvePaint(elem, PaintProperty::Fill, *value, context) : Paint{nullptr, kBlack};
    props.fillPaintServer = paint.server;
    props.fillBrush.reset();
    if (paint.color)
        props.fillBrush = FillBrush{WithOpacity(*paint.color, props.fillOpacity)};
}

float ResolveStrokeWidth(const CElem& elem, const CLoadContext& context)
{
    const std::optional<std::string_view> text = InheritedText(elem, AttributeId::stroke_width);
    const std::optional<double> width = text ? DiagonalLength(elem, *text, context) : std::nullopt;
    return width && *width >= 0 ? static_cast<float>(*width) : 1.0f;
}

// Dash lengths in user units; empty (a solid line) for no list, a negative or
// unreadable length, or lengths that add up to nothing. An odd list is
// repeated to make the count even, as SVG says.
std::vector<float> ResolveDashes(const CElem& elem, const CLoadContext& context)
{
    const std::optional<std::string_view> text = InheritedText(elem, AttributeId::stroke_dasharray);
    if (!text)
        return {};
    std::vector<Number> numbers;
    ParseNumberList(*text, numbers);
    std::vector<float> dashes;
    double total = 0;
    for (const Number& number : numbers) {
        const std::optional<double> length = DiagonalLength(elem, number, context);
        if (!length || *length < 0)
            return {};
        dashes.push_back(static_cast<float>(*length));
        total += *length;
    }
    if (!(total > 0) || !std::isfinite(total))
        return {};
    if (dashes.size() % 2 == 1) {
        const std::size_t count = dashes.size();
        for (std::size_t i = 0; i < count; ++i)
            dashes.push_back(dashes[i]);
    }
    return dashes;
}

StrokePen MakePen(const CElem& elem, Rgba color, float width, const CLoadContext& context)
{
    StrokePen pen;
    pen.color = color;
    pen.width = width;
    const std::optional<std::string_view> cap = InheritedText(elem, AttributeId::stroke_linecap);
    pen.cap = cap == "round" ? LineCap::Round : cap == "square" ? LineCap::Square : LineCap::Butt;
    const std::optional<std::string_view> join = InheritedText(elem, AttributeId::stroke_linejoin);
    pen.join = join == "round" ? LineJoin::Round : join == "bevel" ? LineJoin::Bevel : LineJoin::Miter;
    const std::optional<std::string_view> miter = InheritedText(elem, AttributeId::stroke_miterlimit);
    pen.miterLimit = static_cast<float>((miter ? PlainNumber(*miter) : std::nullopt).value_or(4));
    pen.dashes = ResolveDashes(elem, context);
    if (!pen.dashes.empty()) {
        const std::optional<std::string_view> offset = InheritedText(elem, AttributeId::stroke_dashoffset);
        pen.dashOffset =
            static_cast<float>((offset ? DiagonalLength(elem, *offset, context) : std::nullopt).value_or(0));
    }
    return pen;
}

void ResolveStroke(CElem& elem, CLoadContext& context)
{
    ResolvedProperties& props = elem.props;
    const std::string* value = elem.GetColorAttribute(AttributeId::stroke, true);
    const Paint paint = value != nullptr ? ResolvePaint(elem, PaintProperty::Stroke, *value, context) : Paint{};
    props.strokePaintServer = paint.server;
    // Markers scale by the stroke width whether or not a stroke is drawn.
    props.strokeWidth = ResolveStrokeWidth(elem, context);
    props.strokePen.reset();
    if (props.strokeWidth <= 0 || (!paint.color && paint.server == nullptr))
        return;
    // A server whose fallback is "none" still needs the pen's geometry; the
    // transparent colour shows nothing if the server cannot paint.
    const Rgba color = paint.color ? WithOpacity(*paint.color, props.strokeOpacity) : Rgba{0, 0, 0, 0};
    props.strokePen = context.SharePen(MakePen(elem, color, props.strokeWidth, context));
}

// The overflow that a child's "inherit" takes from `elem`: its own value,
// else the one the user-agent style sheet gives it (hidden on the elements
// that establish a viewport or a tile, other than the root, and the initial
// visible everywhere else). Elements that ignore overflow keep hidden as
// their value; it matters only to a child that inherits it.
Overflow OverflowToInherit(const CElem& elem)
{
    if (elem.attributes.Value(AttributeId::overflow) != nullptr)
        return elem.props.overflow;
    switch (elem.Id()) {
    case ElementId::svg: return elem.Parent() != nullptr ? Overflow::Hidden : Overflow::Visible;
    case ElementId::symbol:
    case ElementId::image:
    case ElementId::marker:
    case ElementId::pattern:
    case ElementId::foreignObject: return Overflow::Hidden;
    default: return Overflow::Visible;
    }
}

// overflow is not inherited: hidden (what the viewports, tiles and markers
// that read it start with) unless the element gives a value; "inherit" takes
// the parent's value as CSS computes it, so a marker in the root inherits
// the root's visible.
Overflow ResolveOverflow(const CElem& elem)
{
    const std::string* value = elem.attributes.Value(AttributeId::overflow);
    if (value == nullptr)
        return Overflow::Hidden;
    const std::string_view text = TrimCssSpace(*value);
    if (text == "inherit")
        return elem.Parent() != nullptr ? OverflowToInherit(*elem.Parent()) : Overflow::Visible;
    return static_cast<Overflow>(ResolveKeyword(text, kOverflows, static_cast<int>(Overflow::Hidden)));
}

// Character data and comments have no attributes of their own: they take
// their element's values, except those that are not inherited, without
// repeating its messages at a location they do not have.
ResolvedProperties InheritedOnly(const ResolvedProperties& parent)
{
    ResolvedProperties props = parent;
    const ResolvedProperties initial;
    props.transform = initial.transform;
    props.overflow = initial.overflow;
    props.opacity = initial.opacity;
    props.mask = nullptr;
    props.filter = nullptr;
    props.filterFailed = false;
    props.clipPath = nullptr;
    return props;
}

ResolvedProperties RootStart(const CDocOptions& options)
{
    ResolvedProperties start;
    start.fontSize = options.defaultFontSize;
    start.xHeight = options.defaultXHeight;
    return start;
}

}  // namespace

void ResolveProperties(CElem& elem, CLoadContext& context)
{
    const CElem* parent = elem.Parent();
    if (parent != nullptr && (elem.Class() == ElemClass::String || elem.Class() == ElemClass::Comment)) {
        elem.props = InheritedOnly(parent->props);
        return;
    }
    // The parent's values are read in place: they are not this element's.
    std::optional<ResolvedProperties> rootStart;
    if (parent == nullptr)
        rootStart = RootStart(context.Options());
    const ResolvedProperties& start = parent != nullptr ? parent->props : *rootStart;
    ResolvedProperties& props = elem.props;
    props = ResolvedProperties{};

    ResolveFont(elem, start, context);
    props.display = ResolveDisplay(elem, start.display);
    ResolveTransform(elem, context);
    props.overflow = ResolveOverflow(elem);
    props.visibility = static_cast<Visibility>(ResolveKeyword(OwnOverride(elem, AttributeId::visibility),
                                                              kVisibilities, static_cast<int>(start.visibility)));
    props.color = ResolveColor(elem, start.color, context);
    props.fillRule = ResolveTyped(OwnOverride(elem, AttributeId::fill_rule), &ParseFillRule, start.fillRule);
    props.opacity = ResolveOpacity(OwnText(elem, AttributeId::opacity));
    props.fillOpacity = ResolveOpacity(InheritedText(elem, AttributeId::fill_opacity));
    props.strokeOpacity = ResolveOpacity(InheritedText(elem, AttributeId::stroke_opacity));
    ResolveMask(elem, context);
    ResolveFilter(elem, context);
    ResolveClipPath(elem, context);
    props.colorRendering = ResolveColorRendering(elem, context);
    props.colorInterpolation = ResolveColorInterpolation(elem, context);
    ResolveFill(elem, context);
    ResolveStroke(elem, context);
}


}  // namespace svg
