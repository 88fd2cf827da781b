#include <gtest/gtest.h>

#include <cmath>

#include "filter/color_space.h"
#include "filter_test_util.h"

using svg::ColorInterpolation;
using svg::PackPixel;

namespace {

// The sRGB curves in double precision, written out independently of the code.
double ToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double ToSrgb(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

// round(alpha x curve(channel / alpha)): the exact premultiplied conversion.
std::uint32_t Reference(double (*curve)(double), std::uint32_t channel, std::uint32_t alpha)
{
    if (alpha == 0)
        return 0;
    return static_cast<std::uint32_t>(std::lround(curve(static_cast<double>(channel) / alpha) * alpha));
}

}  // namespace

TEST(ColorInterpolation, EveryPremultipliedEntryIsTheRoundedExactValue)
{
    for (std::uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (std::uint32_t channel = 0; channel <= alpha; ++channel) {
            ASSERT_EQ(svg::SrgbToLinearPremultiplied(channel, alpha), Reference(ToLinear, channel, alpha))
                << channel << "/" << alpha;
            ASSERT_EQ(svg::LinearToSrgbPremultiplied(channel, alpha), Reference(ToSrgb, channel, alpha))
                << channel << "/" << alpha;
        }
    }
    // A corrupt channel above alpha counts as alpha.
    EXPECT_EQ(svg::SrgbToLinearPremultiplied(200, 100), 100);
}

TEST(ColorInterpolation, BitmapConversionKeepsAlphaAndConvertsEachChannel)
{
    auto bitmap = filter_test::MakeBitmap({3, 4, 4, 1}, {PackPixel(255, 128, 255, 0), PackPixel(128, 64, 128, 0), 0,
                                                         PackPixel(10, 10, 5, 1)});
    svg::ConvertColorSpace(*bitmap, ColorInterpolation::SRGB, ColorInterpolation::LinearRGB, filter_test::Never());
    // sRGB 128 / 255 is 21.6 % linear: 55 of 255; a half-transparent 64 of
    // 128 is sRGB 0.5, 21.4 % linear: 27.4 of 128.
    EXPECT_EQ(bitmap->Row(0)[0], PackPixel(255, 55, 255, 0));
    EXPECT_EQ(bitmap->Row(0)[1], PackPixel(128, 27, 128, 0));
    EXPECT_EQ(bitmap->Row(0)[2], 0u);
    EXPECT_EQ(svg::PixelAlpha(bitmap->Row(0)[3]), 10u);

    svg::ConvertColorSpace(*bitmap, ColorInterpolation::LinearRGB, ColorInterpolation::SRGB, filter_test::Never());
    EXPECT_EQ(bitmap->Row(0)[0], PackPixel(255, 128, 255, 0));
    EXPECT_EQ(bitmap->Row(0)[1], PackPixel(128, 64, 128, 0));
}

TEST(ColorInterpolation, LinearToSrgbAndBackIsWithinOneStep)
{
    // sRGB has the finer steps in the darks, linear light in the lights, so a
    // round trip from linear light loses at most one step.
    auto bitmap = svg::CRtBitmap::Create({0, 0, 256, 1}, false);
    for (std::uint32_t v = 0; v < 256; ++v)
        bitmap->Row(0)[v] = PackPixel(255, v, 255 - v, v / 2);
    auto original = bitmap->Clone();
    svg::ConvertColorSpace(*bitmap, ColorInterpolation::LinearRGB, ColorInterpolation::SRGB, filter_test::Never());
    svg::ConvertColorSpace(*bitmap, ColorInterpolation::SRGB, ColorInterpolation::LinearRGB, filter_test::Never());
    EXPECT_LE(filter_test::MaxDifference(*bitmap, *original), 1);
}

TEST(ColorInterpolation, NothingChangesForTheSameSpaceAlphaOnlyOrAStoppedJob)
{
    const std::uint32_t pixel = PackPixel(200, 100, 50, 25);
    auto bitmap = filter_test::MakeBitmap({0, 0, 1, 1}, {pixel});
    svg::ConvertColorSpace(*bitmap, ColorInterpolation::LinearRGB, ColorInterpolation::LinearRGB, filter_test::Never());
    EXPECT_EQ(bitmap->Row(0)[0], pixel);
    // An alpha-only view must not re-code the colour it shares.
    auto alphaView = svg::CRtBitmap::View(*bitmap, true);
    svg::ConvertColorSpace(*alphaView, ColorInterpolation::SRGB, ColorInterpolation::LinearRGB, filter_test::Never());
    EXPECT_EQ(bitmap->Row(0)[0], pixel);
    filter_test::StoppedToken stopped;
    svg::ConvertColorSpace(*bitmap, ColorInterpolation::SRGB, ColorInterpolation::LinearRGB, stopped);
    EXPECT_EQ(bitmap->Row(0)[0], pixel);
}

TEST(ColorInterpolation, PremultipliedColorConvertsThenPremultiplies)
{
    const svg::Rgb red{128, 0, 255};
    EXPECT_EQ(svg::PremultipliedColor(red, 1.0f, ColorInterpolation::SRGB), PackPixel(255, 128, 0, 255));
    EXPECT_EQ(svg::PremultipliedColor(red, 0.5f, ColorInterpolation::SRGB), PackPixel(128, 64, 0, 128));
    // Linear light: 0.2159 x 128 = 27.6.
    EXPECT_EQ(svg::PremultipliedColor(red, 0.5f, ColorInterpolation::LinearRGB), PackPixel(128, 28, 0, 128));
    EXPECT_EQ(svg::PremultipliedColor(red, 7.0f, ColorInterpolation::SRGB), PackPixel(255, 128, 0, 255));
    EXPECT_EQ(svg::PremultipliedColor(red, -1.0f, ColorInterpolation::SRGB), 0u);
    EXPECT_EQ(svg::PremultipliedColor(red, std::nanf(""), ColorInterpolation::LinearRGB), 0u);
    EXPECT_NEAR(svg::ChannelInSpace(128, ColorInterpolation::LinearRGB), 0.2158605f, 1e-6f);
    EXPECT_FLOAT_EQ(svg::ChannelInSpace(128, ColorInterpolation::SRGB), 128.0f / 255.0f);
}
