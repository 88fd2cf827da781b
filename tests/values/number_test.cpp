#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <numbers>
#include <string>

#include "values/number.h"

using namespace svg;

namespace {

void ExpectNumber(std::string_view text, double value, Unit unit, std::size_t end)
{
    std::size_t pos = 0;
    const std::optional<Number> number = ParseNumber(text, pos);
    ASSERT_TRUE(number) << text;
    EXPECT_DOUBLE_EQ(number->value, value) << text;
    EXPECT_EQ(number->unit, unit) << text;
    EXPECT_EQ(pos, end) << text;
}

void ExpectInvalid(std::string_view text)
{
    std::size_t pos = 0;
    EXPECT_FALSE(ParseNumber(text, pos)) << text;
    EXPECT_EQ(pos, 0u) << text;
}

double UserUnits(std::string_view text, const LengthContext& context = {})
{
    return ToUserUnits(*ParseNumber(text), context);
}

}  // namespace

TEST(NumberParse, UnknownUnitIsLeftUnread)
{
    ExpectNumber("10px", 10, Unit::User, 4);
    ExpectNumber("10", 10, Unit::User, 2);
    ExpectNumber("10foo", 10, Unit::User, 2);
    ExpectNumber("10PX", 10, Unit::User, 2);  // units are case-sensitive
    ExpectNumber("  -2.5 ", -2.5, Unit::User, 6);
}

TEST(NumberParse, ExponentOrUnit)
{
    ExpectNumber("1e3", 1000, Unit::User, 3);
    ExpectNumber("1E-2", 0.01, Unit::User, 4);
    ExpectNumber("+.5e+1", 5, Unit::User, 6);
    ExpectNumber("2em", 2, Unit::Em, 3);
    ExpectNumber("3ex", 3, Unit::Ex, 3);
    ExpectNumber("2.em", 2, Unit::Em, 4);
    ExpectInvalid("1e");
    ExpectInvalid("1e+");
    ExpectNumber("1ex5", 1, Unit::Ex, 3);  // "e" and a letter end the number
}

TEST(NumberParse, StateMachineEdges)
{
    ExpectInvalid("1.5.5");
    ExpectInvalid("1e5.5");
    ExpectInvalid("-");
    ExpectInvalid("+-1");
    ExpectInvalid("");
    ExpectInvalid("   ");
    ExpectInvalid("e5");
    ExpectInvalid("-e5");
    ExpectNumber("5.", 5, Unit::User, 2);
    ExpectNumber(".", 0, Unit::User, 1);
    ExpectNumber("-.5", -0.5, Unit::User, 3);
    ExpectNumber("1-2", 1, Unit::User, 1);  // a sign after digits starts the next number
    ExpectNumber("1.5+2", 1.5, Unit::User, 3);
    ExpectNumber("1e5-3", 1e5, Unit::User, 3);
}

TEST(NumberParse, Units)
{
    ExpectNumber("1pt", 1, Unit::Pt, 3);
    ExpectNumber("1pc", 1, Unit::Pc, 3);
    ExpectNumber("1mm", 1, Unit::Mm, 3);
    ExpectNumber("1cm", 1, Unit::Cm, 3);
    ExpectNumber("1in", 1, Unit::In, 3);
    ExpectNumber("1deg", 1, Unit::Deg, 4);
    ExpectNumber("1dex", 1, Unit::Deg, 4);  // "de" decides, three characters go
    ExpectNumber("1de", 1, Unit::Deg, 3);   // never past the end
    ExpectNumber("1rad", 1, Unit::Rad, 4);
    ExpectNumber("1grad", 1, Unit::Grad, 5);
    ExpectNumber("1Hz", 1, Unit::Hz, 3);
    ExpectNumber("1kHz", 1, Unit::KHz, 4);
    ExpectNumber("1ms", 1, Unit::KHz, 3);
    ExpectNumber("50%", 50, Unit::Percent, 3);
}

TEST(NumberParse, OverflowStaysFinite)
{
    ExpectNumber("1e99999999999", FLT_MAX, Unit::User, 13);
    ExpectNumber("-1e400", -FLT_MAX, Unit::User, 6);
    ExpectNumber("1e39", FLT_MAX, Unit::User, 4);
    ExpectNumber("1e-99999999999", 0, Unit::User, 14);
    ExpectNumber("1e-400", 0, Unit::User, 6);

    const std::string zeros(399, '0');
    ExpectNumber("1" + zeros, FLT_MAX, Unit::User, 400);
    ExpectNumber("0." + zeros + "1e400", 1, Unit::User, 406);
    ExpectNumber("1" + zeros + "e-399", 1, Unit::User, 405);
    ExpectNumber("0000" + zeros + "1e-400", 0, Unit::User, 409);  // leading zeros are no magnitude
    ExpectNumber("123456789012345678901234567890", 1.2345678901234568e29, Unit::User, 30);
}

