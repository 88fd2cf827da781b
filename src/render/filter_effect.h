// Filters in the renderer: setting up `filter` elements and their primitives
// (units, region, filterRes, the primitives inherited through xlink:href,
// `in` and `in2` resolved to standard inputs or earlier results, feImage's
// picture), and drawing an element through its filter.
//
// Drawing: the filter region and the primitive subregions are laid out in
// pixels of the device the canvas draws on (its ctm; under a rotation or skew
// the filter computes in the user space scaled by the device scale, and its
// result is drawn transformed), only the part of the region the canvas clip
// lets through is computed (with what the primitives need around it), and
// the result is drawn back pixel-aligned. The pixels a filter may hold are
// bounded (limits.h): beyond them the filter runs at a coarser resolution,
// with a warning. Everything a drawing changes is in its render pass; the
// tree is only read.
#pragma once

#include <functional>
#include <optional>

#include "filter/filter_pipeline.h"
#include "model/elem.h"
#include "render/canvas.h"

namespace svg {

class CPreparer;

bool SetUpFilter(CElemFilter& filter, CPreparer& preparer);

// Whether the filters of the tree under `root`, drawn at `rootToDevice` onto
// a `width` x `height` image cut into `bands` equal bands, cost at most twice
// what they cost over the whole image, or no more pixels than a quarter of
// the image besides. Each band computes a filter over its own rows of the
// filter region and as far beyond as the filter reads: a far-reaching
// filter over a large region is computed again and again. False when a
// filter reads its whole input (a tile).
bool FiltersWorthBands(const CElem& root, const Matrix& rootToDevice, int width, int height, int bands);
// A primitive and the elements inside primitives (light sources, transfer
// functions, merge nodes): their attributes, and feImage's picture.
bool SetUpFilterPrimitive(CElemFilterPrimitive& primitive, CPreparer& preparer);

// Draws `elem` through its filter onto `canvas`; `draw` draws the element
// itself onto the canvas it is given, in the element's user space. Draws
// nothing when the filter gives nothing (no primitives, a disabled or empty
// region, a box the filter's units need and the element lacks).
void DrawThroughFilter(const CElem& elem, CCanvas& canvas, const RenderArgs& args,
                       const std::function<void(CCanvas&)>& draw);

// The images `primitive` keeps (filter_pipeline.h) when its filter runs for
// the first element, in document order, of the primitive's document drawn
// through it (or through a filter that takes its primitives by xlink:href),
// as drawing that element would run it, with `deviceScale` pixels a unit of
// the element's user space. Null when no element uses the filter, the
// filter draws nothing there, the primitive keeps no image, or the pass is
// stopped. Reads the prepared tree only; reports through the pass.
std::optional<KeptPrimitiveImages> KeepPrimitiveImages(const CElemFilterPrimitive& primitive, CRenderPass& pass,
                                                       double deviceScale);

}  // namespace svg
