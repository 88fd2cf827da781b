// Placing a picture into a filter bitmap, for the image primitive: the
// caller makes a bitmap of the primitive subregion (CRtBitmap::Create) and
// places a decoded image, or draws a referenced element directly through
// CRtBitmap::WrapCairoSurface. Runs on the calling thread; the bitmap and
// the surface must not be in use elsewhere meanwhile.
#pragma once

#include <cairo.h>

#include "filter/rt_bitmap.h"
#include "values/matrix.h"

namespace svg {

// Draws `image` over `target`'s pixels, `imageToPixel` mapping the image's
// coordinates (its pixels, or its units for a vector surface) to filter
// pixels; bilinear sampling, an image surface's border pixels kept sharp
// (not blended with the outside), nothing outside the image. The image's colour is
// taken as it is: convert the bitmap to the working colour space afterwards.
// False when cairo fails (target unchanged or partly drawn) or the matrix is
// singular or not finite.
bool PlaceImage(CRtBitmap& target, cairo_surface_t* image, const Matrix& imageToPixel);

}  // namespace svg
