// feColorMatrix and feComponentTransfer: their parameters and how they call
// the colour arithmetic of filter/color.h.
#include "filter/color.h"
#include "filter/primitive_attributes.h"
#include "filter/primitive_families.h"
#include "model/messages.h"

namespace svg {
namespace {

struct ColorMatrixPrimitive final : CFilterPrimitiveParams {
    ColorMatrix matrix;
};

struct ComponentTransferPrimitive final : CFilterPrimitiveParams {
    ComponentTransferParams transfer;
};

// SVG: values missing from a matrix type take its identity (the matrix
// itself, saturate 1, hueRotate 0); a list of the wrong length is an error,
// which is reported and gives the identity too.
ColorMatrix ReadMatrix(const CElemFilterPrimitive& primitive, ColorMatrixType type, CLoadContext& context)
{
    const std::optional<std::vector<float>> values = ReadPrimitiveNumbers(primitive, AttributeId::values, context);
    switch (type) {
    case ColorMatrixType::LuminanceToAlpha: return LuminanceToAlphaMatrix();
    case ColorMatrixType::Saturate:
        if (values && values->size() == 1)
            return SaturateMatrix(values->front());
        if (values)
            context.Log().Report(msg::kSaturateNeedsValue);
        return IdentityColorMatrix();
    case ColorMatrixType::HueRotate:
        if (values && values->size() == 1)
            return HueRotateMatrix(values->front());
        if (values)
            context.Log().Report(msg::kHueRotateNeedsValue);
        return IdentityColorMatrix();
    case ColorMatrixType::Matrix: break;
    }
    if (!values)
        return IdentityColorMatrix();
    if (values->size() != 20) {
        context.Log().Report(msg::kColorMatrixNeedsValues);
        return IdentityColorMatrix();
    }
    ColorMatrix matrix;
    std::copy(values->begin(), values->end(), matrix.values.begin());
    return matrix;
}

// One feFuncX child. SVG's defaults: slope, amplitude and exponent 1, the
// rest 0; a table without values is the identity.
TransferFunction ReadFunction(const CElemFilterPrimitive& func, CLoadContext& context)
{
    TransferFunction function;
    function.type = ReadPrimitiveKeyword(func, AttributeId::type, ParseTransferType, TransferType::Identity,
                                         msg::kTypeUnknown, context);
    const auto number = [&](AttributeId name, float fallback) {
        return ReadPrimitiveNumber(func, name, context).value_or(fallback);
    };
    function.tableValues = ReadPrimitiveNumbers(func, AttributeId::tableValues, context).value_or(std::vector<float>{});
    function.slope = number(AttributeId::slope, 1.0f);
    function.intercept = number(AttributeId::intercept, 0.0f);
    function.amplitude = number(AttributeId::amplitude, 1.0f);
    function.exponent = number(AttributeId::exponent, 1.0f);
    function.offset = number(AttributeId::offset, 0.0f);
    return function;
}

}  // namespace

ParsedParams ParseColorMatrix(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<ColorMatrixPrimitive>();
    const ColorMatrixType type = ReadPrimitiveKeyword(primitive, AttributeId::type, ParseColorMatrixType,
                                                      ColorMatrixType::Matrix, msg::kTypeUnknown, context);
    params->matrix = ReadMatrix(primitive, type, context);
    return params;
}

PrimitiveResult ApplyColorMatrixPrimitive(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                 const PrimitiveRun& run)
{
    const auto& matrix = static_cast<const ColorMatrixPrimitive&>(params);
    return ApplyColorMatrix(InputAt(inputs, 0), matrix.matrix, run.outRect, run.stop);
}

// A later feFuncX of the same channel replaces an earlier one.
ParsedParams ParseComponentTransfer(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    auto params = std::make_unique<ComponentTransferPrimitive>();
    ComponentTransferParams& transfer = params->transfer;
    for (const CElem* child : primitive.Children()) {
        if (child->Class() != ElemClass::FilterPrimitive)
            continue;
        const auto& func = static_cast<const CElemFilterPrimitive&>(*child);
        switch (func.Id()) {
        case ElementId::feFuncR: transfer.red = ReadFunction(func, context); break;
        case ElementId::feFuncG: transfer.green = ReadFunction(func, context); break;
        case ElementId::feFuncB: transfer.blue = ReadFunction(func, context); break;
        case ElementId::feFuncA: transfer.alpha = ReadFunction(func, context); break;
        default: break;
        }
    }
    return params;
}

PrimitiveResult ApplyComponentTransfer(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                       const PrimitiveRun& run)
{
    const auto& transfer = static_cast<const ComponentTransferPrimitive&>(params);
    return ComponentTransfer(InputAt(inputs, 0), transfer.transfer, run.outRect, run.stop);
}

}  // namespace svg
