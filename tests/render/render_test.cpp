// The render entry, bounds and the recorded picture, on whole documents.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "render/output.h"
#include "render/render.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

using RenderTest = vexo_test::PictureProbe;

}  // namespace

TEST_F(RenderTest, RecordingReplaysSharpAtAnyScale)
{
    ASSERT_NE(Load("<rect x='2' y='2' width='5' height='5'/>", {}, "width='10' height='10'"), nullptr);
    EXPECT_EQ(Current().Record()->Frame(), (RectF{0, 0, 10, 10}));
    Paint();
    EXPECT_TRUE(Opaque(3, 3));
    // At 10x the rect's edge at x = 7 user units falls exactly on pixel 70.
    Paint(1, 10);
    ExpectPixels({{69, 50, kOpaque}, {70, 50, kEmpty}});
}

TEST_F(RenderTest, BoundsFollowTransformsExactlyUnderRotation)
{
    CElemDocument* document = Load("<g id='g' transform='rotate(45)'><circle id='c' r='10'/></g>"
                                   "<g id='s' transform='translate(5,0) scale(2)'><rect width='1' height='3'/></g>");
    ASSERT_NE(document, nullptr);
    const CElem* rotated = document->Children()[0];
    ASSERT_TRUE(rotated->bboxUser && rotated->bboxParent);
    // A circle stays a circle: rotating its box's corners would give 28 wide.
    EXPECT_NEAR(rotated->bboxParent->width, 20, 0.1);
    EXPECT_NEAR(rotated->bboxUser->x, -10, 0.1);
    const CElem* scaled = document->Children()[1];
    EXPECT_EQ(*scaled->bboxParent, (RectF{5, 0, 2, 6}));
    ASSERT_TRUE(document->bboxUser);
    EXPECT_NEAR(document->bboxUser->x, -10, 0.1);
    EXPECT_NEAR(document->bboxUser->Right(), 10, 0.1);
    EXPECT_NEAR(document->bboxUser->Bottom(), 10, 0.1);
}

TEST_F(RenderTest, DisplayNoneAndSingularTransformsDrawNothing)
{
    LoadAndPaint("<rect width='10' height='10' display='none'/><rect width='10' height='10' transform='scale(0)'/>");
    EXPECT_TRUE(Empty(5, 5));
}

TEST_F(RenderTest, GroupOpacityFadesOverlapsOnce)
{
    LoadAndPaint("<g opacity='0.5'><rect width='10' height='10'/><rect width='10' height='10'/></g>");
    EXPECT_NEAR(Alpha(5, 5), 128, 1);
}

// Group opacity over one solid-colour operation is folded into its colour;
// anything that overlaps itself must still be faded as one layer.
TEST_F(RenderTest, GroupOpacityFoldsOnlyWhereNothingOverlaps)
{
    struct Case {
        const char* body;
        int x, y;
        Rgba expected;  // within one level per channel
    };
    const Case cases[] = {
        // The stroke's inner half lies over the fill: only red shows, faded.
        {"<g opacity='0.5'><rect x='10' y='10' width='40' height='40' fill='blue' stroke='red' "
         "stroke-width='4'/></g>",
         11, 30, {255, 0, 0, 128}},
        {"<rect x='10' y='10' width='40' height='40' fill='blue' stroke='red' stroke-width='4' opacity='0.5'/>",
         11, 30, {255, 0, 0, 128}},
        // Nested faded groups multiply.
        {"<g opacity='0.5'><g opacity='0.5'><rect width='20' height='20' fill='blue'/></g></g>", 5, 5,
         {0, 0, 255, 64}},
        {"<g opacity='0.5'><rect width='20' height='20' fill='blue' fill-opacity='0.5'/></g>", 5, 5,
         {0, 0, 255, 64}},
        // A marker drawn over its own line.
        {"<marker id='m' markerWidth='20' markerHeight='20' refX='5' refY='5' markerUnits='userSpaceOnUse'>"
         "<rect width='10' height='10' fill='red'/></marker>"
         "<line x1='10' y1='50' x2='90' y2='50' stroke='red' stroke-width='6' marker-start='url(#m)' "
         "opacity='0.5'/>",
         10, 50, {255, 0, 0, 128}},
        // Two children: overlaps fade once.
        {"<g opacity='0.5'><rect width='20' height='20' fill='red'/><g><rect width='20' height='20' "
         "fill='red'/></g></g>",
         5, 5, {255, 0, 0, 128}},
    };
    for (const Case& c : cases) {
        LoadAndPaint(c.body);
        const Rgba pixel = Pixel(c.x, c.y);
        EXPECT_NEAR(pixel.r, c.expected.r, 1) << c.body;
        EXPECT_NEAR(pixel.g, c.expected.g, 1) << c.body;
        EXPECT_NEAR(pixel.b, c.expected.b, 1) << c.body;
        EXPECT_NEAR(pixel.a, c.expected.a, 1) << c.body;
    }
}

