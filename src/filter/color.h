// Colour primitives: the colour matrix and component transfer. Both work on
// unpremultiplied colour, as SVG defines them: each pixel is unpremultiplied,
// transformed, clamped and premultiplied again. Transparent pixels take part
// (their colour is 0), so a matrix or transfer that raises alpha fills the
// whole output rectangle. The result carries colour (never alphaOnly). The
// common contract of filter/composite.h applies.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/stop_token.h"
#include "filter/rt_bitmap.h"
#include "values/keywords.h"

namespace svg {

// A 4 x 5 matrix, row by row: rows R', G', B', A', columns R, G, B, A and a
// constant, on channels 0..1 (the constant is not scaled by 255).
struct ColorMatrix {
    std::array<float, 20> values{};
};

// The defaults of each matrix type when its values are absent: identity,
// saturate 1 and hueRotate 0 are all the identity matrix.
ColorMatrix IdentityColorMatrix();
// Saturation s (0 grey, 1 unchanged, above 1 oversaturated); a value that is
// not finite gives the identity.
ColorMatrix SaturateMatrix(float s);
// Hue rotation by `degrees`; not finite gives the identity.
ColorMatrix HueRotateMatrix(float degrees);
// Alpha from luminance, colour black.
ColorMatrix LuminanceToAlphaMatrix();

// A matrix whose coefficients are not all finite is refused (null).
std::unique_ptr<CRtBitmap> ApplyColorMatrix(const CRtBitmap* in, const ColorMatrix& matrix, const PixelRect& outRect,
                                            const CStopToken& stop);

// One channel's transfer function C -> C'. Table and discrete with no values
// are the identity; table with one value is that value everywhere (as
// discrete). Non-finite numbers make the function the identity.
struct TransferFunction {
    TransferType type = TransferType::Identity;
    std::vector<float> tableValues;
    float slope = 1.0f;
    float intercept = 0.0f;
    float amplitude = 1.0f;
    float exponent = 1.0f;
    float offset = 0.0f;
};

struct ComponentTransferParams {
    TransferFunction red;
    TransferFunction green;
    TransferFunction blue;
    TransferFunction alpha;
};

// The function's value at every byte 0..255, rounded to bytes: the table the
// primitive applies.
std::array<std::uint8_t, 256> TransferLookupTable(const TransferFunction& function);

std::unique_ptr<CRtBitmap> ComponentTransfer(const CRtBitmap* in, const ComponentTransferParams& params,
                                             const PixelRect& outRect, const CStopToken& stop);

}  // namespace svg
