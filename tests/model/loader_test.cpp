#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

#include "base/stop_token.h"
#include "model/document.h"
#include "model/inflate.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/references.h"
#include "pipeline/loading_job.h"
#include "test_support.h"

namespace {

using LoaderTest = vexo_test::LoadTest;

// gzip of `head`, `count` times `filler`, then `tail`, made without holding
// the inflated text.
std::string GzipRepeated(const std::string& head, char filler, std::size_t count, const std::string& tail)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out;
    char buffer[1 << 16];
    const auto feed = [&](const std::string& text, int flush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        stream.avail_in = static_cast<uInt>(text.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    feed(head, Z_NO_FLUSH);
    const std::string block(1 << 20, filler);
    for (std::size_t done = 0; done < count; done += block.size())
        feed(block.substr(0, std::min(block.size(), count - done)), Z_NO_FLUSH);
    feed(tail, Z_FINISH);
    deflateEnd(&stream);
    return out;
}

}  // namespace

TEST_F(LoaderTest, EmptyOneByteAndMissingFilesAreRefused)
{
    const std::string empty = vexo_test::WriteTempFile("empty.svg", "");
    const std::string one = vexo_test::WriteTempFile("one.svg", "<");
    EXPECT_EQ(LoadDocument(empty), nullptr);
    EXPECT_EQ(LoadDocument(one), nullptr);
    EXPECT_EQ(LoadDocument("no/such/file.svg", vexo_test::TempDirectory()), nullptr);
    EXPECT_TRUE(HasMessage("I Opening file " + empty));
    ExpectMessagesInclude({"F Not SVG file or damaged file '" + empty + "'",
                           "F Not SVG file or damaged file '" + one + "'", "F Open error 'no/such/file.svg'"});
    EXPECT_EQ(Summary(), "3 Fatal Errors.  ");
}

TEST_F(LoaderTest, GzipIsDetectedByContentWhateverTheName)
{
    const std::string path = vexo_test::WriteTempFile("zipped.svg", vexo_test::Gzip("<svg width='10' height='20'/>"));
    const svg::CElemDocument* document = LoadDocument(path);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->region, (svg::RectF{0, 0, 10, 20}));
}

