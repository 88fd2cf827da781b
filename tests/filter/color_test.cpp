#include <gtest/gtest.h>

#include <cmath>

#include "filter/color.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::MakeBitmap;
using filter_test::Never;
using svg::PackPixel;
using svg::TransferFunction;
using svg::TransferType;

namespace {

const svg::PixelRect kOnePixel{0, 0, 1, 1};

std::uint32_t ApplyMatrix(const svg::ColorMatrix& matrix, std::uint32_t pixel)
{
    auto in = MakeBitmap(kOnePixel, {pixel});
    auto out = svg::ApplyColorMatrix(in.get(), matrix, kOnePixel, Never());
    return out ? out->Row(0)[0] : 0xDEADBEEFu;
}

TransferFunction Function(TransferType type, std::vector<float> table = {})
{
    TransferFunction function;
    function.type = type;
    function.tableValues = std::move(table);
    return function;
}

}  // namespace

TEST(ColorMatrix, DefaultsOfEveryTypeAreTheIdentity)
{
    auto in = filter_test::RandomBitmap({0, 0, 16, 16}, 3);
    for (const svg::ColorMatrix& matrix : {svg::IdentityColorMatrix(), svg::SaturateMatrix(1.0f),
                                           svg::HueRotateMatrix(0.0f), svg::HueRotateMatrix(720.0f),
                                           svg::SaturateMatrix(std::nanf("")), svg::HueRotateMatrix(INFINITY)}) {
        auto out = svg::ApplyColorMatrix(in.get(), matrix, in->Rect(), Never());
        ASSERT_NE(out, nullptr);
        // Unpremultiplying and premultiplying again costs at most a step.
        EXPECT_LE(filter_test::MaxDifference(*out, *in), 1);
    }
}

TEST(ColorMatrix, WorksOnUnpremultipliedColour)
{
    // Swapping red and green of a half-transparent red gives half-transparent
    // green; the constant column adds 0.5 of unpremultiplied blue.
    svg::ColorMatrix swap{{0, 1, 0, 0, 0,  //
                           1, 0, 0, 0, 0,  //
                           0, 0, 0, 0, 0.5f,  //
                           0, 0, 0, 1, 0}};
    EXPECT_EQ(ApplyMatrix(swap, PackPixel(128, 128, 0, 0)), PackPixel(128, 0, 128, 64));
    // Alpha from colour: alpha' = R of a quarter-opaque white = 1.
    svg::ColorMatrix alphaFromRed{{1, 0, 0, 0, 0,  //
                                   0, 1, 0, 0, 0,  //
                                   0, 0, 1, 0, 0,  //
                                   1, 0, 0, 0, 0}};
    EXPECT_EQ(ApplyMatrix(alphaFromRed, PackPixel(64, 64, 64, 64)), PackPixel(255, 255, 255, 255));
}

TEST(ColorMatrix, SaturateHueRotateAndLuminance)
{
    // Saturation 0: every channel the luminance 0.213 R + 0.715 G + 0.072 B.
    EXPECT_EQ(ApplyMatrix(svg::SaturateMatrix(0.0f), PackPixel(255, 255, 0, 0)), PackPixel(255, 54, 54, 54));
    EXPECT_EQ(ApplyMatrix(svg::SaturateMatrix(0.0f), PackPixel(255, 0, 255, 0)), PackPixel(255, 182, 182, 182));
    // A half turn of the hue takes red towards cyan.
    const std::uint32_t turned = ApplyMatrix(svg::HueRotateMatrix(180.0f), PackPixel(255, 255, 0, 0));
    EXPECT_EQ(svg::PixelRed(turned), 0u);
    EXPECT_EQ(svg::PixelGreen(turned), 109u);  // (0.213 + 0.213) x 255
    EXPECT_EQ(svg::PixelBlue(turned), 109u);
    // Luminance to alpha: white opaque, black transparent, colour black.
    EXPECT_EQ(ApplyMatrix(svg::LuminanceToAlphaMatrix(), PackPixel(255, 255, 255, 255)), PackPixel(255, 0, 0, 0));
    EXPECT_EQ(ApplyMatrix(svg::LuminanceToAlphaMatrix(), PackPixel(255, 0, 0, 0)), 0u);
    EXPECT_EQ(ApplyMatrix(svg::LuminanceToAlphaMatrix(), PackPixel(128, 0, 128, 0)), PackPixel(182, 0, 0, 0));
}

