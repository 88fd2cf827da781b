#include "filter/color.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "filter/pixel.h"

namespace svg {

namespace {

constexpr int kMatrixColumns = 5;

bool AllFinite(const ColorMatrix& matrix)
{
    return std::all_of(matrix.values.begin(), matrix.values.end(), [](float v) { return std::isfinite(v); });
}

// The matrix applied to unpremultiplied channels 0..1, written premultiplied.
std::uint32_t TransformPixel(const ColorMatrix& matrix, float red, float green, float blue, float alpha)
{
    float result[4];
    for (int row = 0; row < 4; ++row) {
        const float* m = matrix.values.data() + row * kMatrixColumns;
        result[row] = m[0] * red + m[1] * green + m[2] * blue + m[3] * alpha + m[4];
    }
    return PackUnpremultiplied(result[3], result[0], result[1], result[2]);
}

std::uint32_t TransformPixel(const ColorMatrix& matrix, std::uint32_t pixel)
{
    const std::uint32_t alpha = PixelAlpha(pixel);
    if (alpha == 0)
        return TransformPixel(matrix, 0.0f, 0.0f, 0.0f, 0.0f);
    const float scale = 1.0f / static_cast<float>(alpha);
    const auto unpremultiplied = [&](std::uint32_t channel) {
        return static_cast<float>(std::min(channel, alpha)) * scale;
    };
    return TransformPixel(matrix, unpremultiplied(PixelRed(pixel)), unpremultiplied(PixelGreen(pixel)),
                          unpremultiplied(PixelBlue(pixel)), static_cast<float>(alpha) / 255.0f);
}

// A row-wise pass that maps every pixel of `in` over `outRect`.
template <typename PixelFn>
std::unique_ptr<CRtBitmap> MapPixels(const CRtBitmap* in, const PixelRect& outRect, const CStopToken& stop,
                                     PixelFn map)
{
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, false);
    if (!out)
        return nullptr;
    for (int y = 0; y < outRect.height; ++y) {
        if (stop.StopRequested())
            return nullptr;
        std::uint32_t* row = out->Row(y);
        ReadPixelSpan(in, outRect.x, outRect.y + y, outRect.width, row);
        for (int x = 0; x < outRect.width; ++x)
            row[x] = map(row[x]);
    }
    return out;
}

bool IsUsable(const TransferFunction& function)
{
    const auto finite = [](float v) { return std::isfinite(v); };
    return finite(function.slope) && finite(function.intercept) && finite(function.amplitude) &&
           finite(function.exponent) && finite(function.offset) &&
           std::all_of(function.tableValues.begin(), function.tableValues.end(), finite);
}

// C' for C in 0..1; the caller clamps.
double Transfer(const TransferFunction& function, double c)
{
    const std::vector<float>& values = function.tableValues;
    const auto count = static_cast<long long>(values.size());
    switch (function.type) {
    case TransferType::Table: {
        if (count == 0)
            return c;
        if (count == 1)
            return values[0];
        const long long intervals = count - 1;
        const long long k = std::min(static_cast<long long>(c * static_cast<double>(intervals)), intervals);
        if (k == intervals)
            return values[static_cast<std::size_t>(k)];
        const double v0 = values[static_cast<std::size_t>(k)];
        const double v1 = values[static_cast<std::size_t>(k + 1)];
        return v0 + (c * static_cast<double>(intervals) - static_cast<double>(k)) * (v1 - v0);
    }
    case TransferType::Discrete: {
        if (count == 0)
            return c;
        const long long k = std::min(static_cast<long long>(c * static_cast<double>(count)), count - 1);
        return values[static_cast<std::size_t>(k)];
    }
    case TransferType::Linear:
        return function.slope * c + function.intercept;
    case TransferType::Gamma:
        return function.amplitude * std::pow(c, static_cast<double>(function.exponent)) + function.offset;
    case TransferType::Identity:
        break;
    }
    return c;
}

}  // namespace

ColorMatrix IdentityColorMatrix()
{
    ColorMatrix matrix;
    for (int i = 0; i < 4; ++i)
        matrix.values[static_cast<std::size_t>(i * kMatrixColumns + i)] = 1.0f;
    return matrix;
}

