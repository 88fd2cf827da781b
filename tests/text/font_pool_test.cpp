// Face selection against the fonts the build machine installs (DejaVu,
// Liberation, IPAGothic) and against faces installed from memory.
#include <gtest/gtest.h>

#include <string>

#include "text/font_face_sfnt.h"
#include "text/font_pool.h"
#include "text/font_test_support.h"

namespace svg {
namespace {

std::string FileOf(const std::shared_ptr<CFontFace>& face)
{
    const auto* system = dynamic_cast<const CFontFaceSystem*>(face.get());
    return system != nullptr ? system->file : std::string();
}

std::string PlatformFamilyOf(const std::shared_ptr<CFontFace>& face)
{
    const auto* system = dynamic_cast<const CFontFaceSystem*>(face.get());
    return system != nullptr ? system->platformFamily : std::string();
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

FaceQuery Query(std::uint16_t style, int weight, float stretch = 1) { return {style, weight, stretch, 1}; }

TEST(FontPool, CreatingAPoolStartsNoFontService)
{
    CFontPool pool;
    EXPECT_FALSE(pool.SystemFontsStarted());
    FontDeclaration declaration{"Memory", 0, 0, {}};
    EXPECT_EQ(pool.InstallFontData(declaration, "", test::ReadBytes(test::kLiberationSans), ""),
              FontInstallStatus::Installed);
    EXPECT_NE(pool.FindFace("Memory", Query(1, 400), false), nullptr);
    EXPECT_FALSE(pool.SystemFontsStarted()) << "a declared family needs no system look-up";
    EXPECT_NE(pool.FindFace("serif", Query(1, 400), false), nullptr);
    EXPECT_TRUE(pool.SystemFontsStarted());
}

TEST(FontPool, WeightsFollowCssMatching)
{
    struct Case {
        const char* family;
        int weight;
        const char* file;
    };
    // Liberation Sans offers 400 and 700, DejaVu Sans 200, 400 and 700.
    const Case cases[] = {
        {"Liberation Sans", 600, "LiberationSans-Bold.ttf"},    // bold requests go heavier first
        {"Liberation Sans", 300, "LiberationSans-Regular.ttf"}, // light ones lighter, then heavier
        {"Liberation Sans", 500, "LiberationSans-Regular.ttf"}, // 500 takes 400 before anything
        {"Liberation Sans", 900, "LiberationSans-Bold.ttf"},
        {"Liberation Sans", 100, "LiberationSans-Regular.ttf"},
        {"DejaVu Sans", 300, "DejaVuSans-ExtraLight.ttf"},
        {"DejaVu Sans", 400, "DejaVuSans.ttf"},
        {"DejaVu Sans", 650, "DejaVuSans-Bold.ttf"},  // rounded to 700
    };
    CFontPool pool;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.family) + " " + std::to_string(c.weight));
        EXPECT_TRUE(EndsWith(FileOf(pool.FindFace(c.family, Query(1, c.weight), false)), c.file));
    }
}

TEST(FontPool, DeclaredWeightMasksAreScored)
{
    CFontPool pool;
    const std::vector<std::uint8_t> regular = test::ReadBytes(test::kLiberationSans);
    const std::vector<std::uint8_t> bold = test::ReadBytes(test::kLiberationSansBold);
    ASSERT_EQ(pool.InstallFontData({"Pair", 0, 0, {}}, "regular", regular, "truetype"), FontInstallStatus::Installed);
    ASSERT_EQ(pool.InstallFontData({"Pair", 0, 0, {}}, "bold", bold, "truetype"), FontInstallStatus::Installed);
    EXPECT_EQ(pool.FindFace("Pair", Query(1, 600), false)->weightMask, WeightBit(700));
    EXPECT_EQ(pool.FindFace("Pair", Query(1, 300), false)->weightMask, WeightBit(400));
    // A declared weight overrides the font's own; two equal faces keep
    // their order.
    ASSERT_EQ(pool.InstallFontData({"Any", 0, WeightBit(700), {}}, "regular", regular, ""), FontInstallStatus::Installed);
    ASSERT_EQ(pool.InstallFontData({"Any", 0, WeightBit(700), {}}, "bold", bold, ""), FontInstallStatus::Installed);
    const auto chosen = pool.FindFace("Any", Query(1, 700), false);
    EXPECT_EQ(static_cast<const CFontFaceSrc&>(*chosen).source, "regular");
}

