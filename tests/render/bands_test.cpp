// A large picture drawn in bands: the same pixels on one core as on several,
// whatever crosses the bands' edges, and a band that fails ends the drawing
// with its exception instead of ending the process.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "picture_probe.h"
#include "render/bands.h"
#include "render/filter_effect.h"
#include "render/render.h"

using namespace svg;

namespace {

// 120 x 120 user units drawn 24 times larger: 2880 pixels square, cut into
// a few bands.
constexpr double kScale = 24;
constexpr int kSide = 2880;

// Each crosses the edges of the bands, some beyond what their box says.
const vexo_test::NamedDocument kBandCases[] = {
    {"long thin miters and a self-crossing path",
     "<path d='M10 70 L38 10 L42 70 C 90 -40 10 160 110 20 Z' fill='teal' fill-opacity='0.6' "
     "fill-rule='evenodd' stroke='navy' stroke-width='0.7' stroke-miterlimit='20'/>"},
    {"a blur spreading into the next band",
     "<filter id='f'><feGaussianBlur stdDeviation='2'/></filter>"
     "<rect x='30' y='28' width='15' height='15' fill='blue' filter='url(#f)'/>"},
    {"pattern, clip, mask, gradient and group opacity",
     "<pattern id='p' width='7' height='7' patternUnits='userSpaceOnUse'><circle cx='3' cy='3' r='3' "
     "fill='red'/></pattern><clipPath id='c'><circle cx='60' cy='60' r='35'/></clipPath>"
     "<linearGradient id='g' x2='0' y2='1'><stop offset='0' stop-color='#fff'/><stop offset='1' "
     "stop-color='#000'/></linearGradient><mask id='m'><rect width='120' height='120' fill='url(#g)'/></mask>"
     "<rect x='10' y='10' width='100' height='100' fill='url(#p)' clip-path='url(#c)'/>"
     "<g opacity='0.5' mask='url(#m)'><rect x='0' y='25' width='120' height='50' fill='black'/></g>"},
    {"text and markers", "<marker id='mk' markerWidth='6' markerHeight='6' refX='3' refY='3'><circle cx='3' cy='3' "
                         "r='3' fill='red'/></marker><text x='5' y='50' font-size='40' fill='purple'>Wg</text>"
                         "<path d='M5 14 L60 31 L115 14' fill='none' stroke='black' marker-mid='url(#mk)'/>"},
};

}  // namespace

class BandsTest : public vexo_test::PictureProbe {
protected:
    // The document drawn in bands on `cores` threads, as the command-line
    // renderer draws it.
    cairo_surface_t* DrawnInBands(unsigned cores)
    {
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
        cairo_t* cr = cairo_create(image);
        const Matrix toImage = Matrix::Scale(kScale, kScale);
        EXPECT_TRUE(Current().Load().DrawInBands(cr, toImage, cores));
        cairo_destroy(cr);
        cairo_surface_flush(image);
        return image;
    }
};

TEST_F(BandsTest, OneCoreAndSeveralGiveTheSamePixels)
{
    ASSERT_GT(BandCount(kSide, kSide), 2);
    for (const vexo_test::NamedDocument& c : kBandCases) {
        ASSERT_NE(Load(c.body, {}, "width='120' height='120'"), nullptr) << c.name;
        ASSERT_TRUE(FiltersWorthBands(*document_, Matrix::Scale(kScale, kScale), kSide, kSide, BandCount(kSide, kSide)))
            << c.name;
        cairo_surface_t* alone = DrawnInBands(1);
        cairo_surface_t* shared = DrawnInBands(3);
        EXPECT_GT(vexo_test::InkedPixels(alone), 0) << c.name;
        const std::size_t bytes = static_cast<std::size_t>(cairo_image_surface_get_stride(alone)) * kSide;
        EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(alone), cairo_image_surface_get_data(shared), bytes), 0)
            << c.name;
        cairo_surface_destroy(alone);
        cairo_surface_destroy(shared);
    }
}

// A blur reaching over several bands of a large region would be computed
// again for each; a short one, or one over a small region, is worth bands.
TEST_F(BandsTest, FarReachingFiltersOverLargeRegionsAreDrawnWhole)
{
    struct FilterCase {
        const char* filter;
        const char* rect;
        bool banded;
    };
    const FilterCase cases[] = {
        {"<feGaussianBlur stdDeviation='1'/>", "width='120' height='120'", true},
        {"<feGaussianBlur stdDeviation='20'/>", "width='120' height='120'", false},
        {"<feGaussianBlur stdDeviation='20'/>", "x='50' y='50' width='4' height='4'", true},
        {"<feTile/>", "x='50' y='50' width='4' height='4'", false},
    };
    for (const FilterCase& c : cases) {
        Load(std::string("<filter id='f'>") + c.filter + "</filter><rect " + c.rect + " filter='url(#f)'/>", {},
             "width='120' height='120'");
        EXPECT_EQ(FiltersWorthBands(*document_, Matrix::Scale(kScale, kScale), kSide, kSide, BandCount(kSide, kSide)),
                  c.banded)
            << c.filter << " on " << c.rect;
    }
}

TEST(Bands, AFailingBandEndsTheDrawingWithItsException)
{
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
    cairo_t* cr = cairo_create(image);
    int firstDrawn = 0;
    const DrawBand first = [&](cairo_t*) { ++firstDrawn; };
    const DrawBand failing = [](cairo_t*) { throw std::runtime_error("band failed"); };
    EXPECT_THROW(DrawInBands(cr, BandCount(kSide, kSide), 2, first, failing), std::runtime_error);
    EXPECT_EQ(firstDrawn, 1);
    cairo_destroy(cr);
    cairo_surface_destroy(image);
}
