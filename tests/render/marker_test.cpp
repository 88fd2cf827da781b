// Markers: placement and orientation, markerUnits, viewBox and reference
// point, overflow clipping, what the content inherits, messages, cycles and
// nesting bounds, hit testing. Pictures are recorded and replayed 1:1 into a
// 100 x 100 image.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <string>

#include "model/document.h"
#include "render/render.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

// A bar 8 long and 2 wide from the vertex along the marker's +x axis: it
// shows where a marker is and which way it points.
std::string Bar(const std::string& id, const std::string& orient)
{
    return "<marker id='" + id + "' markerUnits='userSpaceOnUse' overflow='visible' orient='" + orient +
           "'><rect y='-1' width='8' height='2' fill='blue'/></marker>";
}

// A 6 x 6 square of `color` centred on the vertex.
std::string Square(const std::string& id, const std::string& color)
{
    return "<marker id='" + id + "' markerUnits='userSpaceOnUse' markerWidth='6' markerHeight='6' refX='3' refY='3'>"
           "<rect width='6' height='6' fill='" + color + "'/></marker>";
}

class MarkerTest : public vexo_test::PictureProbe {
protected:
    void Load(const std::string& body) { ASSERT_NE(PictureProbe::Load(body), nullptr); }

    void LoadAndPaint(const std::string& body)
    {
        Load(body);
        Paint();
    }

    int CountMessagesWith(const std::string& part)
    {
        int count = 0;
        for (const std::string& message : Messages())
            count += message.find(part) != std::string::npos;
        return count;
    }

};

}  // namespace

TEST_F(MarkerTest, PlacesStartMidAndEndMarkers)
{
    LoadAndPaint(Square("s", "red") + Square("m", "green") + Square("e", "blue") +
                 "<polyline points='10,10 50,10 50,50 90,50' fill='none' "
                 "marker-start='url(#s)' marker-mid='url(#m)' marker-end='url(#e)'/>"
                 // The shorthand (CSS only) sets all three; a specific property after it overrides it.
                 "<path d='M10 80 L50 80 L90 80' style='marker:url(#s); marker-end:url(#e)'/>"
                 // As an attribute it is no presentation attribute and sets nothing.
                 "<path d='M10 95 L50 95 L90 95' marker='url(#s)'/>");
    ExpectPixels({{10, 10, kRed}, {50, 10, kGreen}, {50, 50, kGreen}, {90, 50, kBlue}, {30, 10, kEmpty}});
    ExpectPixels({{14, 10, kEmpty}, {10, 80, kRed}, {50, 80, kRed}, {90, 80, kBlue}, {10, 95, kEmpty}});
    ExpectPixels({{50, 95, kEmpty}});
}

TEST_F(MarkerTest, OrientAutoFollowsThePath)
{
    LoadAndPaint(Bar("bar", "auto") +
                 // Straight down: the start bar points down.
                 "<path d='M20 10 L20 40' marker-start='url(#bar)'/>"
                 // A right-angle corner: the mid bar points at 45 degrees.
                 "<polyline points='40,50 70,50 70,90' fill='none' marker-mid='url(#bar)'/>"
                 // Back at (10, 70) the end follows the closing line alone,
                 // heading up-left (-135 degrees).
                 "<path d='M10 70 L30 70 L30 90 Z' fill='none' marker-end='url(#bar)'/>"
                 // Both markers of a line point from its first point to its second.
                 "<line x1='20' y1='30' x2='60' y2='30' marker-start='url(#bar)' marker-end='url(#bar)'/>");
    ExpectPixels({{20, 16, kBlue}, {26, 10, kEmpty}, {74, 54, kBlue}, {76, 50, kEmpty}, {70, 56, kEmpty}});
    ExpectPixels({{6, 66, kBlue}, {12, 64, kEmpty}, {16, 70, kEmpty}, {26, 30, kBlue}, {66, 30, kBlue}});
    ExpectPixels({{14, 30, kEmpty}});
}

TEST_F(MarkerTest, FixedOrientTakesAngleUnits)
{
    // The paths head right; every fixed angle turns its bar down.
    LoadAndPaint(Bar("deg", "90") + Bar("rad", "1.5707963rad") + Bar("grad", "100grad") +
                 "<path d='M10 20 L15 20' marker-start='url(#deg)'/>"
                 "<path d='M30 20 L35 20' marker-start='url(#rad)'/>"
                 "<path d='M50 20 L55 20' marker-start='url(#grad)'/>");
    ExpectPixels({{10, 26, kBlue}, {30, 26, kBlue}, {50, 26, kBlue}, {16, 20, kEmpty}});
}

