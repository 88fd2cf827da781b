#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "style/css_font_face.h"
#include "style/css_parser.h"
#include "base/stop_token.h"
#include "model/message_log.h"
#include "model/load_context.h"
#include "test_support.h"

using namespace svg;
using namespace svg::css;

namespace {

class CssParser : public ::testing::Test {
protected:
    // Parses `text` as the sheet at `path` for `medium`.
    const CRulesets& Parse(std::string_view text, const std::string& medium = "screen",
                           const std::string& path = "/nowhere/sheet.css")
    {
        parseSheet(text, path, medium, &fonts, imports, rulesets, log, stop);
        return rulesets;
    }

    std::vector<std::string> Messages() const { return log.EntriesFrom(0); }
    bool HasMessage(const std::string& line) const { return vexo_test::HasLine(log, line); }

    // The selector of each ruleset, rebuilt as text, in cascade order.
    std::vector<std::string> Subjects() const
    {
        std::vector<std::string> names;
        for (const CRuleset& ruleset : rulesets.Items())
            names.push_back(ruleset.selector.compounds.back().element);
        return names;
    }

    CRulesets rulesets;
    CImportState imports;
    CCssFontPool fonts;
    CMessageLog log;
    CStopToken stop;
};

int Specificity(std::string_view selector)
{
    CSelectors selectors;
    CMessageLog log;
    EXPECT_TRUE(ParseSelectorGroup(selector, selectors, &log)) << selector;
    return selectors.empty() ? -1 : selectors.front().specificity;
}

using CssSelector = CssParser;
using CssDeclarations = CssParser;
// @import reads files for a load; this one's main document sits in the
// scratch folder, whose files it may read.
class CssImport : public CssParser {
protected:
    CssImport()
    {
        context.SetMainDocumentPath(vexo_test::TempDirectory() + "/main.svg");
        imports.load = &context;
    }
    std::optional<std::string> LoadSheet(const std::string& path) { return loadSheetFile(context, path, path, ""); }

    CLoadContext context{log, stop, CDocOptions{}};
};
using CssFontFaceRule = CssParser;

}  // namespace

// --- Statements and rulesets ------------------------------------------------------------

TEST_F(CssParser, SelectorGroupMakesRulesetsSharingOneBlock)
{
    Parse("rect, circle { fill: red }");
    ASSERT_EQ(rulesets.Size(), 2u);
    EXPECT_EQ(rulesets.Items()[0].declarations.get(), rulesets.Items()[1].declarations.get());
    EXPECT_EQ(rulesets.Items()[0].sequence, 0);
    EXPECT_EQ(rulesets.Items()[1].sequence, 1);
}

TEST_F(CssParser, RulesetsAreSortedBySpecificityThenSheetOrder)
{
    Parse("#i{fill:red} rect{fill:red} .c{fill:red} circle{fill:red}");
    const std::vector<CRuleset>& items = rulesets.Items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].sequence, 1);  // rect
    EXPECT_EQ(items[1].sequence, 3);  // circle
    EXPECT_EQ(items[2].sequence, 2);  // .c
    EXPECT_EQ(items[3].sequence, 0);  // #i
}

TEST_F(CssParser, StatementsWithoutBlockOrNestedTooDeepAreIgnored)
{
    Parse("rect; circle { a { fill: red } } line { stroke: blue } } path { fill: red }");
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"line", "path"}));
}

TEST_F(CssParser, UnclosedBlockAtTheEndStillCounts)
{
    Parse("rect { fill: red");
    EXPECT_EQ(rulesets.Size(), 1u);
}

TEST_F(CssParser, PageIsRefusedAndUnknownAtRulesIgnored)
{
    Parse("@page { margin: 1cm } @charset \"utf-8\"; @keyframes k { from { fill: red } } rect{fill:red}");
    EXPECT_TRUE(HasMessage("W NOT support '@page'"));
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"rect"}));
}

