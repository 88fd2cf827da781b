// Glyph outlines, their placement on the baseline, the outline cache,
// glyph metrics and decoration metrics of sfnt faces.
#include <gtest/gtest.h>

#include "base/limits.h"
#include "text/font_face_sfnt.h"
#include "text/font_pool.h"
#include "text/font_test_support.h"
#include "text/glyph.h"
#include "text/sfnt_font.h"

namespace svg {
namespace {

CGlyph GlyphFor(const CFontFace& face, char32_t c)
{
    CGlyph glyph;
    glyph.text = std::u32string(1, c);
    glyph.glyphIndex = face.Sfnt()->GlyphForChar(c);
    return glyph;
}

RectF OutlineBounds(const CFontFace& face, char32_t c, PointF origin, float size)
{
    CGraphicsPath path;
    EXPECT_TRUE(face.AddGlyphOutline(GlyphFor(face, c), origin, size, path));
    return TightBounds(path).value_or(RectF{});
}

TEST(FontFace, OutlineOfHStandsOnTheBaseline)
{
    CFontPool pool;
    const auto face = pool.FindFace("DejaVu Sans", FaceQuery{}, false);
    ASSERT_NE(face, nullptr);
    const float size = 100;
    const PointF origin{10, 20};
    const RectF box = OutlineBounds(*face, U'H', origin, size);
    const float baseline = origin.y + face->AlphabeticOffset(size);
    const float scale = size / face->unitsPerEm;
    EXPECT_NEAR(box.Bottom(), baseline, 0.01);
    EXPECT_NEAR(box.height, face->capHeight * scale, 0.01) << "H is as tall as the cap height";
    EXPECT_GT(box.x, origin.x);
    EXPECT_LT(box.Right(), origin.x + face->Sfnt()->HAdvance(GlyphFor(*face, U'H').glyphIndex) * scale);
    // The em box's top is the origin: the baseline lies (em - descent) below.
    EXPECT_NEAR(face->AlphabeticOffset(size), (face->unitsPerEm - face->descent) * scale, 1e-3);
    CGraphicsPath space;
    EXPECT_FALSE(face->AddGlyphOutline(GlyphFor(*face, U' '), origin, size, space)) << "a space draws nothing";
    EXPECT_TRUE(space.Empty());
}

TEST(FontFace, SystemAndFileFacesOfOneFontDrawAlike)
{
    CFontPool pool;
    const auto system = pool.FindFace("Liberation Sans", FaceQuery{}, false);
    ASSERT_EQ(pool.InstallFontData({"File", 0, 0, {}}, "", test::ReadBytes(test::kLiberationSans), ""),
              FontInstallStatus::Installed);
    const auto file = pool.FindFace("File", FaceQuery{}, false);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OutlineBounds(*system, U'g', {3, 40}, 32), OutlineBounds(*file, U'g', {3, 40}, 32));
    EXPECT_EQ(system->AlphabeticOffset(32), file->AlphabeticOffset(32));
    EXPECT_EQ(system->GetUnderlinePosition(32, false), file->GetUnderlinePosition(32, false));
}

TEST(FontFace, SyntheticSlantLeansTheOutlineRight)
{
    CFontPool pool;
    const auto upright = pool.FindFace("IPAGothic", FaceQuery{}, false);
    const auto slanted = pool.FindFace("IPAGothic", FaceQuery{FontStyleBits::kItalic, 400, 1, 1}, false);
    ASSERT_TRUE(slanted->syntheticSlant);
    CGraphicsPath straight, leaning;
    ASSERT_TRUE(upright->AddGlyphOutline(GlyphFor(*upright, U'l'), {0, 0}, 100, straight));
    ASSERT_TRUE(slanted->AddGlyphOutline(GlyphFor(*slanted, U'l'), {0, 0}, 100, leaning));
    ASSERT_EQ(straight.Size(), leaning.Size());
    // Every point moves right by a quarter of its height above the baseline.
    const float baseline = upright->AlphabeticOffset(100);
    for (std::size_t i = 0; i < straight.Size(); ++i) {
        EXPECT_FLOAT_EQ(leaning.points[i].y, straight.points[i].y);
        EXPECT_NEAR(leaning.points[i].x - straight.points[i].x, (baseline - straight.points[i].y) * 0.25f, 1e-3);
    }
    GlyphMetrics a, b;
    ASSERT_TRUE(upright->GetGlyphMetrics(GlyphFor(*upright, U'l'), 100, a));
    ASSERT_TRUE(slanted->GetGlyphMetrics(GlyphFor(*slanted, U'l'), 100, b));
    EXPECT_EQ(a.advance, b.advance) << "slanting keeps advances";
}

TEST(FontFace, OutlinesAreCachedAndTheOldestDropped)
{
    CFontPool pool;
    ASSERT_EQ(pool.InstallFontData({"Cached", 0, 0, {}}, "", test::ReadBytes(test::kDejaVuSans), ""),
              FontInstallStatus::Installed);
    const auto face = pool.FindFace("Cached", FaceQuery{}, false);
    CSfntFont& font = *face->Sfnt();
    const std::uint32_t first = font.GlyphForChar(U'H');
    const auto outline = font.Outline(first);
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(font.CacheStats().misses, 1u);
    EXPECT_EQ(font.Outline(first), outline) << "the same outline from the cache";
    EXPECT_EQ(font.CacheStats().hits, 1u);
    // Fill the cache with other glyphs: the first is dropped, then read again.
    for (std::uint32_t glyph = 1000; glyph < 1000 + limits::kMaxCachedOutlinesPerFont; ++glyph)
        font.Outline(glyph);
    const std::size_t misses = font.CacheStats().misses;
    const auto reread = font.Outline(first);
    EXPECT_EQ(font.CacheStats().misses, misses + 1);
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->points, outline->points);
    EXPECT_EQ(font.Outline(0xFFFFFF), nullptr) << "a glyph number beyond the font";
}

