// The effects an element is drawn through: clip (clip_path.h), mask
// (mask.h), filter (filter_effect.h) and group opacity. Render hands over the
// element's drawing as a callback (in the element's user space, after its
// transform and before its viewBox) that draws onto the canvas it is given;
// the effects wrap it. Group opacity stays a vector cairo group. A mask is
// rasterised at the device resolution that the canvas's ctm tells (bounded
// by the bitmap limits) and turned into a luminance alpha mask; a filter
// draws the element into a bitmap of its own and draws its result back.
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

// What the element's drawing can touch, in the space ObjectBoundingBox
// works in; null when that is not known.
std::optional<RectF> PaintBox(const CElem& elem);

// For an element drawn through an intermediate surface (group opacity, a
// mask, a clip-path): intersects the canvas clip with what its drawing can
// touch (PaintBox), so that its surfaces cover only that. False when it can
// show nothing and the pass neither reports nor records: it need not be drawn.
bool ClipToPaintBox(const CElem& elem, CCanvas& canvas, const CRenderPass& pass);

// Draws the element onto the canvas it is given.
using DrawOnCanvas = std::function<void(CCanvas&)>;

// Draws the element through its effects: `draw` draws the element itself.
void DrawWithEffects(const CElem& elem, CCanvas& canvas, const RenderArgs& args, const DrawOnCanvas& draw);

}  // namespace svg
