#include <gtest/gtest.h>

#include "filter/image.h"
#include "filter_test_util.h"

using filter_test::At;
using svg::PackPixel;

TEST(PlaceImage, DrawsThroughTheMatrixInFilterPixels)
{
    // A 2 x 1 image, red then blue, scaled by 3 and placed at (10, 20).
    svg::CairoSurfacePtr image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 1));
    cairo_surface_flush(image.get());
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(image.get()));
    pixels[0] = PackPixel(255, 255, 0, 0);
    pixels[1] = PackPixel(255, 0, 0, 255);
    cairo_surface_mark_dirty(image.get());

    auto target = svg::CRtBitmap::Create({8, 18, 12, 8}, false);
    svg::Matrix placement = svg::Matrix::Scale(3, 3);
    placement.dx = 10;
    placement.dy = 20;
    ASSERT_TRUE(svg::PlaceImage(*target, image.get(), placement));
    EXPECT_EQ(At(*target, 10, 21), PackPixel(255, 255, 0, 0));
    EXPECT_EQ(At(*target, 15, 21), PackPixel(255, 0, 0, 255));
    EXPECT_EQ(At(*target, 9, 21), 0u);
    EXPECT_EQ(At(*target, 12, 24), 0u);

    EXPECT_FALSE(svg::PlaceImage(*target, image.get(), svg::Matrix::Scale(0, 1)));
    EXPECT_FALSE(svg::PlaceImage(*target, nullptr, placement));
}
