#include <gtest/gtest.h>

#include <functional>
#include <cmath>
#include <numbers>
#include <vector>

#include "filter/blur.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::Never;
using svg::PackPixel;
using svg::PixelRect;

namespace {

// A plain reference: each channel of the input over `outRect` widened by a
// margin (transparent outside the input) as doubles, blurred along x then y
// by `blurLine`, rounded once at the end.
using Line = std::vector<double>;

std::unique_ptr<svg::CRtBitmap> ReferenceBlur(const svg::CRtBitmap& in, const PixelRect& outRect, int margin,
                                              const std::function<Line(const Line&)>& blurX,
                                              const std::function<Line(const Line&)>& blurY)
{
    const int width = outRect.width + 2 * margin;
    const int height = outRect.height + 2 * margin;
    auto out = svg::CRtBitmap::Create(outRect, false);
    for (int channel = 0; channel < 4; ++channel) {
        std::vector<Line> grid(static_cast<std::size_t>(height), Line(static_cast<std::size_t>(width)));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                grid[y][x] = svg::PixelChannel(in.PixelAt(outRect.x - margin + x, outRect.y - margin + y), channel);
        for (Line& row : grid)
            row = blurX(row);
        for (int x = 0; x < width; ++x) {
            Line column(static_cast<std::size_t>(height));
            for (int y = 0; y < height; ++y)
                column[y] = grid[y][x];
            column = blurY(column);
            for (int y = 0; y < height; ++y)
                grid[y][x] = column[y];
        }
        for (int y = 0; y < outRect.height; ++y)
            for (int x = 0; x < outRect.width; ++x)
                out->Row(y)[x] |= static_cast<std::uint32_t>(std::lround(grid[y + margin][x + margin]))
                                  << (8 * channel);
    }
    return out;
}

// A box covering [i - left, i + right], zero outside the line.
Line Box(const Line& line, int left, int right)
{
    Line result(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        double sum = 0;
        for (long long j = static_cast<long long>(i) - left; j <= static_cast<long long>(i) + right; ++j)
            if (j >= 0 && j < static_cast<long long>(line.size()))
                sum += line[j];
        result[i] = sum / (left + right + 1);
    }
    return result;
}

// SVG's three boxes for deviation s.
Line ThreeBoxes(const Line& line, double s)
{
    const int d = static_cast<int>(std::floor(s * 3 * std::sqrt(2 * std::numbers::pi) / 4 + 0.5));
    if (d % 2 == 1)
        return Box(Box(Box(line, d / 2, d / 2), d / 2, d / 2), d / 2, d / 2);
    return Box(Box(Box(line, d / 2, d / 2 - 1), d / 2 - 1, d / 2), d / 2, d / 2);
}

Line Gaussian(const Line& line, double s)
{
    if (s == 0)
        return line;
    const int reach = static_cast<int>(std::ceil(3 * s));
    std::vector<double> weights;
    double total = 0;
    for (int t = -reach; t <= reach; ++t)
        total += weights.emplace_back(std::exp(-t * t / (2 * s * s)));
    Line result(line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        for (int t = -reach; t <= reach; ++t) {
            const long long j = static_cast<long long>(i) + t;
            if (j >= 0 && j < static_cast<long long>(line.size()))
                result[i] += line[j] * weights[t + reach] / total;
        }
    return result;
}

// The same passes with every pass rounded to bytes, as the blur stores them.
Line RoundedToBytes(Line line)
{
    for (double& value : line)
        value = std::min(std::floor(value + 0.5), 255.0);
    return line;
}

Line RoundedPasses(const Line& line, double s)
{
    if (s == 0)
        return line;
    if (s < 2)
        return RoundedToBytes(Gaussian(line, s));
    const int d = static_cast<int>(std::floor(s * 3 * std::sqrt(2 * std::numbers::pi) / 4 + 0.5));
    const int half = d / 2;
    if (d % 2 == 1)
        return RoundedToBytes(Box(RoundedToBytes(Box(RoundedToBytes(Box(line, half, half)), half, half)), half, half));
    return RoundedToBytes(
        Box(RoundedToBytes(Box(RoundedToBytes(Box(line, half, half - 1)), half - 1, half)), half, half));
}

std::unique_ptr<svg::CRtBitmap> Blur(const svg::CRtBitmap* in, float sx, float sy, const PixelRect& outRect,
                                     unsigned threads = 0)
{
    return svg::GaussianBlur(in, {sx, sy, threads}, outRect, Never());
}

}  // namespace

TEST(GaussianBlur, LargeDeviationsAreSvgsThreeBoxes)
{
    // The input smaller than, overlapping and offset from the output.
    auto in = filter_test::RandomBitmap({3, -2, 40, 30}, 11);
    struct Case {
        float sx, sy;
        PixelRect outRect;
    };
    const Case cases[] = {{2.0f, 2.0f, {0, 0, 50, 40}},    // d = 4, even: shifted boxes
                          {3.0f, 5.5f, {10, 5, 20, 20}},   // d = 6 and 10
                          {2.7f, 4.0f, {-10, -10, 70, 50}},  // d = 5, odd, and 8
                          {12.0f, 2.0f, {0, 0, 50, 40}}};
    for (const Case& c : cases) {
        auto out = Blur(in.get(), c.sx, c.sy, c.outRect);
        ASSERT_NE(out, nullptr);
        auto expected = ReferenceBlur(
            *in, c.outRect, 60, [&](const Line& l) { return ThreeBoxes(l, c.sx); },
            [&](const Line& l) { return ThreeBoxes(l, c.sy); });
        // Six passes rounded to bytes may drift a step or two.
        EXPECT_LE(filter_test::MaxDifference(*out, *expected), 2) << c.sx << " " << c.sy;
        EXPECT_TRUE(filter_test::AllPremultiplied(*out));
    }
}

TEST(GaussianBlur, SmallDeviationsUseATrueGaussian)
{
    auto in = filter_test::RandomBitmap({0, 0, 20, 20}, 5);
    for (float s : {0.3f, 0.9f, 1.5f, 1.99f}) {
        auto out = Blur(in.get(), s, s, {-3, -3, 26, 26});
        ASSERT_NE(out, nullptr);
        auto expected = ReferenceBlur(
            *in, {-3, -3, 26, 26}, 10, [&](const Line& l) { return Gaussian(l, s); },
            [&](const Line& l) { return Gaussian(l, s); });
        EXPECT_LE(filter_test::MaxDifference(*out, *expected), 1) << s;
    }
}

TEST(GaussianBlur, BoxesFollowTheGaussianAndKeepTheMass)
{
    // One opaque pixel spreads symmetrically, close to the true gaussian.
    auto dot = filter_test::MakeBitmap({50, 50, 1, 1}, {PackPixel(255, 255, 255, 255)});
    const PixelRect area{20, 20, 61, 61};
    auto out = Blur(dot.get(), 4.0f, 4.0f, area);
    ASSERT_NE(out, nullptr);
    auto gaussian = ReferenceBlur(
        *dot, area, 0, [](const Line& l) { return Gaussian(l, 4.0); }, [](const Line& l) { return Gaussian(l, 4.0); });
    // The peak of a 4-pixel gaussian holds 1/(2 pi 16) of the pixel: 2.5.
    EXPECT_LE(filter_test::MaxDifference(*out, *gaussian), 1);
    long long mass = 0;
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x) {
            const std::uint32_t p = out->Row(y)[x];
            mass += svg::PixelAlpha(p);
            // Mirrored in x and in the diagonal, but for a step of rounding
            // between the half-pixel-shifted boxes.
            EXPECT_LE(filter_test::ChannelDifference(p, At(*out, 100 - (area.x + x), area.y + y)), 1);
            EXPECT_LE(filter_test::ChannelDifference(p, At(*out, area.y + y, area.x + x)), 1);
        }
    EXPECT_NEAR(static_cast<double>(mass), 255.0, 40.0);
}

