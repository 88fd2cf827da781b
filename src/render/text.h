// Text elements in the drawing: laying out a `text` once its content
// elements are prepared (its document's declared fonts installed first),
// then drawing the laid-out paint items with the fill and stroke of the
// element each names, glyph content of SVG fonts, outline bounds (the glyph
// cells, as SVG measures text), hit testing on the cells (a click lands on
// the tspan or text that owns the glyph) and clip geometry.
//
// Preparation runs on the loading thread; drawing, bounds and hit tests read
// the layout only and may run on any thread.
#pragma once

#include <optional>

#include "model/elem.h"
#include "render/canvas.h"
#include "render/render_pass.h"

namespace svg {

class CPreparer;
struct ClipRegion;

// Lays out a `text` element after its children were prepared.
void FinishText(CElemText& text, CPreparer& preparer);
void DrawText(const CElemText& text, CCanvas& canvas, const RenderArgs& args);
std::optional<RectF> TextOutlineBounds(const CElemText& text, const Matrix& toSpace);
const CElem* HitTestText(const CElemText& text, double x, double y);
void AppendTextClipGeometry(const CElemText& text, ClipRegion& clip, FillRule rule);

}  // namespace svg
