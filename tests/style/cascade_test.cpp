#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include <libxml/tree.h>

#include "model/document.h"
#include "model/load_context.h"
#include "model/xml_reader.h"
#include "style/style_sheets.h"
#include "test_support.h"

using namespace svg;
using namespace svg::css;

namespace {

const xmlNode* FindById(const xmlNode* node, std::string_view id)
{
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        xmlChar* value = xmlGetNoNsProp(node, BAD_CAST "id");
        const bool found = value != nullptr && id == reinterpret_cast<const char*>(value);
        xmlFree(value);
        if (found)
            return node;
        if (const xmlNode* inChild = FindById(node->children, id))
            return inChild;
    }
    return nullptr;
}

// The value of the un-namespaced attribute `name`, or "-" when absent.
std::string Attr(const xmlNode* node, const char* name)
{
    if (node == nullptr)
        return "(no element)";
    xmlChar* value = xmlGetNoNsProp(node, BAD_CAST name);
    std::string text = value ? reinterpret_cast<const char*>(value) : "-";
    xmlFree(value);
    return text;
}

class Cascade : public ::testing::Test {
protected:
    void Load(std::string_view xml)
    {
        document = ParseXmlText(xml, "/doc/test.svg", log);
        ASSERT_TRUE(document);
    }

    void Apply(std::string_view css, const std::string& media = "screen")
    {
        ApplyCssStyleSheet(document.get(), css, "/doc/test.svg", media, sheets, load);
    }

    std::string Fill(std::string_view id, const char* property = "fill") const
    {
        return Attr(FindById(xmlDocGetRootElement(document.get()), id), property);
    }

    // Each element's property, by element id, holds its value ("-": none).
    struct Written {
        const char* id;
        const char* property;
        const char* value;
    };
    void ExpectWritten(std::initializer_list<Written> expected) const
    {
        for (const Written& w : expected)
            EXPECT_EQ(Fill(w.id, w.property), w.value) << w.id << " " << w.property;
    }

    XmlDocPtr document;
    CMessageLog log;
    CStopToken stop;
    CLoadContext load{log, stop, CDocOptions{}};
    CssLoadContext sheets;
};

}  // namespace

TEST_F(Cascade, HigherSpecificityWinsWhateverTheOrder)
{
    Load("<svg><rect id='r' class='a'/></svg>");
    Apply(".a{fill:blue} rect{fill:red}");
    EXPECT_EQ(Fill("r"), "blue");
    Load("<svg><rect id='r' class='a'/></svg>");
    Apply("rect{fill:red} .a{fill:blue}");
    EXPECT_EQ(Fill("r"), "blue");
}

TEST_F(Cascade, LaterRuleWinsAmongEquals)
{
    Load("<svg><rect id='r' class='a b'/></svg>");
    Apply(".a{fill:red} .b{fill:green}");
    EXPECT_EQ(Fill("r"), "green");
}

TEST_F(Cascade, LastDeclarationWinsWithinARule)
{
    Load("<svg><rect id='r'/><circle id='c'/></svg>");
    Apply("rect{fill:red; fill:green} circle{fill:blue !important; fill:red; stroke:red !important; stroke:green !important}");
    ExpectWritten({{"r", "fill", "green"}, {"c", "fill", "blue"}, {"c", "stroke", "green"}});
}

TEST_F(Cascade, SheetsOverridePresentationAttributesAndEarlierSheets)
{
    Load("<svg><rect id='r' fill='red' stroke='black'/></svg>");
    Apply("rect{fill:green}");
    ExpectWritten({{"r", "fill", "green"}, {"r", "stroke", "black"}});
    Apply("#r{fill:yellow}");
    Apply("rect{fill:blue}");  // a later sheet wins even with lower specificity
    EXPECT_EQ(Fill("r"), "blue");
}

TEST_F(Cascade, ImportantBeatsSpecificityWithinASheet)
{
    Load("<svg><rect id='r'/><circle id='c'/></svg>");
    Apply("#r{fill:red; stroke:red} rect{fill:blue !important; stroke:blue} *{fill:green !important}"
          "#c{fill:red !important} circle{fill:blue !important}");
    // For c both rules are important: specificity decides again.
    ExpectWritten({{"r", "fill", "blue"}, {"r", "stroke", "red"}, {"c", "fill", "red"}});
}

