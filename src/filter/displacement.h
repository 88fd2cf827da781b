// Displacement map: result pixel (x, y) is the pixel of `in` at
// (x + scaleX (X - 0.5), y + scaleY (Y - 0.5)), nearest pixel, where X and Y
// are the selected channels of `map` (in2) at (x, y), unpremultiplied and
// 0..1. Outside its rectangle the map is transparent black, so there every
// channel reads 0 and the displacement is -scale / 2. The caller converts only
// the map to the working colour space; `in` stays as it is. The common
// contract of filter/composite.h applies.
#pragma once

#include <memory>

#include "base/stop_token.h"
#include "filter/rt_bitmap.h"
#include "values/keywords.h"

namespace svg {

struct DisplacementParams {
    // The displacement scale in filter pixels, per axis. Not finite is an
    // error (null).
    float scaleXPx = 0.0f;
    float scaleYPx = 0.0f;
    ChannelSelector xChannel = ChannelSelector::A;
    ChannelSelector yChannel = ChannelSelector::A;
};

// alphaOnly as `in`.
std::unique_ptr<CRtBitmap> DisplacementMap(const CRtBitmap* in, const CRtBitmap* map, const DisplacementParams& params,
                                           const PixelRect& outRect, const CStopToken& stop);

}  // namespace svg
