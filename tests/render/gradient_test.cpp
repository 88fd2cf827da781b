// Gradients: stops (clamping, order, colours, inheritance through
// xlink:href), attributes along the chain, the messages, and the painted
// pixels of spread methods, focal points, units, transforms and strokes.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/document.h"
#include "render/canvas.h"
#include "render/render.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

class GradientTest : public vexo_test::PictureProbe {
protected:
    void Load(const std::string& body) { ASSERT_NE(PictureProbe::Load(body), nullptr); }

    CElemGradient& Gradient(const std::string& id)
    {
        CElem* elem = Find("#" + id);
        EXPECT_TRUE(elem != nullptr && elem->IsA(ElemClass::Gradient)) << id;
        return *static_cast<CElemGradient*>(elem);
    }

    int Red(int x, int y) const { return Pixel(x, y).r; }
};

// A black-to-white ramp along x in user space, from x1 to x2.
std::string Ramp(const std::string& id, const std::string& attributes)
{
    return "<linearGradient id='" + id + "' gradientUnits='userSpaceOnUse' " + attributes +
           "><stop offset='0' stop-color='black'/><stop offset='1' stop-color='white'/></linearGradient>";
}

}  // namespace

// --- Stops -------------------------------------------------------------------------------

TEST_F(GradientTest, StopOffsetsAreClampedAndNeverRunBackwards)
{
    Load("<linearGradient id='g'>"
         "\n<stop offset='30%'/>"
         "\n<stop offset='-1'/>"
         "\n<stop offset='0.5'/>"
         "\n<stop offset='0.2'/>"
         "\n<stop offset='5mm'/>"
         "\n<stop offset='2'/>"
         "</linearGradient>");
    const CElemGradient& g = Gradient("g");
    // The first stop is repeated at 0; -1 clamps to 0 and then rises to the
    // 0.3 before it, as do 0.2 and the unreadable 5mm after 0.5.
    ASSERT_EQ(g.stops.size(), 7u);
    const float expected[] = {0, 0.3f, 0.3f, 0.5f, 0.5f, 0.5f, 1};
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_FLOAT_EQ(g.stops[i].offset, expected[i]) << i;
    EXPECT_TRUE(HasMessage("E linearGradient stop offset=\"-1\" :offset NOT in acsending order at 3(1)"));
    EXPECT_EQ(CountMessages("E linearGradient stop offset=\"0.2\" :offset NOT in acsending order at 5(1)"), 1);
    EXPECT_TRUE(HasMessage("W stop offset=\"5mm\" :Invalid value at 6(1)"));
    EXPECT_FALSE(HasMessagePrefix("E linearGradient stop offset=\"2\""));
}

TEST_F(GradientTest, StopColoursOpacitiesCurrentColorAndInherit)
{
    Load("<g color='blue' stop-color='red'><linearGradient id='g' stop-color='lime' stop-opacity='0.5'>"
         "<stop stop-color='currentColor'/><stop offset='0.2' stop-color='inherit' stop-opacity='inherit'/>"
         "<stop offset='0.4' stop-opacity='50%'/><stop offset='0.6' stop-opacity='3'/>"
         "<stop offset='0.8' stop-color='nonsense'/></linearGradient></g>");
    const CElemGradient& g = Gradient("g");
    ASSERT_EQ(g.stops.size(), 5u);
    EXPECT_EQ(g.stops[0].color, kBlue);
    EXPECT_FLOAT_EQ(g.stops[0].opacity, 1);
    // inherit takes the gradient's value; stop properties are not inherited further.
    EXPECT_EQ(g.stops[1].color, kLime);
    EXPECT_FLOAT_EQ(g.stops[1].opacity, 0.5f);
    EXPECT_EQ(g.stops[2].color, (Rgba{0, 0, 0, 255}));
    EXPECT_FLOAT_EQ(g.stops[2].opacity, 0.5f);
    EXPECT_FLOAT_EQ(g.stops[3].opacity, 1);
    EXPECT_EQ(g.stops[4].color, (Rgba{0, 0, 0, 255}));
}

