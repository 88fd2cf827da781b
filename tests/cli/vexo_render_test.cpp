// The headless command as scripts use it: output lines and exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>
#include <sys/wait.h>

#include "base/library_sonames.h"
#include "render/image_decode.h"
#include "render/render.h"
#include "test_support.h"

namespace {

struct RunResult {
    int status = -1;
    std::string output;
};

// Runs the command with `arguments`; its standard error goes where
// `redirect` sends it (by default into the output). `environment` comes
// before the command, as in a shell.
RunResult RunVexoRender(const std::string& arguments, const std::string& redirect = "2>&1",
                        const std::string& environment = "")
{
    RunResult result;
    const std::string command = environment + " " + VEXO_RENDER_PATH + " " + arguments + " " + redirect;
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

    EXPECT_EQ(RunVexoRender(Quote(path) + " -o out.emf").status, 2);
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

namespace {

const char kDrawing[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'><rect width='20' height='20' fill='red'/></svg>";

// The picture in `bytes`, decoded; its size and the straight colour of (x, y).
struct Decoded {
    int width = 0;
    int height = 0;
    unsigned char red = 0;
    unsigned char alpha = 0;
};

Decoded Decode(const std::string& bytes, int x, int y)
{
    Decoded decoded;
    const std::shared_ptr<const svg::CRasterImage> image = svg::DecodeRasterImage(bytes);
    if (!image)
        return decoded;
    decoded.width = image->Width();
    decoded.height = image->Height();
    cairo_surface_t* surface = image->Surface();
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const std::uint32_t pixel = reinterpret_cast<const std::uint32_t*>(row)[x];
    decoded.alpha = static_cast<unsigned char>(pixel >> 24);
    decoded.red = static_cast<unsigned char>(pixel >> 16);
    return decoded;
}

}  // namespace

TEST(VexoRenderCli, TakesTheShortOptionsOfOtherRenderers)
{
    const std::string path = vexo_test::WriteTempFile("cli/short.svg", kDrawing);
    const std::string out = vexo_test::TempDirectory() + "/cli/short.out";
    // -f names the format whatever the name says; -w and -h fit the picture, -b fills under it.
    const RunResult result = RunVexoRender("-w 80 -h 60 -z 3 -b white -f bmp -d 72 -p 72 -o " + Quote(out) + " " + Quote(path));
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string bytes = vexo_test::ReadFile(out);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    const Decoded decoded = Decode(bytes, 79, 59);
    EXPECT_EQ(decoded.width, 80);
    EXPECT_EQ(decoded.height, 60);
    EXPECT_EQ(decoded.red, 255);  // white under the picture: no alpha in BMP
    EXPECT_EQ(Decode(bytes, 10, 30).red, 255);
    EXPECT_EQ(RunVexoRender("-z 2 --format gif -o " + Quote(out) + " " + Quote(path)).status, 0);
    EXPECT_EQ(Decode(vexo_test::ReadFile(out), 0, 0).width, 80);
    EXPECT_EQ(RunVexoRender("-f emf -o x " + Quote(path)).status, 2);
    EXPECT_EQ(RunVexoRender("-o x " + Quote(path)).status, 2);  // no format
}

TEST(VexoRenderCli, EveryFormatByItsExtensionInAnyCase)
{
    const std::string path = vexo_test::WriteTempFile("cli/formats.svg", kDrawing);
    // The name's extension decides; each file starts as its format does.
    const std::pair<const char*, std::string> cases[] = {
        {"a.PNG", "\x89PNG"},       {"a.jpeg", "\xFF\xD8\xFF"}, {"a.Jpg", "\xFF\xD8\xFF"},
        {"a.tif", "II*"},           {"a.TIFF", "II*"},           {"a.gif", "GIF89a"},
        {"a.bmp", "BM"},            {"a.WebP", "RIFF"},          {"a.pdf", "%PDF-"},
        {"a.svg", "<?xml"},         {"a.ps", "%!PS-Adobe-3.0\n"}, {"a.EPS", "%!PS-Adobe-3.0 EPSF"},
    };
    for (const auto& [name, magic] : cases) {
        const std::string out = vexo_test::TempDirectory() + "/cli/formats/" + name;
        std::filesystem::create_directories(std::filesystem::path(out).parent_path());
        ASSERT_EQ(RunVexoRender(Quote(path) + " -o " + Quote(out)).status, 0) << name;
        EXPECT_EQ(vexo_test::ReadFile(out).substr(0, magic.size()), magic) << name;
    }
    // The raster ones read back at the document's size.
    for (const char* name : {"a.PNG", "a.Jpg", "a.TIFF", "a.gif", "a.bmp"})
        EXPECT_EQ(Decode(vexo_test::ReadFile(vexo_test::TempDirectory() + "/cli/formats/" + name), 5, 5).width, 40)
            << name;
}

TEST(VexoRenderCli, ReadsStandardInputAndWritesStandardOutput)
{
    const std::string path = vexo_test::WriteTempFile("cli/pipe.svg", kDrawing);
    // Only the picture goes to standard output; the messages go to standard error.
    const RunResult png = RunVexoRender("- -o - < " + Quote(path), "2>/dev/null");
    EXPECT_EQ(png.status, 0);
    const Decoded decoded = Decode(png.output, 5, 5);
    EXPECT_EQ(decoded.width, 40);
    EXPECT_EQ(decoded.alpha, 255);
    EXPECT_EQ(decoded.red, 255);
    EXPECT_EQ(RunVexoRender("-f jpeg -o - - < " + Quote(path), "2>/dev/null").output.substr(0, 3), "\xFF\xD8\xFF");
    const RunResult messages = RunVexoRender("- -o - < " + Quote(path), "2>&1 >/dev/null");
    EXPECT_EQ(messages.output, "No Errors\n");
    EXPECT_EQ(RunVexoRender("- - < " + Quote(path)).status, 2);
    const RunResult empty = RunVexoRender("- < /dev/null");
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.output.find("F Not SVG file or damaged file '-'"), std::string::npos) << empty.output;
}

TEST(VexoRenderCli, SeveralInputsGoIntoOneFolderInTheirOrder)
{
    const std::string a = vexo_test::WriteTempFile("cli/many/a.svg", kDrawing);
    const std::string b = vexo_test::WriteTempFile("cli/many/b.svgz.svg", "<svg/>");
    const std::string c = vexo_test::WriteTempFile("cli/many/c.svg", "");
    // The folder does not exist yet: vexo-render makes it.
    const std::string folder = vexo_test::TempDirectory() + "/cli/many-out/";
    const RunResult result = RunVexoRender("-f tif -o " + Quote(folder) + " " + Quote(a) + " " + Quote(b) + " " + Quote(c));
    EXPECT_EQ(result.status, 1);  // c does not load
    EXPECT_EQ(Decode(vexo_test::ReadFile(folder + "a.tif"), 5, 5).width, 40);
    EXPECT_FALSE(vexo_test::ReadFile(folder + "b.svgz.tif").empty());
    EXPECT_TRUE(vexo_test::ReadFile(folder + "c.tif").empty());
    auto report = [](const std::string& input, const std::string& last) {
        return input + ":\nI Opening file " + input + "\n" + last;
    };
    const std::size_t first = result.output.find(report(a, "No Errors\n"));
    const std::size_t second = result.output.find(report(b, "No Errors\n"));
    const std::size_t third = result.output.find(report(c, "F Not SVG file"));
    EXPECT_NE(first, std::string::npos) << result.output;
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(third, std::string::npos) << result.output;
    EXPECT_EQ(RunVexoRender(Quote(a) + " " + Quote(b) + " -o x.png").status, 2);
}

// A document with more elements than a picture keeps a recording of: every
// output, and none, reports its messages once, as a small one does; the
// vector outputs are drawn straight from the document.
TEST(VexoRenderCli, BigDocumentsReportOnceWhateverTheOutput)
{
    std::string text = "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='200'>"
                       "<rect width='5' height='5' fill='url(#missing)'/>";
    for (std::size_t i = 0; i < svg::kMaxRecordedElements; ++i)
        text += "<rect x='" + std::to_string(i % 190) + "' y='" + std::to_string(i % 180) + "' width='3' height='3'/>";
    text += "<rect x='150' y='150' width='40' height='40' fill='#ff0000'/></svg>";
    const std::string path = vexo_test::WriteTempFile("cli/big.svg", text);
    const std::string folder = vexo_test::TempDirectory() + "/cli/big/";
    std::filesystem::create_directories(folder);

    const RunResult alone = RunVexoRender(Quote(path));
    ASSERT_EQ(alone.status, 0) << alone.output;
    EXPECT_NE(alone.output.find("url(#missing)"), std::string::npos) << alone.output;
    const struct {
        const char* name;
        const char* magic;
    } kOutputs[] = {{"big.pdf", "%PDF-"}, {"big.svg", "<?xml"}, {"big.ps", "%!PS"}, {"big.png", "\x89PNG"}};
    for (const auto& output : kOutputs) {
        const std::string out = folder + output.name;
        const RunResult result = RunVexoRender(Quote(path) + " -o " + Quote(out));
        EXPECT_EQ(result.status, 0) << output.name;
        EXPECT_EQ(result.output, alone.output) << output.name;
        const std::string written = vexo_test::ReadFile(out);
        EXPECT_EQ(written.substr(0, std::string(output.magic).size()), output.magic) << output.name;
        EXPECT_GT(written.size(), 1000u) << output.name;
    }
    // The last rectangle is drawn, red, in the vector output too.
    const std::string svgOut = vexo_test::ReadFile(folder + "big.svg");
    EXPECT_NE(svgOut.find("rgb(100%,0%,0%)"), std::string::npos);
    const Decoded png = Decode(vexo_test::ReadFile(folder + "big.png"), 170, 170);
    EXPECT_EQ(png.width, 200);
    EXPECT_EQ(png.red, 255);
    EXPECT_EQ(png.alpha, 255);
}

// Text, style sheet transforms and raster images each open their libraries
// when a document first needs them; an empty document opens none of them.
TEST(VexoRenderCli, LibrariesAreOpenedWhenADocumentFirstNeedsThem)
{
    namespace soname = svg::soname;
    const std::vector<const char*> all = {soname::kHarfBuzz, soname::kFriBidi, soname::kXslt,
                                          soname::kExslt,    soname::kJpeg,    soname::kGif,
                                          soname::kTiff,     soname::kWebp,    soname::kLcms2};
    vexo_test::WriteTempFile("cli/lazy/identity.xsl",
                             "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                             "<xsl:template match='@*|node()'><xsl:copy><xsl:apply-templates select='@*|node()'/>"
                             "</xsl:copy></xsl:template></xsl:stylesheet>");
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                            "width='20' height='20'>";
    const struct {
        const char* name;
        std::string document;
        std::vector<const char*> opened;
    } cases[] = {
        {"shapes", svg + "<rect width='5' height='5'/></svg>", {}},
        {"text", svg + "<text y='15'>Hi</text></svg>", {soname::kHarfBuzz}},
        {"bidi", svg + "<text y='15'>Hi \u05E9\u05DC\u05D5\u05DD</text></svg>", {soname::kHarfBuzz, soname::kFriBidi}},
        {"xslt", "<?xml-stylesheet type='text/xsl' href='identity.xsl'?>" + svg + "</svg>",
         {soname::kXslt, soname::kExslt}},
        {"gif", svg + "<image width='5' height='5' xlink:href='data:image/gif;base64,"
                      "R0lGODlhAQABAIAAAP///wAAACwAAAAAAQABAAACAkQBADs='/></svg>",
         {soname::kGif}},
    };
    for (const auto& test : cases) {
        const std::string path = vexo_test::WriteTempFile(std::string("cli/lazy/") + test.name + ".svg", test.document);
        const RunResult result = RunVexoRender(Quote(path) + " -o " + Quote(path + ".png"), "2>&1", "LD_DEBUG=files");
        EXPECT_EQ(result.status, 0) << test.name << result.output;
        EXPECT_EQ(result.output.find(" E "), std::string::npos) << test.name << result.output;
        for (const char* library : all) {
            const bool needed = std::find(test.opened.begin(), test.opened.end(), library) != test.opened.end();
            EXPECT_EQ(result.output.find(std::string("file=") + library + " ") != std::string::npos, needed)
                << test.name << ": " << library;
        }
    }
}
