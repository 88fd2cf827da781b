// Conversions between the sRGB encoding that bitmaps store and linear light,
// in which filter primitives may compute. Two forms exist side by side and
// primitives choose per step: 256-entry byte tables for re-coding a whole byte,
// and single-precision formulas for real-valued channels (0..1). Alpha is never
// converted. Pure functions of constant tables: safe from any thread.
#pragma once

#include <cstdint>

#include "values/color.h"

namespace svg {

// The tables are fixed constants of this renderer: close to the sRGB curves but
// not a plain rounding of them, and filter results are compared against
// pictures made with exactly these values.
extern const std::uint8_t kSrgbToLinearTable[256];
extern const std::uint8_t kLinearToSrgbTable[256];

inline std::uint8_t DecodeSrgbByte(std::uint8_t srgb) { return kSrgbToLinearTable[srgb]; }
inline std::uint8_t EncodeLinearByte(std::uint8_t linear) { return kLinearToSrgbTable[linear]; }

// sRGB value v (0..1) to linear light.
float DecodeSrgb(float v);
// Linear value (nominally 0..1) to sRGB; 1 and above give exactly 1.
float EncodeLinear(float linear);
// EncodeLinear scaled to a byte: times 255, clamped to 0..255, truncated; NaN
// gives 0.
std::uint8_t EncodeLinearToByte(float linear);

// A solid colour with an opacity as a pixel packed 0xAARRGGBB: the channels
// unchanged, alpha = floor(opacity x 255) with opacity clamped to 0..1.
// Computing in linear light does not change a solid colour, so there is no
// linear variant: premultiplying in linear light and forcing alpha to 255 would
// turn translucent paint opaque.
std::uint32_t ColorWithOpacity(Rgb color, float opacity);

}  // namespace svg
