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

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kGreen{0, 128, 0, 255};

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
    EXPECT_TRUE(HasMessage("E rect 'width' NOT defined at 2(1)"));
    EXPECT_TRUE(HasMessage("E rect 'height' NOT defined at 3(1)"));
    EXPECT_TRUE(HasMessage("E rect width=\"wide\" :Invalid value at 4(1)"));
    EXPECT_TRUE(HasMessage("E rect height=\"5x\" :Invalid value at 4(1)"));
    EXPECT_TRUE(HasMessage("E rect width=\"-1\": must be positive value at 5(1)"));
    EXPECT_TRUE(HasMessage("E rect height=\"-2\": must be positive value at 5(1)"));
    EXPECT_TRUE(HasMessage("E rect x=\"left\" :Invalid value at 6(1)"));
    EXPECT_TRUE(HasMessage("E rect y=\"1 2\" :Invalid value at 6(1)"));
    EXPECT_TRUE(HasMessage("E rect rx=\"round\" :Invalid value at 7(1)"));
    EXPECT_TRUE(HasMessage("E rect rx=\"-3\" :Invalid value at 8(1)"));
    EXPECT_TRUE(HasMessage("E rect ry=\"-1\": must be positive value at 9(1)"));
    EXPECT_TRUE(HasMessage("E rect ry=\"big\" :Invalid value at 10(1)"));
    EXPECT_EQ(Messages().size(), 12u);

    EXPECT_FALSE(Drawn("noWidth"));
    EXPECT_FALSE(Drawn("noHeight"));
    EXPECT_FALSE(Drawn("badSize"));
    EXPECT_FALSE(Drawn("negative"));
    EXPECT_FALSE(Drawn("zero"));
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
    EXPECT_TRUE(HasMessage("W circle 'cx' :NOT difined.(using 0) at 2(1)"));
    EXPECT_TRUE(HasMessage("W circle 'cy' :NOT difined.(using 0) at 2(1)"));
    EXPECT_TRUE(HasMessage("E circle cx=\"a\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E circle cy=\"b\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E circle r=\"\" :Invalid value at 4(1)"));
    EXPECT_TRUE(HasMessage("E circle r=\"five\" :Invalid value at 5(1)"));
    EXPECT_TRUE(HasMessage("E circle r=\"-5\" :Invalid value at 6(1)"));
    // The missing-centre warnings of 'noR' come before its radius message.
    EXPECT_EQ(Messages().size(), 9u);

    ExpectPoint(OnlyPath("noCentre").points[0], 5, 0, "centred at 0, 0");
    ExpectPoint(OnlyPath("badCentre").points[0], 5, 0, "unreadable centre is 0, 0");
    EXPECT_FALSE(Drawn("noR"));
    EXPECT_FALSE(Drawn("badR"));
    EXPECT_FALSE(Drawn("negR"));
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
    EXPECT_TRUE(HasMessage("W ellipse 'cx' :NOT difined.(using 0) at 2(1)"));
    EXPECT_TRUE(HasMessage("W ellipse 'cy' :NOT difined.(using 0) at 2(1)"));
    EXPECT_TRUE(HasMessage("E ellipse rx=\"\" :Invalid value at 2(1)"));
    EXPECT_TRUE(HasMessage("E ellipse ry=\"\" :Invalid value at 2(1)"));
    EXPECT_TRUE(HasMessage("E ellipse rx=\"-1\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E ellipse ry=\"x\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E ellipse ry=\"-2\" :Invalid value at 4(1)"));
    EXPECT_TRUE(HasMessage("E ellipse cx=\"q\" :Invalid value at 5(1)"));
    EXPECT_TRUE(HasMessage("E ellipse cy=\"r\" :Invalid value at 5(1)"));
    EXPECT_EQ(Messages().size(), 9u);
    EXPECT_FALSE(Drawn("none"));
    EXPECT_FALSE(Drawn("bad"));
    EXPECT_FALSE(Drawn("oneBad"));
    EXPECT_FALSE(Drawn("zero"));  // a zero radius draws nothing, quietly
}

// --- line, polyline, polygon, path ----------------------------------------------------

TEST_F(ShapeTest, LineMessagesAndAMissingY2IsQuietlyZero)
{
    Load("\n<line id='empty'/>"
         "\n<line id='bad' x1='a' y1='b' x2='c' y2='d'/>"
         "\n<line id='ok' x1='1' y1='2' x2='3'/>");
    EXPECT_TRUE(HasMessage("W line 'x1' :NOT difined.(using 0) at 2(1)"));
    EXPECT_TRUE(HasMessage("W line 'y1' :NOT difined.(using 0) at 2(1)"));
    EXPECT_TRUE(HasMessage("W line 'x2' :NOT difined.(using 0) at 2(1)"));
    EXPECT_TRUE(HasMessage("E line x1=\"a\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E line y1=\"b\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E line x2=\"c\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E line y2=\"d\" :Invalid value at 3(1)"));
    EXPECT_EQ(Messages().size(), 7u);
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
    EXPECT_TRUE(HasMessage("E polyline 'points' NOT defined at 2(1)"));
    EXPECT_TRUE(HasMessage("E polygon points=\"a,b\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E path 'd' NOT defined at 4(1)"));
    EXPECT_TRUE(HasMessage("E path 'd' NOT defined at 5(4)"));
    // Empty path data is no error: the path is empty.
    EXPECT_EQ(Messages().size(), 4u);
    EXPECT_FALSE(Drawn("noPoints"));
    EXPECT_FALSE(Drawn("badPoints"));
    EXPECT_FALSE(Drawn("noD"));
}

