#include <gtest/gtest.h>

#include <zlib.h>

#include "model/document.h"
#include "model/inflate.h"
#include "model/loader.h"
#include "model/loading_job.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "test_support.h"

using svg::CDocOptions;
using svg::LoadDocument;

namespace {

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { vexo_test::ResetGlobalState(); }
    void TearDown() override { vexo_test::ResetGlobalState(); }
    CDocOptions options;
};

}  // namespace

TEST_F(LoaderTest, EmptyOneByteAndMissingFilesAreRefused)
{
    const std::string empty = vexo_test::WriteTempFile("empty.svg", "");
    const std::string one = vexo_test::WriteTempFile("one.svg", "<");
    EXPECT_EQ(LoadDocument(empty, {}, options), nullptr);
    EXPECT_EQ(LoadDocument(one, {}, options), nullptr);
    EXPECT_EQ(LoadDocument("no/such/file.svg", vexo_test::TempDirectory(), options), nullptr);
    EXPECT_TRUE(vexo_test::HasMessage("I Opening file " + empty));
    EXPECT_TRUE(vexo_test::HasMessage("F Not SVG file or damaged file '" + empty + "'"));
    EXPECT_TRUE(vexo_test::HasMessage("F Not SVG file or damaged file '" + one + "'"));
    EXPECT_TRUE(vexo_test::HasMessage("F Open error 'no/such/file.svg'"));
    EXPECT_EQ(svg::GetMessageSummary(), "3 Fatal Errors.  ");
}

TEST_F(LoaderTest, GzipIsDetectedByContentWhateverTheName)
{
    const std::string path = vexo_test::WriteTempFile("zipped.svg", vexo_test::Gzip("<svg width='10' height='20'/>"));
    const svg::CElemDocument* document = LoadDocument(path, {}, options);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->region, (svg::RectF{0, 0, 10, 20}));
}

TEST_F(LoaderTest, TruncatedAndCorruptGzipFailToInflate)
{
    const std::string full = vexo_test::Gzip("<svg>" + std::string(5000, ' ') + "</svg>");
    const std::string cut = vexo_test::WriteTempFile("cut.svgz", full.substr(0, full.size() / 2));
    EXPECT_EQ(LoadDocument(cut, {}, options), nullptr);
    EXPECT_TRUE(vexo_test::HasMessage("F Inflate failed '" + cut + "'"));

    std::string corrupt = full;
    corrupt[12] = static_cast<char>(corrupt[12] ^ 0x55);
    corrupt[13] = static_cast<char>(corrupt[13] ^ 0x55);
    std::string output;
    EXPECT_FALSE(svg::Inflate(corrupt, 1 << 20, output));
}

TEST_F(LoaderTest, InflationStopsAtTheSizeLimit)
{
    const std::string bomb = vexo_test::Gzip(std::string(4 << 20, '\0'));
    std::string output;
    EXPECT_FALSE(svg::Inflate(bomb, 1 << 20, output));
    EXPECT_TRUE(output.empty());
    EXPECT_TRUE(svg::Inflate(bomb, 8 << 20, output));
    EXPECT_EQ(output.size(), 4u << 20);
}

TEST_F(LoaderTest, RootMustBeAnSvgElement)
{
    const std::string html = vexo_test::WriteTempFile("page.svg", "<html/>");
    const std::string foreign = vexo_test::WriteTempFile("foreign.svg", "<x:svg xmlns:x='urn:not-svg'/>");
    const std::string prefixed = vexo_test::WriteTempFile(
        "prefixed.svg", "<svg:svg xmlns:svg='http://www.w3.org/2000/svg'><svg:rect width='1' height='1'/></svg:svg>");
    EXPECT_EQ(LoadDocument(html, {}, options), nullptr);
    EXPECT_EQ(LoadDocument(foreign, {}, options), nullptr);
    EXPECT_TRUE(vexo_test::HasMessage("F " + html + " :Root element is NOT SVG"));
    EXPECT_TRUE(vexo_test::HasMessage("F " + foreign + " :Root element is NOT SVG"));
    // A prefix bound to the SVG namespace names the same elements.
    const svg::CElemDocument* document = LoadDocument(prefixed, {}, options);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->Children()[0]->Class(), svg::ElemClass::Shape);
}

