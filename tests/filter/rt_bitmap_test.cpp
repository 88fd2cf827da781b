#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "filter/color_tables.h"
#include "filter/rt_bitmap.h"
#include "filter/pixel.h"
#include "base/stop_token.h"

using svg::CPixelRegion;
using svg::CRtBitmap;
using svg::PixelRect;

namespace {

std::uint32_t CairoPixel(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const std::uint8_t* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

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

TEST(RtBitmap, CreateIsZeroedOwningAndDefinedEverywhere)
{
    auto bitmap = CRtBitmap::Create({-3, 4, 5, 2}, false);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(bitmap->OwnsPixels());
    EXPECT_EQ(bitmap->Region(), nullptr);
    // cairo's stride for ARGB32, so the pixels can be wrapped as a surface.
    EXPECT_EQ(bitmap->Stride(), static_cast<std::size_t>(cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, 5)));
    EXPECT_EQ(bitmap->PixelCount(), 10u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(bitmap->Row(y)[x], 0u);
}

TEST(RtBitmap, CreateRefusesEmptyAndOversizedWithoutAllocating)
{
    EXPECT_EQ(CRtBitmap::Create({0, 0, 0, 10}, false), nullptr);
    EXPECT_EQ(CRtBitmap::Create({0, 0, 10, -1}, false), nullptr);
    // 10^10 pixels: beyond the side limit, and 40 GB would overflow an int.
    EXPECT_EQ(CRtBitmap::Create({0, 0, 100000, 100000}, false), nullptr);
    // Each side allowed, the area not.
    EXPECT_EQ(CRtBitmap::Create({0, 0, 32767, 32767}, false), nullptr);
    EXPECT_TRUE(svg::IsWithinBitmapLimits({0, 0, 32767, 2048}));
}

TEST(RtBitmap, ViewsAndOwnerMayDieInAnyOrder)
{
    auto owner = CRtBitmap::Create({0, 0, 4, 4}, false);
    ASSERT_NE(owner, nullptr);
    owner->Row(1)[1] = 0x28080402u;
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
    // An alpha-only view reads zero colour from the shared pixels.
    EXPECT_EQ(first->PixelAt(1, 1), 0x28000000u);
    EXPECT_EQ(second->PixelAt(1, 1), 0x28080402u);
    ASSERT_NE(first->Region(), nullptr);
    EXPECT_TRUE(first->Region()->Contains(1, 1));

    first.reset();  // leaves store and region intact
    EXPECT_EQ(owner->Row(1)[1], 0x28080402u);
    ASSERT_NE(owner->Region(), nullptr);
    EXPECT_TRUE(owner->Region()->Contains(1, 1));

    // A view's region is its own copy.
    const CPixelRegion single(PixelRect{1, 1, 1, 1});
    second->IntersectRegion(&single);
    EXPECT_TRUE(owner->Region()->Contains(0, 0));

    owner.reset();  // the remaining view keeps the pixels alive
    EXPECT_EQ(second->Row(1)[1], 0x28080402u);
    EXPECT_FALSE(second->Region()->Contains(0, 0));
}

TEST(RtBitmap, CloneCopiesPixelsFlagAndRegion)
{
    auto source = CRtBitmap::Create({2, 3, 3, 3}, true);
    source->Row(2)[2] = 0x63000000u;
    const CPixelRegion area(PixelRect{2, 3, 1, 1});
    source->IntersectRegion(&area);

    auto copy = source->Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->OwnsPixels());
    EXPECT_TRUE(copy->AlphaOnly());
    EXPECT_EQ(copy->Rect(), source->Rect());
    EXPECT_NE(copy->Data(), source->Data());
    EXPECT_EQ(copy->Row(2)[2], 0x63000000u);
    ASSERT_NE(copy->Region(), nullptr);
    EXPECT_EQ(copy->Region()->Extents(), (PixelRect{2, 3, 1, 1}));

    source->Row(2)[2] = 0x01000000u;
    EXPECT_EQ(copy->Row(2)[2], 0x63000000u);
}

TEST(RtBitmap, PixelAtAndReadPixelSpanAreTransparentOutside)
{
    auto bitmap = CRtBitmap::Create({10, 20, 3, 2}, false);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            bitmap->Row(y)[x] = 0xFF000000u | static_cast<std::uint32_t>(y * 3 + x + 1);
    EXPECT_EQ(bitmap->PixelAt(10, 20), 0xFF000001u);
    EXPECT_EQ(bitmap->PixelAt(12, 21), 0xFF000006u);
    EXPECT_EQ(bitmap->PixelAt(9, 20), 0u);
    EXPECT_EQ(bitmap->PixelAt(13, 20), 0u);
    EXPECT_EQ(bitmap->PixelAt(10, 22), 0u);
    EXPECT_EQ(bitmap->PixelAt(INT_MIN, INT_MAX), 0u);

    // A span sticking out on both sides.
    std::uint32_t span[6];
    svg::ReadPixelSpan(bitmap.get(), 8, 21, 6, span);
    const std::uint32_t expected[6] = {0, 0, 0xFF000004u, 0xFF000005u, 0xFF000006u, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(span[i], expected[i]) << i;
    svg::ReadPixelSpan(nullptr, 0, 0, 6, span);
    EXPECT_EQ(span[3], 0u);
    auto alpha = CRtBitmap::View(*bitmap, true);
    svg::ReadPixelSpan(alpha.get(), 10, 20, 1, span);
    EXPECT_EQ(span[0], 0xFF000000u);

    auto cut = svg::CopyToRect(bitmap.get(), {11, 19, 3, 2});
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->Row(0)[0], 0u);
    EXPECT_EQ(cut->Row(1)[0], 0xFF000002u);
    EXPECT_EQ(cut->Row(1)[2], 0u);
}

TEST(RtBitmap, RegionOperations)
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

TEST(RtBitmap, UnionWithEverywhereStaysEverywhereInAnyOrder)
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

TEST(RtBitmap, ScaleAlphaFadesEveryChannelAlike)
{
    auto bitmap = CRtBitmap::Create({0, 0, 2, 1}, false);
    bitmap->Row(0)[0] = svg::PackPixel(255, 200, 100, 50);
    bitmap->Row(0)[1] = svg::PackPixel(101, 101, 0, 13);
    svg::ScaleAlpha(*bitmap, 0.5f, svg::CStopToken::Never());
    // Premultiplied: the colour fades with alpha, so the unpremultiplied
    // colour stays.
    EXPECT_EQ(bitmap->Row(0)[0], svg::PackPixel(128, 100, 50, 25));
    EXPECT_EQ(bitmap->Row(0)[1], svg::PackPixel(51, 51, 0, 7));

    svg::ScaleAlpha(*bitmap, 3.0f, svg::CStopToken::Never());  // clamped to 1
    EXPECT_EQ(bitmap->Row(0)[0], svg::PackPixel(128, 100, 50, 25));
    svg::ScaleAlpha(*bitmap, std::nanf(""), svg::CStopToken::Never());
    EXPECT_EQ(bitmap->Row(0)[0], 0u);
}

TEST(RtBitmap, ScaleAlphaStopsWhenTheJobStops)
{
    auto bitmap = CRtBitmap::Create({0, 0, 3, 3}, false);
    bitmap->Row(0)[0] = 0xC8000000u;
    svg::CStopToken stop;
    stop.RequestStop();
    svg::ScaleAlpha(*bitmap, 0.0f, stop);
    EXPECT_EQ(bitmap->Row(0)[0], 0xC8000000u);
}

TEST(RtBitmap, CairoSurfacesCarryThePixelsUnchanged)
{
    auto bitmap = CRtBitmap::Create({7, -2, 256, 2}, false);
    for (int x = 0; x < 256; ++x) {
        const auto v = static_cast<std::uint32_t>(x);
        bitmap->Row(0)[x] = svg::PackPixel(255, v, 255 - v, v * 7 & 0xFF);
        bitmap->Row(1)[x] = svg::PackPixel(v, v / 2, v, 0);
    }
    svg::CairoSurfacePtr surface = bitmap->ToCairoSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(surface.get()), 256);
    EXPECT_EQ(CairoPixel(surface.get(), 1, 0), 0xFF01FE07u);

