// Clip paths: the union of the children with their own rules, transforms and
// clip paths, units, the clip path's own clip-path, what contributes nothing,
// cycles, messages, and sharpness when the recording is zoomed. Every test
// clips a black square covering the 100 x 100 picture.
#include <gtest/gtest.h>

#include <string>

#include "render/picture_probe.h"
#include "test_support.h"


namespace {

const std::string kClipped = "<rect width='100' height='100' clip-path='url(#c)'/>";

class ClipTest : public vexo_test::PictureProbe {};

TEST_F(ClipTest, ChildrenUniteEachUnderItsOwnRule)
{
    // Two overlapping even-odd rectangles: a union keeps the overlap, which
    // filling both as one even-odd path would punch out.
    LoadAndPaint("<clipPath id='c'><rect x='10' width='50' height='40' clip-rule='evenodd'/>"
                 "<rect x='40' width='50' height='40' clip-rule='evenodd'/>"
                 // Two squares with a square hole each: the rule is per child.
                 "<path d='M0 50H40V90H0Z M10 60H30V80H10Z' clip-rule='evenodd'/>"
                 "<path d='M50 50H90V90H50Z M60 60H80V80H60Z'/></clipPath>" +
                 kClipped);
    ExpectPixels({{20, 20, kOpaque}, {50, 20, kOpaque}, {80, 20, kOpaque}, {95, 20, kEmpty}, {5, 55, kOpaque}});
    ExpectPixels({{20, 70, kEmpty}, {70, 70, kOpaque}, {45, 70, kEmpty}});
}

TEST_F(ClipTest, ClipRuleInheritsFromTheClipPathsAncestors)
{
    LoadAndPaint("<g clip-rule='evenodd'><clipPath id='c'><path d='M0 0H80V80H0Z M20 20H60V60H20Z'/>"
                 "</clipPath></g>" +
                 kClipped);
    ExpectPixels({{10, 10, kOpaque}, {40, 40, kEmpty}});
}

TEST_F(ClipTest, ObjectBoundingBoxUnitsMapOntoTheBoxBeforeTheClipPathsTransform)
{
    LoadAndPaint("<clipPath id='c' clipPathUnits='objectBoundingBox'><rect width='0.5' height='1'/></clipPath>"
                 "<clipPath id='t' clipPathUnits='objectBoundingBox' transform='translate(10 0)'>"
                 "<rect width='0.5' height='1'/></clipPath>"
                 "<rect x='20' y='0' width='60' height='40' clip-path='url(#c)'/>"
                 "<rect x='20' y='50' width='60' height='40' clip-path='url(#t)'/>");
    ExpectPixels({{30, 20, kOpaque}, {60, 20, kEmpty}});
    // Box 20..80 gives 20..50; the transform then moves it 10 user units.
    ExpectPixels({{25, 70, kEmpty}, {55, 70, kOpaque}, {65, 70, kEmpty}});
}

TEST_F(ClipTest, NestedTransformsAndUseChildrenMapIntoTheElementsSpace)
{
    LoadAndPaint("<defs><rect id='r' width='10' height='10'/></defs>"
                 "<clipPath id='c' transform='translate(10 0)'><rect width='10' height='10' transform='scale(2)'/>"
                 "<use xlink:href='#r' x='50' y='50'/></clipPath>"
                 "<g transform='translate(0 30)'>" +
                 kClipped + "</g>");
    ExpectPixels({{5, 35, kEmpty}, {15, 35, kOpaque}, {29, 49, kOpaque}, {31, 35, kEmpty}, {65, 85, kOpaque}});
    ExpectPixels({{55, 75, kEmpty}});
}

TEST_F(ClipTest, ClipPathOnAChildIntersectsThatChildOnly)
{
    LoadAndPaint("<clipPath id='half'><rect width='50' height='100'/></clipPath>"
                 "<clipPath id='c'><rect width='100' height='40' clip-path='url(#half)'/>"
                 "<rect y='60' width='100' height='40'/></clipPath>" +
                 kClipped);
    ExpectPixels({{20, 20, kOpaque}, {70, 20, kEmpty}, {70, 80, kOpaque}});
}

TEST_F(ClipTest, ClipPathOnTheClipPathIntersectsTheUnion)
{
    LoadAndPaint("<clipPath id='band'><rect x='20' width='40' height='100'/></clipPath>"
                 "<clipPath id='c' clip-path='url(#band)'><rect width='30' height='100'/>"
                 "<rect x='50' width='30' height='100'/></clipPath>" +
                 kClipped);
    ExpectPixels({{10, 50, kEmpty}, {25, 50, kOpaque}, {40, 50, kEmpty}, {55, 50, kOpaque}, {70, 50, kEmpty}});
}

TEST_F(ClipTest, HiddenUndisplayedAndIndirectChildrenContributeNothing)
{
    LoadAndPaint("<defs><g id='g'><rect width='100' height='100'/></g></defs>"
                 "<clipPath id='c'><rect width='50' height='50' visibility='hidden'/>"
                 "<rect x='50' width='50' height='50' display='none'/>"
                 "<use xlink:href='#g'/>"
                 "<rect y='50' width='50' height='50'/></clipPath>" +
                 kClipped);
    ExpectPixels({{25, 25, kEmpty}, {75, 25, kEmpty}, {75, 75, kEmpty}, {25, 75, kOpaque}});
}

TEST_F(ClipTest, DisplayNoneOnTheClipPathOrItsAncestorsDoesNotHideItsContent)
{
    LoadAndPaint("<clipPath id='c' display='none'><rect width='50' height='50'/></clipPath>"
                 "<g display='none'><clipPath id='d'><rect x='50' y='50' width='50' height='50'/></clipPath></g>"
                 "<rect width='100' height='100' clip-path='url(#c)'/>"
                 "<rect width='100' height='100' clip-path='url(#d)'/>");
    ExpectPixels({{25, 25, kOpaque}, {75, 75, kOpaque}, {75, 25, kEmpty}});
}

TEST_F(ClipTest, AClipThatLeavesNothingDrawsNothing)
{
    LoadAndPaint("<clipPath id='c'/><clipPath id='box' clipPathUnits='objectBoundingBox'>"
                 "<rect width='1' height='1'/></clipPath>" +
                 kClipped +
                 // objectBoundingBox units on a line: its box has no height.
                 "<line x1='0' y1='50' x2='100' y2='50' stroke='black' stroke-width='10' clip-path='url(#box)'/>");
    ExpectPixels({{50, 20, kEmpty}, {50, 50, kEmpty}});
}

TEST_F(ClipTest, ReferencesThatCloseACycleAreIgnored)
{
    LoadAndPaint("<clipPath id='c'><rect width='50' height='100' clip-path='url(#d)'/></clipPath>"
                 "<clipPath id='d'><rect width='100' height='50' clip-path='url(#c)'/></clipPath>" +
                 kClipped);
    // c's child is clipped by d, whose child's way back to c is ignored.
    ExpectPixels({{25, 25, kOpaque}, {75, 25, kEmpty}, {25, 75, kEmpty}});
}

TEST_F(ClipTest, InvalidUnitsAndRulesAreReportedOnceAndKeepTheirDefaults)
{
    LoadAndPaint("\n<clipPath id='c' clipPathUnits='bogus'>\n<path d='M0 0H80V80H0Z M20 20H60V60H20Z' "
                 "clip-rule='odd'/></clipPath>" +
                 kClipped + kClipped);
    ExpectMessages({"E clipPath clipPathUnits=\"bogus\" :Invalid value at 2(1)",
                    "E path clip-rule=\"odd\" :Invalid value at 3(1)"});
    // userSpaceOnUse and nonzero: the hole is filled.
    ExpectPixels({{40, 40, kOpaque}, {90, 90, kEmpty}});
}

TEST_F(ClipTest, EdgesStaySharpWhenTheRecordingIsZoomed)
{
    Load("<clipPath id='one'><rect width='40' height='50'/></clipPath>"
         "<clipPath id='two'><rect width='40' height='50'/><rect x='60' width='40' height='50'/></clipPath>"
         "<rect width='100' height='100' clip-path='url(#one)'/>"
         "<rect width='100' height='50' clip-path='url(#two)' transform='translate(0 50)'/>");
    Paint(1, 4);
    // A plain clip, and a union drawn as a mask: both edges at x = 40 land
    // exactly on pixel 160.
    ExpectPixels({{159, 100, kOpaque}, {160, 100, kEmpty}, {159, 300, kOpaque}, {160, 300, kEmpty}});
    ExpectPixels({{240, 300, kOpaque}});
}

TEST_F(ClipTest, ClipPathsThatMultiplyAreCutShortWithAWarning)
{
    // Ten children clipped by the next clip path, eight deep: 10^8 outlines.
    std::string body;
    for (int level = 0; level < 8; ++level) {
        body += "<clipPath id='c" + std::to_string(level) + "'>";
        for (int child = 0; child < 10; ++child)
            body += "<rect width='100' height='100' clip-path='url(#c" + std::to_string(level + 1) + ")'/>";
        body += "</clipPath>";
    }
    body += "<clipPath id='c8'><rect width='50' height='100'/></clipPath>";
    LoadAndPaint(body + "\n<rect width='100' height='100' clip-path='url(#c0)'/>");
    EXPECT_TRUE(HasMessage("W rect clip-path too complex: only part of it clips at 2(1)"));
    EXPECT_TRUE(Empty(75, 50));
}

}  // namespace
