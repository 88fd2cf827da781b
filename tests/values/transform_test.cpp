#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "values/matrix.h"

using namespace svg;

namespace {

struct Point {
    double x;
    double y;
};

Point Apply(const Matrix& m, Point p) { return {p.x * m.m11 + p.y * m.m21 + m.dx, p.x * m.m12 + p.y * m.m22 + m.dy}; }

void ExpectPoint(Point actual, double x, double y)
{
    EXPECT_NEAR(actual.x, x, 1e-9);
    EXPECT_NEAR(actual.y, y, 1e-9);
}

bool Invalid(std::string_view text)
{
    Matrix m = Matrix::Scale(5, 5);
    return !ParseTransform(text, m) && m.IsIdentity();
}

}  // namespace

TEST(TransformParse, RightmostAppliesFirst)
{
    Matrix m;
    ASSERT_TRUE(ParseTransform("translate(10) scale(2)", m));
    ExpectPoint(Apply(m, {1, 1}), 12, 2);
    ASSERT_TRUE(ParseTransform("scale(2) translate(10)", m));
    ExpectPoint(Apply(m, {1, 1}), 22, 2);
    ExpectPoint(Apply(Matrix::Multiply(Matrix::Translate(10, 0), Matrix::Scale(2, 2)), {1, 1}), 22, 2);
}

TEST(TransformParse, Functions)
{
    Matrix m;
    ASSERT_TRUE(ParseTransform("matrix(1 2 3 4 5 6)", m));
    EXPECT_EQ(m, (Matrix{1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(ParseTransform("translate(10px, 20)", m));  // units are ignored
    EXPECT_EQ(m, Matrix::Translate(10, 20));
    ASSERT_TRUE(ParseTransform("scale(2 3)", m));
    EXPECT_EQ(m, Matrix::Scale(2, 3));
    ASSERT_TRUE(ParseTransform("rotate(90)", m));
    ExpectPoint(Apply(m, {1, 0}), 0, 1);
    ASSERT_TRUE(ParseTransform("rotate(30 50 50)", m));
    ExpectPoint(Apply(m, {50, 50}), 50, 50);
    ExpectPoint(Apply(m, {60, 50}), 50 + 10 * std::cos(std::numbers::pi / 6), 50 + 10 * std::sin(std::numbers::pi / 6));
    ASSERT_TRUE(ParseTransform("skewX(45)", m));
    ExpectPoint(Apply(m, {0, 1}), 1, 1);
    ASSERT_TRUE(ParseTransform("skewY(45)", m));
    ExpectPoint(Apply(m, {1, 0}), 1, 1);
}

TEST(TransformParse, SeparatorsAndTrailingText)
{
    Matrix m;
    ASSERT_TRUE(ParseTransform("translate(10,20) , scale(2)", m));
    ExpectPoint(Apply(m, {1, 1}), 12, 22);
    ASSERT_TRUE(ParseTransform(" scale( 2 ) 5 6", m));  // text that is not a name is ignored
    EXPECT_EQ(m, Matrix::Scale(2, 2));
    ASSERT_TRUE(ParseTransform("scale(2),,", m));
}

TEST(TransformParse, InvalidLists)
{
    for (const char* text :
         {"", "  ", "rotate(30 50)", "translate(10) rotate(30 50)", "matrix(1 0 0 1)", "translate(1 2 3)",
          "scale(1 2 3 4 5 6 7)", "Scale(2)", "scale(2) foo", "scale(2", "scale 2", "scale(1e)", "skewX()"})
        EXPECT_TRUE(Invalid(text)) << text;
}