TEST_F(LoaderTest, TruncatedAndCorruptGzipFailToInflate)
{
    const std::string full = vexo_test::Gzip("<svg>" + std::string(5000, ' ') + "</svg>");
    const std::string cut = vexo_test::WriteTempFile("cut.svgz", full.substr(0, full.size() / 2));
    EXPECT_EQ(LoadDocument(cut), nullptr);
    EXPECT_TRUE(HasMessage("F Inflate failed '" + cut + "'"));

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

TEST_F(LoaderTest, InflationSaysWhyItFailed)
{
    const std::string exact = vexo_test::Gzip(std::string(1 << 20, 'a'));
    const std::string cut = exact.substr(0, exact.size() / 2);
    svg::CStopToken stopped;
    stopped.RequestStop();
    struct Case {
        const char* what;
        const std::string& compressed;
        std::size_t maxOutput;
        const svg::CStopToken& stop;
        svg::InflateStatus status;
    } const cases[] = {
        {"output exactly at the bound", exact, 1 << 20, svg::CStopToken::Never(), svg::InflateStatus::Ok},
        {"one byte over the bound", exact, (1 << 20) - 1, svg::CStopToken::Never(), svg::InflateStatus::TooLarge},
        {"truncated", cut, 1 << 20, svg::CStopToken::Never(), svg::InflateStatus::Corrupt},
        {"truncated past the bound", cut, 1 << 10, svg::CStopToken::Never(), svg::InflateStatus::TooLarge},
        {"stopped", exact, 1 << 20, stopped, svg::InflateStatus::Stopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string output = "old";
        EXPECT_EQ(svg::InflateBounded(c.compressed, c.maxOutput, c.stop, output), c.status);
        EXPECT_EQ(output.size(), c.status == svg::InflateStatus::Ok ? c.maxOutput : 0u);
    }
}

TEST_F(LoaderTest, ADecompressionBombIsRefusedNamingTheBound)
{
    // Well-formed SVG whose comment inflates past the bound.
    const std::string bomb =
        vexo_test::WriteTempFile("bomb.svgz", GzipRepeated("<svg xmlns='http://www.w3.org/2000/svg'><!--", ' ',
                                                           std::size_t{257} << 20, "--></svg>"));
    EXPECT_EQ(LoadDocument(bomb), nullptr);
    EXPECT_TRUE(HasMessage("F File '" + bomb + "' inflates to more than 256 MB: NOT read"));
}

TEST_F(LoaderTest, RootMustBeAnSvgElement)
{
    const std::string html = vexo_test::WriteTempFile("page.svg", "<html/>");
    const std::string foreign = vexo_test::WriteTempFile("foreign.svg", "<x:svg xmlns:x='urn:not-svg'/>");
    const std::string prefixed = vexo_test::WriteTempFile(
        "prefixed.svg", "<svg:svg xmlns:svg='http://www.w3.org/2000/svg'><svg:rect width='1' height='1'/></svg:svg>");
    EXPECT_EQ(LoadDocument(html), nullptr);
    EXPECT_EQ(LoadDocument(foreign), nullptr);
    ExpectMessagesInclude({"F " + html + " :Root element is NOT SVG", "F " + foreign + " :Root element is NOT SVG"});
    // A prefix bound to the SVG namespace names the same elements.
    const svg::CElemDocument* document = LoadDocument(prefixed);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->Children()[0]->Class(), svg::ElemClass::Shape);
}

TEST_F(LoaderTest, ElementsOfAnotherDefaultNamespaceAreNotSvg)
{
    const svg::CElemDocument* document = LoadText("<svg xmlns='http://www.w3.org/2000/svg'><s:g xmlns='urn:not-svg' xmlns:s='http://www.w3.org/2000/svg'>"
        "<s:rect width='1' height='1'/><rect width='1' height='1'/></s:g></svg>",
        "/tmp/vexo-loader-test.svg", "test.svg");
    ASSERT_NE(document, nullptr);
    const svg::CElem* g = document->Children()[0];
    ASSERT_EQ(g->Children().size(), 2u);
    EXPECT_EQ(g->Children()[0]->Class(), svg::ElemClass::Shape);
    EXPECT_EQ(g->Children()[1]->Class(), svg::ElemClass::Elem);
    EXPECT_EQ(g->Children()[1]->Name(), "{urn:not-svg}rect");
}

TEST_F(LoaderTest, EntityContentKeepsTheNamespacesInScopeAtItsReference)
{
    const svg::CElemDocument* document = LoadText("<!DOCTYPE svg [<!ENTITY shapes \"<rect id='r' width='1' height='1'/><use xlink:href='#r'/>\">]>\n"
        "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'>\n"
        "<g>&shapes;</g><g>&shapes;</g></svg>",
        "/tmp/vexo-loader-test.svg", "test.svg");
    ASSERT_NE(document, nullptr);
    for (const svg::CElem* g : document->Children()) {
        ASSERT_EQ(g->Children().size(), 2u);
        const svg::CElem* use = g->Children()[1];
        ASSERT_NE(use->attributes.Value("xlink:href"), nullptr);
        EXPECT_EQ(*use->attributes.Value("xlink:href"), "#r");
        EXPECT_EQ(use->line, 3);  // where the entity was first referenced
    }
    for (const std::string& message : Messages())
        EXPECT_EQ(message.find("Namespace"), std::string::npos) << message;
}

TEST_F(LoaderTest, MalformedXmlCannotBeOpened)
{
    const std::string path = vexo_test::WriteTempFile("bad.svg", "<svg><g></svg>");
    EXPECT_EQ(LoadDocument(path), nullptr);
    EXPECT_TRUE(HasMessage("F File " + path + ":can NOT open"));
}

TEST_F(LoaderTest, RootSizeFromWidthAndHeight)
{
    const std::string half = vexo_test::WriteTempFile("half.svg", "<svg width='50%' height='50%'/>");
    const std::string none = vexo_test::WriteTempFile("none.svg", "<svg/>");
    const std::string inches = vexo_test::WriteTempFile("inches.svg", "<svg width='1in' height='72pt'/>");
    const svg::CElemDocument* halfDoc = LoadDocument(half);
    const svg::CElemDocument* noneDoc = LoadDocument(none);
    const svg::CElemDocument* inchDoc = LoadDocument(inches);
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
    svg::CElemDocument* first = LoadDocument(path);
    svg::CElemDocument* second = LoadDocument("once.svg", vexo_test::TempDirectory() + "/dir/");
    EXPECT_EQ(first, second);
    EXPECT_EQ(Current().Load().Documents().Size(), 1u);
    EXPECT_EQ(first->Path(), svg::MakeFullPath(path, {}));
}

TEST_F(LoaderTest, JobReportsLoadedDocumentAndState)
{
    const std::string path = vexo_test::WriteTempFile("job.svg", "<svg><a/></svg>");
    svg::CMessageLog log;
    svg::CLoadingJob job(log);
    const svg::CElemDocument* loaded = nullptr;
    job.Start(path, options, [&loaded](const svg::CElemDocument* document) { loaded = document; });
    job.Wait();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(job.State(), svg::DocumentState::Loaded);
    EXPECT_EQ(job.Load()->Main(), loaded);
    ASSERT_NE(job.Picture(), nullptr);
    EXPECT_EQ(log.Entry(1), "W a NOT supported at 1(6)");

    // A second load empties the log and the documents before it starts.
    const std::string bad = vexo_test::WriteTempFile("job-bad.svg", "");
    job.Start(bad, options, [&loaded](const svg::CElemDocument* document) { loaded = document; });
    job.Wait();
    EXPECT_EQ(loaded, nullptr);
    EXPECT_EQ(job.State(), svg::DocumentState::Idle);
    EXPECT_EQ(log.Count(), 2u);  // opening and the fatal error
    EXPECT_EQ(job.Load()->Documents().Size(), 0u);
    job.Close();
    EXPECT_EQ(job.Load(), nullptr);
}

TEST_F(LoaderTest, StoppingALoadReportsAbortWithoutFatalMessage)
{
    std::string big = "<svg>";
    for (int i = 0; i < 200000; ++i)
        big += "<g><rect width='1' height='1'/></g>";
    big += "</svg>";
    const std::string path = vexo_test::WriteTempFile("big.svg", big);
    svg::CMessageLog log;
    svg::CLoadingJob job(log);
    bool completed = false;
    job.Start(path, options, [&completed](const svg::CElemDocument*) { completed = true; });
    job.Stop();
    EXPECT_FALSE(completed);
    EXPECT_EQ(job.State(), svg::DocumentState::Idle);
    EXPECT_EQ(log.Entry(log.Count() - 1), "I Opening SVG ... aborted!");
    EXPECT_EQ(log.Counts().fatal, 0);
    // A stopped load is abandoned: no documents and no picture remain.
    EXPECT_EQ(job.Load(), nullptr);
    EXPECT_EQ(job.Picture(), nullptr);
    job.Close();
    job.WaitForAbandonedLoads();
    EXPECT_EQ(log.Entry(log.Count() - 1), "I Opening SVG ... aborted!");
}

TEST_F(LoaderTest, TwoLoadsRunSideBySideWithLogsOfTheirOwn)
{
    // Each document refers to a document of its own and has its own problems:
    // nothing of one load may show in the other.
    const std::string left = vexo_test::WriteTempFile(
        "left/main.svg", "<svg xmlns:xlink='http://www.w3.org/1999/xlink'><use xlink:href='part.svg#p'/>"
                         "<rect width='-1' height='1'/></svg>");
    vexo_test::WriteTempFile("left/part.svg", "<svg><circle id='p' cx='0' cy='0' r='3'/></svg>");
    const std::string right = vexo_test::WriteTempFile(
        "right/main.svg", "<svg xmlns:xlink='http://www.w3.org/1999/xlink'><use xlink:href='part.svg#p'/>"
                          "<a/></svg>");
    vexo_test::WriteTempFile("right/part.svg", "<svg><ellipse id='p' cx='0' cy='0' rx='3' ry='2'/></svg>");

    constexpr int kRounds = 20;
    vexo_test::TestLoad* loads[2][kRounds] = {};
    std::vector<std::unique_ptr<vexo_test::TestLoad>> kept;
    for (int round = 0; round < kRounds; ++round)
        for (int side = 0; side < 2; ++side) {
            kept.push_back(std::make_unique<vexo_test::TestLoad>());
            loads[side][round] = kept.back().get();
        }
    auto run = [&loads](int side, const std::string& path) {
        for (int round = 0; round < kRounds; ++round) {
            vexo_test::TestLoad& load = *loads[side][round];
            if (load.LoadFile(path) != nullptr)
                load.Record();
        }
    };
    std::thread first(run, 0, left);
    std::thread second(run, 1, right);
    first.join();
    second.join();

    for (int round = 0; round < kRounds; ++round) {
        vexo_test::TestLoad& l = *loads[0][round];
        vexo_test::TestLoad& r = *loads[1][round];
        ASSERT_EQ(l.Load().Documents().Size(), 2u);
        ASSERT_EQ(r.Load().Documents().Size(), 2u);
        EXPECT_EQ(l.Find("part.svg#p")->Name(), "circle");
        EXPECT_EQ(r.Find("part.svg#p")->Name(), "ellipse");
        EXPECT_EQ(l.Summary(), "1 Errors.  ");
        EXPECT_EQ(r.Summary(), "1 Warnings.  ");
        EXPECT_FALSE(l.HasMessagePrefix("W a NOT supported"));
        EXPECT_FALSE(r.HasMessagePrefix("E rect"));
    }
}

// --- Hostile documents through the loading job ------------------------------------------

TEST_F(LoaderTest, AFifoNamedAnywhereEndsTheLoadWithAMessage)
{
    const std::string folder = vexo_test::TempDirectory() + "/fifo-job";
    std::filesystem::create_directories(folder);
    const std::string pipe = folder + "/pipe.svg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string document = vexo_test::WriteTempFile(
        "fifo-job/doc.svg", "<svg xmlns:xlink='http://www.w3.org/1999/xlink'><use xlink:href='pipe.svg#a'/></svg>");
    svg::CMessageLog log;
    svg::CLoadingJob job(log);
    for (const std::string& path : {pipe, document}) {
        job.Start(path, options);
        job.Wait();  // would never return if opening the FIFO blocked
        EXPECT_TRUE(vexo_test::HasLinePrefix(log, "F File '" + std::string(path == pipe ? pipe : "pipe.svg") +
                                                      "' is not a regular file: NOT read"))
            << ::testing::PrintToString(log.EntriesFrom(0));
    }
    EXPECT_EQ(job.State(), svg::DocumentState::Loaded);
}

