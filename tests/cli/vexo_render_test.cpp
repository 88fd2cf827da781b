// The headless command as scripts use it: output lines and exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "test_support.h"

namespace {

struct RunResult {
    int status = -1;
    std::string output;
};

RunResult RunVexoRender(const std::string& arguments)
{
    RunResult result;
    const std::string command = std::string(VEXO_RENDER_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

}  // namespace

TEST(VexoRenderCli, LoadedDocumentPrintsTreeMessagesAndSummary)
{
    const std::string path = vexo_test::WriteTempFile(
        "cli/ok.svg", "<svg xmlns='http://www.w3.org/2000/svg'>\n  <rect id='r' width='5' height='5'/>\n  <script/>\n</svg>");
    const RunResult result = RunVexoRender("--tree " + Quote(path));
    EXPECT_EQ(result.status, 0);
    // Messages as they happen, then the tree, then the summary.
    EXPECT_NE(result.output.find("W script NOT supported at 3(3)\nCElemDocument svg 1(1)\n"
                                 "  CElemShape rect id=\"r\" 2(3)\n  CElem script 3(3)\n1 Warnings.  \n"),
              std::string::npos)
        << result.output;
}

TEST(VexoRenderCli, DocumentsThatDoNotLoadExitWithOne)
{
    const std::string empty = vexo_test::WriteTempFile("cli/empty.svg", "");
    const RunResult result = RunVexoRender(Quote(empty));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("F Not SVG file or damaged file '" + empty + "'\n1 Fatal Errors.  \n"),
              std::string::npos)
        << result.output;

    const std::string notSvg = vexo_test::WriteTempFile("cli/root.svg", "<html/>");
    EXPECT_EQ(RunVexoRender(Quote(notSvg)).status, 1);
}

TEST(VexoRenderCli, BadUsageExitsWithTwo)
{
    EXPECT_EQ(RunVexoRender("").status, 2);
    EXPECT_EQ(RunVexoRender("--no-such-option x.svg").status, 2);
    EXPECT_EQ(RunVexoRender("a.svg b.svg").status, 2);
    EXPECT_EQ(RunVexoRender("--media").status, 2);
    EXPECT_EQ(RunVexoRender("--help").status, 0);
}

TEST(VexoRenderCli, LanguageOptionChoosesTheSwitchBranch)
{
    const std::string path = vexo_test::WriteTempFile(
        "cli/lang.svg",
        "<svg><switch><g id='fr' systemLanguage='fr'/><g id='other'/></switch></svg>");
    const RunResult french = RunVexoRender("--tree --lang fr,de " + Quote(path));
    EXPECT_NE(french.output.find("id=\"other\" 1(46) excluded"), std::string::npos) << french.output;
    const RunResult english = RunVexoRender("--tree --lang en " + Quote(path));
    EXPECT_NE(english.output.find("id=\"fr\" 1(14) excluded"), std::string::npos) << english.output;
    EXPECT_NE(english.output.find("I \"systemLanguage\" found 'fr'"), std::string::npos);
}

TEST(VexoRenderCli, DrawsIntoTheOutputFileAtTheAskedSize)
{
    const std::string path = vexo_test::WriteTempFile(
        "cli/draw.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'><rect width='40' height='20'/></svg>");
    const std::string png = vexo_test::TempDirectory() + "/cli/draw.png";
    EXPECT_EQ(RunVexoRender(Quote(path) + " -o " + Quote(png) + " --width 80").status, 0);
    const std::string bytes = vexo_test::ReadFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    // Width and height are big-endian at bytes 16..23 of the header chunk.
    auto be32 = [&bytes](std::size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    EXPECT_EQ(be32(16), 80u);
    EXPECT_EQ(be32(20), 40u);

    EXPECT_EQ(RunVexoRender(Quote(path) + " -o out.jpg").status, 2);
    EXPECT_EQ(RunVexoRender(Quote(path) + " -o x.png --width 0").status, 2);
    EXPECT_EQ(RunVexoRender(Quote(path) + " -o x.png --background nocolour").status, 2);
    const RunResult unwritable = RunVexoRender(Quote(path) + " -o /nonexistent-dir/x.png");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.output.find("cannot write /nonexistent-dir/x.png"), std::string::npos);
}

TEST(VexoRenderCli, FilesOutsideTheFolderNeedAnAllowOption)
{
    const std::string document = vexo_test::WriteTempFile(
        "cli-allow/home/doc.svg",
        "<?xml-stylesheet href='../styles/s.css'?><svg xmlns='http://www.w3.org/2000/svg'/>");
    vexo_test::WriteTempFile("cli-allow/styles/s.css", "@page {}");
    const std::string styles = vexo_test::TempDirectory() + "/cli-allow/styles";
    const std::string refused = "W File '../styles/s.css' is outside the document's folder: NOT loaded at 1(1)";
    const std::string used = "W NOT support '@page'";
    struct Case {
        std::string options;
        bool allowed;
    };
    const Case cases[] = {
        {"", false},
        {"--allow-dir " + Quote(vexo_test::TempDirectory() + "/elsewhere"), false},
        {"--allow-dir " + Quote(vexo_test::TempDirectory() + "/elsewhere") + " --allow-dir " + Quote(styles), true},
        {"--allow-any-file", true},
    };
    for (const Case& c : cases) {
        const RunResult result = RunVexoRender(c.options + " " + Quote(document));
        EXPECT_EQ(result.status, 0) << c.options;
        EXPECT_EQ(result.output.find(refused) != std::string::npos, !c.allowed) << c.options << "\n" << result.output;
        EXPECT_EQ(result.output.find(used) != std::string::npos, c.allowed) << c.options << "\n" << result.output;
    }
}

TEST(VexoRenderCli, APictureOverThePixelBudgetIsScaledDownWithAWarning)
{
    const std::string path = vexo_test::WriteTempFile(
        "cli/budget.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'><rect width='40' height='20'/></svg>");
    // SVG output: the size is what is checked, without drawing 256 megapixels.
    const std::string out = vexo_test::TempDirectory() + "/cli/budget-out.svg";
    const RunResult result = RunVexoRender(Quote(path) + " -o " + Quote(out) + " --zoom 1000");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("W Picture of 40000x20000 pixels reduced to 23170x11585: more than 256 megapixels\n"),
              std::string::npos)
        << result.output;
    EXPECT_NE(vexo_test::ReadFile(out).find("width=\"23170px\" height=\"11585px\""), std::string::npos);
}
