// Erode and dilate: the minimum or maximum of every premultiplied channel
// over a (2 kx + 1) x (2 ky + 1) window, outside the input transparent black
// (so erosion eats in from the input's edges). kx and ky are the radii in
// pixels rounded down: the window holds the pixels whose centres lie within
// the radius. Windows are separable and run in van Herk / Gil-Werman form,
// three comparisons a channel whatever the radius. The common contract of
// filter/composite.h applies.
#pragma once

#include <memory>

#include "base/stop_token.h"
#include "filter/rt_bitmap.h"
#include "values/keywords.h"

namespace svg {

struct MorphologyParams {
    MorphologyOperator op = MorphologyOperator::Erode;
    // Radii in filter pixels. Negative or not finite is an error (null). A
    // radius below one pixel, zero included, leaves that direction unchanged,
    // so two zero radii pass the input through: SVG 1.1 made the result
    // transparent, and the later correction that today's viewers follow
    // passes the input. Huge radii are clamped (limits.h).
    float radiusXPx = 0.0f;
    float radiusYPx = 0.0f;
    // Threads to use; 0 lets the size of the job decide.
    unsigned threads = 0;
};

// alphaOnly as the input.
std::unique_ptr<CRtBitmap> Morphology(const CRtBitmap* in, const MorphologyParams& params, const PixelRect& outRect,
                                      const CStopToken& stop);

}  // namespace svg
