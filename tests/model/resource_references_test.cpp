// Every kind of reference a document makes to a file, against hostile and
// odd files: a FIFO, a device and a folder are refused before anything is
// read (a FIFO would otherwise block the load for ever, a device feed it
// without end), and files outside the document's folder are not loaded
// unless the options allow them. Each load here must end; none may hang.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "model/references.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const char* const kXlink = "xmlns:xlink='http://www.w3.org/1999/xlink'";

// One way a document names a file. `main` is the main document with REF
// where the reference goes; `helper`, when given, is a file written beside it
// (HELPER names it in `main`) that makes the reference itself. `content` is
// what the referenced file holds when it is a real one, and `effect` a
// message that shows it was used.
struct ReferenceKind {
    const char* name;
    const char* extension;
    std::string main;
    std::string helper;
    std::string content;
    std::string effect;
    char severity;        // of "is not a regular file"
    bool location;        // the message names the line and column
    bool shownAbsolute;   // the message names the absolute path, not REF as written
};

const std::string kOutsideSvg = "<svg><script/></svg>";
const std::string kXslHead = "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>";

std::vector<ReferenceKind> Kinds()
{
    return {
        {"use of another document", ".svg", std::string("<svg ") + kXlink + "><use xlink:href='REF#a'/></svg>", "",
         kOutsideSvg, "W script NOT supported at 1(6)", 'F', true, false},
        {"SVG image", ".svg",
         std::string("<svg ") + kXlink + "><image width='1' height='1' xlink:href='REF'/></svg>", "", kOutsideSvg,
         "W script NOT supported at 1(6)", 'F', true, true},
        {"raster image", ".png",
         std::string("<svg ") + kXlink + "><image width='1' height='1' xlink:href='REF'/></svg>", "", "not a png",
         "I Loading Image file 'REF'", 'E', true, false},
        {"xml-stylesheet CSS", ".css", "<?xml-stylesheet href='REF'?><svg/>", "", "@page {}",
         "W NOT support '@page'", 'E', true, false},
        {"xml-stylesheet XSLT", ".xsl", "<?xml-stylesheet type='text/xsl' href='REF'?><svg/>", "",
         kXslHead + "<xsl:template match='/'><svg><script/></svg></xsl:template></xsl:stylesheet>",
         "W script NOT supported at 0(0)", 'E', true, false},
        {"CSS @import", ".css", "<svg><style>@import url(REF);</style></svg>", "", "@page {}",
         "W NOT support '@page'", 'E', false, false},
        {"color-profile", ".icc", std::string("<svg ") + kXlink + "><color-profile xlink:href='REF'/></svg>", "",
         "not a profile", "E color-profile xlink:href=\"REF\" open failed at 1(49)", 'E', true, false},
        {"XSLT document()", ".xml", "<?xml-stylesheet type='text/xsl' href='HELPER'?><svg/>",
         kXslHead + "<xsl:template match='/'><svg><xsl:for-each select=\"document('REF')/*\"><script/>"
                    "</xsl:for-each></svg></xsl:template></xsl:stylesheet>",
         "<data/>", "W script NOT supported at 0(0)", 'E', true, true},
        {"xsl:import", ".xsl", "<?xml-stylesheet type='text/xsl' href='HELPER'?><svg/>",
         kXslHead + "<xsl:import href='REF'/></xsl:stylesheet>",
         kXslHead + "<xsl:template match='/'><svg><script/></svg></xsl:template></xsl:stylesheet>",
         "W script NOT supported at 0(0)", 'E', true, true},
        {"@font-face font", ".ttf",
         "<svg><style>@font-face { font-family: F; src: url(REF); }</style><text font-family='F'>x</text></svg>", "",
         "not a font", "E font-face-uri=\"REF\" : NOT found or Unsupported format", 'E', false, false},
        {"font-face-uri font", ".ttf",
         std::string("<svg ") + kXlink +
             "><font-face font-family='F'><font-face-src><font-face-uri xlink:href='REF'/></font-face-src>"
             "</font-face><text font-family='F'>x</text></svg>",
         "", "not a font", "E font-face-uri=\"REF\" : NOT found or Unsupported format at 1(91)", 'E', true, false},
    };
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class ResourceReferencesTest : public ::testing::Test {
protected:
    // A folder of its own for each case: its main document, and a folder
    // beside it for files outside.
    std::string NewFolder(const std::string& name)
    {
        const std::string folder = vexo_test::TempDirectory() + "/refs/" + std::to_string(++cases_) + "-" + name;
        fs::create_directories(folder + "/home");
        fs::create_directories(folder + "/outside");
        return folder;
    }

    // Loads kind's main document from `home` with REF replaced by
    // `reference`; returns the load's messages.
    std::unique_ptr<vexo_test::TestLoad> Load(const ReferenceKind& kind, const std::string& home,
                                              const std::string& reference, svg::FileAccess access = {})
    {
        std::string main = Replace(kind.main, "REF", reference);
        if (!kind.helper.empty()) {
            vexo_test::WriteTempFile(home.substr(vexo_test::TempDirectory().size() + 1) + "/helper.xsl",
                                     Replace(kind.helper, "REF", reference));
            main = Replace(main, "HELPER", "helper.xsl");
        }
        const std::string path = home + "/main.svg";
        vexo_test::WriteTempFile(path.substr(vexo_test::TempDirectory().size() + 1), main);
        svg::CDocOptions options;
        options.fileAccess = std::move(access);
        auto load = std::make_unique<vexo_test::TestLoad>(options);
        load->LoadFile(path);
        return load;
    }

    // The message that names `reference` as `kind` shows it.
    static std::string Shown(const ReferenceKind& kind, const std::string& home, const std::string& reference)
    {
        return kind.shownAbsolute ? svg::MakeFullPath(reference, home + "/") : reference;
    }

    static std::string Located(const ReferenceKind& kind, const std::string& text)
    {
        if (!kind.location)
            return text;
        // The reference sits in the first element (or instruction) after
        // the root's start: line 1, at the column its markup starts.
        return text + " at 1(";
    }

private:
    int cases_ = 0;
};

}  // namespace

