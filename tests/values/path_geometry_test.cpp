#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "values/path_data.h"
#include "values/path_geometry.h"

using namespace svg;

namespace {

std::vector<MarkerInfo> Markers(std::string_view d)
{
    std::vector<MarkerInfo> markers;
    ParsePathData(d, {}, FillRule::NonZero, &markers);
    return markers;
}

void ExpectMarker(const MarkerInfo& m, float x, float y, float angle, MarkerKind kind)
{
    EXPECT_NEAR(m.x, x, 1e-4);
    EXPECT_NEAR(m.y, y, 1e-4);
    // Angles compare as directions: 180 and -180 are the same.
    EXPECT_NEAR(std::remainder(m.angle - angle, 360.0), 0, 1e-3) << m.angle << " vs " << angle;
    EXPECT_EQ(m.kind, kind);
}

constexpr MarkerKind kStart = MarkerKind::Start, kMid = MarkerKind::Mid, kEnd = MarkerKind::End;

std::vector<CGraphicsPath> One(std::string_view d) { return {ParsePathData(d, {}, FillRule::NonZero).path}; }

}  // namespace

TEST(PathMarkers, OpenPolylineStartsMidsAndEnds)
{
    const std::vector<MarkerInfo> m = Markers("M0 0 L10 0 L10 10");
    ASSERT_EQ(m.size(), 3u);
    ExpectMarker(m[0], 0, 0, 0, kStart);
    ExpectMarker(m[1], 10, 0, 45, kMid);
    ExpectMarker(m[2], 10, 10, 90, kEnd);
}

TEST(PathMarkers, MidAngleBisectsAcrossTheWrapAround)
{
    // Directions of 170 and -170 degrees: their bisector is 180, not 0.
    const double a = 170 * std::numbers::pi / 180;
    const std::string d = "M" + std::to_string(-10 * std::cos(a)) + " " + std::to_string(-10 * std::sin(a)) +
                          " L0 0 L" + std::to_string(10 * std::cos(-a)) + " " + std::to_string(10 * std::sin(-a));
    const std::vector<MarkerInfo> m = Markers(d);
    ASSERT_EQ(m.size(), 3u);
    ExpectMarker(m[1], 0, 0, 180, kMid);
}

TEST(PathMarkers, UTurnsTakeTheMeanOfTheirAnglesCountedFromZeroTo360)
{
    // Right then back left: 0 and 180 give 90 (down); left then right the
    // same. Up then down (270 and 90) gives 180, and so does down then up.
    ExpectMarker(Markers("M0 0 L10 0 L0 0")[1], 10, 0, 90, kMid);
    ExpectMarker(Markers("M10 0 L0 0 L10 0")[1], 0, 0, 90, kMid);
    ExpectMarker(Markers("M0 10 L0 0 L0 10")[1], 0, 0, 180, kMid);
    ExpectMarker(Markers("M0 0 L0 10 L0 0")[1], 0, 10, 180, kMid);
    // A cusp between two curves.
    ExpectMarker(Markers("M0 10 C0 5 0 0 0 0 C0 0 0 5 5 10")[1], 0, 0, 180, kMid);
    // Slanted: 53.13 and 233.13 degrees give 143.13.
    ExpectMarker(Markers("M0.3 0.4 L3.3 4.4 L0.3 0.4")[1], 3.3f, 4.4f, 143.130102f, kMid);
}

TEST(PathMarkers, ClosedFigureStartsAlongItsFirstSegmentAndEndsAlongItsClosingLine)
{
    // The closing line runs at -135 degrees; the first segment at 0.
    const std::vector<MarkerInfo> m = Markers("M0 0 L10 0 L10 10 Z");
    ASSERT_EQ(m.size(), 4u);
    ExpectMarker(m[0], 0, 0, 0, kStart);
    ExpectMarker(m[1], 10, 0, 45, kMid);
    ExpectMarker(m[2], 10, 10, 157.5f, kMid);
    ExpectMarker(m[3], 0, 0, -135, kEnd);
    // A polygon is a closed figure too.
    std::vector<MarkerInfo> polygon;
    ParsePoints("0,0 10,0 10,10", FillRule::NonZero, true, &polygon);
    ASSERT_EQ(polygon.size(), 4u);
    ExpectMarker(polygon[0], 0, 0, 0, kStart);
    ExpectMarker(polygon[3], 0, 0, -135, kEnd);
    // A closed figure before another one: its closing vertex is a mid vertex
    // with the closing direction alone, the next figure's start the outgoing.
    const std::vector<MarkerInfo> two = Markers("M0 0 L10 0 Z M20 0 L20 10");
    ASSERT_EQ(two.size(), 5u);
    ExpectMarker(two[2], 0, 0, 180, kMid);
    ExpectMarker(two[3], 20, 0, 90, kMid);
}

TEST(PathMarkers, DrawingOnAfterClosepathSharesTheClosingVertex)
{
    const std::vector<MarkerInfo> m = Markers("M0 0 L10 0 L10 10 Z L0 10");
    ASSERT_EQ(m.size(), 5u);
    ExpectMarker(m[3], 0, 0, 157.5f, kMid);  // in at -135, out at 90
    ExpectMarker(m[4], 0, 10, 90, kEnd);
}

