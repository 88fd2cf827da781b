// Drawing through filters: the region and subregions in device pixels,
// results drawn back pixel-aligned, named results and standard inputs,
// colour spaces, the background of enable-background, feImage, what is not
// drawn and why, the bounds on pixels and nesting, and pictures redrawn at
// another zoom.
#include <gtest/gtest.h>

#include <string>

#include "model/load_context.h"
#include "render/picture_probe.h"
#include "test_support.h"

namespace {

// Filters computed one filter pixel a device pixel: the default factor of
// the viewer's setting (1.5) would resample every result.
svg::CDocOptions DevicePixels()
{
    svg::CDocOptions options;
    options.filterResolutionFactor = 1;
    return options;
}

class FilterEffectTest : public vexo_test::PictureProbe {
protected:
    void Load(const std::string& body, const svg::CDocOptions& loadOptions = DevicePixels())
    {
        PictureProbe::Load(body, loadOptions);
    }
    void LoadAndPaint(const std::string& body)
    {
        Load(body);
        Paint();
    }
    // A filter `id` of `primitives` with its default region.
    static std::string Filter(const std::string& id, const std::string& primitives,
                              const std::string& attributes = "")
    {
        return "<filter id='" + id + "' " + attributes + ">" + primitives + "</filter>";
    }
    // A filter whose region is the element's box.
    static std::string BoxFilter(const std::string& id, const std::string& primitives,
                                 const std::string& attributes = "")
    {
        return Filter(id, primitives, "x='0' y='0' width='1' height='1' " + attributes);
    }
    // Pixels of the picture that are not transparent.
    int Covered() const
    {
        int count = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                count += Empty(x, y) ? 0 : 1;
        return count;
    }
    // A user-space filter over the whole 100 x 100 picture.
    static std::string WholeFilter(const std::string& id, const std::string& primitives,
                                   const std::string& attributes = "")
    {
        return Filter(id, primitives, "filterUnits='userSpaceOnUse' x='0' y='0' width='100' height='100' " + attributes);
    }
    int Red(int x, int y) const { return Pixel(x, y).r; }
};

// The default region is the box and 10% of it around: 14..86 for 20..80.
TEST_F(FilterEffectTest, TheRegionLiesOnWholeDevicePixels)
{
    Load(Filter("f", "<feFlood flood-color='#ff0000'/>") +
         "<rect x='20' y='20' width='60' height='60' filter='url(#f)'/>");
    Paint();
    EXPECT_TRUE(Empty(13, 50));
    EXPECT_EQ(Argb(14, 50), 0xFFFF0000u);
    EXPECT_EQ(Argb(85, 50), 0xFFFF0000u);
    EXPECT_TRUE(Empty(86, 50));
    // Recorded for three device pixels a unit, the region is 42..258.
    Paint(3, 3);
    EXPECT_TRUE(Empty(41, 150));
    EXPECT_EQ(Argb(42, 150), 0xFFFF0000u);
    EXPECT_EQ(Argb(257, 150), 0xFFFF0000u);
    EXPECT_TRUE(Empty(258, 150));
}

// Computed in device pixels, a subregion edge at 40.25 units falls on
// pixel 161 when each unit is 4 pixels; computed in units and scaled up it
// would cover pixel 160 too.
TEST_F(FilterEffectTest, SubregionsAreSharpAtTheDeviceScale)
{
    Load(WholeFilter("f", "<feFlood flood-color='#ff0000' x='40.25' width='10'/>") +
         "<rect width='100' height='100' filter='url(#f)'/>");
    Paint(4, 4);
    EXPECT_TRUE(Empty(160, 200));
    EXPECT_EQ(Argb(161, 200), 0xFFFF0000u);
    EXPECT_EQ(Argb(200, 200), 0xFFFF0000u);
    EXPECT_TRUE(Empty(201, 200));
}

// A mirrored element is filtered the right way round: its offset moves it
// along its own x axis, which points left on the device.
TEST_F(FilterEffectTest, MirroredElementsAreFilteredInTheirOwnSpace)
{
    LoadAndPaint(WholeFilter("f", "<feOffset dx='10'/>") +
                 "<g transform='translate(100 0) scale(-1 1)'>"
                 "<rect width='20' height='20' fill='#ff0000' filter='url(#f)'/></g>");
    EXPECT_TRUE(Empty(95, 10));
    EXPECT_EQ(Argb(89, 10), 0xFFFF0000u);
    EXPECT_EQ(Argb(70, 10), 0xFFFF0000u);
    EXPECT_TRUE(Empty(69, 10));
}

TEST_F(FilterEffectTest, NamedResultsAndStandardInputs)
{
    LoadAndPaint(BoxFilter("named", "<feFlood flood-color='#ff0000' result='red'/>"
                                    "<feFlood flood-color='#0000ff'/>"
                                    "<feMerge><feMergeNode in='red'/></feMerge>") +
                 BoxFilter("alpha", "<feOffset in='SourceAlpha'/>") +
                 BoxFilter("unknown", "<feFlood flood-color='#00ff00'/><feOffset in='nothing' dx='0'/>") +
                 "<rect width='100' height='20' filter='url(#named)'/>"
                 "<rect y='30' width='50' height='20' fill='#0000ff' filter='url(#alpha)'/>"
                 "<rect y='60' width='50' height='20' filter='url(#unknown)'/>");
    EXPECT_EQ(Argb(50, 10), 0xFFFF0000u);
    EXPECT_EQ(Argb(25, 40), 0xFF000000u);
    EXPECT_TRUE(Empty(75, 40));
    // A name no primitive gave is the previous result.
    EXPECT_EQ(Argb(25, 70), 0xFF00FF00u);
}

// SVG: a primitive's default subregion is the union of its inputs'; feTile's,
// and that of a primitive reading a standard input, is the filter region.
TEST_F(FilterEffectTest, DefaultSubregionsFollowTheInputs)
{
    LoadAndPaint(BoxFilter("offset", "<feFlood flood-color='#ff0000' x='10' width='20'/>"
                                     "<feOffset dx='40'/>") +
                 BoxFilter("tile", "<feFlood flood-color='#ff0000' x='10' width='20' height='40'/>"
                                   "<feTile/>") +
                 BoxFilter("partial", "<feFlood flood-color='#ff0000' x='60'/>") +
                 "<rect width='100' height='30' filter='url(#offset)'/>"
                 "<rect y='30' width='100' height='30' filter='url(#tile)'/>"
                 "<rect y='60' width='100' height='40' filter='url(#partial)'/>");
    // The offset result lies outside the flood's subregion it inherits.
    EXPECT_TRUE(Empty(20, 10));
    EXPECT_TRUE(Empty(60, 10));
    // Tiles 20 wide cover the whole region.
    EXPECT_EQ(Argb(50, 45), 0xFFFF0000u);
    EXPECT_EQ(Argb(95, 55), 0xFFFF0000u);
    // A subregion with only x keeps the default width: it reaches past the
    // region and is clipped to it.
    EXPECT_TRUE(Empty(59, 61));
    EXPECT_EQ(Argb(60, 61), 0xFFFF0000u);
    EXPECT_EQ(Argb(99, 61), 0xFFFF0000u);
}

// Half-transparent white over opaque black is mid grey: 0.5 in linear light,
// 188 when encoded, or 128 when composited in sRGB.
TEST_F(FilterEffectTest, PrimitivesComputeInTheirColourSpace)
{
    const std::string primitives = "<feFlood flood-color='#000000' result='black'/>"
                                   "<feFlood flood-color='#ffffff' flood-opacity='0.5'/>"
                                   "<feComposite in2='black'/>";
    LoadAndPaint(BoxFilter("linear", primitives) +
                 BoxFilter("srgb", primitives, "color-interpolation-filters='sRGB'") +
                 "<rect width='100' height='50' filter='url(#linear)'/>"
                 "<rect y='50' width='100' height='50' filter='url(#srgb)'/>");
    EXPECT_NEAR(Red(50, 25), 188, 2);
    EXPECT_NEAR(Red(50, 75), 128, 2);
}

// SVG: lighting-color is an sRGB colour like any other; in linear light
// the lit surface shows it unchanged.
TEST_F(FilterEffectTest, LightingColourIsConvertedToTheWorkingSpace)
{
    LoadAndPaint(WholeFilter("f", "<feDiffuseLighting lighting-color='#808080'>"
                                  "<feDistantLight elevation='90'/></feDiffuseLighting>") +
                 "<rect width='100' height='100' filter='url(#f)'/>");
    EXPECT_NEAR(Red(50, 50), 128, 2);
}

TEST_F(FilterEffectTest, TheBackgroundIsWhatEnclosingContainersDrewBefore)
{
    // Inputs are clipped to the filter region: it must reach the shapes.
    const std::string filters = WholeFilter("copy", "<feOffset in='BackgroundImage' dx='50'/>") +
                                WholeFilter("alpha", "<feOffset in='BackgroundAlpha' dx='50' dy='50'/>");
    const std::string shapes = "<rect width='50' height='20' fill='#ff0000'/>"
                               "<g><rect y='20' width='50' height='20' fill='#00ff00'/>"
                               "<rect x='50' width='50' height='40' fill='none' filter='url(#copy)'/></g>"
                               "<rect x='50' y='50' width='50' height='40' fill='none' filter='url(#alpha)'/>";
    LoadAndPaint(filters + "<g enable-background='new'>" + shapes + "</g>");
    EXPECT_EQ(Argb(75, 10), 0xFFFF0000u);
    EXPECT_EQ(Argb(75, 30), 0xFF00FF00u);
    EXPECT_EQ(Argb(75, 65), 0xFF000000u);  // alpha only
    EXPECT_EQ(Argb(75, 85), 0xFF000000u);
    // Without `new` there is no background.
    LoadAndPaint(filters + "<g>" + shapes + "</g>");
    EXPECT_TRUE(Empty(75, 10));
    EXPECT_TRUE(Empty(75, 65));
    // `new` with a region keeps only what falls inside it.
    LoadAndPaint(filters + "<g enable-background='new 0 0 25 100'>" + shapes + "</g>");
    EXPECT_EQ(Argb(60, 10), 0xFFFF0000u);
    EXPECT_TRUE(Empty(80, 10));
}

TEST_F(FilterEffectTest, FeImageShowsAnElementOrAPicture)
{
    LoadAndPaint("<rect id='shown' width='20' height='20' fill='#0000ff'/>" +
                 WholeFilter("element", "<feImage xlink:href='#shown' x='40' y='0' width='20' height='20'/>") +
                 // The element's own filter is met again inside itself: it is
                 // drawn unfiltered there.
                 WholeFilter("self", "<feImage xlink:href='#me'/>") +
                 "<rect width='1' height='1' fill='none' filter='url(#element)'/>"
                 "<rect id='me' x='0' y='60' width='30' height='30' fill='#00ff00' filter='url(#self)'/>");
    EXPECT_EQ(Argb(50, 10), 0xFF0000FFu);
    EXPECT_TRUE(Empty(70, 10));
    EXPECT_EQ(Argb(15, 75), 0xFF00FF00u);
}

TEST_F(FilterEffectTest, WhatIsNotDrawn)
{
    Load("\n" + Filter("box", "<feFlood/>") + WholeFilter("zero", "<feFlood/>", "filterRes='0'") +
         Filter("none", "") +
         "\n<line x1='0' y1='10' x2='100' y2='10' stroke='black' stroke-width='10' filter='url(#box)'/>"
         "<rect y='30' width='100' height='20' filter='url(#zero)'/>"
         "<rect y='60' width='100' height='20' filter='url(#none)'/>"
         "<g filter='url(#box)'/>");
    Paint();
    EXPECT_TRUE(HasMessage("W line unitObjectBoundingBox invalid at 3(1)"));
    EXPECT_TRUE(HasMessagePrefix("W g unitObjectBoundingBox invalid at 3("));
    EXPECT_TRUE(Empty(50, 10));
    EXPECT_TRUE(Empty(50, 40));
    EXPECT_TRUE(Empty(50, 70));
}

TEST_F(FilterEffectTest, WithRasterEffectsDisabledElementsAreDrawnUnfiltered)
{
    svg::CDocOptions disabled = DevicePixels();
    disabled.rasterEffectsDisabled = true;
    Load(WholeFilter("f", "<feFlood flood-color='#ff0000'/>") +
             "<rect width='50' height='50' fill='#0000ff' filter='url(#f)'/>",
         disabled);
    Paint();
    EXPECT_EQ(Argb(25, 25), 0xFF0000FFu);
    EXPECT_TRUE(Empty(75, 75));
}

// Only what the clip lets through is computed: a region of 10 000 x 10 000
// units at 100 pixels a unit needs no coarser resolution to show 100 x 100.
TEST_F(FilterEffectTest, OnlyTheVisiblePartOfARegionIsComputed)
{
    LoadAndPaint(Filter("f", "<feFlood flood-color='#ff0000'/><feGaussianBlur stdDeviation='0.01'/>",
                        "filterUnits='userSpaceOnUse' x='-5000' y='-5000' width='10000' height='10000'") +
                 "<g transform='scale(100)'><rect width='1' height='1' filter='url(#f)'/></g>");
    EXPECT_FALSE(HasMessagePrefix("W rect filter reduced"));
    EXPECT_EQ(Argb(50, 50), 0xFFFF0000u);
}

// A tile reads its whole input, so the whole region must be computed: past
// the pixel bound it is computed coarser, with a warning, and still drawn.
TEST_F(FilterEffectTest, ARegionBeyondThePixelBoundIsComputedCoarser)
{
    Load("\n" + Filter("f", "<feFlood flood-color='#ff0000'/><feTile/>",
                       "filterUnits='userSpaceOnUse' x='-50000' y='-50000' width='100000' height='100000'") +
         "\n<rect width='100' height='100' filter='url(#f)'/>");
    Paint();
    EXPECT_TRUE(HasMessagePrefix("W rect filter reduced to "));
    EXPECT_EQ(Argb(50, 50), 0xFFFF0000u);
}

TEST_F(FilterEffectTest, FiltersNestedBeyondTheBoundDrawUnfiltered)
{
    std::string nested = "<rect width='100' height='100' fill='#0000ff'/>";
    std::string filters;
    for (int i = 0; i < 20; ++i) {
        filters += WholeFilter("f" + std::to_string(i), "<feOffset/>");
        nested = "<g filter='url(#f" + std::to_string(i) + ")'>" + nested + "</g>";
    }
    LoadAndPaint(filters + "\n" + nested);
    EXPECT_TRUE(HasMessagePrefix("W g filters nested too deeply: drawn unfiltered at "));
    EXPECT_EQ(Argb(50, 50), 0xFF0000FFu);
}

// Nine filtered elements whose feImage each shows them all: a filter is
// never run inside itself, and yet they would nest 9! + 9! / 1! + ...
// filters; the filters run inside feImage pictures are bounded.
// A filtered group inside a container that keeps its background is drawn
// through a recording; the recording keeps the canvas's clip, so a huge
// filter region is computed only where it can be seen, not reduced in size.
TEST_F(FilterEffectTest, FiltersUnderAKeptBackgroundComputeOnlyTheVisiblePart)
{
    LoadAndPaint("<filter id='huge' x='-100' y='-100' width='200' height='200'>"
                 "<feGaussianBlur stdDeviation='1'/></filter>" +
                 WholeFilter("behind", "<feOffset in='BackgroundImage' dx='10'/>") +
                 "<g enable-background='new'><g filter='url(#huge)'>"
                 "<rect x='20' y='20' width='60' height='60' fill='#0000ff'/><g filter='url(#behind)'/></g></g>");
    EXPECT_FALSE(HasMessagePrefix("W g filter reduced")) << ::testing::PrintToString(Messages());
    EXPECT_GT(Covered(), 0);
}

TEST_F(FilterEffectTest, FiltersNestedThroughPicturesAreBounded)
{
    std::string shapes;
    std::string filters;
    for (int i = 0; i < 9; ++i) {
        const std::string id = std::to_string(i);
        filters += WholeFilter("f" + id, "<feImage xlink:href='#all'/>");
        shapes += "<rect x='" + std::to_string(i * 8) + "' width='8' height='8' fill='#ff0000' filter='url(#f" + id +
                  ")'/>";
    }
    LoadAndPaint("<g id='all'>" + shapes + "</g>" + filters);
    EXPECT_TRUE(HasMessagePrefix("W rect filters in feImage pictures too many: not drawn at "));
    EXPECT_GT(Covered(), 0);
}

// Hostile values end in bounded time with a picture.
TEST_F(FilterEffectTest, HostileParametersAreBounded)
{
    struct Case {
        const char* primitive;
        // Pixels drawn at least (-1: any number).
        int covered;
    };
    const Case cases[] = {
        {"<feTurbulence baseFrequency='0.1' numOctaves='1000000000'/>", 1000},
        {"<feMorphology operator='dilate' radius='1000000'/>", 10000},
        {"<feGaussianBlur stdDeviation='1e38'/>", -1},
        {"<feOffset dx='1e38' dy='-1e38'/>", -1},
        {"<feConvolveMatrix order='3' kernelMatrix='1e38 1e38 1e38 1e38 1e38 1e38 1e38 1e38 1e38'/>", -1},
        {"<feDisplacementMap scale='1e38' in2='SourceGraphic'/>", -1},
        {"<feDiffuseLighting surfaceScale='1e38'><fePointLight z='1e38'/></feDiffuseLighting>", -1},
    };
    for (const Case& c : cases) {
        LoadAndPaint(WholeFilter("f", c.primitive) + "<rect width='10' height='10' fill='#ff0000' filter='url(#f)'/>");
        EXPECT_GE(Covered(), c.covered) << c.primitive;
    }
}

TEST_F(FilterEffectTest, ProgressCountsThePrimitivesRun)
{
    LoadAndPaint(WholeFilter("f", "<feFlood/><feOffset/><feTile/>") + "<rect width='1' height='1' filter='url(#f)'/>"
                 "<rect width='1' height='1' filter='url(#f)'/>");
    const svg::LoadProgress& progress = Current().Context().Progress();
    EXPECT_EQ(progress.primitivesTotal, 6);
    EXPECT_EQ(progress.primitivesDone, 6);
}

// A picture recorded at one zoom and shown at another computes its filters
// again, for the pixels it is shown on; without raster effects it replays.
TEST_F(FilterEffectTest, APictureShownAtAnotherZoomIsRedrawnSharp)
{
    Load(Filter("f", "<feGaussianBlur stdDeviation='1'/>") +
         "<rect x='20' y='20' width='60' height='60' fill='#0000ff' filter='url(#f)'/>");
    Paint(4, 4);
    const std::uint32_t edge = Argb(79, 200);
    const std::uint32_t inside = Argb(90, 200);
    Paint(1, 4);
    EXPECT_EQ(Argb(79, 200), edge);
    EXPECT_EQ(Argb(90, 200), inside);
    const auto picture = Current().Record(1);
    EXPECT_TRUE(picture->HasRasterEffects());

    Load("<rect width='50' height='50'/>");
    EXPECT_FALSE(Current().Record(1)->HasRasterEffects());
}

}  // namespace

