#include "filter/composite.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "filter/pixel.h"

namespace svg {

namespace {

// A primitive that computes each output pixel from the pixels at the same
// place in `in` and `in2`.
template <typename PixelFn>
std::unique_ptr<CRtBitmap> CombineRows(const CRtBitmap* in, const CRtBitmap* in2, const PixelRect& outRect,
                                       const CStopToken& stop, PixelFn combine)
{
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, false);
    if (!out)
        return nullptr;
    std::vector<std::uint32_t> rowA(static_cast<std::size_t>(outRect.width));
    std::vector<std::uint32_t> rowB(rowA.size());
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        ReadPixelSpan(in, outRect.x, outRect.y + y, outRect.width, rowA.data());
        ReadPixelSpan(in2, outRect.x, outRect.y + y, outRect.width, rowB.data());
        std::uint32_t* target = out->Row(y);
        for (int x = 0; x < outRect.width; ++x)
            target[x] = combine(rowA[x], rowB[x]);
    }
    return out;
}

// Applies `channelFn(ca, cb, qa, qb)` to the three colour channels and
// `alphaFn(qa, qb)` to alpha; colour is kept <= alpha.
template <typename ChannelFn, typename AlphaFn>
std::uint32_t PerChannel(std::uint32_t a, std::uint32_t b, ChannelFn channelFn, AlphaFn alphaFn)
{
    const std::uint32_t qa = PixelAlpha(a);
    const std::uint32_t qb = PixelAlpha(b);
    const std::uint32_t qr = std::min<std::uint32_t>(alphaFn(qa, qb), 255);
    std::uint32_t result = qr << 24;
    for (int channel = 0; channel < 3; ++channel) {
        const std::uint32_t value = channelFn(PixelChannel(a, channel), PixelChannel(b, channel), qa, qb);
        result |= std::min(value, qr) << (8 * channel);
    }
    return result;
}

std::uint32_t UnionAlpha(std::uint32_t qa, std::uint32_t qb) { return qa + qb - Div255(qa * qb); }

std::uint32_t BlendPixel(BlendMode mode, std::uint32_t a, std::uint32_t b)
{
    // ca + (1 - qa) cb, and its mirror.
    const auto normal = [](std::uint32_t ca, std::uint32_t cb, std::uint32_t qa, std::uint32_t) {
        return ca + Div255(cb * (255 - qa));
    };
    const auto mirrored = [](std::uint32_t ca, std::uint32_t cb, std::uint32_t, std::uint32_t qb) {
        return cb + Div255(ca * (255 - qb));
    };
    switch (mode) {
    case BlendMode::Multiply:
        return PerChannel(
            a, b,
            [](std::uint32_t ca, std::uint32_t cb, std::uint32_t qa, std::uint32_t qb) {
                return Div255(cb * (255 - qa) + ca * (255 - qb) + ca * cb);
            },
            UnionAlpha);
    case BlendMode::Screen:
        return PerChannel(
            a, b,
            [](std::uint32_t ca, std::uint32_t cb, std::uint32_t, std::uint32_t) { return ca + cb - Div255(ca * cb); },
            UnionAlpha);
    case BlendMode::Darken:
        return PerChannel(
            a, b,
            [&](std::uint32_t ca, std::uint32_t cb, std::uint32_t qa, std::uint32_t qb) {
                return std::min(normal(ca, cb, qa, qb), mirrored(ca, cb, qa, qb));
            },
            UnionAlpha);
    case BlendMode::Lighten:
        return PerChannel(
            a, b,
            [&](std::uint32_t ca, std::uint32_t cb, std::uint32_t qa, std::uint32_t qb) {
                return std::max(normal(ca, cb, qa, qb), mirrored(ca, cb, qa, qb));
            },
            UnionAlpha);
    case BlendMode::Normal:
        break;
    }
    return PerChannel(a, b, normal, UnionAlpha);
}

// Porter-Duff: every channel, alpha included, is A x Fa + B x Fb with the
// weights given as bytes.
std::uint32_t PorterDuff(std::uint32_t a, std::uint32_t b, std::uint32_t weightA, std::uint32_t weightB)
{
    std::uint32_t result = 0;
    for (int channel = 0; channel < 4; ++channel) {
        const std::uint32_t value = Div255(PixelChannel(a, channel) * weightA + PixelChannel(b, channel) * weightB);
        result |= std::min<std::uint32_t>(value, 255) << (8 * channel);
    }
    // Rounding the channels separately may leave a colour a step above alpha.
    const std::uint32_t alpha = PixelAlpha(result);
    std::uint32_t clamped = alpha << 24;
    for (int channel = 0; channel < 3; ++channel)
        clamped |= std::min(PixelChannel(result, channel), alpha) << (8 * channel);
    return clamped;
}

