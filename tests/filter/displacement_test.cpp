#include <gtest/gtest.h>

#include <cmath>

#include "filter/displacement.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::Never;
using svg::ChannelSelector;
using svg::PackPixel;
using svg::PixelRect;

namespace {

// An input whose pixel at x holds x in its red channel, so a displaced
// pixel tells where it came from.
std::unique_ptr<svg::CRtBitmap> Ramp(const PixelRect& rect)
{
    auto in = svg::CRtBitmap::Create(rect, false);
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0; x < rect.width; ++x)
            in->Row(y)[x] =
                PackPixel(255, static_cast<std::uint32_t>(rect.x + x), static_cast<std::uint32_t>(rect.y + y), 0);
    return in;
}

}  // namespace

TEST(DisplacementMap, ShiftsByTheSelectedChannel)
{
    auto in = Ramp({0, 0, 40, 40});
    struct Case {
        std::uint32_t mapPixel;
        ChannelSelector x, y;
        float scale;
        int dx, dy;
    };
    const Case cases[] = {
        {PackPixel(255, 128, 128, 128), ChannelSelector::R, ChannelSelector::G, 2, 0, 0},  // 0.002 x 2: no move
        {PackPixel(255, 255, 0, 128), ChannelSelector::R, ChannelSelector::G, 10, 5, -5},
        {PackPixel(255, 255, 0, 128), ChannelSelector::B, ChannelSelector::A, 10, 0, 5},
        {PackPixel(255, 191, 64, 0), ChannelSelector::R, ChannelSelector::G, 4, 1, -1},    // +-0.998 rounds to 1
        // Unpremultiplied: half-transparent red 64 of 128 is 0.5, no move;
        // read premultiplied it would be 0.25 and move by -2.5.
        {PackPixel(128, 64, 64, 0), ChannelSelector::R, ChannelSelector::G, 10, 0, 0},
        {PackPixel(128, 64, 64, 0), ChannelSelector::A, ChannelSelector::A, 10, 0, 0},
    };
    for (const Case& c : cases) {
        auto map = filter_test::SolidBitmap({0, 0, 40, 40}, c.mapPixel);
        auto out = svg::DisplacementMap(in.get(), map.get(), {c.scale, c.scale, c.x, c.y}, {10, 10, 20, 20}, Never());
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(At(*out, 15, 12), At(*in, 15 + c.dx, 12 + c.dy)) << std::hex << c.mapPixel;
    }
}

TEST(DisplacementMap, OutsideTheMapIsTransparentBlackAndScalesArePerAxis)
{
    auto in = Ramp({0, 0, 40, 40});
    // No map at all: every channel reads 0, displacement -scale / 2.
    auto out = svg::DisplacementMap(in.get(), nullptr, {8, -4, ChannelSelector::A, ChannelSelector::A},
                                    {10, 10, 5, 5}, Never());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(At(*out, 12, 12), At(*in, 8, 14));
    // Displaced beyond the input: transparent.
    auto far = svg::DisplacementMap(in.get(), nullptr, {1e9f, 0, ChannelSelector::A, ChannelSelector::A},
                                    {10, 10, 5, 5}, Never());
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(At(*far, 12, 12), 0u);
    EXPECT_EQ(svg::DisplacementMap(in.get(), nullptr, {std::nanf(""), 0, ChannelSelector::A, ChannelSelector::A},
                                   {0, 0, 5, 5}, Never()),
              nullptr);
    filter_test::StoppedToken stopped;
    EXPECT_EQ(svg::DisplacementMap(in.get(), nullptr, {}, {0, 0, 5, 5}, stopped), nullptr);
}
