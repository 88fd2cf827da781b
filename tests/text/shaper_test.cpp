// Shaping and per-character fallback with the installed DejaVu, Liberation
// and IPAGothic fonts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/limits.h"
#include "text/font_pool.h"
#include "text/font_test_support.h"
#include "text/sfnt_font.h"
#include "text/shaper.h"

namespace svg {
namespace {

std::vector<CGlyph> Assign(CFontPool& pool, std::u32string_view text, std::string_view families,
                           std::string_view alternates = {}, ShapeOptions shaping = {}, float size = 2048)
{
    AssignRequest request;
    request.familyList = families;
    request.alternateFamilies = alternates;
    request.shaping = std::move(shaping);
    request.fontSize = size;
    std::vector<CGlyph> glyphs;
    const std::size_t appended = AssignFonts(pool, text, request, glyphs);
    EXPECT_EQ(appended, glyphs.size());
    return glyphs;
}

ShapeOptions Options(bool kerning, bool ligatures, TextDirection direction = TextDirection::LeftToRight)
{
    ShapeOptions options;
    options.kerning = kerning;
    options.ligatures = ligatures;
    options.direction = direction;
    return options;
}

TEST(Shaper, LigaturesStandForAllTheirCharacters)
{
    struct Case {
        std::u32string text;
        bool ligatures;
        std::vector<std::u32string> glyphTexts;
    };
    const Case cases[] = {
        {U"fit", true, {U"fi", U"t"}},
        {U"fit", false, {U"f", U"i", U"t"}},
        {U"aflb", true, {U"a", U"fl", U"b"}},
    };
    CFontPool pool;
    for (const Case& c : cases) {
        const std::vector<CGlyph> glyphs = Assign(pool, c.text, "DejaVu Sans", {}, Options(true, c.ligatures));
        std::vector<std::u32string> texts;
        for (const CGlyph& glyph : glyphs)
            texts.push_back(glyph.text);
        EXPECT_EQ(texts, c.glyphTexts);
        std::size_t next = 0;
        for (const CGlyph& glyph : glyphs) {
            EXPECT_EQ(glyph.firstChar, next);
            EXPECT_FALSE(glyph.missing);
            next += glyph.text.size();
        }
    }
}

TEST(Shaper, KerningIsAppliedOnce)
{
    CFontPool pool;
    // At a size of one em per font unit, advances are font units.
    const std::vector<CGlyph> kerned = Assign(pool, U"AV", "DejaVu Sans", {}, Options(true, true));
    const std::vector<CGlyph> plain = Assign(pool, U"AV", "DejaVu Sans", {}, Options(false, true));
    ASSERT_EQ(kerned.size(), 2u);
    ASSERT_EQ(plain.size(), 2u);
    CSfntFont& font = *plain[0].face->Sfnt();
    EXPECT_FLOAT_EQ(plain[0].advance, font.HAdvance(plain[0].glyphIndex)) << "no kerning asked: the font's advance";
    EXPECT_LT(kerned[0].advance, plain[0].advance) << "A and V are kerned in DejaVu Sans";
    EXPECT_EQ(kerned[0].face->GetHKerning(U"A", U"V", 2048), 0) << "the layout must not kern again";
}

TEST(Shaper, CombiningMarksAreNotMissing)
{
    CFontPool pool;
    // q has no precomposed form with an acute: a base glyph and a mark glyph
    // in one cluster. The mark advances by 0 and is still a glyph.
    const std::vector<CGlyph> glyphs = Assign(pool, U"q\u0301x", "DejaVu Sans");
    ASSERT_EQ(glyphs.size(), 3u);
    EXPECT_EQ(glyphs[0].text, U"q\u0301");
    EXPECT_TRUE(glyphs[1].text.empty()) << "the mark follows its base";
    EXPECT_EQ(glyphs[1].firstChar, 0u);
    EXPECT_NE(glyphs[1].glyphIndex, 0u);
    EXPECT_EQ(glyphs[1].advance, 0);
    for (const CGlyph& glyph : glyphs)
        EXPECT_FALSE(glyph.missing);
    EXPECT_EQ(glyphs[2].text, U"x");
    // e with an acute composes into the font's single glyph.
    const std::vector<CGlyph> composed = Assign(pool, U"e\u0301", "DejaVu Sans");
    ASSERT_EQ(composed.size(), 1u);
    EXPECT_EQ(composed[0].text, U"e\u0301");
}

TEST(Shaper, MissingCharactersComeFromLaterFamiliesAndTheAlternateList)
{
    CFontPool pool;
    // Liberation Serif has no Arabic and no CJK; DejaVu Sans has Arabic;
    // only IPAGothic (standing in for MS UI Gothic) has the ideograph.
    const std::u32string text = U"a\u0628\u65E5b";
    const auto familyOf = [](const CGlyph& glyph) { return glyph.face->family; };

    const std::vector<CGlyph> withoutAlternates = Assign(pool, text, "Liberation Serif, DejaVu Sans");
    ASSERT_EQ(withoutAlternates.size(), 4u);
    EXPECT_EQ(familyOf(withoutAlternates[0]), "Liberation Serif");
    EXPECT_EQ(familyOf(withoutAlternates[1]), "DejaVu Sans");
    // No face of the list has it: the last resort, an installed font found
    // by the character, sets it.
    EXPECT_FALSE(withoutAlternates[2].missing);
    EXPECT_EQ(familyOf(withoutAlternates[2]), "IPAGothic");
    EXPECT_EQ(familyOf(withoutAlternates[3]), "Liberation Serif");
    // A character no installed font has stays missing: glyph 0 of the first face.
    const std::vector<CGlyph> nowhere = Assign(pool, U"a\U0010FFFD", "Liberation Serif");
    ASSERT_EQ(nowhere.size(), 2u);
    EXPECT_TRUE(nowhere[1].missing);
    EXPECT_EQ(nowhere[1].glyphIndex, 0u);

    const std::vector<CGlyph> withAlternates =
        Assign(pool, text, "Liberation Serif, DejaVu Sans", "'Arial','MS UI Gothic'");
    ASSERT_EQ(withAlternates.size(), 4u);
    EXPECT_FALSE(withAlternates[2].missing);
    EXPECT_EQ(familyOf(withAlternates[2]), "MS UI Gothic");
    EXPECT_EQ(withAlternates[2].text, U"\u65E5");

    // An unknown family is skipped: the next family sets the Latin text, not
    // the default family.
    const std::vector<CGlyph> skipped = Assign(pool, U"ab", "No Such Font, DejaVu Serif");
    EXPECT_EQ(familyOf(skipped[0]), "DejaVu Serif");
    const std::vector<CGlyph> none = Assign(pool, U"ab", "No Such Font");
    EXPECT_EQ(familyOf(none[0]), "serif") << "no family of the list exists: the default family";
    // The alternate list is not asked before the default family for a list
    // naming nothing installed; it still fills in missing characters.
    const std::vector<CGlyph> unknown = Assign(pool, U"a\u65E5", "No Such Font", "'MS UI Gothic'");
    ASSERT_EQ(unknown.size(), 2u);
    EXPECT_EQ(familyOf(unknown[0]), "serif");
    EXPECT_EQ(familyOf(unknown[1]), "MS UI Gothic");
}

TEST(Shaper, FontsInstalledLaterAreUsed)
{
    CFontPool pool;
    EXPECT_EQ(Assign(pool, U"a", "Late")[0].face->family, "serif");
    ASSERT_EQ(pool.InstallFontData({"Late", 0, 0, {}}, "", test::ReadBytes(test::kDejaVuSans), ""),
              FontInstallStatus::Installed);
    EXPECT_EQ(Assign(pool, U"a", "Late")[0].face->family, "Late") << "the remembered face order is renewed";
}

TEST(Shaper, UnicodeRangesLimitDeclaredFaces)
{
    CFontPool pool;
    ASSERT_EQ(pool.InstallFontData({"Caps", 0, 0, {{U'A', U'Z'}}}, "", test::ReadBytes(test::kDejaVuSans), ""),
              FontInstallStatus::Installed);
    const std::vector<CGlyph> glyphs = Assign(pool, U"Ab", "Caps, Liberation Serif");
    ASSERT_EQ(glyphs.size(), 2u);
    EXPECT_EQ(glyphs[0].face->family, "Caps");
    EXPECT_EQ(glyphs[1].face->family, "Liberation Serif");
}

TEST(Shaper, RightToLeftRunsComeBackInLogicalOrder)
{
    CFontPool pool;
    const ShapeOptions rtl = Options(true, true, TextDirection::RightToLeft);
    // Beh joins: alone it is isolated, doubled the first is initial.
    const std::vector<CGlyph> single = Assign(pool, U"\u0628", "DejaVu Sans", {}, rtl);
    const std::vector<CGlyph> pair = Assign(pool, U"\u0628\u0628", "DejaVu Sans", {}, rtl);
    ASSERT_EQ(single.size(), 1u);
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[0].firstChar, 0u);
    EXPECT_EQ(pair[1].firstChar, 1u);
    EXPECT_NE(pair[0].glyphIndex, single[0].glyphIndex);
    EXPECT_NE(pair[0].glyphIndex, pair[1].glyphIndex);
    // Brackets shaped right-to-left are mirrored by the shaper.
    const std::vector<CGlyph> bracket = Assign(pool, U"(", "DejaVu Sans", {}, rtl);
    EXPECT_EQ(bracket[0].glyphIndex, bracket[0].face->Sfnt()->GlyphForChar(U')'));
}

TEST(Shaper, RunsRecordTheirEmbeddingAndEnd)
{
    CFontPool pool;
    AssignRequest request;
    request.familyList = "DejaVu Sans";
    request.embedding = BidiEmbedding::kRtlEmbed;
    request.bidiLevel = 1;
    std::vector<CGlyph> glyphs(1);  // appended after what is there
    EXPECT_EQ(AssignFonts(pool, U"abc", request, glyphs), 3u);
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_EQ(glyphs[1].embedding, BidiEmbedding::kRtlEmbed);
    EXPECT_EQ(glyphs[2].embedding, BidiEmbedding::kNone);
    EXPECT_TRUE(glyphs[3].runEnd);
    EXPECT_FALSE(glyphs[2].runEnd);
    EXPECT_EQ(glyphs[2].bidiLevel, 1);
    EXPECT_EQ(AssignFonts(pool, U"", request, glyphs), 0u);
}

TEST(Shaper, ShapingResultsAreCached)
{
    CFontPool pool;
    const std::vector<CGlyph> first = Assign(pool, U"Label", "DejaVu Sans");
    const std::size_t hits = pool.ShapeResults().Hits();
    const std::vector<CGlyph> again = Assign(pool, U"Label", "DejaVu Sans", {}, {}, 10);
    EXPECT_EQ(pool.ShapeResults().Hits(), hits + 1) << "the size takes no part";
    ASSERT_EQ(again.size(), first.size());
    EXPECT_FLOAT_EQ(again[0].advance * 2048 / 10, first[0].advance);
    Assign(pool, U"Label", "DejaVu Sans", {}, Options(false, true));
    EXPECT_EQ(pool.ShapeResults().Hits(), hits + 1) << "other features, another entry";
    const std::u32string longRun(limits::kMaxShapeCacheRunChars + 1, U'x');
    const std::size_t entries = pool.ShapeResults().Size();
    Assign(pool, longRun, "DejaVu Sans");
    EXPECT_EQ(pool.ShapeResults().Size(), entries) << "long runs are not kept";
}

TEST(Shaper, HostileSizesAndLengthsStayBounded)
{
    CFontPool pool;
    for (float size : {1e9f, 1e30f, std::numeric_limits<float>::infinity(), std::nanf(""), -5.0f}) {
        SCOPED_TRACE(size);
        const std::vector<CGlyph> glyphs = Assign(pool, U"Hi", "DejaVu Sans", {}, {}, size);
        ASSERT_EQ(glyphs.size(), 2u);
        EXPECT_TRUE(std::isfinite(glyphs[0].advance));
        EXPECT_TRUE(std::isfinite(glyphs[0].vAdvance));
        EXPECT_LE(glyphs[0].fontSize, limits::kMaxFontSize);
        EXPECT_GE(glyphs[0].advance, 0);
    }
    // A megabyte of text: shaped up to the bound, in bounded time.
    std::u32string huge(1 << 20, U'a');
    for (std::size_t i = 0; i < huge.size(); i += 7)
        huge[i] = U' ';
    const std::vector<CGlyph> glyphs = Assign(pool, huge, "DejaVu Sans", {}, {}, 12);
    EXPECT_EQ(glyphs.size(), limits::kMaxShapedChars);
    // A stop request keeps what the first face shaped and tries no other.
    CStopToken stop;
    stop.RequestStop();
    AssignRequest request;
    request.familyList = "Liberation Serif";
    std::vector<CGlyph> stopped;
    EXPECT_EQ(AssignFonts(pool, U"a\u65E5", request, stopped, stop), 2u);
}

TEST(Shaper, Utf8DecodesWithReplacement)
{
    struct Case {
        std::string utf8;
        std::u32string utf32;
    };
    const Case cases[] = {
        {"abc", U"abc"},
        {"\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80", U"\u00E9\u65E5\U0001F600"},
        {"a\xFFz", U"a\uFFFDz"},              // not a lead byte
        {"\xC0\xAF", U"\uFFFD\uFFFD"},        // overlong
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},  // a surrogate
        {"\xE6\x97", U"\uFFFD\uFFFD"},        // cut short
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(DecodeUtf8(c.utf8), c.utf32);
    }
}

}  // namespace
}  // namespace svg