std::uint32_t CompositePixel(CompositeOperator op, std::uint32_t a, std::uint32_t b)
{
    const std::uint32_t qa = PixelAlpha(a);
    const std::uint32_t qb = PixelAlpha(b);
    switch (op) {
    case CompositeOperator::In:
        return PorterDuff(a, b, qb, 0);
    case CompositeOperator::Out:
        return PorterDuff(a, b, 255 - qb, 0);
    case CompositeOperator::Atop:
        return PorterDuff(a, b, qb, 255 - qa);
    case CompositeOperator::Xor:
        return PorterDuff(a, b, 255 - qb, 255 - qa);
    case CompositeOperator::Over:
    case CompositeOperator::Arithmetic:
        break;
    }
    return PorterDuff(a, b, 255, 255 - qa);
}

float FiniteOrZero(float value) { return std::isfinite(value) ? value : 0.0f; }

struct ArithmeticWeights {
    float k1, k2, k3, k4;

    float Channel(std::uint32_t a, std::uint32_t b) const
    {
        const float i1 = static_cast<float>(a) / 255.0f;
        const float i2 = static_cast<float>(b) / 255.0f;
        return k1 * i1 * i2 + k2 * i1 + k3 * i2 + k4;
    }

    std::uint32_t Pixel(std::uint32_t a, std::uint32_t b) const
    {
        return PackPremultiplied(Channel(PixelAlpha(a), PixelAlpha(b)), Channel(PixelRed(a), PixelRed(b)),
                                 Channel(PixelGreen(a), PixelGreen(b)), Channel(PixelBlue(a), PixelBlue(b)));
    }
};

// Whole-pixel offsets are copies; this close to one counts as one.
constexpr double kWholePixelTolerance = 1.0 / 256.0;
// Larger offsets move every pixel out of any bitmap; keeps them in an int.
constexpr double kMaxOffsetPx = 1 << 30;

int ClampedShift(double offsetPx)
{
    return static_cast<int>(std::clamp(std::round(offsetPx), -kMaxOffsetPx, kMaxOffsetPx));
}

bool IsWholePixel(double offsetPx) { return std::abs(offsetPx - std::round(offsetPx)) < kWholePixelTolerance; }

std::unique_ptr<CRtBitmap> OffsetWhole(const CRtBitmap* in, int shiftX, int shiftY, const PixelRect& outRect,
                                       const CStopToken& stop)
{
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, IsAlphaOnly(in));
    if (!out)
        return nullptr;
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        ReadPixelSpan(in, static_cast<long long>(outRect.x) - shiftX, static_cast<long long>(outRect.y) + y - shiftY,
                      outRect.width, out->Row(y));
    }
    return out;
}

// Row `row` (width + 1 source pixels) interpolated horizontally with weight
// `wx` (0..256) on the right neighbour: channels scaled by 256.
void InterpolateRow(const std::vector<std::uint32_t>& row, std::uint32_t wx, std::vector<std::uint32_t>& lanes)
{
    for (std::size_t x = 0; x + 1 < row.size(); ++x)
        for (int channel = 0; channel < 4; ++channel)
            lanes[x * 4 + channel] =
                PixelChannel(row[x], channel) * (256 - wx) + PixelChannel(row[x + 1], channel) * wx;
}

std::unique_ptr<CRtBitmap> OffsetBilinear(const CRtBitmap* in, double dxPx, double dyPx, const PixelRect& outRect,
                                          const CStopToken& stop)
{
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, IsAlphaOnly(in));
    if (!out)
        return nullptr;
    // Output pixel x samples input position x - dx: between floor and the
    // next pixel, weight on the next one the fraction.
    const double floorX = std::floor(dxPx);
    const double floorY = std::floor(dyPx);
    const auto wx = static_cast<std::uint32_t>(std::lround((1.0 - (dxPx - floorX)) * 256.0));
    const auto wy = static_cast<std::uint32_t>(std::lround((1.0 - (dyPx - floorY)) * 256.0));
    const int shiftX = ClampedShift(floorX + 1.0);
    const int shiftY = ClampedShift(floorY + 1.0);
    const auto width = static_cast<std::size_t>(outRect.width);
    std::vector<std::uint32_t> upper(width + 1), lower(width + 1);
    std::vector<std::uint32_t> upperLanes(width * 4), lowerLanes(width * 4);
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        const long long sourceX = static_cast<long long>(outRect.x) - shiftX;
        const long long sourceY = static_cast<long long>(outRect.y) + y - shiftY;
        ReadPixelSpan(in, sourceX, sourceY, outRect.width + 1, upper.data());
        ReadPixelSpan(in, sourceX, sourceY + 1, outRect.width + 1, lower.data());
        InterpolateRow(upper, wx, upperLanes);
        InterpolateRow(lower, wx, lowerLanes);
        std::uint32_t* target = out->Row(y);
        for (std::size_t x = 0; x < width; ++x) {
            std::uint32_t pixel = 0;
            for (int channel = 0; channel < 4; ++channel) {
                const std::size_t lane = x * 4 + channel;
                const std::uint32_t sum = upperLanes[lane] * (256 - wy) + lowerLanes[lane] * wy;
                pixel |= ((sum + 32768) >> 16) << (8 * channel);
            }
            target[x] = pixel;
        }
    }
    return out;
}

