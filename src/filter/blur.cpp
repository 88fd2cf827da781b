#include "filter/blur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "filter/pixel.h"
#include "filter/separable.h"
#include "base/limits.h"

namespace svg {

namespace {

// Below this deviation a true gaussian kernel replaces the three boxes,
// which are too coarse to follow it.
constexpr float kMinBoxDeviationPx = 2.0f;

// A box covering [i - left, i + right] around output pixel i.
struct Box {
    int left = 0;
    int right = 0;

    float Scale() const { return 1.0f / static_cast<float>(left + right + 1); }
};

// How one direction is blurred.
struct AxisPlan {
    std::vector<float> kernel;  // 2 reach + 1 weights, when not boxes
    std::array<Box, 3> boxes{};
    bool useBoxes = false;
    int reach = 0;

    bool IsIdentity() const { return !useBoxes && kernel.empty(); }
};

AxisPlan PlanAxis(float deviationPx)
{
    AxisPlan plan;
    if (deviationPx <= 0.0f)
        return plan;
    if (deviationPx < kMinBoxDeviationPx) {
        plan.reach = static_cast<int>(std::ceil(3.0f * deviationPx));
        double total = 0.0;
        std::vector<double> weights;
        for (int t = -plan.reach; t <= plan.reach; ++t) {
            weights.push_back(std::exp(-(t * t) / (2.0 * deviationPx * deviationPx)));
            total += weights.back();
        }
        for (double weight : weights)
            plan.kernel.push_back(static_cast<float>(weight / total));
        return plan;
    }
    const auto d = static_cast<int>(
        std::floor(deviationPx * 3.0 * std::sqrt(2.0 * std::numbers::pi) / 4.0 + 0.5));
    plan.useBoxes = true;
    if (d % 2 == 1)
        plan.boxes = {Box{d / 2, d / 2}, Box{d / 2, d / 2}, Box{d / 2, d / 2}};
    else
        plan.boxes = {Box{d / 2, d / 2 - 1}, Box{d / 2 - 1, d / 2}, Box{d / 2, d / 2}};
    for (const Box& box : plan.boxes)
        plan.reach += box.left;
    return plan;
}

// ---- bands of bytes, one sum per byte lane, along x or y ----

VEXO_BAND_LOOP void BoxBand(const PaddedBand& source, PaddedBand& target, Box box)
{
    // Signed: converts to float in one instruction; at most 255 x the box.
    std::int32_t sums[kBandBytes] = {};
    for (int j = -box.left; j <= box.right; ++j) {
        const std::uint8_t* row = source.Row(j);
        for (int k = 0; k < kBandBytes; ++k)
            sums[k] += row[k];
    }
    const float scale = box.Scale();
    for (int i = 0; i < source.rows; ++i) {
        std::uint8_t* __restrict out = target.Row(i);
        for (int k = 0; k < kBandBytes; ++k)
            out[k] = static_cast<std::uint8_t>(static_cast<float>(sums[k]) * scale + 0.5f);
        const std::uint8_t* __restrict entering = source.Row(i + box.right + 1);
        const std::uint8_t* __restrict leaving = source.Row(i - box.left);
        for (int k = 0; k < kBandBytes; ++k)
            sums[k] += static_cast<std::int32_t>(entering[k]) - leaving[k];
    }
}

VEXO_BAND_LOOP void KernelBand(const PaddedBand& source, PaddedBand& target, const std::vector<float>& kernel)
{
    const int reach = static_cast<int>(kernel.size() / 2);
    float sums[kBandBytes];
    for (int i = 0; i < source.rows; ++i) {
        std::fill(std::begin(sums), std::end(sums), 0.0f);
        for (int t = -reach; t <= reach; ++t) {
            const std::uint8_t* __restrict row = source.Row(i + t);
            const float weight = kernel[static_cast<std::size_t>(t + reach)];
            for (int k = 0; k < kBandBytes; ++k)
                sums[k] += weight * static_cast<float>(row[k]);
        }
        std::uint8_t* __restrict out = target.Row(i);
        for (int k = 0; k < kBandBytes; ++k)
            out[k] = static_cast<std::uint8_t>(std::min(sums[k] + 0.5f, 255.0f));
    }
}

void BlurBand(const AxisPlan& plan, PaddedBand& band, PaddedBand& scratch)
{
    if (plan.IsIdentity())
        return;
    if (scratch.storage.size() != band.storage.size() || scratch.pad != band.pad)
        scratch.Reset(band.rows, band.pad);
    scratch.rows = band.rows;
    if (!plan.useBoxes) {
        KernelBand(band, scratch, plan.kernel);
        std::swap(band, scratch);
        return;
    }
    for (const Box& box : plan.boxes) {
        BoxBand(band, scratch, box);
        std::swap(band, scratch);
    }
}

bool IsValidDeviation(float deviationPx) { return std::isfinite(deviationPx) && deviationPx >= 0.0f; }

}  // namespace

std::unique_ptr<CRtBitmap> GaussianBlur(const CRtBitmap* in, const BlurParams& params, const PixelRect& outRect,
                                        const CStopToken& stop)
{
    if (!IsValidDeviation(params.stdDeviationXPx) || !IsValidDeviation(params.stdDeviationYPx))
        return nullptr;
    const AxisPlan planX = PlanAxis(std::min(params.stdDeviationXPx, limits::kMaxBlurDeviationPx));
    const AxisPlan planY = PlanAxis(std::min(params.stdDeviationYPx, limits::kMaxBlurDeviationPx));
    if (planX.IsIdentity() && planY.IsIdentity())
        return CopyToRect(in, outRect);
    SeparableFilter filter;
    // Sums see every transparent pixel their reach covers.
    filter.reachX = filter.guardX = planX.reach;
    filter.reachY = filter.guardY = planY.reach;
    filter.padX = planX.reach + 1;
    filter.padY = planY.reach + 1;
    filter.filterX = [&planX](PaddedBand& band, PaddedBand& scratch) { BlurBand(planX, band, scratch); };
    filter.filterY = [&planY](PaddedBand& band, PaddedBand& scratch) { BlurBand(planY, band, scratch); };
    return RunSeparable(in, outRect, filter, params.threads, stop);
}

}  // namespace svg
