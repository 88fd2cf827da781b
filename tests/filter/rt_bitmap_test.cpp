#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "filter/color_tables.h"
#include "filter/rt_bitmap.h"
#include "test_support.h"

using svg::CPixelRegion;
using svg::CRtBitmap;
using svg::PixelRect;

namespace {

void SetPixel(CRtBitmap& bitmap, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
    std::uint8_t* pixel = bitmap.Row(y) + x * svg::kBytesPerPixel;
    pixel[svg::kRed] = r;
    pixel[svg::kGreen] = g;
    pixel[svg::kBlue] = b;
    pixel[svg::kAlpha] = a;
}

const std::uint8_t* Pixel(const CRtBitmap& bitmap, int x, int y) { return bitmap.Row(y) + x * svg::kBytesPerPixel; }

std::uint32_t CairoPixel(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const std::uint8_t* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

class RtBitmapTest : public ::testing::Test {
protected:
};

}  // namespace

TEST(RtBitmapPixelRect, EdgesWithinAPixelTwentiethSnap)
{
    // Right edge at 10.03 snaps to 10; at 10.06 it grows a column.
    EXPECT_EQ(svg::ToPixelRect(0.04, 0, 9.99, 5), (PixelRect{0, 0, 10, 5}));
    EXPECT_EQ(svg::ToPixelRect(0.06, 0, 10, 5), (PixelRect{0, 0, 11, 5}));
    // A left edge at 0.96 snaps up to 1.
    EXPECT_EQ(svg::ToPixelRect(0.96, 0, 2, 1), (PixelRect{1, 0, 2, 1}));
    EXPECT_EQ(svg::ToPixelRect(-0.5, -0.5, 1, 1), (PixelRect{-1, -1, 2, 2}));
}

TEST(RtBitmapPixelRect, NanAndHugeInputsStayInRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(svg::ToPixelRect(nan, 0, 10, 10).IsEmpty());
    EXPECT_TRUE(svg::ToPixelRect(0, 0, nan, 10).IsEmpty());
    EXPECT_TRUE(svg::ToPixelRect(inf, 0, -inf, 10).IsEmpty());
    EXPECT_TRUE(svg::ToPixelRect(0, 0, -3, 10).IsEmpty());

    const PixelRect huge = svg::ToPixelRect(-1e30, -1e30, 1e31, 1e31);
    EXPECT_FALSE(huge.IsEmpty());
    EXPECT_EQ(huge.x, -(1 << 23));
    EXPECT_EQ(huge.width, 1 << 24);
    EXPECT_FALSE(svg::IsWithinBitmapLimits(huge));
    EXPECT_EQ(CRtBitmap::Create(huge, false), nullptr);
}

TEST(RtBitmapPixelRect, Intersection)
{
    PixelRect out;
    EXPECT_TRUE(svg::IntersectPixelRects({0, 0, 10, 10}, {5, -5, 10, 10}, out));
    EXPECT_EQ(out, (PixelRect{5, 0, 5, 5}));
    EXPECT_FALSE(svg::IntersectPixelRects({0, 0, 10, 10}, {10, 0, 5, 5}, out));  // touching
    EXPECT_FALSE(svg::IntersectPixelRects({0, 0, 10, 10}, {20, 20, 5, 5}, out));
    // Right edges beyond INT_MAX must not overflow.
    EXPECT_TRUE(svg::IntersectPixelRects({INT_MAX - 5, 0, INT_MAX, 1}, {INT_MAX - 10, 0, 8, 1}, out));
    EXPECT_EQ(out, (PixelRect{INT_MAX - 5, 0, 3, 1}));
}

TEST_F(RtBitmapTest, CreateIsZeroedOwningAndDefinedEverywhere)
{
    auto bitmap = CRtBitmap::Create({-3, 4, 5, 2}, false);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(bitmap->OwnsPixels());
    EXPECT_EQ(bitmap->Region(), nullptr);
    EXPECT_EQ(bitmap->Stride(), 20u);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(bitmap->Row(y)[i], 0);
}

TEST_F(RtBitmapTest, CreateRefusesEmptyAndOversizedWithoutAllocating)
{
    EXPECT_EQ(CRtBitmap::Create({0, 0, 0, 10}, false), nullptr);
    EXPECT_EQ(CRtBitmap::Create({0, 0, 10, -1}, false), nullptr);
    // 10^10 pixels: beyond the side limit, and 40 GB would overflow an int.
    EXPECT_EQ(CRtBitmap::Create({0, 0, 100000, 100000}, false), nullptr);
    // Each side allowed, the area not.
    EXPECT_EQ(CRtBitmap::Create({0, 0, 32767, 32767}, false), nullptr);
    EXPECT_TRUE(svg::IsWithinBitmapLimits({0, 0, 32767, 2048}));
}

TEST_F(RtBitmapTest, ViewsAndOwnerMayDieInAnyOrder)
{
    auto owner = CRtBitmap::Create({0, 0, 4, 4}, false);
    ASSERT_NE(owner, nullptr);
    SetPixel(*owner, 1, 1, 10, 20, 30, 40);
    const CPixelRegion corner(PixelRect{0, 0, 2, 2});
    owner->ClearRegion();
    owner->UnionRegion(&corner);

    auto first = CRtBitmap::View(*owner, true);
    auto second = CRtBitmap::View(*owner, false);
    EXPECT_FALSE(first->OwnsPixels());
    EXPECT_TRUE(svg::IsAlphaOnly(first.get()));
    EXPECT_FALSE(svg::IsAlphaOnly(owner.get()));
    EXPECT_TRUE(svg::IsAlphaOnly(nullptr));
    EXPECT_EQ(first->Data(), owner->Data());
    ASSERT_NE(first->Region(), nullptr);
    EXPECT_TRUE(first->Region()->Contains(1, 1));

    first.reset();  // leaves store and region intact
    EXPECT_EQ(Pixel(*owner, 1, 1)[svg::kAlpha], 40);
    ASSERT_NE(owner->Region(), nullptr);
    EXPECT_TRUE(owner->Region()->Contains(1, 1));

    // A view's region is its own copy.
    const CPixelRegion single(PixelRect{1, 1, 1, 1});
    second->IntersectRegion(&single);
    EXPECT_TRUE(owner->Region()->Contains(0, 0));

    owner.reset();  // the remaining view keeps the pixels alive
    EXPECT_EQ(Pixel(*second, 1, 1)[svg::kRed], 10);
    EXPECT_FALSE(second->Region()->Contains(0, 0));
}

TEST_F(RtBitmapTest, CloneCopiesPixelsFlagAndRegion)
{
    auto source = CRtBitmap::Create({2, 3, 3, 3}, true);
    SetPixel(*source, 2, 2, 0, 0, 0, 99);
    const CPixelRegion area(PixelRect{2, 3, 1, 1});
    source->IntersectRegion(&area);

    auto copy = source->Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->OwnsPixels());
    EXPECT_TRUE(copy->AlphaOnly());
    EXPECT_EQ(copy->Rect(), source->Rect());
    EXPECT_NE(copy->Data(), source->Data());
    EXPECT_EQ(Pixel(*copy, 2, 2)[svg::kAlpha], 99);
    ASSERT_NE(copy->Region(), nullptr);
    EXPECT_EQ(copy->Region()->Extents(), (PixelRect{2, 3, 1, 1}));

