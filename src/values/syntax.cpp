#include "values/syntax.h"

#include <algorithm>
#include <span>

#include "model/message_log.h"
#include "values/number.h"

namespace svg {

namespace {

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The next run of characters that are not white space.
std::string_view ReadWord(std::string_view text, std::size_t& pos)
{
    pos = SkipSpace(text, pos);
    const std::size_t start = pos;
    while (pos < text.size() && !IsSpace(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

// preserveAspectRatio alignments; the code is x position * 3 + y position + 1.
constexpr std::string_view kAlignments[] = {"xMinYMin", "xMinYMid", "xMinYMax", "xMidYMin", "xMidYMid",
                                            "xMidYMax", "xMaxYMin", "xMaxYMid", "xMaxYMax"};
constexpr int kDefaultAlignment = 5;

int AlignmentCode(std::string_view name)
{
    const auto* found = std::ranges::find(kAlignments, name);
    return found == std::end(kAlignments) ? kDefaultAlignment : static_cast<int>(found - kAlignments) + 1;
}

// Code points beyond any plane saturate here instead of overflowing.
constexpr std::uint64_t kMaxCodeValue = 0xFFFFFFFF;

// Hexadecimal digits at `pos`; null when there are none.
std::optional<std::uint64_t> ReadHex(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    std::uint64_t value = 0;
    for (; pos < text.size() && HexDigitValue(text[pos]) >= 0; ++pos)
        value = std::min<std::uint64_t>(value * 16 + HexDigitValue(text[pos]), kMaxCodeValue);
    if (pos == start)
        return std::nullopt;
    return value;
}

UnicodeRange MakeRange(std::uint64_t first, std::uint64_t last)
{
    return {static_cast<std::uint32_t>(std::min(first, kMaxCodeValue)),
            static_cast<std::uint32_t>(std::min(last, kMaxCodeValue))};
}

struct Keyword {
    std::string_view name;
    int code;
};

int LookUp(const std::string* value, std::span<const Keyword> keywords, int absent, int unknown)
{
    if (value == nullptr)
        return absent;
    const auto found = std::ranges::find(keywords, std::string_view(*value), &Keyword::name);
    return found == keywords.end() ? unknown : found->code;
}

// A keyword the attribute does not know, or a filter input that names a result.
constexpr int kInvalidKeyword = -1000;

constexpr Keyword kUnitsKeywords[] = {{"objectBoundingBox", 0}, {"userSpaceOnUse", 1}, {"strokeWidth", 2}};
constexpr Keyword kFilterInputs[] = {{"SourceGraphic", 1},   {"SourceAlpha", 2}, {"BackgroundImage", 3},
                                    {"BackgroundAlpha", 4}, {"FillPaint", 5},   {"StrokePaint", 6}};
constexpr Keyword kEdgeModes[] = {{"duplicate", 1}, {"wrap", 2}, {"none", 3}};
constexpr Keyword kCompositeOperators[] = {{"over", 1}, {"in", 2},  {"out", 3},
                                           {"atop", 4}, {"xor", 5}, {"arithmetic", 6}};
constexpr Keyword kStitchTiles[] = {{"noStitch", 1}, {"stitch", 2}};
constexpr Keyword kTurbulenceTypes[] = {{"turbulence", 1}, {"fractalNoise", 2}};
constexpr Keyword kBooleans[] = {{"true", 1}, {"false", 0}};
constexpr Keyword kBlendModes[] = {{"normal", 1}, {"multiply", 2}, {"screen", 3}, {"darken", 4}, {"lighten", 5}};
constexpr Keyword kColorMatrixTypes[] = {{"matrix", 1}, {"saturate", 2}, {"hueRotate", 3}, {"luminanceToAlpha", 4}};
constexpr Keyword kMorphologyOperators[] = {{"erode", 1}, {"dilate", 2}};
constexpr Keyword kTransferTypes[] = {{"identity", 1}, {"table", 2}, {"discrete", 3}, {"linear", 4}, {"gamma", 5}};
constexpr Keyword kBaselines[] = {
    {"auto", 0},         {"baseline", 1},     {"after-edge", 2},     {"alphabetic", 3},  {"before-edge", 4},
    {"central", 5},      {"hanging", 6},      {"ideographic", 7},    {"mathematical", 8}, {"middle", 9},
    {"no-change", 10},   {"reset-size", 11},  {"text-after-edge", 12}, {"text-before-edge", 13}, {"top", 14},
    {"bottom", 15},      {"text-top", 16},    {"text-bottom", 17},   {"use-script", 18},
};

}  // namespace

std::optional<UrlValue> ParseUrl(std::string_view text)
{
    text = TrimSpace(text);
    if (!text.starts_with("url("))
        return std::nullopt;
    const std::size_t close = text.find(')', 4);
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view reference = TrimSpace(text.substr(4, close - 4));
    if (!reference.empty() && IsQuote(reference.front()))
        reference.remove_prefix(1);
    if (!reference.empty() && IsQuote(reference.back()))
        reference.remove_suffix(1);
    return UrlValue{TrimSpace(reference), TrimSpace(text.substr(close + 1))};
}

bool ParseAspectRatio(std::string_view text, AspectRatio& out)
{
    out = AspectRatio{};
    AspectRatio result;
    std::size_t pos = 0;
    std::string_view name = ReadWord(text, pos);
    if (name == "defer") {
        result.defer = true;
        name = ReadWord(text, pos);
        if (name.empty())
            return false;
    }
    if (name == "none") {
        result.align = 0;
    } else {
        result.align = AlignmentCode(name);
        result.slice = ReadWord(text, pos) == "slice";
    }
    out = result;
    return true;
}

std::optional<UnicodeRange> ParseUnicodeRange(std::string_view text, std::size_t& pos)
{
    std::size_t p = SkipSpace(text, pos);
    if (p + 1 >= text.size() || (text[p] != 'U' && text[p] != 'u') || text[p + 1] != '+')
        return std::nullopt;
    p = SkipSpace(text, p + 2);
    const std::optional<std::uint64_t> start = ReadHex(text, p);
    if (!start)
        return std::nullopt;

    // Each "?" is a wildcard digit: U+4?? is 400..4FF.
    std::uint64_t wildcardSpan = 1;
    bool wildcard = false;
    for (; p < text.size() && text[p] == '?'; ++p) {
        wildcard = true;
        wildcardSpan = std::min<std::uint64_t>(wildcardSpan * 16, kMaxCodeValue + 1);
    }
    if (wildcard) {
        pos = p;
        return MakeRange(*start * wildcardSpan, *start * wildcardSpan + wildcardSpan - 1);
    }

    std::size_t q = SkipSpace(text, p);
    if (q < text.size() && text[q] == '-') {
        q = SkipSpace(text, q + 1);
        const std::optional<std::uint64_t> end = ReadHex(text, q);
        if (!end)
            return std::nullopt;
        pos = q;
        return MakeRange(*start, *end);
    }
    pos = p;
    return MakeRange(*start, *start);
}

std::vector<UnicodeRange> ParseUnicodeRangeList(std::string_view text)
{
    std::vector<UnicodeRange> ranges;
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && (IsSpace(text[pos]) || text[pos] == ','))
            ++pos;
        const std::optional<UnicodeRange> range = ParseUnicodeRange(text, pos);
        if (!range)
            return ranges;
        ranges.push_back(*range);
    }
}

bool ParseViewBox(const CElem& elem, RectF& out)
{
    const std::string* value = elem.attributes.Value("viewBox");
    if (value == nullptr)
        return false;
    std::vector<Number> numbers;
    if (ParseNumberList(*value, numbers) != 4)
        ReportMessage("E %s viewBox=\"%s\" :Invalid value at %d(%d)", elem.Name().c_str(), value->c_str(), elem.line,
                      elem.column);
    if (numbers.size() < 4)
        return false;
    out = {static_cast<float>(ResolveLength(numbers[0], PercentRule::HorizontalPosition, &elem)),
           static_cast<float>(ResolveLength(numbers[1], PercentRule::VerticalPosition, &elem)),
           static_cast<float>(ResolveLength(numbers[2], PercentRule::HorizontalSize, &elem)),
           static_cast<float>(ResolveLength(numbers[3], PercentRule::VerticalSize, &elem))};
    return true;
}

int ParseUnitsKeyword(const std::string* value) { return LookUp(value, kUnitsKeywords, 0, kInvalidKeyword); }
int ParseFilterInput(const std::string* value) { return LookUp(value, kFilterInputs, -1, kInvalidKeyword); }
int ParseEdgeMode(const std::string* value, int absent) { return LookUp(value, kEdgeModes, absent, 0); }
int ParseCompositeOperator(const std::string* value) { return LookUp(value, kCompositeOperators, 1, 0); }
int ParseStitchTiles(const std::string* value) { return LookUp(value, kStitchTiles, 1, 0); }
int ParseTurbulenceType(const std::string* value) { return LookUp(value, kTurbulenceTypes, 1, 0); }
int ParseBoolean(const std::string* value) { return LookUp(value, kBooleans, 0, 0); }
int ParseBlendMode(const std::string* value) { return LookUp(value, kBlendModes, 1, 0); }
int ParseColorMatrixType(const std::string* value) { return LookUp(value, kColorMatrixTypes, 1, 0); }
int ParseMorphologyOperator(const std::string* value) { return LookUp(value, kMorphologyOperators, 1, 0); }
int ParseTransferType(const std::string* value, int absent) { return LookUp(value, kTransferTypes, absent, 0); }
int ParseBaseline(const std::string* value) { return LookUp(value, kBaselines, 0, kInvalidKeyword); }

EnableBackground ParseEnableBackground(const std::string* value)
{
    EnableBackground result;
    if (value == nullptr)
        return result;
    const std::string_view text = TrimSpace(*value);
    if (text.size() < 3 || !EqualsIgnoringCase(text.substr(0, 3), "new"))
        return result;
    result.code = 0;
    std::vector<Number> numbers;
    ParseNumberList(text.substr(3), numbers);
    for (const Number& number : numbers)
        result.region.push_back(number.value);
    return result;
}

}  // namespace svg
