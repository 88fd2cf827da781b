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
#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/elem.h"
#include "model/limits.h"
#include "model/message_log.h"
#include "style/properties.h"
#include "text/font_lookup.h"
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

constexpr Keyword kFontStyles[] = {{"normal", 1}, {"italic", 2}, {"oblique", 4}};
constexpr Keyword kFontVariants[] = {{"normal", 1}, {"small-caps", 2}};
constexpr Keyword kDisplays[] = {
    {"inline", 0},         {"block", 1},         {"list-item", 2},           {"run-in", 3},
    {"compact", 4},        {"marker", 5},        {"table", 6},               {"inline-table", 7},
    {"table-row-group", 8}, {"table-header-group", 9}, {"table-footer-group", 10}, {"table-row", 11},
    {"table-column-group", 12}, {"table-column", 13}, {"table-cell", 14}, {"table-caption", 15},
    {"none", 16}};
constexpr Keyword kOverflows[] = {{"visible", 0}, {"hidden", 1}, {"scroll", 2}, {"auto", 3}};
constexpr Keyword kVisibilities[] = {{"visible", 0}, {"hidden", 1}, {"collapse", 2}};
constexpr Keyword kFillRules[] = {{"nonzero", 0}, {"evenodd", 1}};

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
std::optional<std::string_view> OwnOverride(const CElem& elem, std::string_view name)
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
std::optional<std::string_view> InheritedText(const CElem& elem, std::string_view name)
{
    const std::string* value = elem.GetAttribute(name, true);
    return value != nullptr ? std::optional(TrimCssSpace(*value)) : std::nullopt;
}

// Own: the element's value ("inherit" reads the parent's), else nothing.
std::optional<std::string_view> OwnText(const CElem& elem, std::string_view name)
{
    const std::string* value = elem.GetAttribute(name, false);
    return value != nullptr ? std::optional(TrimCssSpace(*value)) : std::nullopt;
}

int ResolveKeyword(std::optional<std::string_view> text, std::span<const Keyword> table, int start)
{
    return text ? FindKeyword(*text, table).value_or(start) : start;
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
std::optional<double> DiagonalLength(const CElem& elem, const Number& number)
{
    const CElem* viewportOwner = elem.Parent() != nullptr ? elem.Parent() : &elem;
    const double length = number.unit == Unit::Percent
                              ? ResolveLength(number, PercentRule::Diagonal, viewportOwner)
                              : ToUserUnits(number, &elem);
    if (!std::isfinite(length))
        return std::nullopt;
    return length;
}

std::optional<double> DiagonalLength(const CElem& elem, std::string_view text)
{
    const std::optional<Number> number = FiniteNumber(text);
    return number ? DiagonalLength(elem, *number) : std::nullopt;
}

// --- Fonts --------------------------------------------------------------------------

// A leading integer: none, or 0, means normal (400); others are clamped to
// 100..900 but not snapped to multiples of 100.
int ParseWeightNumber(std::string_view text)
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
    return negative ? 100 : static_cast<int>(std::clamp(value, 100L, 900L));
}

int ResolveFontWeight(std::optional<std::string_view> text, int start)
{
    if (!text)
        return start;
    if (*text == "normal")
        return 400;
    if (*text == "bold")
        return 700;
    if (*text == "bolder")
        return std::min(start + 100, 900);
    if (*text == "lighter")
        return std::max(start - 100, 100);
    return ParseWeightNumber(*text);
}

float ResolveFontSize(const CElem& elem, std::optional<std::string_view> text, float start, const FaceMetrics& face)
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
    default: size = ToUserUnits(*number, &elem); break;
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

