// One element drawn alone: the frame the part view fits (per kind of
// element, with and without axis mode) and what the preview draws in it.
#include "picture_probe.h"
#include "render/preview.h"

namespace svg {
namespace {

using vexo_test::StraightPixel;

class PreviewTest : public vexo_test::PictureProbe {
protected:
    void TearDown() override
    {
        if (preview_ != nullptr)
            cairo_surface_destroy(preview_);
        PictureProbe::TearDown();
    }

    const CElem& Element(const std::string& id)
    {
        const CElem* elem = Find("#" + id);
        EXPECT_NE(elem, nullptr) << id;
        static const CElem none("none", nullptr);
        return elem != nullptr ? *elem : none;
    }

    // Records the preview of #id and replays its extent into 100 x 100 pixels.
    void Preview(const std::string& id, bool axisMode = false, const CStopToken& stop = CStopToken::Never())
    {
        CRenderPass pass(nullptr, stop);
        std::optional<PreviewRecording> recording = RecordPreview(Element(id), pass, axisMode);
        ASSERT_TRUE(recording.has_value()) << id;
        if (preview_ != nullptr)
            cairo_surface_destroy(preview_);
        preview_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 100, 100);
        const RectF& extent = recording->extent;
        const double scale = 100 / std::max(extent.width, extent.height);
        cairo_t* cr = cairo_create(preview_);
        recording->picture->Replay(cr, Matrix{scale, 0, 0, scale, -extent.x * scale, -extent.y * scale});
        cairo_destroy(cr);
        ink_ = InkBounds(*recording->picture);
    }
    Rgba At(int x, int y) const { return StraightPixel(preview_, x, y); }

