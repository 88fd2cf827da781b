#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "filter/turbulence.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::Never;
using svg::PackPixel;
using svg::PixelRect;
using svg::TurbulenceParams;

namespace {

TurbulenceParams Noise(double fx, double fy, int octaves, double seed, bool fractal)
{
    TurbulenceParams params;
    params.baseFrequencyX = fx;
    params.baseFrequencyY = fy;
    params.numOctaves = octaves;
    params.seed = seed;
    params.fractalNoise = fractal;
    return params;
}

std::unique_ptr<svg::CRtBitmap> Generate(const TurbulenceParams& params, const PixelRect& rect)
{
    return svg::Turbulence(params, rect, Never());
}

}  // namespace

TEST(Turbulence, MatchesAnIndependentRenderingOfTheReferenceCode)
{
    // Pixels that rsvg-convert (a separate implementation of the same
    // reference code) draws for these parameters, user units = pixels.
    struct Case {
        TurbulenceParams params;
        int x, y;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {Noise(0.05, 0.07, 3, 7, true), 0, 0, 0x80404040u},
        {Noise(0.05, 0.07, 3, 7, true), 10, 20, 0x81454b2fu},
        {Noise(0.05, 0.07, 3, 7, true), 63, 47, 0x8f474862u},
        {Noise(0.05, 0.07, 3, 7, true), 31, 5, 0xa156694eu},
        {Noise(0.03, 0.03, 4, -17, false), 0, 0, 0u},  // a lattice point: no noise
        {Noise(0.03, 0.03, 4, -17, false), 10, 20, 0x73234a32u},
        {Noise(0.03, 0.03, 4, -17, false), 63, 47, 0x16090506u},
        {Noise(0.03, 0.03, 4, -17, false), 40, 12, 0x5e3d3a3eu},
    };
    for (const Case& c : cases) {
        auto out = Generate(c.params, {0, 0, 64, 48});
        ASSERT_NE(out, nullptr);
        // Both round the channels, then premultiply: a step apart at most.
        EXPECT_LE(filter_test::ChannelDifference(At(*out, c.x, c.y), c.expected), 1)
            << c.x << "," << c.y << std::hex << " " << At(*out, c.x, c.y);
    }
}

TEST(Turbulence, SeedsAreSetUpAsTheReferenceDoes)
{
    const PixelRect rect{0, 0, 24, 16};
    const auto render = [&](double seed) { return Generate(Noise(0.1, 0.1, 2, seed, true), rect); };
    auto one = render(1);
    EXPECT_TRUE(filter_test::SamePixels(*render(1), *one));    // deterministic
    EXPECT_TRUE(filter_test::SamePixels(*render(0), *one));    // 0 is set up as 1
    EXPECT_TRUE(filter_test::SamePixels(*render(-0.9), *one)); // truncated towards zero
    EXPECT_TRUE(filter_test::SamePixels(*render(-1), *render(2)));
    EXPECT_TRUE(filter_test::SamePixels(*render(2.7), *render(2)));
    EXPECT_FALSE(filter_test::SamePixels(*render(3), *one));
    ASSERT_NE(render(1e300), nullptr);  // clamped before the set-up
}

TEST(Turbulence, ZeroOrNegativeFrequenciesSampleTheLatticeOrigin)
{
    for (double frequency : {0.0, -0.5}) {
        auto fractal = Generate(Noise(frequency, frequency, 3, 5, true), {-4, 7, 9, 9});
        auto turbulence = Generate(Noise(frequency, frequency, 3, 5, false), {-4, 7, 9, 9});
        ASSERT_NE(fractal, nullptr);
        ASSERT_NE(turbulence, nullptr);
        EXPECT_EQ(At(*fractal, 2, 12), PackPixel(128, 64, 64, 64)) << frequency;  // (0 + 1) / 2
        EXPECT_EQ(At(*turbulence, 2, 12), 0u) << frequency;
    }
}

