#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "values/color.h"

using namespace svg;

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// The SVG 1.1 colour keyword names.
constexpr const char* kKeywordNames =
    "aliceblue antiquewhite aqua aquamarine azure beige bisque black blanchedalmond blue blueviolet brown "
    "burlywood cadetblue chartreuse chocolate coral cornflowerblue cornsilk crimson cyan darkblue darkcyan "
    "darkgoldenrod darkgray darkgreen darkgrey darkkhaki darkmagenta darkolivegreen darkorange darkorchid "
    "darkred darksalmon darkseagreen darkslateblue darkslategray darkslategrey darkturquoise darkviolet "
    "deeppink deepskyblue dimgray dimgrey dodgerblue firebrick floralwhite forestgreen fuchsia gainsboro "
    "ghostwhite gold goldenrod gray green greenyellow grey honeydew hotpink indianred indigo ivory khaki "
    "lavender lavenderblush lawngreen lemonchiffon lightblue lightcoral lightcyan lightgoldenrodyellow "
    "lightgray lightgreen lightgrey lightpink lightsalmon lightseagreen lightskyblue lightslategray "
    "lightslategrey lightsteelblue lightyellow lime limegreen linen magenta maroon mediumaquamarine "
    "mediumblue mediumorchid mediumpurple mediumseagreen mediumslateblue mediumspringgreen mediumturquoise "
    "mediumvioletred midnightblue mintcream mistyrose moccasin navajowhite navy oldlace olive olivedrab "
    "orange orangered orchid palegoldenrod palegreen paleturquoise palevioletred papayawhip peachpuff peru "
    "pink plum powderblue purple red rosybrown royalblue saddlebrown salmon sandybrown seagreen seashell "
    "sienna silver skyblue slateblue slategray slategrey snow springgreen steelblue tan teal thistle tomato "
    "turquoise violet wheat white whitesmoke yellow yellowgreen";

}  // namespace

TEST(ColorParse, HexDigits)
{
    EXPECT_EQ(ParseColor("#fff"), kWhite);
    EXPECT_EQ(ParseColor("#ff0000"), kRed);
    EXPECT_EQ(ParseColor("#A1b2C3"), (Rgb{0xa1, 0xb2, 0xc3}));
    EXPECT_EQ(ParseColor("#abc;junk"), (Rgb{0xaa, 0xbb, 0xcc}));  // read up to the first non-digit
    for (const char* text : {"#ff00", "#12345", "#1234567", "#", "#ggg"})
        EXPECT_FALSE(ParseColor(text)) << text;
}

TEST(ColorParse, RgbFunction)
{
    EXPECT_EQ(ParseColor("rgb(100%, 0%, 0%)"), kRed);
    EXPECT_EQ(ParseColor("rgb(300,-5,0)"), kRed);
    EXPECT_EQ(ParseColor("rgb( 10 20 ,30 )"), (Rgb{10, 20, 30}));
    EXPECT_EQ(ParseColor("rgb(127.9,0,0)"), (Rgb{127, 0, 0}));        // numbers truncate
    EXPECT_EQ(ParseColor("rgb(50%,20%,0.2%)"), (Rgb{128, 51, 1}));  // percentages round
    for (const char* text : {"rgb(1,2,3", "rgb(1,2)", "rgb(1,2,3,)"})
        EXPECT_FALSE(ParseColor(text)) << text;
    EXPECT_EQ(ParseColor("RGB(1,2,3)"), (Rgb{1, 2, 3}));
    EXPECT_EQ(ParseColor("Rgb(100%, 0%, 0%)"), kRed);
}

TEST(ColorParse, KeywordsIgnoreCase)
{
    EXPECT_EQ(ParseColor("RED"), kRed);
    EXPECT_EQ(ParseColor("Red"), kRed);
    EXPECT_EQ(ParseColor(" red "), kRed);
    EXPECT_EQ(ParseColor("darkgoldenrod"), (Rgb{0xb8, 0x86, 0x0b}));
    EXPECT_EQ(ParseColor("LightGoldenrodYellow"), (Rgb{0xfa, 0xfa, 0xd2}));
    EXPECT_EQ(ParseColor("aliceblue"), (Rgb{240, 248, 255}));
    EXPECT_EQ(ParseColor("yellowgreen"), (Rgb{154, 205, 50}));
    EXPECT_FALSE(ParseColor("none"));  // not white: stop-color="none" is invalid
    for (const char* text : {"currentColor", "redd", ""})
        EXPECT_FALSE(ParseColor(text)) << text;
}

TEST(ColorParse, AllKeywordsKnown)
{
    std::istringstream names(kKeywordNames);
    std::vector<std::string> list;
    for (std::string name; names >> name;) {
        EXPECT_TRUE(ParseColor(name)) << name;
        list.push_back(name);
    }
    EXPECT_EQ(list.size(), 147u);
    EXPECT_TRUE(std::ranges::is_sorted(list));
}

TEST(ColorParse, SystemColors)
{
    EXPECT_EQ(ParseColor("ButtonFace"), (Rgb{0xef, 0xef, 0xef}));
    EXPECT_EQ(ParseColor("buttonface"), ParseColor("BUTTONFACE"));
    EXPECT_EQ(ParseColor("Highlight"), (Rgb{0x35, 0x84, 0xe4}));
    EXPECT_EQ(ParseColor("InfoBackground"), (Rgb{0xff, 0xff, 0xdc}));
    EXPECT_EQ(ParseColor("windowtext"), (Rgb{0, 0, 0}));

    // ThreeDFace is the button face colour under another name.
    SystemPalette desktop;
    ASSERT_TRUE(desktop.Set("buttonFACE", Rgb{1, 2, 3}));
    EXPECT_EQ(ParseColor("ThreeDFace", desktop), (Rgb{1, 2, 3}));
    EXPECT_EQ(ParseColor("ThreeDFace"), (Rgb{0xef, 0xef, 0xef}));  // the default palette is untouched
    EXPECT_FALSE(desktop.Set("red", kRed));
}
