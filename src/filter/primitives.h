// The filter primitives. Each family (one file each) reads its elements'
// attributes into parameters while the filter is prepared, and computes its
// result on raster bitmaps when the filtered element is drawn. The table
// maps every primitive element to its family. A family that is not built
// has no functions: an element filtered through it is drawn unfiltered, and
// preparing the primitive says so with a located warning.
#pragma once

#include <memory>

#include "base/stop_token.h"
#include "filter/rt_bitmap.h"
#include "model/elem.h"

namespace svg {

class CLoadContext;

// What a primitive computes from: its inputs (null where it takes none, or
// for an input that is missing) and the pixel rectangle of its subregion.
struct PrimitiveInputs {
    const CRtBitmap* in = nullptr;
    const CRtBitmap* in2 = nullptr;
    PixelRect subregion;
};

struct FilterPrimitiveFamily {
    ElementId element = ElementId::Unknown;
    // Reads the element's attributes; null after reporting when the
    // primitive cannot be used.
    std::unique_ptr<const CFilterPrimitiveParams> (*parse)(const CElemFilterPrimitive& primitive,
                                                           CLoadContext& context) = nullptr;
    // The primitive's result, a new bitmap of the subregion; null when it
    // cannot be computed (or was stopped).
    std::unique_ptr<CRtBitmap> (*apply)(const CFilterPrimitiveParams& params, const PrimitiveInputs& inputs,
                                        const CStopToken& stop) = nullptr;

    bool Built() const { return parse != nullptr && apply != nullptr; }
};

// The family of a filter primitive element (feBlend ... feTurbulence); null
// for any other element, light sources and transfer functions included.
const FilterPrimitiveFamily* FindPrimitiveFamily(ElementId element);

// Reads a primitive element's parameters into primitive.params when its
// family is built; otherwise reports "W <name> NOT supported" at it. False
// when the primitive cannot be used.
bool PreparePrimitive(CElemFilterPrimitive& primitive, CLoadContext& context);

}  // namespace svg
