#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>

#include "base/limits.h"
#include "values/path_data.h"

using namespace svg;

namespace {

CGraphicsPath Parse(std::string_view d, const LengthContext& context = {})
{
    return ParsePathData(d, context, FillRule::NonZero).path;
}

struct Expected {
    float x, y;
    std::uint8_t type;
};

void ExpectPath(const CGraphicsPath& path, std::initializer_list<Expected> expected)
{
    ASSERT_EQ(path.Size(), expected.size());
    std::size_t i = 0;
    for (const Expected& e : expected) {
        EXPECT_NEAR(path.points[i].x, e.x, 1e-4) << "point " << i;
        EXPECT_NEAR(path.points[i].y, e.y, 1e-4) << "point " << i;
        EXPECT_EQ(path.types[i], e.type) << "point " << i;
        ++i;
    }
}

constexpr std::uint8_t S = PathPoint::kStart, L = PathPoint::kLine, C = PathPoint::kBezier, Z = PathPoint::kClose;

double DistanceFrom(PointF p, double cx, double cy) { return std::hypot(p.x - cx, p.y - cy); }

// The point at t = 1/2 of the cubic that ends at points[last].
PointF CubicMidpoint(const CGraphicsPath& path, std::size_t last)
{
    const PointF* p = &path.points[last - 3];
    return {(p[0].x + 3 * p[1].x + 3 * p[2].x + p[3].x) / 8, (p[0].y + 3 * p[1].y + 3 * p[2].y + p[3].y) / 8};
}

}  // namespace

TEST(PathDataGrammar, MovesLinesAndImplicitRepeats)
{
    ExpectPath(Parse("M10 10 20 20"), {{10, 10, S}, {20, 20, L}});
    ExpectPath(Parse("m10 10 l5 5 5 5"), {{10, 10, S}, {15, 15, L}, {20, 20, L}});
    ExpectPath(Parse("M1 2 h3 v4 H0 V1"), {{1, 2, S}, {4, 2, L}, {4, 6, L}, {0, 6, L}, {0, 1, L}});
    ExpectPath(Parse("  M 1,2 L 3 , 4 ,5,6 l1-1"), {{1, 2, S}, {3, 4, L}, {5, 6, L}, {6, 5, L}});
}

TEST(PathDataGrammar, PackedNumbersSplitAtSignsAndSecondPoints)
{
    ExpectPath(Parse("M1-2.3.4e1 5"), {{1, -2.3f, S}, {4, 5, L}});
    ExpectPath(Parse("M.5.5L1e1-1E-1"), {{0.5f, 0.5f, S}, {10, -0.1f, L}});
}

TEST(PathDataGrammar, SmoothCubicReflectsOnlyAfterCubics)
{
    ExpectPath(Parse("M0 0 C0 10 10 10 10 0 S20 -10 20 0"),
               {{0, 0, S}, {0, 10, C}, {10, 10, C}, {10, 0, C}, {10, -10, C}, {20, -10, C}, {20, 0, C}});
    ExpectPath(Parse("M0 0 L10 0 s10 10 20 0"), {{0, 0, S}, {10, 0, L}, {10, 0, C}, {20, 10, C}, {30, 0, C}});
}

TEST(PathDataGrammar, QuadraticsBecomeCubicsAndSmoothOnesReflect)
{
    const float third = 20.f / 3;
    ExpectPath(Parse("M0 0 Q10 10 20 0 T40 0"), {{0, 0, S},
                                                 {third, third, C},
                                                 {20 - third, third, C},
                                                 {20, 0, C},
                                                 {20 + third, -third, C},
                                                 {40 - third, -third, C},
                                                 {40, 0, C}});
    // After a line the control point is the current point.
    ExpectPath(Parse("M0 0 L10 0 T20 0"), {{0, 0, S}, {10, 0, L}, {10, 0, C}, {20 - 20.f / 3, 0, C}, {20, 0, C}});
}

TEST(PathDataGrammar, ClosepathFlagsTheLastPointAndReturnsToTheStart)
{
    ExpectPath(Parse("M0 0 L10 0 Z L10 10"), {{0, 0, S}, {10, 0, L | Z}, {0, 0, S}, {10, 10, L}});
    ExpectPath(Parse("M10 10 L20 10 z m5 5 l1 0"), {{10, 10, S}, {20, 10, L | Z}, {15, 15, S}, {16, 15, L}});
    EXPECT_TRUE(Parse("Z M0 0").Empty());
}