    SetPixel(*source, 2, 2, 0, 0, 0, 1);
    EXPECT_EQ(Pixel(*copy, 2, 2)[svg::kAlpha], 99);
}

TEST_F(RtBitmapTest, RegionOperations)
{
    auto bitmap = CRtBitmap::Create({0, 0, 10, 10}, false);
    const CPixelRegion a(PixelRect{0, 0, 4, 4});
    const CPixelRegion b(PixelRect{6, 6, 4, 4});

    bitmap->ClearRegion();
    ASSERT_NE(bitmap->Region(), nullptr);
    EXPECT_TRUE(bitmap->Region()->IsEmpty());

    bitmap->UnionRegion(&a);
    bitmap->UnionRegion(&b);
    EXPECT_TRUE(bitmap->Region()->Contains(1, 1));
    EXPECT_TRUE(bitmap->Region()->Contains(7, 7));
    EXPECT_FALSE(bitmap->Region()->Contains(5, 5));
    EXPECT_EQ(bitmap->Region()->RectCount(), 2);

    bitmap->IntersectRegion(nullptr);  // keeps it
    ASSERT_NE(bitmap->Region(), nullptr);
    bitmap->IntersectRegion(&a);
    EXPECT_EQ(bitmap->Region()->Extents(), (PixelRect{0, 0, 4, 4}));

    bitmap->UnionRegion(nullptr);  // removes it: defined everywhere
    EXPECT_EQ(bitmap->Region(), nullptr);
}

TEST_F(RtBitmapTest, UnionWithEverywhereStaysEverywhereInAnyOrder)
{
    // Combining an input defined everywhere with one defined on a rectangle
    // must not depend on which comes first.
    const CPixelRegion a(PixelRect{0, 0, 4, 4});
    for (bool everywhereFirst : {true, false}) {
        auto bitmap = CRtBitmap::Create({0, 0, 10, 10}, false);
        bitmap->ClearRegion();
        bitmap->UnionRegion(everywhereFirst ? nullptr : &a);
        bitmap->UnionRegion(everywhereFirst ? &a : nullptr);
        EXPECT_EQ(bitmap->Region(), nullptr) << everywhereFirst;
    }
}