TEST_F(LoaderTest, StopAbandonsARunawayTransformAndItsThreadEnds)
{
    vexo_test::WriteTempFile(
        "runaway-job/loop.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
        "<xsl:template match='/'><svg><xsl:call-template name='r'><xsl:with-param name='n' select='60'/>"
        "</xsl:call-template></svg></xsl:template><xsl:template name='r'><xsl:param name='n'/>"
        "<xsl:if test='$n &gt; 0'><xsl:call-template name='r'><xsl:with-param name='n' select='$n - 1'/>"
        "</xsl:call-template><xsl:call-template name='r'><xsl:with-param name='n' select='$n - 1'/>"
        "</xsl:call-template></xsl:if></xsl:template></xsl:stylesheet>");
    const std::string path = vexo_test::WriteTempFile(
        "runaway-job/doc.svg", "<?xml-stylesheet type='text/xsl' href='loop.xsl'?><svg/>");
    svg::CMessageLog log;
    svg::CLoadingJob job(log);
    // Load, stop, reload and close in quick succession: every call returns
    // at once, and every abandoned load's thread ends.
    for (int round = 0; round < 3; ++round) {
        job.Start(path, options);
        job.Stop();
        EXPECT_EQ(job.State(), svg::DocumentState::Idle);
        EXPECT_EQ(job.Load(), nullptr);
    }
    job.Start(path, options);
    job.Close();
    job.WaitForAbandonedLoads();
    EXPECT_EQ(log.Entry(log.Count() - 1), "I Opening SVG ... aborted!");
    EXPECT_EQ(log.Counts().errors, 0) << ::testing::PrintToString(log.EntriesFrom(0));
}

