// The font layer's hot paths on the installed DejaVu font: shaping many
// short runs (chart labels, table cells) with and without the pool's shaping
// cache, per-character fallback, and glyph outlines from the outline cache.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/font_face.h"
#include "text/font_pool.h"
#include "text/glyph.h"
#include "text/sfnt_font.h"
#include "text/shaper.h"

namespace {

constexpr int kRuns = 10000;

// Labels as charts repeat them: a few hundred distinct short strings.
std::vector<std::u32string> Labels()
{
    std::vector<std::u32string> labels;
    for (int i = 0; i < kRuns; ++i)
        labels.push_back(svg::DecodeUtf8("Value " + std::to_string(i % 300) + " km"));
    return labels;
}

svg::AssignRequest Request(const char* families)
{
    svg::AssignRequest request;
    request.familyList = families;
    request.fontSize = 12;
    return request;
}

// Shapes every label once an iteration; without `keepCache` each iteration
// starts from an empty shape cache.
void ShapeLabels(benchmark::State& state, const std::vector<std::u32string>& labels,
                 const svg::AssignRequest& request, bool keepCache)
{
    svg::CFontPool pool;
    std::vector<svg::CGlyph> glyphs;
    for (auto _ : state) {
        if (!keepCache)
            pool.ShapeResults().Clear();
        for (const std::u32string& label : labels) {
            glyphs.clear();
            svg::AssignFonts(pool, label, request, glyphs);
            benchmark::DoNotOptimize(glyphs.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(labels.size()));
}

// Runs that repeat: most are served from the cache.
void BM_Shape10000RunsCached(benchmark::State& state)
{
    const std::vector<std::u32string> labels = Labels();
    const svg::AssignRequest request = Request("DejaVu Sans");
    ShapeLabels(state, labels, request, /*keepCache=*/true);
}

BENCHMARK(BM_Shape10000RunsCached)->Unit(benchmark::kMillisecond);

// Every run distinct: each is shaped by HarfBuzz.
void BM_Shape10000RunsUncached(benchmark::State& state)
{
    std::vector<std::u32string> labels;
    for (int i = 0; i < kRuns; ++i)
        labels.push_back(svg::DecodeUtf8("Value " + std::to_string(i) + " km"));
    const svg::AssignRequest request = Request("DejaVu Sans");
    ShapeLabels(state, labels, request, /*keepCache=*/false);
}
BENCHMARK(BM_Shape10000RunsUncached)->Unit(benchmark::kMillisecond);

// Each run needs a second face: Latin from Liberation Serif, Arabic from DejaVu.
void BM_Shape10000RunsWithFallback(benchmark::State& state)
{
    std::vector<std::u32string> labels;
    for (int i = 0; i < kRuns; ++i)
        labels.push_back(svg::DecodeUtf8("Label " + std::to_string(i % 300) + " \u0633\u0644\u0627\u0645"));
    const svg::AssignRequest request = Request("Liberation Serif, DejaVu Sans");
    ShapeLabels(state, labels, request, /*keepCache=*/true);
}
BENCHMARK(BM_Shape10000RunsWithFallback)->Unit(benchmark::kMillisecond);

// Outlines of a paragraph's worth of glyphs, placed in user units: after the
// first pass every outline is a cache hit.
void BM_OutlinesFromCache(benchmark::State& state)
{
    svg::CFontPool pool;
    std::vector<svg::CGlyph> glyphs;
    svg::AssignFonts(pool, U"The quick brown fox jumps over the lazy dog 0123456789", Request("DejaVu Sans"), glyphs);
    svg::CGraphicsPath path;
    for (auto _ : state) {
        for (const svg::CGlyph& glyph : glyphs) {
            path.points.clear();
            path.types.clear();
            glyph.face->AddGlyphOutline(glyph, {10, 20}, 12, path);
            benchmark::DoNotOptimize(path.points.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(glyphs.size()));
}
BENCHMARK(BM_OutlinesFromCache);

// Outlines read from the font every time: cycling through more glyphs than
// the cache keeps makes every look-up a miss.
void BM_OutlinesUncached(benchmark::State& state)
{
    svg::CFontPool pool;
    const auto face = pool.FindFace("DejaVu Sans", svg::FaceQuery{}, false);
    svg::CSfntFont& font = *face->Sfnt();
    constexpr std::uint32_t kGlyphs = 600;
    for (auto _ : state) {
        for (std::uint32_t glyph = 1; glyph <= kGlyphs; ++glyph)
            benchmark::DoNotOptimize(font.Outline(glyph).get());
    }
    state.SetItemsProcessed(state.iterations() * kGlyphs);
}
BENCHMARK(BM_OutlinesUncached);

}  // namespace