TEST(FontFace, OutlinesKeepTheirFiguresClosed)
{
    CFontPool pool;
    const auto face = pool.FindFace("DejaVu Sans", FaceQuery{}, false);
    const auto outline = face->Sfnt()->Outline(GlyphFor(*face, U'o').glyphIndex);
    ASSERT_NE(outline, nullptr);
    int figures = 0, closed = 0;
    for (std::uint8_t type : outline->types) {
        figures += PointKind(type) == PathPoint::kStart;
        closed += (type & PathPoint::kClose) != 0;
    }
    EXPECT_EQ(figures, 2) << "o has an outer and an inner contour";
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(outline->types.front(), PathPoint::kStart);
}

TEST(FontFace, GlyphMetricsSplitTheAdvance)
{
    CFontPool pool;
    const auto face = pool.FindFace("Liberation Serif", FaceQuery{}, false);
    GlyphMetrics metrics;
    ASSERT_TRUE(face->GetGlyphMetrics(GlyphFor(*face, U'W'), 20, metrics));
    EXPECT_NEAR(metrics.leftBearing + metrics.inkWidth + metrics.rightBearing, metrics.advance, 1e-4);
    EXPECT_GT(metrics.inkWidth, 0);
    EXPECT_FLOAT_EQ(metrics.vAdvance, 20) << "no vertical metrics: one em";
    CGlyph none;
    EXPECT_FALSE(face->GetGlyphMetrics(none, 20, metrics));
}

TEST(FontFace, DecorationsSitWhereTheFontPutsThem)
{
    CFontPool pool;
    const auto face = pool.FindFace("DejaVu Sans", FaceQuery{}, false);
    const float size = 50;
    const float baseline = face->AlphabeticOffset(size);
    const float underline = face->GetUnderlinePosition(size, false);
    const float through = face->GetLineThroughPosition(size, false);
    const float over = face->GetOverlinePosition(size, false);
    EXPECT_GT(underline, baseline - 0.01f) << "underline at or below the baseline";
    EXPECT_LT(underline, baseline + size * 0.2f);
    EXPECT_LT(through, baseline) << "line-through above it";
    EXPECT_GT(through, baseline - face->xHeight * size / face->unitsPerEm);
    EXPECT_LT(over, through) << "overline highest";
    EXPECT_NEAR(over, baseline - face->ascent * size / face->unitsPerEm, 1e-3);
    for (float thickness : {face->GetUnderlineThickness(size), face->GetLineThroughThickness(size),
                            face->GetOverlineThickness(size)}) {
        EXPECT_GT(thickness, 0);
        EXPECT_LT(thickness, size * 0.1f);
    }
    // Vertical text keeps the position in em units across the line.
    EXPECT_FLOAT_EQ(face->GetUnderlinePosition(size, true), size * face->underlinePosition / face->unitsPerEm);
    EXPECT_EQ(face->GetOverlinePosition(size, true), 0);
    EXPECT_EQ(face->GetNormalLetterSpacing(), 0);
}

TEST(FontFace, GlyphsKeepTheirFaceAfterThePoolIsEmptied)
{
    CGlyph glyph;
    {
        CFontPool pool;
        ASSERT_EQ(pool.InstallFontData({"Gone", 0, 0, {}}, "", test::ReadBytes(test::kDejaVuSans), ""),
                  FontInstallStatus::Installed);
        const auto face = pool.FindFace("Gone", FaceQuery{}, false);
        glyph = GlyphFor(*face, U'e');
        glyph.face = face;
        pool.Clear();
    }
    CGraphicsPath path;
    EXPECT_TRUE(glyph.face->AddGlyphOutline(glyph, {0, 0}, 16, path));
    EXPECT_FALSE(path.Empty());
}

}  // namespace
}  // namespace svg