TEST(RtBitmapRegion, CopiesAreIndependentAndEmptyRectsAreEmpty)
{
    CPixelRegion original(PixelRect{0, 0, 2, 2});
    CPixelRegion copy = original;
    copy.Union(CPixelRegion(PixelRect{5, 5, 1, 1}));
    EXPECT_FALSE(original.Contains(5, 5));
    EXPECT_TRUE(copy.Contains(5, 5));
    original = copy;
    EXPECT_TRUE(original.Contains(5, 5));

    EXPECT_TRUE(CPixelRegion(PixelRect{0, 0, -1, 5}).IsEmpty());
    EXPECT_TRUE(CPixelRegion().IsEmpty());
    // A right edge beyond INT_MAX is cut, not overflowed.
    EXPECT_TRUE(CPixelRegion(PixelRect{INT_MAX - 1, 0, 100, 1}).Contains(INT_MAX - 1, 0));
}

TEST(RtBitmapColor, ConversionTablesHoldTheirExactValues)
{
    EXPECT_EQ(svg::DecodeSrgbByte(12), 0);
    EXPECT_EQ(svg::DecodeSrgbByte(13), 1);
    EXPECT_EQ(svg::EncodeLinearByte(1), 12);
    EXPECT_EQ(svg::DecodeSrgbByte(128), 55);
    EXPECT_EQ(svg::EncodeLinearByte(128), 188);
    EXPECT_EQ(svg::DecodeSrgbByte(224), 190);
    EXPECT_EQ(svg::EncodeLinearByte(224), 241);

    // Checksums over every entry catch a changed or swapped value.
    long sumDecode = 0, weightedDecode = 0, sumEncode = 0, weightedEncode = 0;
    for (int i = 0; i < 256; ++i) {
        sumDecode += svg::kSrgbToLinearTable[i];
        weightedDecode += i * svg::kSrgbToLinearTable[i];
        sumEncode += svg::kLinearToSrgbTable[i];
        weightedEncode += i * svg::kLinearToSrgbTable[i];
    }
    EXPECT_EQ(sumDecode, 20241);
    EXPECT_EQ(weightedDecode, 3939995);
    EXPECT_EQ(sumEncode, 44948);
    EXPECT_EQ(weightedEncode, 6814171);
}

TEST(RtBitmapColor, Formulas)
{
    EXPECT_NEAR(svg::DecodeSrgb(0.5f), 0.21404f, 1e-4);
    EXPECT_NEAR(svg::EncodeLinear(0.002f), 0.02584f, 1e-6);
    EXPECT_EQ(svg::EncodeLinearToByte(1.0f), 255);  // white survives single precision
    EXPECT_EQ(svg::EncodeLinearToByte(2.0f), 255);
    EXPECT_EQ(svg::EncodeLinearToByte(-1.0f), 0);
    EXPECT_EQ(svg::EncodeLinearToByte(std::nanf("")), 0);
    EXPECT_EQ(svg::EncodeLinearToByte(0.21404f), 127);  // just below 127.5, truncated
}

TEST(RtBitmapColor, ColorWithOpacityKeepsChannelsAndScalesAlpha)
{
    const svg::Rgb colour{0x11, 0x22, 0x33};
    EXPECT_EQ(svg::ColorWithOpacity(colour, 0.5f), 0x7F112233u);
    EXPECT_EQ(svg::ColorWithOpacity(colour, 7.0f), 0xFF112233u);
    EXPECT_EQ(svg::ColorWithOpacity(colour, std::nanf("")), 0x00112233u);
}

TEST_F(RtBitmapTest, ScaleAlphaFadesWithoutTouchingColour)
{
    auto bitmap = CRtBitmap::Create({0, 0, 2, 1}, false);
    SetPixel(*bitmap, 0, 0, 10, 20, 30, 255);
    SetPixel(*bitmap, 1, 0, 200, 100, 50, 101);
    svg::ScaleAlpha(*bitmap, 0.5f);
    const std::uint8_t* first = Pixel(*bitmap, 0, 0);
    EXPECT_EQ(first[svg::kAlpha], 127);
    EXPECT_EQ(first[svg::kRed], 10);
    EXPECT_EQ(first[svg::kGreen], 20);
    EXPECT_EQ(first[svg::kBlue], 30);
    EXPECT_EQ(Pixel(*bitmap, 1, 0)[svg::kAlpha], 50);
    EXPECT_EQ(Pixel(*bitmap, 1, 0)[svg::kRed], 200);

    svg::ScaleAlpha(*bitmap, 3.0f);  // clamped to 1
    EXPECT_EQ(Pixel(*bitmap, 0, 0)[svg::kAlpha], 127);
}

