// Faces from font bytes: TrueType, WOFF made here with zlib, collections,
// and broken or hostile files refused with a status.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/limits.h"
#include "base/stop_token.h"
#include "model/file_io.h"
#include "text/font_face_sfnt.h"
#include "text/font_file.h"
#include "text/font_pool.h"
#include "text/font_test_support.h"
#include "text/glyph.h"
#include "text/sfnt_font.h"

namespace svg {
namespace {

using test::ReadBytes;

std::shared_ptr<CFontFace> Install(CFontPool& pool, const std::vector<std::uint8_t>& bytes,
                                   FontInstallStatus expected = FontInstallStatus::Installed)
{
    EXPECT_EQ(pool.InstallFontData({"Test", 0, 0, {}}, "", bytes, ""), expected);
    return pool.FindFace("Test", FaceQuery{}, false);
}

// The advance and outline size of 'H', to compare faces of one font.
std::pair<float, std::size_t> Signature(const CFontFace& face)
{
    CGlyph glyph;
    glyph.glyphIndex = face.Sfnt()->GlyphForChar(U'H');
    CGraphicsPath path;
    face.AddGlyphOutline(glyph, {0, 0}, 100, path);
    return {face.Sfnt()->HAdvance(glyph.glyphIndex), path.Size()};
}

TEST(FontFile, TrueTypeFromMemoryTakesItsStyleFromTheFont)
{
    CFontPool pool;
    const auto face = Install(pool, ReadBytes(test::kLiberationSansBold));
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->Kind(), FaceKind::Src);
    EXPECT_EQ(face->family, "Test") << "a file face answers to its declared family";
    EXPECT_EQ(face->weightMask, WeightBit(700));
    EXPECT_EQ(face->style, FontStyleBits::kNormal);
    EXPECT_EQ(face->unitsPerEm, 2048);
    EXPECT_GT(face->ascent, 0);
    EXPECT_GT(face->descent, 0);
    // Declared descriptors win over the font's own.
    ASSERT_EQ(pool.InstallFontData({"Declared", FontStyleBits::kItalic, WeightBit(300), {}}, "",
                                   ReadBytes(test::kLiberationSansBold), "opentype"),
              FontInstallStatus::Installed);
    const auto declared = pool.FindFace("Declared", FaceQuery{FontStyleBits::kItalic, 300, 1, 1}, false);
    EXPECT_EQ(declared->style, FontStyleBits::kItalic);
    EXPECT_FALSE(declared->syntheticSlant);
    EXPECT_EQ(declared->weightMask, WeightBit(300));
}

TEST(FontFile, WoffReadsLikeItsSfnt)
{
    const std::vector<std::uint8_t> ttf = ReadBytes(test::kDejaVuSans);
    CFontPool pool;
    ASSERT_EQ(pool.InstallFontData({"Plain", 0, 0, {}}, "", ttf, ""), FontInstallStatus::Installed);
    ASSERT_EQ(pool.InstallFontData({"Packed", 0, 0, {}}, "", test::MakeWoff(ttf), "woff"), FontInstallStatus::Installed);
    ASSERT_EQ(pool.InstallFontData({"Stored", 0, 0, {}}, "", test::MakeWoff(ttf, false), "woff"),
              FontInstallStatus::Installed);
    const auto plain = Signature(*pool.FindFace("Plain", FaceQuery{}, false));
    EXPECT_GT(plain.second, 4u);
    EXPECT_EQ(Signature(*pool.FindFace("Packed", FaceQuery{}, false)), plain);
    EXPECT_EQ(Signature(*pool.FindFace("Stored", FaceQuery{}, false)), plain);
}

TEST(FontFile, CollectionsGiveOneFacePerFontInOrder)
{
    const std::vector<std::uint8_t> collection =
        test::MakeCollection({ReadBytes(test::kLiberationSans), ReadBytes(test::kLiberationSansBold)});
    EXPECT_EQ(CheckFontData(collection).container, FontContainer::Collection);
    CFontPool pool;
    ASSERT_EQ(pool.InstallFontData({"Pair", 0, 0, {}}, "pair.ttc", collection, "truetype"), FontInstallStatus::Installed);
    ASSERT_EQ(pool.Faces().size(), 2u);
    const auto& first = static_cast<const CFontFaceSrc&>(*pool.Faces()[0]);
    const auto& second = static_cast<const CFontFaceSrc&>(*pool.Faces()[1]);
    EXPECT_EQ(first.index, 0);
    EXPECT_EQ(first.weightMask, WeightBit(400));
    EXPECT_EQ(second.index, 1);
    EXPECT_EQ(second.weightMask, WeightBit(700));
    EXPECT_EQ(pool.FindFace("Pair", FaceQuery{1, 700, 1, 1}, false).get(), &second);
}

TEST(FontFile, BrokenFontsAreRefusedWithAStatus)
{
    const std::vector<std::uint8_t> ttf = ReadBytes(test::kLiberationSans);
    std::vector<std::uint8_t> truncated(ttf.begin(), ttf.begin() + static_cast<std::ptrdiff_t>(ttf.size() / 2));
    std::vector<std::uint8_t> badDirectory = ttf;
    test::WriteU32(badDirectory, 12 + 8, 0x7FFFFFF0);  // first table far past the end
    std::vector<std::uint8_t> noise(4096);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 7919 + 13);
    std::vector<std::uint8_t> noisyTables = ttf;  // a valid directory over garbage tables
    for (std::size_t i = 12 + 16 * 20; i < noisyTables.size(); ++i)
        noisyTables[i] = static_cast<std::uint8_t>(i * 31);
    std::vector<std::uint8_t> truncatedWoff = test::MakeWoff(ttf);
    truncatedWoff.resize(truncatedWoff.size() - 100);
    const std::vector<std::uint8_t> collectionOfOne = test::MakeCollection({ttf});
    std::vector<std::uint8_t> badCollection = collectionOfOne;
    test::WriteU32(badCollection, 12, 0x10000000);  // the font's offset beyond the data

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        FontInstallStatus status;
    };
    const Case cases[] = {
        {"empty", {}, FontInstallStatus::NotAFont},
        {"noise", noise, FontInstallStatus::NotAFont},
        {"truncated", truncated, FontInstallStatus::Corrupt},
        {"table outside the file", badDirectory, FontInstallStatus::Corrupt},
        {"garbage tables", noisyTables, FontInstallStatus::Corrupt},
        {"truncated woff", truncatedWoff, FontInstallStatus::Corrupt},
        {"collection pointing outside", badCollection, FontInstallStatus::Corrupt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFontPool pool;
        EXPECT_EQ(pool.InstallFontData({"Broken", 0, 0, {}}, "", c.bytes, ""), c.status);
        EXPECT_TRUE(pool.Faces().empty());
    }
}

