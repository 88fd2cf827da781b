// One element drawn alone, as the part view shows it: the frame it is fitted
// into (PreviewExtent), its drawing (DrawPreview) and a recording of that
// drawing (RecordPreview). Graphics elements draw themselves as the document
// draws them, in their parent's user space, or with `axisMode` in their own
// (without their transform or viewBox); a mask draws its content; a gradient
// or pattern fills its frame with itself; a marker draws its content in its
// viewport; a glyph draws its outline with its y axis turned up; a clipPath
// draws its children. Filters and filter primitives draw nothing: the
// primitive's images come through ComputePrimitiveImages.
//
// Everything here reads the prepared tree, which must stay alive and
// unchanged while it runs; any thread may draw a preview with its own
// render pass, and a preview stops early when its pass's stop token is set.
#pragma once

#include <memory>
#include <optional>

#include "model/elem.h"
#include "render/canvas.h"
#include "render/render.h"
#include "render/render_pass.h"
#include "values/rect.h"

namespace svg {

class CRtBitmap;

// The rectangle an element's own preview frames, for the elements that have
// one: masks, gradients, patterns, markers and glyphs. In the space the
// preview is drawn in. A mask or paint server without a region of its own
// (objectBoundingBox units) gives the unit square. Null for other elements.
std::optional<RectF> GetPreviewBounds(const CElem& elem, bool axisMode);

// The frame the part view fits the preview into, in the space the preview is
// drawn in: the element's own preview bounds; for svg, symbol,
// foreignObject and image elements with a region, their viewBox (axisMode)
// or region; for other graphics elements their bounding box after their
// transform, or before it in axisMode; a text's content element (tspan...)
// frames its text. Null when there is nothing to frame (no geometry, an
// empty box, a filter, an element that draws nothing).
std::optional<RectF> PreviewExtent(const CElem& elem, bool axisMode);

// True when the preview's y axis points up in the element's own coordinates
// (glyphs): the recording is turned over so that it stands upright, and the
// part view shows the y values negated.
bool PreviewYAxisUp(const CElem& elem);

// Draws the element alone onto `canvas`, in the space PreviewExtent frames.
// False when the element has no preview drawing (nothing was drawn).
bool DrawPreview(const CElem& elem, CCanvas& canvas, const RenderArgs& args, bool axisMode);

// A preview recorded in the frame's units (or for an element drawing more
// than kMaxRecordedElements, drawn at each replay), its raster effects (masks,
// filters) computed at renderScale device pixels a unit: 1000 pixels over
// the longer side of the frame, at least one a unit. The picture's frame is
// the extent. Null when there is no extent.
struct PreviewRecording {
    std::unique_ptr<CPicture> picture;
    RectF extent;
    double renderScale = 1;
    bool yAxisUp = false;
};
std::optional<PreviewRecording> RecordPreview(const CElem& elem, CRenderPass& pass, bool axisMode);

// The scale RecordPreview draws a frame of `extent` at.
double PreviewRenderScale(const RectF& extent);

// What the recording actually covers, in its units (strokes and all): the
// picture's natural size for copy and export. Null when nothing was drawn.
// A preview too big to record (kMaxRecordedElements) is drawn at each
// replay; its frame stands for what it covers.
std::optional<RectF> InkBounds(const CPicture& picture);

// The images a filter primitive keeps: its input (`in`), its second input
// (`in2`) and its result, as its filter computed them for an element that
// uses the filter, in that filter's device pixels. Each is null where the
// primitive has no such image.
struct PrimitiveImages {
    std::shared_ptr<const CRtBitmap> in;
    std::shared_ptr<const CRtBitmap> in2;
    std::shared_ptr<const CRtBitmap> result;
};

// Runs the filter of `primitive` for the first element that uses it, at
// `deviceScale` pixels a user unit, keeping the primitive's images
// (premultiplied sRGB). Null when no element uses the filter, the primitive
// computes nothing, or the pass is stopped; the part view then offers no
// image commands.
std::optional<PrimitiveImages> ComputePrimitiveImages(const CElemFilterPrimitive& primitive, CRenderPass& pass,
                                                      double deviceScale);

}  // namespace svg
