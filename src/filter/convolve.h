// Convolution with a kernel matrix. Result pixel (x, y) sums
// input(x + (j - targetX) ux, y + (i - targetY) uy) x kernel[orderY - i - 1][orderX - j - 1]
// over the kernel's rows i and columns j (ux, uy the kernel unit lengths,
// offsets rounded to whole pixels): the kernel as written is turned 180
// degrees, as convolution theory (and SVG) applies it. Without preserveAlpha
// every premultiplied channel is convolved and the bias is added in
// proportion to the result's alpha (colour + bias x alpha, alpha + bias);
// with preserveAlpha the colour is unpremultiplied first, convolved, biased
// and premultiplied again by the pixel's own alpha, which stays. The common
// contract of filter/composite.h applies.
#pragma once

#include <memory>
#include <vector>

#include "base/stop_token.h"
#include "filter/rt_bitmap.h"
#include "values/keywords.h"

namespace svg {

struct ConvolveParams {
    int orderX = 3;
    int orderY = 3;
    // orderX x orderY values, row by row as written.
    std::vector<float> kernelMatrix;
    // 0 means the default: the sum of the kernel, or 1 when that is 0.
    float divisor = 0.0f;
    float bias = 0.0f;
    // The kernel cell over the target pixel: 0 <= targetX < orderX,
    // 0 <= targetY < orderY.
    int targetX = 1;
    int targetY = 1;
    EdgeMode edgeMode = EdgeMode::Duplicate;
    bool preserveAlpha = false;
    // The distance between kernel columns and rows in filter pixels: 1 is
    // the pixel grid; other distances sample the nearest pixel. Must be
    // positive.
    float kernelUnitLengthXPx = 1.0f;
    float kernelUnitLengthYPx = 1.0f;
    // Threads to use; 0 lets the size of the job decide.
    unsigned threads = 0;
};

// True when the parameters describe a kernel this primitive computes: orders
// of at least 1, a kernel of exactly orderX x orderY finite values within the
// cell limit, targets inside the kernel, finite divisor and bias, positive
// finite kernel unit lengths.
bool IsValidConvolve(const ConvolveParams& params);

// Null when the parameters are not valid, or the work exceeds the limits on
// convolution (limits.h). The result is never alphaOnly: the bias alone
// makes colour.
std::unique_ptr<CRtBitmap> ConvolveMatrix(const CRtBitmap* in, const ConvolveParams& params, const PixelRect& outRect,
                                          const CStopToken& stop);

}  // namespace svg
