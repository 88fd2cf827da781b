// The filter primitives: for each primitive element, how its attributes
// become typed parameters when the filter is prepared, and how its result is
// computed from its inputs when the filtered element is drawn. The family
// table maps every primitive element to its functions; the driver
// (filter/filter_pipeline.h) calls them in the filter's order.
//
// Preparing runs on the loading thread and reports located messages through
// the load's context; applying reads the prepared element only, so any
// number of threads may apply the same primitive at once. Lengths reach the
// apply functions in the units the filter works in (primitiveUnits) and are
// converted to filter pixels through the FilterSpace they are given.
#pragma once

#include <memory>
#include <optional>
#include <span>

#include "base/stop_token.h"
#include "filter/rt_bitmap.h"
#include "model/elem.h"
#include "values/matrix.h"

namespace svg {

class CLoadContext;
class CFilterInputSource;

// The pixel space one filter computes in, for one drawing of one element.
struct FilterSpace {
    // The filtered element's user space to filter pixels: positive scales
    // and a translation, never a rotation, skew or mirror.
    Matrix userToPixel;
    // The filtered element's bounding box in its user space; null without one.
    std::optional<RectF> bboxUser;
    Units primitiveUnits = Units::UserSpaceOnUse;
    // The filter region in user units and in pixels.
    RectF regionUser;
    PixelRect regionPx;
    // The part of regionPx that is computed: what can be seen, and what that
    // needs of the inputs around it. Nothing outside it is drawn.
    PixelRect computePx;

    // A length of the primitive's units along x (y) in pixels, never
    // negative: a fraction of the box with objectBoundingBox units.
    double LengthXPx(double length) const;
    double LengthYPx(double length) const;
    // A distance along x (y) in pixels, with its sign: how far an offset moves.
    double OffsetXPx(double offset) const;
    double OffsetYPx(double offset) const;
    // A point of the primitive's units in pixels.
    PointD PointPx(double x, double y) const;
    // A length that is neither along x nor along y (a light's height, a
    // surface scale), scaled by the diagonal: sqrt((sx^2 + sy^2) / 2).
    double DiagonalPx(double length) const;
    // The user units one pixel spans along x and y (for primitives whose
    // parameters are user-space frequencies).
    double PixelsPerUserX() const;
    double PixelsPerUserY() const;
};

// One primitive being applied.
struct PrimitiveRun {
    const CElemFilterPrimitive& element;
    const FilterSpace& space;
    // The primitive subregion as its attributes and defaults give it, where
    // a picture is placed, in user units.
    RectF placementUser;
    // The primitive subregion, clipped to the filter region, in user units
    // and in pixels.
    RectF subregionUser;
    PixelRect subregionPx;
    // subregionPx within space.computePx: the rectangle to compute. Not empty.
    PixelRect outRect;
    ColorInterpolation colorSpace = ColorInterpolation::LinearRGB;
    const CStopToken& stop;
    // What draws the pictures of feImage; null where nothing can.
    CFilterInputSource* sources = nullptr;
};

// The images a primitive reads, in the working colour space of its family
// (see ColorHandling); a null entry is a transparent image. `in` and `in2`
// are inputs[0] and inputs[1]; feMerge has one entry per feMergeNode.
using PrimitiveInputs = std::span<const CRtBitmap* const>;

// Which of its references a primitive reads.
enum class InputUse : unsigned char {
    None,      // feFlood, feImage, feTurbulence
    In,        // `in`
    InAndIn2,  // `in` and `in2`
    MergeNodes,  // the `in` of each feMergeNode child
};

// How a primitive treats colour spaces.
enum class ColorHandling : unsigned char {
    // Inputs are converted to color-interpolation-filters; so is the result.
    Working,
    // Pixels are moved, not combined: the input is taken in whatever space it
    // is and the result is in that space (feOffset, feTile).
    KeepInput,
    // feDisplacementMap: `in` is moved as it is, only the map `in2` is read
    // in the working space; the result is in the space of `in`.
    DisplacementMap,
    // The result is made in sRGB (a flood colour, a picture).
    MakesSrgb,
};

struct FilterPrimitiveFamily {
    ElementId element = ElementId::Unknown;
    InputUse inputs = InputUse::In;
    ColorHandling colors = ColorHandling::Working;
    // Reads the element's own attributes (the common ones are read already);
    // null after reporting when the primitive cannot be used, which makes its
    // result transparent. Null for feImage, whose picture the renderer
    // prepares.
    std::unique_ptr<const CFilterPrimitiveParams> (*parse)(const CElemFilterPrimitive& primitive,
                                                           CLoadContext& context) = nullptr;
    // The result, a new bitmap of run.outRect; null when there is nothing
    // (a transparent result) or the run was stopped.
    std::unique_ptr<CRtBitmap> (*apply)(const CFilterPrimitiveParams& params, PrimitiveInputs inputs,
                                        const PrimitiveRun& run) = nullptr;
    // How many pixels around an output pixel its inputs are read, in the
    // given space; -1 when the whole input may be read (a tile, a wrapped
    // edge). Null for primitives that read only the pixel itself.
    int (*reachPx)(const CFilterPrimitiveParams& params, const FilterSpace& space) = nullptr;
    // True when the result depends on where the input ends, beyond its
    // pixels within reach (an edge extended by duplication). Null: never.
    bool (*readsInputEdges)(const CFilterPrimitiveParams& params) = nullptr;
};

// The family of a filter primitive element (feBlend ... feTurbulence); null
// for any other element, light sources, transfer functions and feMergeNode
// included.
const FilterPrimitiveFamily* FindPrimitiveFamily(ElementId element);

// Reads a primitive element's common attributes (subregion,
// color-interpolation-filters) and, through its family, its own parameters,
// reporting what cannot be used. Elements inside primitives and primitives
// outside a filter are left as they are. False when the element is not a
// usable primitive.
bool PreparePrimitive(CElemFilterPrimitive& primitive, CLoadContext& context);

}  // namespace svg