TEST_F(MarkerTest, StrokeWidthUnitsScaleTheMarker)
{
    // A 3 x 3 marker filled by its content covers 12 x 12 with a stroke width of 4.
    const std::string content = "<rect width='3' height='3' fill='blue'/></marker>";
    LoadAndPaint("<marker id='sw'>" + content + "<marker id='user' markerUnits='userSpaceOnUse'>" + content +
                 "<path d='M10 10 L20 10' stroke-width='4' marker-start='url(#sw)'/>"
                 "<path d='M50 10 L60 10' stroke-width='4' marker-start='url(#user)'/>"
                 // Scaled to nothing; the picture goes on after it.
                 "<path d='M10 50 L20 50' stroke-width='0' marker-start='url(#sw)'/>"
                 "<rect x='50' y='50' width='5' height='5' fill='red'/>");
    ExpectPixels({{21, 21, kBlue}, {23, 23, kEmpty}, {52, 12, kBlue}, {54, 12, kEmpty}, {10, 50, kEmpty}});
    EXPECT_EQ(Pixel(52, 52), kRed);
}

TEST_F(MarkerTest, ViewBoxScalesAroundTheReferencePoint)
{
    // Doubled by the viewBox; (5, 5) of the content lands on the vertex.
    LoadAndPaint("<marker id='vb' markerUnits='userSpaceOnUse' markerWidth='20' markerHeight='20' "
                 "viewBox='0 0 10 10' refX='5' refY='5'><rect x='5' y='5' width='5' height='5' fill='blue'/></marker>"
                 // A tall viewBox centred in a square viewport moves the viewport
                 // (x -5..15, y 0..20 of the content) but not the reference point.
                 "<marker id='tall' markerUnits='userSpaceOnUse' markerWidth='20' markerHeight='20' "
                 "viewBox='0 0 10 20'><rect x='-10' y='-10' width='30' height='40' fill='red'/></marker>"
                 "<path d='M30 30 L40 30' marker-start='url(#vb)'/>"
                 "<path d='M70 30 L80 30' marker-start='url(#tall)'/>");
    ExpectPixels({{31, 31, kBlue}, {39, 39, kBlue}, {41, 41, kEmpty}, {29, 29, kEmpty}, {66, 31, kRed}});
    ExpectPixels({{84, 49, kRed}, {64, 31, kEmpty}, {86, 31, kEmpty}, {71, 29, kEmpty}});
}

TEST_F(MarkerTest, ContentIsClippedToTheViewportUnlessOverflowIsVisible)
{
    const std::string marker = "markerUnits='userSpaceOnUse' markerWidth='10' markerHeight='10' refX='5' refY='5'>"
                               "<rect x='-50' y='-50' width='100' height='100' fill='blue'/></marker>";
    LoadAndPaint("<marker id='hidden' " + marker + "<marker id='auto' overflow='auto' " + marker +
                 "<path d='M20 20 L25 20' marker-start='url(#hidden)'/>"
                 "<path d='M80 80 L85 80' marker-start='url(#auto)'/>");
    EXPECT_EQ(Pixel(24, 24), kBlue);
    ExpectPixels({{26, 20, kEmpty}, {20, 14, kEmpty}});
    EXPECT_EQ(Pixel(31, 31), kBlue);
}

TEST_F(MarkerTest, ContentInheritsFromTheMarkerAndFadesWithTheShape)
{
    const std::string content = "markerUnits='userSpaceOnUse' markerWidth='6' markerHeight='6' refX='3' refY='3'>"
                                "<rect width='6' height='6'/><rect width='3' height='3' fill='red' display='none'/>"
                                "</marker>";
    LoadAndPaint("<g fill='blue' display='none'><marker id='hidden' " + content + "</g>" +
                 "<g fill='blue'><marker id='shown' " + content + "</g>" +
                 "<path d='M20 20 L40 20' fill='red' stroke='red' marker-start='url(#hidden)'/>"
                 "<path d='M20 60 L40 60' fill='red' stroke='red' marker-start='url(#shown)'/>"
                 "<path d='M70 20 L90 20' opacity='0.5' marker-start='url(#shown)'/>"
                 "<path d='M70 60 L90 60' visibility='hidden' marker-start='url(#shown)'/>");
    // Drawn though its group is not displayed; blue from the marker's
    // ancestors, not red from the shape; a child not displayed stays hidden.
    ExpectPixels({{18, 18, kBlue}, {21, 22, kBlue}, {18, 58, kBlue}});
    EXPECT_NEAR(Argb(70, 20) >> 24, 128, 1);
    EXPECT_TRUE(Empty(70, 60));
}

