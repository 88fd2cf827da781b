#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <numbers>

#include "filter/lighting.h"
#include "filter_test_util.h"

using filter_test::At;
using filter_test::Never;
using svg::LightType;
using svg::PackPixel;
using svg::PixelRect;

namespace {

// SVG 1.1's nine normal kernels, tabulated as SVG gives them:
// factor x, Kx, factor y, Ky for top-left, top, top-right, left, interior,
// right, bottom-left, bottom, bottom-right.
struct NormalKernel {
    double factorX;
    int kx[3][3];
    double factorY;
    int ky[3][3];
};

const NormalKernel kKernels[3][3] = {
    {{2.0 / 3, {{0, 0, 0}, {0, -2, 2}, {0, -1, 1}}, 2.0 / 3, {{0, 0, 0}, {0, -2, -1}, {0, 2, 1}}},
     {1.0 / 3, {{0, 0, 0}, {-2, 0, 2}, {-1, 0, 1}}, 1.0 / 2, {{0, 0, 0}, {-1, -2, -1}, {1, 2, 1}}},
     {2.0 / 3, {{0, 0, 0}, {-2, 2, 0}, {-1, 1, 0}}, 2.0 / 3, {{0, 0, 0}, {-1, -2, 0}, {1, 2, 0}}}},
    {{1.0 / 2, {{0, -1, 1}, {0, -2, 2}, {0, -1, 1}}, 1.0 / 3, {{0, -2, -1}, {0, 0, 0}, {0, 2, 1}}},
     {1.0 / 4, {{-1, 0, 1}, {-2, 0, 2}, {-1, 0, 1}}, 1.0 / 4, {{-1, -2, -1}, {0, 0, 0}, {1, 2, 1}}},
     {1.0 / 2, {{-1, 1, 0}, {-2, 2, 0}, {-1, 1, 0}}, 1.0 / 3, {{-1, -2, 0}, {0, 0, 0}, {1, 2, 0}}}},
    {{2.0 / 3, {{0, -1, 1}, {0, -2, 2}, {0, 0, 0}}, 2.0 / 3, {{0, -2, -1}, {0, 2, 1}, {0, 0, 0}}},
     {1.0 / 3, {{-1, 0, 1}, {-2, 0, 2}, {0, 0, 0}}, 1.0 / 2, {{-1, -2, -1}, {1, 2, 1}, {0, 0, 0}}},
     {2.0 / 3, {{-1, 1, 0}, {-2, 2, 0}, {0, 0, 0}}, 2.0 / 3, {{-1, -2, 0}, {1, 2, 0}, {0, 0, 0}}}},
};

// Diffuse light from a distant source through the tabulated kernels.
std::unique_ptr<svg::CRtBitmap> ReferenceDiffuse(const svg::CRtBitmap& in, double surfaceScale, double kd,
                                                 double azimuthDeg, double elevationDeg)
{
    const PixelRect& r = in.Rect();
    const double az = azimuthDeg * std::numbers::pi / 180, el = elevationDeg * std::numbers::pi / 180;
    const double l[3] = {std::cos(az) * std::cos(el), std::sin(az) * std::cos(el), std::sin(el)};
    auto out = svg::CRtBitmap::Create(r, false);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const int row = y == 0 ? 0 : y == r.height - 1 ? 2 : 1;
            const int column = x == 0 ? 0 : x == r.width - 1 ? 2 : 1;
            const NormalKernel& k = kKernels[row][column];
            double sx = 0, sy = 0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) {
                    const double alpha = svg::PixelAlpha(in.PixelAt(r.x + x + j - 1, r.y + y + i - 1)) / 255.0;
                    sx += k.kx[i][j] * alpha;
                    sy += k.ky[i][j] * alpha;
                }
            double n[3] = {-surfaceScale * k.factorX * sx, -surfaceScale * k.factorY * sy, 1};
            const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + 1);
            const double dot = std::max(0.0, (n[0] * l[0] + n[1] * l[1] + n[2] * l[2]) / length);
            const auto v = static_cast<std::uint32_t>(std::lround(std::min(1.0, kd * dot) * 255));
            out->Row(y)[x] = PackPixel(255, v, v, v);
        }
    return out;
}

svg::LightSource PointLight(float x, float y, float z)
{
    svg::LightSource light;
    light.type = LightType::Point;
    light.xPx = x;
    light.yPx = y;
    light.zPx = z;
    return light;
}