TEST(Turbulence, StitchingContinuesTheRightEdgeIntoTheLeft)
{
    TurbulenceParams params = Noise(0.07, 0.11, 3, 9, false);
    params.stitchTiles = true;
    params.tileWidth = 32;
    params.tileHeight = 24;
    auto stitched = Generate(params, {0, 0, 33, 25});
    ASSERT_NE(stitched, nullptr);
    for (int y = 0; y < 25; ++y)
        EXPECT_EQ(At(*stitched, 32, y), At(*stitched, 0, y)) << y;
    for (int x = 0; x < 33; ++x)
        EXPECT_EQ(At(*stitched, x, 24), At(*stitched, x, 0)) << x;
    // Without stitching the edges differ.
    params.stitchTiles = false;
    auto plain = Generate(params, {0, 0, 33, 25});
    EXPECT_NE(At(*plain, 32, 10), At(*plain, 0, 10));
}

TEST(Turbulence, EveryPixelSamplesItsOwnUserPosition)
{
    const TurbulenceParams params = Noise(0.04, 0.06, 2, 3, true);
    auto whole = Generate(params, {0, 0, 40, 40});
    auto part = Generate(params, {10, 15, 12, 9});
    ASSERT_NE(part, nullptr);
    for (int y = 15; y < 24; ++y)
        for (int x = 10; x < 22; ++x)
            ASSERT_EQ(At(*part, x, y), At(*whole, x, y));
    // Twice the resolution: pixel (2x, 2y) lies on user point (x, y).
    TurbulenceParams fine = params;
    fine.userToPixel = svg::Matrix::Scale(2, 2);
    auto doubled = Generate(fine, {0, 0, 80, 80});
    ASSERT_NE(doubled, nullptr);
    for (int y = 0; y < 40; y += 7)
        for (int x = 0; x < 40; x += 5)
            EXPECT_EQ(At(*doubled, 2 * x, 2 * y), At(*whole, x, y));
}

TEST(Turbulence, OctavesAreBoundedAndBadNumbersFail)
{
    auto many = Generate(Noise(0.02, 0.02, 1000000, 4, false), {0, 0, 32, 32});
    auto limit = Generate(Noise(0.02, 0.02, 16, 4, false), {0, 0, 32, 32});
    ASSERT_NE(many, nullptr);
    EXPECT_TRUE(filter_test::SamePixels(*many, *limit));
    auto none = Generate(Noise(0.02, 0.02, -3, 4, false), {0, 0, 4, 4});
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(At(*none, 1, 1), 0u);
    // Far-away user coordinates and huge frequencies stay defined.
    TurbulenceParams far = Noise(1e6, 1e6, 16, 4, true);
    far.userToPixel = svg::Matrix::Translate(3e9, -5e12);
    ASSERT_NE(Generate(far, {0, 0, 8, 8}), nullptr);

    EXPECT_EQ(Generate(Noise(std::nan(""), 0, 1, 0, true), {0, 0, 4, 4}), nullptr);
    TurbulenceParams broken = Noise(0.1, 0.1, 1, 0, true);
    broken.userToPixel.dx = INFINITY;
    EXPECT_EQ(Generate(broken, {0, 0, 4, 4}), nullptr);
    broken.userToPixel = svg::Matrix::Scale(0, 1);
    EXPECT_EQ(Generate(broken, {0, 0, 4, 4}), nullptr);
    filter_test::StoppedToken stopped;
    EXPECT_EQ(svg::Turbulence(Noise(0.1, 0.1, 1, 0, true), {0, 0, 4, 4}, stopped), nullptr);
}

TEST(Turbulence, ConcurrentCallsAndThreadSplitsAgree)
{
    TurbulenceParams params = Noise(0.03, 0.05, 4, 11, true);
    params.threads = 1;
    auto single = Generate(params, {0, 0, 200, 150});
    ASSERT_NE(single, nullptr);
    // Tables belong to each call: two jobs with different seeds at once.
    std::unique_ptr<svg::CRtBitmap> first, second;
    TurbulenceParams other = Noise(0.03, 0.05, 4, 99, true);
    params.threads = 3;
    std::thread worker([&] { second = Generate(other, {0, 0, 200, 150}); });
    first = Generate(params, {0, 0, 200, 150});
    worker.join();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(filter_test::SamePixels(*first, *single));
    other.threads = 1;
    EXPECT_TRUE(filter_test::SamePixels(*second, *Generate(other, {0, 0, 200, 150})));
}