TEST(FontPool, ItalicOfAnUprightFamilyIsSlantedOnce)
{
    CFontPool pool;
    const auto upright = pool.FindFace("IPAGothic", Query(FontStyleBits::kNormal, 400), false);
    ASSERT_NE(upright, nullptr);
    EXPECT_FALSE(upright->syntheticSlant);
    const auto italic = pool.FindFace("IPAGothic", Query(FontStyleBits::kItalic, 400), false);
    ASSERT_NE(italic, nullptr);
    EXPECT_TRUE(italic->syntheticSlant);
    EXPECT_EQ(italic->style, FontStyleBits::kItalic);
    EXPECT_EQ(italic->Sfnt(), upright->Sfnt()) << "the slanted face shares the font";
    const std::size_t faces = pool.Faces().size();
    for (int run = 0; run < 5; ++run)
        EXPECT_EQ(pool.FindFace("IPAGothic", Query(FontStyleBits::kItalic, 400), false), italic);
    EXPECT_EQ(pool.Faces().size(), faces) << "no new face per run";
    // An oblique request gets a slant of its own, also made once.
    const auto oblique = pool.FindFace("IPAGothic", Query(FontStyleBits::kOblique, 400), false);
    EXPECT_TRUE(oblique->syntheticSlant);
    EXPECT_NE(oblique, italic);
    EXPECT_EQ(pool.FindFace("IPAGothic", Query(FontStyleBits::kOblique, 400), false), oblique);
}

TEST(FontPool, RealSlantedFacesComeFirst)
{
    CFontPool pool;
    // DejaVu Sans has oblique faces, no italic: an italic request takes the
    // oblique face rather than slanting the upright one.
    const auto italic = pool.FindFace("DejaVu Sans", Query(FontStyleBits::kItalic, 400), false);
    EXPECT_TRUE(EndsWith(FileOf(italic), "DejaVuSans-Oblique.ttf"));
    EXPECT_FALSE(italic->syntheticSlant);
    const auto boldItalic = pool.FindFace("Liberation Serif", Query(FontStyleBits::kItalic, 700), false);
    EXPECT_TRUE(EndsWith(FileOf(boldItalic), "LiberationSerif-BoldItalic.ttf"));
    // Upright requests never take a slanted face while an upright exists.
    EXPECT_TRUE(EndsWith(FileOf(pool.FindFace("Liberation Serif", Query(1, 700), false)), "LiberationSerif-Bold.ttf"));
}

TEST(FontPool, StretchSelectsAmongWidths)
{
    struct Case {
        float stretch;
        const char* file;
    };
    // DejaVu Sans comes in normal and semi-condensed (87.5%) widths.
    const Case cases[] = {
        {1.0f, "DejaVuSans.ttf"},
        {0.8f, "DejaVuSansCondensed.ttf"},   // narrower requests: nearest narrower, else nearest wider
        {0.5f, "DejaVuSansCondensed.ttf"},
        {0.9f, "DejaVuSansCondensed.ttf"},
        {1.5f, "DejaVuSans.ttf"},            // wider requests: nearest wider, else nearest narrower
    };
    CFontPool pool;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stretch);
        EXPECT_TRUE(EndsWith(FileOf(pool.FindFace("DejaVu Sans", Query(1, 400, c.stretch), false)), c.file));
    }
}