void ResolveFont(CElem& elem, const ResolvedProperties& start)
{
    ResolvedProperties& props = elem.props;
    props.fontFamily = std::string(OwnOverride(elem, "font-family").value_or(start.fontFamily));
    props.fontStyle = ResolveKeyword(OwnOverride(elem, "font-style"), kFontStyles, start.fontStyle);
    props.fontWeight = ResolveFontWeight(OwnOverride(elem, "font-weight"), start.fontWeight);
    // Copied: the pool may be released while this element lives.
    const FaceMetrics face = SystemFaceMetrics::Instance().FindFace(props.fontFamily, props.fontWeight, props.fontStyle);
    props.fontSize = ResolveFontSize(elem, OwnOverride(elem, "font-size"), SizeForChildren(start), face);
    props.fontStretch = ResolveFontStretch(OwnOverride(elem, "font-stretch"), start.fontStretch);
    props.fontVariant = ResolveKeyword(OwnOverride(elem, "font-variant"), kFontVariants, start.fontVariant);
    props.fontSizeAdjust = ResolveFontSizeAdjust(OwnOverride(elem, "font-size-adjust"), start.fontSizeAdjust);
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
    const std::optional<std::string_view> text = OwnOverride(elem, "display");
    return text ? static_cast<Display>(FindKeyword(*text, kDisplays).value_or(0)) : start;
}

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
    case ElementId::switch_:
    case ElementId::text:
    case ElementId::use: return true;
    default: return false;
    }
}

void ResolveTransform(CElem& elem)
{
    const std::string* text = elem.GetAttribute("transform", false);
    if (text == nullptr)
        return;
    const char* name = elem.Name().c_str();
    if (!TakesTransform(elem.Id())) {
        ReportMessage("W transform can NOT apply to %s :Invalid value at %d(%d)", name, elem.line, elem.column);
        return;
    }
    Matrix matrix;
    if (!ParseTransform(*text, matrix)) {
        ReportMessage("E %s transform=\"%s\" :Invalid value at %d(%d)", name, text->c_str(), elem.line,
                      elem.column);
        return;
    }
    elem.props.transform = matrix;
}

// `color` keeps its text, for currentColor to parse later. "currentColor" as
// the value of `color` itself means the parent's colour, like "inherit"; a
// value that is not a colour is ignored like an unknown keyword.
std::string ResolveColor(const CElem& elem, const std::string& start)
{
    const std::optional<std::string_view> text = OwnOverride(elem, "color");
    if (!text || *text == "currentColor" || !ParseColor(*text))
        return start;
    return std::string(*text);
}

// A percentage counts as its fraction.
float ResolveOpacity(std::optional<std::string_view> text)
{
    const std::optional<double> opacity = text ? PlainNumber(*text, Unit::Percent) : std::nullopt;
    return opacity ? static_cast<float>(std::clamp(*opacity, 0.0, 1.0)) : 1.0f;
}

// --- mask, filter, clip-path --------------------------------------------------------

// The value of a reference property; nothing for "none", which names no file.
const std::string* ReferenceValue(const CElem& elem, std::string_view name)
{
    const std::string* value = elem.GetAttribute(name, false);
    if (value == nullptr || TrimCssSpace(*value).empty() || TrimCssSpace(*value) == "none")
        return nullptr;
    return value;
}

void ReportCycle(const CElem& elem, const std::string& value)
{
    ReportMessage("F %s xlink:href=\"%s\" : Cyclic reference at %d(%d)", elem.Name().c_str(), value.c_str(),
                  elem.line, elem.column);
}

// True when the masks of masks that start at `target` come back to `elem`:
// a loop the preparation states miss, because its first member finished
// before the others were reached. Loops longer than the walk are cut where
// they are drawn.
bool MaskLeadsBack(const CElem& target, const CElem& elem)
{
    const CElem* next = &target;
    for (std::size_t step = 0; next != nullptr && step < limits::kMaxHrefChain; ++step, next = next->props.mask)
        if (next == &elem)
            return true;
    return false;
}