TEST(PathDataGrammar, LoneMovesVanish)
{
    ExpectPath(Parse("M0 0 M5 5 L10 10 M3 3"), {{5, 5, S}, {10, 10, L}});
    EXPECT_TRUE(Parse("M1 1").Empty());
    EXPECT_TRUE(Parse("").Empty());
}

TEST(PathDataGrammar, UnitsAndPercentagesResolveThroughTheElement)
{
    ExpectPath(Parse("M10px 1in L50% 50%"), {{10, 10 * 9.6f, S}, {400, 300, L}});
    LengthContext elem;
    elem.viewport = {10, 20, 200, 100};
    ExpectPath(Parse("M50% 50% h10%", elem), {{110, 70, S}, {140, 70, L}});
    // Radii are sizes: 5% of 200 wide and 10% of 100 high is a 10-unit circle.
    const CGraphicsPath arc = Parse("M0 0 A5% 10% 0 0 1 20 0", elem);
    EXPECT_NEAR(arc.points[6].x, 10, 1e-3);
    EXPECT_NEAR(arc.points[6].y, -10, 1e-3);
}

TEST(PathDataErrors, BadDataKeepsWhatCameBefore)
{
    ExpectPath(Parse("M0 0 L10 10 X 20 20"), {{0, 0, S}, {10, 10, L}});
    ExpectPath(Parse("M0 0 L10 10 20"), {{0, 0, S}, {10, 10, L}});
    ExpectPath(Parse("M0 0 L10 10 L20"), {{0, 0, S}, {10, 10, L}});
    ExpectPath(Parse("M0 0 L10 10 Z5 L3 3"), {{0, 0, S}, {10, 10, L | Z}});
    ExpectPath(Parse("M0 0 L5 5 L1 1e L2 2"), {{0, 0, S}, {5, 5, L}});
}

TEST(PathDataErrors, PathDataMustOpenWithAMove)
{
    EXPECT_TRUE(Parse("L10 10 20 20").Empty());
    EXPECT_TRUE(Parse("10 10").Empty());
}

TEST(PathDataErrors, ArcFlagsMustBeZeroOrOne)
{
    ExpectPath(Parse("M0 0 L5 5 A10 10 0 2 1 20 0 L30 30"), {{0, 0, S}, {5, 5, L}});
    // A flag is one character: "1.5" is the flag 1 and x = .5.
    EXPECT_EQ(Parse("M0 0 A10 10 0 0 1.5 20").points.back(), (PointF{0.5f, 20}));
}

TEST(ArcConversion, PackedFlagsTouchTheNextNumber)
{
    const CGraphicsPath spec = Parse("M0,0 A10,10 0 1110,0");
    EXPECT_EQ(spec.points.back(), (PointF{10, 0}));
    // Radius 1 and a chord of sqrt 2 with the large-arc flag: three quarters
    // of a circle, six cubics.
    const CGraphicsPath packed = Parse("m0 0 a1 1 0 111 1");
    EXPECT_EQ(packed.Size(), 1u + 18u);
    EXPECT_EQ(packed.points.back(), (PointF{1, 1}));
}

TEST(ArcConversion, HalfCircleIsFourCubicsOnTheCircle)
{
    const CGraphicsPath path = Parse("M0 0 A10 10 0 0 1 20 0");
    ASSERT_EQ(path.Size(), 13u);
    EXPECT_EQ(path.points.back(), (PointF{20, 0}));
    EXPECT_NEAR(path.points[6].x, 10, 1e-3);  // sweep 1 turns through the top
    EXPECT_NEAR(path.points[6].y, -10, 1e-3);
    for (std::size_t end = 3; end < path.Size(); end += 3) {
        EXPECT_NEAR(DistanceFrom(path.points[end], 10, 0), 10, 1e-3);
        EXPECT_NEAR(DistanceFrom(CubicMidpoint(path, end), 10, 0), 10, 1e-3);
    }
    for (std::size_t i = 1; i < path.Size(); ++i)
        EXPECT_EQ(path.types[i], i <= 9 ? (C | PathPoint::kInsideArc) : C) << i;
    EXPECT_EQ(Parse("M0 0 A10 10 0 0 1 10 10").Size(), 7u);  // a quarter: two cubics
}