TEST_F(CssParser, MediaRulesApplyForTheirMediumOnly)
{
    Parse("@media print { rect { fill: red } } @media SCREEN, print { circle { fill: red } }"
          "@media { line { fill: red } }");
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"circle"}));
}

TEST_F(CssParser, EmptyMediumTakesEveryMediaRule)
{
    Parse("@media print { rect { fill: red } }", "");
    EXPECT_EQ(rulesets.Size(), 1u);
}

TEST_F(CssParser, DeeplyNestedMediaRulesStopAtTheNestingBound)
{
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "@media all {";
    text += "rect { fill: red }";
    Parse(text);  // rules nested beyond the bound are not read
    EXPECT_EQ(rulesets.Size(), 0u);
}

TEST_F(CssParser, CancelStopsBetweenStatements)
{
    stop.RequestStop();
    EXPECT_FALSE(parseSheet("rect{fill:red}", "/s.css", "screen", nullptr, imports, rulesets, log, stop));
    EXPECT_EQ(rulesets.Size(), 0u);
}

TEST(CssMediaList, NamesSeparatedByCommas)
{
    EXPECT_EQ(ParseMediaList(" screen , print tv"), (CMediaList{"screen", "print"}));
    EXPECT_TRUE(ParseMediaList("{").empty());
    EXPECT_TRUE(MediaListMatches({"ALL"}, "screen"));
    EXPECT_FALSE(MediaListMatches({"print"}, "screen"));
}

// --- Selectors --------------------------------------------------------------------------

TEST_F(CssSelector, Specificities)
{
    EXPECT_EQ(Specificity("#a.b"), 110);
    EXPECT_EQ(Specificity("g rect"), 2);
    EXPECT_EQ(Specificity("*"), 0);
    // A pseudo-class counts like a class, so rect:first-child beats g rect.
    EXPECT_EQ(Specificity("rect:first-child"), 11);
    EXPECT_EQ(Specificity("rect[x]"), 11);
}

TEST_F(CssSelector, ConditionsAfterAnAttributeConditionAreRead)
{
    CSelectors selectors;
    ASSERT_TRUE(ParseSelectorGroup("rect[x].a", selectors, &log));
    const CSimpleSelector& compound = selectors[0].compounds[0];
    ASSERT_EQ(compound.modifiers.size(), 2u);
    EXPECT_EQ(compound.modifiers[1].kind, ModifierKind::Class);
    EXPECT_EQ(compound.specificity, 21);
}

TEST_F(CssSelector, CombinatorsAndCompounds)
{
    CSelectors selectors;
    ASSERT_TRUE(ParseSelectorGroup(" g > rect.a + circle#c  text ", selectors, &log));
    ASSERT_EQ(selectors.size(), 1u);
    EXPECT_EQ(selectors[0].combinators, ">+ ");
    ASSERT_EQ(selectors[0].compounds.size(), 4u);
    EXPECT_EQ(selectors[0].compounds[2].modifiers[0].name, "c");
}

TEST_F(CssSelector, AttributeConditionsKeepOperatorAndQuoting)
{
    CSelectors selectors;
    ASSERT_TRUE(ParseSelectorGroup("[a][b=x][c~='Y'][d|=en][xlink\\:href]", selectors, &log));
    const CModifiers& modifiers = selectors[0].compounds[0].modifiers;
    ASSERT_EQ(modifiers.size(), 5u);
    EXPECT_EQ(modifiers[0].op, AttribOperator::Present);
    EXPECT_EQ(modifiers[1].op, AttribOperator::Equals);
    EXPECT_FALSE(modifiers[1].quoted);
    EXPECT_EQ(modifiers[2].op, AttribOperator::Includes);
    EXPECT_EQ(modifiers[2].value, "Y");
    EXPECT_TRUE(modifiers[2].quoted);
    EXPECT_EQ(modifiers[3].op, AttribOperator::DashMatch);
    EXPECT_EQ(modifiers[4].name, "xlink:href");
    EXPECT_EQ(selectors[0].compounds[0].element, "*");
}

