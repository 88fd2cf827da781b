// One filter pixel: premultiplied ARGB packed in a native-endian 32-bit word
// 0xAARRGGBB, the layout of cairo's CAIRO_FORMAT_ARGB32, 8 bits a channel.
// Premultiplied means every colour channel is already multiplied by alpha, so
// a valid pixel has each colour channel <= its alpha. The helpers below pack,
// unpack and round the byte arithmetic that every primitive shares. Pure
// inline functions: safe from any thread.
#pragma once

#include <cstdint>

namespace svg {

inline constexpr std::uint32_t kAlphaMask = 0xFF000000u;

inline std::uint32_t PixelAlpha(std::uint32_t pixel) { return pixel >> 24; }
inline std::uint32_t PixelRed(std::uint32_t pixel) { return pixel >> 16 & 0xFF; }
inline std::uint32_t PixelGreen(std::uint32_t pixel) { return pixel >> 8 & 0xFF; }
inline std::uint32_t PixelBlue(std::uint32_t pixel) { return pixel & 0xFF; }

// Channel `index` of a pixel, 0 blue, 1 green, 2 red, 3 alpha: the order of
// the bytes of a pixel in memory on little-endian machines.
inline std::uint32_t PixelChannel(std::uint32_t pixel, int index) { return pixel >> (8 * index) & 0xFF; }

// Each argument 0..255.
inline std::uint32_t PackPixel(std::uint32_t alpha, std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return alpha << 24 | red << 16 | green << 8 | blue;
}

// round(x / 255) for 0 <= x <= 255 x 255, without a division.
inline std::uint32_t Div255(std::uint32_t x)
{
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// A real channel value, nominally 0..1, as a byte: clamped, rounded, NaN 0.
inline std::uint32_t UnitToByte(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<std::uint32_t>(value * 255.0f + 0.5f);
}

// round(channel x 255 / alpha): the unpremultiplied byte of a premultiplied
// channel, through a table; a channel above alpha counts as alpha, and alpha
// 0 gives 0.
std::uint32_t Unpremultiply(std::uint32_t channel, std::uint32_t alpha);

// Real premultiplied channels (0..1) as a valid pixel: alpha clamped to 0..1,
// each colour clamped to 0..alpha (arithmetic may overshoot either bound).
inline std::uint32_t PackPremultiplied(float alpha, float red, float green, float blue)
{
    const std::uint32_t a = UnitToByte(alpha);
    const auto colour = [a](float value) {
        const std::uint32_t byte = UnitToByte(value);
        return byte < a ? byte : a;
    };
    return PackPixel(a, colour(red), colour(green), colour(blue));
}

// Real unpremultiplied channels (0..1) as a premultiplied pixel.
inline std::uint32_t PackUnpremultiplied(float alpha, float red, float green, float blue)
{
    const std::uint32_t a = UnitToByte(alpha);
    const float scale = static_cast<float>(a) / 255.0f;
    return PackPremultiplied(static_cast<float>(a) / 255.0f, red * scale, green * scale, blue * scale);
}

}  // namespace svg