namespace {

// The picture drawn onto a 120 x 120 image at a scale that puts device pixels
// across user units, whole or as `pieces` x `pieces` clipped tiles.
std::vector<unsigned char> DrawInTiles(const svg::CElemDocument& document, int pieces)
{
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 120);
    const svg::Matrix userToDevice{1.13, 0, 0, 1.13, 0.4, 0.7};
    const int step = (120 + pieces - 1) / pieces;
    for (int row = 0; row < pieces; ++row) {
        for (int column = 0; column < pieces; ++column) {
            cairo_t* cr = cairo_create(image);
            cairo_rectangle(cr, column * step, row * step, step, step);
            cairo_clip(cr);
            svg::CRenderPass pass(nullptr, svg::CStopToken::Never());
            svg::DrawDocument(document, cr, pass, userToDevice);
            cairo_destroy(cr);
        }
    }
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    std::vector<unsigned char> pixels(data, data + cairo_image_surface_get_stride(image) * 120);
    cairo_surface_destroy(image);
    return pixels;
}

TEST_F(FilterEffectTest, TilesOfAFilteredPictureHaveThePixelsOfTheWhole)
{
    // The viewer draws filters in tiles, at a filter resolution of its own:
    // each result is resampled, and beyond a tile's edge it must sample what
    // the filter computes there, not transparency.
    const std::string primitives[] = {
        "<feGaussianBlur stdDeviation='6'/>",
        "<feOffset dx='7.5' dy='-3.3'/>",
        "<feMorphology operator='dilate' radius='3'/>",
        "<feSpecularLighting surfaceScale='5' specularExponent='8'><fePointLight x='50' y='20' z='30'/>"
        "</feSpecularLighting>",
    };
    for (const std::string& primitive : primitives) {
        SCOPED_TRACE(primitive);
        Load("<defs>" + WholeFilter("f", primitive) + "</defs>"
             "<g filter='url(#f)'><rect x='20' y='15' width='50' height='60' fill='#c33'/>"
             "<circle cx='70' cy='70' r='20' fill='#36c'/></g>",
             svg::CDocOptions{});  // the viewer's filter resolution: results are resampled
        ASSERT_NE(document_, nullptr);
        const std::vector<unsigned char> whole = DrawInTiles(*document_, 1);
        EXPECT_NE(std::count(whole.begin(), whole.end(), 0), static_cast<long>(whole.size()));
        EXPECT_EQ(DrawInTiles(*document_, 3), whole);
    }
}

}  // namespace
