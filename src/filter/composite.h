// Primitives that combine or place whole images pixel by pixel: blend,
// composite, merge, flood, offset and tile. Everything is in the filter's
// pixel space on premultiplied pixels of the working colour space (the caller
// converts inputs beforehand, see filter/color_space.h).
//
// Common contract of every primitive function in src/filter:
//  - inputs are borrowed and only read; a null input is a transparent image;
//    pixels outside an input's rectangle are transparent black, and an
//    alphaOnly input has zero colour;
//  - `outRect` is the primitive subregion clipped to the filter region, in
//    pixels; the result is a new owning bitmap of exactly that rectangle,
//    defined everywhere on it (no region: the caller keeps regions);
//  - null means failure (empty or oversized rectangle, no memory, invalid
//    parameters as each function says, or `stop` set during the work), and
//    nothing is reported: the caller reports with the element's location;
//  - loops test `stop` once per row;
//  - the functions keep no state: several threads may run them at once.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "base/stop_token.h"
#include "filter/rt_bitmap.h"
#include "values/keywords.h"

namespace svg {

struct BlendParams {
    BlendMode mode = BlendMode::Normal;
};

// `in` (A) blended over `in2` (B) with the premultiplied formulas: result
// alpha qa + qb - qa x qb; normal ca + (1 - qa) cb; multiply
// (1 - qa) cb + (1 - qb) ca + ca cb; screen ca + cb - ca cb; darken / lighten
// the smaller / larger of normal and its mirror (1 - qb) ca + cb.
std::unique_ptr<CRtBitmap> Blend(const CRtBitmap* in, const CRtBitmap* in2, const BlendParams& params,
                                 const PixelRect& outRect, const CStopToken& stop);

struct CompositeParams {
    CompositeOperator op = CompositeOperator::Over;
    // Arithmetic only: k1 x A x B + k2 x A + k3 x B + k4 on every
    // premultiplied channel, alpha included. Any real values (k3 = -1 makes a
    // difference); a value that is not finite counts as 0.
    float k1 = 0.0f;
    float k2 = 0.0f;
    float k3 = 0.0f;
    float k4 = 0.0f;
};

// The Porter-Duff operator `op` with `in` as A and `in2` as B, or the
// arithmetic combination, whose result is clamped to 0..1 and its colour to
// 0..alpha so that it stays a valid premultiplied pixel.
std::unique_ptr<CRtBitmap> Composite(const CRtBitmap* in, const CRtBitmap* in2, const CompositeParams& params,
                                     const PixelRect& outRect, const CStopToken& stop);

// The inputs composited `over` one another in order, the first at the
// bottom; null entries are skipped, and no input gives a transparent image.
std::unique_ptr<CRtBitmap> Merge(std::span<const CRtBitmap* const> inputs, const PixelRect& outRect,
                                 const CStopToken& stop);

struct FloodParams {
    // The flood colour with its opacity, premultiplied and already in the
    // working colour space: PremultipliedColor of filter/color_space.h.
    std::uint32_t colorPremultiplied = 0;
};

// `outRect` filled with one colour.
std::unique_ptr<CRtBitmap> Flood(const FloodParams& params, const PixelRect& outRect, const CStopToken& stop);

struct OffsetParams {
    double dxPx = 0.0;
    double dyPx = 0.0;
};

// `in` moved by (dxPx, dyPx). Offsets within 1/256 pixel of whole pixels copy
// pixels exactly; other offsets resample bilinearly (premultiplied, so no
// dark fringe), which keeps a moving or zoomed shadow from jumping a pixel.
// Null when an offset is not finite. alphaOnly as the input.
std::unique_ptr<CRtBitmap> Offset(const CRtBitmap* in, const OffsetParams& params, const PixelRect& outRect,
                                  const CStopToken& stop);

// `outRect` covered with copies of the whole input bitmap, one of them at the
// input's own place: the input's rectangle is the tile (its primitive
// subregion). alphaOnly as the input; a null input gives a transparent image.
std::unique_ptr<CRtBitmap> Tile(const CRtBitmap* in, const PixelRect& outRect, const CStopToken& stop);

}  // namespace svg
