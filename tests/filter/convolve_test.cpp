#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>

#include "filter/convolve.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::Never;
using svg::ConvolveParams;
using svg::EdgeMode;
using svg::PackPixel;
using svg::PixelRect;

namespace {

// The input pixel at (x, y) extended by the edge mode, unpremultiplied when
// asked: channels 0..1 as {b, g, r, a}.
std::array<double, 4> Source(const svg::CRtBitmap& in, long long x, long long y, EdgeMode mode, bool unpremultiply)
{
    const PixelRect& r = in.Rect();
    const auto extend = [mode](long long v, long long begin, long long length) -> long long {
        if (v >= begin && v < begin + length)
            return v;
        if (mode == EdgeMode::Duplicate)
            return std::clamp(v, begin, begin + length - 1);
        if (mode == EdgeMode::Wrap)
            return begin + ((v - begin) % length + length) % length;
        return LLONG_MIN;
    };
    const long long sx = extend(x, r.x, r.width), sy = extend(y, r.y, r.height);
    std::array<double, 4> channels{};
    if (sx == LLONG_MIN || sy == LLONG_MIN)
        return channels;
    const std::uint32_t p = in.PixelAt(static_cast<int>(sx), static_cast<int>(sy));
    const double a = svg::PixelAlpha(p) / 255.0;
    for (int c = 0; c < 3; ++c) {
        const double v = svg::PixelChannel(p, c) / 255.0;
        channels[c] = unpremultiply ? (a > 0 ? v / a : 0) : v;
    }
    channels[3] = a;
    return channels;
}

// SVG's formula written out: SOURCE(x - targetX + j, y - targetY + i) x
// kernelMatrix[orderY - i - 1][orderX - j - 1], / divisor + bias x ALPHA.
std::unique_ptr<svg::CRtBitmap> ReferenceConvolve(const svg::CRtBitmap& in, const ConvolveParams& p,
                                                  const PixelRect& outRect)
{
    double divisor = p.divisor;
    if (divisor == 0) {
        for (float k : p.kernelMatrix)
            divisor += k;
        if (divisor == 0)
            divisor = 1;
    }
    auto out = svg::CRtBitmap::Create(outRect, false);
    for (int y = 0; y < outRect.height; ++y)
        for (int x = 0; x < outRect.width; ++x) {
            const long long X = outRect.x + x, Y = outRect.y + y;
            std::array<double, 4> sum{};
            for (int i = 0; i < p.orderY; ++i)
                for (int j = 0; j < p.orderX; ++j) {
                    const double k = p.kernelMatrix[(p.orderY - i - 1) * p.orderX + (p.orderX - j - 1)];
                    const auto s = Source(in, X - p.targetX + j, Y - p.targetY + i, p.edgeMode, p.preserveAlpha);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += s[c] * k;
                }
            const auto byte = [](double v) {
                return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
            };
            std::uint32_t pixel = 0;
            if (p.preserveAlpha) {
                const double alpha = Source(in, X, Y, p.edgeMode, true)[3];
                pixel = byte(alpha) << 24;
                for (int c = 0; c < 3; ++c)
                    pixel |= byte(std::clamp(sum[c] / divisor + p.bias, 0.0, 1.0) * alpha) << (8 * c);
            } else {
                const double alpha = std::clamp(sum[3] / divisor + p.bias, 0.0, 1.0);
                pixel = byte(alpha) << 24;
                for (int c = 0; c < 3; ++c)
                    pixel |= byte(std::min(sum[c] / divisor + p.bias * alpha, alpha)) << (8 * c);
            }
            out->Row(y)[x] = pixel;
        }
    return out;
}

ConvolveParams Params(int orderX, int orderY, std::vector<float> kernel, int targetX, int targetY)
{
    ConvolveParams p;
    p.orderX = orderX;
    p.orderY = orderY;
    p.kernelMatrix = std::move(kernel);
    p.targetX = targetX;
    p.targetY = targetY;
    return p;
}

}  // namespace