// A spot light at (x, y, z) aimed at (toX, toY, 0).
svg::LightSource SpotLight(float x, float y, float z, float toX, float toY, float exponent, float coneDeg)
{
    svg::LightSource light = PointLight(x, y, z);
    light.type = LightType::Spot;
    light.pointsAtXPx = toX;
    light.pointsAtYPx = toY;
    light.specularExponent = exponent;
    light.limitingConeAngleDeg = coneDeg;
    return light;
}

svg::DiffuseParams Diffuse(LightType type, float kd = 1.0f)
{
    svg::DiffuseParams params;
    params.lighting.light.type = type;
    params.diffuseConstant = kd;
    return params;
}

}  // namespace

TEST(Lighting, NormalsFollowSvgsEdgeAndCornerKernels)
{
    auto in = filter_test::RandomBitmap({3, 4, 9, 7}, 41, 0.3);
    for (auto [az, el, scale] : {std::tuple{30.0f, 40.0f, 1.0f}, {200.0f, 10.0f, 3.0f}, {90.0f, 70.0f, -2.0f}}) {
        svg::DiffuseParams params = Diffuse(LightType::Distant, 0.9f);
        params.lighting.light.azimuthDeg = az;
        params.lighting.light.elevationDeg = el;
        params.lighting.surfaceScale = scale;
        auto out = svg::DiffuseLighting(in.get(), params, in->Rect(), Never());
        ASSERT_NE(out, nullptr);
        auto expected = ReferenceDiffuse(*in, scale, 0.9, az, el);
        EXPECT_LE(filter_test::MaxDifference(*out, *expected), 1) << az << " " << el << " " << scale;
    }
}

TEST(Lighting, AFlatSurfaceLitFromAboveTakesTheLightColour)
{
    auto flat = filter_test::SolidBitmap({0, 0, 4, 4}, PackPixel(255, 0, 0, 0));
    svg::DiffuseParams diffuse = Diffuse(LightType::Distant, 0.5f);
    diffuse.lighting.light.elevationDeg = 90;
    diffuse.lighting.color = {1.0f, 0.5f, 0.25f};
    auto lit = svg::DiffuseLighting(flat.get(), diffuse, flat->Rect(), Never());
    ASSERT_NE(lit, nullptr);
    EXPECT_EQ(At(*lit, 2, 2), PackPixel(255, 128, 64, 32));
    EXPECT_FALSE(lit->AlphaOnly());

    // Specular: H is (0, 0, 1) too; alpha is the brightest channel.
    svg::SpecularParams specular;
    specular.lighting = diffuse.lighting;
    specular.specularConstant = 0.5f;
    specular.specularExponent = 20;
    auto shine = svg::SpecularLighting(flat.get(), specular, flat->Rect(), Never());
    ASSERT_NE(shine, nullptr);
    EXPECT_EQ(At(*shine, 0, 3), PackPixel(128, 128, 64, 32));
}

TEST(Lighting, PointAndSpotLightsDependOnPosition)
{
    auto flat = filter_test::SolidBitmap({0, 0, 21, 21}, PackPixel(255, 0, 0, 0));
    svg::DiffuseParams point = Diffuse(LightType::Point);
    point.lighting.light = PointLight(10, 10, 10);
    auto out = svg::DiffuseLighting(flat.get(), point, flat->Rect(), Never());
    ASSERT_NE(out, nullptr);
    // Straight below the light: full light; the rest falls off symmetrically.
    EXPECT_EQ(At(*out, 10, 10), PackPixel(255, 255, 255, 255));
    EXPECT_EQ(At(*out, 0, 10), At(*out, 20, 10));
    EXPECT_EQ(At(*out, 10, 0), At(*out, 10, 20));
    // The opaque surface lies at height surfaceScalePx = 1: cos = 9 / sqrt(181).
    EXPECT_EQ(svg::PixelRed(At(*out, 0, 10)), 171u);

    // A spot aimed straight down with a 30 degree cone: dark outside the cone.
    svg::DiffuseParams spot = Diffuse(LightType::Spot);
    spot.lighting.light = SpotLight(10, 10, 10, 10, 10, 1, 30);
    auto cone = svg::DiffuseLighting(flat.get(), spot, flat->Rect(), Never());
    ASSERT_NE(cone, nullptr);
    EXPECT_EQ(At(*cone, 10, 10), PackPixel(255, 255, 255, 255));
    EXPECT_EQ(At(*cone, 10, 2), PackPixel(255, 0, 0, 0));  // 41.6 degrees off the axis
    EXPECT_GT(svg::PixelRed(At(*cone, 10, 5)), 0u);       // 29.1 degrees
}

