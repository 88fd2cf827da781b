// feDiffuseLighting, feSpecularLighting with their light sources, and
// feTurbulence: their parameters and how they call filter/lighting.h and
// filter/turbulence.h.
#include <algorithm>
#include <cmath>

#include "filter/color_space.h"
#include "filter/lighting.h"
#include "filter/primitive_attributes.h"
#include "filter/primitive_families.h"
#include "filter/turbulence.h"
#include "model/messages.h"
#include "values/color.h"
#include "values/number.h"
#include "values/scan.h"

namespace svg {
namespace {

// The light as written: its positions in primitive units.
struct LightingPrimitive : CFilterPrimitiveParams {
    LightSource light;
    Rgb color{255, 255, 255};
    float surfaceScale = 1;
    std::optional<NumberPair> kernelUnitLength;  // null: one pixel
};

struct DiffusePrimitive final : LightingPrimitive {
    float diffuseConstant = 1;
};

struct SpecularPrimitive final : LightingPrimitive {
    float specularConstant = 1;
    float specularExponent = 1;
};

struct TurbulencePrimitive final : CFilterPrimitiveParams {
    float baseFrequencyX = 0;
    float baseFrequencyY = 0;
    int numOctaves = 1;
    float seed = 0;
    bool fractalNoise = false;
    bool stitchTiles = false;
};

// An angle: degrees, or a number with the unit deg, rad or grad.
std::optional<float> ReadAngle(const CElem& light, AttributeId name, CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(light, name);
    if (text == nullptr)
        return std::nullopt;
    const std::optional<Number> number = ParseLength(*text);
    const bool angle = number && (number->unit == Unit::User || number->unit == Unit::Deg ||
                                  number->unit == Unit::Rad || number->unit == Unit::Grad);
    if (!angle) {
        ReportInvalidValue(light, name, *text, context);
        return std::nullopt;
    }
    return static_cast<float>(ToDegrees(*number));
}

float NumberOr(const CElem& elem, AttributeId name, float fallback, CLoadContext& context)
{
    return ReadPrimitiveNumber(elem, name, context).value_or(fallback);
}

LightSource ReadLight(const CElem& source, CLoadContext& context)
{
    LightSource light;
    switch (source.Id()) {
    case ElementId::feDistantLight:
        light.type = LightType::Distant;
        light.azimuthDeg = ReadAngle(source, AttributeId::azimuth, context).value_or(0.0f);
        light.elevationDeg = ReadAngle(source, AttributeId::elevation, context).value_or(0.0f);
        return light;
    case ElementId::feSpotLight:
        light.type = LightType::Spot;
        light.pointsAtXPx = NumberOr(source, AttributeId::pointsAtX, 0, context);
        light.pointsAtYPx = NumberOr(source, AttributeId::pointsAtY, 0, context);
        light.pointsAtZPx = NumberOr(source, AttributeId::pointsAtZ, 0, context);
        // A focus that is not positive is the default, as today's viewers have it.
        light.specularExponent = NumberOr(source, AttributeId::specularExponent, 1, context);
        if (!(light.specularExponent > 0))
            light.specularExponent = 1;
        light.limitingConeAngleDeg = ReadAngle(source, AttributeId::limitingConeAngle, context);
        break;
    default: light.type = LightType::Point; break;
    }
    light.xPx = NumberOr(source, AttributeId::x, 0, context);
    light.yPx = NumberOr(source, AttributeId::y, 0, context);
    light.zPx = NumberOr(source, AttributeId::z, 0, context);
    return light;
}

bool IsLightSource(ElementId id)
{
    return id == ElementId::feDistantLight || id == ElementId::fePointLight || id == ElementId::feSpotLight;
}

// The first light source child; other elements are reported and skipped,
// and so are further lights (SVG lights a surface with one).
std::optional<LightSource> ReadLightSource(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    std::optional<LightSource> found;
    for (const CElem* child : primitive.Children()) {
        if (child->Class() == ElemClass::String || child->Class() == ElemClass::Comment)
            continue;
        if (!IsLightSource(child->Id())) {
            context.Log().Report(*child, msg::kUnknownLightSource, child->Name().c_str());
            continue;
        }
        if (!found)
            found = ReadLight(*child, context);
    }
    if (!found)
        context.Log().Report(primitive, msg::kLightSourceNotFound, primitive.Name().c_str());
    return found;
}

// lighting-color: white by default, the element's `color` for currentColor.
Rgb ReadLightingColor(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    const std::string* text = primitive.GetColorAttribute(AttributeId::lighting_color, false);
    if (text == nullptr)
        return {255, 255, 255};
    if (const std::optional<Rgb> color = ParseColor(*text, context.Options().desktop.palette))
        return *color;
    ReportInvalidValue(primitive, AttributeId::lighting_color, *text, context);
    return {255, 255, 255};
}

// What both lighting primitives read; false after the message when the
// primitive cannot be computed.
bool ReadLighting(const CElemFilterPrimitive& primitive, LightingPrimitive& params, CLoadContext& context)
{
    params.color = ReadLightingColor(primitive, context);
    params.surfaceScale = NumberOr(primitive, AttributeId::surfaceScale, 1, context);
    if (PrimitiveAttribute(primitive, AttributeId::kernelUnitLength) != nullptr) {
        params.kernelUnitLength = ReadNumberPair(primitive, AttributeId::kernelUnitLength, context);
        if (params.kernelUnitLength && !(params.kernelUnitLength->x > 0 && params.kernelUnitLength->y > 0)) {
            context.Log().Report(primitive, msg::kKernelUnitLengthNotPositive, primitive.Name().c_str());
            return false;
        }
    }
    const std::optional<LightSource> light = ReadLightSource(primitive, context);
    if (!light)
        return false;
    params.light = *light;
    return true;
}

// The light and the lighting parameters in the filter's pixels.
LightingParams ToPixels(const LightingPrimitive& primitive, const PrimitiveRun& run)
{
    const FilterSpace& space = run.space;
    LightingParams lighting;
    lighting.light = primitive.light;
    LightSource& light = lighting.light;
    if (light.type != LightType::Distant) {
        const PointD position = space.PointPx(light.xPx, light.yPx);
        const PointD target = space.PointPx(light.pointsAtXPx, light.pointsAtYPx);
        light.xPx = static_cast<float>(position.x);
        light.yPx = static_cast<float>(position.y);
        light.zPx = static_cast<float>(space.DiagonalPx(light.zPx));
        light.pointsAtXPx = static_cast<float>(target.x);
        light.pointsAtYPx = static_cast<float>(target.y);
        light.pointsAtZPx = static_cast<float>(space.DiagonalPx(light.pointsAtZPx));
    }
    for (int i = 0; i < 3; ++i) {
        const std::uint8_t channel = i == 0 ? primitive.color.r : i == 1 ? primitive.color.g : primitive.color.b;
        lighting.color[static_cast<std::size_t>(i)] = ChannelInSpace(channel, run.colorSpace);
    }
    lighting.surfaceScale = primitive.surfaceScale;
    lighting.surfaceScalePx = primitive.surfaceScale;
    if (primitive.kernelUnitLength) {
        lighting.kernelUnitLengthXPx = static_cast<float>(space.LengthXPx(primitive.kernelUnitLength->x));
        lighting.kernelUnitLengthYPx = static_cast<float>(space.LengthYPx(primitive.kernelUnitLength->y));
    }
    return lighting;
}

}  // namespace

ParsedParams ParseDiffuseLighting(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<DiffusePrimitive>();
    params->diffuseConstant = NumberOr(primitive, AttributeId::diffuseConstant, 1, context);
    if (!ReadLighting(primitive, *params, context))
        return nullptr;
    return params;
}

PrimitiveResult ApplyDiffuseLighting(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                     const PrimitiveRun& run)
{
    const auto& primitive = static_cast<const DiffusePrimitive&>(params);
    DiffuseParams diffuse;
    diffuse.lighting = ToPixels(primitive, run);
    diffuse.diffuseConstant = primitive.diffuseConstant;
    return DiffuseLighting(InputAt(inputs, 0), diffuse, run.outRect, run.stop);
}

ParsedParams ParseSpecularLighting(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<SpecularPrimitive>();
    params->specularConstant = NumberOr(primitive, AttributeId::specularConstant, 1, context);
    params->specularExponent = NumberOr(primitive, AttributeId::specularExponent, 1, context);
    // SVG: specularExponent lies in 1..128; outside it the primitive is in
    // error and its result transparent.
    if (params->specularExponent < 1) {
        context.Log().Report(primitive, msg::kSpecularExponentTooSmall, primitive.Name().c_str());
        return nullptr;
    }
    if (params->specularExponent > 128) {
        ReportInvalidValue(primitive, AttributeId::specularExponent,
                           *PrimitiveAttribute(primitive, AttributeId::specularExponent), context);
        return nullptr;
    }
    if (!ReadLighting(primitive, *params, context))
        return nullptr;
    return params;
}

PrimitiveResult ApplySpecularLighting(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                      const PrimitiveRun& run)
{
    const auto& primitive = static_cast<const SpecularPrimitive&>(params);
    SpecularParams specular;
    specular.lighting = ToPixels(primitive, run);
    specular.specularConstant = primitive.specularConstant;
    specular.specularExponent = primitive.specularExponent;
    return SpecularLighting(InputAt(inputs, 0), specular, run.outRect, run.stop);
}

int LightingReach(const CFilterPrimitiveParams& params, const FilterSpace& space)
{
    const auto& primitive = static_cast<const LightingPrimitive&>(params);
    if (!primitive.kernelUnitLength)
        return ReachPx(1);
    return ReachPx(std::max(space.LengthXPx(primitive.kernelUnitLength->x),
                            space.LengthYPx(primitive.kernelUnitLength->y)));
}

ParsedParams ParseTurbulence(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<TurbulencePrimitive>();
    if (const std::optional<NumberPair> frequency = ReadNumberPair(primitive, AttributeId::baseFrequency, context)) {
        // SVG: a negative frequency is an error, which leaves the result
        // transparent as today's viewers have it.
        if (frequency->x < 0 || frequency->y < 0) {
            ReportInvalidValue(primitive, AttributeId::baseFrequency,
                               *PrimitiveAttribute(primitive, AttributeId::baseFrequency), context);
            return nullptr;
        }
        params->baseFrequencyX = frequency->x;
        params->baseFrequencyY = frequency->y;
    }
    if (const std::optional<float> octaves = ReadPrimitiveNumber(primitive, AttributeId::numOctaves, context))
        params->numOctaves = static_cast<int>(std::clamp(*octaves, -1.0f, 1e6f));
    params->seed = NumberOr(primitive, AttributeId::seed, 0, context);
    params->stitchTiles = ReadPrimitiveKeyword(primitive, AttributeId::stitchTiles, ParseStitchTiles,
                                               StitchTiles::NoStitch, msg::kStitchTilesUnknown, context) ==
                          StitchTiles::Stitch;
    params->fractalNoise = ReadPrimitiveKeyword(primitive, AttributeId::type, ParseTurbulenceType,
                                                TurbulenceType::Turbulence, msg::kTypeUnknown, context) ==
                           TurbulenceType::FractalNoise;
    return params;
}

PrimitiveResult ApplyTurbulence(const CFilterPrimitiveParams& params, PrimitiveInputs, const PrimitiveRun& run)
{
    const auto& primitive = static_cast<const TurbulencePrimitive&>(params);
    TurbulenceParams turbulence;
    turbulence.baseFrequencyX = primitive.baseFrequencyX;
    turbulence.baseFrequencyY = primitive.baseFrequencyY;
    turbulence.numOctaves = primitive.numOctaves;
    turbulence.seed = primitive.seed;
    turbulence.fractalNoise = primitive.fractalNoise;
    turbulence.stitchTiles = primitive.stitchTiles;
    turbulence.tileX = run.subregionUser.x;
    turbulence.tileY = run.subregionUser.y;
    turbulence.tileWidth = run.subregionUser.width;
    turbulence.tileHeight = run.subregionUser.height;
    turbulence.userToPixel = run.space.userToPixel;
    return Turbulence(turbulence, run.outRect, run.stop);
}

}  // namespace svg
