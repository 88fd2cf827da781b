#include "filter/convolve.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>

#include "filter/parallel.h"
#include "filter/pixel.h"
#include "base/limits.h"

namespace svg {

namespace {

long long PositiveModulo(long long a, long long b)
{
    const long long r = a % b;
    return r < 0 ? r + b : r;
}

// The input coordinate that extended coordinate `position` reads, or -1 for
// transparent; `begin` and `length` describe the input along that axis.
long long SourceIndex(long long position, long long begin, long long length, EdgeMode mode)
{
    const long long offset = position - begin;
    if (offset >= 0 && offset < length)
        return offset;
    switch (mode) {
    case EdgeMode::Duplicate:
        return offset < 0 ? 0 : length - 1;
    case EdgeMode::Wrap:
        return PositiveModulo(offset, length);
    case EdgeMode::None:
        break;
    }
    return -1;
}

// Where each kernel column (or row) samples, in whole pixels from the target
// pixel: (index - target) x unit length, rounded.
struct TapOffsets {
    std::vector<long long> x;
    std::vector<long long> y;

    explicit TapOffsets(const ConvolveParams& params)
    {
        for (int j = 0; j < params.orderX; ++j)
            x.push_back(Offset(j - params.targetX, params.kernelUnitLengthXPx));
        for (int i = 0; i < params.orderY; ++i)
            y.push_back(Offset(i - params.targetY, params.kernelUnitLengthYPx));
    }
    // Far beyond any bitmap, clamped before it could overflow; such a kernel
    // then fails the scratch limit.
    static long long Offset(int cells, float unitPx)
    {
        constexpr double kMaxOffsetPx = 1 << 30;
        return std::llround(std::clamp(cells * static_cast<double>(unitPx), -kMaxOffsetPx, kMaxOffsetPx));
    }
    // The taps grow with the index, so the first is the smallest offset.
    long long SpanX() const { return x.back() - x.front(); }
    long long SpanY() const { return y.back() - y.front(); }
};

// The input extended by the edge mode over every pixel the kernel reads for
// the output: (out.width + span x) x (out.height + span y) pixels from the
// output's origin moved by the first taps. With preserveAlpha the colour is
// stored unpremultiplied.
struct Extended {
    std::unique_ptr<std::uint32_t[]> pixels;
    int width = 0;
    int height = 0;

