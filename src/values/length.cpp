#include "values/length.h"

#include <cctype>
#include <cstdlib>
#include <string>
#include <cmath>

namespace svg {

std::optional<float> ParseNumberPrefix(std::string_view& text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t digitsStart = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    std::size_t digits = i - digitsStart;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        digits += i - fractionStart;
    }
    if (digits == 0)
        return std::nullopt;
    // An exponent needs digits; otherwise the "e" belongs to a unit such as "em".
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
                ++j;
            i = j;
        }
    }
    const std::string number(text.substr(0, i));
    const double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value) || std::fabs(value) > 3.4e38)
        return std::nullopt;
    text.remove_prefix(i);
    return static_cast<float>(value);
}

std::optional<Length> ParseLength(std::string_view text)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    const std::optional<float> number = ParseNumberPrefix(text);
    if (!number)
        return std::nullopt;
    static constexpr std::pair<std::string_view, LengthUnit> kUnits[] = {
        {"", LengthUnit::None}, {"px", LengthUnit::Px}, {"pt", LengthUnit::Pt},
        {"pc", LengthUnit::Pc}, {"mm", LengthUnit::Mm}, {"cm", LengthUnit::Cm},
        {"in", LengthUnit::In}, {"em", LengthUnit::Em}, {"ex", LengthUnit::Ex},
        {"%", LengthUnit::Percent}};
    for (const auto& [suffix, unit] : kUnits)
        if (text == suffix)
            return Length{*number, unit};
    return std::nullopt;
}

float ToUserUnits(const Length& length, const UnitContext& context)
{
    switch (length.unit) {
    case LengthUnit::None:
    case LengthUnit::Px: return length.value;
    case LengthUnit::Pt: return length.value * context.dpi / 72;
    case LengthUnit::Pc: return length.value * context.dpi / 6;
    case LengthUnit::Mm: return length.value * context.dpi / 25.4f;
    case LengthUnit::Cm: return length.value * context.dpi / 2.54f;
    case LengthUnit::In: return length.value * context.dpi;
    case LengthUnit::Em: return length.value * context.emSize;
    case LengthUnit::Ex: return length.value * context.exSize;
    case LengthUnit::Percent: return length.value * context.percentBase / 100;
    }
    return length.value;
}

}  // namespace svg