TEST(Lighting, NarrowImagesAndUnitLengthsAreSafe)
{
    // One pixel wide: no slope across it.
    auto line = filter_test::RandomBitmap({0, 0, 1, 9}, 5, 0.0);
    svg::DiffuseParams params = Diffuse(LightType::Distant);
    params.lighting.light.elevationDeg = 30;
    auto out = svg::DiffuseLighting(line.get(), params, line->Rect(), Never());
    ASSERT_NE(out, nullptr);
    // Kernel steps of two pixels and of a fraction work on a ramp.
    auto ramp = svg::CRtBitmap::Create({0, 0, 16, 16}, false);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ramp->Row(y)[x] = PackPixel(static_cast<std::uint32_t>(x * 16), 0, 0, 0);
    for (float unit : {2.0f, 0.5f, 1.5f}) {
        params.lighting.kernelUnitLengthXPx = params.lighting.kernelUnitLengthYPx = unit;
        auto lit = svg::DiffuseLighting(ramp.get(), params, ramp->Rect(), Never());
        ASSERT_NE(lit, nullptr) << unit;
    }
    // With step 2 a linear ramp has twice the alpha difference of step 1,
    // as SVG's formula (no division by the step) gives.
    params.lighting.light.azimuthDeg = 180;
    params.lighting.kernelUnitLengthXPx = params.lighting.kernelUnitLengthYPx = 1;
    auto one = svg::DiffuseLighting(ramp.get(), params, ramp->Rect(), Never());
    params.lighting.kernelUnitLengthXPx = params.lighting.kernelUnitLengthYPx = 2;
    auto two = svg::DiffuseLighting(ramp.get(), params, ramp->Rect(), Never());
    EXPECT_GT(svg::PixelRed(At(*two, 8, 8)), svg::PixelRed(At(*one, 8, 8)));
}

TEST(Lighting, BadParametersFailAndExponentsAreClamped)
{
    auto in = filter_test::RandomBitmap({0, 0, 6, 6}, 3);
    svg::DiffuseParams diffuse = Diffuse(LightType::Point);
    diffuse.lighting.light.zPx = std::nanf("");
    EXPECT_EQ(svg::DiffuseLighting(in.get(), diffuse, in->Rect(), Never()), nullptr);
    diffuse = Diffuse(LightType::Distant);
    diffuse.lighting.kernelUnitLengthXPx = 0;
    EXPECT_EQ(svg::DiffuseLighting(in.get(), diffuse, in->Rect(), Never()), nullptr);
    diffuse = Diffuse(LightType::Distant, INFINITY);
    EXPECT_EQ(svg::DiffuseLighting(in.get(), diffuse, in->Rect(), Never()), nullptr);

    svg::SpecularParams specular;
    specular.lighting.light.elevationDeg = 45;
    const auto shine = [&](float exponent) {
        specular.specularExponent = exponent;
        return svg::SpecularLighting(in.get(), specular, in->Rect(), Never());
    };
    EXPECT_TRUE(filter_test::SamePixels(*shine(0.5f), *shine(1.0f)));
    EXPECT_TRUE(filter_test::SamePixels(*shine(1000.0f), *shine(128.0f)));
    EXPECT_EQ(shine(std::nanf("")), nullptr);
    filter_test::StoppedToken stopped;
    EXPECT_EQ(svg::SpecularLighting(in.get(), specular, in->Rect(), stopped), nullptr);
}

TEST(Lighting, ThreadsGiveTheSamePixels)
{
    auto in = filter_test::RandomBitmap({0, 0, 257, 300}, 14);
    svg::SpecularParams params;
    params.lighting.light = SpotLight(100, 80, 150, 120, 200, 3, 40);
    params.lighting.surfaceScale = params.lighting.surfaceScalePx = 4;
    params.specularExponent = 8;
    params.lighting.threads = 1;
    auto single = svg::SpecularLighting(in.get(), params, in->Rect(), Never());
    params.lighting.threads = 4;
    auto split = svg::SpecularLighting(in.get(), params, in->Rect(), Never());
    ASSERT_NE(single, nullptr);
    ASSERT_NE(split, nullptr);
    EXPECT_TRUE(filter_test::SamePixels(*single, *split));
    EXPECT_TRUE(filter_test::AllPremultiplied(*single));
}
