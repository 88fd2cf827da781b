#include "filter/morphology.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "filter/separable.h"
#include "base/limits.h"

namespace svg {

namespace {

// A radius this close below a whole pixel counts as that pixel: scaling by
// the filter resolution must not turn 3 into 2.9999998 and lose a ring.
constexpr float kRadiusTolerancePx = 1e-3f;

struct Erode {
    static constexpr std::uint8_t kNeutral = 255;
    static std::uint8_t Apply(std::uint8_t a, std::uint8_t b) { return a < b ? a : b; }
};

struct Dilate {
    static constexpr std::uint8_t kNeutral = 0;
    static std::uint8_t Apply(std::uint8_t a, std::uint8_t b) { return a > b ? a : b; }
};

// Applies Op lane by lane: target = Op(a, b) over `lanes` bytes.
template <typename Op>
void Combine(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b, std::uint8_t* __restrict target,
             std::size_t lanes)
{
    for (std::size_t k = 0; k < lanes; ++k)
        target[k] = Op::Apply(a[k], b[k]);
}

// The van Herk / Gil-Werman window over `count` elements of `lanes` bytes
// each: result i = Op over elements [i - k, i + k], elements beyond either
// end neutral. Blocks of w = 2k + 1 elements start where (i + k) % w == 0;
// `prefix` holds Op from a block's start to i, `suffix` from i to the block's
// end, and every window is one suffix and one prefix. The result replaces
// `data`; prefix and suffix are scratch of the same size.
template <typename Op>
void WindowExtreme(std::uint8_t* data, int count, int k, std::size_t lanes, std::uint8_t* prefix,
                   std::uint8_t* suffix)
{
    const long long w = 2LL * k + 1;
    const auto element = [lanes](std::uint8_t* base, long long i) {
        return base + static_cast<std::size_t>(i) * lanes;
    };
    for (long long i = 0; i < count; ++i) {
        if (i == 0 || (i + k) % w == 0)
            std::memcpy(element(prefix, i), element(data, i), lanes);
        else
            Combine<Op>(element(prefix, i - 1), element(data, i), element(prefix, i), lanes);
    }
    for (long long i = count - 1; i >= 0; --i) {
        if (i == count - 1 || (i + k + 1) % w == 0)
            std::memcpy(element(suffix, i), element(data, i), lanes);
        else
            Combine<Op>(element(suffix, i + 1), element(data, i), element(suffix, i), lanes);
    }
    std::vector<std::uint8_t> neutral(lanes, Op::kNeutral);
    for (long long i = 0; i < count; ++i) {
        const long long start = i - k;
        const long long end = i + k;
        const std::uint8_t* head = nullptr;
        if (start >= 0)
            head = element(suffix, start);
        else  // the part of start's block inside the line, if any
            head = start - i % w + w - 1 >= 0 ? element(suffix, 0) : neutral.data();
        const std::uint8_t* tail = nullptr;
        if (end < count)
            tail = element(prefix, end);
        else
            tail = end - (i + 2LL * k) % w <= count - 1 ? element(prefix, count - 1) : neutral.data();
        Combine<Op>(head, tail, element(data, i), lanes);
    }
}

template <typename Op>
void ExtremeBand(int k, PaddedBand& band, PaddedBand& scratch)
{
    if (k == 0)
        return;
    const std::size_t bytes = static_cast<std::size_t>(band.rows) * kBandBytes;
    scratch.storage.resize(2 * bytes);
    WindowExtreme<Op>(band.Row(0), band.rows, k, kBandBytes, scratch.storage.data(), scratch.storage.data() + bytes);
}

bool IsValidRadius(float radiusPx) { return std::isfinite(radiusPx) && radiusPx >= 0.0f; }

// The half window in pixels, no wider than the span of input and output: a
// wider window covers the same pixels.
int HalfWindow(float radiusPx, long long spanPx)
{
    const float clamped = std::min(radiusPx, limits::kMaxMorphologyRadiusPx);
    const auto k = static_cast<long long>(std::floor(clamped + kRadiusTolerancePx));
    return static_cast<int>(std::clamp<long long>(k, 0, spanPx));
}

long long UnionSpan(int outBegin, int outLength, int inBegin, int inLength)
{
    const long long begin = std::min(outBegin, inBegin);
    const long long end =
        std::max(static_cast<long long>(outBegin) + outLength, static_cast<long long>(inBegin) + inLength);
    return end - begin;
}

template <typename Op>
SeparableFilter WindowFilter(int kx, int ky)
{
    SeparableFilter filter;
    filter.reachX = kx;
    filter.reachY = ky;
    // One transparent pixel beyond the input is all a minimum or maximum
    // needs to see of the surround.
    filter.guardX = std::min(kx, 1);
    filter.guardY = std::min(ky, 1);
    filter.filterX = [kx](PaddedBand& band, PaddedBand& scratch) { ExtremeBand<Op>(kx, band, scratch); };
    filter.filterY = [ky](PaddedBand& band, PaddedBand& scratch) { ExtremeBand<Op>(ky, band, scratch); };
    return filter;
}

}  // namespace

std::unique_ptr<CRtBitmap> Morphology(const CRtBitmap* in, const MorphologyParams& params, const PixelRect& outRect,
                                      const CStopToken& stop)
{
    if (!IsValidRadius(params.radiusXPx) || !IsValidRadius(params.radiusYPx))
        return nullptr;
    const bool alphaOnly = in != nullptr && in->AlphaOnly();
    if (in == nullptr)
        return CRtBitmap::Create(outRect, alphaOnly);
    const PixelRect& inRect = in->Rect();
    const int kx = HalfWindow(params.radiusXPx, UnionSpan(outRect.x, outRect.width, inRect.x, inRect.width));
    const int ky = HalfWindow(params.radiusYPx, UnionSpan(outRect.y, outRect.height, inRect.y, inRect.height));
    if (kx == 0 && ky == 0)
        return CopyToRect(in, outRect);
    const SeparableFilter filter =
        params.op == MorphologyOperator::Dilate ? WindowFilter<Dilate>(kx, ky) : WindowFilter<Erode>(kx, ky);
    return RunSeparable(in, outRect, filter, params.threads, stop);
}

}  // namespace svg