TEST_F(MarkerTest, SizesAndValuesAreCheckedWithMessages)
{
    const std::string content = "><rect width='6' height='6' fill='blue'/></marker>";
    LoadAndPaint("\n<marker id='neg' markerWidth='6' markerHeight='-1'" + content +
                 "\n<marker id='zero' markerWidth='0' markerHeight='6'" + content +
                 "\n<marker id='bad' refX='abc' refY='3' markerWidth='6' markerHeight='6' markerUnits='qwe' "
                 "orient='sideways' viewBox='0 0 0 5' preserveAspectRatio='defer'" +
                 content +
                 "\n<path d='M10 10 L20 10' marker-start='url(#neg)'/>"
                 "<path d='M40 10 L50 10' marker-start='url(#zero)'/>"
                 "<path d='M70 10 L80 10' stroke-width='2' marker-start='url(#bad)'/>");
    ExpectMessages(
        {"E marker markerHeight=\"-1\" :Invalid value at 2(1)", "E marker refX=\"abc\" :Invalid value at 4(1)",
         "E marker markerUnits=\"qwe\" :Invalid value at 4(1)", "E marker orient=\"sideways\" :Invalid value at 4(1)",
         "E marker viewBox=\"0 0 0 5\" :Invalid value at 4(1)",
         "E marker preserveAspectRatio=\"defer\" :Invalid value at 4(1)"});
    ExpectPixels({{10, 10, kEmpty}, {40, 10, kEmpty}});
    // The bad marker still draws: refX 0, orient 0, no viewBox, and
    // strokeWidth units doubling it to 12 x 12 from 6 above the vertex.
    ExpectPixels({{72, 5, kBlue}, {81, 15, kBlue}, {68, 8, kEmpty}, {83, 8, kEmpty}});
}

TEST_F(MarkerTest, MarkersMetAgainInTheirOwnContentAreSkippedWithOneMessage)
{
    LoadAndPaint("<marker id='m' markerUnits='userSpaceOnUse' overflow='visible'>\n"
                 "<path d='M0 0 L10 0 L20 0' stroke='blue' stroke-width='2' style='marker:url(#m)'/></marker>"
                 "<marker id='a' markerUnits='userSpaceOnUse' overflow='visible'>"
                 "<path d='M0 0 L5 0' stroke='blue' marker-end='url(#b)'/></marker>"
                 "<marker id='b' markerUnits='userSpaceOnUse' overflow='visible'>"
                 "<path d='M0 0 L0 5' stroke='blue' stroke-width='2' marker-end='url(#a)'/></marker>"
                 "<path d='M20 20 L40 20 L60 20' style='marker:url(#m)'/>"
                 "<path d='M20 60 L40 60' marker-end='url(#a)'/>");
    EXPECT_TRUE(HasMessage("F path marker-start=\"url(#m)\" : Cyclic reference at 2(1)"));
    EXPECT_TRUE(HasMessagePrefix("F path marker-end=\"url(#a)\" : Cyclic reference at"));
    EXPECT_EQ(CountMessagesWith("Cyclic"), 2);
    // The outer instances draw their content without the inner markers.
    ExpectPixels({{25, 20, kBlue}, {45, 20, kBlue}, {45, 63, kBlue}});
}

TEST_F(MarkerTest, NestedMarkersAreBoundedInCostAndDepth)
{
    auto points = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += std::to_string(i % 2) + "," + std::to_string(i) + " ";
        return text;
    };
    // Six levels of markers on 40-vertex paths would be 4 billion instances;
    // the innermost content, a long path that paints nothing, makes each one
    // costly to count but cheap to draw.
    std::string bomb = "<marker id='b0'><polyline points='" + points(5000) + "' fill='none'/></marker>";
    for (int level = 1; level <= 6; ++level)
        bomb += "<marker id='b" + std::to_string(level) + "'><polyline points='" + points(40) +
                "' fill='none' style='marker:url(#b" + std::to_string(level - 1) + ")'/></marker>";
    bomb += "<polyline points='" + points(40) + "' style='marker:url(#b6)'/>";
    Load(bomb);
    Current().Record();
    EXPECT_EQ(CountMessagesWith("\" :Too many instances at"), 1);

    // Each marker's content places the next one: 300 levels of recursion.
    std::string chain;
    for (int level = 0; level < 300; ++level)
        chain += "<marker id='c" + std::to_string(level) + "'><path d='M0 0 L1 0' marker-start='url(#c" +
                 std::to_string(level + 1) + ")'/></marker>";
    chain += "<path d='M10 10 L20 10' marker-start='url(#c0)'/>";
    Load(chain);
    Current().Record();
    EXPECT_TRUE(HasMessagePrefix("E path too deeply nested at "));
}

TEST_F(MarkerTest, HitTestingFindsTheShapeThroughItsMarkers)
{
    Load(Square("m", "blue") + "<path id='p' d='M20 20 L40 20' fill='none' marker-start='url(#m)'/>");
    CElem* shape = Find("#p");
    EXPECT_EQ(vexo_test::HitTestAt(*document_, 21, 21), shape);
    EXPECT_EQ(vexo_test::HitTestAt(*document_, 30, 20), nullptr);
    EXPECT_EQ(vexo_test::HitTestAt(*document_, 25, 25), nullptr);
}
