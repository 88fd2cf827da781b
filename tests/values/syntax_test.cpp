#include <gtest/gtest.h>

#include "values/keywords.h"
#include "values/syntax.h"

using namespace svg;

namespace {

AspectRatio Aspect(std::string_view text)
{
    AspectRatio ratio;
    EXPECT_TRUE(ParseAspectRatio(text, ratio)) << text;
    return ratio;
}

std::optional<UnicodeRange> Range(std::string_view text)
{
    std::size_t pos = 0;
    return ParseUnicodeRange(text, pos);
}

void ExpectRange(std::string_view text, std::uint32_t first, std::uint32_t last)
{
    const std::optional<UnicodeRange> range = Range(text);
    ASSERT_TRUE(range) << text;
    EXPECT_EQ(range->first, first) << text;
    EXPECT_EQ(range->last, last) << text;
}

}  // namespace

TEST(UrlParse, ReferenceAndFallback)
{
    const std::optional<UrlValue> plain = ParseUrl("url(#a)");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->reference, "#a");
    EXPECT_EQ(plain->fallback, "");
    const std::optional<UrlValue> quoted = ParseUrl("url( ' other.svg#b ' )  red ");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->reference, "other.svg#b");
    EXPECT_EQ(quoted->fallback, "red");
    for (const char* text : {"url(#a", "#a", "URL(#a)"})
        EXPECT_FALSE(ParseUrl(text)) << text;
}

TEST(AspectRatioParse, AlignmentDeferAndSlice)
{
    EXPECT_EQ(Aspect("xMaxYMax slice").align, AspectAlign::XMaxYMax);
    EXPECT_TRUE(Aspect("xMaxYMax slice").slice);
    EXPECT_TRUE(Aspect("defer xMinYMin").defer);
    EXPECT_EQ(Aspect("defer xMinYMin").align, AspectAlign::XMinYMin);
    EXPECT_EQ(Aspect("xMidYMin").align, AspectAlign::XMidYMin);
    EXPECT_EQ(Aspect("xMaxYMid").align, AspectAlign::XMaxYMid);
    EXPECT_EQ(Aspect("xmidymid").align, AspectAlign::XMidYMid);
    EXPECT_EQ(Aspect("bogus slice").align, AspectAlign::XMidYMid);
    EXPECT_TRUE(Aspect("bogus slice").slice);
    EXPECT_FALSE(Aspect("xMinYMin meet").slice);
    EXPECT_EQ(Aspect("none slice").align, AspectAlign::None);
    EXPECT_FALSE(Aspect("none slice").slice);
    EXPECT_EQ(Aspect("").align, AspectAlign::XMidYMid);
    // Min, Mid and Max put no, half and all of the free space first.
    EXPECT_EQ(AlignXPosition(AspectAlign::XMaxYMin), 2);
    EXPECT_EQ(AlignYPosition(AspectAlign::XMaxYMin), 0);
    EXPECT_EQ(AlignYPosition(AspectAlign::XMinYMid), 1);

    AspectRatio ratio{true, AspectAlign::XMinYMin, true};
    EXPECT_FALSE(ParseAspectRatio(" defer ", ratio));
    EXPECT_EQ(ratio.align, AspectAlign::XMidYMid);
    EXPECT_FALSE(ratio.defer);
}

TEST(UnicodeRangeParse, Forms)
{
    ExpectRange("U+0041-005A", 0x41, 0x5A);
    ExpectRange("U+4??", 0x400, 0x4FF);
    ExpectRange("u+41", 0x41, 0x41);
    ExpectRange("  U+ 41 - 5a", 0x41, 0x5A);
    ExpectRange("U+FFFFFFFFFFFF", 0xFFFFFFFF, 0xFFFFFFFF);
    ExpectRange("U+FFFFF?????????", 0xFFFFFFFF, 0xFFFFFFFF);
    for (const char* text : {"U+", "U+-5", "U+41-", "41"})
        EXPECT_FALSE(Range(text)) << text;
}