void ResolveMask(CElem& elem)
{
    const std::string* value = ReferenceValue(elem, "mask");
    if (value == nullptr)
        return;
    CElem* target = elem.FindReference(*value);
    const char* name = elem.Name().c_str();
    if (target == nullptr)
        ReportMessage("E %s mask=\"%s\" :Link NOT found at %d(%d)", name, value->c_str(), elem.line, elem.column);
    else if (target->prepState == PrepState::BeingPrepared || MaskLeadsBack(*target, elem))
        ReportCycle(elem, *value);
    else if (target->Id() != ElementId::mask)
        ReportMessage("E %s mask=\"%s\" :Link NOT refer to 'mask' at %d(%d)", name, value->c_str(), elem.line,
                      elem.column);
    else
        elem.props.mask = target;
}

void ResolveFilter(CElem& elem)
{
    const std::string* value = ReferenceValue(elem, "filter");
    if (value == nullptr)
        return;
    CElem* target = elem.FindReference(*value);
    const char* name = elem.Name().c_str();
    if (target == nullptr) {
        ReportMessage("E %s filter=\"%s\" :Link NOT found at %d(%d)", name, value->c_str(), elem.line,
                      elem.column);
        elem.props.filterFailed = true;
    } else if (target->prepState == PrepState::BeingPrepared) {
        ReportCycle(elem, *value);
    } else if (target->Id() != ElementId::filter) {
        ReportMessage("E %s filter=\"%s\" :Link NOT refer to 'filter' at %d(%d)", name, value->c_str(), elem.line,
                      elem.column);
        elem.props.filterFailed = true;
    } else {
        elem.props.filter = target;
    }
}

// Anything but a clipPath is ignored silently. A clipPath still being
// prepared is one that clips itself, directly or through its content: it is
// reported like the other reference cycles, since drawing it would not end.
void ResolveClipPath(CElem& elem)
{
    const std::string* value = ReferenceValue(elem, "clip-path");
    if (value == nullptr)
        return;
    CElem* target = elem.FindReference(*value);
    if (target == nullptr || target->Class() != ElemClass::ClipPath)
        return;
    if (target->prepState == PrepState::BeingPrepared)
        ReportCycle(elem, *value);
    else
        elem.props.clipPath = target;
}

// --- Colour rendering ---------------------------------------------------------------

int ResolveColorQuality(const CElem& elem)
{
    const std::optional<std::string_view> text = InheritedText(elem, "color-rendering");
    if (!text || *text == "optimizeQuality" || *text == "auto")
        return 1;
    if (*text == "optimizeSpeed")
        return 0;
    ReportMessage("E %s color-rendering=\"%s\" :invalid at %d(%d)", elem.Name().c_str(), std::string(*text).c_str(),
                  elem.line, elem.column);
    return 1;
}