TEST_F(CssSelector, ACommentIsNoBlank)
{
    CSelectors selectors;
    ASSERT_TRUE(ParseSelectorGroup("rect/**/.a", selectors, &log));
    EXPECT_EQ(selectors[0].compounds.size(), 1u);
    selectors.clear();
    EXPECT_FALSE(ParseSelectorGroup("a/**/b", selectors, &log));
}

TEST_F(CssSelector, ErrorsAreReportedAndDropTheRuleset)
{
    const struct {
        const char* selector;
        const char* message;
    } cases[] = {
        {".1a", "W (CSS)Illegal token '1a' after '.'"},
        {"#.x", "W (CSS)Illegal token '.' after '#'"},
        {"a:1", "W (CSS)Illegal token '1' after ':'"},
        {"[1]", "W (CSS)Illegal token '1' after '['"},
        {"[a=]", "W (CSS)Illegal token ']' after '='"},
        {"[a|=#]", "W (CSS)Illegal token '#' after '|'"},
        {"a:lang(1)", "W (CSS)Illegal token '1' after 'lang('"},
        {"a:lang(en", "W (CSS)Illegal ')' after 'en'"},
        {"a ~ b", "W (CSS)Illegal token '~'"},
        {"rect@x", "W (CSS)Illegal token '@'"},
        {"a,", "W (CSS)Illegal token ''"},
    };
    for (const auto& c : cases) {
        CRulesets sheet;
        parseSheet(std::string(c.selector) + "{fill:red}", "/s.css", "screen", nullptr, imports, sheet, log, stop);
        EXPECT_EQ(sheet.Size(), 0u) << c.selector;
        EXPECT_TRUE(HasMessage(c.message)) << c.selector << " gave "
                                                      << ::testing::PrintToString(Messages());
    }
}

// --- Declarations -----------------------------------------------------------------------

TEST_F(CssDeclarations, ValuesAreTrimmedConcatenationsOfTokens)
{
    const auto block = ParseDeclarationBlock("{ FILL : url( #g ) ; stroke-dasharray: 1 ,/**/2 ;"
                                             "font-family: 'A\\27 B', serif; -x-custom: 1 }", &log);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 4u);
    EXPECT_EQ((*block)[0].name, "fill");  // property names are lower-cased
    EXPECT_EQ((*block)[0].value, "url(#g)");
    EXPECT_EQ((*block)[1].value, "1 , 2");
    EXPECT_EQ((*block)[2].value, "'A'B', serif");
    EXPECT_EQ((*block)[3].name, "-x-custom");
    EXPECT_EQ((*block)[3].property, -1);
}

TEST_F(CssDeclarations, ImportantNeedsTheExactWord)
{
    const auto block = ParseDeclarationBlock("{fill: red ! important; stroke: blue !IMPORTANT; opacity: 1 !x y}", &log);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 3u);
    EXPECT_TRUE((*block)[0].important);
    EXPECT_EQ((*block)[0].value, "red");
    EXPECT_FALSE((*block)[1].important);
    EXPECT_FALSE((*block)[2].important);
    EXPECT_EQ((*block)[2].value, "1");
}

TEST_F(CssDeclarations, BadDeclarationsAreSkippedToTheNextSemicolon)
{
    const auto block = ParseDeclarationBlock("{fill red; 1: 2; ;; stroke: blue; font-family: \"open\n; opacity: .5}", &log);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 2u);
    EXPECT_EQ((*block)[0].name, "stroke");
    EXPECT_EQ((*block)[1].value, ".5");
    EXPECT_TRUE(HasMessage("W (CSS)Illegal token 'red'"));
    EXPECT_TRUE(HasMessage("W (CSS)Illegal token '1'"));
    EXPECT_TRUE(HasMessage("W (CSS)Illegal token '\"open'"));
}

