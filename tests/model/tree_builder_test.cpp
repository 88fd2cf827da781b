#include <gtest/gtest.h>

#include <libxml/parser.h>

#include "base/limits.h"
#include "model/document.h"
#include "model/load_context.h"
#include "model/tree_builder.h"
#include "model/xml_reader.h"
#include "style/style_sheets.h"

using namespace svg;

namespace {

// Parsed without entity substitution, so entity references stay in the tree.
svg::XmlDocPtr ParseXml(const std::string& text, int options = 0)
{
    return svg::XmlDocPtr(xmlReadMemory(text.data(), static_cast<int>(text.size()), "test.svg", nullptr,
                                          XML_PARSE_NONET | options));
}

class TreeBuilderTest : public ::testing::Test {
protected:
    std::unique_ptr<CElemDocument> Build(const std::string& text)
    {
        const svg::XmlDocPtr xml = ParseXml(text);
        EXPECT_NE(xml, nullptr);
        auto root = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
        if (xml)
            BuildTree(*root, xmlDocGetRootElement(xml.get()), styles, context);
        return root;
    }

    CMessageLog log;
    CStopToken stop;
    CLoadContext context{log, stop, CDocOptions{}};
    const css::CStyleDeclarationReader styles{context.Options().desktop};
};

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

TEST_F(TreeBuilderTest, WhitespaceIsDroppedOutsideTextAndKeptInside)
{
    const auto root = Build("<svg>\n  <g>\n    <rect/>\n  </g>\n"
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
    EXPECT_EQ(context.Progress().nodesAdded, 7);
}

TEST_F(TreeBuilderTest, StringTextOutsideTextIsNormalised)
{
    EXPECT_EQ(NormalizeStringText("  Hello \t\n  world \t "), "Hello world");
    EXPECT_EQ(NormalizeStringText("a\r\nb"), "a\rb");  // only line feeds are dropped
    EXPECT_EQ(NormalizeStringText("\n\n"), "");
    EXPECT_EQ(NormalizeStringText("\t x"), "x");

    const auto root = Build("<svg><desc>\n   Two \n  words  </desc><title>  </title></svg>");
    ASSERT_EQ(root->Children().size(), 2u);
    EXPECT_EQ(root->Children()[0]->TextContent(), "Two words");
    EXPECT_TRUE(root->Children()[1]->Children().empty());
}

TEST_F(TreeBuilderTest, CommentsCdataAndEntityReferences)
{
    const auto root = Build("<!DOCTYPE svg [<!ENTITY shape \"<rect id='r'/>and text\">]>"
                                "<svg><!-- note --><g>&shape;</g><text><![CDATA[<x> & y]]></text></svg>");
    ASSERT_EQ(root->Children().size(), 3u);
    const CElem* comment = root->Children()[0];
    ASSERT_EQ(comment->Class(), ElemClass::Comment);
    EXPECT_EQ(static_cast<const CElemComment*>(comment)->text, " note ");

    // The entity's content belongs to `g` directly; no node stands for the reference.
    const CElem* g = root->Children()[1];
    ASSERT_EQ(g->Children().size(), 2u);
    EXPECT_EQ(g->Children()[0]->IdAttribute(), "r");
    EXPECT_EQ(g->Children()[0]->Parent(), g);
    EXPECT_EQ(StringText(g->Children()[1]), "and text");

    EXPECT_EQ(root->Children()[2]->TextContent(), "<x> & y");
}

TEST_F(TreeBuilderTest, AttributesLocationAndId)
{
    const auto root = Build(
        "<svg xmlns:xlink='http://www.w3.org/1999/xlink' xmlns:x='urn:x'>"
        "<rect VexoLoc='12,5' id='a' xml:id='b' x:extra='1' title='say &amp;quot;hi&amp;quot;'/>"
        "<g VexoLoc='7' xml:id='only'/><use xlink:href='#a'/><use href='#b' xlink:href='#a'/></svg>");
    ASSERT_EQ(root->Children().size(), 4u);
    const CElem* rect = root->Children()[0];
    EXPECT_EQ(rect->line, 12);
    EXPECT_EQ(rect->column, 5);
    EXPECT_EQ(rect->IdAttribute(), "a");
    EXPECT_EQ(Value(rect->attributes, "VexoLoc"), "12,5");
    EXPECT_EQ(Value(rect->attributes, "x:extra"), "1");
    EXPECT_EQ(Value(rect->attributes, "title"), "say \"hi\"");

    const CElem* g = root->Children()[1];
    EXPECT_EQ(g->line, 0);  // no comma: no location
    EXPECT_EQ(g->column, 0);
    EXPECT_EQ(g->IdAttribute(), "only");
    EXPECT_EQ(Value(root->Children()[2]->attributes, "xlink:href"), "#a");
    EXPECT_EQ(Value(root->Children()[3]->attributes, "xlink:href"), "#b");
}

TEST_F(TreeBuilderTest, StyleAttributeOverridesAndKeepsPrevious)
{
    const auto root = Build(
        "<svg><rect fill='blue' stroke='red' style=\"/* c; d */ FILL : green ;"
        " font-family: 'a;b:c', serif; fill-opacity:.5 /* open ; stroke:x\"/></svg>");
    const CAttributeMap& attributes = root->Children()[0]->attributes;
    ASSERT_NE(attributes.Value("fill"), nullptr);
    EXPECT_EQ(*attributes.Value("fill"), "green");
    ASSERT_NE(attributes.Previous("fill"), nullptr);
    EXPECT_EQ(*attributes.Previous("fill"), "blue");
    EXPECT_EQ(attributes.Previous("stroke"), nullptr);
    EXPECT_EQ(Value(attributes, "font-family"), "'a;b:c', serif");
    EXPECT_EQ(Value(attributes, "fill-opacity"), ".5");
    EXPECT_EQ(Value(attributes, "stroke"), "red");  // inside the unterminated comment
    EXPECT_FALSE(attributes.Contains("style"));
}

TEST_F(TreeBuilderTest, StyleBeatsFontAttributeWhateverTheOrder)
{
    const auto root = Build("<svg><text style='font-size:20px; font: 8px serif; font-weight:bold'"
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
    stop.RequestStop();
    const auto root = Build("<svg><rect/><rect/></svg>");
    EXPECT_TRUE(root->Children().empty());
}

TEST_F(TreeBuilderTest, NestingDeeperThanTheLimitIsDropped)
{
    std::string text;
    for (unsigned i = 0; i < limits::kMaxElementDepth; ++i)
        text += "<g>";
    text += "<g><rect/></g>";
    for (unsigned i = 0; i < limits::kMaxElementDepth; ++i)
        text += "</g>";
    // libxml2 refuses such depth itself unless told otherwise; an XSLT
    // result is not bounded by it, and the builder must bound it then.
    const svg::XmlDocPtr xml = ParseXml("<svg>" + text + "</svg>", XML_PARSE_HUGE);
    ASSERT_NE(xml, nullptr);
    auto root = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
    BuildTree(*root, xmlDocGetRootElement(xml.get()), styles, context);
    unsigned depth = 0;
    for (const CElem* elem = root.get(); elem->ChildCount() > 0; elem = elem->Children()[0])
        ++depth;
    EXPECT_EQ(depth, limits::kMaxElementDepth);
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.Entry(0).rfind("E g too deeply nested at", 0), 0u);
}

}  // namespace

namespace {

// Everything the builder stores: class, name, every attribute in order,
// location and text, one line per element, indented by depth.
void DescribeWhole(const CElem& elem, int depth, std::string& out)
{
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + ElemClassName(elem.Class()) + ' ' + elem.Name() +
           ' ' + std::to_string(elem.line) + ':' + std::to_string(elem.column) + " id=" + elem.IdAttribute();
    if (elem.Class() == ElemClass::String)
        out += " \"" + static_cast<const CElemString&>(elem).text + '"';
    if (elem.Class() == ElemClass::Comment)
        out += " <!--" + static_cast<const CElemComment&>(elem).text + "-->";
    for (const CAttributeMap::Entry& entry : elem.attributes) {
        out += ' ' + std::string(elem.attributes.NameOf(entry)) + '=' + entry.value;
        if (const std::string* previous = elem.attributes.Previous(elem.attributes.NameOf(entry)))
            out += " (was " + *previous + ')';
    }
    out += '\n';
    for (const CElem* child : elem.Children())
        DescribeWhole(*child, depth + 1, out);
}

TEST_F(TreeBuilderTest, ReleasingBuildMakesTheSameTreeAndEmptiesTheXml)
{
    // Entities used twice (their declaration must survive the first use),
    // comments, text inside and outside `text`, nesting, style attributes.
    const std::string text =
        "<!DOCTYPE svg [<!ENTITY box '<rect x=\"1\" width=\"2\"/><!--c-->'>]>\n"
        "<svg id='r'><g id='a' style='fill:red'>&box;<circle/>&box;</g><!-- note -->\n"
        "<text x='3'> a <tspan>b</tspan> </text>loose  words<g><g><path/></g></g></svg>";
    std::string kept;
    DescribeWhole(*Build(text), 0, kept);

    const svg::XmlDocPtr xml = ParseXml(text);
    ASSERT_NE(xml, nullptr);
    xmlNode* rootNode = xmlDocGetRootElement(xml.get());
    auto root = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
    BuildTreeReleasing(*root, rootNode, styles, context);
    std::string released;
    DescribeWhole(*root, 0, released);

    EXPECT_EQ(released, kept);
    EXPECT_NE(kept.find("rect"), std::string::npos);
    EXPECT_EQ(rootNode->children, nullptr);
}

}  // namespace

namespace {

TEST_F(TreeBuilderTest, StreamedBuildMakesTheTreeOfTheWholeXml)
{
    const std::string deep = [] {
        std::string nested;
        for (int i = 0; i < 60; ++i)
            nested += "<g id='d" + std::to_string(i) + "'>";
        nested += "<rect/>";
        for (int i = 0; i < 60; ++i)
            nested += "</g>";
        return nested;
    }();
    const std::string documents[] = {
        // Entities used twice, comments, text inside and outside `text`, style attributes.
        "<!DOCTYPE svg [<!ENTITY box '<rect x=\"1\" width=\"2\"/><!--c-->'>]>\n"
        "<svg id='r'><g id='a' style='fill:red'>&box;<circle/>&box;</g><!-- note -->\n"
        "<text x='3'> a <tspan>b</tspan> </text>loose  words<g><g><path/></g></g></svg>",
        // Prefixes, xml:space, CDATA, character data between elements of the root.
        "<s:svg xmlns:s='http://www.w3.org/2000/svg' xmlns:L='http://www.w3.org/1999/xlink'>a<s:use L:href='#x'/>"
        "b\n<s:text xml:space='preserve'>  <![CDATA[<x>]]> y\n</s:text>c<s:g font='bold 12px serif' "
        "style='font-size:3px' fill='blue'/></s:svg>",
        // Deep nesting, and an entity holding text and an element.
        "<!DOCTYPE svg [<!ENTITY t 'one <tspan id=\"in\">two</tspan> three'>]>\n<svg>" + deep +
            "<text>&t;&t;</text></svg>",
        // Locations written by the document itself, on the root, an element and inside an entity;
        // locations past the first line and in wide columns.
        "<!DOCTYPE svg [<!ENTITY e '<g VexoLoc=\"3,3\" x=\"1\"/>'>]>\n<svg VexoLoc='1,1' id='r'>\n"
        "  <rect VexoLoc='9,9' x='1' style='fill:red' fill='blue'/>&e;\n" + std::string(5000, ' ') +
            "<circle r='1'/><g VexoLoc='bad'/></svg>",
        // Attribute values with references, a default from the DTD, xml:id.
        "<!DOCTYPE svg [<!ATTLIST rect fill CDATA 'red'><!ENTITY c 'green'>]>\n<svg><rect xml:id='k' "
        "stroke='&c;' font-family='a&amp;quot;b' x='1&lt;2'/><rect fill='blue'/></svg>",
    };
    for (const std::string& text : documents) {
        SCOPED_TRACE(text);
        XmlReadResult whole = PreprocessXml(text, "/docs/test.svg", log, stop);
        ASSERT_NE(whole.document, nullptr);
        EXPECT_FALSE(whole.streamed);
        auto built = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
        BuildTree(*built, xmlDocGetRootElement(whole.document.get()), styles, context);
        std::string expected;
        DescribeWhole(*built, 0, expected);

        auto streamedRoot = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
        CStreamedTreeBuilder stream(*streamedRoot, styles, context);
        XmlReadResult streamed = PreprocessXml(text, "/docs/test.svg", log, stop, &stream);
        ASSERT_NE(streamed.document, nullptr);
        EXPECT_TRUE(streamed.streamed);
        EXPECT_TRUE(stream.Built());
        // Only the root is left of the XML tree.
        EXPECT_EQ(xmlDocGetRootElement(streamed.document.get())->children, nullptr);
        std::string actual;
        DescribeWhole(*streamedRoot, 0, actual);
        EXPECT_EQ(actual, expected);
    }
    EXPECT_EQ(log.Count(), 0u);
}

TEST_F(TreeBuilderTest, DocumentsThatMayHoldStyleSheetsAreReadWhole)
{
    const struct {
        const char* text;
        bool mayHold;
    } cases[] = {
        {"<svg><rect style='fill:red'/></svg>", false},
        {"<svg><style>rect{}</style></svg>", true},
        {"<svg xmlns:s='http://www.w3.org/2000/svg'><s:style/></svg>", true},
        {"<?xml-stylesheet href='a.css'?><svg/>", true},
        {"<svg><link rel='StyleSheet' href='a.css'/></svg>", true},
        // A character reference in an entity's value can spell a style element.
        {"<!DOCTYPE svg [<!ENTITY s '&#60;style>rect{}&#60;/style>'>]><svg>&s;</svg>", true},
        {"<!DOCTYPE svg [<!ENTITY s 'x'>]><svg>&s;&#60;</svg>", true},
        {"<!DOCTYPE svg [<!ENTITY s 'x'>]><svg>&s;</svg>", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MayHoldStyleSheets(c.text), c.mayHold);
        auto root = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
        CStreamedTreeBuilder stream(*root, styles, context);
        const XmlReadResult read = PreprocessXml(c.text, "/docs/test.svg", log, stop, &stream);
        ASSERT_NE(read.document, nullptr);
        EXPECT_EQ(read.streamed, !c.mayHold);
        EXPECT_EQ(stream.Built(), !c.mayHold);
    }
}

}  // namespace

namespace {

TEST(AttributeMapTest, ForeignNamesAndOverriddenValuesSurviveCopiesAndRemovals)
{
    CAttributeMap map;
    map.Set("x", "1");
    map.Set("data-a", "a");
    map.Set("fill", "blue");
    map.Set("x:extra", "e");
    map.Set("fill", "green");  // a style declaration beating the attribute
    map.Set("x", "2");

    const CAttributeMap copy = map;
    std::string order;
    for (const CAttributeMap::Entry& entry : copy)
        order += std::string(copy.NameOf(entry)) + '=' + entry.value + ' ';
    EXPECT_EQ(order, "x=2 data-a=a fill=green x:extra=e ");
    ASSERT_NE(copy.Previous("fill"), nullptr);
    EXPECT_EQ(*copy.Previous("fill"), "blue");
    EXPECT_EQ(*copy.Previous("x"), "1");
    EXPECT_EQ(copy.Previous("data-a"), nullptr);
    EXPECT_EQ(*copy.Value("x:extra"), "e");
    EXPECT_EQ(copy.Value("x:other"), nullptr);

    // Removing an entry keeps the others' overridden values with them.
    ASSERT_TRUE(map.Remove(AttributeId::x));
    EXPECT_FALSE(map.Remove(AttributeId::x));
    EXPECT_EQ(map.Previous("x"), nullptr);
    EXPECT_EQ(*map.Previous("fill"), "blue");
    EXPECT_EQ(*map.Value("data-a"), "a");
    EXPECT_EQ(*copy.Value("x"), "2");  // the copy is its own
}

}  // namespace

namespace {

TEST_F(TreeBuilderTest, AStyleSheetTheScanMissesRestartsTheReadingWithoutRepeatingMessages)
{
    // A link in unusual capitals is seen only by the parser; the warning
    // before it (an unknown namespace prefix's attribute) is said once.
    const std::string text = "<svg><rect a:b='1'/><link rel='styleSHEET' href='a.css'/><circle/></svg>";
    ASSERT_FALSE(MayHoldStyleSheets(text));
    auto root = std::make_unique<CElemDocument>("/docs/test.svg", CDocOptions{});
    CStreamedTreeBuilder stream(*root, styles, context);
    const XmlReadResult read = PreprocessXml(text, "/docs/test.svg", log, stop, &stream);
    ASSERT_NE(read.document, nullptr);
    EXPECT_FALSE(read.streamed);
    EXPECT_FALSE(stream.Built());
    ASSERT_EQ(read.styleSheets.size(), 1u);
    EXPECT_EQ(read.styleSheets[0].href, "a.css");
    // The whole tree is there for the sheet to cascade into.
    const xmlNode* svg = xmlDocGetRootElement(read.document.get());
    ASSERT_NE(svg->children, nullptr);
    EXPECT_EQ(xmlStrcmp(svg->children->name, BAD_CAST "rect"), 0);
    EXPECT_EQ(log.Count(), 1u) << log.LogText();
}

}  // namespace