TEST_F(LoaderTest, ElementsOfAnotherDefaultNamespaceAreNotSvg)
{
    const svg::CElemDocument* document = svg::LoadDocumentFromBytes(
        "<svg xmlns='http://www.w3.org/2000/svg'><s:g xmlns='urn:not-svg' xmlns:s='http://www.w3.org/2000/svg'>"
        "<s:rect width='1' height='1'/><rect width='1' height='1'/></s:g></svg>",
        "/tmp/vexo-loader-test.svg", "test.svg", options);
    ASSERT_NE(document, nullptr);
    const svg::CElem* g = document->Children()[0];
    ASSERT_EQ(g->Children().size(), 2u);
    EXPECT_EQ(g->Children()[0]->Class(), svg::ElemClass::Shape);
    EXPECT_EQ(g->Children()[1]->Class(), svg::ElemClass::Elem);
    EXPECT_EQ(g->Children()[1]->Name(), "{urn:not-svg}rect");
}

TEST_F(LoaderTest, EntityContentKeepsTheNamespacesInScopeAtItsReference)
{
    const svg::CElemDocument* document = svg::LoadDocumentFromBytes(
        "<!DOCTYPE svg [<!ENTITY shapes \"<rect id='r' width='1' height='1'/><use xlink:href='#r'/>\">]>\n"
        "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'>\n"
        "<g>&shapes;</g><g>&shapes;</g></svg>",
        "/tmp/vexo-loader-test.svg", "test.svg", options);
    ASSERT_NE(document, nullptr);
    for (const svg::CElem* g : document->Children()) {
        ASSERT_EQ(g->Children().size(), 2u);
        const svg::CElem* use = g->Children()[1];
        ASSERT_NE(use->attributes.Value("xlink:href"), nullptr);
        EXPECT_EQ(*use->attributes.Value("xlink:href"), "#r");
        EXPECT_EQ(use->line, 3);  // where the entity was first referenced
    }
    for (const std::string& message : vexo_test::Messages())
        EXPECT_EQ(message.find("Namespace"), std::string::npos) << message;
}

TEST_F(LoaderTest, MalformedXmlCannotBeOpened)
{
    const std::string path = vexo_test::WriteTempFile("bad.svg", "<svg><g></svg>");
    EXPECT_EQ(LoadDocument(path, {}, options), nullptr);
    EXPECT_TRUE(vexo_test::HasMessage("F File " + path + ":can NOT open"));
}

TEST_F(LoaderTest, RootSizeFromWidthAndHeight)
{
    const std::string half = vexo_test::WriteTempFile("half.svg", "<svg width='50%' height='50%'/>");
    const std::string none = vexo_test::WriteTempFile("none.svg", "<svg/>");
    const std::string inches = vexo_test::WriteTempFile("inches.svg", "<svg width='1in' height='72pt'/>");
    const svg::CElemDocument* halfDoc = LoadDocument(half, {}, options);
    const svg::CElemDocument* noneDoc = LoadDocument(none, {}, options);
    const svg::CElemDocument* inchDoc = LoadDocument(inches, {}, options);
    ASSERT_TRUE(halfDoc && noneDoc && inchDoc);
    EXPECT_EQ(halfDoc->region, (svg::RectF{0, 0, 400, 300}));
    EXPECT_FALSE(halfDoc->noSize);
    // Without a size of its own the root takes its viewBox's, else the default viewport.
    EXPECT_EQ(noneDoc->region, (svg::RectF{0, 0, 800, 600}));
    EXPECT_TRUE(noneDoc->noSize);
    EXPECT_EQ(inchDoc->region, (svg::RectF{0, 0, 96, 96}));
    EXPECT_EQ(inchDoc->viewport, inchDoc->region);
}

