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

// ---- rows: packed pixels, four channel sums ----

void AddChannels(std::uint32_t pixel, std::uint32_t sums[4])
{
    for (int channel = 0; channel < 4; ++channel)
        sums[channel] += PixelChannel(pixel, channel);
}

void SubtractChannels(std::uint32_t pixel, std::uint32_t sums[4])
{
    for (int channel = 0; channel < 4; ++channel)
        sums[channel] -= PixelChannel(pixel, channel);
}

// One box pass over a padded line; reads `box` beyond either end.
void BoxRow(const std::uint32_t* source, std::uint32_t* target, int length, Box box)
{
    std::uint32_t sums[4] = {0, 0, 0, 0};
    for (int j = -box.left; j <= box.right; ++j)
        AddChannels(source[j], sums);
    const float scale = box.Scale();
    for (int i = 0; i < length; ++i) {
        std::uint32_t pixel = 0;
        for (int channel = 0; channel < 4; ++channel)
            pixel |= static_cast<std::uint32_t>(static_cast<float>(sums[channel]) * scale + 0.5f) << (8 * channel);
        target[i] = pixel;
        AddChannels(source[i + box.right + 1], sums);
        SubtractChannels(source[i - box.left], sums);
    }
}

void KernelRow(const std::uint32_t* source, std::uint32_t* target, int length, const std::vector<float>& kernel)
{
    const int reach = static_cast<int>(kernel.size() / 2);
    for (int i = 0; i < length; ++i) {
        float sums[4] = {0, 0, 0, 0};
        for (int t = -reach; t <= reach; ++t) {
            const std::uint32_t pixel = source[i + t];
            const float weight = kernel[static_cast<std::size_t>(t + reach)];
            for (int channel = 0; channel < 4; ++channel)
                sums[channel] += weight * static_cast<float>(PixelChannel(pixel, channel));
        }
        std::uint32_t pixel = 0;
        for (int channel = 0; channel < 4; ++channel)
            pixel |= std::min(static_cast<std::uint32_t>(sums[channel] + 0.5f), 255u) << (8 * channel);
        target[i] = pixel;
    }
}

void BlurRow(const AxisPlan& plan, PaddedLine& line, PaddedLine& scratch)
{
    if (plan.IsIdentity())
        return;
    if (scratch.storage.size() != line.storage.size() || scratch.pad != line.pad)
        scratch.Reset(line.length, line.pad);
    scratch.length = line.length;
    if (!plan.useBoxes) {
        KernelRow(line.Data(), scratch.Data(), line.length, plan.kernel);
        std::swap(line, scratch);
        return;
    }
    for (const Box& box : plan.boxes) {
        BoxRow(line.Data(), scratch.Data(), line.length, box);
        std::swap(line, scratch);
    }
}

// ---- columns: bands of bytes, one sum per byte lane ----

void BoxBand(const PaddedBand& source, PaddedBand& target, Box box)
{
    std::uint32_t sums[kBandBytes] = {};
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
            sums[k] += static_cast<std::uint32_t>(entering[k]) - leaving[k];
    }
}

void KernelBand(const PaddedBand& source, PaddedBand& target, const std::vector<float>& kernel)
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
    filter.filterRow = [&planX](PaddedLine& line, PaddedLine& scratch) { BlurRow(planX, line, scratch); };
    filter.filterColumns = [&planY](PaddedBand& band, PaddedBand& scratch) { BlurBand(planY, band, scratch); };
    return RunSeparable(in, outRect, filter, params.threads, stop);
}

}  // namespace svg