TEST_F(ShapeTest, PolygonClosesItsFigureAndAnUnpairedNumberIsDropped)
{
    Load("<polyline id='open' points='0,0 10,10 20'/><polygon id='closed' points='0,0 10,0 10,10'/>"
         "<g d='M0 0 L5 5'><path id='inherited' d='inherit'/></g>");
    EXPECT_EQ(OnlyPath("open").Size(), 2u);
    EXPECT_FALSE(OnlyPath("open").types[1] & PathPoint::kClose);
    EXPECT_EQ(OnlyPath("closed").types[2], L | PathPoint::kClose);
    EXPECT_EQ(OnlyPath("inherited").Size(), 2u);
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
    EXPECT_EQ(all.markerStart, m);
    EXPECT_EQ(all.markerMid, m);
    EXPECT_EQ(all.markerEnd, m2);
    ASSERT_EQ(all.markers.size(), 3u);
    EXPECT_EQ(all.markers[0].kind, MarkerKind::Start);
    EXPECT_EQ(all.markers[1].kind, MarkerKind::Mid);
    EXPECT_NEAR(all.markers[1].angle, 45, 1e-3);
    EXPECT_EQ(all.markers[2].kind, MarkerKind::End);

    // The `marker` attribute is no presentation attribute: it is not even read.
    EXPECT_TRUE(HasMessage("E path marker-start=\"url(#missing)\" NOT refer element 'marker' at 3(1)"));
    EXPECT_TRUE(HasMessage("E path marker-mid=\"url(#notMarker)\" NOT refer element 'marker' at 3(1)"));
    EXPECT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Shape("bad").markerStart, nullptr);
    EXPECT_TRUE(Shape("bad").markers.empty());

    EXPECT_EQ(Shape("inherited").markerStart, m);
    EXPECT_EQ(Shape("inherited").markers.size(), 2u);
    // Only path, line, polyline and polygon carry markers.
    EXPECT_EQ(Shape("rect").markerStart, nullptr);
    EXPECT_TRUE(Shape("rect").markers.empty());
}

TEST_F(ShapeTest, LineMarkersBothPointAlongTheLine)
{
    Load("<marker id='m'/><line id='l' x1='10' y1='10' x2='0' y2='20' marker-start='url(#m)' marker-end='url(#m)'/>");
    const CElemShape& line = Shape("l");
    ASSERT_EQ(line.markers.size(), 2u);
    EXPECT_EQ(line.markers[0].kind, MarkerKind::Start);
    EXPECT_EQ(line.markers[1].kind, MarkerKind::End);
    EXPECT_FLOAT_EQ(line.markers[0].x, 10);
    EXPECT_FLOAT_EQ(line.markers[1].y, 20);
    EXPECT_NEAR(line.markers[0].angle, 135, 1e-4);
    EXPECT_NEAR(line.markers[1].angle, 135, 1e-4);
}

// --- Painting -------------------------------------------------------------------------

TEST_F(ShapeTest, FilledRectPaintsInsideOnly)
{
    Load("<rect x='10' y='10' width='30' height='20' fill='red'/>", "width='100' height='100'");
    Paint();
    EXPECT_EQ(Pixel(10, 10), kRed);
    EXPECT_EQ(Pixel(39, 29), kRed);
    EXPECT_EQ(Alpha(9, 20), 0);
    EXPECT_EQ(Alpha(40, 20), 0);
    EXPECT_EQ(Alpha(20, 30), 0);
}

TEST_F(ShapeTest, EvenOddLeavesAHoleAndNonZeroDoesNot)
{
    const std::string squares = "d='M0 0 H40 V40 H0 Z M10 10 H30 V30 H10 Z'";
    Load("<path fill-rule='evenodd' fill='blue' " + squares + "/><path transform='translate(50 0)' " + squares +
             "/>",
         "width='100' height='100'");
    Paint();
    EXPECT_EQ(Pixel(5, 5), kBlue);
    EXPECT_EQ(Alpha(20, 20), 0);
    EXPECT_EQ(Pixel(70, 20), (Rgba{0, 0, 0, 255}));
}