TEST(FontPool, GenericAliasAndInterfaceFamilies)
{
    CFontPool pool;
    for (const char* generic : {"serif", "sans-serif", "monospace", "cursive", "fantasy"}) {
        SCOPED_TRACE(generic);
        const auto face = pool.FindFace(generic, Query(1, 400), false);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->family, generic);
        EXPECT_GT(face->unitsPerEm, 0);
    }
    EXPECT_NE(FileOf(pool.FindFace("serif", Query(1, 400), false)),
              FileOf(pool.FindFace("monospace", Query(1, 400), false)));
    // fontconfig binds Arial strongly to its metric twin.
    EXPECT_EQ(PlatformFamilyOf(pool.FindFace("Arial", Query(1, 400), false)), "Liberation Sans");
    EXPECT_EQ(PlatformFamilyOf(pool.FindFace("liberation mono", Query(1, 400), false)), "Liberation Mono");
    EXPECT_EQ(PlatformFamilyOf(pool.FindFace("MS UI Gothic", Query(1, 400), false)), "IPAGothic");

    CFontPool desktop(FontPoolSettings{"Arial", "DejaVu Serif"});
    EXPECT_EQ(PlatformFamilyOf(desktop.FindFace("MS Shell Dlg", Query(1, 400), false)), "DejaVu Serif");
}

TEST(FontPool, UnknownFamiliesFallBack)
{
    CFontPool pool;
    EXPECT_EQ(pool.FindFace("No Such Font", Query(1, 400), false), nullptr);
    EXPECT_FALSE(pool.ExistsSystemFont("No Such Font"));
    EXPECT_TRUE(pool.ExistsSystemFont("Arial"));
    const auto fallback = pool.FindFace("No Such Font", Query(1, 400), true);
    ASSERT_NE(fallback, nullptr);
    const std::string serif = PlatformFamilyOf(pool.FindFace("serif", Query(1, 400), false));
    EXPECT_EQ(PlatformFamilyOf(fallback), serif) << "the default family, serif";
    EXPECT_EQ(PlatformFamilyOf(pool.FindFaceInList("Nope, 'Liberation Serif', serif", Query(1, 400))), "Liberation Serif");
    EXPECT_EQ(PlatformFamilyOf(pool.FindFaceInList("Nope, Neither", Query(1, 400))), serif);
    EXPECT_EQ(PlatformFamilyOf(pool.FindFaceInList("", Query(1, 400))), serif);
    CFontPool arial(FontPoolSettings{"Arial", ""});
    EXPECT_EQ(PlatformFamilyOf(arial.FindFaceInList("Nope", Query(1, 400))), "Liberation Sans");
    // Without the default family installed, fontconfig's own default serves.
    CFontPool bare(FontPoolSettings{"No Such Default", ""});
    EXPECT_NE(bare.FindFaceInList("Nope", Query(1, 400)), nullptr);
}

TEST(FontPool, FamilyListsSplitLikeCss)
{
    struct Case {
        const char* list;
        std::vector<std::string> families;
    };
    const Case cases[] = {
        {"Arial", {"Arial"}},
        {" 'No, Such Font' , \"DejaVu Serif\",Liberation Sans", {"No, Such Font", "DejaVu Serif", "Liberation Sans"}},
        {"Liberation   \t Sans,,serif", {"Liberation Sans", "serif"}},
        {"'unclosed, quote", {"unclosed, quote"}},
        {"", {}},
        {" , ,", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(SplitFamilyList(c.list), c.families);
    }
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "f" + std::to_string(i) + ",";
    EXPECT_EQ(SplitFamilyList(many).size(), 64u) << "bounded";
}

TEST(FontPool, FormatsInferredFromExtensions)
{
    struct Case {
        const char* uri;
        const char* format;
    };
    const Case cases[] = {{"a.ttf", "truetype"}, {"dir/A.TTC", "truetype"}, {"a.otf", "opentype"},
                          {"a.woff", "woff"},    {"a.woff2", "woff2"},     {"fonts.svg#f", "svg"},
                          {"a.woff#x.svg", "woff"}, {"a.pfb", "unknown"},   {"", "unknown"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        EXPECT_EQ(InferFontFormat(c.uri), c.format);
    }
    EXPECT_EQ(StripUriFragment("f.woff#frag#more"), "f.woff");
}

}  // namespace
}  // namespace svg
