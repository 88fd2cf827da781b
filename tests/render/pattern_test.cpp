// Patterns: tiling on pixels (origin, exact period, both unit systems,
// viewBox, patternTransform), children and attributes through xlink:href,
// nested patterns, cycles, zero-size tiles, the messages and the bounds on
// tile cost.
#include <gtest/gtest.h>

#include <cairo.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "model/document.h"
#include "render/canvas.h"
#include "render/render.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

class PatternTest : public vexo_test::PictureProbe {
protected:
    void Load(const std::string& body) { ASSERT_NE(PictureProbe::Load(body), nullptr); }

    CElemPattern& Pattern(const std::string& id)
    {
        CElem* elem = Find("#" + id);
        EXPECT_TRUE(elem != nullptr && elem->IsA(ElemClass::Pattern)) << id;
        return *static_cast<CElemPattern*>(elem);
    }

    // Records the document at `scale` and replays it onto a transparent
    // image of 100 x 100 user units at that scale.
    void Paint(double scale = 1) { PictureProbe::Paint(scale, scale); }
};

// A userSpaceOnUse pattern whose tile has a red square in its top left quarter.
std::string Checker(const std::string& id, const std::string& attributes, double size)
{
    const std::string half = std::to_string(size / 2);
    return "<pattern id='" + id + "' patternUnits='userSpaceOnUse' width='" + std::to_string(size) + "' height='" +
           std::to_string(size) + "' " + attributes + "><rect width='" + half + "' height='" + half +
           "' fill='red'/></pattern>";
}

}  // namespace

// --- Tiling ------------------------------------------------------------------------------

TEST_F(PatternTest, TilesStartAtThePatternOriginNotAtTheShape)
{
    Load(Checker("p", "x='3'", 10) + "<rect x='5' width='95' height='20' fill='url(#p)'/>");
    Paint();
    // Tiles begin at x = 3, 13, 23, ...: red in [3, 8) + 10k.
    ExpectPixels({{5, 2, kRed}, {9, 2, kEmpty}, {14, 2, kRed}, {93, 2, kRed}, {93, 7, kEmpty}});
}

TEST_F(PatternTest, FractionalTilesKeepTheirExactPeriod)
{
    // A tile of 7.5 units at 2x is 15 device pixels; one of 6.4 is 12.8, which
    // a tile rounded to whole pixels would shift by 2 pixels after 10 tiles.
    Load(Checker("p", "", 6.4) + "<rect width='100' height='10' fill='url(#p)'/>");
    Paint(2);
    // The 10th tile starts at 64 units (128 pixels); red until 67.2 (134.4).
    ExpectPixels({{129, 2, AlphaAbove(200)}, {133, 2, AlphaAbove(200)}, {135, 2, kEmpty}, {127, 2, kEmpty}});
}

TEST_F(PatternTest, ObjectBoundingBoxUnitsForTilesAndContent)
{
    Load("<pattern id='p' width='0.5' height='0.5' patternContentUnits='objectBoundingBox'>"
         "<rect width='0.25' height='0.25' fill='red'/></pattern>"
         "<rect x='20' y='20' width='40' height='40' fill='url(#p)'/>");
    Paint();
    // Tiles of 20 x 20 from the box's corner, content scaled by the box.
    ExpectPixels({{25, 25, kRed}, {35, 35, kEmpty}, {45, 45, kRed}, {55, 25, kEmpty}});
}

TEST_F(PatternTest, ViewBoxAndPatternTransformPlaceTheContent)
{
    Load("<pattern id='v' patternUnits='userSpaceOnUse' width='20' height='20' viewBox='0 0 10 10'>"
         "<rect width='5' height='5' fill='red'/></pattern>"
         "<pattern id='t' patternUnits='userSpaceOnUse' width='10' height='10' patternTransform='translate(5,0)'>"
         "<rect width='5' height='10' fill='blue'/></pattern>"
         "<rect width='100' height='40' fill='url(#v)'/><rect y='50' width='100' height='40' fill='url(#t)'/>");
    Paint();
    ExpectPixels({{11, 9, kEmpty}, {2, 60, kEmpty}, {6, 60, kBlue}, {9, 9, kRed}});  // the viewBox doubles the content
}

