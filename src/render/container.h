// Containers, viewports and `use`: setting up svg, symbol, foreignObject and
// the other containers (viewport, `clip`, enable-background), drawing and
// hit-testing their children (one of them for a switch, a placeholder box
// for foreignObject), and `use` instantiation. The viewport helpers are
// shared with the other elements that establish one (image, pattern,
// marker). Problems are reported as located messages and never stop the load.
#pragma once

#include "model/elem.h"
#include "render/canvas.h"
#include "render/render_pass.h"
#include "values/matrix.h"
#include "values/rect.h"
#include "values/syntax.h"

namespace svg {

class CPreparer;

bool SetUpContainer(CElemContainer& elem, CPreparer& preparer);
void DrawContainer(const CElemContainer& elem, CCanvas& canvas, const RenderArgs& args);
const CElem* HitTestContainer(const CElemContainer& elem, double x, double y, CRenderPass& pass);

// The matrix that maps `viewBox` into `viewportRect` under preserveAspectRatio
// `aspect`; identity when either rectangle has no width or height.
Matrix ViewBoxToViewport(const RectF& viewportRect, const RectF& viewBox, const AspectRatio& aspect);

// How a `clip` whose rect( does not hold four offsets is reported: without
// element or location as viewports report it, or naming the element at its
// location as markers, images and patterns do. (A value that does not begin
// with rect( is reported without them by all.)
enum class ClipCountMessage { Plain, Located };

// Reads the `clip` property, rect(top, right, bottom, left) with `auto`
// allowed. Null when it is absent, `auto`, or unusable (reported).
std::optional<ClipOffsets> ReadClipOffsets(const CElem& elem, ClipCountMessage countMessage, CPreparer& preparer);

// The clip rectangle of `offsets` in the user space the content is drawn in:
// the offsets are taken from the top and left edges of `viewport`, the
// viewport in that same space. Empty when `viewport` is.
RectF ClipRectIn(const RectF& viewport, const ClipOffsets& offsets);

// ReadClipOffsets into elem.clipRect, for the viewport elem.region (in the
// parent's user space) seen through elem.viewBoxMatrix: call it once both
// are set.
void ReadClipProperty(CElemContainer& elem, CPreparer& preparer,
                      ClipCountMessage countMessage = ClipCountMessage::Plain);

// `use` (its set-up): clones the target named by xlink:href as the only
// child of the `use`, appends x and y to the use's transform and prepares the
// instance in its new place. Cycles, and instances beyond the bounds of
// limits.h, are reported and leave the `use` empty. False only when
// preparing the instance was stopped or failed.
bool InstantiateUse(CElemContainer& use, CPreparer& preparer);

}  // namespace svg
