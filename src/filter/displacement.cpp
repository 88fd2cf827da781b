#include "filter/displacement.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "filter/pixel.h"

namespace svg {

namespace {

// The selected channel of a premultiplied pixel, unpremultiplied, 0..255.
std::uint32_t SelectedChannel(std::uint32_t pixel, ChannelSelector selector)
{
    const std::uint32_t alpha = PixelAlpha(pixel);
    switch (selector) {
    case ChannelSelector::R:
        return Unpremultiply(PixelRed(pixel), alpha);
    case ChannelSelector::G:
        return Unpremultiply(PixelGreen(pixel), alpha);
    case ChannelSelector::B:
        return Unpremultiply(PixelBlue(pixel), alpha);
    case ChannelSelector::A:
        break;
    }
    return alpha;
}

// Pixel offsets for every channel value 0..255: scale x (v / 255 - 0.5),
// rounded to the nearest pixel and kept far inside an int (anything beyond
// the limit misses every bitmap anyway).
std::vector<long long> OffsetTable(float scalePx)
{
    constexpr double kMaxShiftPx = 1 << 30;
    std::vector<long long> table(256);
    for (int v = 0; v < 256; ++v) {
        const double shift = static_cast<double>(scalePx) * (v / 255.0 - 0.5);
        const double clamped = std::clamp(shift, -kMaxShiftPx, kMaxShiftPx);
        table[static_cast<std::size_t>(v)] = static_cast<long long>(std::floor(clamped + 0.5));
    }
    return table;
}

}  // namespace

std::unique_ptr<CRtBitmap> DisplacementMap(const CRtBitmap* in, const CRtBitmap* map, const DisplacementParams& params,
                                           const PixelRect& outRect, const CStopToken& stop)
{
    if (!std::isfinite(params.scaleXPx) || !std::isfinite(params.scaleYPx))
        return nullptr;
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, in != nullptr && in->AlphaOnly());
    if (!out)
        return nullptr;
    if (in == nullptr)
        return out;
    const std::vector<long long> shiftX = OffsetTable(params.scaleXPx);
    const std::vector<long long> shiftY = OffsetTable(params.scaleYPx);
    std::vector<std::uint32_t> mapRow(static_cast<std::size_t>(outRect.width));
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        const int yPx = outRect.y + y;
        ReadPixelSpan(map, outRect.x, yPx, outRect.width, mapRow.data());
        std::uint32_t* target = out->Row(y);
        for (int x = 0; x < outRect.width; ++x) {
            const std::uint32_t mapPixel = mapRow[static_cast<std::size_t>(x)];
            const long long sourceX = outRect.x + x + shiftX[SelectedChannel(mapPixel, params.xChannel)];
            const long long sourceY = yPx + shiftY[SelectedChannel(mapPixel, params.yChannel)];
            target[x] = in->PixelAt(static_cast<int>(std::clamp<long long>(sourceX, INT_MIN, INT_MAX)),
                                    static_cast<int>(std::clamp<long long>(sourceY, INT_MIN, INT_MAX)));
        }
    }
    return out;
}

}  // namespace svg