// a mod b for b > 0, never negative.
long long PositiveModulo(long long a, long long b)
{
    const long long r = a % b;
    return r < 0 ? r + b : r;
}

}  // namespace

std::unique_ptr<CRtBitmap> Blend(const CRtBitmap* in, const CRtBitmap* in2, const BlendParams& params,
                                 const PixelRect& outRect, const CStopToken& stop)
{
    const BlendMode mode = params.mode;
    return CombineRows(in, in2, outRect, stop,
                       [mode](std::uint32_t a, std::uint32_t b) { return BlendPixel(mode, a, b); });
}

std::unique_ptr<CRtBitmap> Composite(const CRtBitmap* in, const CRtBitmap* in2, const CompositeParams& params,
                                     const PixelRect& outRect, const CStopToken& stop)
{
    if (params.op == CompositeOperator::Arithmetic) {
        const ArithmeticWeights weights{FiniteOrZero(params.k1), FiniteOrZero(params.k2), FiniteOrZero(params.k3),
                                        FiniteOrZero(params.k4)};
        return CombineRows(in, in2, outRect, stop,
                           [&weights](std::uint32_t a, std::uint32_t b) { return weights.Pixel(a, b); });
    }
    const CompositeOperator op = params.op;
    return CombineRows(in, in2, outRect, stop,
                       [op](std::uint32_t a, std::uint32_t b) { return CompositePixel(op, a, b); });
}

std::unique_ptr<CRtBitmap> Merge(std::span<const CRtBitmap* const> inputs, const PixelRect& outRect,
                                 const CStopToken& stop)
{
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, false);
    if (!out)
        return nullptr;
    std::vector<std::uint32_t> row(static_cast<std::size_t>(outRect.width));
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        std::uint32_t* target = out->Row(y);
        for (const CRtBitmap* input : inputs) {
            if (input == nullptr)
                continue;
            ReadPixelSpan(input, outRect.x, outRect.y + y, outRect.width, row.data());
            for (int x = 0; x < outRect.width; ++x)
                target[x] = CompositePixel(CompositeOperator::Over, row[x], target[x]);
        }
    }
    return out;
}

std::unique_ptr<CRtBitmap> Flood(const FloodParams& params, const PixelRect& outRect, const CStopToken& stop)
{
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, false);
    if (!out)
        return nullptr;
    // An invalid pixel (colour above alpha) is made valid.
    const std::uint32_t alpha = PixelAlpha(params.colorPremultiplied);
    const std::uint32_t colour = PackPixel(alpha, std::min(PixelRed(params.colorPremultiplied), alpha),
                                           std::min(PixelGreen(params.colorPremultiplied), alpha),
                                           std::min(PixelBlue(params.colorPremultiplied), alpha));
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        std::fill_n(out->Row(y), outRect.width, colour);
    }
    return out;
}

std::unique_ptr<CRtBitmap> Offset(const CRtBitmap* in, const OffsetParams& params, const PixelRect& outRect,
                                  const CStopToken& stop)
{
    if (!std::isfinite(params.dxPx) || !std::isfinite(params.dyPx))
        return nullptr;
    if (IsWholePixel(params.dxPx) && IsWholePixel(params.dyPx))
        return OffsetWhole(in, ClampedShift(params.dxPx), ClampedShift(params.dyPx), outRect, stop);
    return OffsetBilinear(in, params.dxPx, params.dyPx, outRect, stop);
}

std::unique_ptr<CRtBitmap> Tile(const CRtBitmap* in, const PixelRect& outRect, const CStopToken& stop)
{
    if (in == nullptr)
        return CRtBitmap::Create(outRect, false);
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, in->AlphaOnly());
    if (!out)
        return nullptr;
    const PixelRect& tile = in->Rect();
    std::vector<std::uint32_t> tileRow(static_cast<std::size_t>(tile.width));
    const long long firstColumn = PositiveModulo(static_cast<long long>(outRect.x) - tile.x, tile.width);
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        const long long tileY = PositiveModulo(static_cast<long long>(outRect.y) + y - tile.y, tile.height);
        ReadPixelSpan(in, tile.x, tile.y + static_cast<int>(tileY), tile.width, tileRow.data());
        std::uint32_t* target = out->Row(y);
        long long column = firstColumn;
        for (int x = 0; x < outRect.width;) {
            const int run = static_cast<int>(std::min<long long>(tile.width - column, outRect.width - x));
            std::copy_n(tileRow.data() + column, run, target + x);
            x += run;
            column = 0;
        }
    }
    return out;
}

}  // namespace svg
