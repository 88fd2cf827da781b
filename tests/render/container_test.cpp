#include <gtest/gtest.h>

#include <string>

#include "model/document.h"
#include "render/canvas.h"
#include "render/container.h"
#include "render/render.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

constexpr Rgba kPlaceholder{0xEE, 0xE8, 0xAA, 0xFF};

class ContainerTest : public vexo_test::PictureProbe {
protected:
    // `body` inside an svg root with the given root attributes.
    CElemDocument* Load(const std::string& rootAttributes, const std::string& body)
    {
        CElemDocument* document = PictureProbe::Load(body, {}, rootAttributes);
        EXPECT_NE(document, nullptr);
        return document;
    }

    CElemContainer& Container(CElemDocument* document, const std::string& id)
    {
        CElem* elem = FindIn(*document, "#" + id);
        EXPECT_NE(elem, nullptr) << id;
        return *static_cast<CElemContainer*>(elem);
    }
};

// --- Viewports ----------------------------------------------------------------------

TEST_F(ContainerTest, ViewBoxMeetScalesByTwoAndCentresVertically)
{
    CElemDocument* document = Load("width='200' height='200' viewBox='0 0 100 50'",
                                   "<rect width='100' height='50' fill='red'/>");
    EXPECT_EQ(document->viewBoxMatrix, (Matrix{2, 0, 0, 2, 0, 50}));
    Paint();
    ExpectPixels({{100, 45, kEmpty}, {100, 55, kRed}, {100, 145, kRed}, {100, 155, kEmpty}});
}

TEST_F(ContainerTest, ViewBoxSliceScalesByFourAndShiftsLeft)
{
    CElemDocument* document = Load("width='200' height='200' viewBox='0 0 100 50' "
                                   "preserveAspectRatio='xMidYMid slice'",
                                   "<rect width='30' height='50' fill='red'/>");
    EXPECT_EQ(document->viewBoxMatrix, (Matrix{4, 0, 0, 4, -100, 0}));
    Paint();
    ExpectPixels({{25, 100, kEmpty}, {15, 100, kRed}});  // 30 * 4 - 100 = 20
}

TEST_F(ContainerTest, AlignmentPlacesTheFreeSpace)
{
    const RectF viewport{0, 0, 200, 100};
    const RectF viewBox{0, 0, 10, 10};
    auto aspect = [](AspectAlign align, bool slice) { return AspectRatio{false, align, slice}; };
    EXPECT_EQ(ViewBoxToViewport(viewport, viewBox, aspect(AspectAlign::XMinYMin, false)), (Matrix{10, 0, 0, 10, 0, 0}));
    EXPECT_EQ(ViewBoxToViewport(viewport, viewBox, aspect(AspectAlign::XMaxYMid, false)),
              (Matrix{10, 0, 0, 10, 100, 0}));
    EXPECT_EQ(ViewBoxToViewport(viewport, viewBox, aspect(AspectAlign::None, false)), (Matrix{20, 0, 0, 10, 0, 0}));
    EXPECT_EQ(ViewBoxToViewport(viewport, viewBox, aspect(AspectAlign::XMinYMax, true)),
              (Matrix{20, 0, 0, 20, 0, -100}));
    EXPECT_EQ(ViewBoxToViewport(viewport, {0, 0, 0, 10}, AspectRatio{}), Matrix{});
}

TEST_F(ContainerTest, NestedSvgWithoutSizeFillsTheParentViewportFromItsX)
{
    CElemDocument* document = Load("width='200' height='100'",
                                   "<svg id='inner' x='30'><rect width='500' height='500' fill='red'/></svg>");
    const CElemContainer& inner = Container(document, "inner");
    EXPECT_EQ(inner.region, (RectF{30, 0, 200, 100}));  // 100%, x not subtracted
    EXPECT_EQ(inner.viewport, (RectF{0, 0, 200, 100}));
    EXPECT_EQ(inner.viewBoxMatrix, Matrix::Translate(30, 0));
    Paint();
    ExpectPixels({{25, 50, kEmpty}, {35, 50, kRed}});
}

TEST_F(ContainerTest, ZeroOrNegativeSizesDisableRendering)
{
    CElemDocument* document = Load("width='100' height='100'",
                                   "<svg id='zero' width='0'><rect width='100' height='100' fill='red'/></svg>"
                                   "<svg id='negative' height='-5'><rect width='100' height='100'/></svg>"
                                   "<svg id='emptyBox' viewBox='0 0 0 10'><rect width='100' height='100'/></svg>");
    EXPECT_TRUE(HasMessagePrefix("E svg height=\"-5\" :Invalid value at "));
    EXPECT_TRUE(HasMessagePrefix("E svg viewBox=\"0 0 0 10\" :Invalid value at "));
    Paint();
    EXPECT_TRUE(Empty(50, 50));
    EXPECT_EQ(vexo_test::HitTestAt(Container(document, "zero"), 50, 50), nullptr);
}