int ResolveLinearColor(const CElem& elem)
{
    if (elem.props.colorQuality == 0)
        return 0;
    const std::optional<std::string_view> text = InheritedText(elem, "color-interpolation");
    if (!text || *text == "sRGB" || *text == "auto")
        return 0;
    if (*text == "linearRGB")
        return 1;
    ReportMessage("E %s color-interpolation=\"%s\" :invalid at %d(%d)", elem.Name().c_str(),
                  std::string(*text).c_str(), elem.line, elem.column);
    return 0;
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
std::optional<Rgb> FallbackColor(const CElem& elem, std::string_view fallback)
{
    if (fallback.empty() || fallback == "none")
        return std::nullopt;
    if (fallback == "currentColor")
        return ParseColor(elem.props.color).value_or(kBlack);
    return ParseColor(fallback).value_or(kBlack);
}

void ReportMissingServer(const CElem& elem, PaintProperty property, const std::string& value)
{
    const char* name = elem.Name().c_str();
    if (property == PaintProperty::Fill)
        ReportMessage("E %s fill=\"%s\" :Link NOT found at %d(%d)", name, value.c_str(), elem.line, elem.column);
    else
        ReportMessage("E %s stroke=\"%s\" :Link NOT found at %d(%d)", name, value.c_str(), elem.line, elem.column);
}

void ReportCyclicServer(const CElem& elem, const CElem& target, PaintProperty property, const std::string& value,
                        std::string_view reference)
{
    if (property == PaintProperty::Fill)
        ReportMessage("E %s fill=\"url(%s)\" : Cyclic reference at %d(%d)", elem.Name().c_str(),
                      std::string(reference).c_str(), elem.line, elem.column);
    else
        ReportMessage("F %s stroke=\"%s\" : Cyclic reference at %d(%d)", target.Name().c_str(), value.c_str(),
                      elem.line, elem.column);
}

// Both places in the message name the referring element, not the reference.
void ReportNotPaint(const CElem& elem, PaintProperty property)
{
    const char* name = elem.Name().c_str();
    if (property == PaintProperty::Fill)
        ReportMessage("E %s fill=\"url(%s)\" :NOT refer to paint element at %d(%d)", name, name, elem.line,
                      elem.column);
    else
        ReportMessage("E %s stroke=\"url(%s)\" :NOT refer to paint element at %d(%d)", name, name, elem.line,
                      elem.column);
}

Paint ResolveServerPaint(CElem& elem, PaintProperty property, const std::string& value, std::string_view text)
{
    const std::optional<UrlValue> url = ParseUrl(text);
    const std::string_view reference = url ? url->reference : text;
    const std::string_view fallback = url ? url->fallback : std::string_view();
    // A reference that is missing, cyclic or names no paint server is an
    // error: only a fallback paints in its place, never an invented colour.
    Paint paint{nullptr, FallbackColor(elem, fallback)};
    CElem* target = elem.FindReference(reference);
    if (target == nullptr)
        ReportMissingServer(elem, property, value);
    else if (target->prepState == PrepState::BeingPrepared)
        ReportCyclicServer(elem, *target, property, value, reference);
    else if (!target->IsA(ElemClass::Paint))
        ReportNotPaint(elem, property);
    else
        paint.server = target;
    return paint;
}

// "none", a colour (black when it does not parse), or "url(ref) fallback";
// currentColor has been replaced by the element's colour.
Paint ResolvePaint(CElem& elem, PaintProperty property, const std::string& value)
{
    const std::string_view text = TrimCssSpace(value);
    if (text == "none")
        return {};
    if (text.starts_with("url("))
        return ResolveServerPaint(elem, property, value, text);
    return {nullptr, ParseColor(text).value_or(kBlack)};
}

void ResolveFill(CElem& elem)
{
    ResolvedProperties& props = elem.props;
    const std::string* value = elem.GetColorAttribute("fill", true);
    const Paint paint = value != nullptr ? ResolvePaint(elem, PaintProperty::Fill, *value) : Paint{nullptr, kBlack};
    props.fillPaintServer = paint.server;
    props.fillBrush.reset();
    if (paint.color)
        props.fillBrush = FillBrush{WithOpacity(*paint.color, props.fillOpacity)};
}

float ResolveStrokeWidth(const CElem& elem)
{
    const std::optional<std::string_view> text = InheritedText(elem, "stroke-width");
    const std::optional<double> width = text ? DiagonalLength(elem, *text) : std::nullopt;
    return width && *width >= 0 ? static_cast<float>(*width) : 1.0f;
}

// Dash lengths in user units; empty (a solid line) for no list, a negative or
// unreadable length, or lengths that add up to nothing. An odd list is
// repeated to make the count even, as SVG says.
std::vector<float> ResolveDashes(const CElem& elem)
{
    const std::optional<std::string_view> text = InheritedText(elem, "stroke-dasharray");
    if (!text)
        return {};
    std::vector<Number> numbers;
    ParseNumberList(*text, numbers);
    std::vector<float> dashes;
    double total = 0;
    for (const Number& number : numbers) {
        const std::optional<double> length = DiagonalLength(elem, number);
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

StrokePen MakePen(const CElem& elem, Rgba color, float width)
{
    StrokePen pen;
    pen.color = color;
    pen.width = width;
    const std::optional<std::string_view> cap = InheritedText(elem, "stroke-linecap");
    pen.cap = cap == "round" ? LineCap::Round : cap == "square" ? LineCap::Square : LineCap::Butt;
    const std::optional<std::string_view> join = InheritedText(elem, "stroke-linejoin");
    pen.join = join == "round" ? LineJoin::Round : join == "bevel" ? LineJoin::Bevel : LineJoin::Miter;
    const std::optional<std::string_view> miter = InheritedText(elem, "stroke-miterlimit");
    pen.miterLimit = static_cast<float>((miter ? PlainNumber(*miter) : std::nullopt).value_or(4));
    pen.dashes = ResolveDashes(elem);
    if (!pen.dashes.empty()) {
        const std::optional<std::string_view> offset = InheritedText(elem, "stroke-dashoffset");
        pen.dashOffset = static_cast<float>((offset ? DiagonalLength(elem, *offset) : std::nullopt).value_or(0));
    }
    return pen;
}

void ResolveStroke(CElem& elem)
{
    ResolvedProperties& props = elem.props;
    const std::string* value = elem.GetColorAttribute("stroke", true);
    const Paint paint = value != nullptr ? ResolvePaint(elem, PaintProperty::Stroke, *value) : Paint{};
    props.strokePaintServer = paint.server;
    // Markers scale by the stroke width whether or not a stroke is drawn.
    props.strokeWidth = ResolveStrokeWidth(elem);
    props.strokePen.reset();
    if (props.strokeWidth <= 0 || (!paint.color && paint.server == nullptr))
        return;
    // A server whose fallback is "none" still needs the pen's geometry; the
    // transparent colour shows nothing if the server cannot paint.
    const Rgba color = paint.color ? WithOpacity(*paint.color, props.strokeOpacity) : Rgba{0, 0, 0, 0};
    props.strokePen = MakePen(elem, color, props.strokeWidth);
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

ResolvedProperties RootStart()
{
    ResolvedProperties start;
    start.fontSize = Defaults().fontSize;
    return start;
}

}  // namespace

void ResolveProperties(CElem& elem)
{
    const CElem* parent = elem.Parent();
    if (parent != nullptr && (elem.Class() == ElemClass::String || elem.Class() == ElemClass::Comment)) {
        elem.props = InheritedOnly(parent->props);
        return;
    }
    const ResolvedProperties start = parent != nullptr ? parent->props : RootStart();
    ResolvedProperties& props = elem.props;
    props = ResolvedProperties{};

    ResolveFont(elem, start);
    props.display = ResolveDisplay(elem, start.display);
    ResolveTransform(elem);
    props.overflow = static_cast<Overflow>(
        ResolveKeyword(OwnText(elem, "overflow"), kOverflows, static_cast<int>(Overflow::Hidden)));
    props.visibility = static_cast<Visibility>(
        ResolveKeyword(OwnOverride(elem, "visibility"), kVisibilities, static_cast<int>(start.visibility)));
    props.color = ResolveColor(elem, start.color);
    props.fillRule = ResolveKeyword(OwnOverride(elem, "fill-rule"), kFillRules, start.fillRule);
    props.opacity = ResolveOpacity(OwnText(elem, "opacity"));
    props.fillOpacity = ResolveOpacity(InheritedText(elem, "fill-opacity"));
    props.strokeOpacity = ResolveOpacity(InheritedText(elem, "stroke-opacity"));
    ResolveMask(elem);
    ResolveFilter(elem);
    ResolveClipPath(elem);
    props.colorQuality = ResolveColorQuality(elem);
    props.linearColor = ResolveLinearColor(elem);
    ResolveFill(elem);
    ResolveStroke(elem);
}

const std::string* CElem::GetColorAttribute(std::string_view name, bool inherited) const
{
    const std::string* value = GetAttribute(name, inherited);
    if (value != nullptr && TrimCssSpace(*value) == "currentColor")
        return &props.color;
    return value;
}

}  // namespace svg
