// feBlend, feComposite, feMerge, feFlood, feOffset, feTile and the apply step
// of feImage: their parameters and how they call the pixel arithmetic of
// filter/composite.h.
#include <algorithm>
#include <cmath>
#include <vector>

#include "filter/color_space.h"
#include "filter/composite.h"
#include "filter/primitive_attributes.h"
#include "filter/primitive_families.h"
#include "filter/filter_pipeline.h"
#include "model/messages.h"
#include "values/color.h"
#include "values/scan.h"

namespace svg {
namespace {

struct BlendPrimitive final : CFilterPrimitiveParams {
    BlendParams blend;
};

struct CompositePrimitive final : CFilterPrimitiveParams {
    CompositeParams composite;
};

struct NoParams final : CFilterPrimitiveParams {};

struct FloodPrimitive final : CFilterPrimitiveParams {
    Rgb color;
    float opacity = 1;
};

struct OffsetPrimitive final : CFilterPrimitiveParams {
    double dx = 0;  // in primitive units
    double dy = 0;
};

float ReadK(const CElemFilterPrimitive& primitive, AttributeId name, CLoadContext& context)
{
    return ReadPrimitiveNumber(primitive, name, context).value_or(0.0f);
}

// flood-opacity: a number, clamped to 0..1 (a percentage is read as SVG 2
// and today's viewers read it).
float FloodOpacity(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(primitive, AttributeId::flood_opacity);
    if (text == nullptr)
        return 1;
    const std::optional<Number> number = ParseLength(*text);
    if (!number || (number->unit != Unit::User && number->unit != Unit::Percent)) {
        ReportInvalidValue(primitive, AttributeId::flood_opacity, *text, context);
        return 1;
    }
    const double value = number->unit == Unit::Percent ? number->value / 100 : number->value;
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

}  // namespace

ParsedParams ParseBlend(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<BlendPrimitive>();
    params->blend.mode = ReadPrimitiveKeyword(primitive, AttributeId::mode, ParseBlendMode, BlendMode::Normal,
                                              msg::kBlendModeUnknown, context);
    return params;
}

PrimitiveResult ApplyBlend(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run)
{
    const auto& blend = static_cast<const BlendPrimitive&>(params);
    return Blend(InputAt(inputs, 0), InputAt(inputs, 1), blend.blend, run.outRect, run.stop);
}

ParsedParams ParseComposite(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<CompositePrimitive>();
    CompositeParams& composite = params->composite;
    composite.op = ReadPrimitiveKeyword(primitive, AttributeId::operator_, ParseCompositeOperator,
                                        CompositeOperator::Over, msg::kOperatorUnknown, context);
    if (composite.op == CompositeOperator::Arithmetic) {
        composite.k1 = ReadK(primitive, AttributeId::k1, context);
        composite.k2 = ReadK(primitive, AttributeId::k2, context);
        composite.k3 = ReadK(primitive, AttributeId::k3, context);
        composite.k4 = ReadK(primitive, AttributeId::k4, context);
    }
    return params;
}

PrimitiveResult ApplyComposite(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run)
{
    const auto& composite = static_cast<const CompositePrimitive&>(params);
    return Composite(InputAt(inputs, 0), InputAt(inputs, 1), composite.composite, run.outRect, run.stop);
}

// The nodes' inputs were resolved with the filter; nothing else to read.
ParsedParams ParseMerge(const CElemFilterPrimitive&, CLoadContext&) { return std::make_unique<NoParams>(); }

PrimitiveResult ApplyMerge(const CFilterPrimitiveParams&, PrimitiveInputs inputs, const PrimitiveRun& run)
{
    return Merge(inputs, run.outRect, run.stop);
}

ParsedParams ParseFlood(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<FloodPrimitive>();
    // currentColor is the primitive's own resolved `color`.
    if (const std::string* text = primitive.GetColorAttribute(AttributeId::flood_color, false)) {
        const std::optional<Rgb> color = ParseColor(*text, context.Options().desktop.palette);
        if (color)
            params->color = *color;
        else
            ReportInvalidValue(primitive, AttributeId::flood_color, *text, context);
    }
    params->opacity = FloodOpacity(primitive, context);
    return params;
}

PrimitiveResult ApplyFlood(const CFilterPrimitiveParams& params, PrimitiveInputs, const PrimitiveRun& run)
{
    const auto& flood = static_cast<const FloodPrimitive&>(params);
    return Flood({PremultipliedColor(flood.color, flood.opacity, ColorInterpolation::SRGB)}, run.outRect, run.stop);
}

ParsedParams ParseOffset(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<OffsetPrimitive>();
    params->dx = ReadPrimitiveNumber(primitive, AttributeId::dx, context).value_or(0.0f);
    params->dy = ReadPrimitiveNumber(primitive, AttributeId::dy, context).value_or(0.0f);
    return params;
}

PrimitiveResult ApplyOffset(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run)
{
    const auto& offset = static_cast<const OffsetPrimitive&>(params);
    const OffsetParams pixels{run.space.OffsetXPx(offset.dx), run.space.OffsetYPx(offset.dy)};
    return Offset(InputAt(inputs, 0), pixels, run.outRect, run.stop);
}

int OffsetReach(const CFilterPrimitiveParams& params, const FilterSpace& space)
{
    const auto& offset = static_cast<const OffsetPrimitive&>(params);
    return ReachPx(std::max(std::fabs(space.OffsetXPx(offset.dx)), std::fabs(space.OffsetYPx(offset.dy))));
}

ParsedParams ParseTile(const CElemFilterPrimitive&, CLoadContext&) { return std::make_unique<NoParams>(); }

PrimitiveResult ApplyTile(const CFilterPrimitiveParams&, PrimitiveInputs inputs, const PrimitiveRun& run)
{
    return Tile(InputAt(inputs, 0), run.outRect, run.stop);
}

int UnboundedReach(const CFilterPrimitiveParams&, const FilterSpace&) { return -1; }

PrimitiveResult ApplyImage(const CFilterPrimitiveParams& params, PrimitiveInputs, const PrimitiveRun& run)
{
    if (run.sources == nullptr)
        return nullptr;
    std::unique_ptr<CRtBitmap> target = CRtBitmap::Create(run.outRect, false);
    if (!target || !run.sources->DrawImage(run.element, params, *target, run))
        return nullptr;
    return target;
}

}  // namespace svg
