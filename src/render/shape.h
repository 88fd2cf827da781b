// Basic shapes and paths: reading the geometry attributes of rect, circle,
// ellipse, line, polyline, polygon and path into one path item (with a
// located message for every missing, unreadable or negative value; a shape
// whose geometry cannot be built keeps no item and draws nothing) and the
// marker references of the four marker-bearing shapes; painting each item
// with the resolved fill and stroke; outline bounds, hit testing and clip
// geometry. The element's `opacity` is not applied here: Render fades the
// whole element as a group.
#pragma once

#include <optional>

#include "model/elem.h"
#include "render/canvas.h"
#include "render/render_pass.h"

namespace svg {

class CPreparer;
struct ClipRegion;

bool SetUpShape(CElemShape& shape, CPreparer& preparer);
void DrawShape(const CElemShape& shape, CCanvas& canvas, const RenderArgs& args);
std::optional<RectF> ShapeOutlineBounds(const CElemShape& shape, const Matrix& toSpace);
const CElem* HitTestShape(const CElemShape& shape, double x, double y, CRenderPass& pass);
// Appends the shape's outlines to a clip path, filled under `rule`, in its
// own user space (before its transform).
void AppendShapeClipGeometry(const CElemShape& shape, ClipRegion& clip, FillRule rule);

}  // namespace svg