TEST(ConvolveMatrix, MatchesSvgsFormulaForEveryEdgeMode)
{
    auto in = filter_test::RandomBitmap({1, 2, 13, 11}, 31, 0.1);
    const ConvolveParams asymmetric = Params(3, 2, {1, -2, 0.5f, 3, 0, -1}, 2, 0);
    ConvolveParams emboss = Params(3, 3, {2, 0, 0, 0, -1, 0, 0, 0, -1}, 1, 1);
    emboss.bias = 0.5f;
    ConvolveParams sharpenAlphaKept = Params(3, 3, {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1, 1);
    sharpenAlphaKept.preserveAlpha = true;
    sharpenAlphaKept.bias = 0.1f;
    ConvolveParams wide = Params(5, 1, {1, 2, 3, 4, 5}, 4, 0);
    wide.divisor = -7;
    for (ConvolveParams params : {asymmetric, emboss, sharpenAlphaKept, wide})
        for (EdgeMode mode : {EdgeMode::Duplicate, EdgeMode::Wrap, EdgeMode::None}) {
            params.edgeMode = mode;
            const PixelRect outRect{-2, 0, 18, 15};
            auto out = svg::ConvolveMatrix(in.get(), params, outRect, Never());
            ASSERT_NE(out, nullptr);
            auto expected = ReferenceConvolve(*in, params, outRect);
            // Unpremultiplying through bytes costs preserveAlpha a step or two.
            EXPECT_LE(filter_test::MaxDifference(*out, *expected), params.preserveAlpha ? 3 : 1)
                << params.orderX << "x" << params.orderY << " mode " << static_cast<int>(mode);
            EXPECT_TRUE(filter_test::AllPremultiplied(*out));
        }
}

TEST(ConvolveMatrix, TheKernelIsTurnedHalfWay)
{
    // The last kernel value weighs the pixel up and to the left: the image
    // moves right and down by one.
    auto in = filter_test::RandomBitmap({0, 0, 6, 6}, 2, 0.0);
    ConvolveParams shift = Params(3, 3, {0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, 1);
    shift.edgeMode = EdgeMode::None;
    auto out = svg::ConvolveMatrix(in.get(), shift, in->Rect(), Never());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(At(*out, 3, 4), At(*in, 2, 3));
    EXPECT_EQ(At(*out, 0, 2), 0u);
    // Kernel cells two pixels apart (kernel unit length 2) move it by two.
    shift.kernelUnitLengthXPx = shift.kernelUnitLengthYPx = 2.0f;
    auto far = svg::ConvolveMatrix(in.get(), shift, in->Rect(), Never());
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(At(*far, 3, 4), At(*in, 1, 2));
    EXPECT_EQ(At(*far, 1, 5), 0u);
}

TEST(ConvolveMatrix, DivisorDefaultsAndUniformImages)
{
    const std::uint32_t grey = PackPixel(255, 100, 100, 100);
    auto in = filter_test::SolidBitmap({0, 0, 5, 5}, grey);
    // Ones with the sum as divisor reproduce a uniform image; with `none`
    // edges the border darkens, with `duplicate` and `wrap` it does not.
    const ConvolveParams ones = Params(3, 3, std::vector<float>(9, 1.0f), 1, 1);
    for (EdgeMode mode : {EdgeMode::Duplicate, EdgeMode::Wrap}) {
        ConvolveParams p = ones;
        p.edgeMode = mode;
        auto out = svg::ConvolveMatrix(in.get(), p, in->Rect(), Never());
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(At(*out, 0, 0), grey);
        EXPECT_EQ(At(*out, 2, 2), grey);
    }
    ConvolveParams none = ones;
    none.edgeMode = EdgeMode::None;
    auto dark = svg::ConvolveMatrix(in.get(), none, in->Rect(), Never());
    EXPECT_EQ(At(*dark, 0, 0), PackPixel(113, 44, 44, 44));  // 4 of 9 pixels
    // A zero-sum kernel divides by 1: an edge detector on a flat image is 0.
    auto edges = svg::ConvolveMatrix(in.get(), Params(2, 1, {1, -1}, 0, 0), in->Rect(), Never());
    EXPECT_EQ(At(*edges, 2, 2), 0u);
}

TEST(ConvolveMatrix, BiasLightsTransparentPixelsInProportionToAlpha)
{
    ConvolveParams p = Params(1, 1, {1}, 0, 0);
    p.bias = 0.5f;
    auto out = svg::ConvolveMatrix(nullptr, p, {0, 0, 2, 2}, Never());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(At(*out, 1, 1), PackPixel(128, 64, 64, 64));  // alpha 0.5, colour 0.5 x 0.5
    EXPECT_FALSE(out->AlphaOnly());
}

TEST(ConvolveMatrix, InvalidOrOversizedKernelsFail)
{
    auto in = filter_test::RandomBitmap({0, 0, 4, 4}, 1);
    const ConvolveParams good = Params(3, 3, std::vector<float>(9, 1.0f), 1, 1);
    struct Case {
        const char* name;
        ConvolveParams params;
    };
    std::vector<Case> cases = {{"target x", good}, {"target y", good}, {"order", good},
                               {"count", good},    {"nan", good},      {"divisor", good},
                               {"unit", good},     {"cells", Params(1025, 1, std::vector<float>(1025, 1.0f), 0, 0)}};
    cases[0].params.targetX = 3;
    cases[1].params.targetY = -1;
    cases[2].params.orderX = 0;
    cases[3].params.kernelMatrix.pop_back();
    cases[4].params.kernelMatrix[4] = std::nanf("");
    cases[5].params.divisor = INFINITY;
    cases[6].params.kernelUnitLengthYPx = 0;
    for (const Case& c : cases) {
        EXPECT_FALSE(svg::IsValidConvolve(c.params)) << c.name;
        EXPECT_EQ(svg::ConvolveMatrix(in.get(), c.params, in->Rect(), Never()), nullptr) << c.name;
    }
    EXPECT_TRUE(svg::IsValidConvolve(good));
    // 32 x 32 cells over 8000 x 8000 pixels: past the operation budget.
    const ConvolveParams big = Params(32, 32, std::vector<float>(1024, 1.0f), 0, 0);
    EXPECT_EQ(svg::ConvolveMatrix(in.get(), big, {0, 0, 8000, 8000}, Never()), nullptr);
    // Cells a billion pixels apart would need an endless extended input.
    ConvolveParams spread = good;
    spread.kernelUnitLengthXPx = 1e30f;
    EXPECT_EQ(svg::ConvolveMatrix(in.get(), spread, in->Rect(), Never()), nullptr);
    filter_test::StoppedToken stopped;
    EXPECT_EQ(svg::ConvolveMatrix(in.get(), good, in->Rect(), stopped), nullptr);
}

TEST(ConvolveMatrix, ThreadsGiveTheSamePixels)
{
    auto in = filter_test::RandomBitmap({0, 0, 260, 300}, 12);
    ConvolveParams p = Params(4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 1, 2);
    p.threads = 1;
    auto single = svg::ConvolveMatrix(in.get(), p, in->Rect(), Never());
    p.threads = 3;
    auto split = svg::ConvolveMatrix(in.get(), p, in->Rect(), Never());
    ASSERT_NE(single, nullptr);
    ASSERT_NE(split, nullptr);
    EXPECT_TRUE(filter_test::SamePixels(*single, *split));
}