TEST_F(ShapeTest, StrokeIsCentredOnTheOutlineWithItsWidth)
{
    Load("<line x1='10' y1='20' x2='90' y2='20' stroke='green' stroke-width='4'/>", "width='100' height='100'");
    Paint();
    EXPECT_EQ(Pixel(50, 18), kGreen);
    EXPECT_EQ(Pixel(50, 21), kGreen);
    EXPECT_EQ(Alpha(50, 17), 0);
    EXPECT_EQ(Alpha(50, 22), 0);
    EXPECT_EQ(Alpha(9, 20), 0);  // butt caps
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
    EXPECT_EQ(Pixel(2, 9), kBlue);
    EXPECT_EQ(Alpha(5, 9), 0);
    EXPECT_EQ(Alpha(6, 9), 0);
    EXPECT_EQ(Pixel(10, 9), kBlue);
    EXPECT_EQ(Alpha(14, 9), 0);
    EXPECT_EQ(Pixel(18, 9), kBlue);
    // Round caps reach one half width beyond each dash end, into the gaps.
    EXPECT_GT(Alpha(5, 29), 128);
    EXPECT_EQ(Alpha(6, 29), 0);
    EXPECT_GT(Alpha(7, 29), 128);
    EXPECT_GT(Alpha(12, 29), 128);
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
    EXPECT_TRUE(Empty(17, 17));
    EXPECT_TRUE(Empty(82, 82));
    EXPECT_TRUE(Empty(50, 20));
    // The empty dash goes, the rest keeps its place: a dash from 20 to 50.
    EXPECT_TRUE(Empty(15, 95));
    EXPECT_EQ(Pixel(25, 95), kBlue);
    EXPECT_EQ(Pixel(45, 95), kBlue);
    EXPECT_TRUE(Empty(55, 95));
    // Round caps make an empty dash a dot.
    EXPECT_EQ(Pixel(30, 5), kBlue);
    EXPECT_TRUE(Empty(40, 5));
    // A dot on a corner is a dot, without the corner's miter.
    EXPECT_EQ(Pixel(60, 40), kBlue);
    EXPECT_TRUE(Empty(64, 36));
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
    EXPECT_EQ(Pixel(16, 16), kBlue);
    EXPECT_EQ(Pixel(23, 23), kBlue);
    EXPECT_TRUE(Empty(26, 20));
    EXPECT_EQ(Pixel(46, 23), kBlue);  // the square cap of a line in the same path
    EXPECT_EQ(Pixel(83, 16), kBlue);
    // The square turns with the user space: its corners point along the axes.
    EXPECT_EQ(Pixel(20, 47), kBlue);
    EXPECT_TRUE(Empty(11, 51));
    EXPECT_TRUE(Empty(50, 60));
    EXPECT_TRUE(Empty(80, 60));
}

TEST_F(ShapeTest, ClosedLoneMovesAreDotsWithRoundAndSquareCaps)
{
    Load("<path d='M20 20 Z' stroke='blue' stroke-width='10' stroke-linecap='round'/>"
         "<path d='M50 20 Z' stroke='blue' stroke-width='10' stroke-linecap='square'/>"
         "<path d='M80 20 Z' stroke='blue' stroke-width='10' stroke-linecap='butt'/>",
         "width='100' height='40'");
    Paint();
    EXPECT_EQ(Pixel(20, 20), kBlue);
    EXPECT_TRUE(Empty(15, 15));  // round: the corner of its box stays empty
    EXPECT_EQ(Pixel(46, 16), kBlue);
    EXPECT_TRUE(Empty(80, 20));
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
    EXPECT_EQ(Pixel(79, 33), kRed);
    EXPECT_EQ(Alpha(79, 26), 0);
    EXPECT_EQ(Pixel(15, 69), kRed);
    EXPECT_EQ(Alpha(9, 75), 0);
    EXPECT_EQ(Alpha(25, 69), 0);
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
    EXPECT_EQ(Alpha(25, 25), 0);
    EXPECT_EQ(Alpha(75, 75), 0);
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
    EXPECT_EQ(Pixel(20, 20), (Rgba{0, 255, 0, 255}));  // a one-stop gradient is its colour
    EXPECT_EQ(Pixel(20, 70), kRed);
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
    CElemShape& filled = Shape("filled");
    EXPECT_EQ(vexo_test::HitTestAt(filled, 120, 20), &filled);
    EXPECT_EQ(vexo_test::HitTestAt(filled, 20, 20), nullptr);
    CElemShape& outline = Shape("outline");
    EXPECT_EQ(vexo_test::HitTestAt(outline, 20, 60), nullptr);
    EXPECT_EQ(vexo_test::HitTestAt(outline, 11, 60), &outline);
    EXPECT_EQ(vexo_test::HitTestAt(outline, 8.5, 60), &outline);
    EXPECT_EQ(vexo_test::HitTestAt(outline, 7.5, 60), nullptr);
    CElemShape& hole = Shape("hole");
    EXPECT_EQ(vexo_test::HitTestAt(hole, 5, 105), &hole);
    EXPECT_EQ(vexo_test::HitTestAt(hole, 20, 120), nullptr);
    EXPECT_EQ(vexo_test::HitTestAt(Shape("gone"), 5, 5), nullptr);
}