    auto back = CRtBitmap::FromCairoSurface(surface.get(), bitmap->Rect(), false);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Rect(), bitmap->Rect());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 256; ++x)
            ASSERT_EQ(back->Row(y)[x], bitmap->Row(y)[x]) << x << "," << y;
}

TEST(RtBitmap, AlphaOnlyBitmapsCarryNoColourThroughCairo)
{
    auto colour = CRtBitmap::Create({0, 0, 1, 1}, false);
    colour->Row(0)[0] = 0xFFFFFFFFu;
    auto alpha = CRtBitmap::View(*colour, true);
    svg::CairoSurfacePtr surface = alpha->ToCairoSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(CairoPixel(surface.get(), 0, 0), 0xFF000000u);

    svg::CairoSurfacePtr white = colour->ToCairoSurface();
    auto back = CRtBitmap::FromCairoSurface(white.get(), colour->Rect(), true);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->AlphaOnly());
    EXPECT_EQ(back->Row(0)[0], 0xFF000000u);
}

TEST(RtBitmap, FromCairoSurfaceCopiesTheOverlapAndRefusesOtherSurfaces)
{
    svg::CairoSurfacePtr small(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2));
    cairo_t* cr = cairo_create(small.get());
    cairo_set_source_rgba(cr, 0, 0, 1, 0.5);
    cairo_paint(cr);
    cairo_destroy(cr);

    auto bitmap = CRtBitmap::FromCairoSurface(small.get(), {10, 10, 3, 3}, false);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Row(1)[1], 0x80000080u);  // premultiplied, as cairo holds it
    EXPECT_EQ(bitmap->Row(2)[2], 0u);

    svg::CairoSurfacePtr mask(cairo_image_surface_create(CAIRO_FORMAT_A8, 2, 2));
    EXPECT_EQ(CRtBitmap::FromCairoSurface(mask.get(), {0, 0, 2, 2}, true), nullptr);
    EXPECT_EQ(CRtBitmap::FromCairoSurface(nullptr, {0, 0, 2, 2}, true), nullptr);
    EXPECT_EQ(CRtBitmap::FromCairoSurface(small.get(), {0, 0, 0, 2}, true), nullptr);
}

TEST(RtBitmap, WrappedSurfaceDrawsInFilterPixelsAndKeepsThePixelsAlive)
{
    auto bitmap = CRtBitmap::Create({100, 50, 4, 4}, false);
    svg::CairoSurfacePtr surface = bitmap->WrapCairoSurface();
    ASSERT_NE(surface, nullptr);
    cairo_t* cr = cairo_create(surface.get());
    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    cairo_rectangle(cr, 101, 52, 2, 1);  // filter pixel coordinates
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    EXPECT_EQ(bitmap->PixelAt(101, 52), 0xFFFF0000u);
    EXPECT_EQ(bitmap->PixelAt(102, 52), 0xFFFF0000u);
    EXPECT_EQ(bitmap->PixelAt(100, 52), 0u);
    EXPECT_EQ(bitmap->PixelAt(101, 53), 0u);

    // The bitmap may go first; the surface still reads its pixels.
    bitmap.reset();
    EXPECT_EQ(CairoPixel(surface.get(), 1, 2), 0xFFFF0000u);
}
