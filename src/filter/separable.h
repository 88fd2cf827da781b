// The driver shared by the separable primitives (blur, morphology): a filter
// along x over every input row that can reach the output, then a filter
// along y over every column of the output. Internal to src/filter.
//
// Both directions hand the filter the same shape of work: a band, a block of
// lines of kBandBytes bytes (kBandPixels pixels, each channel a byte lane of
// its own) that the filter runs down, line after line, with every lane
// independent, so its inner loops are plain loops over the lanes.
//
// Along x, kBandPixels input rows at a time are transposed into a band: band
// line i holds column i of those rows, read over the output's columns
// widened by the filter's reach (transparent outside the input) and trimmed
// where it only adds transparent pixels beyond the input's guard, with `padX`
// transparent lines before and after. Along y, the output is cut into bands
// of kBandPixels columns whose lines are the x-filtered rows (transparent
// where the input has no row), `padY` transparent lines around them. Bands
// are computed independently, so any thread count gives the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "filter/rt_bitmap.h"
#include "base/stop_token.h"

namespace svg {

// Marks a band loop to be built twice, for AVX2 and for any x86-64, the
// copy chosen when the program loads: twice the lanes an instruction, the
// same arithmetic (no fused multiply-add), so the same pixels. Not under
// ThreadSanitizer: the loader runs the copy-choosing resolver before the
// sanitizer's run time has started, and the instrumented resolver crashes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define VEXO_BAND_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VEXO_BAND_LOOP
#endif

// Pixels across a band: 256 bytes a line, four cache lines, a whole number
// of vector lanes.
inline constexpr int kBandPixels = 64;
inline constexpr int kBandBytes = kBandPixels * 4;

// A block of lines of kBandBytes bytes with transparent lines before and after.
struct PaddedBand {
    std::vector<std::uint8_t> storage;
    int pad = 0;
    int rows = 0;

    std::uint8_t* Row(int row) { return storage.data() + static_cast<std::ptrdiff_t>(row + pad) * kBandBytes; }
    const std::uint8_t* Row(int row) const
    {
        return storage.data() + static_cast<std::ptrdiff_t>(row + pad) * kBandBytes;
    }
    // Sized for `newRows` lines and zeroed, padding included.
    void Reset(int newRows, int newPad);
};

struct SeparableFilter {
    // How far a result pixel reaches for input pixels, on each side.
    int reachX = 0;
    int reachY = 0;
    // How much of the transparent surround of the input the filter must see
    // on each side: all of its reach for sums, one pixel for minimum/maximum.
    int guardX = 0;
    int guardY = 0;
    // Transparent padding the filters may read beyond either end.
    int padX = 0;
    int padY = 0;
    // Filter the band's lines in place, along x and along y; `scratch` is
    // the thread's own spare band (the filter may swap the two). Called once
    // a band, so the per-lane loops stay inside; must be safe to call from
    // several threads.
    std::function<void(PaddedBand& band, PaddedBand& scratch)> filterX;
    std::function<void(PaddedBand& band, PaddedBand& scratch)> filterY;
};

// Runs `filter` over `in` for `outRect` on up to `threads` threads (0: the
// machine's cores). Null when memory or a scratch limit runs out, or when
// `stop` is set.
std::unique_ptr<CRtBitmap> RunSeparable(const CRtBitmap* in, const PixelRect& outRect, const SeparableFilter& filter,
                                        unsigned threads, const CStopToken& stop);

}  // namespace svg
