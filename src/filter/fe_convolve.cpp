// feConvolveMatrix and feDisplacementMap: their parameters and how they call
// filter/convolve.h and filter/displacement.h.
#include <algorithm>
#include <cmath>
#include <string>

#include "base/limits.h"
#include "filter/convolve.h"
#include "filter/displacement.h"
#include "filter/primitive_attributes.h"
#include "filter/primitive_families.h"
#include "model/messages.h"
#include "values/scan.h"

namespace svg {
namespace {

// The kernel with its unit lengths in primitive units (null: one pixel).
struct ConvolvePrimitive final : CFilterPrimitiveParams {
    ConvolveParams convolve;
    std::optional<NumberPair> kernelUnitLength;
};

struct DisplacementPrimitive final : CFilterPrimitiveParams {
    float scale = 0;  // primitive units
    ChannelSelector xChannel = ChannelSelector::A;
    ChannelSelector yChannel = ChannelSelector::A;
};

// An integer attribute (targetX, targetY): null when absent; null after the
// invalid-value message when it is no whole number.
std::optional<int> ReadInteger(const CElemFilterPrimitive& primitive, AttributeId name, CLoadContext& context)
{
    const std::optional<float> value = ReadPrimitiveNumber(primitive, name, context);
    if (!value)
        return std::nullopt;
    if (*value != std::floor(*value) || std::fabs(*value) > 1e6f) {
        ReportInvalidValue(primitive, name, *PrimitiveAttribute(primitive, name), context);
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

// SVG: order is one or two whole numbers above 0 (3 when absent); anything
// else is an error, as is a kernel too large to compute (limits.h).
bool ReadOrder(const CElemFilterPrimitive& primitive, ConvolveParams& convolve, CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(primitive, AttributeId::order);
    if (text == nullptr)
        return true;
    const std::optional<NumberPair> order = ReadNumberPair(primitive, AttributeId::order, context);
    if (!order)
        return false;
    if (order->x < 1 || order->y < 1 || order->x != std::floor(order->x) || order->y != std::floor(order->y)) {
        ReportInvalidValue(primitive, AttributeId::order, *text, context);
        return false;
    }
    if (double{order->x} * order->y > limits::kMaxConvolveKernelCells) {
        context.Log().Report(primitive, msg::kKernelTooLarge, primitive.Name().c_str(), text->c_str());
        return false;
    }
    convolve.orderX = static_cast<int>(order->x);
    convolve.orderY = static_cast<int>(order->y);
    return true;
}

bool ReadKernel(const CElemFilterPrimitive& primitive, ConvolveParams& convolve, CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(primitive, AttributeId::kernelMatrix);
    if (text == nullptr) {
        context.Log().Report(primitive, msg::kKernelMatrixNotFound, primitive.Name().c_str());
        return false;
    }
    std::optional<std::vector<float>> kernel = ReadPrimitiveNumbers(primitive, AttributeId::kernelMatrix, context);
    if (!kernel)
        return false;
    if (kernel->size() != static_cast<std::size_t>(convolve.orderX) * static_cast<std::size_t>(convolve.orderY)) {
        context.Log().Report(primitive, msg::kKernelMatrixCount, primitive.Name().c_str());
        return false;
    }
    convolve.kernelMatrix = std::move(*kernel);
    return true;
}

// targetX and targetY must fall inside the kernel; default its middle.
bool ReadTargets(const CElemFilterPrimitive& primitive, ConvolveParams& convolve, CLoadContext& context)
{
    const std::optional<int> x = ReadInteger(primitive, AttributeId::targetX, context);
    const std::optional<int> y = ReadInteger(primitive, AttributeId::targetY, context);
    convolve.targetX = x.value_or(convolve.orderX / 2);
    convolve.targetY = y.value_or(convolve.orderY / 2);
    bool valid = true;
    if (convolve.targetX < 0 || convolve.targetX >= convolve.orderX) {
        ReportInvalidValue(primitive, AttributeId::targetX, *PrimitiveAttribute(primitive, AttributeId::targetX),
                           context);
        valid = false;
    }
    if (convolve.targetY < 0 || convolve.targetY >= convolve.orderY) {
        ReportInvalidValue(primitive, AttributeId::targetY, *PrimitiveAttribute(primitive, AttributeId::targetY),
                           context);
        valid = false;
    }
    return valid;
}

// Attributes that are invalid when present but unreadable.
bool Unreadable(const CElemFilterPrimitive& primitive, AttributeId name, const std::optional<float>& value)
{
    return PrimitiveAttribute(primitive, name) != nullptr && !value;
}

// A positive number pair; false after its message when one is not.
bool ReadKernelUnitLength(const CElemFilterPrimitive& primitive, std::optional<NumberPair>& unit,
                          CLoadContext& context)
{
    if (PrimitiveAttribute(primitive, AttributeId::kernelUnitLength) == nullptr)
        return true;
    unit = ReadNumberPair(primitive, AttributeId::kernelUnitLength, context);
    if (!unit)
        return false;
    if (unit->x > 0 && unit->y > 0)
        return true;
    context.Log().Report(primitive, msg::kKernelUnitLengthNotPositive, primitive.Name().c_str());
    return false;
}

ChannelSelector ReadChannel(const CElemFilterPrimitive& primitive, AttributeId name, const char* format,
                            CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(primitive, name);
    if (text == nullptr)
        return ChannelSelector::A;
    if (const std::optional<ChannelSelector> channel = ParseChannelSelector(TrimSpace(*text)))
        return *channel;
    context.Log().Report(primitive, format, primitive.Name().c_str());
    return ChannelSelector::A;
}

}  // namespace

// Errors in the kernel make the primitive's result transparent, as SVG has
// it for a primitive in error.
ParsedParams ParseConvolveMatrix(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<ConvolvePrimitive>();
    ConvolveParams& convolve = params->convolve;
    if (!ReadOrder(primitive, convolve, context) || !ReadKernel(primitive, convolve, context) ||
        !ReadTargets(primitive, convolve, context))
        return nullptr;
    const std::optional<float> divisor = ReadPrimitiveNumber(primitive, AttributeId::divisor, context);
    const std::optional<float> bias = ReadPrimitiveNumber(primitive, AttributeId::bias, context);
    if (Unreadable(primitive, AttributeId::divisor, divisor) || Unreadable(primitive, AttributeId::bias, bias))
        return nullptr;
    // SVG: a divisor of 0 is an error (reported as an invalid value), which
    // leaves the result transparent as today's viewers have it.
    if (divisor && *divisor == 0) {
        ReportInvalidValue(primitive, AttributeId::divisor, *PrimitiveAttribute(primitive, AttributeId::divisor),
                           context);
        return nullptr;
    }
    convolve.divisor = divisor.value_or(0.0f);
    convolve.bias = bias.value_or(0.0f);
    convolve.edgeMode = ReadPrimitiveKeyword(primitive, AttributeId::edgeMode, ParseEdgeMode, EdgeMode::Duplicate,
                                             msg::kOperatorUnknown, context);
    if (!ReadKernelUnitLength(primitive, params->kernelUnitLength, context))
        return nullptr;
    const std::string* preserveAlpha = PrimitiveAttribute(primitive, AttributeId::preserveAlpha);
    convolve.preserveAlpha = preserveAlpha != nullptr && TrimSpace(*preserveAlpha) == "true";
    if (!IsValidConvolve(convolve))
        return nullptr;
    return params;
}

PrimitiveResult ApplyConvolveMatrix(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                    const PrimitiveRun& run)
{
    const auto& primitive = static_cast<const ConvolvePrimitive&>(params);
    ConvolveParams convolve = primitive.convolve;
    if (primitive.kernelUnitLength) {
        convolve.kernelUnitLengthXPx = static_cast<float>(run.space.LengthXPx(primitive.kernelUnitLength->x));
        convolve.kernelUnitLengthYPx = static_cast<float>(run.space.LengthYPx(primitive.kernelUnitLength->y));
    }
    return ConvolveMatrix(InputAt(inputs, 0), convolve, run.outRect, run.stop);
}

// A wrapped edge reads the far side of the input.
int ConvolveMatrixReach(const CFilterPrimitiveParams& params, const FilterSpace& space)
{
    const auto& primitive = static_cast<const ConvolvePrimitive&>(params);
    const ConvolveParams& convolve = primitive.convolve;
    if (convolve.edgeMode == EdgeMode::Wrap)
        return -1;
    double unitX = 1, unitY = 1;
    if (primitive.kernelUnitLength) {
        unitX = space.LengthXPx(primitive.kernelUnitLength->x);
        unitY = space.LengthYPx(primitive.kernelUnitLength->y);
    }
    return ReachPx(std::max(convolve.orderX * unitX, convolve.orderY * unitY));
}

// Duplicated edges repeat the input's last pixels, wherever they lie.
bool ConvolveMatrixReadsEdges(const CFilterPrimitiveParams& params)
{
    return static_cast<const ConvolvePrimitive&>(params).convolve.edgeMode != EdgeMode::None;
}

ParsedParams ParseDisplacementMap(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<DisplacementPrimitive>();
    params->scale = ReadPrimitiveNumber(primitive, AttributeId::scale, context).value_or(0.0f);
    params->xChannel = ReadChannel(primitive, AttributeId::xChannelSelector, msg::kXChannelSelectorInvalid, context);
    params->yChannel = ReadChannel(primitive, AttributeId::yChannelSelector, msg::kYChannelSelectorInvalid, context);
    return params;
}

PrimitiveResult ApplyDisplacementMap(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                     const PrimitiveRun& run)
{
    const auto& primitive = static_cast<const DisplacementPrimitive&>(params);
    DisplacementParams pixels;
    pixels.scaleXPx = static_cast<float>(run.space.OffsetXPx(primitive.scale));
    pixels.scaleYPx = static_cast<float>(run.space.OffsetYPx(primitive.scale));
    pixels.xChannel = primitive.xChannel;
    pixels.yChannel = primitive.yChannel;
    return DisplacementMap(InputAt(inputs, 0), InputAt(inputs, 1), pixels, run.outRect, run.stop);
}

int DisplacementMapReach(const CFilterPrimitiveParams& params, const FilterSpace& space)
{
    const auto& primitive = static_cast<const DisplacementPrimitive&>(params);
    return ReachPx(std::max(space.LengthXPx(primitive.scale), space.LengthYPx(primitive.scale)) / 2);
}

}  // namespace svg
