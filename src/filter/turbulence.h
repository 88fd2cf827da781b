// Perlin turbulence and fractal noise exactly as SVG's reference code makes
// them (seeded Park-Miller lattice, stitching, octave sums), four channels of
// noise per pixel. Each pixel is sampled at the user-space position of its
// top-left corner, mapped back through the caller's user-to-pixel matrix, so the
// pattern stays put whatever the filter resolution or subregion. The noise
// tables are built for each call and live on its stack frame: any number of
// threads may run turbulence at once. The result's colour is in the working
// colour space as generated and is never alphaOnly. The common contract of
// filter/composite.h applies.
#pragma once

#include <memory>

#include "filter/rt_bitmap.h"
#include "base/stop_token.h"
#include "values/matrix.h"

namespace svg {

struct TurbulenceParams {
    // Base frequencies per user unit; a negative one counts as 0.
    double baseFrequencyX = 0.0;
    double baseFrequencyY = 0.0;
    // Clamped to 0..limits::kMaxTurbulenceOctaves.
    int numOctaves = 1;
    // Truncated towards zero, then set up as the reference code does.
    double seed = 0.0;
    bool fractalNoise = false;  // false: turbulence
    bool stitchTiles = false;
    // With stitchTiles: the tile, in user units (the primitive subregion).
    double tileX = 0.0;
    double tileY = 0.0;
    double tileWidth = 0.0;
    double tileHeight = 0.0;
    // The filter's matrix from the user space the frequencies are in to
    // filter pixels; each pixel samples the user point it comes from.
    Matrix userToPixel;
    // Threads to use; 0 lets the size of the job decide.
    unsigned threads = 0;
};

// Null when a number is not finite or the matrix is singular.
std::unique_ptr<CRtBitmap> Turbulence(const TurbulenceParams& params, const PixelRect& outRect, const CStopToken& stop);

}  // namespace svg