ColorMatrix SaturateMatrix(float s)
{
    if (!std::isfinite(s))
        return IdentityColorMatrix();
    return {{0.213f + 0.787f * s, 0.715f - 0.715f * s, 0.072f - 0.072f * s, 0, 0,   //
             0.213f - 0.213f * s, 0.715f + 0.285f * s, 0.072f - 0.072f * s, 0, 0,   //
             0.213f - 0.213f * s, 0.715f - 0.715f * s, 0.072f + 0.928f * s, 0, 0,   //
             0, 0, 0, 1, 0}};
}

ColorMatrix HueRotateMatrix(float degrees)
{
    if (!std::isfinite(degrees))
        return IdentityColorMatrix();
    // Reduced first: the cosine of a huge angle in single precision is noise.
    const double radians = std::fmod(static_cast<double>(degrees), 360.0) * std::numbers::pi / 180.0;
    const auto co = static_cast<float>(std::cos(radians));
    const auto si = static_cast<float>(std::sin(radians));
    return {{0.213f + 0.787f * co - 0.213f * si, 0.715f - 0.715f * co - 0.715f * si,
             0.072f - 0.072f * co + 0.928f * si, 0, 0,  //
             0.213f - 0.213f * co + 0.143f * si, 0.715f + 0.285f * co + 0.140f * si,
             0.072f - 0.072f * co - 0.283f * si, 0, 0,  //
             0.213f - 0.213f * co - 0.787f * si, 0.715f - 0.715f * co + 0.715f * si,
             0.072f + 0.928f * co + 0.072f * si, 0, 0,  //
             0, 0, 0, 1, 0}};
}

ColorMatrix LuminanceToAlphaMatrix()
{
    ColorMatrix matrix;
    matrix.values[15] = 0.2125f;
    matrix.values[16] = 0.7154f;
    matrix.values[17] = 0.0721f;
    return matrix;
}

std::unique_ptr<CRtBitmap> ApplyColorMatrix(const CRtBitmap* in, const ColorMatrix& matrix, const PixelRect& outRect,
                                            const CStopToken& stop)
{
    if (!AllFinite(matrix))
        return nullptr;
    // Transparent pixels are most of a typical filter region; they all map to
    // the constant column.
    const std::uint32_t fromTransparent = TransformPixel(matrix, 0u);
    return MapPixels(in, outRect, stop, [&](std::uint32_t pixel) {
        return pixel == 0 ? fromTransparent : TransformPixel(matrix, pixel);
    });
}

std::array<std::uint8_t, 256> TransferLookupTable(const TransferFunction& function)
{
    std::array<std::uint8_t, 256> table{};
    const bool usable = IsUsable(function);
    for (int i = 0; i < 256; ++i) {
        const double c = i / 255.0;
        const double value = usable ? Transfer(function, c) : c;
        table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(UnitToByte(static_cast<float>(value)));
    }
    return table;
}

std::unique_ptr<CRtBitmap> ComponentTransfer(const CRtBitmap* in, const ComponentTransferParams& params,
                                             const PixelRect& outRect, const CStopToken& stop)
{
    const std::array<std::uint8_t, 256> red = TransferLookupTable(params.red);
    const std::array<std::uint8_t, 256> green = TransferLookupTable(params.green);
    const std::array<std::uint8_t, 256> blue = TransferLookupTable(params.blue);
    const std::array<std::uint8_t, 256> alpha = TransferLookupTable(params.alpha);
    return MapPixels(in, outRect, stop, [&](std::uint32_t pixel) {
        const std::uint32_t a = PixelAlpha(pixel);
        const std::uint32_t newAlpha = alpha[a];
        const auto channel = [&](const std::array<std::uint8_t, 256>& table, std::uint32_t value) {
            return Div255(table[Unpremultiply(value, a)] * newAlpha);
        };
        return PackPixel(newAlpha, channel(red, PixelRed(pixel)), channel(green, PixelGreen(pixel)),
                         channel(blue, PixelBlue(pixel)));
    });
}

}  // namespace svg