TEST_F(Cascade, ImportantSurvivesLaterSheetsNormalDeclarations)
{
    Load("<svg><rect id='r'/></svg>");
    Apply("rect{fill:blue !important; stroke:blue}");
    Apply("#r{fill:red; stroke:red}");
    ExpectWritten({{"r", "fill", "blue"}, {"r", "stroke", "red"}});
    Apply("rect{fill:green !important}");
    EXPECT_EQ(Fill("r"), "green");
}

TEST_F(Cascade, OnlyPropertiesAreWritten)
{
    Load("<svg><rect id='r' width='5'/></svg>");
    Apply("rect{width:10; x:5; d:M0; transform:scale(2); id:other; FILL:red; Font:12px serif; marker:url(#m)}");
    ExpectWritten({{"r", "width", "5"}, {"r", "x", "-"}, {"r", "transform", "-"}, {"r", "fill", "red"},
                   {"r", "font", "12px serif"}});
    // The marker shorthand is written as the three properties it stands for.
    ExpectWritten({{"r", "marker", "-"}, {"r", "marker-start", "url(#m)"}, {"r", "marker-mid", "url(#m)"},
                   {"r", "marker-end", "url(#m)"}});
}

TEST_F(Cascade, DescendantChildAndAdjacentCombinators)
{
    Load("<svg><g id='g'><g><rect id='deep'/></g><rect id='child'/><circle id='next'/></g>"
         "<rect id='top'/></svg>");
    Apply("g rect{fill:red} g > rect{stroke:red} rect + circle{fill:blue} svg>g>g>rect{opacity:0.5}");
    ExpectWritten({{"deep", "fill", "red"}, {"top", "fill", "-"}, {"child", "stroke", "red"}, {"deep", "stroke", "red"},
                   {"top", "stroke", "-"}, {"next", "fill", "blue"}, {"deep", "opacity", "0.5"}});
}

TEST_F(Cascade, FirstChildBeatsADescendantSelector)
{
    Load("<svg><g><rect id='a'/><rect id='b'/></g></svg>");
    Apply("rect:first-child{fill:red} g rect{fill:blue}");
    ExpectWritten({{"a", "fill", "red"}, {"b", "fill", "blue"}});
}

TEST_F(Cascade, AttributeConditionCaseDependsOnQuoting)
{
    Load("<svg><rect id='u' type='Foo'/><rect id='v' type='foo'/><rect id='w' lang='en-US' words='a Big c'/></svg>");
    Apply("[type=FOO]{fill:red} [type='Foo']{stroke:red} [lang|=EN]{opacity:0.5} [words~=big]{color:red}"
          "[words~='big']{display:none}");
    ExpectWritten({{"u", "fill", "red"}, {"v", "fill", "red"}, {"u", "stroke", "red"}, {"v", "stroke", "-"},
                   {"w", "opacity", "0.5"}, {"w", "color", "red"}, {"w", "display", "-"}});
}

TEST_F(Cascade, ConditionsAfterAnAttributeConditionCount)
{
    Load("<svg><rect id='plain' x='1'/><rect id='classed' x='1' class='a'/></svg>");
    Apply("rect[x].a{fill:red}");
    ExpectWritten({{"plain", "fill", "-"}, {"classed", "fill", "red"}});
}

TEST_F(Cascade, LangLooksAtTheElementsOwnAttributeOnly)
{
    Load("<svg><g id='g' xml:lang='en-US'><text id='t'/></g><text id='plain' lang='en'/>"
         "<text id='fr' lang='fr'/></svg>");
    Apply(":lang(en){fill:red}");
    ExpectWritten({{"g", "fill", "red"}, {"t", "fill", "-"}, {"plain", "fill", "red"}, {"fr", "fill", "-"}});
}

TEST_F(Cascade, QualifiedNamesForElementsAndAttributes)
{
    Load("<svg xmlns:s='http://www.w3.org/2000/svg' xmlns:l='http://www.w3.org/1999/xlink'>"
         "<s:rect id='p'/><rect id='r'/><use id='u' l:href='#p'/></svg>");
    Apply("s\\:rect{fill:red} [xlink\\:href='#p']{fill:blue} [href]{stroke:red}");
    ExpectWritten({{"p", "fill", "red"}, {"r", "fill", "-"}, {"u", "fill", "blue"}, {"u", "stroke", "-"}});
}

