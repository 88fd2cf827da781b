// The two colour spaces filters compute in (color-interpolation-filters):
// sRGB and linear light. Whole bitmaps are converted on their premultiplied
// pixels through exact tables: every entry is the correctly rounded result of
// unpremultiplying, applying the sRGB curve in double precision and
// premultiplying again, so a conversion costs one table look-up per channel.
// Alpha never changes. These tables are independent of the byte tables in
// color_tables.h, which masks use. Pure functions of immutable tables: safe
// from any thread.
#pragma once

#include <cstdint>

#include "filter/rt_bitmap.h"
#include "base/stop_token.h"
#include "values/color.h"
#include "values/keywords.h"

namespace svg {

// The premultiplied channel `channel` (0..alpha) of a pixel of alpha `alpha`
// re-coded between the spaces; a channel above alpha counts as alpha.
std::uint8_t SrgbToLinearPremultiplied(std::uint32_t channel, std::uint32_t alpha);
std::uint8_t LinearToSrgbPremultiplied(std::uint32_t channel, std::uint32_t alpha);

// Re-codes the colour of every pixel from `from` to `to`, in place (writing
// through to the pixels a view shares: clone a shared input first). An
// alphaOnly bitmap and from == to change nothing. Stops at the next row once
// `stop` is set, leaving the rest unconverted.
void ConvertColorSpace(CRtBitmap& bitmap, ColorInterpolation from, ColorInterpolation to, const CStopToken& stop);

// A colour channel 0..1 given in sRGB, in `space`.
float ChannelInSpace(std::uint8_t srgb, ColorInterpolation space);

// An sRGB colour with an opacity as a premultiplied pixel of `space`: how a
// flood colour reaches the flood primitive. Alpha is round(opacity x 255)
// with opacity clamped to 0..1 (NaN 0); the colour is converted before it is
// premultiplied.
std::uint32_t PremultipliedColor(Rgb srgb, float opacity, ColorInterpolation space);

}  // namespace svg
