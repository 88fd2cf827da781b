#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <libxml/tree.h>

#include "model/load_context.h"
#include "model/message_log.h"
#include "model/xml_reader.h"
#include "style/style_sheets.h"
#include "test_support.h"

namespace {

std::string Attr(const xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, BAD_CAST name);
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

const xmlNode* FirstElementChild(const xmlNode* node)
{
    for (const xmlNode* child = node->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            return child;
    return nullptr;
}

const xmlNode* NextElement(const xmlNode* node)
{
    for (node = node->next; node; node = node->next)
        if (node->type == XML_ELEMENT_NODE)
            return node;
    return nullptr;
}

class XmlReaderTest : public ::testing::Test {
protected:
    svg::XmlReadResult PreprocessXml(std::string_view bytes, const std::string& fullPath)
    {
        return svg::PreprocessXml(bytes, fullPath, log, stop);
    }

    // The whole reading step, style sheets applied, for the screen medium.
    svg::XmlDocPtr ReadXml(std::string_view bytes, const std::string& fullPath)
    {
        svg::CLoadContext context(log, stop, svg::CDocOptions{});
        svg::css::CssLoadContext sheets;
        return svg::css::ReadStyledXml(bytes, fullPath, sheets, context);
    }

    bool HasMessage(const std::string& line) const { return vexo_test::HasLine(log, line); }
    bool HasMessagePrefix(const std::string& prefix) const { return vexo_test::HasLinePrefix(log, prefix); }

    svg::CMessageLog log;
    svg::CStopToken stop;
};

}  // namespace

TEST_F(XmlReaderTest, EveryElementCarriesTheLocationOfItsOpeningBracket)
{
    const auto read = PreprocessXml("<svg>\n  <g\n     id='a'\n     >\r\n<rect/></g></svg>", "/t/a.svg");
    ASSERT_TRUE(read.document);
    const xmlNode* svg = xmlDocGetRootElement(read.document.get());
    EXPECT_EQ(Attr(svg, "VexoLoc"), "1,1");
    const xmlNode* g = FirstElementChild(svg);
    EXPECT_EQ(Attr(g, "VexoLoc"), "2,3");  // a start tag spread over lines
    EXPECT_EQ(Attr(FirstElementChild(g), "VexoLoc"), "5,1");  // after CR LF
}

TEST_F(XmlReaderTest, ColumnsCountUtf16UnitsOfMultibyteAndNonBmpText)
{
    // "é" is one UTF-16 unit, "𝄞" (U+1D11E) two; the rect opens at unit 22.
    const auto read = PreprocessXml("<svg><text>é𝄞</text><rect/></svg>", "/t/a.svg");
    ASSERT_TRUE(read.document);
    const xmlNode* text = FirstElementChild(xmlDocGetRootElement(read.document.get()));
    EXPECT_EQ(Attr(NextElement(text), "VexoLoc"), "1,22");
    const auto read2 = PreprocessXml("<svg>é𝄞<rect/></svg>", "/t/a.svg");
    EXPECT_EQ(Attr(FirstElementChild(xmlDocGetRootElement(read2.document.get())), "VexoLoc"), "1,9");
}

TEST_F(XmlReaderTest, LocationsAreCountedInTheDecodedTextOfOtherCharsets)
{
    // Shift_JIS: two bytes per kanji, one UTF-16 unit each.
    const std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<svg>\x93\xfa\x96\x7b<rect/></svg>";
    const auto read = PreprocessXml(sjis, "/t/a.svg");
    ASSERT_TRUE(read.document);
    const xmlNode* rect = FirstElementChild(xmlDocGetRootElement(read.document.get()));
    EXPECT_EQ(Attr(rect, "VexoLoc"), "2,8");
    xmlChar* content = xmlNodeGetContent(xmlDocGetRootElement(read.document.get()));
    EXPECT_STREQ(reinterpret_cast<char*>(content), "日本");
    xmlFree(content);
}

TEST_F(XmlReaderTest, Utf16DocumentWithByteOrderMarkIsRead)
{
    const std::string ascii = "<svg><rect id='r'/></svg>";
    std::string utf16 = "\xFF\xFE";
    for (char c : ascii) {
        utf16 += c;
        utf16 += '\0';
    }
    const auto read = PreprocessXml(utf16, "/t/a.svg");
    ASSERT_TRUE(read.document);
    EXPECT_EQ(Attr(FirstElementChild(xmlDocGetRootElement(read.document.get())), "VexoLoc"), "1,6");
}

TEST_F(XmlReaderTest, StyleSheetsAreTakenOutInDocumentOrder)
{
    const auto read = PreprocessXml(
        "<?xml-stylesheet href='a.css' media=\"print\"?>"
        "<svg xmlns:h='http://www.w3.org/1999/xhtml'>"
        "<style type='text/css' media='screen'>rect { fill: url(&quot;#x&quot;) } a&amp;b &lt;</style>"
        "<link rel='alternate stylesheet' href='b.css'/>"
        "<link rel='' href='not-a-sheet.css'/>"
        "<rect/></svg>",
        "/t/a.svg");
    ASSERT_TRUE(read.document);
    ASSERT_EQ(read.styleSheets.size(), 3u);
    EXPECT_EQ(read.styleSheets[0].href, "a.css");  // single quotes are delimiters
    EXPECT_EQ(read.styleSheets[0].media, "print");
    EXPECT_EQ(read.styleSheets[0].type, "text/css");
    EXPECT_EQ(read.styleSheets[1].media, "screen");
    EXPECT_EQ(svg::UnescapeXml(read.styleSheets[1].content), "rect { fill: url(\"#x\") } a&b <");
    EXPECT_EQ(read.styleSheets[2].href, "b.css");

    // The style element and the stylesheet link leave the tree; the other link stays.
    const xmlNode* svg = xmlDocGetRootElement(read.document.get());
    const xmlNode* first = FirstElementChild(svg);
    EXPECT_STREQ(reinterpret_cast<const char*>(first->name), "link");
    EXPECT_EQ(Attr(first, "href"), "not-a-sheet.css");
    EXPECT_STREQ(reinterpret_cast<const char*>(NextElement(first)->name), "rect");
}

TEST_F(XmlReaderTest, PseudoAttributesMatchWholeNamesOnly)
{
    EXPECT_EQ(svg::PseudoAttribute("href=\"type.css\" type=\"text/xsl\"", "type"), "text/xsl");
    EXPECT_EQ(svg::PseudoAttribute("href = 'a b.css'", "href"), "a b.css");
    EXPECT_EQ(svg::PseudoAttribute("title=\"x\"", "href"), "");
    EXPECT_EQ(svg::UnescapeXml("&amp;lt; &quot;&apos;"), "&lt; \"'");
}

TEST_F(XmlReaderTest, AttributeValuesSurviveAndCommentsAndInstructionsVanish)
{
    const auto read = PreprocessXml(
        "<svg><!-- gone --><?other data?><g title='a &quot;b&quot; &amp; &apos;c&apos; &lt;'/></svg>", "/t/a.svg");
    ASSERT_TRUE(read.document);
    const xmlNode* svg = xmlDocGetRootElement(read.document.get());
    for (const xmlNode* child = svg->children; child; child = child->next)
        EXPECT_EQ(child->type, XML_ELEMENT_NODE);
    EXPECT_EQ(Attr(FirstElementChild(svg), "title"), "a \"b\" & 'c' <");
}

TEST_F(XmlReaderTest, MalformedXmlGivesLocatedFatalMessage)
{
    EXPECT_FALSE(PreprocessXml("<svg>\n  <g></svg>", "/t/a.svg").document);
    EXPECT_TRUE(HasMessagePrefix("F Opening and ending tag mismatch: g line 2 and svg at 2("));
}

TEST_F(XmlReaderTest, InternalEntitiesExpandButExternalOnesAreNeverRead)
{
    const auto read = PreprocessXml(
        "<!DOCTYPE svg [<!ENTITY ns_svg 'http://www.w3.org/2000/svg'><!ENTITY secret SYSTEM "
        "'file:///etc/passwd'>]><svg xmlns='&ns_svg;'><text>&secret;</text></svg>",
        "/t/a.svg");
    if (read.document) {
        const xmlNode* svg = xmlDocGetRootElement(read.document.get());
        ASSERT_NE(svg->ns, nullptr);
        EXPECT_STREQ(reinterpret_cast<const char*>(svg->ns->href), "http://www.w3.org/2000/svg");
        xmlChar* content = xmlNodeGetContent(svg);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(content)).find("root:"), std::string::npos);
        xmlFree(content);
    }
    for (const std::string& message : log.EntriesFrom(0))
        EXPECT_EQ(message.find("root:"), std::string::npos) << message;
    EXPECT_TRUE(HasMessagePrefix("W External entity 'file:///etc/passwd' NOT loaded at 1("));
}

