#include "values/number.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <numbers>


namespace svg {

namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Any exponent beyond this already over- or underflows a double, so the
// exponent saturates here instead of overflowing its integer.
constexpr long kExponentLimit = 100000;

enum class ScanState { Start, Sign, IntDigits, Point, FractionDigits, ExponentMark, ExponentSign, ExponentDigits };

// The extent of a valid number text and what is needed to evaluate it.
struct NumberSpan {
    std::size_t end = 0;
    bool mantissaHasDigits = false;
    // Roughly the decimal order of magnitude of the value; only its sign is
    // used, to tell an overflow from an underflow.
    long magnitude = 0;
};

bool IsEndState(ScanState state)
{
    return state == ScanState::IntDigits || state == ScanState::Point || state == ScanState::FractionDigits ||
           state == ScanState::ExponentDigits;
}

// The number grammar as a state machine: a sign, digits, a point, fraction
// digits, "e", an exponent sign, exponent digits. "e" followed by a letter is
// the start of a unit ("2em"), not an exponent.
std::optional<NumberSpan> ScanNumber(std::string_view text)
{
    using enum ScanState;
    ScanState state = Start;
    NumberSpan span;
    long significantIntDigits = 0;
    long fractionLeadingZeros = 0;
    bool fractionNonZeroSeen = false;
    long exponent = 0;
    bool exponentNegative = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            if (state == Start || state == Sign || state == IntDigits) {
                state = IntDigits;
                if (c != '0' || significantIntDigits > 0)
                    ++significantIntDigits;
            } else if (state == Point || state == FractionDigits) {
                state = FractionDigits;
                fractionNonZeroSeen = fractionNonZeroSeen || c != '0';
                if (!fractionNonZeroSeen)
                    ++fractionLeadingZeros;
            } else {
                state = ExponentDigits;
                exponent = std::min(exponent * 10 + (c - '0'), kExponentLimit);
            }
            span.mantissaHasDigits = span.mantissaHasDigits || state != ExponentDigits;
        } else if (c == '+' || c == '-') {
            if (state == Start) {
                state = Sign;
            } else if (state == ExponentMark) {
                state = ExponentSign;
                exponentNegative = c == '-';
            } else if (state == Sign) {
                return std::nullopt;
            } else {
                break;
            }
        } else if (c == '.') {
            if (state != Start && state != Sign && state != IntDigits)
                return std::nullopt;
            state = Point;
        } else if (c == 'e' || c == 'E') {
            if (state != IntDigits && state != Point && state != FractionDigits)
                return std::nullopt;
            if (i + 1 < text.size() && IsLetter(text[i + 1]))
                break;
            state = ExponentMark;
        } else {
            break;
        }
    }
    if (!IsEndState(state))
        return std::nullopt;
    span.end = i;
    const long mantissaMagnitude = significantIntDigits > 0 ? significantIntDigits : -fractionLeadingZeros;
    span.magnitude = mantissaMagnitude + (exponentNegative ? -exponent : exponent);
    return span;
}

double ClampToFloat(double value) { return std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)); }

// The value of a scanned number, converted exactly (from_chars rounds
// correctly however many digits there are).
double EvaluateNumber(std::string_view text, const NumberSpan& span)
{
    if (!span.mantissaHasDigits)
        return 0;  // "." and "-." are valid numbers
    std::string_view digits = text.substr(0, span.end);
    if (digits.front() == '+')
        digits.remove_prefix(1);  // from_chars takes no plus sign
    const bool negative = digits.front() == '-';
    double value = 0;
    const std::from_chars_result result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = span.magnitude > 0 ? (negative ? -DBL_MAX : DBL_MAX) : 0;
    return ClampToFloat(value);
}

struct UnitText {
    std::string_view text;
    Unit unit;
    std::size_t consumed;
};

