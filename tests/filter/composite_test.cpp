#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "filter/composite.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::MakeBitmap;
using filter_test::Never;
using svg::BlendMode;
using svg::CompositeOperator;
using svg::PackPixel;
using svg::PixelRect;

namespace {

const PixelRect kOnePixel{0, 0, 1, 1};

// Channels 0..1 of a premultiplied pixel: {a, r, g, b}.
struct Unit {
    double a, r, g, b;
};

Unit ToUnit(std::uint32_t p)
{
    return {svg::PixelAlpha(p) / 255.0, svg::PixelRed(p) / 255.0, svg::PixelGreen(p) / 255.0,
            svg::PixelBlue(p) / 255.0};
}

std::uint32_t FromUnit(const Unit& u)
{
    const auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return PackPixel(byte(u.a), byte(u.r), byte(u.g), byte(u.b));
}

// The blend formulas of SVG 1.1 on premultiplied values, in double.
std::uint32_t ReferenceBlend(BlendMode mode, std::uint32_t pa, std::uint32_t pb)
{
    const Unit a = ToUnit(pa), b = ToUnit(pb);
    const auto channel = [&](double ca, double cb) {
        const double normal = (1 - a.a) * cb + ca;
        const double mirrored = (1 - b.a) * ca + cb;
        switch (mode) {
        case BlendMode::Multiply: return (1 - a.a) * cb + (1 - b.a) * ca + ca * cb;
        case BlendMode::Screen: return cb + ca - ca * cb;
        case BlendMode::Darken: return std::min(normal, mirrored);
        case BlendMode::Lighten: return std::max(normal, mirrored);
        case BlendMode::Normal: break;
        }
        return normal;
    };
    return FromUnit({1 - (1 - a.a) * (1 - b.a), channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)});
}

// Porter-Duff in double: every channel A x Fa + B x Fb.
std::uint32_t ReferencePorterDuff(CompositeOperator op, std::uint32_t pa, std::uint32_t pb)
{
    const Unit a = ToUnit(pa), b = ToUnit(pb);
    double fa = 1, fb = 1 - a.a;
    switch (op) {
    case CompositeOperator::In: fa = b.a, fb = 0; break;
    case CompositeOperator::Out: fa = 1 - b.a, fb = 0; break;
    case CompositeOperator::Atop: fa = b.a, fb = 1 - a.a; break;
    case CompositeOperator::Xor: fa = 1 - b.a, fb = 1 - a.a; break;
    default: break;
    }
    return FromUnit({a.a * fa + b.a * fb, a.r * fa + b.r * fb, a.g * fa + b.g * fb, a.b * fa + b.b * fb});
}

// Pixel pairs that cover opaque, translucent and transparent on each side.
const std::vector<std::pair<std::uint32_t, std::uint32_t>> kPairs = {
    {PackPixel(255, 255, 0, 0), PackPixel(255, 0, 0, 255)},
    {PackPixel(128, 128, 64, 0), PackPixel(255, 20, 200, 100)},
    {PackPixel(0, 0, 0, 0), PackPixel(100, 50, 100, 0)},
    {PackPixel(77, 10, 77, 30), PackPixel(0, 0, 0, 0)},
    {PackPixel(200, 150, 100, 50), PackPixel(60, 60, 30, 10)},
    {0u, 0u},
};

std::uint32_t RunOnPixels(const std::function<std::unique_ptr<svg::CRtBitmap>(const svg::CRtBitmap*,
                                                                               const svg::CRtBitmap*)>& run,
                          std::uint32_t a, std::uint32_t b)
{
    auto in = MakeBitmap(kOnePixel, {a});
    auto in2 = MakeBitmap(kOnePixel, {b});
    auto out = run(in.get(), in2.get());
    return out ? out->Row(0)[0] : 0xDEADBEEFu;
}

}  // namespace

