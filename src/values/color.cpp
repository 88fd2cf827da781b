#include "values/color.h"

#include <algorithm>
#include <cmath>

#include "values/number.h"

namespace svg {

namespace {

struct NamedColor {
    std::string_view name;  // lower case
    Rgb rgb;
};

// The SVG 1.1 colour keywords, sorted for binary search. "none" is
// deliberately absent: it is not a colour, and stop-color="none" must be
// invalid rather than white.
constexpr NamedColor kColorKeywords[] = {
    {"aliceblue", {240, 248, 255}},
    {"antiquewhite", {250, 235, 215}},
    {"aqua", {0, 255, 255}},
    {"aquamarine", {127, 255, 212}},
    {"azure", {240, 255, 255}},
    {"beige", {245, 245, 220}},
    {"bisque", {255, 228, 196}},
    {"black", {0, 0, 0}},
    {"blanchedalmond", {255, 235, 205}},
    {"blue", {0, 0, 255}},
    {"blueviolet", {138, 43, 226}},
    {"brown", {165, 42, 42}},
    {"burlywood", {222, 184, 135}},
    {"cadetblue", {95, 158, 160}},
    {"chartreuse", {127, 255, 0}},
    {"chocolate", {210, 105, 30}},
    {"coral", {255, 127, 80}},
    {"cornflowerblue", {100, 149, 237}},
    {"cornsilk", {255, 248, 220}},
    {"crimson", {220, 20, 60}},
    {"cyan", {0, 255, 255}},
    {"darkblue", {0, 0, 139}},
    {"darkcyan", {0, 139, 139}},
    {"darkgoldenrod", {184, 134, 11}},
    {"darkgray", {169, 169, 169}},
    {"darkgreen", {0, 100, 0}},
    {"darkgrey", {169, 169, 169}},
    {"darkkhaki", {189, 183, 107}},
    {"darkmagenta", {139, 0, 139}},
    {"darkolivegreen", {85, 107, 47}},
    {"darkorange", {255, 140, 0}},
    {"darkorchid", {153, 50, 204}},
    {"darkred", {139, 0, 0}},
    {"darksalmon", {233, 150, 122}},
    {"darkseagreen", {143, 188, 143}},
    {"darkslateblue", {72, 61, 139}},
    {"darkslategray", {47, 79, 79}},
    {"darkslategrey", {47, 79, 79}},
    {"darkturquoise", {0, 206, 209}},
    {"darkviolet", {148, 0, 211}},
    {"deeppink", {255, 20, 147}},
    {"deepskyblue", {0, 191, 255}},
    {"dimgray", {105, 105, 105}},
    {"dimgrey", {105, 105, 105}},
    {"dodgerblue", {30, 144, 255}},
    {"firebrick", {178, 34, 34}},
    {"floralwhite", {255, 250, 240}},
    {"forestgreen", {34, 139, 34}},
    {"fuchsia", {255, 0, 255}},
    {"gainsboro", {220, 220, 220}},
    {"ghostwhite", {248, 248, 255}},
    {"gold", {255, 215, 0}},
    {"goldenrod", {218, 165, 32}},
    {"gray", {128, 128, 128}},
    {"green", {0, 128, 0}},
    {"greenyellow", {173, 255, 47}},
    {"grey", {128, 128, 128}},
    {"honeydew", {240, 255, 240}},
    {"hotpink", {255, 105, 180}},
    {"indianred", {205, 92, 92}},
    {"indigo", {75, 0, 130}},
    {"ivory", {255, 255, 240}},
    {"khaki", {240, 230, 140}},
    {"lavender", {230, 230, 250}},
    {"lavenderblush", {255, 240, 245}},
    {"lawngreen", {124, 252, 0}},
    {"lemonchiffon", {255, 250, 205}},
    {"lightblue", {173, 216, 230}},
    {"lightcoral", {240, 128, 128}},
    {"lightcyan", {224, 255, 255}},
    {"lightgoldenrodyellow", {250, 250, 210}},
    {"lightgray", {211, 211, 211}},
    {"lightgreen", {144, 238, 144}},
    {"lightgrey", {211, 211, 211}},
    {"lightpink", {255, 182, 193}},
    {"lightsalmon", {255, 160, 122}},
    {"lightseagreen", {32, 178, 170}},
    {"lightskyblue", {135, 206, 250}},
    {"lightslategray", {119, 136, 153}},
    {"lightslategrey", {119, 136, 153}},
    {"lightsteelblue", {176, 196, 222}},
    {"lightyellow", {255, 255, 224}},
    {"lime", {0, 255, 0}},
    {"limegreen", {50, 205, 50}},
    {"linen", {250, 240, 230}},
    {"magenta", {255, 0, 255}},
    {"maroon", {128, 0, 0}},
    {"mediumaquamarine", {102, 205, 170}},
    {"mediumblue", {0, 0, 205}},
    {"mediumorchid", {186, 85, 211}},
    {"mediumpurple", {147, 112, 219}},
    {"mediumseagreen", {60, 179, 113}},
    {"mediumslateblue", {123, 104, 238}},
    {"mediumspringgreen", {0, 250, 154}},
    {"mediumturquoise", {72, 209, 204}},
    {"mediumvioletred", {199, 21, 133}},
    {"midnightblue", {25, 25, 112}},
    {"mintcream", {245, 255, 250}},
    {"mistyrose", {255, 228, 225}},
    {"moccasin", {255, 228, 181}},
    {"navajowhite", {255, 222, 173}},
    {"navy", {0, 0, 128}},
    {"oldlace", {253, 245, 230}},
    {"olive", {128, 128, 0}},
    {"olivedrab", {107, 142, 35}},
    {"orange", {255, 165, 0}},
    {"orangered", {255, 69, 0}},
    {"orchid", {218, 112, 214}},
    {"palegoldenrod", {238, 232, 170}},
    {"palegreen", {152, 251, 152}},
    {"paleturquoise", {175, 238, 238}},
    {"palevioletred", {219, 112, 147}},
    {"papayawhip", {255, 239, 213}},
    {"peachpuff", {255, 218, 185}},
    {"peru", {205, 133, 63}},
    {"pink", {255, 192, 203}},
    {"plum", {221, 160, 221}},
    {"powderblue", {176, 224, 230}},
    {"purple", {128, 0, 128}},
    {"red", {255, 0, 0}},
    {"rosybrown", {188, 143, 143}},
    {"royalblue", {65, 105, 225}},
    {"saddlebrown", {139, 69, 19}},
    {"salmon", {250, 128, 114}},
    {"sandybrown", {244, 164, 96}},
    {"seagreen", {46, 139, 87}},
    {"seashell", {255, 245, 238}},
    {"sienna", {160, 82, 45}},
    {"silver", {192, 192, 192}},
    {"skyblue", {135, 206, 235}},
    {"slateblue", {106, 90, 205}},
    {"slategray", {112, 128, 144}},
    {"slategrey", {112, 128, 144}},
    {"snow", {255, 250, 250}},
    {"springgreen", {0, 255, 127}},
    {"steelblue", {70, 130, 180}},
    {"tan", {210, 180, 140}},
    {"teal", {0, 128, 128}},
    {"thistle", {216, 191, 216}},
    {"tomato", {255, 99, 71}},
    {"turquoise", {64, 224, 208}},
    {"violet", {238, 130, 238}},
    {"wheat", {245, 222, 179}},
    {"white", {255, 255, 255}},
    {"whitesmoke", {245, 245, 245}},
    {"yellow", {255, 255, 0}},
    {"yellowgreen", {154, 205, 50}},
};

// The CSS2 system colour names and the system colour each stands for; the
// indexes are the classic desktop system-colour numbers, so names that share
// a colour (ButtonFace and ThreeDFace) change together.
struct SystemColorName {
    std::string_view name;
    int index;
};

constexpr SystemColorName kSystemColorNames[] = {
    {"ActiveBorder", 10},      {"ActiveCaption", 2},      {"AppWorkspace", 12},     {"Background", 1},
    {"ButtonFace", 15},        {"ButtonHighlight", 20},   {"ButtonShadow", 16},     {"ButtonText", 18},
    {"CaptionText", 9},        {"GrayText", 17},          {"Highlight", 13},        {"HighlightText", 14},
    {"InactiveBorder", 11},    {"InactiveCaption", 3},    {"InactiveCaptionText", 19}, {"InfoBackground", 24},
    {"InfoText", 23},          {"Menu", 4},               {"MenuText", 7},          {"Scrollbar", 0},
    {"ThreeDDarkShadow", 21},  {"ThreeDFace", 15},        {"ThreeDHighlight", 20},  {"ThreeDLightShadow", 22},
    {"ThreeDShadow", 16},      {"Window", 5},             {"WindowFrame", 6},       {"WindowText", 8},
};

}  // namespace

const std::array<Rgb, 25> SystemPalette::kDefaultColors = {{
    {206, 206, 206},  // 0 scroll bar
    {52, 101, 164},   // 1 desktop
    {235, 235, 235},  // 2 active caption
    {246, 245, 244},  // 3 inactive caption
    {255, 255, 255},  // 4 menu
    {255, 255, 255},  // 5 window
    {100, 100, 100},  // 6 window frame
    {0, 0, 0},        // 7 menu text
    {0, 0, 0},        // 8 window text
    {0, 0, 0},        // 9 caption text
    {182, 182, 179},  // 10 active border
    {214, 214, 214},  // 11 inactive border
    {246, 245, 244},  // 12 application workspace
    {53, 132, 228},   // 13 highlight
    {255, 255, 255},  // 14 highlight text
    {239, 239, 239},  // 15 button face
    {160, 160, 160},  // 16 button shadow
    {139, 142, 143},  // 17 grey text
    {0, 0, 0},        // 18 button text
    {139, 142, 143},  // 19 inactive caption text
    {255, 255, 255},  // 20 button highlight
    {105, 105, 105},  // 21 3-D dark shadow
    {227, 227, 227},  // 22 3-D light
    {0, 0, 0},        // 23 tooltip text
    {255, 255, 220},  // 24 tooltip background
}};

namespace {

// Orders a lower-case keyword against text of any case.
bool KeywordLess(std::string_view keyword, std::string_view text)
{
    return std::ranges::lexicographical_compare(keyword, text, {}, {}, ToLowerAscii);
}

std::optional<Rgb> FindColorKeyword(std::string_view text)
{
    const auto* found = std::ranges::lower_bound(kColorKeywords, text, KeywordLess, &NamedColor::name);
    if (found == std::end(kColorKeywords) || !EqualsIgnoringCase(found->name, text))
        return std::nullopt;
    return found->rgb;
}

const SystemColorName* FindSystemColorName(std::string_view text)
{
    for (const SystemColorName& entry : kSystemColorNames)
        if (EqualsIgnoringCase(entry.name, text))
            return &entry;
    return nullptr;
}

// The digits after "#", up to the first non-hexadecimal character.
std::optional<Rgb> ParseHexColor(std::string_view digits)
{
    std::size_t count = 0;
    while (count < digits.size() && HexDigitValue(digits[count]) >= 0)
        ++count;
    auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(HexDigitValue(digits[i]) * 16 + HexDigitValue(digits[i + 1])); };
    auto doubled = [&](std::size_t i) { return static_cast<std::uint8_t>(HexDigitValue(digits[i]) * 17); };
    if (count == 3)
        return Rgb{doubled(0), doubled(1), doubled(2)};
    if (count == 6)
        return Rgb{byteAt(0), byteAt(2), byteAt(4)};
    return std::nullopt;
}

// Numbers are clamped and truncated. Percentages are rounded, as browsers
// do, so that 50% is 128 and 100% is exactly 255.
std::uint8_t ColorComponent(const Number& number)
{
    if (number.unit == Unit::Percent)
        return static_cast<std::uint8_t>(std::lround(std::clamp(number.value * 255 / 100, 0.0, 255.0)));
    return static_cast<std::uint8_t>(std::clamp(number.value, 0.0, 255.0));
}

// The text after "rgb(": three numbers separated as in a number list, then ")".
std::optional<Rgb> ParseRgbFunction(std::string_view text)
{
    std::uint8_t components[3];
    std::size_t pos = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0)
            pos = SkipSeparator(text, pos);
        const std::optional<Number> number = ParseNumber(text, pos);
        if (!number)
            return std::nullopt;
        components[i] = ColorComponent(*number);
    }
    pos = SkipSpace(text, pos);
    if (pos >= text.size() || text[pos] != ')')
        return std::nullopt;
    return Rgb{components[0], components[1], components[2]};
}

}  // namespace

std::optional<Rgb> ParseColor(std::string_view text, const SystemPalette& palette)
{
    text = TrimSpace(text);
    if (text.starts_with('#'))
        return ParseHexColor(text.substr(1));
    // CSS functional notation: "RGB(" is as good as "rgb(", like the keywords.
    if (text.size() >= 4 && EqualsIgnoringCase(text.substr(0, 4), "rgb("))
        return ParseRgbFunction(text.substr(4));
    if (const std::optional<Rgb> keyword = FindColorKeyword(text))
        return keyword;
    return palette.Find(text);
}

bool SystemPalette::Set(std::string_view name, Rgb color)
{
    const SystemColorName* system = FindSystemColorName(name);
    if (system == nullptr)
        return false;
    colors[static_cast<std::size_t>(system->index)] = color;
    return true;
}

std::optional<Rgb> SystemPalette::Find(std::string_view name) const
{
    const SystemColorName* system = FindSystemColorName(name);
    if (system == nullptr)
        return std::nullopt;
    return colors[static_cast<std::size_t>(system->index)];
}

}  // namespace svg
