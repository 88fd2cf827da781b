#include <gtest/gtest.h>

#include "model/elem.h"
#include "test_support.h"
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
    EXPECT_FALSE(ParseUrl("url(#a"));
    EXPECT_FALSE(ParseUrl("#a"));
    EXPECT_FALSE(ParseUrl("URL(#a)"));
}

TEST(AspectRatioParse, AlignmentDeferAndSlice)
{
    EXPECT_EQ(Aspect("xMaxYMax slice").align, 9);
    EXPECT_TRUE(Aspect("xMaxYMax slice").slice);
    EXPECT_TRUE(Aspect("defer xMinYMin").defer);
    EXPECT_EQ(Aspect("defer xMinYMin").align, 1);
    EXPECT_EQ(Aspect("xMidYMin").align, 4);
    EXPECT_EQ(Aspect("xMaxYMid").align, 8);
    EXPECT_EQ(Aspect("xmidymid").align, 5);
    EXPECT_EQ(Aspect("bogus slice").align, 5);
    EXPECT_TRUE(Aspect("bogus slice").slice);
    EXPECT_FALSE(Aspect("xMinYMin meet").slice);
    EXPECT_EQ(Aspect("none slice").align, 0);
    EXPECT_FALSE(Aspect("none slice").slice);
    EXPECT_EQ(Aspect("").align, 5);

    AspectRatio ratio{true, 1, true};
    EXPECT_FALSE(ParseAspectRatio(" defer ", ratio));
    EXPECT_EQ(ratio.align, 5);
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
    EXPECT_FALSE(Range("U+"));
    EXPECT_FALSE(Range("U+-5"));
    EXPECT_FALSE(Range("U+41-"));
    EXPECT_FALSE(Range("41"));
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

class ViewBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vexo_test::ResetGlobalState();
        elem.line = 3;
        elem.column = 7;
        elem.viewport = {0, 0, 200, 100};
    }
    void TearDown() override { vexo_test::ResetGlobalState(); }
    CElem elem{"svg", nullptr};
    RectF box;
};

TEST_F(ViewBoxTest, FourNumbers)
{
    elem.attributes.Set("viewBox", "0,10 50% 50%");
    ASSERT_TRUE(ParseViewBox(elem, box));
    EXPECT_EQ(box, (RectF{0, 10, 100, 50}));
    EXPECT_TRUE(vexo_test::Messages().empty());
}

TEST_F(ViewBoxTest, WrongCountIsReported)
{
    EXPECT_FALSE(ParseViewBox(elem, box));
    elem.attributes.Set("viewBox", "0 0 100");
    EXPECT_FALSE(ParseViewBox(elem, box));
    EXPECT_TRUE(vexo_test::HasMessage("E svg viewBox=\"0 0 100\" :Invalid value at 3(7)"));
    elem.attributes.Set("viewBox", "1 2 3 4 5");
    ASSERT_TRUE(ParseViewBox(elem, box));
    EXPECT_EQ(box, (RectF{1, 2, 3, 4}));
    EXPECT_TRUE(vexo_test::HasMessage("E svg viewBox=\"1 2 3 4 5\" :Invalid value at 3(7)"));
    EXPECT_EQ(vexo_test::Messages().size(), 2u);
}

TEST(KeywordSets, CodesAbsentAndUnknown)
{
    const std::string userSpace = "userSpaceOnUse", wrongCase = "UserSpaceOnUse", result = "blur1";
    EXPECT_EQ(ParseUnitsKeyword(nullptr), 0);
    EXPECT_EQ(ParseUnitsKeyword(&userSpace), 1);
    EXPECT_EQ(ParseUnitsKeyword(&wrongCase), -1000);
    EXPECT_EQ(ParseFilterInput(nullptr), -1);
    EXPECT_EQ(ParseFilterInput(&result), -1000);
    const std::string strokePaint = "StrokePaint", none = "none", arithmetic = "arithmetic";
    EXPECT_EQ(ParseFilterInput(&strokePaint), 6);
    EXPECT_EQ(ParseEdgeMode(nullptr, 7), 7);
    EXPECT_EQ(ParseEdgeMode(&none, 1), 3);
    EXPECT_EQ(ParseEdgeMode(&result, 1), 0);
    EXPECT_EQ(ParseCompositeOperator(&arithmetic), 6);
    EXPECT_EQ(ParseCompositeOperator(nullptr), 1);
    EXPECT_EQ(ParseCompositeOperator(&none), 0);
    const std::string useScript = "use-script", trueText = "true", luminance = "luminanceToAlpha";
    EXPECT_EQ(ParseBaseline(&useScript), 18);
    EXPECT_EQ(ParseBaseline(&none), -1000);
    EXPECT_EQ(ParseBoolean(&trueText), 1);
    EXPECT_EQ(ParseColorMatrixType(&luminance), 4);
    EXPECT_EQ(ParseTransferType(nullptr, 1), 1);
}

TEST(KeywordSets, EnableBackground)
{
    const std::string newRegion = " NEW 0 0 100 50", plainNew = "new", accumulate = "accumulate";
    const EnableBackground region = ParseEnableBackground(&newRegion);
    EXPECT_EQ(region.code, 0);
    EXPECT_EQ(region.region, (std::vector<double>{0, 0, 100, 50}));
    EXPECT_EQ(ParseEnableBackground(&plainNew).code, 0);
    EXPECT_TRUE(ParseEnableBackground(&plainNew).region.empty());
    EXPECT_EQ(ParseEnableBackground(&accumulate).code, 1);
    EXPECT_EQ(ParseEnableBackground(nullptr).code, 1);
}
