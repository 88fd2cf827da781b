// The `style` attribute and the `font` shorthand, read into single properties.
#include <gtest/gtest.h>

#include "model/doc_options.h"
#include "model/elem.h"
#include "style/style_sheets.h"

using namespace svg;

namespace {

std::string Value(const CAttributeMap& attributes, std::string_view name)
{
    const std::string* value = attributes.Value(name);
    return value ? *value : "<missing>";
}

const DesktopStyle kDesktop;

TEST(StyleAttribute, DeclarationsWithoutColonOrNameAreSkipped)
{
    CAttributeMap attributes;
    css::CStyleDeclarationReader(kDesktop)
        .ReadStyle("opacity:0.5;:orphan; ;fill:url(http://host/a.svg#p) red;stroke", attributes);
    EXPECT_EQ(attributes.Size(), 2u);
    EXPECT_EQ(Value(attributes, "opacity"), "0.5");
    EXPECT_EQ(Value(attributes, "fill"), "url(http://host/a.svg#p) red");
}

TEST(StyleAttribute, OnlyPropertiesAndTheMarkerShorthand)
{
    CAttributeMap attributes;
    css::CStyleDeclarationReader(kDesktop)
        .ReadStyle("x: 5; Marker: url(#m); fill: red !important; width:3", attributes);
    EXPECT_FALSE(attributes.Contains("x"));  // `style="x: 5"` must not move a shape
    EXPECT_FALSE(attributes.Contains("width"));
    EXPECT_FALSE(attributes.Contains("marker"));
    for (const char* longhand : {"marker-start", "marker-mid", "marker-end"})
        EXPECT_EQ(Value(attributes, longhand), "url(#m)") << longhand;
    EXPECT_EQ(Value(attributes, "fill"), "red");
}

TEST(FontShorthand, FollowsCssOrder)
{
    CAttributeMap attributes;
    EXPECT_TRUE(css::ParseFontShorthand("bold 12px Arial, sans-serif", kDesktop, attributes));
    EXPECT_EQ(Value(attributes, "font-weight"), "bold");
    EXPECT_EQ(Value(attributes, "font-style"), "normal");
    EXPECT_EQ(Value(attributes, "font-variant"), "normal");
    EXPECT_EQ(Value(attributes, "font-size"), "12px");
    EXPECT_EQ(Value(attributes, "font-family"), "Arial, sans-serif");

    CAttributeMap full;
    EXPECT_TRUE(css::ParseFontShorthand(" small-caps italic 700 1.5em/2 'Times New Roman', serif ", kDesktop, full));
    EXPECT_EQ(Value(full, "font-style"), "italic");
    EXPECT_EQ(Value(full, "font-variant"), "small-caps");
    EXPECT_EQ(Value(full, "font-weight"), "700");
    EXPECT_EQ(Value(full, "font-size"), "1.5em");
    EXPECT_EQ(Value(full, "font-family"), "'Times New Roman', serif");

    CAttributeMap spaced;
    EXPECT_TRUE(css::ParseFontShorthand("12px / 14px Times New Roman", kDesktop, spaced));
    EXPECT_EQ(Value(spaced, "font-size"), "12px");
    EXPECT_EQ(Value(spaced, "font-family"), "Times New Roman");
}

TEST(FontShorthand, InvalidStoresNothing)
{
    for (const char* value : {"Arial", "12px", "bold", "heavy 12px Arial", "", "/2 serif"}) {
        CAttributeMap attributes;
        EXPECT_FALSE(css::ParseFontShorthand(value, kDesktop, attributes)) << value;
        EXPECT_TRUE(attributes.Empty()) << value;
    }
}

TEST(FontShorthand, SystemFontKeywordsAreTheDesktops)
{
    CAttributeMap attributes;
    EXPECT_TRUE(css::ParseFontShorthand("status-bar", kDesktop, attributes));
    EXPECT_EQ(Value(attributes, "font-size"), "11");
    EXPECT_EQ(Value(attributes, "font-family"), "sans-serif");

    DesktopStyle desktop;
    ASSERT_TRUE(desktop.SetSystemFont("menu", "Cantarell", 14, true, true));
    EXPECT_FALSE(desktop.SetSystemFont("tooltip", "x", 1, false, false));
    EXPECT_TRUE(css::ParseFontShorthand("menu", desktop, attributes));
    EXPECT_EQ(Value(attributes, "font-family"), "Cantarell");
    EXPECT_EQ(Value(attributes, "font-size"), "14");
    EXPECT_EQ(Value(attributes, "font-weight"), "bold");
    EXPECT_EQ(Value(attributes, "font-style"), "italic");
}

}  // namespace
