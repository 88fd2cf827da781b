#include <gtest/gtest.h>

#include <libxml/parser.h>

#include "model/document.h"
#include "model/loader.h"
#include "model/stop_flags.h"
#include "model/tree_builder.h"
#include "model/xml_reader.h"
#include "test_support.h"

using namespace svg;

namespace {

CElemDocument* AddDocument(const std::string& text, const std::string& path = "/docs/dir/main.svg")
{
    const Xmlpp::XmlDocPtr xml(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "test.svg", nullptr, XML_PARSE_NONET));
    EXPECT_NE(xml, nullptr);
    CElemDocument* root = DocumentList::Instance().Add(std::make_unique<CElemDocument>(path, CDocOptions{}));
    if (xml) {
        const xmlNode* node = xmlDocGetRootElement(xml.get());
        ReadAttributes(*root, node);
        BuildChildren(*root, node);
    }
    return root;
}

CElem* ById(CElem* root, const std::string& id) { return root->FindReference("#" + id); }

// A gradient that looks up an attribute along its xlink:href chain while it is
// being set up, as the real gradient set-up does.
class CChainedGradient : public CElemGradient {
public:
    CChainedGradient(CElem* parent, std::string href, const std::string& ownId)
        : CElemGradient("linearGradient", parent, Linear)
    {
        id = ownId;
        attributes.Set("id", ownId);
        attributes.Set("xlink:href", std::move(href));
    }
    bool Setup() override
    {
        found = GetAttributeVia("x1", false);
        return true;
    }
    const std::string* found = nullptr;
};

class CFailingSetup : public CElem {
public:
    using CElem::CElem;
    bool Setup() override { return false; }
};

class ReferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vexo_test::ResetGlobalState();
        LoadProgress::Instance().Reset();
    }
    void TearDown() override { vexo_test::ResetGlobalState(); }
};

TEST_F(ReferencesTest, GetAttributeFollowsInherit)
{
    CElemDocument* root = AddDocument("<svg fill='red'><g id='g' fill='inherit' stroke='blue'>"
                                      "<rect width='1' height='1' id='r' stroke='inherit'/></g></svg>");
    const CElem* rect = ById(root, "r");
    ASSERT_NE(rect, nullptr);
    ASSERT_NE(rect->GetAttribute("fill", true), nullptr);
    EXPECT_EQ(*rect->GetAttribute("fill", true), "red");
    EXPECT_EQ(rect->GetAttribute("fill", false), nullptr);  // missing, not inherited
    EXPECT_EQ(*rect->GetAttribute("stroke", false), "blue");
    EXPECT_EQ(*ById(root, "g")->GetAttribute("fill", false), "red");  // "inherit" always goes up
}

TEST_F(ReferencesTest, UnsupportedElementsWarnOnceEach)
{
    CElemDocument* root = AddDocument(
        "<svg><a VexoLoc='2,3'><rect width='1' height='1'/></a><script VexoLoc='4,1'/><animate VexoLoc='5,1'/>"
        "<cursor VexoLoc='6,1'/><g/></svg>");
    EXPECT_TRUE(root->Prepare());
    EXPECT_EQ(vexo_test::Messages(),
              (std::vector<std::string>{"W a NOT supported at 2(3)", "W script NOT supported at 4(1)",
                                        "W animate NOT supported at 5(1)", "W cursor NOT supported at 6(1)"}));
    EXPECT_EQ(LoadProgress::Instance().elementsPrepared, 7);
    EXPECT_EQ(root->Children()[0]->Children()[0]->prepState, PrepState::Prepared);
}

TEST_F(ReferencesTest, PrepareCopiesViewportAndStopsOnFailureOrStop)
{
    CElemDocument* root = AddDocument("<svg><g><rect width='1' height='1'/></g></svg>");
    root->region = {0, 0, 640, 480};  // the root's size, as the loader sets it
    auto* failing = new CFailingSetup("g", root);
    root->AppendChild(failing);
    auto* after = new CElem("g", root);
    root->AppendChild(after);

    EXPECT_FALSE(root->Prepare());
    EXPECT_EQ(root->Children()[0]->Children()[0]->viewport, (RectF{0, 0, 640, 480}));
    EXPECT_EQ(failing->prepState, PrepState::Prepared);
    EXPECT_EQ(after->prepState, PrepState::NotPrepared);
    EXPECT_EQ(root->prepState, PrepState::Prepared);

    stopLoading = true;
    EXPECT_FALSE(after->Prepare());
    EXPECT_EQ(after->prepState, PrepState::NotPrepared);
}