TEST_F(CssDeclarations, EmptyBlocksAndValuesGiveNothing)
{
    EXPECT_EQ(ParseDeclarationBlock("{ }", &log), nullptr);
    EXPECT_EQ(ParseDeclarationBlock("{ fill: ; }", &log), nullptr);
    EXPECT_EQ(ParseDeclarationBlock("fill: red", &log), nullptr);
}

// --- @import ----------------------------------------------------------------------------

TEST_F(CssImport, ImportedRulesComeFirstAndMediaListsFilter)
{
    vexo_test::WriteTempFile("imp/a.css", "rect { fill: red }");
    vexo_test::WriteTempFile("imp/p.css", "circle { fill: red }");
    const std::string main = vexo_test::TempDirectory() + "/imp/main.css";
    Parse("@import url(a.css); @import \"p.css\" print; @import 'missing.css'; line { fill: red }", "screen",
          main);
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"rect", "line"}));
}

TEST_F(CssImport, CyclesStop)
{
    vexo_test::WriteTempFile("cycle/self.css", "@import 'self.css'; rect { fill: red }");
    vexo_test::WriteTempFile("cycle/a.css", "@import 'b.css'; circle { fill: red }");
    vexo_test::WriteTempFile("cycle/b.css", "@import url(./a.css); line { fill: red }");
    const std::string dir = vexo_test::TempDirectory() + "/cycle/";
    Parse(*LoadSheet(dir + "self.css"), "screen", dir + "self.css");
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"rect"}));

    CRulesets other;
    parseSheet(*LoadSheet(dir + "a.css"), dir + "a.css", "screen", nullptr, imports, other, log, stop);
    ASSERT_EQ(other.Size(), 2u);  // b's line, then a's circle, each once
    EXPECT_EQ(other.Items()[0].selector.compounds[0].element, "line");
    EXPECT_TRUE(imports.chain.empty());
}

TEST_F(CssImport, NestingIsBounded)
{
    for (int i = 0; i < 40; ++i)
        vexo_test::WriteTempFile("deep/" + std::to_string(i) + ".css",
                                 "@import '" + std::to_string(i + 1) + ".css'; rect { fill: red }");
    const std::string dir = vexo_test::TempDirectory() + "/deep/";
    Parse(*LoadSheet(dir + "0.css"), "screen", dir + "0.css");
    EXPECT_EQ(rulesets.Size(), 16u);
}

