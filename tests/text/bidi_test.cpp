// Bidi levels and visual order of mixed Hebrew, Arabic and Latin text,
// explicit embeddings, mirroring and the character properties.
#include <gtest/gtest.h>

#include "text/bidi.h"

namespace svg {
namespace {

// The paragraph as shown from left to right, without its controls.
std::u32string Shown(std::u32string_view text, bool rightToLeft)
{
    const std::vector<std::uint8_t> levels = ResolveLevels(text, rightToLeft);
    std::u32string shown;
    for (std::size_t index : VisualOrder(levels))
        if (BidiClass(text[index]) < 14)  // not an explicit control
            shown += text[index];
    return shown;
}

TEST(Bidi, MixedTextIsShownInVisualOrder)
{
    struct Case {
        const char* name;
        std::u32string text;
        bool rightToLeft;
        std::u32string shown;
    };
    const Case cases[] = {
        {"Hebrew in Latin", U"ab \u05D0\u05D1\u05D2 cd", false, U"ab \u05D2\u05D1\u05D0 cd"},
        {"digits stay left-to-right", U"\u05D0 123 \u05D1", false, U"\u05D1 123 \u05D0"},
        {"Latin in a right-to-left paragraph", U"\u05D0 ab cd", true, U"ab cd \u05D0"},
        {"Arabic and European digits", U"\u0627\u0644 12", true, U"12 \u0644\u0627"},
        {"Arabic-Indic digits", U"x \u0661\u0662", false, U"x \u0661\u0662"},
        {"base level not from the text", U"\u05D0\u05D1", false, U"\u05D1\u05D0"},
        {"override reverses Latin", U"a\u202Ebcd\u202Ce", false, U"adcbe"},
        {"embedding in a right-to-left paragraph", U"\u05D0\u202Aab\u202C\u05D1", true, U"\u05D1ab\u05D0"},
        {"nested override", U"\u202Eab\u202Dcd\u202Cef\u202C", false, U"fecdba"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shown(c.text, c.rightToLeft), c.shown);
    }
}

TEST(Bidi, LevelsAreResolvedPerCharacter)
{
    const std::vector<std::uint8_t> levels = ResolveLevels(U"ab \u05D0\u05D1 12 ", false);
    const std::vector<std::uint8_t> expected{0, 0, 0, 1, 1, 1, 2, 2, 0};
    EXPECT_EQ(levels, expected) << "trailing white space returns to the paragraph level";
    EXPECT_TRUE(ResolveLevels(U"", true).empty());
    EXPECT_EQ(ResolveLevels(U"a", true), std::vector<std::uint8_t>{2});
}

TEST(Bidi, DeepNestingIsBoundedAndBalanced)
{
    std::u32string text;
    for (int i = 0; i < 200; ++i)
        text += i % 2 == 0 ? U'\u202B' : U'\u202A';
    text += U"x";
    for (int i = 0; i < 200; ++i)
        text += kPopDirectionalFormatting;
    text += U"y";
    const std::vector<std::uint8_t> levels = ResolveLevels(text, false);
    EXPECT_LE(levels[200], 126) << "embeddings stop at depth 125; an L there resolves one higher";
    EXPECT_GT(levels[200], 60);
    EXPECT_EQ(levels.back(), 0) << "every embedding closed again";
}

TEST(Bidi, VisualOrderReversesByLevel)
{
    struct Case {
        std::vector<std::uint8_t> levels;
        std::vector<std::size_t> order;
    };
    const Case cases[] = {
        {{}, {}},
        {{0, 0, 0}, {0, 1, 2}},
        {{1, 1, 1}, {2, 1, 0}},
        {{0, 1, 1, 0}, {0, 2, 1, 3}},
        {{1, 2, 2, 1}, {3, 1, 2, 0}},  // digits inside right-to-left text
        {{0, 2, 2, 0}, {0, 1, 2, 3}},  // an even embedding reverses twice
        {{0, 2, 3, 3}, {0, 1, 3, 2}},  // levels 3, 2 and 1 all reverse
    };
    for (const Case& c : cases)
        EXPECT_EQ(VisualOrder(c.levels), c.order);
    std::vector<CGlyph> glyphs(3);
    glyphs[1].bidiLevel = glyphs[2].bidiLevel = 1;
    EXPECT_EQ(VisualOrder(glyphs), (std::vector<std::size_t>{0, 2, 1}));
}

TEST(Bidi, EmbeddingsFromDirectionAndUnicodeBidi)
{
    struct Case {
        const char* direction;
        const char* unicodeBidi;
        int code;
        bool badDirection;
        bool badUnicodeBidi;
    };
    const Case cases[] = {
        {"", "", BidiEmbedding::kNone, false, false},
        {"rtl", "normal", BidiEmbedding::kNone, false, false},
        {"rtl", "bidi-override", BidiEmbedding::kRtlOverride, false, false},
        {"ltr", "bidi-override", BidiEmbedding::kLtrOverride, false, false},
        {"rtl", "embed", BidiEmbedding::kRtlEmbed, false, false},
        {"", "embed", BidiEmbedding::kLtrEmbed, false, false},
        {"sideways", "embed", BidiEmbedding::kLtrEmbed, true, false},
        {"rtl", "isolate", BidiEmbedding::kNone, false, true},
        {"RTL", "Embed", BidiEmbedding::kNone, true, true},  // keywords are case-sensitive
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.direction) + "/" + c.unicodeBidi);
        const EmbeddingResult result = ResolveEmbedding(c.direction, c.unicodeBidi);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.invalidDirection, c.badDirection);
        EXPECT_EQ(result.invalidUnicodeBidi, c.badUnicodeBidi);
    }
    EXPECT_EQ(EmbeddingControl(BidiEmbedding::kRtlOverride), U'\u202E');
    EXPECT_EQ(EmbeddingControl(BidiEmbedding::kLtrEmbed), U'\u202A');
    EXPECT_EQ(EmbeddingControl(BidiEmbedding::kNone), 0u);
}