// In matching order. "deg" is recognised by "de" alone, but three characters
// are consumed all the same.
constexpr UnitText kUnitTexts[] = {
    {"px", Unit::User, 2},  {"pt", Unit::Pt, 2},  {"pc", Unit::Pc, 2},   {"mm", Unit::Mm, 2},
    {"cm", Unit::Cm, 2},    {"in", Unit::In, 2},  {"de", Unit::Deg, 3},  {"rad", Unit::Rad, 3},
    {"grad", Unit::Grad, 4}, {"em", Unit::Em, 2}, {"ex", Unit::Ex, 2},   {"Hz", Unit::Hz, 2},
    {"kHz", Unit::KHz, 3},  {"ms", Unit::KHz, 2}, {"%", Unit::Percent, 1},
};

// Reads the unit at `pos`, advancing past it; no known unit means user units
// and nothing consumed.
Unit ReadUnit(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size() || (!IsLetter(text[pos]) && text[pos] != '%'))
        return Unit::User;
    const std::string_view rest = text.substr(pos);
    for (const UnitText& unit : kUnitTexts) {
        if (rest.starts_with(unit.text)) {
            pos += std::min(unit.consumed, rest.size());
            return unit.unit;
        }
    }
    return Unit::User;
}

}  // namespace

std::optional<Number> ParseNumber(std::string_view text, std::size_t& pos)
{
    const std::size_t start = SkipSpace(text, pos);
    const std::string_view rest = text.substr(start);
    const std::optional<NumberSpan> span = ScanNumber(rest);
    if (!span)
        return std::nullopt;
    Number number;
    number.value = EvaluateNumber(rest, *span);
    std::size_t after = start + span->end;
    number.unit = ReadUnit(text, after);
    pos = after;
    return number;
}

std::optional<Number> ParseNumber(std::string_view text)
{
    std::size_t pos = 0;
    return ParseNumber(text, pos);
}

std::size_t ParseNumberList(std::string_view text, std::vector<Number>& out)
{
    std::size_t count = 0;
    std::size_t pos = 0;
    while (const std::optional<Number> number = ParseNumber(text, pos)) {
        out.push_back(*number);
        ++count;
        pos = SkipSeparator(text, pos);
    }
    return count;
}

std::optional<Number> ParseLength(std::string_view text)
{
    std::size_t pos = 0;
    const std::optional<Number> number = ParseNumber(text, pos);
    if (!number || SkipSpace(text, pos) != text.size())
        return std::nullopt;
    return number;
}

double ToUserUnits(const Number& number, const LengthContext& context)
{
    const double dpi = context.dpi;
    const double value = number.value;
    switch (number.unit) {
    case Unit::Pt: return ClampToFloat(value * dpi / 72);
    case Unit::Pc: return ClampToFloat(value * dpi * 12 / 72);
    case Unit::Mm: return ClampToFloat(value * dpi / 25.4);
    case Unit::Cm: return ClampToFloat(value * dpi / 2.54);
    case Unit::In: return ClampToFloat(value * dpi);
    case Unit::Em: return ClampToFloat(value * context.fontSize);
    case Unit::Ex: return ClampToFloat(value * context.xHeight);
    default: return value;
    }
}

double ResolveLength(const Number& number, PercentRule rule, const LengthContext& context)
{
    if (number.unit != Unit::Percent)
        return ToUserUnits(number, context);
    const RectF& viewport = context.viewport;
    const double percent = number.value / 100;
    switch (rule) {
    case PercentRule::HorizontalPosition: return ClampToFloat(percent * viewport.width + viewport.x);
    case PercentRule::VerticalPosition: return ClampToFloat(percent * viewport.height + viewport.y);
    case PercentRule::HorizontalSize: return ClampToFloat(percent * viewport.width);
    case PercentRule::VerticalSize: return ClampToFloat(percent * viewport.height);
    case PercentRule::Diagonal: {
        const double diagonal = std::hypot(double{viewport.width}, double{viewport.height}) / std::sqrt(2.0);
        return ClampToFloat(percent * diagonal);
    }
    }
    return number.value;
}

double ToDegrees(const Number& number)
{
    switch (number.unit) {
    case Unit::Rad: return number.value * 180 / std::numbers::pi;
    case Unit::Grad: return number.value * 360 / 400;
    default: return number.value;
    }
}

}  // namespace svg