TEST(PathMarkers, FiguresCurvesAndArcs)
{
    const std::vector<MarkerInfo> figures = Markers("M0 0 L10 0 M20 0 L20 10");
    ASSERT_EQ(figures.size(), 4u);
    ExpectMarker(figures[1], 10, 0, 0, kMid);  // ends a figure: incoming alone
    ExpectMarker(figures[2], 20, 0, 90, kMid);  // starts one: outgoing alone
    const std::vector<MarkerInfo> curve = Markers("M0 0 C0 10 10 10 10 0");
    ASSERT_EQ(curve.size(), 2u);
    ExpectMarker(curve[0], 0, 0, 90, kStart);
    ExpectMarker(curve[1], 10, 0, -90, kEnd);
    // Points inside the arc are no vertices; the ends follow its tangents.
    const std::vector<MarkerInfo> arc = Markers("M0 0 A10 10 0 0 1 20 0 L30 0");
    ASSERT_EQ(arc.size(), 3u);
    ExpectMarker(arc[0], 0, 0, -90, kStart);
    ExpectMarker(arc[1], 20, 0, 45, kMid);
    ExpectMarker(arc[2], 30, 0, 0, kEnd);
}

TEST(PathMarkers, ComputedBeforeLoneMovesAreRemoved)
{
    EXPECT_EQ(Markers("M0 0 M5 5 L10 10").size(), 3u);
    const std::vector<MarkerInfo> lone = Markers("M5 5");
    ASSERT_EQ(lone.size(), 2u);
    ExpectMarker(lone[0], 5, 5, 0, kStart);
    ExpectMarker(lone[1], 5, 5, 0, kEnd);
}

TEST(TightBounds, CurvesContributeTheirExtremesNotTheirControlPoints)
{
    const std::optional<RectF> bulge = TightBounds(One("M0 0 C0 10 10 10 10 0")[0]);
    ASSERT_TRUE(bulge);
    EXPECT_EQ(*bulge, (RectF{0, 0, 10, 7.5f}));
    // An S-curve whose x extremes lie between its end points.
    const std::optional<RectF> s = TightBounds(One("M0 0 C40 0 -30 10 10 10")[0]);
    ASSERT_TRUE(s);
    EXPECT_LT(s->x, 0);
    EXPECT_GT(s->x, -30);
    EXPECT_GT(s->x + s->width, 10);
    EXPECT_LT(s->x + s->width, 40);
    // A quadratic has no cubic term: its peak is half its control height.
    EXPECT_NEAR(TightBounds(One("M0 0 Q10 10 20 0")[0])->height, 5, 1e-5);
    EXPECT_EQ(*TightBounds(One("M1 2 L-3 5")[0]), (RectF{-3, 2, 4, 3}));
    EXPECT_FALSE(TightBounds(CGraphicsPath{}));
}

TEST(PathPositions, AlongAPolylineUpToItsEnd)
{
    const std::vector<CGraphicsPath> paths = One("M0 0 L10 0 L10 10");
    const std::vector<double> distances = {-1, 5, 10, 15, 20, 25};
    std::vector<PathPosition> out;
    double total = 1;
    ASSERT_EQ(PositionsAlongPaths(paths, Matrix{}, distances, out, &total), 5u);
    EXPECT_EQ(total, 21);
    const PathPosition expected[] = {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}, {10, 5, 90}, {10, 10, 90}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_NEAR(out[i].x, expected[i].x, 1e-5) << i;
        EXPECT_NEAR(out[i].y, expected[i].y, 1e-5) << i;
        EXPECT_NEAR(out[i].angle, expected[i].angle, 1e-5) << i;
    }
}

TEST(PathPositions, AlongACircle)
{
    const std::vector<CGraphicsPath> paths = One("M10 0 A10 10 0 0 1 -10 0 A10 10 0 0 1 10 0");
    const double circumference = 20 * std::numbers::pi;
    EXPECT_NEAR(PathLength(paths, Matrix{}), circumference, 1e-2);
    const std::vector<double> distances = {circumference / 4, circumference / 2 + 1, circumference + 1};
    std::vector<PathPosition> out;
    ASSERT_EQ(PositionsAlongPaths(paths, Matrix{}, distances, out), 2u);
    EXPECT_NEAR(out[0].x, 0, 1e-2);
    EXPECT_NEAR(out[0].y, 10, 1e-2);
    EXPECT_NEAR(out[0].angle, 180, 0.1);
    // One unit past the half-way point: 0.1 radians on.
    EXPECT_NEAR(out[1].x, -10 * std::cos(0.1), 1e-2);
    EXPECT_NEAR(out[1].y, -10 * std::sin(0.1), 1e-2);
    EXPECT_NEAR(std::hypot(out[1].x, out[1].y), 10, 1e-3);
}

TEST(PathPositions, TransformClosingLinesAndSeveralPaths)
{
    std::vector<CGraphicsPath> paths = {ParsePoints("0,0 10,0 10,10 0,10", FillRule::NonZero, true).path,
                                        ParsePoints("100,0 100,5", FillRule::NonZero, false).path};
    EXPECT_EQ(PathLength(paths, Matrix{}), 45);
    EXPECT_EQ(PathLength(paths, Matrix::Scale(2, 2)), 90);
    // Moving to the second path adds nothing; the distance lands on it.
    const std::vector<double> distances = {42};
    std::vector<PathPosition> out;
    ASSERT_EQ(PositionsAlongPaths(paths, Matrix{}, distances, out), 1u);
    EXPECT_NEAR(out[0].x, 100, 1e-5);
    EXPECT_NEAR(out[0].y, 2, 1e-5);
}
