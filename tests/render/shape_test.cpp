// Shapes: geometry and messages of each shape, rounded corners, where
// ellipses and rectangles start (dashes depend on it), marker references,
// painting checked on pixels, outline bounds and hit testing.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <string>

#include "model/document.h"
#include "render/canvas.h"
#include "render/render.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

constexpr double kKappa = 0.5522847498;
constexpr std::uint8_t S = PathPoint::kStart, L = PathPoint::kLine, C = PathPoint::kBezier;

class ShapeTest : public vexo_test::PictureProbe {
protected:
    // A 300 x 400 document unless `size` says otherwise; an element written
    // after "\n" starts at 2(1).
    void Load(const std::string& body, const std::string& size = "width='300' height='400'")
    {
        ASSERT_NE(PictureProbe::Load(body, {}, size), nullptr);
    }

    CElemShape& Shape(const std::string& id)
    {
        CElem* elem = Find("#" + id);
        EXPECT_TRUE(elem != nullptr && elem->IsA(ElemClass::Shape)) << id;
        return *static_cast<CElemShape*>(elem);
    }

    const CGraphicsPath& OnlyPath(const std::string& id)
    {
        const CElemShape& shape = Shape(id);
        EXPECT_EQ(shape.paths.size(), 1u) << id;
        return shape.paths.front();
    }

    bool Drawn(const std::string& id) { return !Shape(id).paths.empty(); }
};

void ExpectPoint(const PointF& p, double x, double y, const char* what)
{
    EXPECT_NEAR(p.x, x, 1e-3) << what;
    EXPECT_NEAR(p.y, y, 1e-3) << what;
}


}  // namespace

// --- rect -----------------------------------------------------------------------------

TEST_F(ShapeTest, RectMessagesAndWhichOnesStopDrawing)
{
    Load("\n<rect id='noWidth' height='5'/>"
         "\n<rect id='noHeight' width='5'/>"
         "\n<rect id='badSize' width='wide' height='5x'/>"
         "\n<rect id='negative' width='-1' height='-2'/>"
         "\n<rect id='badXY' x='left' y='1 2' width='5' height='5'/>"
         "\n<rect id='badRx' width='5' height='5' rx='round' ry='2'/>"
         "\n<rect id='negRx' width='5' height='5' rx='-3'/>"
         "\n<rect id='negRy' width='5' height='5' ry='-1'/>"
         "\n<rect id='badRy' width='5' height='5' ry='big'/>"
         "\n<rect id='zero' width='0' height='5'/>");
    ExpectMessages({"E rect 'width' NOT defined at 2(1)", "E rect 'height' NOT defined at 3(1)",
                    "E rect width=\"wide\" :Invalid value at 4(1)", "E rect height=\"5x\" :Invalid value at 4(1)",
                    "E rect width=\"-1\": must be positive value at 5(1)",
                    "E rect height=\"-2\": must be positive value at 5(1)", "E rect x=\"left\" :Invalid value at 6(1)",
                    "E rect y=\"1 2\" :Invalid value at 6(1)", "E rect rx=\"round\" :Invalid value at 7(1)",
                    "E rect rx=\"-3\" :Invalid value at 8(1)", "E rect ry=\"-1\": must be positive value at 9(1)",
                    "E rect ry=\"big\" :Invalid value at 10(1)"});

    for (const char* id : {"noWidth", "noHeight", "badSize", "negative", "zero"})
        EXPECT_FALSE(Drawn(id)) << id;
    ExpectPoint(OnlyPath("badXY").points[0], 0, 0, "bad x, y are 0");
    // A bad radius yields to the other one; with neither the corners are square.
    EXPECT_EQ(OnlyPath("badRx").points[0].x, 2);
    EXPECT_EQ(OnlyPath("negRx").Size(), 4u);
    EXPECT_EQ(OnlyPath("negRy").Size(), 4u);
    EXPECT_EQ(OnlyPath("badRy").Size(), 4u);
}