    cairo_surface_t* preview_ = nullptr;
    std::optional<RectF> ink_;
};

struct ExtentCase {
    const char* id;
    bool axisMode;
    std::optional<RectF> extent;
};

TEST_F(PreviewTest, EachKindFramesItsOwnExtent)
{
    ASSERT_NE(Load(R"(
        <rect id='moved' x='10' y='20' width='30' height='40' transform='translate(100 0) scale(2)'/>
        <rect id='flat' width='0' height='10'/>
        <svg id='inner' x='5' y='6' width='50' height='60' viewBox='0 0 10 12'><rect width='10' height='10'/></svg>
        <g id='group'><circle cx='50' cy='50' r='10'/><rect x='70' y='0' width='10' height='5'/></g>
        <defs>
          <linearGradient id='boxGradient'/>
          <linearGradient id='userGradient' gradientUnits='userSpaceOnUse' x1='10' y1='5' x2='50' y2='5'/>
          <radialGradient id='userRadial' gradientUnits='userSpaceOnUse' cx='20' cy='30' r='5'/>
          <pattern id='tile' patternUnits='userSpaceOnUse' x='1' y='2' width='8' height='9'/>
          <mask id='userMask' maskUnits='userSpaceOnUse'/>
          <mask id='boxMask' maskContentUnits='objectBoundingBox'/>
          <marker id='marker' markerWidth='6' markerHeight='4' viewBox='0 0 30 20'/>
          <clipPath id='clip'><rect x='1' y='2' width='3' height='4'/><rect x='10' y='2' width='1' height='1'/></clipPath>
          <filter id='blur'><feOffset id='offset'/></filter>
        </defs>
        <text id='text' x='10' y='50' font-size='20'>A<tspan id='span'>B</tspan></text>)"),
              nullptr);
    const ExtentCase cases[] = {
        {"moved", false, RectF{120, 40, 60, 80}},
        {"moved", true, RectF{10, 20, 30, 40}},
        {"flat", false, std::nullopt},
        {"inner", false, RectF{5, 6, 50, 60}},
        {"inner", true, RectF{0, 0, 10, 12}},
        {"group", false, RectF{40, 0, 40, 60}},
        {"boxGradient", false, RectF{0, 0, 1, 1}},
        {"userGradient", false, RectF{10, -15, 40, 40}},
        {"userRadial", false, RectF{15, 25, 10, 10}},
        {"tile", false, RectF{1, 2, 8, 9}},
        {"userMask", false, RectF{-10, -10, 120, 120}},
        {"boxMask", false, RectF{0, 0, 1, 1}},
        {"marker", false, RectF{0, 0, 6, 4}},
        {"marker", true, RectF{0, 0, 30, 20}},
        {"clip", false, RectF{1, 2, 10, 4}},
        {"blur", false, std::nullopt},
        {"offset", false, std::nullopt},
    };
    for (const ExtentCase& c : cases) {
        const std::optional<RectF> extent = PreviewExtent(Element(c.id), c.axisMode);
        EXPECT_EQ(extent.has_value(), c.extent.has_value()) << c.id;
        if (extent && c.extent) {
            EXPECT_NEAR(extent->x, c.extent->x, 1e-3) << c.id << " axis " << c.axisMode;
            EXPECT_NEAR(extent->y, c.extent->y, 1e-3) << c.id << " axis " << c.axisMode;
            EXPECT_NEAR(extent->width, c.extent->width, 1e-3) << c.id << " axis " << c.axisMode;
            EXPECT_NEAR(extent->height, c.extent->height, 1e-3) << c.id << " axis " << c.axisMode;
        }
    }
    // A text's content frames the whole text.
    EXPECT_EQ(PreviewExtent(Element("span"), false), PreviewExtent(Element("text"), false));
}

TEST_F(PreviewTest, AnElementIsDrawnAloneWithOrWithoutItsTransform)
{
    ASSERT_NE(Load("<rect width='100' height='100' fill='blue'/>"
                   "<rect id='r' x='10' y='10' width='20' height='20' fill='red' transform='rotate(45 20 20)'/>"),
              nullptr);
    for (bool axisMode : {false, true}) {
        Preview("r", axisMode);
        EXPECT_EQ(At(50, 50), kRed) << axisMode;
        // Nothing of the blue rectangle behind it.
        EXPECT_EQ(At(2, 50).b, 0) << axisMode;
    }
    // Rotated, the square's corners are empty; in axis mode they are filled.
    Preview("r", false);
    EXPECT_EQ(At(2, 2).a, 0);
    Preview("r", true);
    EXPECT_EQ(At(2, 2), kRed);
    ASSERT_TRUE(ink_.has_value());
    EXPECT_NEAR(ink_->width, 20, 1);
}

TEST_F(PreviewTest, PaintServersFillTheirFrame)
{
    ASSERT_NE(Load(R"(<defs>
        <linearGradient id='g'><stop offset='0' stop-color='red'/><stop offset='1' stop-color='blue'/></linearGradient>
        <pattern id='p' patternUnits='userSpaceOnUse' width='10' height='10'>
          <rect width='5' height='10' fill='lime'/></pattern>
        <mask id='m' maskUnits='userSpaceOnUse' x='0' y='0' width='10' height='10'>
          <rect width='5' height='5' fill='white'/></mask></defs>)"),
              nullptr);
    Preview("g");
    EXPECT_GT(At(2, 50).r, 240);
    EXPECT_GT(At(97, 50).b, 240);
    Preview("p");
    EXPECT_EQ(At(25, 50), kLime);
    EXPECT_EQ(At(75, 50).a, 0);
    Preview("m");
    EXPECT_EQ(At(25, 25), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(At(75, 75).a, 0);
}

TEST_F(PreviewTest, AGlyphStandsUpright)
{
    // A triangle with its base on the baseline and its tip at the ascent.
    ASSERT_NE(Load("<defs><font horiz-adv-x='1000'><font-face units-per-em='1000' ascent='1000' descent='0'/>"
                   "<glyph id='glyph' unicode='A' d='M0 0 L1000 0 L500 1000 Z'/></font></defs>"),
              nullptr);
    const std::optional<RectF> extent = PreviewExtent(Element("glyph"), false);
    ASSERT_TRUE(extent.has_value());
    EXPECT_EQ(*extent, (RectF{0, -1000, 1000, 1000}));
    EXPECT_TRUE(PreviewYAxisUp(Element("glyph")));
    Preview("glyph");
    EXPECT_EQ(At(50, 95).a, 255);  // the base, at the bottom
    EXPECT_EQ(At(5, 95).a, 255);
    EXPECT_EQ(At(5, 5).a, 0);      // beside the tip, at the top
}

TEST_F(PreviewTest, AStoppedPreviewDrawsNothing)
{
    ASSERT_NE(Load("<g id='g'><rect width='50' height='50' fill='red'/><rect x='50' y='50' width='50' height='50'/></g>"),
              nullptr);
    CStopToken stop;
    stop.RequestStop();
    Preview("g", false, stop);
    EXPECT_FALSE(ink_.has_value());
    EXPECT_EQ(At(25, 25).a, 0);
}

TEST_F(PreviewTest, RenderScaleGivesAThousandPixelsOverTheLongerSide)
{
    EXPECT_DOUBLE_EQ(PreviewRenderScale(RectF{0, 0, 10, 4}), 100);
    EXPECT_DOUBLE_EQ(PreviewRenderScale(RectF{0, 0, 4000, 10}), 1);  // at least one pixel a unit
    EXPECT_DOUBLE_EQ(PreviewRenderScale(RectF{}), 1);
}

}  // namespace
}  // namespace svg
