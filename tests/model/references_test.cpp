// References and attribute look-up over loaded trees: "inherit", the forms a
// reference may take, xml:base, locations, and files loaded once.
#include <gtest/gtest.h>

#include "model/document.h"
#include "model/references.h"
#include "test_support.h"

using namespace svg;

namespace {

class ReferencesTest : public vexo_test::LoadTest {
protected:
    CElemDocument* Document(const std::string& text, const std::string& path = "/docs/dir/main.svg")
    {
        CElemDocument* root = LoadText(text, path, "main.svg");
        EXPECT_NE(root, nullptr);
        return root;
    }
};

TEST_F(ReferencesTest, GetAttributeFollowsInherit)
{
    Document("<svg fill='red'><g id='g' fill='inherit' stroke='blue'>"
             "<rect width='1' height='1' id='r' stroke='inherit'/></g></svg>");
    const CElem* rect = Find("#r");
    ASSERT_NE(rect, nullptr);
    ASSERT_NE(rect->GetAttribute(AttributeId::fill, true), nullptr);
    EXPECT_EQ(*rect->GetAttribute(AttributeId::fill, true), "red");
    EXPECT_EQ(rect->GetAttribute(AttributeId::fill, false), nullptr);  // missing, not inherited
    EXPECT_EQ(*rect->GetAttribute(AttributeId::stroke, false), "blue");
    EXPECT_EQ(*Find("#g")->GetAttribute(AttributeId::fill, false), "red");  // "inherit" always goes up
}

TEST_F(ReferencesTest, FindReferenceForms)
{
    CElemDocument* root = Document("<svg><g><rect width='1' height='1' id='dup'/></g><rect width='1' height='1' id='dup'/>"
                                   "<circle xml:id='c'/></svg>");
    const CElem* first = root->Children()[0]->Children()[0];
    EXPECT_EQ(Find("#dup"), first);  // the first in document order
    EXPECT_EQ(Find("url(#dup)"), first);
    EXPECT_EQ(Find(" URL( '#dup' ) "), first);
    EXPECT_EQ(Find("url(\"##dup\")"), first);
    EXPECT_EQ(Find("#c"), root->Children()[2]);
    EXPECT_EQ(Find("#"), nullptr);
    EXPECT_EQ(Find("#missing"), nullptr);
    EXPECT_EQ(FindLoadedReference(*root, "#dup", Current().Load().Documents()), first);
}

TEST_F(ReferencesTest, BaseDirectoryAppliesNearestXmlBase)
{
    CElemDocument* root = Document(
        "<svg><g id='rel' xml:base='sub/file.svg'><rect width='1' height='1' id='r' xml:base='inherit'/></g>"
        "<g id='abs' xml:base='/abs/x/'/><g id='url' xml:base='http://host/a/b.svg'/>"
        "<g id='file' xml:base='file:///p/q/'/><g id='none'/></svg>");
    EXPECT_EQ(root->BaseDirectory(), "/docs/dir/");
    EXPECT_EQ(Find("#rel")->BaseDirectory(), "/docs/dir/sub/");
    EXPECT_EQ(Find("#r")->BaseDirectory(), "/docs/dir/sub/");
    EXPECT_EQ(Find("#abs")->BaseDirectory(), "/abs/x/");
    EXPECT_EQ(Find("#url")->BaseDirectory(), "http://host/a/");
    EXPECT_EQ(Find("#file")->BaseDirectory(), "/p/q/");
    EXPECT_EQ(Find("#none")->BaseDirectory(), "/docs/dir/");
}

TEST_F(ReferencesTest, FindElementAtLocationSearchesEveryDocument)
{
    const std::string mainPath = vexo_test::WriteTempFile(
        "located/main.svg", "<svg xmlns:xlink='http://www.w3.org/1999/xlink'>\n"
                            "<rect width='1' height='1'/><use xlink:href='other.svg#c'/></svg>");
    vexo_test::WriteTempFile("located/other.svg", "<svg>\n<g>\n    <circle id='c' r='1'/></g></svg>");
    CElemDocument* main = LoadDocument(mainPath);
    ASSERT_NE(main, nullptr);
    const DocumentList& documents = Current().Load().Documents();
    ASSERT_EQ(documents.Size(), 2u);
    EXPECT_EQ(FindElementAtLocation(documents, 2, 1), main->Children()[0]);
    EXPECT_EQ(FindElementAtLocation(documents, 1, 1), main);
    // Line 3 is only in the other file; its use instance copy comes later.
    EXPECT_EQ(FindElementAtLocation(documents, 3, 5), documents.At(1)->Children()[0]->Children()[0]);
    EXPECT_EQ(FindElementAtLocation(documents, 9, 9), nullptr);
}

TEST_F(ReferencesTest, ExternalFileReferencesLoadOnce)
{
    const std::string mainPath = vexo_test::WriteTempFile("refs/main.svg", "<svg><g id='g' xml:base='lib/'/></svg>");
    vexo_test::WriteTempFile("refs/lib/shapes.svg",
                             "<svg xmlns='http://www.w3.org/2000/svg'><rect height='1' id='box' width='5'/></svg>");
    CElemDocument* root = LoadDocument(mainPath);
    ASSERT_NE(root, nullptr);

    CElem* box = Find("lib/shapes.svg#box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Name(), "rect");
    const DocumentList& documents = Current().Load().Documents();
    EXPECT_EQ(documents.Size(), 2u);
    EXPECT_EQ(FindReference(*Find("#g"), "url(shapes.svg#box)", Current().Context()), box);
    EXPECT_EQ(Find("lib/shapes.svg"), box->Document());
    EXPECT_EQ(documents.Size(), 2u);
    EXPECT_EQ(Find("lib/missing.svg#box"), nullptr);
    // Readers after the load find what was loaded and load nothing more.
    EXPECT_EQ(FindLoadedReference(*root, "lib/shapes.svg#box", documents), box);
    EXPECT_EQ(FindLoadedReference(*root, "lib/other.svg#box", documents), nullptr);
    EXPECT_EQ(documents.Size(), 2u);
}

}  // namespace
