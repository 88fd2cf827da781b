// Masks: `mask` set-up (units and region, along xlink:href), the mask region
// of a masked element, and drawing an element through a mask. The element's
// content stays vector (a cairo group); only the mask content is
// rasterised, in device pixels from the canvas's ctm, clipped to the mask
// region and to what the canvas can show, and turned into alpha by its
// luminance. The alpha image is then the cairo mask of the content group,
// mapped back into the element's user space.
#pragma once

#include <functional>
#include <optional>

#include "model/elem.h"
#include "render/canvas.h"

namespace svg {

class CPreparer;

bool SetUpMask(CElemMask& mask, CPreparer& preparer);

// Draws what `draw` draws masked by `mask`, for `target` (whose location
// messages carry) with bounding box `bbox` in the current user space. Draws
// nothing when the mask's units need a box that is missing or empty, or its
// region is empty. A mask met again inside its own content is ignored there.
void DrawMasked(const CElemMask& mask, const CElem& target, const std::optional<RectF>& bbox, CCanvas& canvas,
                const RenderArgs& args, const std::function<void()>& draw);

}  // namespace svg
