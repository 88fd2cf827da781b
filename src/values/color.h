// Colours: "#rgb", "#rrggbb", "rgb(r, g, b)" with numbers or percentages, the
// 147 SVG colour keywords and the 28 CSS2 system colours. "currentColor" and
// "inherit" are resolved by the caller before parsing.
#pragma once

#include <array>
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

// The colours the CSS2 system colour names stand for, by the classic desktop
// system-colour numbers (names that share a colour, such as ButtonFace and
// ThreeDFace, change together). The defaults come from a light Linux desktop
// theme, so that output does not depend on the machine; a user interface
// puts the desktop's palette into the settings of its loads.
struct SystemPalette {
    std::array<Rgb, 25> colors = kDefaultColors;

    // False for a name that is not a system colour.
    bool Set(std::string_view name, Rgb color);
    std::optional<Rgb> Find(std::string_view name) const;

    static const std::array<Rgb, 25> kDefaultColors;
};

std::optional<Rgb> ParseColor(std::string_view text, const SystemPalette& palette = SystemPalette{});

}  // namespace svg
