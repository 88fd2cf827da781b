#include "filter/color_space.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "filter/parallel.h"
#include "filter/pixel.h"

namespace svg {

namespace {

double SrgbCurveToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

double LinearCurveToSrgb(double v)
{
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

// Entry [alpha x 256 + channel] holds round(alpha x curve(channel / alpha)),
// channel clamped to alpha. 64 KiB per direction, built once.
using PremultipliedTable = std::vector<std::uint8_t>;

PremultipliedTable BuildTable(double (*curve)(double))
{
    PremultipliedTable table(256 * 256, 0);
    for (int alpha = 1; alpha < 256; ++alpha) {
        for (int channel = 0; channel < 256; ++channel) {
            const double unpremultiplied = std::min(channel, alpha) / static_cast<double>(alpha);
            const double converted = std::clamp(curve(unpremultiplied), 0.0, 1.0);
            table[static_cast<std::size_t>(alpha) * 256 + channel] =
                static_cast<std::uint8_t>(std::lround(converted * alpha));
        }
    }
    return table;
}

const PremultipliedTable& ToLinearTable()
{
    static const PremultipliedTable table = BuildTable(SrgbCurveToLinear);
    return table;
}

const PremultipliedTable& ToSrgbTable()
{
    static const PremultipliedTable table = BuildTable(LinearCurveToSrgb);
    return table;
}

std::uint8_t LookUp(const PremultipliedTable& table, std::uint32_t channel, std::uint32_t alpha)
{
    return table[(alpha & 0xFF) * 256 + (channel & 0xFF)];
}

}  // namespace

std::uint8_t SrgbToLinearPremultiplied(std::uint32_t channel, std::uint32_t alpha)
{
    return LookUp(ToLinearTable(), channel, alpha);
}

std::uint8_t LinearToSrgbPremultiplied(std::uint32_t channel, std::uint32_t alpha)
{
    return LookUp(ToSrgbTable(), channel, alpha);
}

void ConvertColorSpace(CRtBitmap& bitmap, ColorInterpolation from, ColorInterpolation to, const CStopToken& stop)
{
    if (from == to || bitmap.AlphaOnly())
        return;
    const PremultipliedTable& table = to == ColorInterpolation::LinearRGB ? ToLinearTable() : ToSrgbTable();
    const std::uint8_t* entries = table.data();
    // Rows are independent: the pixels do not depend on the thread count.
    ParallelFor(bitmap.Height(), FilterThreadCount(0, bitmap.PixelCount()), [&](int begin, int end) {
        for (int y = begin; y < end && !stop.StopRequested(); ++y) {
            std::uint32_t* row = bitmap.Row(y);
            for (int x = 0; x < bitmap.Width(); ++x) {
                const std::uint32_t pixel = row[x];
                // Transparent pixels, common around a filtered element, stay.
                if (pixel == 0)
                    continue;
                const std::uint32_t alpha = PixelAlpha(pixel);
                const std::uint8_t* line = entries + alpha * 256;
                row[x] = PackPixel(alpha, line[PixelRed(pixel)], line[PixelGreen(pixel)], line[PixelBlue(pixel)]);
            }
        }
    });
}

float ChannelInSpace(std::uint8_t srgb, ColorInterpolation space)
{
    const double value = srgb / 255.0;
    return static_cast<float>(space == ColorInterpolation::LinearRGB ? SrgbCurveToLinear(value) : value);
}

std::uint32_t PremultipliedColor(Rgb srgb, float opacity, ColorInterpolation space)
{
    const std::uint32_t alpha = UnitToByte(opacity);
    const auto channel = [&](std::uint8_t value) {
        return static_cast<std::uint32_t>(std::lround(ChannelInSpace(value, space) * static_cast<float>(alpha)));
    };
    return PackPixel(alpha, channel(srgb.r), channel(srgb.g), channel(srgb.b));
}

}  // namespace svg
