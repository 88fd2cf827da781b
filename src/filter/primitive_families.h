// The parse and apply functions of each primitive family, defined in the
// fe_*.cpp files and collected into the family table of primitives.cpp.
// Internal to src/filter.
#pragma once

#include <memory>

#include "filter/primitives.h"

namespace svg {

using ParsedParams = std::unique_ptr<const CFilterPrimitiveParams>;
using PrimitiveResult = std::unique_ptr<CRtBitmap>;

// fe_composite.cpp: feBlend, feComposite, feMerge, feFlood, feOffset, feTile, feImage.
ParsedParams ParseBlend(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyBlend(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run);
ParsedParams ParseComposite(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyComposite(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run);
ParsedParams ParseMerge(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyMerge(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run);
ParsedParams ParseFlood(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyFlood(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run);
ParsedParams ParseOffset(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyOffset(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run);
int OffsetReach(const CFilterPrimitiveParams& params, const FilterSpace& space);
ParsedParams ParseTile(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyTile(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run);
int UnboundedReach(const CFilterPrimitiveParams& params, const FilterSpace& space);
PrimitiveResult ApplyImage(const CFilterPrimitiveParams& params, PrimitiveInputs inputs, const PrimitiveRun& run);

// fe_color.cpp: feColorMatrix, feComponentTransfer.
ParsedParams ParseColorMatrix(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyColorMatrixPrimitive(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                 const PrimitiveRun& run);
ParsedParams ParseComponentTransfer(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyComponentTransfer(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                       const PrimitiveRun& run);

// fe_blur.cpp: feGaussianBlur, feMorphology.
ParsedParams ParseGaussianBlur(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyGaussianBlur(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                  const PrimitiveRun& run);
int GaussianBlurReach(const CFilterPrimitiveParams& params, const FilterSpace& space);
ParsedParams ParseMorphology(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyMorphology(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                const PrimitiveRun& run);
int MorphologyReach(const CFilterPrimitiveParams& params, const FilterSpace& space);

// fe_convolve.cpp: feConvolveMatrix, feDisplacementMap.
ParsedParams ParseConvolveMatrix(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyConvolveMatrix(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                    const PrimitiveRun& run);
int ConvolveMatrixReach(const CFilterPrimitiveParams& params, const FilterSpace& space);
bool ConvolveMatrixReadsEdges(const CFilterPrimitiveParams& params);
ParsedParams ParseDisplacementMap(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyDisplacementMap(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                     const PrimitiveRun& run);
int DisplacementMapReach(const CFilterPrimitiveParams& params, const FilterSpace& space);

// fe_lighting.cpp: feDiffuseLighting, feSpecularLighting, feTurbulence.
ParsedParams ParseDiffuseLighting(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyDiffuseLighting(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                     const PrimitiveRun& run);
ParsedParams ParseSpecularLighting(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplySpecularLighting(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                      const PrimitiveRun& run);
int LightingReach(const CFilterPrimitiveParams& params, const FilterSpace& space);
ParsedParams ParseTurbulence(const CElemFilterPrimitive& primitive, CLoadContext& context);
PrimitiveResult ApplyTurbulence(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                const PrimitiveRun& run);

// The input at `index`, or null (transparent) when there is none.
inline const CRtBitmap* InputAt(PrimitiveInputs inputs, std::size_t index)
{
    return index < inputs.size() ? inputs[index] : nullptr;
}

// A reach in pixels rounded up, with room for rounding and resampling,
// kept within an int; -1 (unbounded) for a distance that is not finite.
int ReachPx(double distancePx);

}  // namespace svg
