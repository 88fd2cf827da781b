#include "filter/lighting.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "filter/parallel.h"
#include "filter/pixel.h"

namespace svg {

namespace {

constexpr float kMinSpecularExponent = 1.0f;
constexpr float kMaxSpecularExponent = 128.0f;

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    float Dot(const Vec3& other) const { return x * other.x + y * other.y + z * other.z; }
};

// Unit length, or unchanged when the length is 0.
Vec3 Normalized(Vec3 v)
{
    const float length = std::sqrt(v.Dot(v));
    return length > 0.0f ? Vec3{v.x / length, v.y / length, v.z / length} : v;
}

float Radians(float degrees) { return static_cast<float>(std::fmod(degrees, 360.0f) * std::numbers::pi / 180.0); }

// The input's alpha over the output rectangle, 0..1.
struct AlphaPlane {
    std::vector<float> alpha;
    int width = 0;
    int height = 0;

    const float* Row(int y) const { return alpha.data() + static_cast<std::size_t>(y) * width; }
    float At(int x, int y) const { return Row(y)[x]; }

    // Bilinear, positions clamped into the plane.
    float Sample(float x, float y) const
    {
        x = std::clamp(x, 0.0f, static_cast<float>(width - 1));
        y = std::clamp(y, 0.0f, static_cast<float>(height - 1));
        const int x0 = std::min(static_cast<int>(x), width - 1);
        const int y0 = std::min(static_cast<int>(y), height - 1);
        const int x1 = std::min(x0 + 1, width - 1);
        const int y1 = std::min(y0 + 1, height - 1);
        const float fx = x - static_cast<float>(x0);
        const float fy = y - static_cast<float>(y0);
        const float top = At(x0, y0) + (At(x1, y0) - At(x0, y0)) * fx;
        const float bottom = At(x0, y1) + (At(x1, y1) - At(x0, y1)) * fx;
        return top + (bottom - top) * fy;
    }
};

AlphaPlane ReadAlpha(const CRtBitmap* in, const PixelRect& outRect)
{
    AlphaPlane plane;
    plane.width = outRect.width;
    plane.height = outRect.height;
    plane.alpha.resize(static_cast<std::size_t>(outRect.width) * static_cast<std::size_t>(outRect.height));
    std::vector<std::uint32_t> row(static_cast<std::size_t>(outRect.width));
    for (int y = 0; y < outRect.height; ++y) {
        ReadPixelSpan(in, outRect.x, outRect.y + y, outRect.width, row.data());
        float* target = plane.alpha.data() + static_cast<std::size_t>(y) * outRect.width;
        for (int x = 0; x < outRect.width; ++x)
            target[x] = static_cast<float>(PixelAlpha(row[static_cast<std::size_t>(x)])) / 255.0f;
    }
    return plane;
}

// One axis of the Sobel gradient with SVG's edge kernels: the central
// difference across the pixel (factor 1/4 inside), the one-sided difference
// at an edge (1/2), rows (or columns) weighted 1 2 1 with a missing one
// dropped (1/3 and 2/3 at edges and corners). Written generally: neighbours
// `step` pixels away, `before`/`after` whether they lie inside; `sample(a, c)`
// reads alpha at offset a along the axis and c across it.
template <typename Sample>
float Gradient(bool before, bool after, bool acrossBefore, bool acrossAfter, float step, float acrossStep,
               Sample sample)
{
    if (!before && !after)
        return 0.0f;
    const float low = before ? -step : 0.0f;
    const float high = after ? step : 0.0f;
    float sum = 2.0f * (sample(high, 0.0f) - sample(low, 0.0f));
    float weights = 2.0f;
    if (acrossBefore) {
        sum += sample(high, -acrossStep) - sample(low, -acrossStep);
        weights += 1.0f;
    }
    if (acrossAfter) {
        sum += sample(high, acrossStep) - sample(low, acrossStep);
        weights += 1.0f;
    }
    const float distance = before && after ? 2.0f : 1.0f;
    return 2.0f * sum / (weights * distance);
}

struct NormalKernel {
    const AlphaPlane& plane;
    float unitX;
    float unitY;
    float surfaceScale;

    // The unit surface normal at (x, y) of the plane, any pixel.
    Vec3 At(int x, int y) const
    {
        const auto fx = static_cast<float>(x);
        const auto fy = static_cast<float>(y);
        const bool left = fx - unitX >= 0.0f;
        const bool right = fx + unitX <= static_cast<float>(plane.width - 1);
        const bool up = fy - unitY >= 0.0f;
        const bool down = fy + unitY <= static_cast<float>(plane.height - 1);
        const float gx = Gradient(left, right, up, down, unitX, unitY,
                                  [&](float along, float across) { return plane.Sample(fx + along, fy + across); });
        const float gy = Gradient(up, down, left, right, unitY, unitX,
                                  [&](float along, float across) { return plane.Sample(fx + across, fy + along); });
        return Normalized({-surfaceScale * gx, -surfaceScale * gy, 1.0f});
    }
};

// One row of vectors as separate float arrays, so loops over them vectorise.
struct RowVectors {
    std::vector<float> x, y, z;