TEST_F(ContainerTest, NegativeViewBoxIsReportedAndIgnored)
{
    CElemDocument* document = Load("width='100' height='100'",
                                   "<svg id='inner' viewBox='0 0 -10 10'>"
                                   "<rect width='20' height='20' fill='red'/></svg>");
    EXPECT_TRUE(HasMessagePrefix("E svg viewBox=\"0 0 -10 10\" :Invalid value at "));
    EXPECT_FALSE(Container(document, "inner").hasViewBox);
    Paint();
    ExpectPixels({{30, 30, kEmpty}, {10, 10, kRed}});  // unscaled, not mirrored
}

TEST_F(ContainerTest, RootWithoutSizeTakesItsViewBoxElseTheDefault)
{
    EXPECT_EQ(Load("viewBox='0 0 40 30'", "")->region, (RectF{0, 0, 40, 30}));
    EXPECT_EQ(Load("", "")->region, (RectF{0, 0, 800, 600}));
    CElemDocument* halfSized = Load("width='50' viewBox='0 0 40 30'", "");
    EXPECT_EQ(halfSized->region, (RectF{0, 0, 50, 30}));
    EXPECT_EQ(halfSized->viewport, (RectF{0, 0, 40, 30}));
}

TEST_F(ContainerTest, UnreadableViewportValuesAreReported)
{
    CElemDocument* document = Load("width='100' height='100'",
                                   "<svg id='inner' x='abc' width='10qq' preserveAspectRatio='defer'/>");
    EXPECT_TRUE(HasMessagePrefix("E svg x=\"abc\" :Invalid value at "));
    EXPECT_TRUE(HasMessagePrefix("E svg width=\"10qq\" :Invalid value at "));
    EXPECT_TRUE(HasMessagePrefix("E svg preserveAspectRatio=\"defer\" :Invalid value at "));
    EXPECT_EQ(Container(document, "inner").region, (RectF{0, 0, 100, 100}));
}

// --- The clip property --------------------------------------------------------------

TEST_F(ContainerTest, ClipRectTakesTopRightBottomLeftFromTheViewportEdges)
{
    CElemDocument* document = Load("width='100' height='100'",
                                   "<svg id='inner' x='5' y='5' clip='rect(10, 50, 80, 20)'>"
                                   "<rect x='-50' y='-50' width='200' height='200' fill='red'/></svg>");
    // Offsets are taken in the svg's own user space, whose origin is (5, 5).
    EXPECT_EQ(Container(document, "inner").clipRect, (RectF{20, 10, 30, 70}));
    Paint();
    ExpectPixels(
        {{27, 50, kRed}, {23, 50, kEmpty}, {57, 50, kEmpty}, {40, 13, kEmpty}, {40, 83, kRed}, {40, 87, kEmpty}});
}

TEST_F(ContainerTest, ClipAutoKeepsTheViewportEdgeAndNeedsOverflowHidden)
{
    CElemDocument* document = Load("width='100' height='100'",
                                   "<svg id='autoSides' width='60' height='60' viewBox='0 0 30 30' "
                                   "clip='rect(auto 20 auto auto)'/>"
                                   "<svg id='visible' overflow='visible' clip='rect(0, 10, 10, 0)'>"
                                   "<rect x='80' y='80' width='10' height='10' fill='blue'/></svg>");
    EXPECT_EQ(Container(document, "autoSides").clipRect, (RectF{0, 0, 20, 30}));
    Paint();
    EXPECT_EQ(Pixel(85, 85), kBlue);
}

TEST_F(ContainerTest, OverflowAutoShowsContentOutsideTheViewportAndScrollClips)
{
    Load("width='100' height='100'",
         "<svg overflow='auto' width='20' height='20'><rect x='30' y='30' width='10' height='10' fill='red'/></svg>"
         "<svg overflow='scroll' width='20' height='20'><rect x='60' y='60' width='10' height='10' fill='blue'/></svg>");
    Paint();
    ExpectPixels({{35, 35, kRed}, {65, 65, kEmpty}});
}

TEST_F(ContainerTest, InvalidClipValuesAreReported)
{
    CElemDocument* document = Load("width='100' height='100'",
                                   "<svg id='a' clip='circle(5)'/><svg id='b' clip='rect(1, 2, 3)'/>"
                                   "<g clip='bogus'/>");
    ExpectMessagesInclude({"E clip=\"circle(5)\" :Invalid value", "E clip=\"1, 2, 3)\" :Invalid value"});
    EXPECT_FALSE(HasMessage("E clip=\"bogus\" :Invalid value")) << "clip does not apply to g";
    EXPECT_EQ(Container(document, "a").clipRect, RectF{});
    EXPECT_EQ(Container(document, "b").clipRect, RectF{});
}

