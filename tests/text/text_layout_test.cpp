// Text layout through whole loads with the installed DejaVu fonts: white
// space, positioning lists, chunks and anchors, spacing, textLength, text
// paths, bidi, vertical text, decorations, the text buffer, and the located
// messages of bad values. Glyph cells (advance by ascent and descent) stand
// for glyph positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/document.h"
#include "text/text_layout_probe.h"

using namespace svg;

namespace {

using TextLayoutTest = vexo_test::TextLayoutProbe;

// --- White space and the characters laid out ------------------------------------------

TEST_F(TextLayoutTest, WhiteSpaceCollapsesAcrossElementsUnlessPreserved)
{
    struct Case {
        const char* body;
        std::u32string text;
    };
    const Case cases[] = {
        {"<text id='t'>  a  b  </text>", U"a b"},
        {"<text id='t'>\n  a\n\tb\n</text>", U"a b"},
        {"<text id='t' xml:space='preserve'>a\n\tb</text>", U"a  b"},
        {"<text id='t'>a <tspan> b </tspan> c</text>", U"a b c"},
        {"<text id='t'><tspan>\n  <tspan> x </tspan>\n</tspan></text>", U"x"},
        // Preserved spaces stay; default ones after them collapse away.
        {"<text id='t' xml:space='preserve'> a <tspan xml:space='default'>  b  </tspan></text>", U" a b"},
        {"<text id='t'>a<tspan display='none'>hidden</tspan>b</text>", U"ab"},
        {"<text id='t'>a<tspan systemLanguage='zz'>excluded</tspan>b</text>", U"ab"},
        {"<text id='t'>a<title>not text</title>b<desc>nor this</desc></text>", U"ab"},
        {"<text id='r'>x  y</text><text id='t'>(<tref xlink:href='#r'/>)</text>", U"(x y)"},
        {"<text id='r'>x  y</text><text id='t'><tref xlink:href='#r' xml:space='preserve'/></text>", U"x  y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        Load(c.body);
        EXPECT_EQ(Text("t"), c.text);
    }
}

TEST_F(TextLayoutTest, TextBufferHoldsEveryTextAsLaidOut)
{
    Load("<text id='a'>  one  <tspan>two</tspan></text><g><text id='b'>\u05D0\u05D1</text></g><text id='c'/>");
    EXPECT_EQ(document_->textBuffer, "one two\n\u05D0\u05D1\n");
}

// --- Positioning lists ------------------------------------------------------------------

TEST_F(TextLayoutTest, PositionListsApplyPerCharacterAndInnerValuesWin)
{
    Load("<text id='x' x='10 50' y='100'>abc</text>"
         "<text id='nested' x='10' y='100' dx='5'>a<tspan dx='7'>b</tspan>c</text>"
         "<text id='y' x='10' y='100 120'>ab</text>");
    const std::vector<RectF> x = Boxes("x");
    ASSERT_EQ(x.size(), 3u);
    EXPECT_FLOAT_EQ(x[0].x, 10);
    EXPECT_FLOAT_EQ(x[1].x, 50);
    EXPECT_FLOAT_EQ(x[2].x, 50 + x[1].width) << "the third follows the second";
    const std::vector<RectF> nested = Boxes("nested");
    ASSERT_EQ(nested.size(), 3u);
    EXPECT_FLOAT_EQ(nested[0].x, 15);
    EXPECT_FLOAT_EQ(nested[1].x, nested[0].Right() + 7) << "the tspan's dx replaces the text's for its character";
    EXPECT_FLOAT_EQ(nested[2].x, nested[1].Right());
    const std::vector<RectF> y = Boxes("y");
    ASSERT_EQ(y.size(), 2u);
    EXPECT_FLOAT_EQ(y[1].y - y[0].y, 20);
}

TEST_F(TextLayoutTest, RotateRepeatsItsLastValueAndTakesNoUnits)
{
    Load("<text id='r' x='10' y='100' rotate='10 90'>abc</text>"
         "<text id='u' x='10' y='100' rotate='5mm'>a</text>");
    // A cell turned a quarter is as wide as it was high.
    const std::vector<RectF> r = Boxes("r");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_GT(r[1].width, r[1].height);
    EXPECT_NEAR(r[2].width, r[1].width, 1e-3);
    EXPECT_TRUE(HasMessagePrefix("E text rotate=\"5mm\" :Invalid value"));
    EXPECT_LT(Boxes("u")[0].width, Boxes("u")[0].height) << "not turned";
}

TEST_F(TextLayoutTest, AHugeRotateListCostsNoMoreThanTheText)
{
    std::string list;
    list.reserve(4'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        list += "1 ";
    Load("<text id='t' x='0' y='50' rotate='" + list + "'>ab</text>");
    EXPECT_EQ(Boxes("t").size(), 2u);
}

// --- Chunks, anchors, spacing -------------------------------------------------------------

TEST_F(TextLayoutTest, AnchorsMoveEachChunk)
{
    Load("<text id='start' x='100' y='50'>abc</text><text id='middle' x='100' y='50' text-anchor='middle'>abc</text>"
         "<text id='end' x='100' y='50' text-anchor='end'>abc</text>"
         "<text id='chunks' x='100 300' y='50' text-anchor='end'>ab</text>"
         "<text id='spaced' x='100' y='50' text-anchor='end' letter-spacing='10'>abc</text>"
         "<text id='rtl' x='100' y='50' direction='rtl'>abc</text>"
         "<text id='rl' x='100' y='50' writing-mode='rl'>abc</text>");
    const std::vector<RectF> start = Boxes("start");
    const float width = start.back().Right() - start.front().x;
    EXPECT_FLOAT_EQ(start.front().x, 100);
    EXPECT_NEAR(Boxes("middle").front().x, 100 - width / 2, 1e-3);
    EXPECT_NEAR(Boxes("end").back().Right(), 100, 1e-3);
    // Every absolute x starts a chunk of its own, anchored on its own.
    const std::vector<RectF> chunks = Boxes("chunks");
    EXPECT_NEAR(chunks[0].Right(), 100, 1e-3);
    EXPECT_NEAR(chunks[1].Right(), 300, 1e-3);
    // Letter spacing goes between letters, not after the last one.
    EXPECT_NEAR(Boxes("spaced").back().Right(), 100, 1e-3);
    // Right to left, the start is the right end.
    EXPECT_NEAR(Boxes("rtl").back().Right(), 100, 1e-3);
    // writing-mode rl leaves the direction alone, as renderers do.
    EXPECT_NEAR(Boxes("rl").front().x, 100, 1e-3);
    EXPECT_LT(Boxes("rl")[0].x, Boxes("rl")[1].x);
}

TEST_F(TextLayoutTest, WordSpacingAddsToTheSpaceAndLetterSpacingFollowsEveryLetter)
{
    Load("<text id='plain' x='0' y='50'>a b</text><text id='word' x='0' y='50' word-spacing='4'>a b</text>"
         "<text id='letter' x='0' y='50' letter-spacing='3'>a b</text>"
         "<text id='em' x='0' y='50' letter-spacing='0.5em'>ab</text>");
    const std::vector<float> plain = Lefts("plain");
    const std::vector<float> word = Lefts("word");
    const std::vector<float> letter = Lefts("letter");
    ASSERT_EQ(word.size(), 3u);
    EXPECT_NEAR(word[2] - plain[2], 4, 1e-3) << "added to the space's advance, not replacing it";
    EXPECT_NEAR(letter[1] - plain[1], 3, 1e-3);
    EXPECT_NEAR(letter[2] - plain[2], 6, 1e-3);
    EXPECT_NEAR(Lefts("em")[1] - plain[1], 10, 1e-3);
}

TEST_F(TextLayoutTest, TextLengthFitsSpacingOrGlyphs)
{
    Load("<text id='spacing' x='10' y='50' textLength='200'>abcd</text>"
         "<text id='glyphs' x='10' y='50' textLength='200' lengthAdjust='spacingAndGlyphs'>abcd</text>"
         "<text id='tspan' x='10' y='50'>ab<tspan textLength='100'>cd</tspan>ef</text>"
         "\n<text id='negative' x='10' y='50' textLength='-5'>ab</text>"
         "<text id='word' x='10' y='50' textLength='long'>ab</text>"
         "<text id='inherit' x='10' y='50' textLength='inherit'>ab</text>");
    const std::vector<RectF> spacing = Boxes("spacing");
    EXPECT_NEAR(spacing.back().Right() - spacing.front().x, 200, 1e-2);
    EXPECT_FLOAT_EQ(spacing[1].width, Boxes("glyphs")[1].width / (Boxes("glyphs")[1].width / spacing[1].width))
        << "advances keep their size";
    const std::vector<RectF> glyphs = Boxes("glyphs");
    EXPECT_NEAR(glyphs.back().Right() - glyphs.front().x, 200, 1e-2);
    EXPECT_GT(glyphs[0].width, spacing[0].width) << "glyphs stretched";
    const std::vector<RectF> tspan = Boxes("tspan");
    EXPECT_NEAR(tspan[3].Right() - tspan[2].x, 100, 1e-2);
    EXPECT_TRUE(HasMessagePrefix("E text textLength=\"-5\" :Invalid value at 2("));
    EXPECT_FALSE(HasMessagePrefix("E text textLength=\"long\""));
    EXPECT_FALSE(HasMessagePrefix("E text textLength=\"inherit\""));
    EXPECT_NEAR(Boxes("negative").back().Right() - 10, Boxes("word").back().Right() - 10, 1e-3);
}

// --- Text on a path ------------------------------------------------------------------------

TEST_F(TextLayoutTest, TextPathPlacesGlyphsAlongThePathAndDropsThoseOffIt)
{
    Load("<path id='p' d='M 0 100 L 200 100'/><path id='down' d='M 50 0 L 50 200'/>"
         "<text id='along'><textPath xlink:href='#p' startOffset='20'>ab</textPath></text>"
         "<text id='turned'><textPath xlink:href='#down'>a</textPath></text>"
         "<text id='before'><textPath xlink:href='#p' startOffset='-15'>abc</textPath></text>"
         "<text id='after'><textPath xlink:href='#p' startOffset='99%'>abc</textPath></text>"
         "\n<text id='bad'>x<textPath xlink:href='#nowhere'>gone</textPath><textPath>none</textPath>"
         "<textPath xlink:href='#along'>no path</textPath>y</text>"
         "\n<text id='methods'><textPath xlink:href='#p' method='stretch' spacing='exact'>a</textPath>"
         "<textPath xlink:href='#p' method='bend' spacing='tight'>b</textPath></text>");
    const std::vector<RectF> along = Boxes("along");
    ASSERT_EQ(along.size(), 2u);
    EXPECT_NEAR(along[0].x, 20, 1e-3);
    // Going down the path turns the glyph a quarter clockwise: its cell,
    // higher than wide, lies on its side.
    const RectF turned = Boxes("turned")[0];
    EXPECT_GT(turned.width, turned.height);
    EXPECT_EQ(Boxes("before").size(), 2u) << "the first glyph's middle is before the start";
    EXPECT_EQ(Boxes("after").size(), 0u) << "every middle lies beyond the end";
    EXPECT_EQ(Text("bad"), U"xy") << "a textPath without a path lays out nothing";
    EXPECT_TRUE(HasMessagePrefix("E textPath xlink:href=\"#nowhere\" :Link NOT found at 2("));
    EXPECT_TRUE(HasMessagePrefix("E textPath xlink:href NOT defined at 2("));
    EXPECT_TRUE(HasMessagePrefix("E textPath xlink:href=\"#along\" NOT refer element 'path' at 2("));
    EXPECT_TRUE(HasMessagePrefix("E textPath method=\"bend\" :Invalid value at 3("));
    EXPECT_TRUE(HasMessagePrefix("E textPath spacing=\"tight\" :Invalid value at 3("));
    EXPECT_FALSE(HasMessagePrefix("E textPath method=\"stretch\""));
}

// --- Bidi and vertical text -------------------------------------------------------------------

TEST_F(TextLayoutTest, RightToLeftCharactersAreReorderedAndOverridesForceDirection)
{
    Load("<text id='hebrew' x='10' y='50'>a\u05D0\u05D1b</text>"
         "<text id='override' x='10' y='50'><tspan direction='rtl' unicode-bidi='bidi-override'>ab</tspan></text>"
         "<text id='digits' x='10' y='50'>\u05D0 12</text>");
    // Cells come in logical order: the Hebrew letters run right to left.
    const std::vector<float> hebrew = Lefts("hebrew");
    ASSERT_EQ(hebrew.size(), 4u);
    EXPECT_LT(hebrew[0], hebrew[2]);
    EXPECT_GT(hebrew[1], hebrew[2]) << "\u05D0 right of \u05D1";
    EXPECT_LT(hebrew[1], hebrew[3]);
    const std::vector<float> forced = Lefts("override");
    EXPECT_GT(forced[0], forced[1]) << "Latin letters reversed by the override";
    const std::vector<float> digits = Lefts("digits");
    ASSERT_EQ(digits.size(), 4u);
    EXPECT_LT(digits[2], digits[3]) << "digits keep their order";
}

TEST_F(TextLayoutTest, VerticalTextTurnsLatinAndKeepsIdeographsUpright)
{
    Load("<text id='tb' x='100' y='10' writing-mode='tb' font-family='IPAGothic'>a\u65E5</text>"
         "<text id='upright' x='100' y='10' writing-mode='tb' glyph-orientation-vertical='0'>ab</text>"
         "\n<text id='bad' x='100' y='10' writing-mode='sideways' glyph-orientation-vertical='45x'>a</text>");
    const std::vector<RectF> tb = Boxes("tb");
    ASSERT_EQ(tb.size(), 2u);
    EXPECT_GT(tb[0].width, tb[0].height) << "a is turned: its cell lies on its side";
    EXPECT_NEAR(tb[1].x + tb[1].width / 2, 100, 1e-3) << "the ideograph is centred on the line";
    EXPECT_GE(tb[1].y, tb[0].Bottom() - 1e-3) << "and follows below";
    const std::vector<RectF> upright = Boxes("upright");
    EXPECT_GT(upright[0].height, upright[0].width) << "glyph-orientation-vertical 0 keeps Latin upright";
    EXPECT_GT(upright[1].y, upright[0].y);
    EXPECT_TRUE(HasMessagePrefix("E text writing-mode=\"sideways\" :Invalid value at 2("));
    EXPECT_TRUE(HasMessagePrefix("E text glyph-orientation-vertical=\"45x\" :Invalid value at 2("));
}

// --- Baselines ------------------------------------------------------------------------------

TEST_F(TextLayoutTest, BaselineShiftAddsUpAlongTheNesting)
{
    Load("<text id='t' x='0' y='100' baseline-shift='50'>a<tspan baseline-shift='10'>b"
         "<tspan baseline-shift='5'>c<tspan baseline-shift='baseline'>d</tspan></tspan></tspan>"
         "<tspan baseline-shift='super'>e</tspan><tspan baseline-shift='-50%'>f</tspan></text>"
         "<text id='v' x='100' y='0' writing-mode='tb'>a<tspan baseline-shift='10'>b</tspan></text>");
    const std::vector<RectF> t = Boxes("t");
    ASSERT_EQ(t.size(), 6u);
    EXPECT_FLOAT_EQ(t[1].y - t[0].y, -10) << "the text's own shift does not apply";
    EXPECT_FLOAT_EQ(t[2].y - t[0].y, -15);
    EXPECT_FLOAT_EQ(t[3].y - t[0].y, -15);
    EXPECT_LT(t[4].y, t[0].y);
    EXPECT_FLOAT_EQ(t[5].y - t[0].y, 10);
    const std::vector<RectF> v = Boxes("v");
    EXPECT_FLOAT_EQ(v[1].x - v[0].x, 10) << "up for turned glyphs is to the right";
}

// --- Decorations ------------------------------------------------------------------------------

TEST_F(TextLayoutTest, DecorationsArePaintedByTheElementThatDeclaresThem)
{
    Load("<g text-decoration='line-through'><text id='t' x='0' y='50'>a<tspan id='s' text-decoration='underline'>b"
         "<tspan id='inner'>c</tspan></tspan></text></g>"
         "\n<text id='bad' x='0' y='50' text-decoration='underline,overline'>a</text>");
    const CElem* text = Find("#t");
    const CElem* span = Find("#s");
    std::vector<std::pair<TextPaintKind, const CElem*>> items;
    for (const TextPaintItem& item : Layout("t").items)
        items.emplace_back(item.kind, item.paintElement);
    const std::vector<std::pair<TextPaintKind, const CElem*>> expected = {
        {TextPaintKind::Glyphs, text},         {TextPaintKind::LineThrough, text},
        {TextPaintKind::Underline, span},      {TextPaintKind::Glyphs, span},
        {TextPaintKind::LineThrough, text},    {TextPaintKind::Underline, span},
        {TextPaintKind::Glyphs, Find("#inner")}, {TextPaintKind::LineThrough, text},
    };
    EXPECT_EQ(items, expected);
    EXPECT_TRUE(Layout("bad").items.size() == 1u) << "a comma list declares nothing";
    EXPECT_TRUE(HasMessagePrefix("E text text-decoration=\"underline,overline\" :Invalid value at 2("));
}

// --- Bounds and hit testing ---------------------------------------------------------------------

TEST_F(TextLayoutTest, BoundsAreTheCellsAndAClickFindsTheOwningElement)
{
    Load("<text id='t' x='10' y='100'>ab<tspan id='s' fill='red'>cd</tspan></text>"
         "<text id='moved' x='10' y='100' transform='translate(0 50)'>ab</text>");
    CElem* text = Find("#t");
    ASSERT_TRUE(text->bboxUser);
    const std::vector<RectF> boxes = Boxes("t");
    EXPECT_FLOAT_EQ(text->bboxUser->x, 10);
    EXPECT_FLOAT_EQ(text->bboxUser->Right(), boxes.back().Right());
    EXPECT_LT(text->bboxUser->y, 100 - 20 * 0.7f) << "up to the ascent";
    EXPECT_GT(text->bboxUser->Bottom(), 100) << "down to the descent";
    const RectF c = boxes[2];
    EXPECT_EQ(vexo_test::HitTestAt(*text, c.x + c.width / 2, c.y + c.height / 2), Find("#s"));
    EXPECT_EQ(vexo_test::HitTestAt(*text, boxes[0].x + 1, 99), text);
    EXPECT_EQ(vexo_test::HitTestAt(*text, 5, 99), nullptr);
    const CElem* moved = Find("#moved");
    EXPECT_EQ(vexo_test::HitTestAt(*moved, 12, 145), moved) << "the click is taken into the text's transform";
    EXPECT_EQ(vexo_test::HitTestAt(*moved, 12, 95), nullptr);
}

// --- Bad values and bad input ------------------------------------------------------------------

TEST_F(TextLayoutTest, BadPropertyValuesAreReportedAndDefaultsUsed)
{
    Load("<text id='t' x='a' y='50' letter-spacing='wide' word-spacing='2q' kerning='tight' text-anchor='left' "
         "dominant-baseline='high' baseline-shift='up' direction='down' unicode-bidi='fancy'>"
         "<tspan alignment-baseline='low' glyph-orientation-horizontal='1turn'>ab</tspan></text>");
    for (const char* prefix : {"E text x=\"a\" :Invalid value at 1(", "E text letter-spacing=\"wide\" :Invalid value",
                               "E text word-spacing=\"2q\" :Invalid value", "E text kerning=\"tight\" :Invalid value",
                               "E text text-anchor=\"left\" :Invalid value",
                               "E text dominant-baseline=\"high\" :Invalid value",
                               "E text direction=\"down\" :Invalid value", "E text unicode-bidi=\"fancy\" :Invalid value",
                               "E tspan alignment-baseline=\"low\" :Invalid value",
                               "E tspan glyph-orientation-horizontal=\"1turn\" :Invalid value"})
        EXPECT_TRUE(HasMessagePrefix(prefix)) << prefix;
    EXPECT_EQ(Boxes("t").size(), 2u) << "laid out with the defaults";
}

TEST_F(TextLayoutTest, TrefCyclesAndMissingTargetsAreReported)
{
    Load("<text id='self' x='0' y='50'>a<tref xlink:href='#self'/></text>"
         "\n<text id='missing' x='0' y='50'>b<tref xlink:href='#nothing'/></text>"
         "\n<not-svg id='foreign'>z</not-svg><text id='foreignText'>c<tref xlink:href='#foreign'/></text>");
    EXPECT_EQ(Text("self"), U"a");
    EXPECT_TRUE(HasMessagePrefix("F tref xlink:href=\"#self\" : Cyclic reference at 1("));
    EXPECT_TRUE(HasMessagePrefix("E tref xlink:href=\"#nothing\" :Link NOT found at 2("));
    EXPECT_EQ(Text("foreignText"), U"c");
}

TEST_F(TextLayoutTest, HugeTextAndSizesStayBounded)
{
    Load("<text id='big' x='0' y='50'>" + std::string(1 << 20, 'x') + "</text>"
         "<text id='size' x='0' y='50' font-size='1e9'>ab</text><text id='zero' font-size='0'>ab</text>");
    EXPECT_EQ(Text("big").size(), std::size_t{1} << 18);
    EXPECT_TRUE(HasMessagePrefix("W text has more than 262144 characters; the rest is ignored"));
    for (const RectF& box : Boxes("size"))
        EXPECT_TRUE(std::isfinite(box.x) && std::isfinite(box.width));
    EXPECT_TRUE(Layout("zero").items.empty());
    EXPECT_NE(Current().Record(), nullptr);
}

}  // namespace