TEST_F(XmlReaderTest, EntityBombEndsQuicklyWithAMessage)
{
    std::string bomb = "<!DOCTYPE svg [<!ENTITY a0 'xxxxxxxxxx'>";
    for (int i = 1; i <= 10; ++i)
        bomb += "<!ENTITY a" + std::to_string(i) + " '" + [&] {
            std::string refs;
            for (int k = 0; k < 10; ++k)
                refs += "&a" + std::to_string(i - 1) + ";";
            return refs;
        }() + "'>";
    bomb += "]><svg><text>&a10;</text></svg>";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(PreprocessXml(bomb, "/t/a.svg").document);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(log.EntriesFrom(0),
              std::vector<std::string>{"F Entity 'a10' makes the document's entities expand beyond 32 MB at 1(610)"});
}

// Real big drawings load: libxml2's own bounds on one value and on its
// look-ahead (10 MB) are lifted, while the reader's bounds on entities and
// depth stay.
TEST_F(XmlReaderTest, BigValuesLoadWhileEntitiesStayBounded)
{
    struct Case {
        const char* what;
        std::string document;
        std::string message;  // empty: the document loads
    };
    const std::string longPath = "M0 0" + std::string(12 << 20, ' ') + "L1 1";
    std::string manyPaths = "<svg>";
    for (int i = 0; i < 4; ++i)
        manyPaths += "<path d='M0 0" + std::string(4 << 20, ' ') + "L1 1'/>";
    manyPaths += "</svg>";
    const std::string megabyte(1 << 20, 'x');
    std::string manyReferences = "<!DOCTYPE svg [<!ENTITY m '" + megabyte + "'>]><svg>";
    for (int i = 0; i < 40; ++i)
        manyReferences += "<text>&m;</text>";
    manyReferences += "</svg>";
    const Case cases[] = {
        {"a 12 MB attribute", "<svg><path d='" + longPath + "'/></svg>", ""},
        {"16 MB of attributes", manyPaths, ""},
        {"an entity used a few times", "<!DOCTYPE svg [<!ENTITY ns 'http://www.w3.org/2000/svg'>]>"
                                       "<svg xmlns='&ns;'><g xmlns:a='&ns;'/></svg>", ""},
        {"entities used past the bound", manyReferences,
         "F Entity 'm' makes the document's entities expand beyond 32 MB at 1("},
        {"entities naming each other", "<!DOCTYPE svg [<!ENTITY a '&b;'><!ENTITY b '&a;'>]><svg>&a;</svg>",
         "F Entity 'a' refers to itself or nests entities more than 40 deep at 1("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.Reset();
        const auto read = PreprocessXml(c.document, "/t/a.svg");
        EXPECT_EQ(read.document == nullptr, !c.message.empty());
        if (!c.message.empty())
            EXPECT_TRUE(HasMessagePrefix(c.message)) << ::testing::PrintToString(log.EntriesFrom(0));
        else
            EXPECT_EQ(log.Count(), 0u) << ::testing::PrintToString(log.EntriesFrom(0));
    }
}

TEST_F(XmlReaderTest, DeepNestingIsRefusedWithoutOverflowingTheStack)
{
    std::string deep = "<svg>";
    for (int i = 0; i < 100000; ++i)
        deep += "<g>";
    deep += "</svg>";
    EXPECT_FALSE(PreprocessXml(deep, "/t/a.svg").document);
    EXPECT_TRUE(HasMessagePrefix("F Elements nested more than 256 deep at 1("));
}

TEST_F(XmlReaderTest, StopEndsTheParseWithoutFatalMessage)
{
    stop.RequestStop();
    EXPECT_FALSE(PreprocessXml("<svg><g/><g/></svg>", "/t/a.svg").document);
    EXPECT_EQ(log.Counts().fatal, 0);
}

TEST_F(XmlReaderTest, XslStyleSheetReplacesTheDocument)
{
    vexo_test::WriteTempFile("xslt/to-rect.xsl",
                             "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                             "<xsl:template match='/'><svg><rect id='made'/></svg></xsl:template>"
                             "</xsl:stylesheet>");
    const std::string path = vexo_test::TempDirectory() + "/xslt/doc.svg";
    const auto doc = ReadXml("<?xml-stylesheet type='text/xsl' href='to-rect.xsl'?><svg><circle/></svg>", path);
    ASSERT_TRUE(doc);
    const xmlNode* rect = FirstElementChild(xmlDocGetRootElement(doc.get()));
    EXPECT_EQ(Attr(rect, "id"), "made");
    EXPECT_TRUE(HasMessage("I Applying Style-sheet to-rect.xsl"));
}

TEST_F(XmlReaderTest, EmbeddedXslUsesNamespacesDeclaredOutsideIt)
{
    const auto doc = ReadXml(
        "<svg xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><style type='text/xsl'>"
        "<xsl:stylesheet version='1.0'><xsl:template match='/'><svg><g id='out'/></svg></xsl:template>"
        "</xsl:stylesheet></style><circle/></svg>",
        "/t/a.svg");
    ASSERT_TRUE(doc);
    EXPECT_EQ(Attr(FirstElementChild(xmlDocGetRootElement(doc.get())), "id"), "out");
}

TEST_F(XmlReaderTest, FailingOrSkippedTransformationsLeaveTheDocument)
{
    vexo_test::WriteTempFile("xslt2/broken.xsl", "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:bogus/></xsl:stylesheet>");
    vexo_test::WriteTempFile("xslt2/print.xsl",
                             "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                             "<xsl:template match='/'><svg/></xsl:template></xsl:stylesheet>");
    const std::string path = vexo_test::TempDirectory() + "/xslt2/doc.svg";
    const auto doc = ReadXml("<?xml-stylesheet type='text/xsl' href='broken.xsl'?>"
                             "<?xml-stylesheet type='text/xsl' href='print.xsl' media='print'?>"
                             "<svg><circle/></svg>",
                             path);
    ASSERT_TRUE(doc);
    EXPECT_STREQ(reinterpret_cast<const char*>(FirstElementChild(xmlDocGetRootElement(doc.get()))->name), "circle");
}

TEST_F(XmlReaderTest, XsltCannotWriteFiles)
{
    const std::string target = vexo_test::TempDirectory() + "/written-by-xslt.txt";
    const std::string xsl =
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
        "xmlns:exsl='http://exslt.org/common' extension-element-prefixes='exsl'>"
        "<xsl:template match='/'><exsl:document href='" + target + "' method='text'>pwned</exsl:document>"
        "<svg/></xsl:template></xsl:stylesheet>";
    vexo_test::WriteTempFile("xslt3/write.xsl", xsl);
    const std::string path = vexo_test::TempDirectory() + "/xslt3/doc.svg";
    ReadXml("<?xml-stylesheet type='text/xsl' href='write.xsl'?><svg/>", path);
    EXPECT_FALSE(std::filesystem::exists(target));
}

// --- XSLT bounds ---------------------------------------------------------------------

namespace {

const std::string kXslHead = "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>";

// A template that calls itself twice per call, `depth` deep: 2^depth calls.
std::string SelfRecursiveSheet(int depth)
{
    return kXslHead +
           "<xsl:template match='/'><svg><xsl:call-template name='r'><xsl:with-param name='n' select='" +
           std::to_string(depth) +
           "'/></xsl:call-template></svg></xsl:template>"
           "<xsl:template name='r'><xsl:param name='n'/><xsl:if test='$n &gt; 0'>"
           "<xsl:call-template name='r'><xsl:with-param name='n' select='$n - 1'/></xsl:call-template>"
           "<xsl:call-template name='r'><xsl:with-param name='n' select='$n - 1'/></xsl:call-template>"
           "</xsl:if></xsl:template></xsl:stylesheet>";
}

}  // namespace

TEST_F(XmlReaderTest, RunawayTransformsEndWithAMessageAndKeepTheDocument)
{
    struct Case {
        const char* what;
        std::string sheet;
        std::string message;
    };
    std::string wide = "<svg>";
    for (int i = 0; i < 2000; ++i)
        wide += "<rect/>";
    wide += "</svg>";
    const Case cases[] = {
        {"2^40 template calls", SelfRecursiveSheet(40),
         "E XSLT style sheet stopped after 5000000 steps: it may never end"},
        {"templates nested 5000 deep",
         kXslHead + "<xsl:template match='/'><svg><xsl:call-template name='d'/></svg></xsl:template>"
                    "<xsl:template name='d'><xsl:param name='n' select='0'/><xsl:if test='$n &lt; 5000'>"
                    "<g><xsl:call-template name='d'><xsl:with-param name='n' select='$n + 1'/></xsl:call-template>"
                    "</g></xsl:if></xsl:template></xsl:stylesheet>",
         "E XSLT style sheet stopped: templates nested more than 3000 deep or more than 15000 variables"},
        {"a string doubled forty times",
         kXslHead + "<xsl:template match='/'><svg><xsl:call-template name='d'><xsl:with-param name='s' "
                    "select=\"'0123456789'\"/></xsl:call-template></svg></xsl:template><xsl:template name='d'>"
                    "<xsl:param name='s'/><xsl:param name='n' select='0'/><xsl:if test='$n &lt; 40'>"
                    "<xsl:call-template name='d'><xsl:with-param name='s' select='concat($s, $s)'/>"
                    "<xsl:with-param name='n' select='$n + 1'/></xsl:call-template></xsl:if></xsl:template>"
                    "</xsl:stylesheet>",
         "E XSLT style sheet stopped: it needed more than 512 MB"},
        {"an expression cubic in the document's size",
         kXslHead + "<xsl:template match='/'><svg><xsl:value-of select='count(//*[count(//*[count(//*) &gt; 0])"
                    " &gt; 0])'/></svg></xsl:template></xsl:stylesheet>",
         "E XSLT style sheet stopped: its expressions took more than 50000000 steps"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.Reset();
        svg::CLoadContext context(log, stop, svg::CDocOptions{});
        svg::XmlDocPtr document = svg::ParseXmlText(wide, "/t/a.svg", log);
        ASSERT_TRUE(document);
        EXPECT_FALSE(svg::TransformXml(document.get(), svg::ParseXmlText(c.sheet, "/t/s.xsl", log), context, 0, 0));
        EXPECT_TRUE(HasMessage(c.message)) << ::testing::PrintToString(log.EntriesFrom(0));
        // No message of libxslt names its own limits.
        for (const std::string& line : log.EntriesFrom(0))
            EXPECT_EQ(line.find("xsltMaxDepth"), std::string::npos) << line;
    }
}

TEST_F(XmlReaderTest, AStoppedTransformEndsAtOnceWithoutAWord)
{
    svg::XmlDocPtr document = svg::ParseXmlText("<svg/>", "/t/a.svg", log);
    svg::XmlDocPtr sheet = svg::ParseXmlText(SelfRecursiveSheet(40), "/t/s.xsl", log);
    ASSERT_TRUE(document && sheet);
    stop.RequestStop();
    svg::CLoadContext context(log, stop, svg::CDocOptions{});
    // Unstopped, this runs five million steps and says so.
    EXPECT_FALSE(svg::TransformXml(document.get(), std::move(sheet), context, 0, 0));
    EXPECT_EQ(log.Count(), 0u) << ::testing::PrintToString(log.EntriesFrom(0));
}