TEST_F(ResourceReferencesTest, FifoDeviceAndFolderAreRefusedByEveryKind)
{
    for (const ReferenceKind& kind : Kinds()) {
        const std::string folder = NewFolder("special");
        const std::string home = folder + "/home";
        const std::string fifo = std::string("pipe") + kind.extension;
        ASSERT_EQ(::mkfifo((home + "/" + fifo).c_str(), 0600), 0);
        const std::string device = std::string("zero") + kind.extension;
        fs::create_symlink("/dev/zero", home + "/" + device);
        const std::string directory = std::string("folder") + kind.extension;
        fs::create_directories(home + "/" + directory);
        for (const std::string& reference : {fifo, device, directory}) {
            SCOPED_TRACE(std::string(kind.name) + " naming " + reference);
            // Any file may be read, so that the device is not refused for its place.
            const auto load = Load(kind, home, reference, {true, {}});
            const std::string expected = Located(
                kind, std::string(1, kind.severity) + " File '" + Shown(kind, home, reference) +
                          "' is not a regular file: NOT read");
            EXPECT_TRUE(load->HasMessagePrefix(expected)) << ::testing::PrintToString(load->Messages());
        }
    }
}

TEST_F(ResourceReferencesTest, FilesOutsideTheFolderNeedTheAllowOptions)
{
    for (const ReferenceKind& kind : Kinds()) {
        const std::string folder = NewFolder("outside");
        const std::string home = folder + "/home";
        const std::string reference = std::string("../outside/thing") + kind.extension;
        vexo_test::WriteTempFile(folder.substr(vexo_test::TempDirectory().size() + 1) + "/outside/thing" +
                                     kind.extension,
                                 kind.content);
        const std::string refused = Located(
            kind, "W File '" + Shown(kind, home, reference) + "' is outside the document's folder: NOT loaded");
        const std::string effect = Replace(kind.effect, "REF", reference);
        struct Access {
            const char* what;
            svg::FileAccess access;
            bool allowed;
        };
        const Access accesses[] = {
            {"by default", {}, false},
            {"with the folder allowed", {false, {folder + "/outside"}}, true},
            {"with any file allowed", {true, {}}, true},
        };
        for (const Access& access : accesses) {
            SCOPED_TRACE(std::string(kind.name) + " " + access.what);
            const auto load = Load(kind, home, reference, access.access);
            const std::string messages = ::testing::PrintToString(load->Messages());
            EXPECT_EQ(load->HasMessagePrefix(refused), !access.allowed) << messages;
            EXPECT_EQ(load->HasMessage(effect), access.allowed) << messages;
            EXPECT_EQ(load->Context().RefusedFiles().empty(), access.allowed) << messages;
        }
    }
}