TEST_F(LoaderTest, ADocumentIsLoadedOnceAndFoundByItsFullPath)
{
    const std::string path = vexo_test::WriteTempFile("dir/once.svg", "<svg/>");
    svg::CElemDocument* first = LoadDocument(path, {}, options);
    svg::CElemDocument* second = LoadDocument("once.svg", vexo_test::TempDirectory() + "/dir/", options);
    EXPECT_EQ(first, second);
    EXPECT_EQ(svg::DocumentList::Instance().Size(), 1u);
    EXPECT_EQ(first->Path(), svg::MakeFullPath(path, {}));
}

TEST_F(LoaderTest, JobReportsLoadedDocumentAndState)
{
    const std::string path = vexo_test::WriteTempFile("job.svg", "<svg><a/></svg>");
    svg::LoadingJob job;
    svg::CElemDocument* loaded = nullptr;
    job.Start(path, options, [&loaded](svg::CElemDocument* document) { loaded = document; });
    job.Wait();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(job.State(), svg::DocumentState::Loaded);
    EXPECT_EQ(svg::DocumentList::Instance().Main(), loaded);
    EXPECT_TRUE(vexo_test::HasMessage("W a NOT supported at 1(6)"));

    // A second load empties the log and the documents before it starts.
    const std::string bad = vexo_test::WriteTempFile("job-bad.svg", "");
    job.Start(bad, options, [&loaded](svg::CElemDocument* document) { loaded = document; });
    job.Wait();
    EXPECT_EQ(loaded, nullptr);
    EXPECT_EQ(job.State(), svg::DocumentState::Idle);
    EXPECT_FALSE(vexo_test::HasMessagePrefix("W a NOT"));
    EXPECT_EQ(svg::DocumentList::Instance().Size(), 0u);
}

TEST_F(LoaderTest, StoppingALoadReportsAbortWithoutFatalMessage)
{
    std::string big = "<svg>";
    for (int i = 0; i < 200000; ++i)
        big += "<g><rect width='1' height='1'/></g>";
    big += "</svg>";
    const std::string path = vexo_test::WriteTempFile("big.svg", big);
    svg::LoadingJob job;
    bool completed = false;
    job.Start(path, options, [&completed](svg::CElemDocument*) { completed = true; });
    job.Stop();
    EXPECT_FALSE(completed);
    EXPECT_EQ(job.State(), svg::DocumentState::Idle);
    EXPECT_TRUE(vexo_test::HasMessage("I Opening SVG ... aborted!"));
    EXPECT_EQ(svg::MessageLog::Instance().Counts().fatal, 0);
    EXPECT_FALSE(svg::stopLoading.load());
    // The abandoned tree is out of sight at once; it is freed with the rest.
    EXPECT_EQ(svg::DocumentList::Instance().Main(), nullptr);
    job.Close();
    EXPECT_TRUE(svg::DocumentList::Instance().TakeAll().empty());
}

TEST_F(LoaderTest, DiscardedDocumentsAreHiddenUntilTakenWithTheRest)
{
    svg::DocumentList& documents = svg::DocumentList::Instance();
    svg::CElemDocument* kept = LoadDocument(vexo_test::WriteTempFile("kept.svg", "<svg/>"), {}, options);
    svg::CElemDocument* dropped = LoadDocument(vexo_test::WriteTempFile("dropped.svg", "<svg/>"), {}, options);
    documents.Discard(dropped);
    EXPECT_EQ(documents.Size(), 1u);
    EXPECT_EQ(documents.Main(), kept);
    EXPECT_EQ(documents.Find(dropped->Path()), nullptr);
    const auto taken = documents.TakeAll();
    EXPECT_EQ(taken.size(), 2u);
    EXPECT_EQ(documents.Size(), 0u);
}
