// Reading the files documents name: only regular files, bounded, stoppable,
// and only inside the folders the load may read.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "base/stop_token.h"
#include "model/file_io.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/resource_file.h"
#include "test_support.h"

using svg::ReadStatus;
using svg::ResourceKind;

namespace {

namespace fs = std::filesystem;

// A FIFO nobody writes to: opening it for reading would wait for ever.
std::string MakeFifo(const std::string& name)
{
    const std::string path = vexo_test::TempDirectory() + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    ::unlink(path.c_str());
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
}

}  // namespace

TEST(ReadFileBytes, OnlyRegularFilesWithinTheBoundAreRead)
{
    const std::string regular = vexo_test::WriteTempFile("read/regular.txt", "hello");
    const std::string big = vexo_test::WriteTempFile("read/big.txt", std::string(2000, 'x'));
    fs::create_directories(vexo_test::TempDirectory() + "/read/folder");
    struct Case {
        std::string path;
        ReadStatus expected;
    };
    const Case cases[] = {
        {regular, ReadStatus::Ok},
        {vexo_test::TempDirectory() + "/read/missing.txt", ReadStatus::OpenFailed},
        {MakeFifo("read/pipe"), ReadStatus::NotRegularFile},
        {"/dev/zero", ReadStatus::NotRegularFile},
        {"/dev/urandom", ReadStatus::NotRegularFile},
        {vexo_test::TempDirectory() + "/read/folder", ReadStatus::NotRegularFile},
        {big, ReadStatus::TooLarge},
    };
    for (const Case& c : cases) {
        std::string bytes = "left over";
        EXPECT_EQ(svg::ReadFileBytes(c.path, 1000, bytes), c.expected) << c.path;
        EXPECT_EQ(bytes, c.expected == ReadStatus::Ok ? "hello" : "") << c.path;
    }
}

TEST(ReadFileBytes, AStoppedReadReadsNothing)
{
    const std::string path = vexo_test::WriteTempFile("read/stop.txt", std::string(3 << 20, 'x'));
    svg::CStopToken stop;
    stop.RequestStop();
    std::string bytes;
    EXPECT_EQ(svg::ReadFileBytes(path, 8 << 20, stop, bytes), ReadStatus::Stopped);
    EXPECT_TRUE(bytes.empty());
}

class ConfinementTest : public ::testing::Test {
protected:
    ConfinementTest()
    {
        home = vexo_test::TempDirectory() + "/confine/home/";
        outside = vexo_test::TempDirectory() + "/confine/outside/";
        vexo_test::WriteTempFile("confine/home/a.svg", "<svg/>");
        vexo_test::WriteTempFile("confine/home/sub/b.svg", "<svg/>");
        vexo_test::WriteTempFile("confine/outside/c.svg", "<svg/>");
        fs::remove(home + "escape.svg");
        fs::remove(home + "inner.svg");
        fs::create_symlink(outside + "c.svg", home + "escape.svg");
        fs::create_symlink(home + "sub/b.svg", home + "inner.svg");
    }

    // Whether a load of `home`/main.svg with `access` may read `path`.
    bool MayRead(const std::string& path, svg::FileAccess access = {})
    {
        svg::CDocOptions options;
        options.fileAccess = std::move(access);
        svg::CLoadContext context(log, stop, options);
        context.SetMainDocumentPath(home + "main.svg");
        return svg::MayReadFile(context, path);
    }

    std::string home;
    std::string outside;
    svg::CMessageLog log;
    svg::CStopToken stop;
};

TEST_F(ConfinementTest, TheMainDocumentsFolderAndBelow)
{
    struct Case {
        std::string path;
        bool allowed;
    };
    const Case cases[] = {
        {home + "a.svg", true},
        {home + "sub/b.svg", true},
        {home + "missing.svg", true},
        {home + "sub/../a.svg", true},
        {home + "../outside/c.svg", false},
        {outside + "c.svg", false},
        {"/etc/passwd", false},
        {"/dev/zero", false},
        {home + "escape.svg", false},  // a link inside that leads outside
        {home + "inner.svg", true},    // a link that stays inside
        {vexo_test::TempDirectory() + "/confine/home-sibling.svg", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MayRead(c.path), c.allowed) << c.path;
}

TEST_F(ConfinementTest, AllowOptionsWidenIt)
{
    EXPECT_TRUE(MayRead(outside + "c.svg", {false, {outside}}));
    EXPECT_TRUE(MayRead(home + "escape.svg", {false, {outside}}));
    EXPECT_FALSE(MayRead("/etc/passwd", {false, {outside}}));
    EXPECT_TRUE(MayRead("/etc/passwd", {true, {}}));
}

TEST_F(ConfinementTest, RefusedFilesAreNotOpenedAndAreRemembered)
{
    svg::CLoadContext context(log, stop, svg::CDocOptions{});
    context.SetMainDocumentPath(home + "main.svg");
    std::string bytes;
    EXPECT_EQ(svg::ReadResourceFile(context, outside + "c.svg", ResourceKind::Image, bytes), ReadStatus::NotAllowed);
    EXPECT_EQ(svg::ReadResourceFile(context, outside + "c.svg", ResourceKind::Image, bytes), ReadStatus::NotAllowed);
    EXPECT_EQ(svg::ReadResourceFile(context, home + "a.svg", ResourceKind::Image, bytes), ReadStatus::Ok);
    EXPECT_EQ(bytes, "<svg/>");
    EXPECT_EQ(context.RefusedFiles(), std::vector<std::string>{outside + "c.svg"});
    EXPECT_EQ(log.Count(), 0u);  // reading reports nothing; callers do
}

TEST(ReportUnreadResource, SaysWhyInTheUsersWords)
{
    struct Case {
        ReadStatus status;
        ResourceKind kind;
        const char* expected;  // empty: the caller reports it in its own words
    };
    const Case cases[] = {
        {ReadStatus::NotAllowed, ResourceKind::Image, "W File 'x' is outside the document's folder: NOT loaded at 3(4)"},
        {ReadStatus::NotAllowed, ResourceKind::Document, "W File 'x' is outside the document's folder: NOT loaded at 3(4)"},
        {ReadStatus::NotRegularFile, ResourceKind::StyleSheet, "E File 'x' is not a regular file: NOT read at 3(4)"},
        {ReadStatus::NotRegularFile, ResourceKind::Document, "F File 'x' is not a regular file: NOT read at 3(4)"},
        {ReadStatus::TooLarge, ResourceKind::Xslt, "E File 'x' is larger than 64 MB: NOT read at 3(4)"},
        {ReadStatus::TooLarge, ResourceKind::Document, "F File 'x' is larger than 256 MB: NOT read at 3(4)"},
        {ReadStatus::OpenFailed, ResourceKind::Image, ""},
        {ReadStatus::ReadFailed, ResourceKind::Image, ""},
        {ReadStatus::Stopped, ResourceKind::Document, ""},
        {ReadStatus::Ok, ResourceKind::Font, ""},
    };
    for (const Case& c : cases) {
        svg::CMessageLog log;
        const bool reported = svg::ReportUnreadResource(log, c.status, c.kind, "x", 3, 4);
        EXPECT_EQ(reported, *c.expected != '\0') << c.expected;
        EXPECT_EQ(log.Entry(0), c.expected);
    }
}