TEST_F(GradientTest, StopsAndAttributesComeAlongTheHrefChain)
{
    Load("<linearGradient id='base' x1='0.25' spreadMethod='repeat' gradientUnits='userSpaceOnUse'>"
         "<stop offset='0' stop-color='red'/><stop offset='1' stop-color='blue'/></linearGradient>"
         "<linearGradient id='middle' xlink:href='#base' x2='0.75'/>"
         "<linearGradient id='top' xlink:href='#middle' x1='0.1'/>"
         "<radialGradient id='radial' xlink:href='#top' cy='0.3'/>"
         "<linearGradient id='own' xlink:href='#base'><stop offset='0' stop-color='lime'/></linearGradient>");
    const CElemGradient& top = Gradient("top");
    EXPECT_FLOAT_EQ(top.x1, 0.1f);
    EXPECT_FLOAT_EQ(top.x2, 0.75f);
    EXPECT_EQ(top.spread, SpreadMethod::Repeat);
    EXPECT_EQ(top.units, Units::UserSpaceOnUse);
    ASSERT_EQ(top.stops.size(), 2u);
    EXPECT_EQ(top.stops[1].color, kBlue);
    // A radial gradient takes the shared attributes and the stops from a
    // linear one, but no geometry.
    const CElemGradient& radial = Gradient("radial");
    EXPECT_EQ(radial.spread, SpreadMethod::Repeat);
    EXPECT_EQ(radial.stops.size(), 2u);
    EXPECT_FLOAT_EQ(radial.cy, 0.3f);
    // Its own stops win over the referenced ones.
    ASSERT_EQ(Gradient("own").stops.size(), 1u);
    EXPECT_EQ(Gradient("own").stops[0].color, kLime);
}

TEST_F(GradientTest, LoopsInTheChainEndItWhicheverGradientIsPreparedFirst)
{
    Load("\n<linearGradient id='a' xlink:href='#b'/>"
         "\n<linearGradient id='b' xlink:href='#c' x1='0.3'><stop stop-color='red'/><stop offset='1'/></linearGradient>"
         "\n<linearGradient id='c' xlink:href='#a'/>"
         "\n<linearGradient id='self' xlink:href='#self'><stop/></linearGradient>");
    // c is prepared inside a's and b's preparation, yet still finds b's stops.
    for (const char* id : {"a", "b", "c"}) {
        EXPECT_EQ(Gradient(id).stops.size(), 2u) << id;
        EXPECT_FLOAT_EQ(Gradient(id).x1, 0.3f) << id;
    }
    // Each member reports the link that closes the loop back to it, once.
    ExpectMessagesOnce({"F linearGradient xlink:href=\"#a\" : Cyclic reference at 4(1)",
                        "F linearGradient xlink:href=\"#b\" : Cyclic reference at 2(1)",
                        "F linearGradient xlink:href=\"#c\" : Cyclic reference at 3(1)",
                        "F linearGradient xlink:href=\"#self\" : Cyclic reference at 5(1)"});
}

// --- Attributes and messages -------------------------------------------------------------

TEST_F(GradientTest, InvalidAttributesAreReportedOnceAndDefaulted)
{
    Load("\n<linearGradient id='l' gradientUnits='strokeWidth' spreadMethod='mirror' gradientTransform='rotate('"
         " x1='left' xlink:href='#missing'/>"
         "\n<radialGradient id='r' r='-5' xlink:href='#shape'/>"
         "\n<rect id='shape' width='1' height='1'/>");
    const CElemGradient& l = Gradient("l");
    EXPECT_EQ(l.units, Units::ObjectBoundingBox);
    EXPECT_EQ(l.spread, SpreadMethod::Pad);
    EXPECT_TRUE(l.gradientTransform.IsIdentity());
    EXPECT_FLOAT_EQ(l.x1, 0);
    EXPECT_FLOAT_EQ(l.x2, 1);
    ExpectMessagesInclude({"E linearGradient gradientUnits=\"strokeWidth\" :Invalid value at 2(1)",
                           "E linearGradient spreadMethod=\"mirror\" :Invalid value at 2(1)",
                           "E linearGradient gradientTransform=\"rotate(\" :Invalid value at 2(1)",
                           "E linearGradient x1=\"left\" :Invalid value at 2(1)"});
    // Every missing attribute would follow the broken link again.
    EXPECT_EQ(CountMessages("E linearGradient xlink:href=\"#missing\" :Link NOT found at 2(1)"), 1);

    const CElemGradient& r = Gradient("r");
    EXPECT_FLOAT_EQ(r.r, 0.5f);
    EXPECT_FLOAT_EQ(r.fx, 0.5f);
    EXPECT_TRUE(HasMessage("E radialGradient r=\"-5\": must be positive value at 3(1)"));
    EXPECT_EQ(CountMessages("E radialGradient xlink:href=\"#shape\" :NOT refer to element 'radialGradient' at 3(1)"),
              1);
}

