#include <gtest/gtest.h>

#include <libxml/parser.h>

#include "model/document.h"
#include "model/limits.h"
#include "model/loader.h"
#include "model/stop_flags.h"
#include "model/tree_builder.h"
#include "model/xml_reader.h"
#include "test_support.h"

using namespace svg;

namespace {

// Parsed without entity substitution, so entity references stay in the tree.
Xmlpp::XmlDocPtr ParseXml(const std::string& text)
{
    return Xmlpp::XmlDocPtr(xmlReadMemory(text.data(), static_cast<int>(text.size()), "test.svg", nullptr,
                                          XML_PARSE_NONET));
}

std::unique_ptr<CElemDocument> BuildTree(const std::string& text)
{
    const Xmlpp::XmlDocPtr xml = ParseXml(text);
    EXPECT_NE(xml, nullptr);
    auto root = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
    if (!xml)
        return root;
    const xmlNode* node = xmlDocGetRootElement(xml.get());
    ReadAttributes(*root, node);
    BuildChildren(*root, node);
    return root;
}

std::string StringText(const CElem* elem)
{
    EXPECT_EQ(elem->Class(), ElemClass::String);
    return static_cast<const CElemString*>(elem)->text;
}

std::string Value(const CAttributeMap& attributes, std::string_view name)
{
    const std::string* value = attributes.Value(name);
    return value ? *value : "<missing>";
}

class TreeBuilderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vexo_test::ResetGlobalState();
        LoadProgress::Instance().Reset();
    }
    void TearDown() override { vexo_test::ResetGlobalState(); }
};

TEST_F(TreeBuilderTest, WhitespaceIsDroppedOutsideTextAndKeptInside)
{
    const auto root = BuildTree("<svg>\n  <g>\n    <rect/>\n  </g>\n"
                                "  <text> a  <tspan>\n b </tspan>\n</text>\n</svg>");
    ASSERT_EQ(root->Children().size(), 2u);
    const CElem* g = root->Children()[0];
    ASSERT_EQ(g->Children().size(), 1u);
    EXPECT_EQ(g->Children()[0]->Name(), "rect");

    const CElem* text = root->Children()[1];
    ASSERT_EQ(text->Children().size(), 3u);
    EXPECT_EQ(StringText(text->Children()[0]), " a  ");
    EXPECT_EQ(StringText(text->Children()[1]->Children()[0]), "\n b ");
    EXPECT_EQ(StringText(text->Children()[2]), "\n");
    EXPECT_EQ(LoadProgress::Instance().nodesAdded, 7);
}

TEST_F(TreeBuilderTest, StringTextOutsideTextIsNormalised)
{
    EXPECT_EQ(NormalizeStringText("  Hello \t\n  world \t "), "Hello world");
    EXPECT_EQ(NormalizeStringText("a\r\nb"), "a\rb");  // only line feeds are dropped
    EXPECT_EQ(NormalizeStringText("\n\n"), "");
    EXPECT_EQ(NormalizeStringText("\t x"), "x");

    const auto root = BuildTree("<svg><desc>\n   Two \n  words  </desc><title>  </title></svg>");
    ASSERT_EQ(root->Children().size(), 2u);
    EXPECT_EQ(root->Children()[0]->TextContent(), "Two words");
    EXPECT_TRUE(root->Children()[1]->Children().empty());
}

TEST_F(TreeBuilderTest, CommentsCdataAndEntityReferences)
{
    const auto root = BuildTree("<!DOCTYPE svg [<!ENTITY shape \"<rect id='r'/>and text\">]>"
                                "<svg><!-- note --><g>&shape;</g><text><![CDATA[<x> & y]]></text></svg>");
    ASSERT_EQ(root->Children().size(), 3u);
    const CElem* comment = root->Children()[0];
    ASSERT_EQ(comment->Class(), ElemClass::Comment);
    EXPECT_EQ(static_cast<const CElemComment*>(comment)->text, " note ");

    // The entity's content belongs to `g` directly; no node stands for the reference.
    const CElem* g = root->Children()[1];
    ASSERT_EQ(g->Children().size(), 2u);
    EXPECT_EQ(g->Children()[0]->id, "r");
    EXPECT_EQ(g->Children()[0]->Parent(), g);
    EXPECT_EQ(StringText(g->Children()[1]), "and text");

    EXPECT_EQ(root->Children()[2]->TextContent(), "<x> & y");
}

TEST_F(TreeBuilderTest, AttributesLocationAndId)
{
    const auto root = BuildTree(
        "<svg xmlns:xlink='http://www.w3.org/1999/xlink' xmlns:x='urn:x'>"
        "<rect VexoLoc='12,5' id='a' xml:id='b' x:extra='1' title='say &amp;quot;hi&amp;quot;'/>"
        "<g VexoLoc='7' xml:id='only'/><use xlink:href='#a'/></svg>");
    ASSERT_EQ(root->Children().size(), 3u);
    const CElem* rect = root->Children()[0];
    EXPECT_EQ(rect->line, 12);
    EXPECT_EQ(rect->column, 5);
    EXPECT_EQ(rect->id, "a");
    EXPECT_EQ(Value(rect->attributes, "VexoLoc"), "12,5");
    EXPECT_EQ(Value(rect->attributes, "x:extra"), "1");
    EXPECT_EQ(Value(rect->attributes, "title"), "say \"hi\"");

    const CElem* g = root->Children()[1];
    EXPECT_EQ(g->line, 0);  // no comma: no location
    EXPECT_EQ(g->column, 0);
    EXPECT_EQ(g->id, "only");
    EXPECT_EQ(Value(root->Children()[2]->attributes, "xlink:href"), "#a");
}

