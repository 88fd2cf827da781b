#include "filter/primitives.h"

#include <algorithm>
#include <iterator>

#include "model/load_context.h"
#include "model/messages.h"

namespace svg {
namespace {

// Every primitive element of SVG 1.1. Families register their functions
// here as they are built.
constexpr FilterPrimitiveFamily kFamilies[] = {
    {ElementId::feBlend},           {ElementId::feColorMatrix},      {ElementId::feComponentTransfer},
    {ElementId::feComposite},       {ElementId::feConvolveMatrix},   {ElementId::feDiffuseLighting},
    {ElementId::feDisplacementMap}, {ElementId::feFlood},            {ElementId::feGaussianBlur},
    {ElementId::feImage},           {ElementId::feMerge},            {ElementId::feMorphology},
    {ElementId::feOffset},          {ElementId::feSpecularLighting}, {ElementId::feTile},
    {ElementId::feTurbulence},
};

}  // namespace

const FilterPrimitiveFamily* FindPrimitiveFamily(ElementId element)
{
    const auto* found = std::find_if(std::begin(kFamilies), std::end(kFamilies),
                                     [element](const FilterPrimitiveFamily& family) { return family.element == element; });
    return found == std::end(kFamilies) ? nullptr : found;
}

bool PreparePrimitive(CElemFilterPrimitive& primitive, CLoadContext& context)
{
    const FilterPrimitiveFamily* family = FindPrimitiveFamily(primitive.Id());
    if (family == nullptr)
        return false;
    if (!family->Built()) {
        context.Log().Report(primitive, msg::kNotDrawnYet, primitive.Name().c_str());
        return false;
    }
    primitive.params = family->parse(primitive, context);
    return primitive.params != nullptr;
}

}  // namespace svg
