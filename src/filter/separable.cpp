#include "filter/separable.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "filter/parallel.h"
#include "filter/pixel.h"
#include "base/limits.h"

namespace svg {

namespace {

// Pixels a transposition moves per source row at a time: one cache line, so
// a block touches kBandPixels lines on either side.
constexpr int kTransposeBlock = 16;

struct Span {
    long long begin = 0;
    long long end = 0;

    long long Length() const { return end - begin; }
};

// The stretch of a line that can hold anything but transparent pixels after
// filtering, widened to cover the whole output stretch.
Span LineSpan(long long outBegin, long long outEnd, long long inBegin, long long inEnd, int reach, int guard)
{
    const long long begin = std::max(outBegin - reach, inBegin - guard);
    const long long end = std::min(outEnd + reach, inEnd + guard);
    return {std::min(begin, outBegin), std::max(end, outEnd)};
}

// The x-filtered input: one row of the output's width per input row that
// can reach the output.
struct RowPlane {
    std::unique_ptr<std::uint32_t[]> pixels;
    long long firstRow = 0;
    int rows = 0;
    int width = 0;

    const std::uint32_t* Row(long long row) const
    {
        return pixels.get() + static_cast<std::size_t>(row - firstRow) * static_cast<std::size_t>(width);
    }
    std::uint32_t* Row(long long row)
    {
        return pixels.get() + static_cast<std::size_t>(row - firstRow) * static_cast<std::size_t>(width);
    }
    bool Holds(long long row) const { return row >= firstRow && row < firstRow + rows; }
};

// Lane `lane` of band line `line` as a pixel.
std::uint8_t* LanePixel(PaddedBand& band, long long line, int lane)
{
    return band.Row(static_cast<int>(line)) + static_cast<std::ptrdiff_t>(lane) * 4;
}

// Rows [firstRow, firstRow + count) of `in` into the lanes of a zeroed band,
// band line i holding column columnsBegin + i; transparent outside the input.
void TransposeIn(const CRtBitmap& in, long long columnsBegin, long long firstRow, int count, PaddedBand& band)
{
    const PixelRect& rect = in.Rect();
    const long long first = std::max<long long>(columnsBegin, rect.x);
    const long long end = std::min<long long>(columnsBegin + band.rows, static_cast<long long>(rect.x) + rect.width);
    const std::uint32_t mask = in.AlphaOnly() ? kAlphaMask : 0xFFFFFFFFu;
    for (long long blockBegin = first; blockBegin < end; blockBegin += kTransposeBlock) {
        const long long blockEnd = std::min<long long>(blockBegin + kTransposeBlock, end);
        for (int lane = 0; lane < count; ++lane) {
            const long long row = firstRow + lane - rect.y;
            if (row < 0 || row >= rect.height)
                continue;
            const std::uint32_t* source = in.Row(static_cast<int>(row)) + (blockBegin - rect.x);
            for (long long x = blockBegin; x < blockEnd; ++x) {
                const std::uint32_t pixel = source[x - blockBegin] & mask;
                std::memcpy(LanePixel(band, x - columnsBegin, lane), &pixel, 4);
            }
        }
    }
}

// The band's lines [firstLine, firstLine + plane.width) back into plane rows
// [firstRow, firstRow + count), lane r into row firstRow + r.
void TransposeOut(PaddedBand& band, long long firstLine, long long firstRow, int count, RowPlane& plane)
{
    for (int blockBegin = 0; blockBegin < plane.width; blockBegin += kTransposeBlock) {
        const int blockEnd = std::min(blockBegin + kTransposeBlock, plane.width);
        for (int lane = 0; lane < count; ++lane) {
            std::uint32_t* target = plane.Row(firstRow + lane);
            for (int x = blockBegin; x < blockEnd; ++x)
                std::memcpy(target + x, LanePixel(band, firstLine + x, lane), 4);
        }
    }
}

bool FilterRows(const CRtBitmap& in, const PixelRect& outRect, const SeparableFilter& filter, const Span& columns,
                RowPlane& plane, unsigned threads, const CStopToken& stop)
{
    const auto length = static_cast<int>(columns.Length());
    const long long outOffset = outRect.x - columns.begin;
    const int stripCount = (plane.rows + kBandPixels - 1) / kBandPixels;
    return ParallelFor(stripCount, threads, [&](int begin, int end) {
        PaddedBand band, scratch;
        for (int index = begin; index < end && !stop.StopRequested(); ++index) {
            const long long firstRow = plane.firstRow + static_cast<long long>(index) * kBandPixels;
            const int count = std::min(kBandPixels, plane.rows - index * kBandPixels);
            band.Reset(length, filter.padX);
            TransposeIn(in, columns.begin, firstRow, count, band);
            filter.filterX(band, scratch);
            TransposeOut(band, outOffset, firstRow, count, plane);
        }
    });
}

bool FilterColumns(const RowPlane& plane, const PixelRect& outRect, const SeparableFilter& filter, const Span& rows,
                   CRtBitmap& out, unsigned threads, const CStopToken& stop)
{
    const int bandCount = (outRect.width + kBandPixels - 1) / kBandPixels;
    const auto lineRows = static_cast<int>(rows.Length());
    return ParallelFor(bandCount, threads, [&](int begin, int end) {
        PaddedBand band, scratch;
        for (int index = begin; index < end && !stop.StopRequested(); ++index) {
            const int firstColumn = index * kBandPixels;
            const auto bytes = static_cast<std::size_t>(std::min(kBandPixels, outRect.width - firstColumn)) * 4;
            band.Reset(lineRows, filter.padY);
            for (int v = 0; v < lineRows; ++v) {
                const long long row = rows.begin + v;
                if (plane.Holds(row))
                    std::memcpy(band.Row(v), plane.Row(row) + firstColumn, bytes);
            }
            filter.filterY(band, scratch);
            const auto firstOutRow = static_cast<int>(outRect.y - rows.begin);
            for (int y = 0; y < outRect.height; ++y)
                std::memcpy(out.Row(y) + firstColumn, band.Row(firstOutRow + y), bytes);
        }
    });
}

}  // namespace

void PaddedBand::Reset(int newRows, int newPad)
{
    rows = newRows;
    pad = newPad;
    storage.assign((static_cast<std::size_t>(newRows) + 2 * static_cast<std::size_t>(newPad)) * kBandBytes, 0);
}

std::unique_ptr<CRtBitmap> RunSeparable(const CRtBitmap* in, const PixelRect& outRect, const SeparableFilter& filter,
                                        unsigned threads, const CStopToken& stop)
{
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, in != nullptr && in->AlphaOnly());
    if (!out || in == nullptr)
        return out;
    const PixelRect& inRect = in->Rect();
    const Span rows = LineSpan(outRect.y, static_cast<long long>(outRect.y) + outRect.height, inRect.y,
                               static_cast<long long>(inRect.y) + inRect.height, filter.reachY, filter.guardY);
    const Span columns = LineSpan(outRect.x, static_cast<long long>(outRect.x) + outRect.width, inRect.x,
                                  static_cast<long long>(inRect.x) + inRect.width, filter.reachX, filter.guardX);
    RowPlane plane;
    plane.firstRow = std::max<long long>(rows.begin, inRect.y);
    const long long planeEnd = std::min<long long>(rows.end, static_cast<long long>(inRect.y) + inRect.height);
    if (planeEnd <= plane.firstRow)
        return out;  // no input row reaches the output
    plane.rows = static_cast<int>(planeEnd - plane.firstRow);
    plane.width = outRect.width;
    const std::size_t planePixels = static_cast<std::size_t>(plane.rows) * static_cast<std::size_t>(plane.width);
    if (planePixels > limits::kMaxFilterScratchPixels ||
        static_cast<std::size_t>(rows.Length()) * kBandPixels > limits::kMaxFilterScratchPixels ||
        static_cast<std::size_t>(columns.Length()) * kBandPixels > limits::kMaxFilterScratchPixels)
        return nullptr;
    plane.pixels.reset(new (std::nothrow) std::uint32_t[planePixels]);
    if (!plane.pixels)
        return nullptr;
    const std::size_t work = planePixels * 2 + static_cast<std::size_t>(rows.Length()) * outRect.width;
    const unsigned threadCount = FilterThreadCount(threads, work);
    if (!FilterRows(*in, outRect, filter, columns, plane, threadCount, stop) || stop.StopRequested() ||
        !FilterColumns(plane, outRect, filter, rows, *out, threadCount, stop) || stop.StopRequested())
        return nullptr;
    return out;
}

}  // namespace svg