TEST_F(RtBitmapTest, CairoRoundTripOpaqueIsExact)
{
    auto bitmap = CRtBitmap::Create({7, -2, 256, 1}, false);
    for (int x = 0; x < 256; ++x)
        SetPixel(*bitmap, x, 0, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(255 - x),
                 static_cast<std::uint8_t>(x * 7), 255);
    svg::CairoSurfacePtr surface = bitmap->ToCairoSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(surface.get()), 256);
    EXPECT_EQ(CairoPixel(surface.get(), 1, 0), 0xFF01FE07u);

    auto back = CRtBitmap::FromCairoSurface(surface.get(), bitmap->Rect(), false);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Rect(), bitmap->Rect());
    for (int x = 0; x < 256; ++x)
        for (int channel = 0; channel < 4; ++channel)
            EXPECT_EQ(Pixel(*back, x, 0)[channel], Pixel(*bitmap, x, 0)[channel]) << x << " " << channel;
}

TEST_F(RtBitmapTest, CairoRoundTripTranslucentWithinOne)
{
    auto bitmap = CRtBitmap::Create({0, 0, 256, 2}, false);
    for (int x = 0; x < 256; ++x) {
        SetPixel(*bitmap, x, 0, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(255 - x), 77, 128);
        SetPixel(*bitmap, x, 1, 200, 100, 50, static_cast<std::uint8_t>(x));
    }
    svg::CairoSurfacePtr surface = bitmap->ToCairoSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(CairoPixel(surface.get(), 255, 0), 0x80800027u);  // premultiplied and rounded: 128, 0, 38.65

    auto back = CRtBitmap::FromCairoSurface(surface.get(), bitmap->Rect(), false);
    ASSERT_NE(back, nullptr);
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t* original = Pixel(*bitmap, x, 0);
        const std::uint8_t* result = Pixel(*back, x, 0);
        EXPECT_EQ(result[svg::kAlpha], 128);
        for (int channel : {svg::kRed, svg::kGreen, svg::kBlue})
            EXPECT_NEAR(result[channel], original[channel], 1) << x;
    }
    // Fully transparent pixels come back with zero colour.
    EXPECT_EQ(Pixel(*back, 0, 1)[svg::kRed], 0);
    EXPECT_EQ(Pixel(*back, 0, 1)[svg::kAlpha], 0);
}

TEST_F(RtBitmapTest, AlphaOnlyBitmapsCarryNoColourThroughCairo)
{
    auto colour = CRtBitmap::Create({0, 0, 1, 1}, false);
    SetPixel(*colour, 0, 0, 255, 255, 255, 255);
    auto alpha = CRtBitmap::View(*colour, true);
    svg::CairoSurfacePtr surface = alpha->ToCairoSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(CairoPixel(surface.get(), 0, 0), 0xFF000000u);

    svg::CairoSurfacePtr white = colour->ToCairoSurface();
    auto back = CRtBitmap::FromCairoSurface(white.get(), colour->Rect(), true);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->AlphaOnly());
    EXPECT_EQ(Pixel(*back, 0, 0)[svg::kAlpha], 255);
    EXPECT_EQ(Pixel(*back, 0, 0)[svg::kRed], 0);
}

TEST_F(RtBitmapTest, FromCairoSurfaceCopiesTheOverlapAndRefusesOtherSurfaces)
{
    svg::CairoSurfacePtr small(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2));
    cairo_t* cr = cairo_create(small.get());
    cairo_set_source_rgba(cr, 0, 0, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);

    auto bitmap = CRtBitmap::FromCairoSurface(small.get(), {10, 10, 3, 3}, false);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(Pixel(*bitmap, 1, 1)[svg::kBlue], 255);
    EXPECT_EQ(Pixel(*bitmap, 1, 1)[svg::kAlpha], 255);
    EXPECT_EQ(Pixel(*bitmap, 2, 2)[svg::kAlpha], 0);

    svg::CairoSurfacePtr mask(cairo_image_surface_create(CAIRO_FORMAT_A8, 2, 2));
    EXPECT_EQ(CRtBitmap::FromCairoSurface(mask.get(), {0, 0, 2, 2}, true), nullptr);
    EXPECT_EQ(CRtBitmap::FromCairoSurface(nullptr, {0, 0, 2, 2}, true), nullptr);
    EXPECT_EQ(CRtBitmap::FromCairoSurface(small.get(), {0, 0, 0, 2}, true), nullptr);
}