TEST_F(GradientTest, UserSpaceDefaultsResolveAgainstTheViewport)
{
    Load("<linearGradient id='l' gradientUnits='userSpaceOnUse'/>"
         "<radialGradient id='r' gradientUnits='userSpaceOnUse' cx='20%' fy='10'/>");
    EXPECT_FLOAT_EQ(Gradient("l").x2, 100);
    EXPECT_FLOAT_EQ(Gradient("l").y2, 0);
    const CElemGradient& r = Gradient("r");
    EXPECT_FLOAT_EQ(r.cx, 20);
    EXPECT_FLOAT_EQ(r.cy, 50);
    EXPECT_FLOAT_EQ(r.fx, 20);  // fx defaults to cx
    EXPECT_FLOAT_EQ(r.fy, 10);
    EXPECT_NEAR(r.r, 50, 1e-4);  // half the normalised diagonal of 100 x 100
}

// --- Painting ----------------------------------------------------------------------------

TEST_F(GradientTest, SpreadMethodsBeyondTheVector)
{
    Load(Ramp("pad", "x2='20'") + Ramp("reflect", "x2='20' spreadMethod='reflect'") +
         Ramp("repeat", "x2='20' spreadMethod='repeat'") +
         "<rect width='100' height='10' fill='url(#pad)'/>"
         "<rect y='10' width='100' height='10' fill='url(#reflect)'/>"
         "<rect y='20' width='100' height='10' fill='url(#repeat)'/>");
    Paint();
    // Pixel 25 is a quarter into the second cycle.
    EXPECT_EQ(Red(25, 5), 255);
    EXPECT_EQ(Red(95, 5), 255);
    EXPECT_NEAR(Red(25, 15), 185, 4);  // reflected: 0.75
    EXPECT_NEAR(Red(25, 25), 70, 4);   // repeated: 0.25
    EXPECT_NEAR(Red(5, 25), 70, 4);
}

TEST_F(GradientTest, StopsBeforeTheFirstOffsetHoldTheFirstColourInEveryCycle)
{
    Load("<linearGradient id='g' gradientUnits='userSpaceOnUse' x2='20' spreadMethod='repeat'>"
         "<stop offset='0.5' stop-color='red'/><stop offset='0.75' stop-color='blue'/></linearGradient>"
         "<rect width='100' height='10' fill='url(#g)'/>");
    Paint();
    ExpectPixels({{22, 5, kRed}, {38, 5, kBlue}});
}

TEST_F(GradientTest, FocalPointOutsideTheCirclePaintsTheConeTouchingBoth)
{
    Load("<radialGradient id='g' gradientUnits='userSpaceOnUse' cx='50' cy='50' r='20' fx='95' fy='50'>"
         "<stop offset='0' stop-color='red'/><stop offset='1' stop-color='blue'/></radialGradient>"
         "<rect width='100' height='100' fill='url(#g)'/>");
    Paint();
    // Behind the focal point and outside the cone's sides nothing is painted;
    // inside it the circles grow past the last stop in its colour.
    ExpectPixels({{99, 50, kEmpty}, {0, 0, kEmpty}, {50, 50, kBlue}, {0, 50, kBlue}});
    EXPECT_GT(Red(92, 50), 200);
}