namespace {

// The shared copies a load hands out: one per text while they are few, a
// copy of its own for each text past the bound, always the text asked for.
TEST(SharedTextTest, OneCopyPerTextUpToTheBound)
{
    svg::CMessageLog log;
    svg::CStopToken stop;
    svg::CLoadContext context(log, stop, svg::CDocOptions{});
    const svg::SharedText serif = context.ShareText("serif");
    EXPECT_TRUE(context.ShareText("serif").SameCopy(serif));
    EXPECT_FALSE(context.ShareText("Serif").SameCopy(serif)) << "texts are compared exactly";
    EXPECT_TRUE(context.ShareText("").SameCopy(svg::SharedText())) << "the empty text is everyone's";
    for (int i = 0; i < 5000; ++i)
        EXPECT_EQ(context.ShareText("f" + std::to_string(i)).Str(), "f" + std::to_string(i));
    EXPECT_TRUE(context.ShareText("f0").SameCopy(context.ShareText("f0")));
    const svg::SharedText late = context.ShareText("f4999");
    EXPECT_FALSE(late.SameCopy(context.ShareText("f4999")));
    EXPECT_EQ(late, "f4999");
    EXPECT_TRUE(context.ShareText("serif").SameCopy(serif)) << "earlier texts stay shared";
}

// Pens are looked for among the last few made: one made long before is
// made again, equal but not shared.
TEST(SharedTextTest, RecentPensAreShared)
{
    svg::CMessageLog log;
    svg::CStopToken stop;
    svg::CLoadContext context(log, stop, svg::CDocOptions{});
    const auto pen = [](float width) {
        svg::StrokePen made;
        made.width = width;
        return made;
    };
    const auto first = context.SharePen(pen(1));
    EXPECT_EQ(context.SharePen(pen(1)), first);
    for (int i = 2; i < 20; ++i)
        EXPECT_EQ(context.SharePen(pen(static_cast<float>(i)))->width, static_cast<float>(i));
    EXPECT_EQ(context.SharePen(pen(19)), context.SharePen(pen(19)));
    const auto again = context.SharePen(pen(1));
    EXPECT_NE(again, first);
    EXPECT_EQ(*again, *first);
}

}  // namespace