TEST_F(PatternTest, StrokeWithPatternKeepsDashesAndFadesWithStrokeOpacity)
{
    Load(Checker("p", "", 100) +
         "<line x1='0' y1='10' x2='40' y2='10' stroke='url(#p)' stroke-width='4' stroke-dasharray='5 5'/>"
         "<rect x='10' y='30' width='20' height='10' fill='url(#p)' fill-opacity='0.5'/>");
    Paint();
    ExpectPixels({{2, 10, kRed}, {7, 10, kEmpty}});
    EXPECT_NEAR(Pixel(20, 35).a, 128, 2);
}

// --- Inheritance and nesting -------------------------------------------------------------

TEST_F(PatternTest, ChildrenAndAttributesComeThroughXlinkHref)
{
    Load("<pattern id='template' patternUnits='userSpaceOnUse' width='10' height='10'>"
         "<rect width='5' height='5' fill='red'/></pattern>"
         "<pattern id='user' xlink:href='#template' width='20'/>"
         "<pattern id='own' xlink:href='#template'><rect width='5' height='5' fill='blue'/></pattern>"
         "<rect width='100' height='10' fill='url(#user)'/><rect y='20' width='100' height='10' fill='url(#own)'/>");
    const CElemPattern& user = Pattern("user");
    EXPECT_EQ(user.units, Units::UserSpaceOnUse);
    EXPECT_FLOAT_EQ(user.width, 20);
    EXPECT_FLOAT_EQ(user.height, 10);
    Paint();
    ExpectPixels(
        {{2, 2, kRed}, {22, 2, kRed}, {2, 22, kBlue}, {12, 22, kBlue}, {12, 2, kEmpty}});  // its tile is 20 wide
}

TEST_F(PatternTest, NestedPatternsPaintInsideTiles)
{
    Load("<pattern id='inner' patternUnits='userSpaceOnUse' width='4' height='4'>"
         "<rect width='2' height='4' fill='blue'/></pattern>"
         "<pattern id='outer' patternUnits='userSpaceOnUse' width='20' height='20'>"
         "<rect width='10' height='10' fill='url(#inner)'/></pattern>"
         "<rect width='100' height='100' fill='url(#outer)'/>");
    Paint();
    ExpectPixels({{1, 1, kBlue}, {3, 1, kEmpty}, {21, 21, kBlue}, {15, 5, kEmpty}});
}

TEST_F(PatternTest, PatternsPaintingEachOtherStopAndReportOnce)
{
    Load("<pattern id='a' patternUnits='userSpaceOnUse' width='10' height='10'>"
         "\n<rect width='5' height='5' fill='url(#b)' stroke='red' stroke-width='2'/></pattern>"
         "<pattern id='b' patternUnits='userSpaceOnUse' width='10' height='10'>"
         "\n<rect width='5' height='5' fill='url(#a)' stroke='red' stroke-width='2'/></pattern>"
         "\n<pattern id='self' xlink:href='#self' width='1' height='1'/>"
         "<rect width='50' height='50' fill='url(#a)'/><rect x='50' width='50' height='50' fill='url(#a)'/>");
    Paint();
    EXPECT_EQ(Pixel(5, 2), kRed);
    // The loop is met on every shape that uses it and reported once.
    int cycles = 0;
    for (const std::string& message : Messages())
        cycles += message == "E rect fill=\"url(#a)\" : Cyclic reference at 3(1)";
    EXPECT_EQ(cycles, 1);
    EXPECT_TRUE(HasMessage("F pattern xlink:href=\"#self\" : Cyclic reference at 4(1)"));
}

// --- Zero sizes, messages and bounds -----------------------------------------------------

TEST_F(PatternTest, TheClipPropertyCutsEveryTileWhereOverflowClips)
{
    // 20 x 20 tiles of solid green cut to rect(5, 15, 15, 5): a 10 x 10
    // square in the middle of each tile. With overflow visible, whole tiles.
    LoadAndPaint("<pattern id='cut' patternUnits='userSpaceOnUse' width='20' height='20' clip='rect(5, 15, 15, 5)'>"
                 "<rect width='20' height='20' fill='green'/></pattern>"
                 "<pattern id='whole' patternUnits='userSpaceOnUse' width='20' height='20' overflow='visible' "
                 "clip='rect(5, 15, 15, 5)'><rect width='20' height='20' fill='green'/></pattern>"
                 "<rect width='100' height='40' fill='url(#cut)'/>"
                 "<rect y='60' width='100' height='40' fill='url(#whole)'/>");
    EXPECT_TRUE(Opaque(10, 10));
    EXPECT_TRUE(Opaque(30, 30));
    EXPECT_TRUE(Empty(2, 10));
    EXPECT_TRUE(Empty(10, 18));
    EXPECT_TRUE(Empty(21, 30));
    EXPECT_TRUE(Opaque(2, 62));
    EXPECT_TRUE(Opaque(10, 78));
}

