// The effects an element is drawn through: mask, filter and group opacity.
// Render hands over the element's drawing as a callback (in the element's
// user space, after its transform and before its viewBox); the effects wrap
// it. Group opacity stays a vector cairo group. A mask is the one raster
// step: its content is rasterised at the device resolution that the
// canvas's ctm tells (bounded by the bitmap limits) and turned into a
// luminance alpha mask. Filters plug in at DrawThroughFilter.
//
// With raster effects disabled for the document, masks and filters are
// skipped and the element is drawn directly (still faded by its opacity).
// Runs on the rendering thread; a mask or filter reference that comes back to
// itself while it is being drawn is ignored.
#pragma once

#include <cairo.h>

#include <functional>
#include <optional>

#include "model/elem.h"
#include "render/canvas.h"
#include "values/rect.h"

namespace svg {

// The element's bounding box in the user space its clip-path, mask and
// filter work in (after its transform, before its viewBox); null when it has
// no geometry.
std::optional<RectF> ObjectBoundingBox(const CElem& elem);

// Draws the element through its effects: `draw` draws the element itself.
void DrawWithEffects(CElem& elem, CCanvas& canvas, const RenderArgs& args, const std::function<void()>& draw);

// The effects pass for an element with a mask or a filter: the filter turns
// the element's picture into its result, the mask masks that, and the
// opacity fades the masked result once.
void applyFilterAndMask(CElem& elem, CCanvas& canvas, const RenderArgs& args, const std::function<void()>& draw);

// Where the filter pipeline plugs in: draws `source`, the element's own
// picture recorded in the current user space, through the element's filter
// onto `canvas`.
void DrawThroughFilter(CElem& elem, CCanvas& canvas, const RenderArgs& args, cairo_pattern_t* source);

// Draws what `draw` draws masked by `mask`, for `target` (whose location
// messages carry) with bounding box `bbox` in the current user space. Draws
// nothing when the mask's units need a box that is missing or empty, or its
// region is empty.
void DrawMasked(const CElemMask& mask, const CElem& target, const std::optional<RectF>& bbox, CCanvas& canvas,
                const RenderArgs& args, const std::function<void()>& draw);

}  // namespace svg