TEST(GaussianBlur, ZeroDeviationsLeaveTheirDirectionAlone)
{
    auto in = filter_test::RandomBitmap({0, 0, 12, 9}, 2);
    auto copy = Blur(in.get(), 0, 0, {-1, -1, 14, 11});
    ASSERT_NE(copy, nullptr);
    for (int y = -1; y < 10; ++y)
        for (int x = -1; x < 13; ++x)
            EXPECT_EQ(At(*copy, x, y), At(*in, x, y));
    // Blurred along y only: a one-pixel-wide column stays one pixel wide.
    auto column = filter_test::MakeBitmap({5, 5, 1, 1}, {PackPixel(255, 0, 0, 255)});
    auto vertical = Blur(column.get(), 0, 3, {0, 0, 11, 11});
    ASSERT_NE(vertical, nullptr);
    EXPECT_EQ(At(*vertical, 4, 5), 0u);
    EXPECT_EQ(At(*vertical, 6, 7), 0u);
    EXPECT_GT(svg::PixelAlpha(At(*vertical, 5, 7)), 0u);
}

TEST(GaussianBlur, OutsideTheInputIsTransparentAndColourKeepsItsHue)
{
    // An opaque red square filling the output: its edges fade (no edge
    // replication) and stay pure red when unpremultiplied (no dark halo).
    auto square = filter_test::SolidBitmap({0, 0, 30, 30}, PackPixel(255, 255, 0, 0));
    auto out = Blur(square.get(), 3, 3, square->Rect());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(At(*out, 15, 15), PackPixel(255, 255, 0, 0));
    EXPECT_LT(svg::PixelAlpha(At(*out, 0, 0)), 100u);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const std::uint32_t p = At(*out, x, y);
            EXPECT_EQ(svg::PixelRed(p), svg::PixelAlpha(p));
            EXPECT_EQ(svg::PixelGreen(p) | svg::PixelBlue(p), 0u);
        }
}