TEST_F(TreeBuilderTest, StyleAttributeOverridesAndKeepsPrevious)
{
    const auto root = BuildTree(
        "<svg><rect fill='blue' stroke='red' style=\"/* c; d */ FILL : green ;"
        " font-family: 'a;b:c', serif; fill-opacity:.5 /* open ; stroke:x\"/></svg>");
    const CAttributeMap& attributes = root->Children()[0]->attributes;
    const CAttribute* fill = attributes.Find("fill");
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->value, "green");
    EXPECT_EQ(fill->previous, "blue");
    EXPECT_EQ(Value(attributes, "font-family"), "'a;b:c', serif");
    EXPECT_EQ(Value(attributes, "fill-opacity"), ".5");
    EXPECT_EQ(Value(attributes, "stroke"), "red");  // inside the unterminated comment
    EXPECT_FALSE(attributes.Contains("style"));
}

TEST_F(TreeBuilderTest, StyleDeclarationsWithoutColonOrNameAreSkipped)
{
    CAttributeMap attributes;
    ParseStyleAttribute("opacity:0.5;:orphan; ;fill:url(http://host/a.svg#p) red;stroke", attributes);
    EXPECT_EQ(attributes.Size(), 2u);
    EXPECT_EQ(Value(attributes, "opacity"), "0.5");
    EXPECT_EQ(Value(attributes, "fill"), "url(http://host/a.svg#p) red");
}

TEST_F(TreeBuilderTest, FontShorthandFollowsCssOrder)
{
    CAttributeMap attributes;
    EXPECT_TRUE(ParseFontAttribute("bold 12px Arial, sans-serif", attributes));
    EXPECT_EQ(Value(attributes, "font-weight"), "bold");
    EXPECT_EQ(Value(attributes, "font-style"), "normal");
    EXPECT_EQ(Value(attributes, "font-variant"), "normal");
    EXPECT_EQ(Value(attributes, "font-size"), "12px");
    EXPECT_EQ(Value(attributes, "font-family"), "Arial, sans-serif");

    CAttributeMap full;
    EXPECT_TRUE(ParseFontAttribute(" small-caps italic 700 1.5em/2 'Times New Roman', serif ", full));
    EXPECT_EQ(Value(full, "font-style"), "italic");
    EXPECT_EQ(Value(full, "font-variant"), "small-caps");
    EXPECT_EQ(Value(full, "font-weight"), "700");
    EXPECT_EQ(Value(full, "font-size"), "1.5em");
    EXPECT_EQ(Value(full, "font-family"), "'Times New Roman', serif");

    CAttributeMap spaced;
    EXPECT_TRUE(ParseFontAttribute("12px / 14px Times New Roman", spaced));
    EXPECT_EQ(Value(spaced, "font-size"), "12px");
    EXPECT_EQ(Value(spaced, "font-family"), "Times New Roman");
}

TEST_F(TreeBuilderTest, InvalidFontShorthandStoresNothing)
{
    for (const char* value : {"Arial", "12px", "bold", "heavy 12px Arial", "", "/2 serif"}) {
        CAttributeMap attributes;
        EXPECT_FALSE(ParseFontAttribute(value, attributes)) << value;
        EXPECT_TRUE(attributes.Empty()) << value;
    }
}

TEST_F(TreeBuilderTest, SystemFontKeywords)
{
    CAttributeMap attributes;
    EXPECT_TRUE(ParseFontAttribute("status-bar", attributes));
    EXPECT_EQ(Value(attributes, "font-size"), "11");
    EXPECT_EQ(Value(attributes, "font-family"), "sans-serif");

    ASSERT_TRUE(SetSystemFont("menu", "Cantarell", 14, true, true));
    EXPECT_FALSE(SetSystemFont("tooltip", "x", 1, false, false));
    EXPECT_TRUE(ParseFontAttribute("menu", attributes));
    EXPECT_EQ(Value(attributes, "font-family"), "Cantarell");
    EXPECT_EQ(Value(attributes, "font-size"), "14");
    EXPECT_EQ(Value(attributes, "font-weight"), "bold");
    EXPECT_EQ(Value(attributes, "font-style"), "italic");
    SetSystemFont("menu", "sans-serif", 12, false, false);
}

TEST_F(TreeBuilderTest, StyleBeatsFontAttributeWhateverTheOrder)
{
    const auto root = BuildTree("<svg><text style='font-size:20px; font: 8px serif; font-weight:bold'"
                                " font='italic 30px Courier'/></svg>");
    const CAttributeMap& attributes = root->Children()[0]->attributes;
    EXPECT_EQ(Value(attributes, "font-size"), "8px");
    EXPECT_EQ(Value(attributes, "font-family"), "serif");
    EXPECT_EQ(Value(attributes, "font-weight"), "bold");
    EXPECT_EQ(Value(attributes, "font-style"), "normal");
    EXPECT_FALSE(attributes.Contains("font"));
}

TEST_F(TreeBuilderTest, StopRequestEndsBuilding)
{
    stopLoading = true;
    const auto root = BuildTree("<svg><rect/><rect/></svg>");
    EXPECT_TRUE(root->Children().empty());
}

TEST_F(TreeBuilderTest, NestingDeeperThanTheLimitIsDropped)
{
    const Xmlpp::XmlDocPtr xml = ParseXml("<svg><g VexoLoc='3,4'><rect/></g></svg>");
    auto root = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
    BuildChildren(*root, xmlDocGetRootElement(xml.get()), limits::kMaxElementDepth - 1);
    ASSERT_EQ(root->Children().size(), 1u);
    EXPECT_TRUE(root->Children()[0]->Children().empty());
    EXPECT_EQ(vexo_test::Messages(), std::vector<std::string>{"E g too deeply nested at 3(4)"});
}

}  // namespace
