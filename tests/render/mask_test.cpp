// Masks: luminance in the mask's colour space, the mask region and both unit
// systems, group opacity applied once to the masked result, resolution from the
// device scale, the bitmap limits, masks that come back to themselves,
// raster effects disabled, and the messages of mask set-up.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/picture_probe.h"
#include "test_support.h"


namespace {

class MaskTest : public vexo_test::PictureProbe {};

// A 100 x 100 black square masked by mask `id`.
std::string Masked(const std::string& id) { return "<rect width='100' height='100' mask='url(#" + id + ")'/>"; }

// A black band 20 high at `y`, masked by mask `id`.
std::string MaskedBand(const std::string& id, int y)
{
    return "<rect y='" + std::to_string(y) + "' width='100' height='20' mask='url(#" + id + ")'/>";
}

// A mask whose content is one rectangle of `fill` over the whole picture.
std::string FilledMask(const std::string& id, const std::string& fill)
{
    return "<mask id='" + id + "' maskUnits='userSpaceOnUse'><rect width='100' height='100' fill='" + fill +
           "'/></mask>";
}

TEST_F(MaskTest, AlphaIsTheLuminanceInTheMasksColorSpace)
{
    LoadAndPaint(FilledMask("white", "white") + FilledMask("black", "black") + FilledMask("grey", "#808080") +
                 FilledMask("green", "#00ff00") + FilledMask("faint", "white' fill-opacity='0.5") +
                 MaskedBand("white", 0) + MaskedBand("black", 20) + MaskedBand("grey", 40) + MaskedBand("green", 60) +
                 MaskedBand("faint", 80));
    ExpectPixels({{50, 10, kOpaque}, {50, 30, kEmpty}});
    // sRGB by default: mid grey is 50%.
    ExpectPixels({{50, 50, AlphaNear(128, 1)}, {50, 70, AlphaNear(182, 1)}, {50, 90, AlphaNear(127, 1)}});
}

TEST_F(MaskTest, LinearRgbMasksTakeTheLuminanceInLinearLight)
{
    // Asked for on the mask itself or inherited from its parent; a property
    // of the content does not change the mask's space.
    LoadAndPaint("<mask id='own' maskUnits='userSpaceOnUse' color-interpolation='linearRGB'>"
                 "<rect width='100' height='100' fill='#808080'/></mask>"
                 "<g color-interpolation='linearRGB'>" +
                 FilledMask("inherited", "#808080") +
                 "</g>"
                 "<mask id='content' maskUnits='userSpaceOnUse'>"
                 "<rect width='100' height='100' fill='#808080' color-interpolation='linearRGB'/></mask>" +
                 MaskedBand("own", 0) + MaskedBand("inherited", 20) + MaskedBand("content", 40));
    // Mid grey is about 21.6% in linear light.
    EXPECT_NEAR(Alpha(50, 10), 55, 1);
    EXPECT_NEAR(Alpha(50, 30), 55, 1);
    EXPECT_NEAR(Alpha(50, 50), 128, 1);
}

TEST_F(MaskTest, ContentOutsideTheRegionDisappears)
{
    LoadAndPaint("<mask id='box'><rect width='100' height='100' fill='white'/></mask>"
                 "<mask id='left' x='0' y='0' width='0.5' height='1'><rect width='100' height='100' fill='white'/>"
                 "</mask>"
                 "<mask id='user' maskUnits='userSpaceOnUse' x='0' y='50' width='50' height='50'>"
                 "<rect width='100' height='100' fill='white'/></mask>"
                 // The box is 20..80 by 5..35 and the default region reaches
                 // 10% of it further: the stroke goes beyond both.
                 "<rect x='20' y='5' width='60' height='30' stroke='black' stroke-width='30' mask='url(#box)'/>"
                 "<rect x='20' y='60' width='60' height='10' mask='url(#left)'/>"
                 "<rect x='20' y='80' width='60' height='10' mask='url(#user)'/>");
    ExpectPixels({{50, 10, kOpaque}, {16, 20, kOpaque}, {10, 20, kEmpty}, {90, 20, kEmpty}, {50, 1, kEmpty}});
    ExpectPixels({{45, 65, kOpaque}, {55, 65, kEmpty}, {45, 85, kOpaque}, {55, 85, kEmpty}});
}

// A mask opaque white over its whole raster is skipped; one that is not
// must still mask. Either way the masked picture is the element's own
// inside the mask region (overlapping parts and all), nothing outside it.
TEST_F(MaskTest, OpaqueMasksLeaveTheElementAsItIsInsideTheirRegion)
{
    const std::string content = "<rect x='10' y='10' width='60' height='60' fill='blue' fill-opacity='0.5'/>"
                                "<circle cx='50' cy='50' r='30' fill='red' fill-opacity='0.5'/>";
    LoadAndPaint("<g>" + content + "</g>");
    std::vector<std::uint32_t> unmasked;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            unmasked.push_back(Argb(x, y));
    struct Case {
        const char* mask;
        int regionLeft;  // pixels left of this column are masked out
    };
    const Case cases[] = {
        {"<mask id='m' maskUnits='userSpaceOnUse' x='0' y='0' width='100' height='100'>"
         "<rect width='100' height='100' fill='white'/></mask>", 0},
        {"<mask id='m' maskUnits='userSpaceOnUse' x='40' y='0' width='60' height='100'>"
         "<rect width='100' height='100' fill='white'/></mask>", 40},
        // Opaque only over part of its raster: the rest is masked out.
        {"<mask id='m' maskUnits='userSpaceOnUse' x='0' y='0' width='100' height='100'>"
         "<rect x='40' width='60' height='100' fill='white'/></mask>", 40},
    };
    for (const Case& c : cases) {
        LoadAndPaint(std::string(c.mask) + "<g mask='url(#m)'>" + content + "</g>");
        int wrong = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                const std::uint32_t expected = x < c.regionLeft ? 0 : unmasked[y * 100 + x];
                const std::uint32_t got = Argb(x, y);
                for (int shift = 0; shift < 32; shift += 8)
                    if (std::abs(int((got >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 1)
                        ++wrong;
            }
        EXPECT_EQ(wrong, 0) << c.mask;
    }
}

TEST_F(MaskTest, ObjectBoundingBoxContentMapsOntoTheBox)
{
    LoadAndPaint("<mask id='m' maskContentUnits='objectBoundingBox'>"
                 "<rect width='0.5' height='1' fill='white'/></mask>"
                 "<rect x='20' y='20' width='60' height='60' mask='url(#m)'/>");
    ExpectPixels({{45, 50, kOpaque}, {55, 50, kEmpty}});
}

TEST_F(MaskTest, ABoxWithoutAreaDrawsNothingUnlessTheMaskWorksInUserSpace)
{
    LoadAndPaint(FilledMask("user", "white") + "<mask id='box'><rect width='100' height='100' fill='white'/></mask>" +
                 "<line x1='0' y1='30' x2='100' y2='30' stroke='black' stroke-width='10' mask='url(#box)'/>"
                 "<line x1='0' y1='70' x2='100' y2='70' stroke='black' stroke-width='10' mask='url(#user)'/>");
    ExpectPixels({{50, 30, kEmpty}, {50, 70, kOpaque}});
}

TEST_F(MaskTest, GroupOpacityFadesTheMaskedResultOnce)
{
    LoadAndPaint(FilledMask("white", "white") + FilledMask("grey", "#808080") +
                 "<g opacity='0.5' mask='url(#white)'><rect width='100' height='50'/><rect width='100' height='50'/>"
                 "</g><g opacity='0.5' mask='url(#grey)'><rect y='50' width='100' height='50'/></g>");
    ExpectPixels({{50, 25, AlphaNear(128, 1)}, {50, 75, AlphaNear(64, 1)}});
}

TEST_F(MaskTest, MasksAreRasterisedAtTheDeviceScale)
{
    Load("<mask id='m' maskUnits='userSpaceOnUse'><circle cx='50' cy='50' r='30' fill='white'/>"
         "<rect x='0' y='0' width='40.125' height='10' fill='white'/></mask>" +
         Masked("m"));
    Paint(4, 4);
    // The edge at x = 40.125 falls in the middle of pixel 160: only a raster
    // made at 4 pixels a unit shows one half-covered pixel between a full
    // and an empty one.
    ExpectPixels({{159, 20, kOpaque}, {160, 20, AlphaNear(128, 10)}, {161, 20, kEmpty}, {200, 200, kOpaque}});
}

TEST_F(MaskTest, ARasterBeyondTheBitmapLimitsIsMadeCoarser)
{
    Load("\n<mask id='m'><rect width='100' height='100' fill='white'/></mask>"
         "<g transform='scale(500 1)'>\n<rect width='100' height='10' mask='url(#m)'/></g>",
         {}, "overflow='visible'");
    Paint();
    EXPECT_TRUE(HasMessagePrefix("W rect mask reduced to "));
    EXPECT_TRUE(Opaque(50, 5));
}

TEST_F(MaskTest, AMaskMetAgainInsideItsOwnContentIsIgnoredThere)
{
    LoadAndPaint("<mask id='a' maskUnits='userSpaceOnUse'>"
                 "<rect width='50' height='100' fill='white' mask='url(#b)'/></mask>"
                 "<mask id='b' maskUnits='userSpaceOnUse'>"
                 "<rect width='100' height='50' fill='white' mask='url(#a)'/></mask>" +
                 Masked("a"));
    ExpectPixels({{25, 25, kOpaque}, {75, 25, kEmpty}, {25, 75, kEmpty}});
}

TEST_F(MaskTest, AMaskOnTheMaskMasksItsContent)
{
    LoadAndPaint("<mask id='top' maskUnits='userSpaceOnUse'><rect width='100' height='50' fill='white'/></mask>"
                 "<mask id='m' maskUnits='userSpaceOnUse' mask='url(#top)'>"
                 "<rect width='50' height='100' fill='white'/></mask>" +
                 Masked("m"));
    ExpectPixels({{25, 25, kOpaque}, {75, 25, kEmpty}, {25, 75, kEmpty}});
}

TEST_F(MaskTest, RasterEffectsDisabledDrawsMaskedElementsUnmasked)
{
    svg::CDocOptions noRasterEffects;
    noRasterEffects.rasterEffectsDisabled = true;
    LoadAndPaint(FilledMask("black", "black") + "<g opacity='0.5' mask='url(#black)'><rect width='100' "
                                                "height='100'/><rect width='100' height='100'/></g>",
                 noRasterEffects);
    EXPECT_NEAR(Alpha(50, 50), 128, 1);
}

TEST_F(MaskTest, SetUpReportsInvalidValuesAndEmptyRegions)
{
    LoadAndPaint("\n<mask id='a' maskUnits='bogus' maskContentUnits='strokeWidth' x='1q'>"
                 "<rect width='100' height='100' fill='white'/></mask>"
                 "\n<mask id='z' width='0'><rect width='100' height='100' fill='white'/></mask>"
                 "\n<mask id='n' height='-1'/>" +
                 Masked("a") + "<g opacity='0.5'>" + Masked("z") + "</g>");
    ExpectMessagesInclude(
        {"E maek, maskUnits=\"bogus\" :Invalid value at 2(1)",
         "E mask maskContentUnits=\"strokeWidth\" :Invalid value at 2(1)", "E mask x=\"1q\" :Invalid value at 2(1)",
         "E mask width=\"0\" must be positive value at 3(1)", "E mask height=\"-1\" must be positive value at 4(1)"});
    // The defaults stand in for the invalid values; a zero width hides the
    // element.
    EXPECT_TRUE(Opaque(50, 50));
}

TEST_F(MaskTest, MasksThatMultiplyAreCutShortWithAWarning)
{
    // Ten children masked by the next mask, eight deep: 10^8 rasters.
    std::string body;
    for (int level = 0; level < 8; ++level) {
        body += "<mask id='m" + std::to_string(level) + "' maskUnits='userSpaceOnUse'>";
        for (int child = 0; child < 10; ++child)
            body += "<rect width='100' height='100' fill='white' mask='url(#m" + std::to_string(level + 1) + ")'/>";
        body += "</mask>";
    }
    body += "<mask id='m8' maskUnits='userSpaceOnUse'><rect width='100' height='100' fill='white'/></mask>";
    LoadAndPaint(body + Masked("m0"));
    EXPECT_TRUE(HasMessagePrefix("W rect masks nested too deeply or too often: not drawn at "));
}

}  // namespace