TEST(GaussianBlur, ThreadsGiveTheSamePixels)
{
    auto in = filter_test::RandomBitmap({-7, 3, 301, 203}, 17);
    for (float s : {1.2f, 6.0f}) {
        auto single = Blur(in.get(), s, s * 0.7f, {0, 0, 290, 220}, 1);
        ASSERT_NE(single, nullptr);
        for (unsigned threads : {2u, 3u, 8u}) {
            auto split = Blur(in.get(), s, s * 0.7f, {0, 0, 290, 220}, threads);
            ASSERT_NE(split, nullptr);
            EXPECT_TRUE(filter_test::SamePixels(*single, *split)) << s << " " << threads;
        }
    }
}

TEST(GaussianBlur, BadDeviationsFailAndHugeOnesEndFast)
{
    auto in = filter_test::RandomBitmap({0, 0, 64, 64}, 1);
    for (float bad : {-1.0f, std::nanf(""), INFINITY})
        EXPECT_EQ(Blur(in.get(), bad, 1, in->Rect()), nullptr) << bad;
    // Clamped to the deviation limit: a few passes over padded lines.
    auto spread = Blur(in.get(), 1e30f, 1e30f, in->Rect());
    ASSERT_NE(spread, nullptr);
    EXPECT_LE(svg::PixelAlpha(At(*spread, 32, 32)), 1u);

    filter_test::StoppedToken stopped;
    EXPECT_EQ(svg::GaussianBlur(in.get(), {3, 3, 0}, in->Rect(), stopped), nullptr);
    EXPECT_EQ(Blur(in.get(), 3, 3, {0, 0, 0, 5}), nullptr);
}

TEST(GaussianBlur, AlphaOnlyInputsStayAlphaOnly)
{
    auto colour = filter_test::SolidBitmap({0, 0, 8, 8}, PackPixel(255, 255, 255, 255));
    auto alpha = svg::CRtBitmap::View(*colour, true);
    auto out = Blur(alpha.get(), 2, 2, {0, 0, 8, 8});
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->AlphaOnly());
    EXPECT_EQ(At(*out, 4, 4) & 0x00FFFFFFu, 0u);
    EXPECT_GT(svg::PixelAlpha(At(*out, 4, 4)), 200u);
}

TEST(GaussianBlur, MatchesAPlainBlurRoundedPassByPass)
{
    // Taller and wider than a band of the blur, offset from the origin.
    auto in = filter_test::RandomBitmap({3, -2, 150, 140}, 23);
    struct Case {
        float sx, sy;
        PixelRect outRect;
        unsigned threads;
    };
    const Case cases[] = {
        {0.0f, 3.0f, {-10, -12, 60, 70}, 1},    // x untouched; the output hangs over the input's corner
        {2.5f, 0.0f, {100, 90, 60, 60}, 1},     // y untouched; over the far corner
        {0.7f, 4.0f, {3, -2, 150, 140}, 2},     // kernel and even boxes over the whole input
        {1.99f, 2.0f, {20, 30, 40, 20}, 2},     // either side of the switch to boxes, inside
        {6.6f, 0.4f, {-40, 60, 260, 9}, 0},     // odd boxes; a flat strip wider than the input
        {25.0f, 1.0f, {140, -30, 30, 200}, 1},  // boxes wider than the output
    };
    for (const Case& c : cases) {
        auto out = Blur(in.get(), c.sx, c.sy, c.outRect, c.threads);
        ASSERT_NE(out, nullptr);
        auto expected = ReferenceBlur(
            *in, c.outRect, 80, [&](const Line& l) { return RoundedPasses(l, c.sx); },
            [&](const Line& l) { return RoundedPasses(l, c.sy); });
        EXPECT_LE(filter_test::MaxDifference(*out, *expected), 1) << c.sx << " " << c.sy;
    }
}