TEST(FontFile, DeclaredSizesAreBounded)
{
    const std::vector<std::uint8_t> woff = test::MakeWoff(ReadBytes(test::kLiberationSans));
    // A header declaring a 3 GB font, and one whose table claims more than
    // the font it belongs to.
    std::vector<std::uint8_t> bomb = woff;
    test::WriteU32(bomb, 16, 0xC0000000);
    std::vector<std::uint8_t> overflowingTable = woff;
    test::WriteU32(overflowingTable, 44 + 12, 0x01000000);
    // A WOFF2 header declaring a 1 GB font.
    std::vector<std::uint8_t> woff2(48, 0);
    test::WriteU32(woff2, 0, 0x774F4632);
    test::WriteU32(woff2, 8, 48);
    woff2[13] = 1;
    test::WriteU32(woff2, 16, 0x40000000);
    // A collection of a hundred fonts, and one declaring four billion.
    const std::vector<std::uint8_t> manyFonts = test::MakeCollection({ReadBytes(test::kLiberationSans)}, 100);
    std::vector<std::uint8_t> billions = test::MakeCollection({ReadBytes(test::kLiberationSans)});
    test::WriteU32(billions, 8, 0xFFFFFFFF);

    CFontPool pool;
    EXPECT_EQ(pool.InstallFontData({"Bomb", 0, 0, {}}, "", bomb, "woff"), FontInstallStatus::TooLarge);
    EXPECT_EQ(pool.InstallFontData({"Bomb", 0, 0, {}}, "", overflowingTable, "woff"), FontInstallStatus::Corrupt);
    EXPECT_EQ(pool.InstallFontData({"Bomb", 0, 0, {}}, "", woff2, "woff2"), FontInstallStatus::TooLarge);
    EXPECT_EQ(pool.InstallFontData({"Bomb", 0, 0, {}}, "", std::vector<std::uint8_t>(limits::kMaxFontFileBytes + 1), ""),
              FontInstallStatus::TooLarge);
    EXPECT_EQ(pool.InstallFontData({"Many", 0, 0, {}}, "", billions, ""), FontInstallStatus::Corrupt);
    EXPECT_TRUE(pool.Faces().empty());
    EXPECT_EQ(CheckFontData(manyFonts).faces, static_cast<int>(limits::kMaxFacesPerCollection));
    EXPECT_EQ(pool.InstallFontData({"Many", 0, 0, {}}, "", manyFonts, ""), FontInstallStatus::Installed);
    EXPECT_EQ(pool.Faces().size(), limits::kMaxFacesPerCollection);
}

