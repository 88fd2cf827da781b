#include "values/syntax.h"

#include <algorithm>
#include <span>

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

// In the order of AspectAlign, after None.
constexpr std::string_view kAlignments[] = {"xMinYMin", "xMinYMid", "xMinYMax", "xMidYMin", "xMidYMid",
                                            "xMidYMax", "xMaxYMin", "xMaxYMid", "xMaxYMax"};

AspectAlign Alignment(std::string_view name)
{
    const auto* found = std::ranges::find(kAlignments, name);
    return found == std::end(kAlignments) ? AspectAlign::XMidYMid
                                          : static_cast<AspectAlign>(found - std::begin(kAlignments) + 1);
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
        result.align = AspectAlign::None;
    } else {
        result.align = Alignment(name);
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

ViewBoxValue ParseViewBox(std::string_view text, const LengthContext& context)
{
    std::vector<Number> numbers;
    ViewBoxValue value;
    value.count = ParseNumberList(text, numbers);
    if (numbers.size() >= 4)
        value.box = {static_cast<float>(ResolveLength(numbers[0], PercentRule::HorizontalPosition, context)),
                     static_cast<float>(ResolveLength(numbers[1], PercentRule::VerticalPosition, context)),
                     static_cast<float>(ResolveLength(numbers[2], PercentRule::HorizontalSize, context)),
                     static_cast<float>(ResolveLength(numbers[3], PercentRule::VerticalSize, context))};
    return value;
}

EnableBackground ParseEnableBackground(std::string_view value)
{
    EnableBackground result;
    const std::string_view text = TrimSpace(value);
    if (text.size() < 3 || !EqualsIgnoringCase(text.substr(0, 3), "new"))
        return result;
    // SVG: `new` alone, or with exactly four numbers whose width and height
    // are positive; anything else is an invalid value, which leaves the
    // initial accumulate.
    const std::string_view rest = TrimSpace(text.substr(3));
    if (rest.empty()) {
        result.isNew = true;
        return result;
    }
    if (!IsSpace(text[3]))
        return result;
    std::vector<Number> numbers;
    for (std::size_t pos = 0; pos < rest.size(); pos = SkipSeparator(rest, pos)) {
        const std::optional<Number> number = ParseNumber(rest, pos);
        if (!number)
            return result;
        numbers.push_back(*number);
    }
    if (numbers.size() != 4 || !(numbers[2].value > 0) || !(numbers[3].value > 0))
        return result;
    result.isNew = true;
    result.region = RectF{static_cast<float>(numbers[0].value), static_cast<float>(numbers[1].value),
                          static_cast<float>(numbers[2].value), static_cast<float>(numbers[3].value)};
    return result;
}

}  // namespace svg