TEST_F(ContainerTest, MarkersImagesAndPatternsNameAClipWithoutFourOffsets)
{
    // A value that is no rect( is reported as for viewports; a rect( without
    // four offsets names the element and where it stands.
    Load("width='100' height='100'",
         "\n<marker clip='rect(1 2)'/>"
         "\n<image width='5' height='5' clip='rect(1, 2, 3, 4, 5'/>"
         "\n<pattern width='5' height='5' clip='rect(auto)'/>"
         "\n<pattern width='5' height='5' clip='square(1)'/>");
    EXPECT_TRUE(HasMessage("E marker clip=\"1 2)\" :Invalid value at 2(1)"));
    EXPECT_TRUE(HasMessage("E image clip=\"1, 2, 3, 4, 5\" :Invalid value at 3(1)"));
    EXPECT_TRUE(HasMessage("E pattern clip=\"auto)\" :Invalid value at 4(1)"));
    EXPECT_TRUE(HasMessage("E clip=\"square(1)\" :Invalid value"));
}

// --- switch and foreignObject -------------------------------------------------------------

TEST_F(ContainerTest, SwitchDrawsOnlyTheFirstChildThatPasses)
{
    CElemDocument* document = Load("width='30' height='10'",
                                   "<switch><rect id='first' systemLanguage='fr' width='10' height='10' fill='blue'/>"
                                   "<rect id='second' x='10' width='10' height='10' fill='red'/>"
                                   "<rect id='third' x='20' width='10' height='10' fill='blue'/></switch>");
    Paint();
    ExpectPixels({{5, 5, kEmpty}, {15, 5, kRed}, {25, 5, kEmpty}});
    EXPECT_TRUE(FindIn(*document, "#third")->excluded);
    EXPECT_EQ(vexo_test::HitTestAt(*document, 25, 5), nullptr);
    EXPECT_EQ(vexo_test::HitTestAt(*document, 15, 5), FindIn(*document, "#second"));
}

TEST_F(ContainerTest, ForeignObjectShowsAPlaceholderBoxInsteadOfItsContent)
{
    CElemDocument* document = Load("width='100' height='100'",
                                   "<foreignObject id='own' x='10' y='10' width='20' height='20'>"
                                   "<div xmlns='http://www.w3.org/1999/xhtml'>text</div></foreignObject>"
                                   "<svg x='50' width='50'><foreignObject/></svg>");
    Paint();
    ExpectPixels({{5, 5, kEmpty},
                  {20, 20, kPlaceholder},
                  {35, 35, kEmpty},
                  {75, 90, kPlaceholder}});  // no size: the parent's viewport
    EXPECT_EQ(vexo_test::HitTestAt(*document, 20, 20), FindIn(*document, "#own"));
}

// --- Hit testing ----------------------------------------------------------------------

TEST_F(ContainerTest, HitTestMapsThroughTransformAndViewBoxAndSkipsHidden)
{
    CElemDocument* document = Load("width='200' height='200'",
                                   "<g transform='translate(100, 0)'>"
                                   "<svg width='100' height='100' viewBox='0 0 10 10'>"
                                   "<rect id='target' x='5' y='5' width='5' height='5'/></svg></g>"
                                   "<g display='none'><rect width='50' height='50'/></g>"
                                   "<rect id='top' x='190' y='90' width='10' height='10'/>");
    vexo_test::ExpectHits(*document, {{175, 75, "target"}, {125, 25, ""}, {25, 25, ""}});
    EXPECT_EQ(vexo_test::HitTestAt(*document, 195, 95), FindIn(*document, "#top"));  // later siblings first
}

TEST_F(ContainerTest, HitTestReachesEveryPaintedPixelOfStrokesAndTransformedShapes)
{
    // A sharp miter reaches far beyond the geometry box: its tip, the square
    // caps' corners and a scaled shape's stroke must all still be found.
    CElemDocument* document = Load(
        "width='500' height='400'",
        "<polyline id='miter' points='10,100 60,90 10,80' fill='none' stroke='black' stroke-width='10' "
        "stroke-miterlimit='20'/>"
        "<line id='square' x1='150' y1='50' x2='200' y2='50' stroke='black' stroke-width='20' "
        "stroke-linecap='square'/>"
        "<rect id='scaled' x='50' y='50' width='10' height='10' transform='translate(200 100) scale(4)' "
        "fill='none' stroke='black' stroke-width='2'/>");
    vexo_test::ExpectHits(*document,
                          {{80, 90, "miter"},
                           {95, 90, ""},
                           {208, 58, "square"},
                           {214, 50, ""},
                           {402, 290, ""},
                           {380, 250, ""},
                           {436, 320, "scaled"},
                           {438, 320, "scaled"},
                           {440, 320, "scaled"},
                           {442, 320, "scaled"},
                           {444, 320, "scaled"}});
    EXPECT_EQ(vexo_test::HitTestAt(*document, 420, 320), nullptr);  // inside, but not filled
}

}  // namespace