TEST_F(ShapeTest, PlainRectRunsClockwiseFromItsTopLeftCorner)
{
    Load("<rect id='r' x='10%' y='25%' width='20' height='30'/>");
    const CGraphicsPath& path = OnlyPath("r");
    ASSERT_EQ(path.Size(), 4u);
    ExpectPoint(path.points[0], 30, 100, "start: percentages of 300 x 400");
    ExpectPoint(path.points[1], 50, 100, "top right");
    ExpectPoint(path.points[2], 50, 130, "bottom right");
    ExpectPoint(path.points[3], 30, 130, "bottom left");
    EXPECT_EQ(path.types[3], L | PathPoint::kClose);
}

TEST_F(ShapeTest, CornerRadiiTakeEachOtherAndAreClampedToHalfTheSides)
{
    Load("<rect id='rxOnly' width='50' height='40' rx='5'/>"
         "<rect id='ryOnly' width='50' height='40' ry='6'/>"
         "<rect id='huge' width='50' height='40' rx='100'/>"
         "<rect id='oneZero' width='50' height='40' rx='0' ry='8'/>");
    // Start point (rx, 0); the end of the first corner (width, ry).
    ExpectPoint(OnlyPath("rxOnly").points[0], 5, 0, "rx");
    ExpectPoint(OnlyPath("rxOnly").points[4], 50, 5, "ry = rx");
    ExpectPoint(OnlyPath("ryOnly").points[0], 6, 0, "rx = ry");
    ExpectPoint(OnlyPath("huge").points[0], 25, 0, "rx clamped to width / 2");
    ExpectPoint(OnlyPath("huge").points[4], 50, 20, "ry = rx, clamped to height / 2");
    EXPECT_EQ(OnlyPath("oneZero").Size(), 4u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ShapeTest, RoundedCornerControlPointsLieKappaRadiiFromTheTangentPoints)
{
    Load("<rect id='r' x='0' y='0' width='100' height='60' rx='10' ry='20'/>");
    const CGraphicsPath& path = OnlyPath("r");
    // Start, then for each side a line and a corner cubic: 1 + 4 x (1 + 3).
    ASSERT_EQ(path.Size(), 17u);
    const std::uint8_t expectedTypes[] = {S, L, C, C, C, L, C, C, C, L, C, C, C, L, C, C, C};
    for (std::size_t i = 0; i + 1 < path.Size(); ++i)
        EXPECT_EQ(path.types[i], expectedTypes[i]) << i;
    EXPECT_EQ(path.types[16], C | PathPoint::kClose);

    ExpectPoint(path.points[0], 10, 0, "start after the top-left corner");
    ExpectPoint(path.points[1], 90, 0, "top edge");
    // Top-right corner from (90, 0) to (100, 20): control points kappa * r
    // from the tangent points, i.e. (1 - kappa) * r short of the corner.
    ExpectPoint(path.points[2], 90 + kKappa * 10, 0, "first control point");
    ExpectPoint(path.points[3], 100, 20 - kKappa * 20, "second control point");
    ExpectPoint(path.points[4], 100, 20, "corner end");
    EXPECT_NEAR(100 - path.points[2].x, (1 - kKappa) * 10, 1e-3);
    // Bottom-right corner, then the last corner closes back at the start.
    ExpectPoint(path.points[6], 100, 40 + kKappa * 20, "bottom-right first control point");
    ExpectPoint(path.points[8], 90, 60, "bottom-right end");
    ExpectPoint(path.points[16], 10, 0, "back at the start");
}

// --- circle and ellipse ---------------------------------------------------------------

TEST_F(ShapeTest, CircleMessages)
{
    Load("\n<circle id='noCentre' r='5'/>"
         "\n<circle id='badCentre' cx='a' cy='b' r='5'/>"
         "\n<circle id='noR'/>"
         "\n<circle id='badR' cx='1' cy='1' r='five'/>"
         "\n<circle id='negR' cx='1' cy='1' r='-5'/>");
    ExpectMessages({"W circle 'cx' :NOT difined.(using 0) at 2(1)", "W circle 'cy' :NOT difined.(using 0) at 2(1)",
                    "E circle cx=\"a\" :Invalid value at 3(1)", "E circle cy=\"b\" :Invalid value at 3(1)",
                    "W circle 'cx' :NOT difined.(using 0) at 4(1)", "W circle 'cy' :NOT difined.(using 0) at 4(1)",
                    "E circle r=\"\" :Invalid value at 4(1)", "E circle r=\"five\" :Invalid value at 5(1)",
                    "E circle r=\"-5\" :Invalid value at 6(1)"});

    ExpectPoint(OnlyPath("noCentre").points[0], 5, 0, "centred at 0, 0");
    ExpectPoint(OnlyPath("badCentre").points[0], 5, 0, "unreadable centre is 0, 0");
    for (const char* id : {"noR", "badR", "negR"})
        EXPECT_FALSE(Drawn(id)) << id;
}

TEST_F(ShapeTest, PercentageCircleRadiusIsOfTheNormalisedDiagonal)
{
    Load("<circle id='c' cx='100' cy='100' r='10%'/>");
    const double r = std::hypot(300.0, 400.0) / std::sqrt(2.0) * 0.1;  // 35.36: still a circle
    const CGraphicsPath& path = OnlyPath("c");
    ExpectPoint(path.points[0], 100 + r, 100, "start");
    ExpectPoint(path.points[3], 100, 100 + r, "a quarter on");
    ExpectPoint(path.points[6], 100 - r, 100, "half way");
}

TEST_F(ShapeTest, EllipseStartsAtPositiveXAndTurnsClockwiseOnScreen)
{
    Load("<ellipse id='e' cx='50' cy='40' rx='20' ry='10'/>");
    const CGraphicsPath& path = OnlyPath("e");
    ASSERT_EQ(path.Size(), 13u);
    ExpectPoint(path.points[0], 70, 40, "start at (cx + rx, cy)");
    ExpectPoint(path.points[1], 70, 40 + kKappa * 10, "leaving downwards");
    ExpectPoint(path.points[3], 50, 50, "then (cx, cy + ry)");
    ExpectPoint(path.points[6], 30, 40, "then (cx - rx, cy)");
    ExpectPoint(path.points[9], 50, 30, "then (cx, cy - ry)");
    ExpectPoint(path.points[12], 70, 40, "back at the start");
    EXPECT_EQ(path.types[12], C | PathPoint::kClose);
}

TEST_F(ShapeTest, EllipseMessagesReportEachBadRadius)
{
    Load("\n<ellipse id='none'/>"
         "\n<ellipse id='bad' cx='1' cy='1' rx='-1' ry='x'/>"
         "\n<ellipse id='oneBad' cx='1' cy='1' rx='4' ry='-2'/>"
         "\n<ellipse id='zero' cx='q' cy='r' rx='0' ry='5'/>");
    ExpectMessages({"W ellipse 'cx' :NOT difined.(using 0) at 2(1)", "W ellipse 'cy' :NOT difined.(using 0) at 2(1)",
                    "E ellipse rx=\"\" :Invalid value at 2(1)", "E ellipse ry=\"\" :Invalid value at 2(1)",
                    "E ellipse rx=\"-1\" :Invalid value at 3(1)", "E ellipse ry=\"x\" :Invalid value at 3(1)",
                    "E ellipse ry=\"-2\" :Invalid value at 4(1)", "E ellipse cx=\"q\" :Invalid value at 5(1)",
                    "E ellipse cy=\"r\" :Invalid value at 5(1)"});
    for (const char* id : {"none", "bad", "oneBad"})
        EXPECT_FALSE(Drawn(id)) << id;
    EXPECT_FALSE(Drawn("zero"));  // a zero radius draws nothing, quietly
}

// --- line, polyline, polygon, path ----------------------------------------------------

TEST_F(ShapeTest, LineMessagesAndAMissingY2IsQuietlyZero)
{
    Load("\n<line id='empty'/>"
         "\n<line id='bad' x1='a' y1='b' x2='c' y2='d'/>"
         "\n<line id='ok' x1='1' y1='2' x2='3'/>");
    ExpectMessages({"W line 'x1' :NOT difined.(using 0) at 2(1)", "W line 'y1' :NOT difined.(using 0) at 2(1)",
                    "W line 'x2' :NOT difined.(using 0) at 2(1)", "E line x1=\"a\" :Invalid value at 3(1)",
                    "E line y1=\"b\" :Invalid value at 3(1)", "E line x2=\"c\" :Invalid value at 3(1)",
                    "E line y2=\"d\" :Invalid value at 3(1)"});
    const CGraphicsPath& path = OnlyPath("ok");
    ASSERT_EQ(path.Size(), 2u);
    ExpectPoint(path.points[0], 1, 2, "start");
    ExpectPoint(path.points[1], 3, 0, "end");
}

TEST_F(ShapeTest, PointsAndPathDataMessages)
{
    Load("\n<polyline id='noPoints'/>"
         "\n<polygon id='badPoints' points='a,b'/>"
         "\n<path id='noD'/>"
         "\n<g><path id='inheritNothing' d='inherit'/></g>"
         "\n<path id='empty' d=''/>");
    // Empty path data is no error: the path is empty.
    ExpectMessages({"E polyline 'points' NOT defined at 2(1)", "E polygon points=\"a,b\" :Invalid value at 3(1)",
                    "E path 'd' NOT defined at 4(1)", "E path 'd' NOT defined at 5(4)"});
    for (const char* id : {"noPoints", "badPoints", "noD"})
        EXPECT_FALSE(Drawn(id)) << id;
}

TEST_F(ShapeTest, PolygonClosesItsFigureAndAnUnpairedNumberIsDropped)
{
    Load("<polyline id='open' points='0,0 10,10 20'/><polygon id='closed' points='0,0 10,0 10,10'/>");
    EXPECT_EQ(OnlyPath("open").Size(), 2u);
    EXPECT_FALSE(OnlyPath("open").types[1] & PathPoint::kClose);
    EXPECT_EQ(OnlyPath("closed").types[2], L | PathPoint::kClose);
}

TEST_F(ShapeTest, GeometryAttributesHaveNothingToInherit)
{
    // "inherit" reads as missing even where an ancestor (or a use) has the
    // attribute: geometry attributes are not properties.
    Load("<g x='20' y='30' width='40' cx='5' r='9' x1='7' d='M0 0 L5 5' points='1,1 2,2'>"
         "\n<rect id='x' x='inherit' y=' inherit ' width='10' height='10'/>"
         "\n<rect id='width' width='inherit' height='10'/>"
         "\n<circle id='circle' cx='inherit' cy='1' r='inherit'/>"
         "\n<line id='line' x1='inherit' y1='0' x2='1' y2='1'/>"
         "\n<path id='path' d='inherit'/>"
         "\n<polyline id='polyline' points='inherit'/></g>"
         "<use id='use' x='50' xlink:href='#x'/>");
    ExpectPoint(OnlyPath("x").points[0], 0, 0, "x and y are 0");
    const CElem* copy = Find("#use")->Children()[0];
    ASSERT_TRUE(copy->IsA(ElemClass::Shape));
    ExpectPoint(static_cast<const CElemShape*>(copy)->paths.at(0).points[0], 0, 0, "the copy's x is 0 too");
    EXPECT_FALSE(Drawn("width"));
    EXPECT_FALSE(Drawn("circle"));
    ExpectPoint(OnlyPath("line").points[0], 0, 0, "x1 is 0");
    EXPECT_FALSE(Drawn("path"));
    EXPECT_FALSE(Drawn("polyline"));
    EXPECT_TRUE(HasMessage("E rect 'width' NOT defined at 3(1)"));
    EXPECT_TRUE(HasMessage("E circle r=\"\" :Invalid value at 4(1)"));
    EXPECT_TRUE(HasMessage("W circle 'cx' :NOT difined.(using 0) at 4(1)"));
    EXPECT_TRUE(HasMessage("W line 'x1' :NOT difined.(using 0) at 5(1)"));
    EXPECT_TRUE(HasMessage("E path 'd' NOT defined at 6(1)"));
    EXPECT_TRUE(HasMessage("E polyline 'points' NOT defined at 7(1)"));
}

TEST_F(ShapeTest, FillRuleSetsEveryItemsFillRule)
{
    Load("<g fill-rule='evenodd'><path id='odd' d='M0 0 L1 1'/><rect id='r' width='1' height='1'/>"
         "<path id='nonzero' fill-rule='nonzero' d='M0 0 L1 1'/></g>");
    EXPECT_EQ(OnlyPath("odd").fillRule, FillRule::EvenOdd);
    EXPECT_EQ(OnlyPath("r").fillRule, FillRule::EvenOdd);
    EXPECT_EQ(OnlyPath("nonzero").fillRule, FillRule::NonZero);
}

TEST_F(ShapeTest, TextIsLaidOutRatherThanBuiltAsAShape)
{
    Load("<text id='t' x='a'>Hi<tspan id='s'>there</tspan></text>");
    EXPECT_TRUE(Shape("t").paths.empty());
    EXPECT_TRUE(Shape("s").paths.empty());
    EXPECT_TRUE(Current().HasMessagePrefix("E text x=\"a\" :Invalid value"));
}

// --- Markers ------------------------------------------------------------------------

TEST_F(ShapeTest, MarkerReferencesAndTheirMessages)
{
    Load("<defs><marker id='m'/><marker id='m2'/><rect id='notMarker' width='1' height='1'/></defs>"
         "\n<path id='all' style='marker:url(#m); marker-end:url(#m2)' d='M0 0 L10 0 L10 10'/>"
         "\n<path id='bad' marker='url(#notMarker)' marker-start='url(#missing)' marker-mid='url(#notMarker)' "
         "marker-end='none' d='M0 0 L1 1'/>"
         "\n<g marker-start='url(#m)'><polyline id='inherited' points='0,0 1,1'/></g>"
         "\n<rect id='rect' marker-start='url(#m)' width='1' height='1'/>");
    const CElem* m = Find("#m");
    const CElem* m2 = Find("#m2");
    const CElemShape& all = Shape("all");
    ASSERT_NE(all.markers, nullptr);
    EXPECT_EQ(all.markers->start, m);
    EXPECT_EQ(all.markers->mid, m);
    EXPECT_EQ(all.markers->end, m2);
    const std::span<const MarkerInfo> vertices = all.MarkerVertices();
    ASSERT_EQ(vertices.size(), 3u);
    EXPECT_EQ(vertices[0].kind, MarkerKind::Start);
    EXPECT_EQ(vertices[1].kind, MarkerKind::Mid);
    EXPECT_NEAR(vertices[1].angle, 45, 1e-3);
    EXPECT_EQ(vertices[2].kind, MarkerKind::End);

    // The `marker` attribute is no presentation attribute: it is not even read.
    ExpectMessages({"E path marker-start=\"url(#missing)\" NOT refer element 'marker' at 3(1)",
                    "E path marker-mid=\"url(#notMarker)\" NOT refer element 'marker' at 3(1)"});
    EXPECT_EQ(Shape("bad").markers, nullptr);

    ASSERT_NE(Shape("inherited").markers, nullptr);
    EXPECT_EQ(Shape("inherited").markers->start, m);
    EXPECT_EQ(Shape("inherited").MarkerVertices().size(), 2u);
    // Only path, line, polyline and polygon carry markers.
    EXPECT_EQ(Shape("rect").markers, nullptr);
}

TEST_F(ShapeTest, LineMarkersBothPointAlongTheLine)
{
    Load("<marker id='m'/><line id='l' x1='10' y1='10' x2='0' y2='20' marker-start='url(#m)' marker-end='url(#m)'/>");
    const CElemShape& line = Shape("l");
    const std::span<const MarkerInfo> vertices = line.MarkerVertices();
    ASSERT_EQ(vertices.size(), 2u);
    EXPECT_EQ(vertices[0].kind, MarkerKind::Start);
    EXPECT_EQ(vertices[1].kind, MarkerKind::End);
    EXPECT_FLOAT_EQ(vertices[0].x, 10);
    EXPECT_FLOAT_EQ(vertices[1].y, 20);
    EXPECT_NEAR(vertices[0].angle, 135, 1e-4);
    EXPECT_NEAR(vertices[1].angle, 135, 1e-4);
}

// --- Painting -------------------------------------------------------------------------

TEST_F(ShapeTest, FilledRectPaintsInsideOnly)
{
    Load("<rect x='10' y='10' width='30' height='20' fill='red'/>", "width='100' height='100'");
    Paint();
    ExpectPixels({{10, 10, kRed}, {39, 29, kRed}, {9, 20, kEmpty}, {40, 20, kEmpty}, {20, 30, kEmpty}});
}

TEST_F(ShapeTest, EvenOddLeavesAHoleAndNonZeroDoesNot)
{
    const std::string squares = "d='M0 0 H40 V40 H0 Z M10 10 H30 V30 H10 Z'";
    Load("<path fill-rule='evenodd' fill='blue' " + squares + "/><path transform='translate(50 0)' " + squares +
             "/>",
         "width='100' height='100'");
    Paint();
    ExpectPixels({{5, 5, kBlue}, {20, 20, kEmpty}, {70, 20, Rgba{0, 0, 0, 255}}});
}

TEST_F(ShapeTest, StrokeIsCentredOnTheOutlineWithItsWidth)
{
    Load("<line x1='10' y1='20' x2='90' y2='20' stroke='green' stroke-width='4'/>", "width='100' height='100'");
    Paint();
    ExpectPixels(
        {{50, 18, kGreen}, {50, 21, kGreen}, {50, 17, kEmpty}, {50, 22, kEmpty}, {9, 20, kEmpty}});  // butt caps
}

TEST_F(ShapeTest, StrokesIgnoreControlHandlesShorterThanAPixel)
{
    // Straight curves from x 10 to 90 whose first handle points down. A
    // tenth of a unit long, it is drawn as none: a butt cap across the line
    // at x 10. Two units long, the curve really turns there: its stroke
    // starts across the handle, fans out below the start and leaves a notch
    // above it. Plain and paint-server strokes alike.
    Load("<linearGradient id='g' gradientUnits='userSpaceOnUse'><stop stop-color='green'/></linearGradient>"
         "<path d='M10 15 C10 15.1 90 15 90 15' stroke='green' stroke-width='20' fill='none'/>"
         "<path d='M10 50 C10 50.1 90 50 90 50' stroke='url(#g)' stroke-width='20' fill='none'/>"
         "<path d='M10 85 C10 87 90 85 90 85' stroke='green' stroke-width='20' fill='none'/>",
         "width='100' height='100'");
    Paint();
    EXPECT_EQ(Pixel(12, 8), kGreen);
    EXPECT_EQ(Alpha(4, 20), 0);
    EXPECT_EQ(Pixel(12, 43), kGreen);
    EXPECT_EQ(Alpha(4, 55), 0);
    EXPECT_EQ(Pixel(4, 90), kGreen);
    EXPECT_EQ(Alpha(11, 80), 0);
}

TEST_F(ShapeTest, DashesAreInUserUnitsWithCapsOutside)
{
    // 5 3 4 repeats to 5 3 4 5 3 4: dashes 0-5, 8-12, 17-20, 24-29.
    Load("<line id='butt' x1='0' y1='10' x2='100' y2='10' stroke='blue' stroke-width='2' stroke-dasharray='5 3 4'/>"
         "<line id='round' x1='0' y1='30' x2='100' y2='30' stroke='blue' stroke-width='2' "
         "stroke-dasharray='5 3 4' stroke-linecap='round'/>",
         "width='100' height='100'");
    const std::vector<float> expected{5, 3, 4, 5, 3, 4};
    ASSERT_TRUE(Shape("butt").props.strokePen);
    EXPECT_EQ(Shape("butt").props.strokePen->dashes, expected);
    EXPECT_EQ(Shape("round").props.strokePen->dashes, expected);
    Paint();
    ExpectPixels({{2, 9, kBlue}, {5, 9, kEmpty}, {6, 9, kEmpty}, {10, 9, kBlue}, {14, 9, kEmpty}, {18, 9, kBlue}});
    // Round caps reach one half width beyond each dash end, into the gaps.
    ExpectPixels({{5, 29, AlphaAbove(128)}, {6, 29, kEmpty}, {7, 29, AlphaAbove(128)}, {12, 29, AlphaAbove(128)}});
}

TEST_F(ShapeTest, EmptyDashesAreDotsWithRoundCapsAndNothingWithButtCaps)
{
    // Dashes of length 0 every 20 units fall on the rect's corners too.
    Load("<rect x='20' y='20' width='60' height='60' fill='none' stroke='blue' stroke-width='10' "
         "stroke-dasharray='0 20'/>"
         "<path d='M10 95 L90 95' stroke='blue' stroke-width='4' stroke-dasharray='0 10 30 10'/>"
         "<path d='M10 5 L90 5' stroke='blue' stroke-width='4' stroke-dasharray='0 20' stroke-linecap='round'/>"
         "<polyline points='40,40 60,40 60,60' fill='none' stroke='blue' stroke-width='10' stroke-dasharray='0 20' "
         "stroke-linecap='round'/>",
         "width='100' height='100'");
    Paint();
    // No join shows at a corner where an empty butt-capped dash lies.
    ExpectPixels({{17, 17, kEmpty}, {82, 82, kEmpty}, {50, 20, kEmpty}});
    // The empty dash goes, the rest keeps its place: a dash from 20 to 50.
    ExpectPixels({{15, 95, kEmpty}, {25, 95, kBlue}, {45, 95, kBlue}, {55, 95, kEmpty}});
    // Round caps make an empty dash a dot.
    ExpectPixels({{30, 5, kBlue}, {40, 5, kEmpty}});
    // A dot on a corner is a dot, without the corner's miter.
    ExpectPixels({{60, 40, kBlue}, {64, 36, kEmpty}});
}

TEST_F(ShapeTest, ZeroLengthSubpathsWithSquareCapsAreSquaresOnTheAxes)
{
    Load("<path d='M20 20 L20 20' stroke='blue' stroke-width='10' stroke-linecap='square'/>"
         "<path d='M50 20 L60 20 M80 20 L80 20 L80 20' stroke='blue' stroke-width='10' stroke-linecap='square'/>"
         "<path d='M20 60 L20 60' stroke='blue' stroke-width='20' stroke-linecap='square' "
         "transform='rotate(45 20 60)'/>"
         // A lone move has nothing to stroke.
         "<path d='M50 60' stroke='blue' stroke-width='10' stroke-linecap='square'/>"
         "<path d='M80 60 L80 60' stroke='blue' stroke-width='10' stroke-linecap='butt'/>",
         "width='100' height='100'");
    Paint();
    ExpectPixels({{16, 16, kBlue},
                  {23, 23, kBlue},
                  {26, 20, kEmpty},
                  {83, 16, kBlue},
                  {46, 23, kBlue}});  // the square cap of a line in the same path
    // The square turns with the user space: its corners point along the axes.
    ExpectPixels({{20, 47, kBlue}, {11, 51, kEmpty}, {50, 60, kEmpty}, {80, 60, kEmpty}});
}

TEST_F(ShapeTest, ClosedLoneMovesAreDotsWithRoundAndSquareCaps)
{
    Load("<path d='M20 20 Z' stroke='blue' stroke-width='10' stroke-linecap='round'/>"
         "<path d='M50 20 Z' stroke='blue' stroke-width='10' stroke-linecap='square'/>"
         "<path d='M80 20 Z' stroke='blue' stroke-width='10' stroke-linecap='butt'/>",
         "width='100' height='40'");
    Paint();
    ExpectPixels({{20, 20, kBlue},
                  {46, 16, kBlue},
                  {80, 20, kEmpty},
                  {15, 15, kEmpty}});  // round: the corner of its box stays empty
}

TEST_F(ShapeTest, EllipseAndRectDashesStartWhereSvgSays)
{
    // One 10-unit dash: on the circle from (80, 30) downwards, on the rect
    // from (10, 70) to the right.
    Load("<circle cx='60' cy='30' r='20' fill='none' stroke='red' stroke-width='2' stroke-dasharray='10 500'/>"
         "<rect x='10' y='70' width='20' height='20' fill='none' stroke='red' stroke-width='2' "
         "stroke-dasharray='10 500'/>",
         "width='100' height='100'");
    Paint();
    ExpectPixels({{79, 33, kRed}, {79, 26, kEmpty}, {15, 69, kRed}, {9, 75, kEmpty}, {25, 69, kEmpty}});
}

TEST_F(ShapeTest, OpacityFadesFillAndStrokeTogether)
{
    // Where the stroke covers the fill the group shows the stroke alone at
    // half strength; multiplying opacity into each paint would mix in red.
    Load("<rect x='20' y='20' width='60' height='60' fill='red' stroke='blue' stroke-width='10' opacity='0.5'/>",
         "width='100' height='100'");
    Paint();
    const Rgba overlap = Pixel(22, 50);
    EXPECT_NEAR(overlap.a, 128, 2);
    EXPECT_EQ(overlap.r, 0);
    EXPECT_EQ(overlap.b, 255);
    const Rgba fill = Pixel(50, 50);
    EXPECT_NEAR(fill.a, 128, 2);
    EXPECT_EQ(fill.r, 255);
}

TEST_F(ShapeTest, HiddenShapesPaintNothingButKeepTheirBounds)
{
    Load("<rect id='hidden' width='50' height='50' fill='red' stroke='blue' visibility='hidden'/>"
         "<g visibility='collapse'><rect width='100' height='100' fill='red'/></g>",
         "width='100' height='100'");
    Paint();
    ExpectPixels({{25, 25, kEmpty}, {75, 75, kEmpty}});
    ASSERT_TRUE(Shape("hidden").bboxUser);
    EXPECT_EQ(*Shape("hidden").bboxUser, (RectF{0, 0, 50, 50}));
}

TEST_F(ShapeTest, PaintServersPaintAndMissingOnesFallBack)
{
    Load("<linearGradient id='g'><stop offset='0' stop-color='lime'/></linearGradient>"
         "<rect x='0' y='0' width='40' height='40' fill='url(#g) red'/>"
         "<rect x='0' y='50' width='40' height='40' fill='url(#missing) red'/>",
         "width='100' height='100'");
    Paint();
    ExpectPixels({{20, 70, kRed}, {20, 20, Rgba{0, 255, 0, 255}}});  // a one-stop gradient is its colour
}

// --- Bounds and hit testing -----------------------------------------------------------

TEST_F(ShapeTest, OutlineBoundsMapThePathExactly)
{
    Load("<circle id='c' cx='50' cy='40' r='10'/><rect id='r' width='10' height='20' rx='3'/>"
         "<rect id='empty' width='0' height='10'/>");
    const std::optional<RectF> circle = OutlineBounds(Shape("c"), Matrix{});
    ASSERT_TRUE(circle);
    EXPECT_NEAR(circle->x, 40, 1e-4);
    EXPECT_NEAR(circle->y, 30, 1e-4);
    EXPECT_NEAR(circle->width, 20, 1e-4);
    EXPECT_NEAR(circle->height, 20, 1e-4);
    // Rotating a rounded rect by 90 degrees swaps its sides.
    const std::optional<RectF> turned = OutlineBounds(Shape("r"), Matrix::Rotate(90));
    ASSERT_TRUE(turned);
    EXPECT_NEAR(turned->x, -20, 1e-4);
    EXPECT_NEAR(turned->y, 0, 1e-4);
    EXPECT_NEAR(turned->width, 20, 1e-4);
    EXPECT_NEAR(turned->height, 10, 1e-4);
    EXPECT_FALSE(OutlineBounds(Shape("empty"), Matrix{}));
}

TEST_F(ShapeTest, HitTestingFillStrokeTransformAndDisplay)
{
    Load("<rect id='filled' x='10' y='10' width='20' height='20' transform='translate(100 0)'/>"
         "<rect id='outline' x='10' y='50' width='20' height='20' fill='none' stroke='red' stroke-width='4'/>"
         "<path id='hole' fill-rule='evenodd' d='M0 100 H40 V140 H0 Z M10 110 H30 V130 H10 Z'/>"
         "<rect id='gone' width='10' height='10' display='none'/>");
    vexo_test::ExpectHits(Shape("filled"), {{120, 20, "filled"}, {20, 20, ""}});
    vexo_test::ExpectHits(Shape("outline"), {{20, 60, ""}, {11, 60, "outline"}, {8.5, 60, "outline"}, {7.5, 60, ""}});
    vexo_test::ExpectHits(Shape("hole"), {{5, 105, "hole"}, {20, 120, ""}});
    EXPECT_EQ(vexo_test::HitTestAt(Shape("gone"), 5, 5), nullptr);
}
