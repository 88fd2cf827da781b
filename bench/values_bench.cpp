// Throughput of the attribute value parsers on generated input: numbers in
// path-like coordinate text, colours in every syntax, transform lists.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "values/color.h"
#include "values/matrix.h"
#include "values/number.h"

namespace {

constexpr std::size_t kNumberTextBytes = 1 << 20;
constexpr std::size_t kSampleCount = 10000;

std::string Format(const char* format, auto... args)
{
    char buffer[128];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, static_cast<std::size_t>(length));
}

// Coordinates as drawing programs write them: "12.5,-3.25 100 0.5e1 ...".
std::string CoordinateText()
{
    std::mt19937 random(1);
    std::uniform_real_distribution<double> coordinate(-1000, 1000);
    std::string text;
    text.reserve(kNumberTextBytes + 64);
    while (text.size() < kNumberTextBytes) {
        switch (random() % 4) {
        case 0: text += Format("%.3f,", coordinate(random)); break;
        case 1: text += Format("%.2f ", coordinate(random)); break;
        case 2: text += Format("%d ", static_cast<int>(coordinate(random))); break;
        default: text += Format("%.2e ", coordinate(random)); break;
        }
    }
    return text;
}

std::vector<std::string> ColorSamples()
{
    static const char* const kKeywords[] = {"red", "Black", "white", "steelblue", "lightgoldenrodyellow",
                                            "darkslategray", "ButtonFace", "yellowgreen", "aliceblue", "NAVY"};
    std::mt19937 random(2);
    std::vector<std::string> samples;
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        const unsigned value = random() & 0xFFFFFF;
        switch (i % 4) {
        case 0: samples.push_back(Format("#%03x", value & 0xFFF)); break;
        case 1: samples.push_back(Format("#%06x", value)); break;
        case 2: samples.push_back(Format("rgb(%u, %u%%, %u)", value & 0xFF, (value >> 8) % 101, value >> 16)); break;
        default: samples.push_back(kKeywords[value % std::size(kKeywords)]); break;
        }
    }
    return samples;
}

// Lists of one to four functions, 2.5 on average.
std::vector<std::string> TransformSamples()
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> number(-200, 200);
    std::vector<std::string> samples;
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        std::string list;
        const std::size_t functions = 1 + i % 4;
        for (std::size_t f = 0; f < functions; ++f) {
            switch (random() % 5) {
            case 0: list += Format("translate(%.2f,%.2f) ", number(random), number(random)); break;
            case 1: list += Format("scale(%.3f) ", number(random) / 100); break;
            case 2: list += Format("rotate(%.1f %.1f %.1f) ", number(random), number(random), number(random)); break;
            case 3: list += Format("skewX(%.1f) ", number(random) / 10); break;
            default:
                list += Format("matrix(%.4f %.4f %.4f %.4f %.2f %.2f) ", number(random) / 200, number(random) / 200,
                               number(random) / 200, number(random) / 200, number(random), number(random));
                break;
            }
        }
        samples.push_back(std::move(list));
    }
    return samples;
}

void BM_ParseNumber(benchmark::State& state)
{
    const std::string text = CoordinateText();
    std::int64_t numbers = 0;
    for (auto _ : state) {
        std::size_t pos = 0;
        double sum = 0;
        while (const std::optional<svg::Number> number = svg::ParseNumber(text, pos)) {
            sum += number->value;
            ++numbers;
            pos = svg::SkipSeparator(text, pos);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(numbers);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseNumber);

void BM_ParseColor(benchmark::State& state)
{
    const std::vector<std::string> samples = ColorSamples();
    for (auto _ : state)
        for (const std::string& sample : samples)
            benchmark::DoNotOptimize(svg::ParseColor(sample));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples.size()));
}
BENCHMARK(BM_ParseColor);

void BM_ParseTransform(benchmark::State& state)
{
    const std::vector<std::string> samples = TransformSamples();
    svg::Matrix matrix;
    for (auto _ : state) {
        for (const std::string& sample : samples) {
            benchmark::DoNotOptimize(svg::ParseTransform(sample, matrix));
            benchmark::DoNotOptimize(matrix);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples.size()));
}
BENCHMARK(BM_ParseTransform);

}  // namespace