TEST(Blend, EveryModeMatchesThePremultipliedFormulas)
{
    for (BlendMode mode : {BlendMode::Normal, BlendMode::Multiply, BlendMode::Screen, BlendMode::Darken,
                           BlendMode::Lighten}) {
        for (const auto& [a, b] : kPairs) {
            const std::uint32_t result = RunOnPixels(
                [mode](const svg::CRtBitmap* in, const svg::CRtBitmap* in2) {
                    return svg::Blend(in, in2, {mode}, kOnePixel, Never());
                },
                a, b);
            EXPECT_LE(filter_test::ChannelDifference(result, ReferenceBlend(mode, a, b)), 1)
                << static_cast<int>(mode) << " " << std::hex << a << " " << b << " -> " << result;
            EXPECT_LE(svg::PixelRed(result), svg::PixelAlpha(result));
        }
    }
}

TEST(Blend, AMissingInputIsTransparent)
{
    auto in2 = filter_test::RandomBitmap({0, 0, 5, 3}, 4);
    // normal with no A reproduces B exactly, and the other way round.
    auto onlyB = svg::Blend(nullptr, in2.get(), {}, in2->Rect(), Never());
    auto onlyA = svg::Blend(in2.get(), nullptr, {BlendMode::Multiply}, in2->Rect(), Never());
    ASSERT_NE(onlyB, nullptr);
    ASSERT_NE(onlyA, nullptr);
    EXPECT_TRUE(filter_test::SamePixels(*onlyB, *in2));
    EXPECT_TRUE(filter_test::SamePixels(*onlyA, *in2));
    auto neither = svg::Blend(nullptr, nullptr, {BlendMode::Screen}, {0, 0, 2, 2}, Never());
    ASSERT_NE(neither, nullptr);
    EXPECT_EQ(neither->Row(1)[1], 0u);
}

TEST(Composite, PorterDuffOperatorsMatchTheirWeights)
{
    for (CompositeOperator op : {CompositeOperator::Over, CompositeOperator::In, CompositeOperator::Out,
                                 CompositeOperator::Atop, CompositeOperator::Xor}) {
        for (const auto& [a, b] : kPairs) {
            const std::uint32_t result = RunOnPixels(
                [op](const svg::CRtBitmap* in, const svg::CRtBitmap* in2) {
                    return svg::Composite(in, in2, {op}, kOnePixel, Never());
                },
                a, b);
            EXPECT_LE(filter_test::ChannelDifference(result, ReferencePorterDuff(op, a, b)), 1)
                << static_cast<int>(op) << " " << std::hex << a << " " << b << " -> " << result;
        }
    }
}

TEST(Composite, ArithmeticWorksOnPremultipliedChannelsAndClamps)
{
    const std::uint32_t a = PackPixel(128, 128, 64, 0);
    const std::uint32_t b = PackPixel(255, 0, 255, 255);
    struct Case {
        float k1, k2, k3, k4;
        std::uint32_t expected;
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {0, 0, 0, 0, 0u},                                  // all zero: transparent
        {0, 1, 0, 0, a},                                   // A
        {0, 0, 1, 0, b},                                   // B
        {1, 0, 0, 0, PackPixel(128, 0, 64, 0)},            // A x B per channel
        {0, 1, -1, 0, 0u},                                 // A - B: alpha clamps to 0, colour to alpha
        {0, -1, 1, 0, PackPixel(127, 0, 127, 127)},        // B - A, colour kept <= alpha
        {0, 0.5f, 0.5f, 0, PackPixel(192, 64, 160, 128)},  // average
        {nan, 1, 0, 0, a},                                 // not finite counts as 0
        {0, 0, 0, 2, PackPixel(255, 255, 255, 255)},       // clamped to 1
    };
    for (const Case& c : cases) {
        const std::uint32_t result = RunOnPixels(
            [&c](const svg::CRtBitmap* in, const svg::CRtBitmap* in2) {
                return svg::Composite(in, in2, {CompositeOperator::Arithmetic, c.k1, c.k2, c.k3, c.k4}, kOnePixel,
                                      Never());
            },
            a, b);
        EXPECT_LE(filter_test::ChannelDifference(result, c.expected), 1)
            << c.k1 << " " << c.k2 << " " << c.k3 << " " << c.k4 << std::hex << " -> " << result;
    }
    // k4 reaches pixels outside both inputs: the whole output rectangle.
    auto in = MakeBitmap(kOnePixel, {a});
    auto lit = svg::Composite(in.get(), nullptr, {CompositeOperator::Arithmetic, 0, 0, 0, 0.5f}, {-2, -2, 5, 5},
                              Never());
    ASSERT_NE(lit, nullptr);
    EXPECT_EQ(At(*lit, -2, -2), PackPixel(128, 128, 128, 128));
}