    explicit RowVectors(int width)
        : x(static_cast<std::size_t>(width)), y(x.size()), z(x.size())
    {
    }
    void Set(int i, const Vec3& v)
    {
        const auto index = static_cast<std::size_t>(i);
        x[index] = v.x;
        y[index] = v.y;
        z[index] = v.z;
    }
    // Every vector made unit length (a zero vector stays zero).
    void Normalize()
    {
        for (std::size_t i = 0; i < x.size(); ++i) {
            const float lengthSquared = x[i] * x[i] + y[i] * y[i] + z[i] * z[i];
            const float scale = lengthSquared > 0.0f ? 1.0f / std::sqrt(lengthSquared) : 1.0f;
            x[i] *= scale;
            y[i] *= scale;
            z[i] *= scale;
        }
    }
};

// The unit normals of row y: inner pixels of unit kernels through plain
// loops over three rows, the edges and other kernels through the general
// kernel.
void RowNormals(const NormalKernel& kernel, int y, RowVectors& normals)
{
    const AlphaPlane& plane = kernel.plane;
    const int width = plane.width;
    const bool unit = kernel.unitX == 1.0f && kernel.unitY == 1.0f;
    if (!unit || y == 0 || y == plane.height - 1 || width <= 2) {
        for (int x = 0; x < width; ++x)
            normals.Set(x, kernel.At(x, y));
        return;
    }
    const float* above = plane.Row(y - 1);
    const float* here = plane.Row(y);
    const float* below = plane.Row(y + 1);
    const float scale = -kernel.surfaceScale / 4.0f;
    for (int x = 1; x < width - 1; ++x) {
        const auto i = static_cast<std::size_t>(x);
        normals.x[i] = scale * ((above[x + 1] + 2.0f * here[x + 1] + below[x + 1]) -
                                (above[x - 1] + 2.0f * here[x - 1] + below[x - 1]));
        normals.y[i] = scale * ((below[x - 1] + 2.0f * below[x] + below[x + 1]) -
                                (above[x - 1] + 2.0f * above[x] + above[x + 1]));
        normals.z[i] = 1.0f;
    }
    normals.Normalize();
    normals.Set(0, kernel.At(0, y));
    normals.Set(width - 1, kernel.At(width - 1, y));
}

// The light: its direction towards each surface point of a row and the
// share of its colour that reaches the point.
struct LightModel {
    LightSource light;
    Vec3 direction;   // distant light
    Vec3 spotAxis;    // spot light: from the light towards pointsAt
    float coneCosine = -2.0f;  // no cone: below every cosine

    explicit LightModel(const LightSource& source) : light(source)
    {
        const float azimuth = Radians(source.azimuthDeg);
        const float elevation = Radians(source.elevationDeg);
        direction = {std::cos(azimuth) * std::cos(elevation), std::sin(azimuth) * std::cos(elevation),
                     std::sin(elevation)};
        spotAxis = Normalized({source.pointsAtXPx - source.xPx, source.pointsAtYPx - source.yPx,
                               source.pointsAtZPx - source.zPx});
        if (source.limitingConeAngleDeg)
            coneCosine = std::cos(Radians(std::abs(*source.limitingConeAngleDeg)));
    }

    // Unit vectors from the surface points (firstX + i, y, heights[i]) to
    // the light.
    void ToLight(float firstX, float y, const float* heights, RowVectors& toLight) const
    {
        const std::size_t count = toLight.x.size();
        if (light.type == LightType::Distant) {
            std::fill(toLight.x.begin(), toLight.x.end(), direction.x);
            std::fill(toLight.y.begin(), toLight.y.end(), direction.y);
            std::fill(toLight.z.begin(), toLight.z.end(), direction.z);
            return;
        }
        for (std::size_t i = 0; i < count; ++i) {
            toLight.x[i] = light.xPx - (firstX + static_cast<float>(i));
            toLight.y[i] = light.yPx - y;
            toLight.z[i] = light.zPx - heights[i];
        }
        toLight.Normalize();
    }