TEST(ArcConversion, LargeArcBetweenNearlyEqualPointsIsAFullTurn)
{
    const CGraphicsPath path = Parse("M0 0 a1 1 0 1 1 1e-30 0");
    EXPECT_EQ(path.Size(), 25u);
    const RectF box = *TightBounds(path);
    EXPECT_NEAR(box.x, -1, 1e-4);
    EXPECT_NEAR(box.y, -2, 1e-4);
    EXPECT_NEAR(box.width, 2, 1e-4);
    EXPECT_NEAR(box.height, 2, 1e-4);
}

TEST(ArcConversion, RadiiTooSmallGrowToAHalfEllipse)
{
    const CGraphicsPath circle = Parse("M0 0 A1 1 0 0 1 20 0");
    EXPECT_NEAR(circle.points[6].x, 10, 1e-3);
    EXPECT_NEAR(circle.points[6].y, -10, 1e-3);
    const CGraphicsPath ellipse = Parse("M0 0 A2 1 0 0 0 20 0");
    EXPECT_NEAR(ellipse.points[6].x, 10, 1e-3);
    EXPECT_NEAR(ellipse.points[6].y, 5, 1e-3);
}

TEST(ArcConversion, RotationTakesAngleUnits)
{
    // Rotated by 90 degrees the 20-unit radius lies along y: the half ellipse
    // from (0, 0) to (0, 20) bulges 10 to the right.
    const CGraphicsPath degrees = Parse("M0 0 A20 10 90 0 1 0 40");
    const CGraphicsPath radians = Parse("M0 0 A20 10 1.5707963rad 0 1 0 40");
    ASSERT_EQ(degrees.Size(), radians.Size());
    EXPECT_NEAR(degrees.points[6].x, 10, 1e-3);
    EXPECT_NEAR(degrees.points[6].y, 20, 1e-3);
    EXPECT_NEAR(radians.points[6].x, degrees.points[6].x, 1e-3);
}

TEST(ArcConversion, ZeroRadiusIsALineAndAnArcToItsStartVanishes)
{
    ExpectPath(Parse("M0 0 A0 10 0 0 1 20 0"), {{0, 0, S}, {20, 0, L}});
    ExpectPath(Parse("M5 5 A10 10 0 0 1 5 5 L10 10"), {{5, 5, S}, {10, 10, L}});
}

TEST(PointsList, PairsUpToTheFirstIncompleteOne)
{
    ExpectPath(ParsePoints("0,0 10,10 20", FillRule::NonZero, false).path, {{0, 0, S}, {10, 10, L}});
    ExpectPath(ParsePoints("10px,20% 5 5", FillRule::EvenOdd, true).path, {{10, 20, S}, {5, 5, L | Z}});
    EXPECT_TRUE(ParsePoints("", FillRule::NonZero, false).path.Empty());
    EXPECT_TRUE(ParsePoints("abc", FillRule::NonZero, true).path.Empty());
    EXPECT_EQ(ParsePoints("1 2", FillRule::EvenOdd, false).path.fillRule, FillRule::EvenOdd);
}

TEST(PathDataCost, MillionsOfCommandsParseInLinearTime)
{
    std::string d = "M0 0";
    for (int i = 0; i < 1'000'000; ++i)
        d += "l1 1";
    const auto start = std::chrono::steady_clock::now();
    const CGraphicsPath path = Parse(d);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(path.Size(), 1'000'001u);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(PathDataCost, PointCountIsCappedAndSaid)
{
    // Nearly full circles of 24 points each reach the cap with a short text.
    std::string d = "M0 0";
    const std::size_t arcs = limits::kMaxPathPoints / 24 + 10;
    d.reserve(arcs * 14);
    for (std::size_t i = 0; i < arcs; ++i)
        d += "a1 1 0 1 0 0 .1";
    const ParsedPath parsed = ParsePathData(d, {}, FillRule::NonZero);
    EXPECT_TRUE(parsed.truncated);
    EXPECT_LE(parsed.path.Size(), limits::kMaxPathPoints);
    EXPECT_GT(parsed.path.Size(), limits::kMaxPathPoints - 30);
}

TEST(PathDataErrors, TheFirstUnreadablePlaceIsGiven)
{
    EXPECT_EQ(ParsePathData("M0 0 L10 10", {}, FillRule::NonZero).errorAt, std::string_view::npos);
    EXPECT_EQ(ParsePathData("M0 0 L10 10 X5", {}, FillRule::NonZero).errorAt, 12u);
    EXPECT_EQ(ParsePoints("0,0 10,10 20", FillRule::NonZero, false).errorAt, 10u);
}