TEST(Merge, LaterInputsLieOnTopAndNullsAreSkipped)
{
    auto bottom = filter_test::SolidBitmap({0, 0, 2, 1}, PackPixel(255, 0, 0, 255));
    auto top = MakeBitmap({1, 0, 1, 1}, {PackPixel(128, 128, 0, 0)});
    const svg::CRtBitmap* inputs[] = {bottom.get(), nullptr, top.get()};
    auto merged = svg::Merge(inputs, {0, 0, 3, 1}, Never());
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(At(*merged, 0, 0), PackPixel(255, 0, 0, 255));
    EXPECT_EQ(At(*merged, 1, 0), PackPixel(255, 128, 0, 127));
    EXPECT_EQ(At(*merged, 2, 0), 0u);

    auto empty = svg::Merge({}, {0, 0, 3, 1}, Never());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(At(*empty, 1, 0), 0u);
}

TEST(Flood, FillsTheRectangleWithAValidPixel)
{
    auto flood = svg::Flood({PackPixel(128, 64, 32, 16)}, {-1, -1, 3, 2}, Never());
    ASSERT_NE(flood, nullptr);
    EXPECT_EQ(At(*flood, -1, -1), PackPixel(128, 64, 32, 16));
    EXPECT_EQ(At(*flood, 1, 0), PackPixel(128, 64, 32, 16));
    // Colour above alpha is not a premultiplied pixel: clamped.
    auto clamped = svg::Flood({PackPixel(10, 255, 5, 20)}, kOnePixel, Never());
    EXPECT_EQ(clamped->Row(0)[0], PackPixel(10, 10, 5, 10));
}

TEST(Offset, WholePixelOffsetsCopyExactly)
{
    auto in = filter_test::RandomBitmap({2, 3, 6, 5}, 9, 0.0);
    struct Case {
        double dx, dy;
        int shiftX, shiftY;
    };
    const Case cases[] = {{0, 0, 0, 0}, {1, 0, 1, 0}, {-2, 3, -2, 3}, {4.001, -0.999, 4, -1}, {1e9, 0, 1 << 30, 0}};
    for (const Case& c : cases) {
        const PixelRect outRect{0, 0, 10, 10};
        auto out = svg::Offset(in.get(), {c.dx, c.dy}, outRect, Never());
        ASSERT_NE(out, nullptr);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(At(*out, x, y), At(*in, x - c.shiftX, y - c.shiftY))
                    << c.dx << "," << c.dy << " at " << x << "," << y;
    }
}