TEST(Bidi, MirroringAndCharacterProperties)
{
    EXPECT_EQ(MirroredChar(U'('), U')');
    EXPECT_EQ(MirroredChar(U']'), U'[');
    EXPECT_EQ(MirroredChar(U'\u226A'), U'\u226B');  // much less-than
    EXPECT_EQ(MirroredChar(U'a'), U'a');

    struct Case {
        char32_t c;
        const char* category;
        int bidiClass;
        bool mark;
        bool combining;
        bool space;
        char joining;
    };
    const Case cases[] = {
        {U'a', "Ll", 1, false, false, false, 'U'},
        {U'\u05D0', "Lo", 2, false, false, false, 'U'},
        {U'\u0628', "Lo", 5, false, false, false, 'D'},  // beh joins on both sides
        {U'\u0627', "Lo", 5, false, false, false, 'R'},  // alef only to the right
        {U'\u0301', "Mn", 6, true, true, false, 'T'},
        {U'\u20DD', "Me", 6, true, true, false, 'U'},
        {U'\u0610', "Mn", 6, true, true, false, 'T'},
        {U'\u200D', "Cf", 10, true, false, false, 'C'},  // zero width joiner
        {U'\u0903', "Mc", 1, false, true, false, 'U'},
        {U'5', "Nd", 4, false, false, false, 'U'},
        {U'\u0661', "Nd", 3, false, false, false, 'U'},
        {U' ', "Zs", 12, false, false, true, 'U'},
        {U'\u00A0', "Zs", 7, false, false, true, 'U'},
        {U'\t', "Cc", 11, false, false, true, 'U'},
        {U'\u202E', "Cf", 14, true, false, false, 'T'},
        {U'\U0001F600', "So", 0, false, false, false, 'U'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.c));
        const CharProps props = LookupCharProps(c.c);
        EXPECT_EQ(props.generalCategory, c.category);
        EXPECT_EQ(props.bidiClass, c.bidiClass);
        EXPECT_EQ(IsMarkCategory(c.c), c.mark);
        EXPECT_EQ(IsCombining(c.c), c.combining);
        EXPECT_EQ(IsWhiteSpace(c.c), c.space);
        EXPECT_EQ(JoiningType(c.c), c.joining);
    }
    EXPECT_EQ(CombiningClass(U'\u0301'), 230u);
    EXPECT_EQ(CombiningClass(U'a'), 0u);
}

}  // namespace
}  // namespace svg