    // 1 for distant and point lights; a spot light's fall-off, and nothing
    // outside its cone (SVG's cone has a sharp rim).
    void Strength(const RowVectors& toLight, std::vector<float>& strength) const
    {
        if (light.type != LightType::Spot) {
            std::fill(strength.begin(), strength.end(), 1.0f);
            return;
        }
        for (std::size_t i = 0; i < strength.size(); ++i) {
            const float cosine = -(toLight.x[i] * spotAxis.x + toLight.y[i] * spotAxis.y + toLight.z[i] * spotAxis.z);
            if (!(cosine > 0.0f) || cosine <= coneCosine) {
                strength[i] = 0.0f;
                continue;
            }
            strength[i] = std::pow(cosine, light.specularExponent);
        }
    }
};

bool IsUsable(const LightingParams& params)
{
    const LightSource& light = params.light;
    const float numbers[] = {light.azimuthDeg, light.elevationDeg, light.xPx, light.yPx, light.zPx,
                             light.pointsAtXPx, light.pointsAtYPx, light.pointsAtZPx, light.specularExponent,
                             light.limitingConeAngleDeg.value_or(0.0f), params.color[0], params.color[1],
                             params.color[2], params.surfaceScale, params.surfaceScalePx};
    if (!std::all_of(std::begin(numbers), std::end(numbers), [](float v) { return std::isfinite(v); }))
        return false;
    return params.kernelUnitLengthXPx > 0.0f && params.kernelUnitLengthYPx > 0.0f &&
           std::isfinite(params.kernelUnitLengthXPx) && std::isfinite(params.kernelUnitLengthYPx);
}

// The vectors of one output row, shaded by the primitive.
struct RowLight {
    const RowVectors& normals;
    const RowVectors& toLight;
    const std::vector<float>& strength;
};

// Runs `shade(row, target)` for every output row.
template <typename Shade>
std::unique_ptr<CRtBitmap> Light(const CRtBitmap* in, const LightingParams& params, const PixelRect& outRect,
                                 const CStopToken& stop, Shade shade)
{
    if (!IsUsable(params) || !IsWithinBitmapLimits(outRect))
        return nullptr;
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, false);
    if (!out)
        return nullptr;
    const AlphaPlane plane = ReadAlpha(in, outRect);
    const NormalKernel kernel{plane, params.kernelUnitLengthXPx, params.kernelUnitLengthYPx, params.surfaceScale};
    const LightModel model(params.light);
    const unsigned threads = FilterThreadCount(params.threads, out->PixelCount() * 8);
    const bool completed = ParallelFor(outRect.height, threads, [&](int begin, int end) {
        RowVectors normals(outRect.width), toLight(outRect.width);
        std::vector<float> heights(static_cast<std::size_t>(outRect.width));
        std::vector<float> strength(heights.size());
        for (int y = begin; y < end && !stop.StopRequested(); ++y) {
            RowNormals(kernel, y, normals);
            const float* alpha = plane.Row(y);
            for (std::size_t x = 0; x < heights.size(); ++x)
                heights[x] = params.surfaceScalePx * alpha[x];
            model.ToLight(static_cast<float>(outRect.x), static_cast<float>(outRect.y + y), heights.data(), toLight);
            model.Strength(toLight, strength);
            shade(RowLight{normals, toLight, strength}, out->Row(y));
        }
    });
    if (!completed || stop.StopRequested())
        return nullptr;
    return out;
}

}  // namespace

std::unique_ptr<CRtBitmap> DiffuseLighting(const CRtBitmap* in, const DiffuseParams& params,
                                           const PixelRect& outRect, const CStopToken& stop)
{
    if (!std::isfinite(params.diffuseConstant))
        return nullptr;
    const std::array<float, 3> color = params.lighting.color;
    const float kd = params.diffuseConstant;
    return Light(in, params.lighting, outRect, stop, [&](const RowLight& row, std::uint32_t* target) {
        const RowVectors& n = row.normals;
        const RowVectors& l = row.toLight;
        for (std::size_t x = 0; x < n.x.size(); ++x) {
            const float dot = n.x[x] * l.x[x] + n.y[x] * l.y[x] + n.z[x] * l.z[x];
            const float factor = kd * std::max(dot, 0.0f) * row.strength[x];
            target[x] = PackPremultiplied(1.0f, factor * color[0], factor * color[1], factor * color[2]);
        }
    });
}

std::unique_ptr<CRtBitmap> SpecularLighting(const CRtBitmap* in, const SpecularParams& params,
                                            const PixelRect& outRect, const CStopToken& stop)
{
    if (!std::isfinite(params.specularConstant) || std::isnan(params.specularExponent))
        return nullptr;
    const std::array<float, 3> color = params.lighting.color;
    const float ks = params.specularConstant;
    const float exponent = std::clamp(params.specularExponent, kMinSpecularExponent, kMaxSpecularExponent);
    return Light(in, params.lighting, outRect, stop, [&](const RowLight& row, std::uint32_t* target) {
        const RowVectors& n = row.normals;
        const RowVectors& l = row.toLight;
        for (std::size_t x = 0; x < n.x.size(); ++x) {
            // H halfway between the light and the eye at (0, 0, 1).
            const Vec3 halfway = Normalized({l.x[x], l.y[x], l.z[x] + 1.0f});
            const float dot = n.x[x] * halfway.x + n.y[x] * halfway.y + n.z[x] * halfway.z;
            const float factor = ks * std::pow(std::max(dot, 0.0f), exponent) * row.strength[x];
            const float red = factor * color[0];
            const float green = factor * color[1];
            const float blue = factor * color[2];
            target[x] = PackPremultiplied(std::max({red, green, blue}), red, green, blue);
        }
    });
}

}  // namespace svg