TEST(ColorMatrix, TheConstantColumnFillsTransparentPixelsAndBadMatricesFail)
{
    svg::ColorMatrix opaqueRed = svg::IdentityColorMatrix();
    opaqueRed.values[4] = 1.0f;
    opaqueRed.values[19] = 1.0f;
    auto out = svg::ApplyColorMatrix(nullptr, opaqueRed, {-2, -2, 4, 4}, Never());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(At(*out, -2, 1), PackPixel(255, 255, 0, 0));
    EXPECT_FALSE(out->AlphaOnly());

    svg::ColorMatrix broken = svg::IdentityColorMatrix();
    broken.values[7] = std::nanf("");
    EXPECT_EQ(svg::ApplyColorMatrix(nullptr, broken, kOnePixel, Never()), nullptr);
    filter_test::StoppedToken stopped;
    EXPECT_EQ(svg::ApplyColorMatrix(nullptr, opaqueRed, kOnePixel, stopped), nullptr);
}

TEST(ComponentTransfer, LookupTablesFollowEachFunctionType)
{
    struct Case {
        const char* name;
        TransferFunction function;
        std::uint8_t in, out;
    };
    TransferFunction linear = Function(TransferType::Linear);
    linear.intercept = 0.25f;  // slope defaults to 1
    TransferFunction gamma = Function(TransferType::Gamma);
    gamma.exponent = 2.0f;  // amplitude defaults to 1
    TransferFunction inverse = Function(TransferType::Gamma);
    inverse.exponent = -1.0f;
    TransferFunction broken = Function(TransferType::Linear);
    broken.slope = std::nanf("");
    const Case cases[] = {
        {"identity", Function(TransferType::Identity), 77, 77},
        {"table 0 1 is the identity", Function(TransferType::Table, {0, 1}), 77, 77},
        {"table 1 0 inverts", Function(TransferType::Table, {1, 0}), 77, 178},
        {"table interpolates", Function(TransferType::Table, {0, 0.5f, 0.5f}), 64, 64},
        {"table top", Function(TransferType::Table, {0, 0.5f, 0.25f}), 255, 64},
        {"empty table is the identity", Function(TransferType::Table), 200, 200},
        {"one-value table is constant", Function(TransferType::Table, {0.5f}), 10, 128},
        {"discrete 0 1 below half", Function(TransferType::Discrete, {0, 1}), 125, 0},
        {"discrete 0 1 at half", Function(TransferType::Discrete, {0, 1}), 128, 255},
        {"discrete top", Function(TransferType::Discrete, {0.2f, 0.4f, 0.6f}), 255, 153},
        {"empty discrete is the identity", Function(TransferType::Discrete), 33, 33},
        {"linear, slope 1 by default", linear, 128, 192},
        {"gamma, amplitude 1 by default", gamma, 128, 64},
        {"gamma 0 to a negative power", inverse, 0, 255},
        {"not finite is the identity", broken, 99, 99},
        {"clamped", Function(TransferType::Table, {-1, 2}), 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(svg::TransferLookupTable(c.function)[c.in], c.out) << c.name;
}

TEST(ComponentTransfer, TransformsUnpremultipliedChannels)
{
    svg::ComponentTransferParams params;
    params.red = Function(TransferType::Table, {1, 0});  // invert red
    params.alpha = Function(TransferType::Discrete, {0.5f});
    // Half-transparent white: red inverts to 0, alpha becomes 0.5 either way.
    auto in = MakeBitmap({0, 0, 2, 1}, {PackPixel(128, 128, 128, 128), 0});
    auto out = svg::ComponentTransfer(in.get(), params, in->Rect(), Never());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Row(0)[0], PackPixel(128, 0, 128, 128));
    // A transparent pixel has colour 0: red becomes 1 at the new alpha.
    EXPECT_EQ(out->Row(0)[1], PackPixel(128, 128, 0, 0));
    EXPECT_TRUE(filter_test::AllPremultiplied(*out));
}
