// Colours: "#rgb", "#rrggbb", "rgb(r, g, b)" with numbers or percentages, the
// 147 SVG colour keywords and the 28 CSS2 system colours. "currentColor" and
// "inherit" are resolved by the caller before parsing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace svg {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

std::optional<Rgb> ParseColor(std::string_view text);

// The system colours start from a fixed table of desktop defaults; a user
// interface may replace them with the desktop's palette before loading.
// Returns false for a name that is not a system colour.
bool SetSystemColor(std::string_view name, Rgb color);

}  // namespace svg
