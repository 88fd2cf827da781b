// The driver shared by the separable primitives (blur, morphology): a row
// filter over every input row that can reach the output, then a column
// filter over every column of the output. Internal to src/filter.
//
// Rows: each row is read from the input over the output's columns widened by
// the filter's reach (transparent outside the input), trimmed where it only
// adds transparent pixels beyond the input's guard, and handed to filterRow
// with `padX` transparent pixels on either side. Columns are handled in bands
// of kBandPixels pixels: the band's rows (its row-filtered pixels, transparent
// where the input has no row) are handed to filterColumns as a block of
// bytes, `padY` transparent rows above and below. Channels are independent
// bytes in both directions. Rows and bands are computed independently, so
// any thread count gives the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "filter/rt_bitmap.h"
#include "base/stop_token.h"

namespace svg {

// Pixels per column band: 256 bytes a row, a whole number of vector lanes.
inline constexpr int kBandPixels = 64;
inline constexpr int kBandBytes = kBandPixels * 4;

// A line of pixels with transparent padding before and after it.
struct PaddedLine {
    std::vector<std::uint32_t> storage;
    int pad = 0;
    int length = 0;

    std::uint32_t* Data() { return storage.data() + pad; }
    const std::uint32_t* Data() const { return storage.data() + pad; }
    // Sized for `length` pixels and zeroed, padding included.
    void Reset(int newLength, int newPad);
};

// A block of rows of kBandBytes bytes with transparent rows before and after.
struct PaddedBand {
    std::vector<std::uint8_t> storage;
    int pad = 0;
    int rows = 0;

    std::uint8_t* Row(int row) { return storage.data() + static_cast<std::ptrdiff_t>(row + pad) * kBandBytes; }
    const std::uint8_t* Row(int row) const
    {
        return storage.data() + static_cast<std::ptrdiff_t>(row + pad) * kBandBytes;
    }
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
    // Filters `line` in place; `scratch` is the thread's own spare line (the
    // filter may swap the two). Must be safe to call from several threads.
    std::function<void(PaddedLine& line, PaddedLine& scratch)> filterRow;
    // The same for a band of rows.
    std::function<void(PaddedBand& band, PaddedBand& scratch)> filterColumns;
};

// Runs `filter` over `in` for `outRect` on up to `threads` threads (0: the
// machine's cores). Null when memory or a scratch limit runs out, or when
// `stop` is set.
std::unique_ptr<CRtBitmap> RunSeparable(const CRtBitmap* in, const PixelRect& outRect, const SeparableFilter& filter,
                                        unsigned threads, const CStopToken& stop);

}  // namespace svg