TEST(Offset, FractionalOffsetsInterpolateWithoutDarkFringes)
{
    auto in = MakeBitmap({0, 0, 1, 1}, {PackPixel(255, 255, 0, 0)});
    auto half = svg::Offset(in.get(), {0.5, 0}, {-1, 0, 3, 1}, Never());
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(At(*half, -1, 0), 0u);
    EXPECT_EQ(At(*half, 0, 0), PackPixel(128, 128, 0, 0));  // still pure red when unpremultiplied
    EXPECT_EQ(At(*half, 1, 0), PackPixel(128, 128, 0, 0));
    auto quarter = svg::Offset(in.get(), {-0.25, 0.25}, {-1, -1, 3, 3}, Never());
    ASSERT_NE(quarter, nullptr);
    EXPECT_EQ(At(*quarter, 0, 0), PackPixel(143, 143, 0, 0));  // 0.75 x 0.75
    EXPECT_EQ(At(*quarter, -1, 1), PackPixel(16, 16, 0, 0));  // 0.25 x 0.25
    EXPECT_EQ(svg::Offset(in.get(), {std::nan(""), 0}, kOnePixel, Never()), nullptr);
    EXPECT_EQ(svg::Offset(in.get(), {0, INFINITY}, kOnePixel, Never()), nullptr);
}

TEST(Offset, AnAlphaOnlyInputGivesNoColour)
{
    auto colour = filter_test::SolidBitmap({0, 0, 2, 2}, PackPixel(255, 255, 255, 255));
    auto alpha = svg::CRtBitmap::View(*colour, true);
    for (double dx : {1.0, 0.5}) {
        auto out = svg::Offset(alpha.get(), {dx, 0}, {0, 0, 2, 2}, Never());
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(out->AlphaOnly());
        EXPECT_EQ(At(*out, 1, 1), 0xFF000000u) << dx;
    }
}

TEST(Tile, RepeatsTheInputFromItsOwnPlace)
{
    // A 10 x 10 input at (5, 5) over a subregion from (0, 0): the first tile
    // starts at (-5, -5).
    auto in = svg::CRtBitmap::Create({5, 5, 10, 10}, false);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            in->Row(y)[x] = PackPixel(255, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 0);
    auto tiled = svg::Tile(in.get(), {-3, 0, 30, 27}, Never());
    ASSERT_NE(tiled, nullptr);
    EXPECT_EQ(At(*tiled, 0, 0), PackPixel(255, 5, 5, 0));
    EXPECT_EQ(At(*tiled, -3, 0), PackPixel(255, 2, 5, 0));
    EXPECT_EQ(At(*tiled, 5, 5), PackPixel(255, 0, 0, 0));
    EXPECT_EQ(At(*tiled, 26, 26), PackPixel(255, 1, 1, 0));
    EXPECT_EQ(At(*tiled, 14, 14), PackPixel(255, 9, 9, 0));
    auto none = svg::Tile(nullptr, {0, 0, 2, 2}, Never());
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(At(*none, 1, 1), 0u);
}

TEST(CompositePrimitives, FailOnEmptyRectanglesAndStoppedJobs)
{
    auto in = filter_test::RandomBitmap({0, 0, 4, 4}, 1);
    filter_test::StoppedToken stopped;
    using Run = std::function<std::unique_ptr<svg::CRtBitmap>(const PixelRect&, const svg::CStopToken&)>;
    const svg::CRtBitmap* inputs[] = {in.get()};
    const Run runs[] = {
        [&](const PixelRect& r, const svg::CStopToken& s) { return svg::Blend(in.get(), in.get(), {}, r, s); },
        [&](const PixelRect& r, const svg::CStopToken& s) { return svg::Composite(in.get(), in.get(), {}, r, s); },
        [&](const PixelRect& r, const svg::CStopToken& s) { return svg::Merge(inputs, r, s); },
        [&](const PixelRect& r, const svg::CStopToken& s) { return svg::Flood({0xFFFFFFFFu}, r, s); },
        [&](const PixelRect& r, const svg::CStopToken& s) { return svg::Offset(in.get(), {1.5, 0}, r, s); },
        [&](const PixelRect& r, const svg::CStopToken& s) { return svg::Tile(in.get(), r, s); },
    };
    for (const Run& run : runs) {
        EXPECT_NE(run({0, 0, 4, 4}, Never()), nullptr);
        EXPECT_EQ(run({0, 0, 4, 4}, stopped), nullptr);
        EXPECT_EQ(run({0, 0, 0, 4}, Never()), nullptr);
    }
}
