// Markers of a shape: the instances of its marker-start, marker-mid and
// marker-end elements at its vertices (CElemShape::markers), drawn after its
// fill and stroke and hit-tested before them. Marker content may hold shapes
// with markers of their own; a marker met again inside its own content is a
// cycle, reported once and skipped. Nesting depth and the total content drawn
// into one picture are bounded (with a located message) so that markers
// nested in markers cannot multiply without limit.
#pragma once

#include "model/elem.h"
#include "render/canvas.h"
#include "render/render_pass.h"

namespace svg {

class CPreparer;

bool SetUpMarker(CElemMarker& marker, CPreparer& preparer);

// The marker element's own drawing: its content, with each child's own
// display; only the marker's display (and its ancestors') is ignored.
void DrawMarkerContent(const CElemMarker& marker, CCanvas& canvas, const RenderArgs& args);

// Draws every marker instance of `shape`, in the order of shape.markers.
void DrawShapeMarkers(const CElemShape& shape, CCanvas& canvas, const RenderArgs& args);

// True when (x, y), in the shape's user space, hits one of its marker instances.
bool HitTestShapeMarkers(const CElemShape& shape, double x, double y, CRenderPass& pass);

}  // namespace svg