TEST_F(Cascade, MediaOfTheLoadSelectsMediaRules)
{
    Load("<svg><rect id='r'/></svg>");
    Apply("@media print{rect{fill:red}} @media screen{rect{stroke:red}}", "print");
    ExpectWritten({{"r", "fill", "red"}, {"r", "stroke", "-"}});
}

TEST_F(Cascade, StopFlagLeavesTheDocumentAlone)
{
    Load("<svg><rect id='r'/></svg>");
    CStopToken stopped;
    stopped.RequestStop();
    CRulesets rulesets;
    CImportState imports;
    parseSheet("rect{fill:red}", "/s.css", "", nullptr, imports, rulesets, log, stopped);
    ASSERT_EQ(rulesets.Size(), 0u);
    parseSheet("rect{fill:red}", "/s.css", "", nullptr, imports, rulesets, log, stop);
    applySheet(rulesets, document.get(), sheets.importantProperties, stopped);
    EXPECT_EQ(Fill("r"), "-");
}

TEST_F(Cascade, DeepTreesAreWalkedWithoutRecursion)
{
    // libxml2 refuses such depth when parsing; an XSLT result can have it.
    document.reset(xmlNewDoc(BAD_CAST "1.0"));
    xmlNode* parent = xmlNewNode(nullptr, BAD_CAST "svg");
    xmlDocSetRootElement(document.get(), parent);
    for (int i = 0; i < 20000; ++i)
        parent = xmlNewChild(parent, nullptr, BAD_CAST "g", nullptr);
    xmlNode* rect = xmlNewChild(parent, nullptr, BAD_CAST "rect", nullptr);
    xmlSetProp(rect, BAD_CAST "id", BAD_CAST "r");
    Apply("svg rect{fill:red}");
    EXPECT_EQ(Attr(rect, "fill"), "red");
}

// --- The whole reading step -----------------------------------------------------------------

TEST_F(Cascade, StyleElementAndStylesheetInstructionApplyInDocumentOrder)
{
    vexo_test::WriteTempFile("e2e/base.css", "@import 'more.css'; rect { stroke: green; fill: yellow }");
    vexo_test::WriteTempFile("e2e/more.css", "circle { fill: olive }");
    vexo_test::WriteTempFile("e2e/print.css", "rect { opacity: 0 }");
    const std::string path = vexo_test::TempDirectory() + "/e2e/doc.svg";
    const XmlDocPtr doc = ReadStyledXml(
        "<?xml-stylesheet href='base.css'?><?xml-stylesheet href='print.css' media='print'?>"
        "<svg><style>rect.a { fill: red } <![CDATA[ #c > title + x {} ]]> circle { stroke: &quot;x&quot; }</style>"
        "<rect id='r' class='a' fill='black'/><circle id='c'/></svg>",
        path, sheets, load);
    ASSERT_TRUE(doc);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    EXPECT_EQ(Attr(FindById(root, "r"), "fill"), "red");
    EXPECT_EQ(Attr(FindById(root, "r"), "stroke"), "green");
    EXPECT_EQ(Attr(FindById(root, "r"), "opacity"), "-");
    EXPECT_EQ(Attr(FindById(root, "c"), "fill"), "olive");
    EXPECT_EQ(Attr(FindById(root, "c"), "stroke"), "\"x\"");
}

TEST(CssEndToEnd, LoadedDocumentKeepsFontFacesAndStyleAttributeWins)
{
    vexo_test::TestLoad load;
    svg::CElemDocument* root = load.LoadText(
        "<svg xmlns='http://www.w3.org/2000/svg'><style>@font-face { font-family: F; src: url(f.woff) }"
        "rect { fill: green !important; stroke: green }</style>"
        "<rect width='1' height='1' style='fill: blue'/></svg>",
        vexo_test::TempDirectory() + "/fonts.svg", "fonts.svg");
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(root->fontFaces);
    ASSERT_EQ(root->fontFaces->Faces().size(), 1u);
    EXPECT_EQ(root->fontFaces->Faces()[0].family, "F");
    ASSERT_FALSE(root->Children().empty());
    const svg::CElem* rect = root->Children().back();
    ASSERT_TRUE(rect->attributes.Value("fill"));
    EXPECT_EQ(*rect->attributes.Value("fill"), "blue");  // the style attribute beats even !important
    EXPECT_EQ(*rect->attributes.Value("stroke"), "green");
}
