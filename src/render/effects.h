// The effects an element is drawn through: clip (clip_path.h), mask
// (mask.h), filter and group opacity. Render hands over the element's drawing
// as a callback (in the element's user space, after its transform and before
// its viewBox); the effects wrap it. Group opacity stays a vector cairo
// group. A mask is rasterised at the device resolution that the canvas's
// ctm tells (bounded by the bitmap limits) and turned into a luminance alpha
// mask. Filters plug in at DrawThroughFilter.
//
// With raster effects disabled for the document, masks and filters are
// skipped and the element is drawn directly (still faded by its opacity).
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
void DrawWithEffects(const CElem& elem, CCanvas& canvas, const RenderArgs& args, const std::function<void()>& draw);

// Where the filter pipeline plugs in: draws `source`, the element's own
// picture recorded in the current user space, through the element's filter
// onto `canvas`.
void DrawThroughFilter(const CElem& elem, CCanvas& canvas, const RenderArgs& args, cairo_pattern_t* source);

}  // namespace svg
