// Images: loading the picture of an `image` at set-up, placing it with
// preserveAspectRatio, drawing it, and its bounds and hit test.
//
// A picture is a raster, decoded in memory (image_decode.h) from a file or a
// data: URL, or an SVG picture: the root of another document, loaded through
// the load's document source (once per load), or an element of this
// document named by a fragment. SVG pictures are drawn through Render when
// the image is drawn, so they stay vector at every zoom and their effects
// are computed at the resolution they are shown at.
//
// Cycles: a file showing itself, or two files showing each other, are
// reported when set up (the document asked for is still being set up) and
// drawn once: the drawing's list of the SVG pictures being drawn meets the
// picture again inside itself and stops there. The same list bounds how
// deeply pictures nest.
#pragma once

#include <optional>

#include "model/elem.h"
#include "render/canvas.h"

namespace svg {

class CPreparer;

bool SetUpImage(CElemImage& image, CPreparer& preparer);
void DrawImage(const CElemImage& image, CCanvas& canvas, const RenderArgs& args);
// The region x, y, width, height: an image's geometry, drawn or not.
std::optional<RectF> ImageOutlineBounds(const CElemImage& image, const Matrix& toSpace);
const CElem* HitTestImage(const CElemImage& image, double x, double y);

}  // namespace svg