TEST_F(ReferencesTest, ClipPathRejectsContainersAndImages)
{
    CElemDocument* root = AddDocument(
        "<svg><clipPath><rect width='1' height='1'/><text/><use/><g VexoLoc='3,2'/><image VexoLoc='4,2'/><title/></clipPath></svg>");
    EXPECT_TRUE(root->Prepare());
    EXPECT_EQ(vexo_test::Messages(),
              (std::vector<std::string>{"E g illegal for clipPath's child at 3(2)",
                                        "E image illegal for clipPath's child at 4(2)",
                                        "E image xlink:href NOT defined at 4(2)"}));
    const auto& children = root->Children()[0]->Children();
    EXPECT_EQ(children[0]->props.display, Display::Inline);  // rect
    EXPECT_EQ(children[3]->props.display, Display::None);    // g
    EXPECT_EQ(children[4]->props.display, Display::None);    // image
}

TEST_F(ReferencesTest, FindReferenceForms)
{
    CElemDocument* root = AddDocument("<svg><g><rect width='1' height='1' id='dup' VexoLoc='1,1'/></g><rect width='1' height='1' id='dup'/>"
                                      "<circle xml:id='c'/></svg>");
    const CElem* first = root->Children()[0]->Children()[0];
    EXPECT_EQ(root->FindReference("#dup"), first);  // the first in document order
    EXPECT_EQ(root->FindReference("url(#dup)"), first);
    EXPECT_EQ(root->FindReference(" URL( '#dup' ) "), first);
    EXPECT_EQ(root->FindReference("url(\"##dup\")"), first);
    EXPECT_EQ(root->FindReference("#c"), root->Children()[2]);
    EXPECT_EQ(root->FindReference("#"), nullptr);
    EXPECT_EQ(root->FindReference("#missing"), nullptr);
}

TEST_F(ReferencesTest, FollowHrefOutcomes)
{
    CElemDocument* root = AddDocument(
        "<svg xmlns:xlink='http://www.w3.org/1999/xlink'>"
        "<linearGradient id='lin' xlink:href='#rad' VexoLoc='2,1'/><radialGradient id='rad' x1='7'/>"
        "<pattern id='pat' xlink:href='#lin' VexoLoc='3,1'/><pattern id='lost' xlink:href='#nowhere' VexoLoc='4,1'/>"
        "<g xlink:href='#rad'><pattern id='inh' xlink:href='inherit'/></g></svg>");
    CElem* rad = ById(root, "rad");
    EXPECT_EQ(ById(root, "lin")->FollowHref(), rad);  // either gradient kind serves a gradient
    EXPECT_EQ(rad->prepState, PrepState::Prepared);
    EXPECT_EQ(*ById(root, "lin")->GetAttributeVia("x1", false), "7");
    EXPECT_TRUE(vexo_test::Messages().empty());

    EXPECT_EQ(ById(root, "pat")->FollowHref(), nullptr);
    EXPECT_EQ(ById(root, "lost")->FollowHref(), nullptr);
    EXPECT_EQ(ById(root, "inh")->FollowHref(), nullptr);
    EXPECT_EQ(rad->FollowHref(), nullptr);  // no href: nothing, silently
    EXPECT_EQ(vexo_test::Messages(),
              (std::vector<std::string>{
                  "E pattern xlink:href=\"#lin\" :NOT refer to element 'pattern' at 3(1)",
                  "E pattern xlink:href=\"#nowhere\" :Link NOT found at 4(1)",
                  "E pattern xlink:href=\"#rad\" :NOT refer to element 'pattern' at 0(0)"}));
}

TEST_F(ReferencesTest, SelfAndAncestorReferencesAreCycles)
{
    CElemDocument* root = AddDocument("<svg/>");
    auto* self = new CChainedGradient(root, "#self", "self");
    root->AppendChild(self);
    auto* outer = new CChainedGradient(root, "#inner", "outer");
    root->AppendChild(outer);
    outer->AppendChild(new CChainedGradient(outer, "#outer", "inner"));

    EXPECT_TRUE(root->Prepare());
    EXPECT_EQ(vexo_test::Messages(),
              (std::vector<std::string>{"F linearGradient xlink:href=\"#self\" : Cyclic reference at 0(0)",
                                        // inner's own look-up, then outer's walk through inner
                                        "F linearGradient xlink:href=\"#outer\" : Cyclic reference at 0(0)",
                                        "F linearGradient xlink:href=\"#outer\" : Cyclic reference at 0(0)"}));
}

TEST_F(ReferencesTest, HrefLoopBetweenPreparedElementsEnds)
{
    CElemDocument* root = AddDocument("<svg/>");
    auto* a = new CChainedGradient(root, "#b", "a");
    auto* b = new CChainedGradient(root, "#a", "b");
    root->AppendChild(a);
    root->AppendChild(b);
    EXPECT_TRUE(root->Prepare());
    EXPECT_TRUE(vexo_test::HasMessagePrefix("F linearGradient xlink:href=\"#a\" : Cyclic reference"));
    // Both prepared now: only the visited list can end the loop.
    EXPECT_EQ(a->GetAttributeVia("x1", false), nullptr);
    b->attributes.Set("x1", "3");
    EXPECT_EQ(*a->GetAttributeVia("x1", false), "3");
}