TEST(FontFile, FormatHintsDecideWhatIsRead)
{
    const std::vector<std::uint8_t> ttf = ReadBytes(test::kLiberationSans);
    struct Case {
        const char* format;
        FontInstallStatus status;
    };
    const Case cases[] = {
        {"truetype", FontInstallStatus::Installed},
        {"woff", FontInstallStatus::Installed},  // the hint does not have to match the bytes
        {"opentype,truetype", FontInstallStatus::Installed},
        {"'truetype'", FontInstallStatus::Installed},
        {"svg", FontInstallStatus::SvgFont},
        {"embedded-opentype", FontInstallStatus::UnsupportedFormat},
        {"bogus", FontInstallStatus::UnsupportedFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        CFontPool pool;
        EXPECT_EQ(pool.InstallFontData({"F", 0, 0, {}}, "", ttf, c.format), c.status);
    }
}

TEST(FontFile, FilesAreReadOncePerPool)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "vexo_font_file_test.woff";
    {
        const std::vector<std::uint8_t> woff = test::MakeWoff(ReadBytes(test::kLiberationSans));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(woff.data()),
                                                    static_cast<std::streamsize>(woff.size()));
    }
    // Reads plain files; the load's confinement is the caller's.
    const FontFileReader read = [](const std::string& fullPath, std::vector<std::uint8_t>& bytes) {
        std::string text;
        if (ReadFileBytes(fullPath, limits::kMaxFontFileBytes, CStopToken::Never(), text) != ReadStatus::Ok)
            return false;
        bytes.assign(text.begin(), text.end());
        return true;
    };
    CFontPool pool;
    EXPECT_EQ(pool.InstallFontFile({"One", 0, 0, {}}, path.string() + "#fragment", "", read),
              FontInstallStatus::Installed);
    std::filesystem::remove(path);
    EXPECT_EQ(pool.InstallFontFile({"Two", 0, 0, {}}, path.string(), "", read), FontInstallStatus::Installed)
        << "the second install uses the bytes already read";
    EXPECT_EQ(pool.InstallFontFile({"Three", 0, 0, {}}, "/no/such/dir/font.ttf", "", read), FontInstallStatus::NotFound);
    EXPECT_EQ(pool.InstallFontFile({"Four", 0, 0, {}}, "/no/such/dir/font.svg#f", "", read), FontInstallStatus::SvgFont);
    pool.Clear();
    EXPECT_EQ(pool.InstallFontFile({"One", 0, 0, {}}, path.string(), "", read), FontInstallStatus::NotFound)
        << "an emptied pool forgets the file";
}

TEST(FontFile, LocalFontsByFullNameOrFamily)
{
    CFontPool pool;
    EXPECT_EQ(pool.InstallLocalFont({"Heading", 0, 0, {}}, "Liberation Sans Bold"), FontInstallStatus::Installed);
    const auto heading = pool.FindFace("Heading", FaceQuery{}, false);
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->weightMask, WeightBit(700));
    EXPECT_EQ(pool.InstallLocalFont({"Body", 0, 0, {}}, "DejaVu Serif"), FontInstallStatus::Installed);
    EXPECT_EQ(pool.FindFace("Body", FaceQuery{}, false)->weightMask, WeightBit(400));
    EXPECT_EQ(pool.InstallLocalFont({"Gone", 0, 0, {}}, "No Such Font Anywhere"), FontInstallStatus::InstallFailed);
    EXPECT_EQ(pool.FindFace("Gone", FaceQuery{}, false), nullptr);
}

}  // namespace
}  // namespace svg