TEST(UnicodeRangeParse, ListEndsAtFirstBadEntry)
{
    const std::vector<UnicodeRange> ranges = ParseUnicodeRangeList("U+0-7F, U+400-4FF U+20??,,U+41, x, U+42");
    ASSERT_EQ(ranges.size(), 4u);
    EXPECT_EQ(ranges[1].first, 0x400u);
    EXPECT_EQ(ranges[2].last, 0x20FFu);
    EXPECT_EQ(ranges[3].first, 0x41u);
    EXPECT_TRUE(ParseUnicodeRangeList("").empty());
}

TEST(ViewBoxParse, NumbersAndTheirCount)
{
    LengthContext context;
    context.viewport = {0, 0, 200, 100};
    const ViewBoxValue four = ParseViewBox("0,10 50% 50%", context);
    EXPECT_EQ(four.count, 4u);
    EXPECT_EQ(four.box, (RectF{0, 10, 100, 50}));
    EXPECT_EQ(ParseViewBox("0 0 100", context).count, 3u);
    const ViewBoxValue five = ParseViewBox("1 2 3 4 5", context);
    EXPECT_EQ(five.count, 5u);
    EXPECT_EQ(five.box, (RectF{1, 2, 3, 4}));
}

TEST(KeywordSets, KnownWordsAndOthers)
{
    EXPECT_EQ(ParseUnits("userSpaceOnUse"), Units::UserSpaceOnUse);
    EXPECT_FALSE(ParseUnits("UserSpaceOnUse"));  // keywords are case-sensitive
    EXPECT_FALSE(ParseUnits("strokeWidth"));
    EXPECT_EQ(ParseMarkerUnits("strokeWidth"), MarkerUnits::StrokeWidth);
    EXPECT_EQ(ParseFilterInput("StrokePaint"), FilterInput::StrokePaint);
    EXPECT_FALSE(ParseFilterInput("blur1"));  // a result's name
    EXPECT_EQ(ParseEdgeMode("none"), EdgeMode::None);
    EXPECT_EQ(ParseCompositeOperator("arithmetic"), CompositeOperator::Arithmetic);
    EXPECT_FALSE(ParseCompositeOperator("none"));
    EXPECT_EQ(ParseBaseline("use-script"), Baseline::UseScript);
    EXPECT_FALSE(ParseBaseline("none"));
    EXPECT_EQ(ParseBoolean("true"), true);
    EXPECT_EQ(ParseBoolean("false"), false);
    EXPECT_FALSE(ParseBoolean("yes"));
    EXPECT_EQ(ParseColorMatrixType("luminanceToAlpha"), ColorMatrixType::LuminanceToAlpha);
    EXPECT_EQ(ParseColorInterpolation("auto"), ColorInterpolation::SRGB);
    EXPECT_EQ(ParseColorRendering("auto"), ColorRendering::OptimizeQuality);
    EXPECT_EQ(ParseSpreadMethod("reflect"), SpreadMethod::Reflect);
    EXPECT_EQ(ParseFillRule("evenodd"), FillRule::EvenOdd);
}

TEST(KeywordSets, EnableBackground)
{
    const EnableBackground region = ParseEnableBackground(" NEW 0 0 100 50");
    EXPECT_TRUE(region.isNew);
    EXPECT_EQ(region.region, (RectF{0, 0, 100, 50}));
    EXPECT_TRUE(ParseEnableBackground("new").isNew);
    EXPECT_FALSE(ParseEnableBackground("new").region);
    EXPECT_FALSE(ParseEnableBackground("accumulate").isNew);
    // Anything but `new` alone or with four numbers of positive size is an
    // invalid value, which leaves accumulate.
    for (const char* invalid : {"new 0 0 10", "new 10 10 20 30 40", "new 10 10 20 -30", "new 0 0 0 10", "newer",
                                "new 0 0 10 10 x"})
        EXPECT_FALSE(ParseEnableBackground(invalid).isNew) << invalid;
}