// Drawing straight onto the output must give the recorded picture's pixels:
// faded groups, clips, masks and filters included, over a background.
TEST_F(RenderTest, DrawingStraightOntoPixelsMatchesTheReplayedRecording)
{
    const std::string body =
        "<clipPath id='c'><circle cx='50' cy='50' r='37.3'/></clipPath>"
        "<mask id='m'><rect width='100' height='100' fill='#888'/></mask>"
        "<filter id='f'><feGaussianBlur stdDeviation='2'/></filter>"
        "<g opacity='0.6' clip-path='url(#c)'><rect x='5.5' y='5.5' width='60' height='60' fill='blue' "
        "stroke='red' stroke-width='3'/><circle cx='60' cy='60' r='25' fill='lime'/></g>"
        "<g opacity='0.5'><rect x='20.3' y='70' width='50' height='20' fill='purple'/></g>"
        "<rect x='60' y='10' width='30' height='30' mask='url(#m)' filter='url(#f)'/>"
        // Groups that cannot fold, with a mask and a nested group inside.
        "<g opacity='0.7'><rect x='30.2' y='30' width='20' height='20' fill='orange'/>"
        "<circle cx='50' cy='50' r='10.5' fill='teal' mask='url(#m)'/>"
        "<g opacity='0.5'><rect x='45' y='45' width='30' height='10'/><rect x='50' y='40' width='10' "
        "height='30' stroke='navy' stroke-width='3'/></g></g>"
        // A faded paint server is drawn through a group of its own.
        "<pattern id='p' width='8' height='8' patternUnits='userSpaceOnUse'><rect width='4' height='4' "
        "fill='green'/></pattern>"
        "<rect x='5' y='75' width='40' height='20' fill='url(#p)' fill-opacity='0.5' stroke='url(#p)' "
        "stroke-width='4' stroke-opacity='0.7'/>";
    for (const double scale : {1.0, 2.5}) {
        ASSERT_NE(Load(body), nullptr);
        Paint(scale, scale);
        const int width = cairo_image_surface_get_width(surface_);
        const int height = cairo_image_surface_get_height(surface_);
        cairo_surface_t* direct = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(direct);
        CRenderPass pass(nullptr, CStopToken::Never());
        DrawDocument(*document_, cr, pass, Matrix::Scale(scale, scale));
        cairo_destroy(cr);
        // A recording keeps the clip in user units and tessellates it again
        // at replay, so under another scale a soft clip edge may differ by
        // a few levels; elsewhere only rounding.
        const int tolerance = scale == 1 ? 1 : 8;
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t a = Argb(x, y);
                const std::uint32_t b = vexo_test::PremultipliedArgb(direct, x, y);
                for (int shift = 0; shift < 32; shift += 8)
                    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
                        ++wrong;
            }
        cairo_surface_destroy(direct);
        EXPECT_EQ(wrong, 0) << "at scale " << scale;
    }
}

TEST_F(RenderTest, WritesPngPdfAndSvgFiles)
{
    ASSERT_NE(Load("<rect width='5' height='5' fill='red'/>", {}, "width='20' height='10'"), nullptr);
    const auto picture = Current().Record();
    const OutputSize size = ComputeOutputSize(picture->Frame(), 40, std::nullopt, 1);
    for (const char* name : {"out.png", "out.pdf", "out.svg"}) {
        const std::string path = vexo_test::TempDirectory() + "/" + name;
        std::string error;
        ASSERT_TRUE(WritePicture(*picture, path, *FormatFromPath(path), size, Rgba{255, 255, 255, 255}, error))
            << error;
        const std::string bytes = vexo_test::ReadFile(path);
        EXPECT_GT(bytes.size(), 50u) << name;
    }
    cairo_surface_t* png = cairo_image_surface_create_from_png((vexo_test::TempDirectory() + "/out.png").c_str());
    EXPECT_EQ(cairo_image_surface_get_width(png), 40);
    EXPECT_EQ(cairo_image_surface_get_height(png), 20);
    cairo_surface_destroy(png);
    std::string error;
    EXPECT_FALSE(WritePicture(*picture, "/nonexistent-dir/x.png", OutputFormat::Png, size, std::nullopt, error));
    EXPECT_FALSE(error.empty());
}
