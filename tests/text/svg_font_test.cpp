// SVG fonts through whole loads: glyph matching in document order with
// ligatures, Arabic forms, kerning by glyph name and by character, marks,
// the missing glyph, altGlyph references, and the messages of broken fonts.
// Glyph advances are set apart (units per em 1000, font size 20: an advance
// of 100 units is 2 user units) so that cell widths tell which glyph was used.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text_layout_probe.h"

using namespace svg;

namespace {

class SvgFontTest : public vexo_test::TextLayoutProbe {
protected:
    // A font "F" with `glyphs` (its glyph, hkern... children) and `text` set in it.
    void LoadFont(const std::string& glyphs, const std::string& text)
    {
        Load("<defs><font id='font' horiz-adv-x='1000'><font-face font-family='F' units-per-em='1000' ascent='800' "
             "descent='200'/><missing-glyph horiz-adv-x='900' d='M0 0 H900 V800 H0 Z'/>" +
             glyphs + "</font></defs>\n<text id='t' x='0' y='100' font-family='F'>" + text + "</text>");
    }

    std::vector<float> Widths()
    {
        std::vector<float> widths;
        for (const RectF& box : Boxes("t"))
            widths.push_back(box.width);
        return widths;
    }
};

TEST_F(SvgFontTest, GlyphsMatchInDocumentOrderSoTheFirstPrefixWins)
{
    struct Case {
        const char* glyphs;
        std::vector<float> widths;
    };
    const Case cases[] = {
        {"<glyph unicode='f' horiz-adv-x='100'/><glyph unicode='fi' horiz-adv-x='300'/><glyph unicode='i' "
         "horiz-adv-x='200'/>",
         {2, 4}},
        {"<glyph unicode='fi' horiz-adv-x='300'/><glyph unicode='f' horiz-adv-x='100'/><glyph unicode='i' "
         "horiz-adv-x='200'/>",
         {6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.glyphs);
        LoadFont(c.glyphs, "fi");
        EXPECT_EQ(Widths(), c.widths);
    }
}

TEST_F(SvgFontTest, ArabicLettersTakeTheFormOfTheirPlaceInTheWord)
{
    const std::string beh = "<glyph unicode='\u0628' arabic-form='isolated' horiz-adv-x='100'/>"
                            "<glyph unicode='\u0628' arabic-form='initial' horiz-adv-x='200'/>"
                            "<glyph unicode='\u0628' arabic-form='medial' horiz-adv-x='300'/>"
                            "<glyph unicode='\u0628' arabic-form='terminal' horiz-adv-x='400'/>"
                            "<glyph unicode='\u064E' horiz-adv-x='500'/>";
    LoadFont(beh, "\u0628\u0628\u0628");
    EXPECT_EQ(Widths(), (std::vector<float>{4, 6, 8}));
    LoadFont(beh, "\u0628");
    EXPECT_EQ(Widths(), (std::vector<float>{2}));
    // A mark (fatha) between the letters takes no room and does not break the word.
    LoadFont(beh, "\u0628\u064E\u0628");
    EXPECT_EQ(Widths(), (std::vector<float>{4, 0, 8}));
}

TEST_F(SvgFontTest, KerningPairsMatchByGlyphNameOrByCharacter)
{
    const std::string glyphs = "<glyph unicode='A' glyph-name='a' horiz-adv-x='500'/>"
                               "<glyph unicode='V' glyph-name='vee' horiz-adv-x='500'/>"
                               "<glyph unicode='W' horiz-adv-x='500'/>";
    struct Case {
        std::string kern;
        float firstWidth;
    };
    const Case cases[] = {
        {"<hkern u1='A' g2='vee' k='200'/>", 6},
        {"<hkern g1='a' u2='U+56' k='100'/>", 8},
        {"<hkern u1='U+41-42' u2='V,W' k='50'/>", 9},
        {"<hkern u1='A' g2='W' k='200'/>", 10},  // g2 names a glyph, not a character
        {"", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kern);
        LoadFont(glyphs + c.kern, "AV");
        ASSERT_EQ(Widths().size(), 2u);
        EXPECT_FLOAT_EQ(Widths()[0], c.firstWidth);
    }
    LoadFont(glyphs + "<hkern u1='A' g2='vee' k='200'/>", "<tspan kerning='0'>AV</tspan>");
    EXPECT_FLOAT_EQ(Widths()[0], 10) << "kerning off";
}

TEST_F(SvgFontTest, CharactersNoFontHasDrawTheMissingGlyph)
{
    LoadFont("<glyph unicode='a' horiz-adv-x='100' d='M0 0 H100 V100 Z'/>", "a\U0010FFFD");
    EXPECT_EQ(Widths(), (std::vector<float>{2, 18}));
    ASSERT_EQ(Layout("t").items.size(), 1u);
    // The triangle and the missing glyph's box with its hole.
    EXPECT_EQ(Layout("t").items[0].path.Size(), 3u + 4u);
}

TEST_F(SvgFontTest, AltGlyphDrawsTheGlyphsItNames)
{
    Load("<defs><font horiz-adv-x='1000'><font-face font-family='F'/>"
         "<glyph id='one' unicode='1' horiz-adv-x='100'/><glyph id='two' unicode='2' horiz-adv-x='200'/></font>"
         "<altGlyphDef id='def'><glyphRef xlink:href='#two'/><glyphRef xlink:href='#one'/></altGlyphDef>"
         "<altGlyphDef id='broken'><glyphRef xlink:href='#two'/><glyphRef xlink:href='#nothing'/></altGlyphDef>"
         "<altGlyphDef id='items'><altGlyphItem><glyphRef xlink:href='#nothing'/><glyphRef xlink:href='#one'/>"
         "</altGlyphItem></altGlyphDef></defs>"
         "\n<text id='t' font-family='F'><altGlyph xlink:href='#def'>xyz</altGlyph><altGlyph xlink:href='#one'>q"
         "</altGlyph><altGlyph xlink:href='#items'>r</altGlyph></text>"
         "\n<text id='fallback' font-family='F'><altGlyph xlink:href='#broken'>1</altGlyph>"
         "<altGlyph xlink:href='#t'>2</altGlyph><altGlyph xlink:href='#none'>1</altGlyph></text>");
    const std::vector<RectF> boxes = Boxes("t");
    ASSERT_EQ(boxes.size(), 3u) << "each altGlyph is one cluster";
    EXPECT_FLOAT_EQ(boxes[0].width, 6);
    EXPECT_FLOAT_EQ(boxes[1].width, 2);
    EXPECT_FLOAT_EQ(boxes[2].width, 2);
    EXPECT_EQ(Text("t"), U"xyzqr");
    const std::vector<RectF> fallback = Boxes("fallback");
    ASSERT_EQ(fallback.size(), 3u);
    EXPECT_FLOAT_EQ(fallback[0].width, 2) << "a list with a broken reference: the characters themselves";
    EXPECT_TRUE(HasMessagePrefix("E altGlyph xlink:href=\"#t\" NOT refer element 'altGlyphDef' / 'glyph' at 3("));
    EXPECT_TRUE(HasMessagePrefix("E altGlyph altGlyph xlink:href=\"#none\" :Link NOT found at 3("));
}

TEST_F(SvgFontTest, BrokenFontPartsAreReported)
{
    Load("<font id='noFace'><glyph unicode='a'/></font>"
         "\n<font><font-face font-family='G' units-per-em='abc'/><font-face font-family='G2'/>"
         "\n<glyph unicode='a' d='M0 0 L10 10 Q'/><glyph unicode='b' arabic-form='final'/>"
         "\n<hkern k='3' u2='b'/><hkern u1='a' u2='U+ZZ' k='1'/></font>"
         "\n<text id='t' font-family='G, DejaVu Sans'>ab</text>");
    EXPECT_TRUE(HasMessage("E <font noFace> :font-face element is Invalid or not defined"));
    EXPECT_TRUE(HasMessagePrefix("E font-face units-per-em=\"abc\" :Invalid value at 2("));
    EXPECT_TRUE(HasMessagePrefix("W :<font G> font-face element is defined twice at 2("));
    EXPECT_TRUE(HasMessagePrefix("E glyph 'd' attribute is invalid at pos 13-("));
    EXPECT_TRUE(HasMessagePrefix("E glyph arabic-form=\"final\" :Invalid value at 3("));
    EXPECT_TRUE(HasMessagePrefix("E hkern 'u1' and 'g1' are NOT defined or invalid at 4("));
    EXPECT_TRUE(HasMessagePrefix("E hkern u2=\"U+ZZ\" :Invalid value at 4("));
    EXPECT_EQ(Boxes("t").size(), 2u);
}

TEST_F(SvgFontTest, GlyphContentThatUsesItsOwnFontIsDrawnBoundedly)
{
    // Each glyph draws text of ten glyphs in the same font: without a bound
    // the drawing would never end.
    Load("<defs><font horiz-adv-x='1000'><font-face font-family='R'/><glyph unicode='x'>"
         "<text font-family='R' font-size='100'>xxxxxxxxxx</text></glyph></font></defs>"
         "<text id='t' font-family='R'>xx</text>");
    EXPECT_EQ(Layout("t").glyphContent.size(), 2u);
    EXPECT_NE(Current().Record(), nullptr);
    EXPECT_TRUE(HasMessagePrefix("W text glyph content nested too deeply or too often: not drawn"));
}

}  // namespace
