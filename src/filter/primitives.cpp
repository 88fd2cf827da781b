#include "filter/primitives.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "filter/primitive_families.h"
#include "model/attribute_reader.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "values/keywords.h"
#include "values/number.h"

namespace svg {
namespace {

constexpr FilterPrimitiveFamily kFamilies[] = {
    {ElementId::feBlend, InputUse::InAndIn2, ColorHandling::Working, ParseBlend, ApplyBlend},
    {ElementId::feColorMatrix, InputUse::In, ColorHandling::Working, ParseColorMatrix, ApplyColorMatrixPrimitive},
    {ElementId::feComponentTransfer, InputUse::In, ColorHandling::Working, ParseComponentTransfer,
     ApplyComponentTransfer},
    {ElementId::feComposite, InputUse::InAndIn2, ColorHandling::Working, ParseComposite, ApplyComposite},
    {ElementId::feConvolveMatrix, InputUse::In, ColorHandling::Working, ParseConvolveMatrix, ApplyConvolveMatrix,
     ConvolveMatrixReach, ConvolveMatrixReadsEdges},
    {ElementId::feDiffuseLighting, InputUse::In, ColorHandling::Working, ParseDiffuseLighting,
     ApplyDiffuseLighting, LightingReach},
    {ElementId::feDisplacementMap, InputUse::InAndIn2, ColorHandling::DisplacementMap, ParseDisplacementMap,
     ApplyDisplacementMap, DisplacementMapReach},
    {ElementId::feFlood, InputUse::None, ColorHandling::MakesSrgb, ParseFlood, ApplyFlood},
    {ElementId::feGaussianBlur, InputUse::In, ColorHandling::Working, ParseGaussianBlur, ApplyGaussianBlur,
     GaussianBlurReach},
    {ElementId::feImage, InputUse::None, ColorHandling::MakesSrgb, nullptr, ApplyImage},
    {ElementId::feMerge, InputUse::MergeNodes, ColorHandling::Working, ParseMerge, ApplyMerge},
    {ElementId::feMorphology, InputUse::In, ColorHandling::Working, ParseMorphology, ApplyMorphology,
     MorphologyReach},
    {ElementId::feOffset, InputUse::In, ColorHandling::KeepInput, ParseOffset, ApplyOffset, OffsetReach},
    {ElementId::feSpecularLighting, InputUse::In, ColorHandling::Working, ParseSpecularLighting,
     ApplySpecularLighting, LightingReach},
    {ElementId::feTile, InputUse::In, ColorHandling::KeepInput, ParseTile, ApplyTile, UnboundedReach},
    {ElementId::feTurbulence, InputUse::None, ColorHandling::Working, ParseTurbulence, ApplyTurbulence},
};

// x, y, width or height of a subregion, as written, in both unit systems.
std::optional<FilterLength> ReadSubregionValue(CElemFilterPrimitive& primitive, AttributeId name, PercentRule rule,
                                               CLoadContext& context)
{
    const std::string* text = primitive.GetAttribute(name, false);
    if (text == nullptr)
        return std::nullopt;
    const std::optional<Number> number = ParseLength(*text);
    if (!number) {
        ReportInvalidValue(primitive, name, *text, context);
        return std::nullopt;
    }
    const LengthContext lengths = LengthsOf(primitive, context);
    FilterLength length;
    length.userUnits = static_cast<float>(ResolveLength(*number, rule, lengths));
    length.fraction = static_cast<float>(number->unit == Unit::Percent ? number->value / 100
                                                                       : ToUserUnits(*number, lengths));
    return length;
}

// SVG: a negative width or height is an error and a zero one disables the
// primitive; both leave its result transparent.
std::optional<FilterLength> ReadSubregionSize(CElemFilterPrimitive& primitive, AttributeId name, PercentRule rule,
                                              CLoadContext& context)
{
    std::optional<FilterLength> size = ReadSubregionValue(primitive, name, rule, context);
    if (!size || (size->userUnits > 0 && size->fraction > 0))
        return size;
    const std::string attribute(AttributeName(name));
    context.Log().Report(primitive, msg::kPrimitiveMustBePositive, primitive.Name().c_str(), attribute.c_str(),
                         primitive.GetAttribute(name, false)->c_str());
    primitive.emptySubregion = true;
    return std::nullopt;
}

// color-interpolation-filters, an inherited property: linearRGB unless sRGB.
ColorInterpolation ReadColorSpace(const CElemFilterPrimitive& primitive, CLoadContext& context)
{
    const std::string* text = primitive.GetAttribute(AttributeId::color_interpolation_filters, true);
    if (text == nullptr)
        return ColorInterpolation::LinearRGB;
    const std::string_view value = TrimSpace(*text);
    if (value == "sRGB")
        return ColorInterpolation::SRGB;
    if (value != "linearRGB" && value != "auto")
        context.Log().Report(primitive, msg::kColorInterpolationFiltersInvalid, primitive.Name().c_str(),
                             text->c_str());
    return ColorInterpolation::LinearRGB;
}

double Diagonal(double x, double y) { return std::sqrt((x * x + y * y) / 2); }

}  // namespace

int ReachPx(double distancePx)
{
    if (!std::isfinite(distancePx))
        return -1;
    return static_cast<int>(std::min(std::ceil(std::fabs(distancePx)) + 2, 1e9));
}

double FilterSpace::LengthXPx(double length) const
{
    const double user = primitiveUnits == Units::ObjectBoundingBox && bboxUser ? length * bboxUser->width : length;
    return std::fabs(user * userToPixel.m11);
}

double FilterSpace::LengthYPx(double length) const
{
    const double user = primitiveUnits == Units::ObjectBoundingBox && bboxUser ? length * bboxUser->height : length;
    return std::fabs(user * userToPixel.m22);
}

double FilterSpace::OffsetXPx(double offset) const
{
    const double user = primitiveUnits == Units::ObjectBoundingBox && bboxUser ? offset * bboxUser->width : offset;
    return user * userToPixel.m11;
}

double FilterSpace::OffsetYPx(double offset) const
{
    const double user = primitiveUnits == Units::ObjectBoundingBox && bboxUser ? offset * bboxUser->height : offset;
    return user * userToPixel.m22;
}

PointD FilterSpace::PointPx(double x, double y) const
{
    if (primitiveUnits == Units::ObjectBoundingBox && bboxUser) {
        x = bboxUser->x + x * bboxUser->width;
        y = bboxUser->y + y * bboxUser->height;
    }
    return userToPixel.Apply({x, y});
}

double FilterSpace::DiagonalPx(double length) const
{
    if (primitiveUnits == Units::ObjectBoundingBox && bboxUser)
        length *= Diagonal(bboxUser->width, bboxUser->height);
    return length * Diagonal(userToPixel.m11, userToPixel.m22);
}

double FilterSpace::PixelsPerUserX() const { return std::fabs(userToPixel.m11); }

double FilterSpace::PixelsPerUserY() const { return std::fabs(userToPixel.m22); }

const FilterPrimitiveFamily* FindPrimitiveFamily(ElementId element)
{
    const auto* found = std::find_if(std::begin(kFamilies), std::end(kFamilies),
                                     [element](const FilterPrimitiveFamily& family) { return family.element == element; });
    return found == std::end(kFamilies) ? nullptr : found;
}

bool PreparePrimitive(CElemFilterPrimitive& primitive, CLoadContext& context)
{
    const FilterPrimitiveFamily* family = FindPrimitiveFamily(primitive.Id());
    const CElem* parent = primitive.Parent();
    if (family == nullptr || parent == nullptr || parent->Class() != ElemClass::Filter)
        return false;
    primitive.emptySubregion = false;
    primitive.x = ReadSubregionValue(primitive, AttributeId::x, PercentRule::HorizontalPosition, context);
    primitive.y = ReadSubregionValue(primitive, AttributeId::y, PercentRule::VerticalPosition, context);
    primitive.width = ReadSubregionSize(primitive, AttributeId::width, PercentRule::HorizontalSize, context);
    primitive.height = ReadSubregionSize(primitive, AttributeId::height, PercentRule::VerticalSize, context);
    primitive.colorSpace = ReadColorSpace(primitive, context);
    if (family->parse != nullptr)
        primitive.params = family->parse(primitive, context);
    return true;
}

}  // namespace svg
