// The render entry, bounds and the recorded picture, on whole documents.
#include <gtest/gtest.h>

#include <cairo.h>

#include "render/output.h"
#include "render/render.h"
#include "test_support.h"

using namespace svg;

namespace {

class RenderTest : public vexo_test::LoadTest {
protected:
    CElemDocument* Load(const std::string& svg) { return LoadText(svg, "/vexo-test/render.svg", "render.svg"); }
    std::unique_ptr<CPicture> Record() { return Current().Record(); }
};

// Alpha of one pixel of `picture` replayed at `scale` into a w x h image.
int AlphaAt(const CPicture& picture, double scale, int w, int h, int x, int y)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    picture.Replay(cr, Matrix::Scale(scale, scale));
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const int alpha = row[x * 4 + 3];
    cairo_surface_destroy(surface);
    return alpha;
}

}  // namespace

TEST_F(RenderTest, RecordingReplaysSharpAtAnyScale)
{
    CElemDocument* document = Load("<svg width='10' height='10'><rect x='2' y='2' width='5' height='5'/></svg>");
    ASSERT_NE(document, nullptr);
    const auto picture = Record();
    EXPECT_EQ(picture->Frame(), (RectF{0, 0, 10, 10}));
    EXPECT_EQ(AlphaAt(*picture, 1, 10, 10, 3, 3), 255);
    // At 10x the rect's edge at x = 7 user units falls exactly on pixel 70.
    EXPECT_EQ(AlphaAt(*picture, 10, 100, 100, 69, 50), 255);
    EXPECT_EQ(AlphaAt(*picture, 10, 100, 100, 70, 50), 0);
}

TEST_F(RenderTest, BoundsFollowTransformsExactlyUnderRotation)
{
    CElemDocument* document = Load(
        "<svg><g id='g' transform='rotate(45)'><circle id='c' r='10'/></g>"
        "<g id='s' transform='translate(5,0) scale(2)'><rect width='1' height='3'/></g></svg>");
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
    CElemDocument* document = Load("<svg width='10' height='10'><rect width='10' height='10' display='none'/>"
                                   "<rect width='10' height='10' transform='scale(0)'/></svg>");
    ASSERT_NE(document, nullptr);
    const auto picture = Record();
    EXPECT_EQ(AlphaAt(*picture, 1, 10, 10, 5, 5), 0);
}

TEST_F(RenderTest, GroupOpacityFadesOverlapsOnce)
{
    CElemDocument* document = Load("<svg width='10' height='10'><g opacity='0.5'>"
                                   "<rect width='10' height='10'/><rect width='10' height='10'/></g></svg>");
    ASSERT_NE(document, nullptr);
    const auto picture = Record();
    EXPECT_NEAR(AlphaAt(*picture, 1, 10, 10, 5, 5), 128, 1);
}

TEST_F(RenderTest, WritesPngPdfAndSvgFiles)
{
    CElemDocument* document = Load("<svg width='20' height='10'><rect width='5' height='5' fill='red'/></svg>");
    ASSERT_NE(document, nullptr);
    const auto picture = Record();
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