// g0 -> g1 -> ... ; each set-up prepares the next one from inside its own.
void AddChain(CElem* root, int length)
{
    for (int i = 0; i < length; ++i)
        root->AppendChild(new CChainedGradient(root, "#g" + std::to_string(i + 1), "g" + std::to_string(i)));
    root->Children().back()->attributes.Set("x1", "end");
}

const std::string* Found(const CElem* elem) { return static_cast<const CChainedGradient*>(elem)->found; }

TEST_F(ReferencesTest, LongReferenceChainsAreCut)
{
    CElemDocument* root = AddDocument("<svg/>");
    AddChain(root, 600);
    EXPECT_TRUE(root->Prepare());
    EXPECT_TRUE(vexo_test::HasMessagePrefix("E linearGradient too deeply nested at"));
    EXPECT_TRUE(vexo_test::HasMessage("E linearGradient xlink:href chain too long at 0(0)"));
    EXPECT_EQ(Found(root->Children()[0]), nullptr);
    for (const CElem* child : root->Children())
        EXPECT_EQ(child->prepState, PrepState::Prepared);
    ASSERT_NE(Found(root->Children()[598]), nullptr);
    EXPECT_EQ(*Found(root->Children()[598]), "end");
}

TEST_F(ReferencesTest, BaseDirectoryAppliesNearestXmlBase)
{
    CElemDocument* root = AddDocument(
        "<svg><g id='rel' xml:base='sub/file.svg'><rect width='1' height='1' id='r' xml:base='inherit'/></g>"
        "<g id='abs' xml:base='/abs/x/'/><g id='url' xml:base='http://host/a/b.svg'/>"
        "<g id='file' xml:base='file:///p/q/'/><g id='none'/></svg>");
    EXPECT_EQ(root->BaseDirectory(), "/docs/dir/");
    EXPECT_EQ(ById(root, "rel")->BaseDirectory(), "/docs/dir/sub/");
    EXPECT_EQ(ById(root, "r")->BaseDirectory(), "/docs/dir/sub/");
    EXPECT_EQ(ById(root, "abs")->BaseDirectory(), "/abs/x/");
    EXPECT_EQ(ById(root, "url")->BaseDirectory(), "http://host/a/");
    EXPECT_EQ(ById(root, "file")->BaseDirectory(), "/p/q/");
    EXPECT_EQ(ById(root, "none")->BaseDirectory(), "/docs/dir/");
}

TEST_F(ReferencesTest, FindElementAtLocationSearchesEveryDocument)
{
    AddDocument("<svg VexoLoc='1,1'><rect width='1' height='1' VexoLoc='2,3'/></svg>");
    CElemDocument* second = AddDocument("<svg VexoLoc='1,1'><g VexoLoc='5,7'><circle VexoLoc='inherit'/></g>"
                                        "<rect width='1' height='1' VexoLoc='9,2'/></svg>",
                                        "/docs/other.svg");
    EXPECT_EQ(FindElementAtLocation(9, 2), second->Children()[1]);
    EXPECT_EQ(FindElementAtLocation(5, 7), second->Children()[0]);
    EXPECT_EQ(FindElementAtLocation(1, 1), DocumentList::Instance().Main());
    EXPECT_EQ(FindElementAtLocation(3, 2), nullptr);
}

TEST_F(ReferencesTest, ExternalFileReferencesLoadOnce)
{
    const std::string mainPath = vexo_test::WriteTempFile("refs/main.svg", "<svg/>");
    vexo_test::WriteTempFile("refs/lib/shapes.svg",
                             "<svg xmlns='http://www.w3.org/2000/svg'><rect height='1' id='box' width='5'/></svg>");
    CElemDocument* root = AddDocument("<svg><g id='g' xml:base='lib/'/></svg>", mainPath);

    CElem* box = root->FindReference("lib/shapes.svg#box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Name(), "rect");
    const std::size_t documents = DocumentList::Instance().Size();
    EXPECT_EQ(documents, 2u);
    EXPECT_EQ(ById(root, "g")->FindReference("url(shapes.svg#box)"), box);
    EXPECT_EQ(root->FindReference("lib/shapes.svg"), box->Document());
    EXPECT_EQ(DocumentList::Instance().Size(), documents);

    EXPECT_EQ(root->FindReference("lib/missing.svg#box"), nullptr);
}

}  // namespace
