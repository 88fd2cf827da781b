#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "filter/morphology.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::Never;
using svg::MorphologyOperator;
using svg::PackPixel;
using svg::PixelRect;

namespace {

// The window's minimum or maximum per channel, read pixel by pixel.
std::unique_ptr<svg::CRtBitmap> ReferenceMorphology(const svg::CRtBitmap& in, const PixelRect& outRect, int kx,
                                                    int ky, bool dilate)
{
    auto out = svg::CRtBitmap::Create(outRect, false);
    for (int y = 0; y < outRect.height; ++y)
        for (int x = 0; x < outRect.width; ++x) {
            std::uint32_t result = 0;
            for (int channel = 0; channel < 4; ++channel) {
                std::uint32_t extreme = dilate ? 0 : 255;
                for (int dy = -ky; dy <= ky; ++dy)
                    for (int dx = -kx; dx <= kx; ++dx) {
                        const std::uint32_t v =
                            svg::PixelChannel(in.PixelAt(outRect.x + x + dx, outRect.y + y + dy), channel);
                        extreme = dilate ? std::max(extreme, v) : std::min(extreme, v);
                    }
                result |= extreme << (8 * channel);
            }
            out->Row(y)[x] = result;
        }
    return out;
}

std::unique_ptr<svg::CRtBitmap> Morph(const svg::CRtBitmap* in, MorphologyOperator op, float rx, float ry,
                                    const PixelRect& outRect, unsigned threads = 0)
{
    return svg::Morphology(in, {op, rx, ry, threads}, outRect, Never());
}

}  // namespace

TEST(Morphology, MatchesAPlainWindowSearch)
{
    // Mostly opaque noise, so erosion has something to keep.
    auto in = filter_test::RandomBitmap({2, -3, 37, 29}, 21, 0.03);
    struct Case {
        float rx, ry;
        int kx, ky;
        PixelRect outRect;
    };
    const Case cases[] = {
        {1, 1, 1, 1, {0, 0, 40, 30}},
        {2.7f, 0.5f, 2, 0, {-5, -5, 50, 40}},    // fraction rounds down; below 1 leaves y alone
        {0.9999999f, 3, 1, 3, {10, 4, 12, 9}},   // scaling noise below a whole pixel still counts
        {6, 4, 6, 4, {-20, -20, 80, 70}},        // output far beyond the input
        {70, 2, 70, 2, {0, 0, 40, 30}},          // window wider than everything
    };
    for (const Case& c : cases)
        for (bool dilate : {false, true}) {
            auto out = Morph(in.get(), dilate ? MorphologyOperator::Dilate : MorphologyOperator::Erode, c.rx, c.ry,
                           c.outRect);
            ASSERT_NE(out, nullptr);
            auto expected = ReferenceMorphology(*in, c.outRect, c.kx, c.ky, dilate);
            EXPECT_TRUE(filter_test::SamePixels(*out, *expected)) << c.rx << " " << c.ry << " " << dilate;
            EXPECT_TRUE(filter_test::AllPremultiplied(*out));
        }
}

TEST(Morphology, ErodeEatsInFromTheInputEdgesAndKeepsFullValues)
{
    // SVG's outside is transparent: an opaque white square loses a ring of
    // the radius; the inside stays exactly 255 (no 254 rounding).
    auto square = filter_test::SolidBitmap({0, 0, 10, 10}, 0xFFFFFFFFu);
    auto out = Morph(square.get(), MorphologyOperator::Erode, 2, 1, square->Rect());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(At(*out, 1, 5), 0u);
    EXPECT_EQ(At(*out, 2, 1), 0xFFFFFFFFu);
    EXPECT_EQ(At(*out, 7, 8), 0xFFFFFFFFu);
    EXPECT_EQ(At(*out, 8, 5), 0u);
    EXPECT_EQ(At(*out, 5, 9), 0u);
}

// A zero radius leaves its direction alone, so two of them pass the input
// through (today's viewers; SVG 1.1 first said transparent black).
TEST(Morphology, ZeroRadiusLeavesItsDirectionAloneAndBadRadiiFail)
{
    auto in = filter_test::RandomBitmap({0, 0, 8, 8}, 4, 0.0);
    auto same = Morph(in.get(), MorphologyOperator::Erode, 0, 0, in->Rect());
    ASSERT_NE(same, nullptr);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(At(*same, x, y), At(*in, x, y)) << x << "," << y;
    auto columns = Morph(in.get(), MorphologyOperator::Dilate, 0, 1, in->Rect());
    ASSERT_NE(columns, nullptr);
    for (int shift = 0; shift < 32; shift += 8) {
        unsigned expected = 0;
        for (int y = 3; y <= 5; ++y)
            expected = std::max(expected, (At(*in, 4, y) >> shift) & 0xFFu);
        EXPECT_EQ((At(*columns, 4, 4) >> shift) & 0xFFu, expected) << shift;
    }
    for (float bad : {-1.0f, std::nanf(""), INFINITY})
        EXPECT_EQ(Morph(in.get(), MorphologyOperator::Erode, bad, 1, in->Rect()), nullptr) << bad;
    filter_test::StoppedToken stopped;
    EXPECT_EQ(svg::Morphology(in.get(), {MorphologyOperator::Erode, 1, 1, 0}, in->Rect(), stopped), nullptr);
}

TEST(Morphology, HugeRadiiAreBounded)
{
    auto in = filter_test::RandomBitmap({0, 0, 50, 40}, 8, 0.0);
    auto eroded = Morph(in.get(), MorphologyOperator::Erode, 1e30f, 1e9f, {-10, -10, 70, 60});
    ASSERT_NE(eroded, nullptr);
    EXPECT_EQ(At(*eroded, 25, 20), 0u);  // every window reaches the transparent outside
    auto dilated = Morph(in.get(), MorphologyOperator::Dilate, 1e30f, 1e9f, {-10, -10, 70, 60});
    ASSERT_NE(dilated, nullptr);
    auto expected = ReferenceMorphology(*in, {-10, -10, 1, 1}, 200, 200, true);
    EXPECT_EQ(At(*dilated, 59, -10), expected->Row(0)[0]);
}

TEST(Morphology, ThreadsGiveTheSamePixelsAndAlphaOnlyStays)
{
    auto in = filter_test::RandomBitmap({0, 0, 300, 230}, 6);
    auto single = Morph(in.get(), MorphologyOperator::Dilate, 3, 5, {-4, -4, 310, 240}, 1);
    ASSERT_NE(single, nullptr);
    for (unsigned threads : {2u, 5u}) {
        auto split = Morph(in.get(), MorphologyOperator::Dilate, 3, 5, {-4, -4, 310, 240}, threads);
        ASSERT_NE(split, nullptr);
        EXPECT_TRUE(filter_test::SamePixels(*single, *split)) << threads;
    }
    auto alpha = svg::CRtBitmap::View(*in, true);
    auto out = Morph(alpha.get(), MorphologyOperator::Erode, 1, 1, in->Rect());
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->AlphaOnly());
    for (int x = 0; x < 300; ++x)
        ASSERT_EQ(At(*out, x, 100) & 0x00FFFFFFu, 0u);
}
