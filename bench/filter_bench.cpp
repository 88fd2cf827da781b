// Time of the heavy filter primitives on large bitmaps: the blur that the
// 4000 x 4000 / stdDeviation 20 goal is about (threads as the machine has,
// and one thread), morphology, turbulence and lighting.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

#include "filter/blur.h"
#include "filter/lighting.h"
#include "filter/morphology.h"
#include "filter/rt_bitmap.h"
#include "filter/turbulence.h"
#include "base/stop_token.h"

namespace {

// A bitmap of `side` x `side` premultiplied noise with varied alpha.
std::unique_ptr<svg::CRtBitmap> NoiseBitmap(int side)
{
    auto bitmap = svg::CRtBitmap::Create({0, 0, side, side}, false);
    std::mt19937 random(7);
    for (int y = 0; y < side; ++y) {
        std::uint32_t* row = bitmap->Row(y);
        for (int x = 0; x < side; ++x) {
            const std::uint32_t alpha = random() & 0xFF;
            const std::uint32_t colour = random();
            const auto channel = [&](int shift) { return ((colour >> shift & 0xFF) * alpha / 255) << shift; };
            row[x] = alpha << 24 | channel(16) | channel(8) | channel(0);
        }
    }
    return bitmap;
}

void BM_Blur4000(benchmark::State& state)
{
    const auto input = NoiseBitmap(4000);
    svg::BlurParams params{20.0f, 20.0f, static_cast<unsigned>(state.range(0))};
    for (auto _ : state) {
        auto result = svg::GaussianBlur(input.get(), params, input->Rect(), svg::CStopToken::Never());
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_Blur4000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Dilation, radius 50, 1000 x 1000 (argument: threads, 0 = automatic).
void BM_Morphology1000(benchmark::State& state)
{
    const auto input = NoiseBitmap(1000);
    const svg::MorphologyParams params{svg::MorphologyOperator::Dilate, 50.0f, 50.0f,
                                       static_cast<unsigned>(state.range(0))};
    for (auto _ : state) {
        auto result = svg::Morphology(input.get(), params, input->Rect(), svg::CStopToken::Never());
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_Morphology1000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Fractal noise, 4 octaves, stitched, 1000 x 1000.
void BM_Turbulence1000(benchmark::State& state)
{
    svg::TurbulenceParams params;
    params.baseFrequencyX = params.baseFrequencyY = 0.01;
    params.numOctaves = 4;
    params.fractalNoise = true;
    params.stitchTiles = true;
    params.tileWidth = params.tileHeight = 1000;
    params.threads = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        auto result = svg::Turbulence(params, {0, 0, 1000, 1000}, svg::CStopToken::Never());
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_Turbulence1000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Specular light from a spot light over a noise bump map, 1000 x 1000.
void BM_Lighting1000(benchmark::State& state)
{
    const auto input = NoiseBitmap(1000);
    svg::SpecularParams params;
    params.lighting.light = {svg::LightType::Spot, 0, 0, 500, 400, 300, 520, 600, 0, 2, 45.0f};
    params.lighting.surfaceScale = params.lighting.surfaceScalePx = 3;
    params.lighting.threads = static_cast<unsigned>(state.range(0));
    params.specularExponent = 16;
    for (auto _ : state) {
        auto result = svg::SpecularLighting(input.get(), params, input->Rect(), svg::CStopToken::Never());
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_Lighting1000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
