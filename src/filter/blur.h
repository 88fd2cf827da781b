// Gaussian blur on premultiplied pixels, outside the input transparent black.
// A deviation of at least 2 pixels is approximated by three successive box
// blurs of the sizes SVG gives (d = floor(s x 3 sqrt(2 pi) / 4 + 0.5); an
// even d takes two boxes of d, shifted half a pixel left and right, and one
// of d + 1); a smaller deviation uses a true gaussian kernel of radius
// ceil(3 s), so small blurs are not lost to rounding. Box blurs keep running
// sums, so the cost does not grow with the deviation; large images are split
// over threads. The common contract of filter/composite.h applies.
#pragma once

#include <memory>

#include "filter/rt_bitmap.h"
#include "base/stop_token.h"

namespace svg {

struct BlurParams {
    // Deviations in filter pixels, x and y separately. 0 leaves that
    // direction unblurred; both 0 give a copy of the input. Negative or not
    // finite is an error (null). Deviations above the limit in limits.h are
    // clamped to it.
    float stdDeviationXPx = 0.0f;
    float stdDeviationYPx = 0.0f;
    // Threads to use; 0 lets the size of the job decide. The pixels do not
    // depend on it.
    unsigned threads = 0;
};

// alphaOnly as the input.
std::unique_ptr<CRtBitmap> GaussianBlur(const CRtBitmap* in, const BlurParams& params, const PixelRect& outRect,
                                        const CStopToken& stop);

}  // namespace svg
