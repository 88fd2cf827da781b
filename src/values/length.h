// SVG lengths: a number with an optional unit, and their conversion to user
// units at 96 dots per inch.
#pragma once

#include <optional>
#include <string_view>

namespace svg {

enum class LengthUnit { None, Px, Pt, Pc, Mm, Cm, In, Em, Ex, Percent };

struct Length {
    float value = 0;
    LengthUnit unit = LengthUnit::None;
};

// Parses "<number><unit>?" with optional surrounding white space. Units are
// case-sensitive, as in SVG 1.1. Null for anything else.
std::optional<Length> ParseLength(std::string_view text);

// A number as SVG writes it: sign, digits, fraction, exponent. On success
// `text` is advanced past it.
std::optional<float> ParseNumberPrefix(std::string_view& text);

struct UnitContext {
    float dpi = 96;
    float emSize = 15.5f;
    float exSize = 5;
    // What 100% means for this length.
    float percentBase = 0;
};

float ToUserUnits(const Length& length, const UnitContext& context);

}  // namespace svg
