// feGaussianBlur and feMorphology: their parameters and how they call the
// separable filters of filter/blur.h and filter/morphology.h.
#include <algorithm>
#include <cmath>

#include "base/limits.h"
#include "filter/blur.h"
#include "filter/morphology.h"
#include "filter/primitive_attributes.h"
#include "filter/primitive_families.h"
#include "model/messages.h"

namespace svg {
namespace {

// Deviations in primitive units; both 0 passes the input through.
struct BlurPrimitive final : CFilterPrimitiveParams {
    float stdDeviationX = 0;
    float stdDeviationY = 0;
};

struct MorphologyPrimitive final : CFilterPrimitiveParams {
    MorphologyOperator op = MorphologyOperator::Erode;
    // Radii in primitive units; a zero radius disables the primitive.
    float radiusX = 0;
    float radiusY = 0;
};

}  // namespace

// SVG: a missing stdDeviation is 0; a negative one is an error, which
// (as a zero one) disables the blur: the input passes through.
ParsedParams ParseGaussianBlur(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<BlurPrimitive>();
    const std::optional<NumberPair> deviation = ReadNumberPair(primitive, AttributeId::stdDeviation, context);
    if (!deviation)
        return params;
    if (deviation->x < 0 || deviation->y < 0) {
        context.Log().Report(primitive, msg::kStdDeviationNegative, primitive.Name().c_str());
        return params;
    }
    params->stdDeviationX = deviation->x;
    params->stdDeviationY = deviation->y;
    return params;
}

PrimitiveResult ApplyGaussianBlur(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                  const PrimitiveRun& run)
{
    const auto& blur = static_cast<const BlurPrimitive&>(params);
    BlurParams pixels;
    pixels.stdDeviationXPx = static_cast<float>(run.space.LengthXPx(blur.stdDeviationX));
    pixels.stdDeviationYPx = static_cast<float>(run.space.LengthYPx(blur.stdDeviationY));
    return GaussianBlur(InputAt(inputs, 0), pixels, run.outRect, run.stop);
}

// Three box blurs reach one and a half boxes, a box being about 1.9
// deviations; the kernel of small deviations reaches three.
int GaussianBlurReach(const CFilterPrimitiveParams& params, const FilterSpace& space)
{
    const auto& blur = static_cast<const BlurPrimitive&>(params);
    const double deviationPx = std::max(space.LengthXPx(blur.stdDeviationX), space.LengthYPx(blur.stdDeviationY));
    return ReachPx(3 * std::min(deviationPx, double{limits::kMaxBlurDeviationPx}));
}

// A missing radius is 0, which disables the primitive (the input passes
// through, as today's viewers draw it); a negative one is an error, which
// disables it too.
ParsedParams ParseMorphology(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<MorphologyPrimitive>();
    params->op = ReadPrimitiveKeyword(primitive, AttributeId::operator_, ParseMorphologyOperator,
                                      MorphologyOperator::Erode, msg::kOperatorUnknown, context);
    const std::string* text = PrimitiveAttribute(primitive, AttributeId::radius);
    if (text == nullptr) {
        context.Log().Report(primitive, msg::kRadiusNotSpecified, primitive.Name().c_str());
        return params;
    }
    const std::optional<NumberPair> radius = ReadNumberPair(primitive, AttributeId::radius, context);
    if (!radius)
        return params;
    if (radius->x < 0 || radius->y < 0) {
        context.Log().Report(primitive, msg::kRadiusNegative, primitive.Name().c_str(), text->c_str());
        return params;
    }
    params->radiusX = radius->x;
    params->radiusY = radius->y;
    return params;
}

PrimitiveResult ApplyMorphology(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                const PrimitiveRun& run)
{
    const auto& morphology = static_cast<const MorphologyPrimitive&>(params);
    MorphologyParams pixels;
    pixels.op = morphology.op;
    pixels.radiusXPx = static_cast<float>(run.space.LengthXPx(morphology.radiusX));
    pixels.radiusYPx = static_cast<float>(run.space.LengthYPx(morphology.radiusY));
    return Morphology(InputAt(inputs, 0), pixels, run.outRect, run.stop);
}

int MorphologyReach(const CFilterPrimitiveParams& params, const FilterSpace& space)
{
    const auto& morphology = static_cast<const MorphologyPrimitive&>(params);
    const double radiusPx = std::max(space.LengthXPx(morphology.radiusX), space.LengthYPx(morphology.radiusY));
    return ReachPx(std::min(radiusPx, double{limits::kMaxMorphologyRadiusPx}));
}

}  // namespace svg