TEST_F(GradientTest, ObjectBoundingBoxFollowsEachShapeAndUserSpaceDoesNot)
{
    Load("<linearGradient id='box'><stop offset='0' stop-color='black'/><stop offset='1' stop-color='white'/>"
         "</linearGradient>" +
         Ramp("user", "x2='100'") +
         "<rect width='20' height='10' fill='url(#box)'/><rect x='60' width='20' height='10' fill='url(#box)'/>"
         "<rect y='20' width='20' height='10' fill='url(#user)'/>"
         "<rect x='60' y='20' width='20' height='10' fill='url(#user)'/>");
    Paint();
    EXPECT_LT(Red(60, 5), 20);
    EXPECT_GT(Red(79, 5), 235);
    EXPECT_NEAR(Red(60, 25), 153, 4);
    EXPECT_NEAR(Red(79, 25), 202, 4);
}

TEST_F(GradientTest, GradientTransformTurnsTheGradient)
{
    Load("<linearGradient id='g' gradientTransform='rotate(90)'>"
         "<stop offset='0' stop-color='red'/><stop offset='1' stop-color='blue'/></linearGradient>"
         "<rect x='10' y='10' width='80' height='80' fill='url(#g)'/>");
    Paint();
    EXPECT_EQ(Pixel(10, 10), Pixel(89, 10));
    EXPECT_GT(Red(50, 10), 240);
    EXPECT_LT(Red(50, 89), 15);
}

TEST_F(GradientTest, SolidCasesPaintTheLastStop)
{
    Load("<linearGradient id='one'><stop offset='0.5' stop-color='red'/></linearGradient>"
         "<linearGradient id='point' x2='0'><stop stop-color='red'/><stop offset='1' stop-color='blue'/>"
         "</linearGradient>"
         "<radialGradient id='zero' r='0'><stop stop-color='red'/><stop offset='1' stop-color='blue'/>"
         "</radialGradient>"
         "<linearGradient id='none'/>"
         "<rect width='20' height='20' fill='url(#one)'/><rect x='20' width='20' height='20' fill='url(#point)'/>"
         "<rect x='40' width='20' height='20' fill='url(#zero)'/>"
         "<rect x='60' width='20' height='20' fill='url(#none) red'/>");
    Paint();
    ExpectPixels({{10, 10, kRed}, {30, 10, kBlue}, {50, 10, kBlue}});
    // Without stops the paint is none, whatever the fallback.
    EXPECT_TRUE(Empty(70, 10));
}

TEST_F(GradientTest, OpacityIsStopOpacityTimesFillOrStrokeOpacity)
{
    Load("<linearGradient id='g'><stop stop-color='red' stop-opacity='0.5'/></linearGradient>"
         "<rect width='20' height='20' fill='url(#g)' fill-opacity='0.5'/>"
         "<rect x='30' y='5' width='40' height='10' fill='none' stroke='url(#g)' stroke-width='10'"
         " stroke-opacity='0.5' opacity='0.5'/>");
    Paint();
    EXPECT_NEAR(Pixel(10, 10).a, 64, 2);
    // The element's opacity fades the whole shape once more.
    EXPECT_NEAR(Pixel(50, 5).a, 32, 2);
}

TEST_F(GradientTest, StrokeKeepsDashesCapsAndUserSpaceOnDegenerateBoxes)
{
    Load(Ramp("user", "x2='100'") +
         "<linearGradient id='box'><stop stop-color='red'/><stop offset='1' stop-color='red'/></linearGradient>"
         "<line x1='10' y1='10' x2='90' y2='10' stroke='url(#user)' stroke-width='4' stroke-dasharray='10 10'/>"
         "<line x1='10' y1='30' x2='90' y2='30' stroke='url(#user)' stroke-width='4' stroke-linecap='square'/>"
         "<line x1='10' y1='50' x2='90' y2='50' stroke='url(#box) blue' stroke-width='4'/>"
         "<line x1='10' y1='70' x2='90' y2='70' stroke='url(#box)' stroke-width='4'/>");
    Paint();
    ExpectPixels({{15, 10, kOpaque}, {25, 10, kEmpty}});  // a gap of the dash array
    ExpectPixels({{8, 30, kOpaque}});  // the square cap reaches 2 beyond the end
    // A horizontal line has no objectBoundingBox space: the fallback
    // strokes it, and without one nothing does.
    ExpectPixels({{50, 50, kBlue}, {50, 70, kEmpty}});
}
