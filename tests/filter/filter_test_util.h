// Helpers shared by the filter primitive tests: bitmaps from pixel lists and
// seeded noise, pixel comparisons and a stopped token.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <random>
#include <vector>

#include "filter/pixel.h"
#include "filter/rt_bitmap.h"
#include "base/stop_token.h"

namespace filter_test {

inline const svg::CStopToken& Never() { return svg::CStopToken::Never(); }

// A token that is stopped from the start.
struct StoppedToken : svg::CStopToken {
    StoppedToken() { RequestStop(); }
};

// A bitmap of `rect` with `pixels` row by row (missing ones transparent).
inline std::unique_ptr<svg::CRtBitmap> MakeBitmap(const svg::PixelRect& rect,
                                                  std::initializer_list<std::uint32_t> pixels, bool alphaOnly = false)
{
    auto bitmap = svg::CRtBitmap::Create(rect, alphaOnly);
    auto it = pixels.begin();
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0; x < rect.width && it != pixels.end(); ++x)
            bitmap->Row(y)[x] = *it++;
    return bitmap;
}

inline std::unique_ptr<svg::CRtBitmap> SolidBitmap(const svg::PixelRect& rect, std::uint32_t pixel)
{
    auto bitmap = svg::CRtBitmap::Create(rect, false);
    for (int y = 0; y < rect.height; ++y)
        std::fill_n(bitmap->Row(y), rect.width, pixel);
    return bitmap;
}

// Valid premultiplied noise; `transparentShare` of the pixels (0..1) fully
// transparent, the rest of random alpha.
inline std::unique_ptr<svg::CRtBitmap> RandomBitmap(const svg::PixelRect& rect, unsigned seed,
                                                    double transparentShare = 0.2)
{
    auto bitmap = svg::CRtBitmap::Create(rect, false);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x) {
            if (unit(random) < transparentShare)
                continue;
            const std::uint32_t alpha = random() % 256;
            const auto channel = [&] { return alpha == 0 ? 0u : static_cast<std::uint32_t>(random() % (alpha + 1)); };
            bitmap->Row(y)[x] = svg::PackPixel(alpha, channel(), channel(), channel());
        }
    }
    return bitmap;
}

inline int ChannelDifference(std::uint32_t a, std::uint32_t b)
{
    int worst = 0;
    for (int channel = 0; channel < 4; ++channel)
        worst = std::max(worst, std::abs(static_cast<int>(svg::PixelChannel(a, channel)) -
                                         static_cast<int>(svg::PixelChannel(b, channel))));
    return worst;
}

// The largest channel difference between two bitmaps of the same rectangle.
inline int MaxDifference(const svg::CRtBitmap& a, const svg::CRtBitmap& b)
{
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            worst = std::max(worst, ChannelDifference(a.Row(y)[x], b.Row(y)[x]));
    return worst;
}

inline bool SamePixels(const svg::CRtBitmap& a, const svg::CRtBitmap& b)
{
    if (a.Rect() != b.Rect())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (!std::equal(a.Row(y), a.Row(y) + a.Width(), b.Row(y)))
            return false;
    return true;
}

// Every colour channel <= alpha.
inline bool AllPremultiplied(const svg::CRtBitmap& bitmap)
{
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t p = bitmap.Row(y)[x];
            const std::uint32_t a = svg::PixelAlpha(p);
            if (svg::PixelRed(p) > a || svg::PixelGreen(p) > a || svg::PixelBlue(p) > a)
                return false;
        }
    return true;
}

// Pixel (x, y) of the filter's pixel space.
inline std::uint32_t At(const svg::CRtBitmap& bitmap, int x, int y) { return bitmap.PixelAt(x, y); }

}  // namespace filter_test