TEST_F(PatternTest, TilesWithoutAreaPaintNothingNotTheFallback)
{
    Load("\n<pattern id='noWidth' patternUnits='userSpaceOnUse' height='10'><rect width='5' height='5'/></pattern>"
         "\n<pattern id='negative' width='-1' height='-2'><rect width='5' height='5'/></pattern>"
         "\n<pattern id='flatView' width='1' height='1' viewBox='0 0 0 10'><rect width='5' height='5'/></pattern>"
         "<rect width='20' height='20' fill='url(#noWidth) blue'/>"
         "<rect x='20' width='20' height='20' fill='url(#negative)'/>"
         "<rect x='40' width='20' height='20' fill='url(#flatView)'/>"
         "<line x1='0' y1='50' x2='90' y2='50' stroke='url(#noWidth)' stroke-width='5'/>");
    Paint();
    ExpectPixels({{10, 10, kEmpty}, {30, 10, kEmpty}, {50, 10, kEmpty}, {50, 50, kEmpty}});
    ExpectMessagesInclude({"E pattern width=\"-1\" must be positive value at 3(1)",
                           "E pattern height=\"-2\" must be positive value at 3(1)",
                           "E pattern viewBox=\"0 0 0 10\" :Invalid value at 4(1)"});
}

TEST_F(PatternTest, InvalidAttributesAreReportedAndDefaulted)
{
    Load("\n<pattern id='p' patternUnits='qwe' patternContentUnits='strokeWidth' patternTransform='skewX('"
         " x='a' width='0.5' height='0.5' preserveAspectRatio='defer'/>");
    const CElemPattern& p = Pattern("p");
    EXPECT_EQ(p.units, Units::ObjectBoundingBox);
    EXPECT_EQ(p.contentUnits, Units::UserSpaceOnUse);
    EXPECT_TRUE(p.patternTransform.IsIdentity());
    ExpectMessagesInclude({"E pattern patternUnits=\"qwe\" :Invalid value at 2(1)",
                           "E pattern patternContentUnits=\"strokeWidth\" :Invalid value at 2(1)",
                           "E pattern patternTransform=\"skewX(\" :Invalid value at 2(1)",
                           "E pattern x=\"a\" :Invalid value at 2(1)",
                           "E pattern preserveAspectRatio=\"defer\" :Invalid value at 2(1)"});
}

TEST_F(PatternTest, TinyTilesOverHugeAreasAndHugeTilesStayCheap)
{
    Load("<pattern id='tiny' patternUnits='userSpaceOnUse' width='0.001' height='0.001'>"
         "<rect width='0.0005' height='0.001' fill='red'/></pattern>"
         "\n<pattern id='huge' patternUnits='userSpaceOnUse' width='1e6' height='1e6'>"
         "<rect width='1e6' height='1e6' fill='blue'/></pattern>"
         "<rect x='-1e6' y='-1e6' width='2e6' height='1000050' fill='url(#tiny)'/>"
         "<rect y='60' width='100' height='40' fill='url(#huge)'/>");
    const auto start = std::chrono::steady_clock::now();
    Paint(4);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // Half of each sub-pixel tile is red.
    ExpectPixels({{40, 40, AlphaNear(128, 20)}, {200, 300, kBlue}});
    EXPECT_TRUE(HasMessagePrefix("W pattern tile reduced to "));
}

TEST_F(PatternTest, PaintServersAreNoGraphicsOfTheirOwn)
{
    Load("<pattern id='p' width='1' height='1'><rect id='inside' x='50' y='50' width='10' height='10'/></pattern>"
         "<rect width='10' height='10'/>");
    Paint();
    EXPECT_TRUE(Empty(55, 55));
    // The pattern's content counts for neither the document's box nor hits.
    ASSERT_TRUE(document_->bboxUser);
    EXPECT_FLOAT_EQ(document_->bboxUser->Right(), 10);
    EXPECT_EQ(vexo_test::HitTestAt(*document_, 55, 55), nullptr);
}