TEST_F(CssImport, RepeatedImportsAreBoundedInTotal)
{
    // Each level imports the next twice: 2^20 loads without a total bound.
    for (int i = 0; i < 20; ++i) {
        const std::string next = std::to_string(i + 1) + ".css";
        vexo_test::WriteTempFile("fan/" + std::to_string(i) + ".css",
                                 "@import '" + next + "'; @import '" + next + "'; rect { fill: red }");
    }
    const std::string dir = vexo_test::TempDirectory() + "/fan/";
    const auto start = std::chrono::steady_clock::now();
    Parse(*LoadSheet(dir + "0.css"), "screen", dir + "0.css");
    EXPECT_LE(imports.importedSheets, 256u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(CssImport, ExternalSheetCharsetAndByteOrderMark)
{
    const std::string bom = vexo_test::WriteTempFile(
        "enc/bom.css", "\xEF\xBB\xBF@charset \"utf-8\";\ntext { font-family: \"\xC3\x91u\" }");
    const std::optional<std::string> text = LoadSheet(bom);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("@charset", 0), std::string::npos);
    Parse(*text);
    ASSERT_EQ(rulesets.Size(), 1u);
    EXPECT_EQ((*rulesets.Items()[0].declarations)[0].value, "\"\xC3\x91u\"");

    const std::string latin1 = vexo_test::WriteTempFile("enc/l1.css", "@charset \"iso-8859-1\";\nx{a:\xD1}");
    EXPECT_EQ(LoadSheet(latin1), std::optional<std::string>("\nx{a:\xC3\x91}"));
    EXPECT_FALSE(LoadSheet(vexo_test::TempDirectory() + "/enc/none.css"));
}

// --- @font-face -------------------------------------------------------------------------

TEST_F(CssFontFaceRule, DescriptorsAndSources)
{
    Parse("@font-face { font-family: \"My Font\"; src: local(\"Arial Bold\"), "
          "url(data:font/woff;base64,AAA;B,C) format(\"woff\"), url('f;1.ttf'), Times; "
          "font-weight: bold, 300; font-style: italic, oblique; font-variant: small-caps; "
          "font-stretch: condensed; unicode-range: U+0-7F, U+4??; font-feature-settings: \"liga\" }");
    ASSERT_EQ(fonts.Faces().size(), 1u);
    const CCssFontFace& face = fonts.Faces()[0];
    EXPECT_EQ(face.family, "My Font");
    ASSERT_EQ(face.sources.size(), 4u);
    EXPECT_TRUE(face.sources[0].local);
    EXPECT_EQ(face.sources[0].name, "Arial Bold");
    EXPECT_FALSE(face.sources[1].local);
    EXPECT_EQ(face.sources[1].name, "data:font/woff;base64,AAA;B,C");
    EXPECT_EQ(face.sources[1].format, "woff");
    EXPECT_EQ(face.sources[2].name, "f;1.ttf");
    EXPECT_TRUE(face.sources[3].local);
    EXPECT_EQ(face.sources[3].name, "Times");
    EXPECT_EQ(face.weightMask, 0x40u | 0x4u);
    EXPECT_EQ(face.styleBits, 6u);
    EXPECT_EQ(face.variantBits, 2u);
    EXPECT_EQ(face.stretch, "condensed");
    ASSERT_EQ(face.unicodeRanges.size(), 2u);
    EXPECT_EQ(face.unicodeRanges[1].first, 0x400u);
    EXPECT_EQ(face.unicodeRanges[1].last, 0x4FFu);
    EXPECT_EQ(face.sheetPath, "/nowhere/sheet.css");
}

TEST_F(CssFontFaceRule, WeightsOutsideTheScaleAreClamped)
{
    Parse("@font-face { font-family: a; font-weight: 99999999999999 } "
          "@font-face { font-family: b; font-weight: 0 }");
    ASSERT_EQ(fonts.Faces().size(), 2u);
    EXPECT_EQ(fonts.Faces()[0].weightMask, 1u << 8);
    EXPECT_EQ(fonts.Faces()[1].weightMask, 1u);
}

TEST_F(CssFontFaceRule, UnsupportedDescriptorEndsTheRule)
{
    Parse("@font-face { font-family: a; font-display: swap; font-weight: bold }");
    EXPECT_TRUE(HasMessage("W (CSS)Unupported @font-face attribute 'font-display'"));
    ASSERT_EQ(fonts.Faces().size(), 1u);
    EXPECT_EQ(fonts.Faces()[0].family, "a");
    EXPECT_EQ(fonts.Faces()[0].weightMask, 0u);
}

TEST_F(CssFontFaceRule, DuplicatesAreDroppedButSubsetsKept)
{
    Parse("@font-face { font-family: a; src: url(1.ttf) } @font-face { font-family: a; src: url(2.ttf) }"
          "@font-face { font-family: a; unicode-range: U+100-17F }");
    ASSERT_EQ(fonts.Faces().size(), 2u);
    EXPECT_EQ(fonts.Faces()[0].sources[0].name, "1.ttf");
    ASSERT_EQ(fonts.Faces()[1].unicodeRanges.size(), 1u);
    EXPECT_EQ(fonts.Faces()[1].unicodeRanges[0].last, 0x17Fu);
}
