// The render entry, bounds and the recorded picture, on whole documents.
#include <gtest/gtest.h>

#include <cairo.h>

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