TEST(NumberList, SeparatorsAndEnd)
{
    std::vector<Number> numbers;
    EXPECT_EQ(ParseNumberList(" 10,20 30 , 40% ", numbers), 4u);
    EXPECT_EQ(numbers[3].unit, Unit::Percent);
    numbers.clear();
    EXPECT_EQ(ParseNumberList("1-2-.5", numbers), 3u);
    EXPECT_DOUBLE_EQ(numbers[2].value, -0.5);
    numbers.clear();
    EXPECT_EQ(ParseNumberList("1,,2", numbers), 1u);
    EXPECT_EQ(ParseNumberList("1 2 x 3", numbers), 2u);
    EXPECT_EQ(ParseNumberList("", numbers), 0u);
    EXPECT_EQ(numbers.size(), 3u);
}

TEST(UserUnits, AbsoluteUnitsAt96Dpi)
{
    EXPECT_DOUBLE_EQ(UserUnits("1in"), 96);
    EXPECT_DOUBLE_EQ(UserUnits("72pt"), 96);
    EXPECT_DOUBLE_EQ(UserUnits("1pc"), 16);
    EXPECT_DOUBLE_EQ(UserUnits("25.4mm"), 96);
    EXPECT_DOUBLE_EQ(UserUnits("2.54cm"), 96);
    EXPECT_DOUBLE_EQ(UserUnits("7%"), 7);
    EXPECT_DOUBLE_EQ(UserUnits("7deg"), 7);
    EXPECT_FLOAT_EQ(static_cast<float>(UserUnits("1e38in")), FLT_MAX);
}

TEST(UserUnits, FontRelativeUnits)
{
    EXPECT_DOUBLE_EQ(UserUnits("2em"), 31);
    EXPECT_DOUBLE_EQ(UserUnits("2ex"), 10);
    LengthContext text;
    text.fontSize = 12;
    text.xHeight = 6;
    EXPECT_DOUBLE_EQ(UserUnits("2em", text), 24);
    EXPECT_DOUBLE_EQ(UserUnits("2ex", text), 12);
    text.dpi = 72;
    EXPECT_DOUBLE_EQ(UserUnits("1in", text), 72);
}

TEST(UserUnits, PercentagesOfTheViewport)
{
    LengthContext elem;
    const LengthContext noElement;
    elem.viewport = {10, 20, 200, 100};
    const Number half{Unit::Percent, 50};
    EXPECT_DOUBLE_EQ(ResolveLength(half, PercentRule::HorizontalPosition, elem), 110);
    EXPECT_DOUBLE_EQ(ResolveLength(half, PercentRule::HorizontalPosition, noElement), 400);
    EXPECT_DOUBLE_EQ(ResolveLength(half, PercentRule::VerticalPosition, elem), 70);
    EXPECT_DOUBLE_EQ(ResolveLength(half, PercentRule::HorizontalSize, elem), 100);
    EXPECT_DOUBLE_EQ(ResolveLength(half, PercentRule::VerticalSize, noElement), 300);

    elem.viewport = {0, 0, 300, 400};
    const Number whole{Unit::Percent, 100};
    EXPECT_DOUBLE_EQ(ResolveLength(whole, PercentRule::Diagonal, elem), 500 / std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(ResolveLength(whole, PercentRule::Diagonal, noElement), 1000 / std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(ResolveLength(Number{Unit::In, 1}, PercentRule::Diagonal, elem), 96);
}

TEST(UserUnits, Angles)
{
    EXPECT_DOUBLE_EQ(ToDegrees(Number{Unit::Rad, std::numbers::pi}), 180);
    EXPECT_DOUBLE_EQ(ToDegrees(Number{Unit::Grad, 100}), 90);
    EXPECT_DOUBLE_EQ(ToDegrees(Number{Unit::Deg, 45}), 45);
    EXPECT_DOUBLE_EQ(ToDegrees(Number{Unit::User, 45}), 45);
}
