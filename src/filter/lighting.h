// Diffuse and specular lighting of the input's alpha as a bump map, with the
// surface normals of SVG's Sobel kernels (the edge and corner pixels of the
// output rectangle use the edge kernels and factors, a one-pixel-wide or
// -high rectangle has no slope across it) and one light source. Positions
// are in the filter's pixel space; pixel (x, y) lies at its integer
// coordinates, its surface at height surfaceScalePx x alpha. Input outside
// its rectangle is transparent (height 0). The result carries colour and is
// never alphaOnly. The common contract of filter/composite.h applies.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "filter/rt_bitmap.h"
#include "base/stop_token.h"

namespace svg {

enum class LightType { Distant, Point, Spot };

struct LightSource {
    LightType type = LightType::Distant;
    // Distant light: direction towards the light, in degrees.
    float azimuthDeg = 0.0f;
    float elevationDeg = 0.0f;
    // Point and spot light: position, x and y in filter pixels, z in the
    // same pixels (the caller scales it like lengths).
    float xPx = 0.0f;
    float yPx = 0.0f;
    float zPx = 0.0f;
    // Spot light: the point it aims at, its focus (a positive exponent) and
    // its cone (half angle in degrees; none: unlimited), whose rim is sharp
    // as SVG draws it.
    float pointsAtXPx = 0.0f;
    float pointsAtYPx = 0.0f;
    float pointsAtZPx = 0.0f;
    float specularExponent = 1.0f;
    std::optional<float> limitingConeAngleDeg;
};

struct LightingParams {
    LightSource light;
    // The lighting colour in the working colour space, channels 0..1
    // (ChannelInSpace of filter/color_space.h).
    std::array<float, 3> color{1.0f, 1.0f, 1.0f};
    // SVG's surfaceScale as written: it weighs the normals' slopes.
    float surfaceScale = 1.0f;
    // The same in filter pixels (surfaceScale x pixels per user unit): the
    // height of the surface where alpha is 1, for lights with a position.
    float surfaceScalePx = 1.0f;
    // The step of the normal kernels in filter pixels, per axis: 1 is the
    // pixel grid; other steps sample the alpha bilinearly.
    float kernelUnitLengthXPx = 1.0f;
    float kernelUnitLengthYPx = 1.0f;
    // Threads to use; 0 lets the size of the job decide.
    unsigned threads = 0;
};

struct DiffuseParams {
    LightingParams lighting;
    float diffuseConstant = 1.0f;
};

struct SpecularParams {
    LightingParams lighting;
    float specularConstant = 1.0f;
    // Clamped to 1..128.
    float specularExponent = 1.0f;
};

// Colour kd x (N . L) x light colour, alpha 1. Null when a number is not
// finite or a kernel unit length is not positive.
std::unique_ptr<CRtBitmap> DiffuseLighting(const CRtBitmap* in, const DiffuseParams& params,
                                           const PixelRect& outRect, const CStopToken& stop);

// Colour ks x (N . H)^exponent x light colour with H halfway between the
// light and the eye (0, 0, 1), alpha the largest colour channel, so the
// result stays a valid premultiplied pixel. Null as DiffuseLighting.
std::unique_ptr<CRtBitmap> SpecularLighting(const CRtBitmap* in, const SpecularParams& params,
                                            const PixelRect& outRect, const CStopToken& stop);

}  // namespace svg