    const std::uint32_t* Row(long long row) const
    {
        return pixels.get() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
    }
};

bool BuildExtended(const CRtBitmap* in, const ConvolveParams& params, const TapOffsets& taps,
                   const PixelRect& outRect, Extended& extended)
{
    const long long width = outRect.width + taps.SpanX();
    const long long height = outRect.height + taps.SpanY();
    if (width > limits::kMaxBitmapSide * 2LL || height > limits::kMaxBitmapSide * 2LL ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > limits::kMaxFilterScratchPixels)
        return false;
    extended.width = static_cast<int>(width);
    extended.height = static_cast<int>(height);
    extended.pixels.reset(new (std::nothrow) std::uint32_t[static_cast<std::size_t>(width * height)]());
    if (!extended.pixels || in == nullptr)
        return static_cast<bool>(extended.pixels);
    const PixelRect& inRect = in->Rect();
    const long long originX = outRect.x + taps.x.front();
    const long long originY = outRect.y + taps.y.front();
    std::vector<long long> columns(static_cast<std::size_t>(extended.width));
    for (int x = 0; x < extended.width; ++x)
        columns[static_cast<std::size_t>(x)] = SourceIndex(originX + x, inRect.x, inRect.width, params.edgeMode);
    std::vector<std::uint32_t> sourceRow(static_cast<std::size_t>(inRect.width));
    for (int y = 0; y < extended.height; ++y) {
        const long long row = SourceIndex(originY + y, inRect.y, inRect.height, params.edgeMode);
        if (row < 0)
            continue;
        ReadPixelSpan(in, inRect.x, inRect.y + static_cast<int>(row), inRect.width, sourceRow.data());
        std::uint32_t* target = extended.pixels.get() + static_cast<std::size_t>(y) * extended.width;
        for (int x = 0; x < extended.width; ++x) {
            const long long column = columns[static_cast<std::size_t>(x)];
            std::uint32_t pixel = column < 0 ? 0 : sourceRow[static_cast<std::size_t>(column)];
            if (params.preserveAlpha) {
                const std::uint32_t alpha = PixelAlpha(pixel);
                pixel = PackPixel(alpha, Unpremultiply(PixelRed(pixel), alpha), Unpremultiply(PixelGreen(pixel), alpha),
                                  Unpremultiply(PixelBlue(pixel), alpha));
            }
            target[x] = pixel;
        }
    }
    return true;
}

float EffectiveDivisor(const ConvolveParams& params)
{
    if (params.divisor != 0.0f)
        return params.divisor;
    // A kernel whose values cancel out sums to 0 only up to rounding (0.1 x 8
    // - 0.8 in floats): a sum that small next to the values is 0, or the
    // division would blow the result up.
    double sum = 0;
    double magnitude = 0;
    for (const float value : params.kernelMatrix) {
        sum += value;
        magnitude += std::fabs(value);
    }
    if (!std::isfinite(sum) || std::fabs(sum) <= 1e-6 * magnitude)
        return 1.0f;
    return static_cast<float>(sum);
}

// Writes output row y from the per-lane sums (channels scaled by 255).
void WriteRow(const std::vector<float>& sums, const Extended& extended, const ConvolveParams& params,
              const TapOffsets& taps, float scale, int y, std::uint32_t* target, int width)
{
    const std::uint32_t* own = extended.Row(y - taps.y.front()) - taps.x.front();
    for (int x = 0; x < width; ++x) {
        const float* lane = sums.data() + static_cast<std::size_t>(x) * 4;
        // Lanes follow the bytes of a pixel: blue, green, red, alpha.
        const float blue = lane[0] * scale;
        const float green = lane[1] * scale;
        const float red = lane[2] * scale;
        if (params.preserveAlpha) {
            const float alpha = static_cast<float>(PixelAlpha(own[x])) / 255.0f;
            target[x] = PackUnpremultiplied(alpha, red + params.bias, green + params.bias, blue + params.bias);
            continue;
        }
        const float alpha = std::clamp(lane[3] * scale + params.bias, 0.0f, 1.0f);
        target[x] = PackPremultiplied(alpha, red + params.bias * alpha, green + params.bias * alpha,
                                      blue + params.bias * alpha);
    }
}

}  // namespace

bool IsValidConvolve(const ConvolveParams& params)
{
    if (params.orderX < 1 || params.orderY < 1)
        return false;
    const auto cells = static_cast<std::size_t>(params.orderX) * static_cast<std::size_t>(params.orderY);
    if (cells > limits::kMaxConvolveKernelCells || params.kernelMatrix.size() != cells)
        return false;
    if (params.targetX < 0 || params.targetX >= params.orderX || params.targetY < 0 || params.targetY >= params.orderY)
        return false;
    const auto finite = [](float v) { return std::isfinite(v); };
    return std::all_of(params.kernelMatrix.begin(), params.kernelMatrix.end(), finite) && finite(params.divisor) &&
           finite(params.bias) && params.kernelUnitLengthXPx > 0.0f && params.kernelUnitLengthYPx > 0.0f &&
           finite(params.kernelUnitLengthXPx) && finite(params.kernelUnitLengthYPx);
}

std::unique_ptr<CRtBitmap> ConvolveMatrix(const CRtBitmap* in, const ConvolveParams& params, const PixelRect& outRect,
                                          const CStopToken& stop)
{
    if (!IsValidConvolve(params) || !IsWithinBitmapLimits(outRect))
        return nullptr;
    const std::size_t cells = params.kernelMatrix.size();
    const std::size_t pixels = static_cast<std::size_t>(outRect.width) * static_cast<std::size_t>(outRect.height);
    if (pixels * cells > limits::kMaxConvolveOperations)
        return nullptr;
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, false);
    const TapOffsets taps(params);
    Extended extended;
    if (!out || !BuildExtended(in, params, taps, outRect, extended))
        return nullptr;
    const float scale = 1.0f / (255.0f * EffectiveDivisor(params));
    const auto lanes = static_cast<std::size_t>(outRect.width) * 4;
    const bool completed =
        ParallelFor(outRect.height, FilterThreadCount(params.threads, pixels * cells), [&](int begin, int end) {
            std::vector<float> sums(lanes);
            for (int y = begin; y < end && !stop.StopRequested(); ++y) {
                std::fill(sums.begin(), sums.end(), 0.0f);
                for (int i = 0; i < params.orderY; ++i) {
                    const auto* row = reinterpret_cast<const std::uint8_t*>(
                        extended.Row(y + taps.y[static_cast<std::size_t>(i)] - taps.y.front()));
                    for (int j = 0; j < params.orderX; ++j) {
                        // Tap (i, j) weighs with the kernel turned 180 degrees.
                        const float weight = params.kernelMatrix[static_cast<std::size_t>(
                            (params.orderY - 1 - i) * params.orderX + (params.orderX - 1 - j))];
                        if (weight == 0.0f)
                            continue;
                        const std::uint8_t* __restrict source =
                            row + static_cast<std::size_t>(taps.x[static_cast<std::size_t>(j)] - taps.x.front()) * 4;
                        float* __restrict sum = sums.data();
                        for (std::size_t k = 0; k < lanes; ++k)
                            sum[k] += weight * static_cast<float>(source[k]);
                    }
                }
                WriteRow(sums, extended, params, taps, scale, y, out->Row(y), outRect.width);
            }
        });
    if (!completed || stop.StopRequested())
        return nullptr;
    return out;
}

}  // namespace svg
