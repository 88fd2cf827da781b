// The system font lookup against the fonts the build machine installs
// (DejaVu and Liberation).
#include <gtest/gtest.h>

#include <string>

#include "text/font_lookup.h"

using svg::SystemFaceMetrics;
using svg::FaceMetrics;
using svg::SetInterfaceFontFamily;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void ExpectSaneMetrics(const FaceMetrics& face)
{
    EXPECT_FALSE(face.file.empty());
    EXPECT_GT(face.unitsPerEm, 0);
    // Latin x-heights lie around half an em, cap heights around 0.7 em.
    EXPECT_GT(face.xHeight / face.unitsPerEm, 0.35);
    EXPECT_LT(face.xHeight / face.unitsPerEm, 0.65);
    EXPECT_GT(face.capHeight, face.xHeight);
    EXPECT_LT(face.capHeight, face.unitsPerEm);
}

}  // namespace

TEST(FontLookup, GenericFamiliesResolveToInstalledFaces)
{
    for (const char* generic : {"serif", "sans-serif", "monospace"}) {
        SCOPED_TRACE(generic);
        const FaceMetrics& face = SystemFaceMetrics::Instance().FindFace(generic, 400, 1);
        EXPECT_FALSE(face.family.empty());
        ExpectSaneMetrics(face);
    }
    EXPECT_NE(SystemFaceMetrics::Instance().FindFace("serif", 400, 1).family,
              SystemFaceMetrics::Instance().FindFace("monospace", 400, 1).family);
}

TEST(FontLookup, MetricsComeFromTheFont)
{
    // Liberation Serif has 2048 units per em and an x-height of 940 in its
    // OS/2 table; DejaVu Sans (version 1 OS/2) is measured on its glyphs.
    const FaceMetrics& liberation = SystemFaceMetrics::Instance().FindFace("Liberation Serif", 400, 1);
    EXPECT_EQ(liberation.family, "Liberation Serif");
    EXPECT_EQ(liberation.unitsPerEm, 2048);
    EXPECT_NEAR(liberation.xHeight, 940, 40);
    ExpectSaneMetrics(liberation);

    const FaceMetrics& dejaVu = SystemFaceMetrics::Instance().FindFace("DejaVu Sans", 400, 1);
    EXPECT_EQ(dejaVu.family, "DejaVu Sans");
    EXPECT_EQ(dejaVu.unitsPerEm, 2048);
    EXPECT_NEAR(dejaVu.xHeight, 1120, 10);
    EXPECT_NEAR(dejaVu.capHeight, 1493, 10);
}

TEST(FontLookup, MissingFamilyFallsBackToTheDefaultFace)
{
    const FaceMetrics& missing = SystemFaceMetrics::Instance().FindFace("NoSuchFont", 400, 1);
    const FaceMetrics& byDefault = SystemFaceMetrics::Instance().FindFace("", 400, 1);
    EXPECT_EQ(missing.file, byDefault.file);
    EXPECT_NE(missing.family, "NoSuchFont");
    ExpectSaneMetrics(missing);
}

TEST(FontLookup, FamilyListIsTriedInOrder)
{
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("NoSuchFont, Liberation Serif", 400, 1).family, "Liberation Serif");
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("'No, Such Font' , \"DejaVu Serif\",Liberation Sans", 400, 1).family,
              "DejaVu Serif");
    // Family names are not case-sensitive.
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("liberation mono", 400, 1).family, "Liberation Mono");
}

TEST(FontLookup, ConfiguredAliasesCountAsInstalled)
{
    // fontconfig binds Arial to its metric-compatible Liberation Sans.
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("Arial, DejaVu Serif", 400, 1).family, "Liberation Sans");
}

TEST(FontLookup, WeightAndStylePickTheMatchingFace)
{
    const FaceMetrics& regular = SystemFaceMetrics::Instance().FindFace("Liberation Serif", 400, 1);
    const FaceMetrics& bold = SystemFaceMetrics::Instance().FindFace("Liberation Serif", 700, 1);
    const FaceMetrics& italic = SystemFaceMetrics::Instance().FindFace("Liberation Serif", 400, 2);
    EXPECT_TRUE(Contains(bold.file, "Bold")) << bold.file;
    EXPECT_FALSE(Contains(regular.file, "Bold")) << regular.file;
    EXPECT_TRUE(Contains(italic.file, "Italic")) << italic.file;
    EXPECT_NE(bold.file, italic.file);
}

TEST(FontLookup, ReleaseForgetsAndRefindsFaces)
{
    const std::string file = SystemFaceMetrics::Instance().FindFace("sans-serif", 400, 1).file;
    SystemFaceMetrics::Instance().Release();
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("sans-serif", 400, 1).file, file);
}

TEST(FontLookup, WindowsInterfaceFacesMapToTheDesktopFontThenAJapaneseGothic)
{
    // fonts-ipafont-gothic is among the build's packages.
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("'MS UI Gothic'", 400, 1).family, "IPAGothic");
    SetInterfaceFontFamily("DejaVu Sans");
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("'MS UI Gothic', serif", 400, 1).family, "DejaVu Sans");
    SetInterfaceFontFamily("");
    EXPECT_EQ(SystemFaceMetrics::Instance().FindFace("MS Shell Dlg", 400, 1).family, "IPAGothic");
}
