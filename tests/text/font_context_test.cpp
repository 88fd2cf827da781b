// The metrics a load's fonts give property resolution, against the fonts the
// build machine installs (DejaVu and Liberation).
#include <gtest/gtest.h>

#include <string>

#include "text/font_context.h"

using svg::CDocOptions;
using svg::CFontContext;
using svg::FaceMetrics;
using svg::FontStyle;

namespace {

void ExpectSaneMetrics(const FaceMetrics& face)
{
    EXPECT_FALSE(face.family.empty());
    EXPECT_GT(face.unitsPerEm, 0);
    // Latin x-heights lie around half an em, cap heights around 0.7 em.
    EXPECT_GT(face.xHeight / face.unitsPerEm, 0.35);
    EXPECT_LT(face.xHeight / face.unitsPerEm, 0.65);
    EXPECT_GT(face.capHeight, face.xHeight);
    EXPECT_LT(face.capHeight, face.unitsPerEm);
}

std::string Family(CFontContext& fonts, std::string_view list)
{
    return fonts.Metrics(list, 400, FontStyle::Normal).family;
}

}  // namespace

TEST(FontContext, GenericFamiliesResolveToInstalledFaces)
{
    CFontContext fonts{CDocOptions{}};
    for (const char* generic : {"serif", "sans-serif", "monospace"}) {
        SCOPED_TRACE(generic);
        ExpectSaneMetrics(fonts.Metrics(generic, 400, FontStyle::Normal));
    }
    EXPECT_NE(Family(fonts, "serif"), Family(fonts, "monospace"));
}

TEST(FontContext, MetricsComeFromTheFont)
{
    // Liberation Serif has 2048 units per em and an x-height of 940 in its
    // OS/2 table; DejaVu Sans (version 1 OS/2) is measured on its glyphs.
    CFontContext fonts{CDocOptions{}};
    const FaceMetrics liberation = fonts.Metrics("Liberation Serif", 400, FontStyle::Normal);
    EXPECT_EQ(liberation.family, "Liberation Serif");
    EXPECT_EQ(liberation.unitsPerEm, 2048);
    EXPECT_NEAR(liberation.xHeight, 940, 40);
    ExpectSaneMetrics(liberation);

    const FaceMetrics dejaVu = fonts.Metrics("DejaVu Sans", 400, FontStyle::Normal);
    EXPECT_EQ(dejaVu.family, "DejaVu Sans");
    EXPECT_EQ(dejaVu.unitsPerEm, 2048);
    EXPECT_NEAR(dejaVu.xHeight, 1120, 10);
    EXPECT_NEAR(dejaVu.capHeight, 1493, 10);
    ExpectSaneMetrics(fonts.Metrics("Liberation Serif", 700, FontStyle::Italic));
}

TEST(FontContext, MissingFamilyFallsBackToTheDefaultFace)
{
    CFontContext fonts{CDocOptions{}};
    EXPECT_EQ(Family(fonts, "NoSuchFont"), Family(fonts, ""));
    EXPECT_NE(Family(fonts, "NoSuchFont"), "NoSuchFont");
    ExpectSaneMetrics(fonts.Metrics("NoSuchFont", 400, FontStyle::Normal));
}

TEST(FontContext, FamilyListIsTriedInOrder)
{
    CFontContext fonts{CDocOptions{}};
    EXPECT_EQ(Family(fonts, "NoSuchFont, Liberation Serif"), "Liberation Serif");
    EXPECT_EQ(Family(fonts, "'No, Such Font' , \"DejaVu Serif\",Liberation Sans"), "DejaVu Serif");
    // Family names are not case-sensitive.
    EXPECT_EQ(Family(fonts, "liberation mono"), "Liberation Mono");
}

TEST(FontContext, ConfiguredAliasesCountAsInstalled)
{
    // fontconfig binds Arial to its metric-compatible Liberation Sans.
    CFontContext fonts{CDocOptions{}};
    EXPECT_EQ(Family(fonts, "Arial, DejaVu Serif"), "Liberation Sans");
}

TEST(FontContext, WindowsInterfaceFacesMapToTheDesktopFontThenAJapaneseGothic)
{
    // fonts-ipafont-gothic is among the build's packages.
    CFontContext plain{CDocOptions{}};
    EXPECT_EQ(Family(plain, "'MS UI Gothic'"), "IPAGothic");
    EXPECT_EQ(Family(plain, "MS Shell Dlg"), "IPAGothic");
    CDocOptions options;
    options.desktop.interfaceFontFamily = "DejaVu Sans";
    CFontContext desktop(options);
    EXPECT_EQ(Family(desktop, "'MS UI Gothic', serif"), "DejaVu Sans");
}

TEST(FontContext, NothingStartsUntilAskedFor)
{
    CFontContext fonts{CDocOptions{}};
    EXPECT_FALSE(fonts.Pool().SystemFontsStarted());
    EXPECT_TRUE(fonts.AlternateFamilies().find("Arial") != std::string::npos);
    Family(fonts, "serif");
    EXPECT_TRUE(fonts.Pool().SystemFontsStarted());
}
