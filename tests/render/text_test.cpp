// Text in the drawing: each content element paints its glyphs with its own
// fill, paint servers on a tspan use the box of its text, hidden glyphs keep
// their room, decorations paint with the element that declares them; the
// fonts a document declares (data: and file URLs, SVG fonts by reference)
// and their messages; and fontconfig left alone by documents without text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/picture_probe.h"
#include "text/font_context.h"
#include "text/font_test_support.h"
#include "text/text_layout.h"
#include "text/text_layout_probe.h"

using namespace svg;

namespace {

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kGreen{0, 128, 0, 255};

// Full blocks (U+2588) of DejaVu Sans fill their whole cell: about 15 wide
// and from 21 above the baseline to 5 below it at 20 user units, so blocks
// set from x = 2 cover 2-17, 17-32, 32-47 and 47-62.
const std::string kBlock = "\u2588";

class TextDrawingTest : public vexo_test::PictureProbe {
protected:
    void LoadText(const std::string& text) { LoadAndPaint("<g font-family='DejaVu Sans' font-size='20'>" + text + "</g>"); }
};

TEST_F(TextDrawingTest, EachContentElementPaintsWithItsOwnFill)
{
    LoadText("<text x='2' y='50' fill='blue'>" + kBlock + "<tspan fill='red'>" + kBlock + "</tspan>" + kBlock +
             "</text>");
    EXPECT_EQ(Pixel(9, 40), kBlue);
    EXPECT_EQ(Pixel(24, 40), kRed);
    EXPECT_EQ(Pixel(39, 40), kBlue);
}

TEST_F(TextDrawingTest, PaintServersOnATspanUseTheBoxOfItsText)
{
    // Red on the left half of the text's box, blue on the right: the tspan,
    // the right half of the text, is blue (in its own box it would be both).
    LoadText("<linearGradient id='g'><stop offset='0.5' stop-color='red'/><stop offset='0.5' stop-color='blue'/>"
             "</linearGradient><text x='2' y='50' fill='url(#g)'>" + kBlock + kBlock + "<tspan>" + kBlock + kBlock +
             "</tspan></text>");
    EXPECT_EQ(Pixel(9, 40), kRed);
    EXPECT_EQ(Pixel(39, 40), kBlue);
    EXPECT_EQ(Pixel(54, 40), kBlue);
}

TEST_F(TextDrawingTest, HiddenGlyphsKeepTheirRoom)
{
    LoadText("<text x='2' y='50' fill='blue'>" + kBlock + "<tspan visibility='hidden'>" + kBlock + "</tspan>" + kBlock +
             "</text>");
    EXPECT_EQ(Pixel(9, 40), kBlue);
    EXPECT_TRUE(Empty(24, 40));
    EXPECT_EQ(Pixel(39, 40), kBlue);
}

TEST_F(TextDrawingTest, DecorationsPaintWithTheDeclaringElement)
{
    // The underline lies a little below the baseline (y = 50, where the
    // glyphs end); under the tspan's letter it is green, never red.
    LoadAndPaint("<text x='2' y='50' font-family='DejaVu Sans' font-size='40' fill='green' text-decoration='underline'>"
                 "a<tspan fill='red'>a</tspan></text>");
    bool green = false;
    for (int y = 51; y < 56; ++y) {
        const Rgba pixel = Pixel(36, y);
        EXPECT_EQ(pixel.r, 0) << y;
        green = green || (pixel.g == kGreen.g && pixel.a > 128);
    }
    EXPECT_TRUE(green) << "under the tspan, in the text's paint";
}

TEST_F(TextDrawingTest, TextClipsLikeAnyShape)
{
    LoadAndPaint("<clipPath id='c'><text x='2' y='50' font-family='DejaVu Sans' font-size='20'>" + kBlock +
                 "</text></clipPath><rect width='100' height='100' fill='blue' clip-path='url(#c)'/>");
    EXPECT_EQ(Pixel(9, 40), kBlue);
    EXPECT_TRUE(Empty(24, 40));
}

// --- Declared fonts ----------------------------------------------------------------------

std::string Base64(const std::vector<std::uint8_t>& bytes)
{
    static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t group = std::uint32_t{bytes[i]} << 16 |
                                    (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                    (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        for (int k = 0; k < 4; ++k)
            out += i * 8 + k * 6 < bytes.size() * 8 ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

const std::string kMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

class DeclaredFontTest : public vexo_test::TextLayoutProbe {
protected:
    // In a monospaced face i and W advance alike.
    bool SetInMono(const std::string& id)
    {
        const std::vector<RectF> boxes = Boxes(id);
        return boxes.size() == 2 && std::abs(boxes[0].width - boxes[1].width) < 1e-3;
    }
};

TEST_F(DeclaredFontTest, FontsComeFromDataUrlsAndFilesBesideTheDocument)
{
    const std::string directory = vexo_test::TempDirectory() + "/declared";
    std::filesystem::create_directories(directory + "/fonts");
    std::filesystem::copy_file(kMono, directory + "/fonts/mono.ttf", std::filesystem::copy_options::overwrite_existing);
    const std::string data = "data:font/ttf;base64," + Base64(test::ReadBytes(kMono));
    std::ofstream(directory + "/doc.svg")
        << "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'>"
           "<style>@font-face { font-family: FromData; src: url(" + data + "); }"
           "@font-face { font-family: FromFile; src: url(fonts/mono.ttf#face) format('truetype'); }</style>"
           "<font-face font-family='FromElement'><font-face-src><font-face-uri xlink:href='fonts/mono.ttf'/>"
           "</font-face-src></font-face>"
           "<text id='data' font-family='FromData'>iW</text><text id='file' font-family='FromFile'>iW</text>"
           "<text id='element' font-family='FromElement'>iW</text><text id='none' font-family='Undeclared'>iW</text>"
           "</svg>";
    NewLoad();
    ASSERT_NE(LoadDocument(directory + "/doc.svg"), nullptr);
    EXPECT_TRUE(SetInMono("data"));
    EXPECT_TRUE(SetInMono("file"));
    EXPECT_TRUE(SetInMono("element"));
    EXPECT_FALSE(SetInMono("none"));
    EXPECT_EQ(Current().Log().Counts().errors, 0);
}

TEST_F(DeclaredFontTest, UnusableSourcesAreReportedAndTheListFallsBack)
{
    std::vector<std::uint8_t> truncated = test::ReadBytes(kMono);
    truncated.resize(2000);
    std::vector<std::uint8_t> bomb = test::MakeWoff(test::ReadBytes(kMono));
    test::WriteU32(bomb, 16, 0xF0000000u);  // the declared unpacked size
    Load("<style>@font-face { font-family: Gone; src: url(nothere.woff), local('No Such Face'); }"
         "@font-face { font-family: Broken; src: url(data:font/ttf;base64," + Base64(truncated) + "); }"
         "@font-face { font-family: Bomb; src: url(data:font/woff;base64," + Base64(bomb) + "); }"
         "@font-face { font-family: Odd; src: url(x.fnt) format('bitmap'); }</style>"
         "\n<font-face/><font-face font-family='NoSource'/>"
         "\n<font-face font-family='NoLink'><font-face-src><font-face-uri/></font-face-src></font-face>"
         "\n<font-face font-family='NotFont'><font-face-src><font-face-uri xlink:href='#t'/></font-face-src>"
         "</font-face>"
         "\n<text id='t' font-family='Gone, Broken, Bomb, DejaVu Sans Mono'>iW</text>");
    EXPECT_TRUE(HasMessage("E font-face-uri=\"nothere.woff\" : NOT found or Unsupported format"));
    EXPECT_TRUE(HasMessage("E font \"Gone\" :install failed"));
    EXPECT_TRUE(HasMessage("E font-face-uri=\"data:font/ttf;base64,...\" : NOT found or Unsupported format"));
    EXPECT_TRUE(HasMessage("E font-face-uri=\"data:font/woff;base64,...\" : NOT found or Unsupported format"));
    EXPECT_TRUE(HasMessage("E \"bitmap\" :Unsupported font format"));
    EXPECT_TRUE(HasMessagePrefix("E font-face NOT defined font-family element at 2("));
    EXPECT_TRUE(HasMessagePrefix("E font-face NOT defined font-face-src element at 2("));
    EXPECT_TRUE(HasMessagePrefix("E font-face-uri xlink:href attribute NOT found at 3("));
    EXPECT_TRUE(HasMessagePrefix("E font-face-uri=\"#t\" :NOT refer to font element at 4("));
    EXPECT_TRUE(SetInMono("t")) << "the family list goes on to an installed face";
}

TEST_F(DeclaredFontTest, AnSvgFontAnswersToTheFamilyAFontFaceDeclaresForIt)
{
    Load("<defs><font id='F' horiz-adv-x='500'><font-face font-family='Inner'/><glyph unicode='i'/>"
         "<glyph unicode='W'/></font></defs>"
         "<font-face font-family='Outer'><font-face-src><font-face-uri xlink:href='#F'/></font-face-src></font-face>"
         "<style>@font-face { font-family: Css; src: url(#F) format('svg'); }</style>"
         "<text id='inner' font-family='Inner'>iW</text><text id='outer' font-family='Outer'>iW</text>"
         "<text id='css' font-family='Css'>iW</text>");
    for (const char* id : {"inner", "outer", "css"}) {
        SCOPED_TRACE(id);
        ASSERT_EQ(Boxes(id).size(), 2u);
        EXPECT_FLOAT_EQ(Boxes(id)[1].width, 10) << "500 units at 20";
    }
}

TEST_F(DeclaredFontTest, HundredsOfRulesNamingOneFileReadItOnce)
{
    const std::string directory = vexo_test::TempDirectory() + "/many";
    std::filesystem::create_directories(directory);
    std::filesystem::copy_file(kMono, directory + "/mono.ttf", std::filesystem::copy_options::overwrite_existing);
    std::string rules;
    for (int i = 0; i < 500; ++i)
        rules += "@font-face { font-family: F" + std::to_string(i) + "; src: url(mono.ttf); }";
    std::ofstream(directory + "/doc.svg") << "<svg xmlns='http://www.w3.org/2000/svg'><style>" + rules +
                                                 "</style><text id='t' font-family='F499'>iW</text></svg>";
    NewLoad();
    ASSERT_NE(LoadDocument(directory + "/doc.svg"), nullptr);
    EXPECT_TRUE(SetInMono("t"));
}

TEST_F(DeclaredFontTest, DocumentsWithoutTextLeaveFontconfigAlone)
{
    Load("<rect width='10' height='10'/><g font-family='serif'><circle r='5'/></g>");
    EXPECT_FALSE(Current().Load().Fonts().Pool().SystemFontsStarted());
    Load("<rect width='2ex' height='10'/>");
    EXPECT_TRUE(Current().Load().Fonts().Pool().SystemFontsStarted()) << "ex units ask the face";
    Load("<text>a</text>");
    EXPECT_TRUE(Current().Load().Fonts().Pool().SystemFontsStarted());
}

}  // namespace
