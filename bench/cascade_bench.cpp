// Parsing a style sheet of 1 000 rules and cascading it into a document of
// 10 000 elements: the cost the CSS step adds to every load of a styled
// drawing. Each iteration starts from a fresh copy of the document.
#include <benchmark/benchmark.h>

#include <string>

#include <libxml/tree.h>

#include "base/stop_token.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/xml_reader.h"
#include "style/cascade.h"
#include "style/css_parser.h"
#include "style/style_sheets.h"

namespace {

using namespace svg;
using namespace svg::css;

constexpr int kGroups = 100;
constexpr int kShapesPerGroup = 99;  // 1 root + 100 groups + 9 900 shapes = 10 001 elements
constexpr const char* kShapes[] = {"rect", "circle", "path", "ellipse", "line", "text"};

std::string MakeDocument()
{
    std::string xml = "<svg xmlns='http://www.w3.org/2000/svg'>";
    for (int g = 0; g < kGroups; ++g) {
        xml += "<g id='g" + std::to_string(g) + "' class='layer l" + std::to_string(g % 10) + "'>";
        for (int s = 0; s < kShapesPerGroup; ++s) {
            const std::string name = kShapes[s % 6];
            xml += "<" + name + " id='s" + std::to_string(g) + "_" + std::to_string(s) + "' class='c" +
                   std::to_string(s % 50) + " shape' x='" + std::to_string(s % 7) + "' fill='black'/>";
        }
        xml += "</g>";
    }
    return xml + "</svg>";
}

// 1 000 rules of the kinds drawing programs and hand-written sheets use.
std::string MakeSheet()
{
    std::string css;
    for (int i = 0; i < 300; ++i)
        css += ".c" + std::to_string(i) + " { fill: #" + std::to_string(100000 + i) + "; stroke-width: 2 }\n";
    for (int i = 0; i < 200; ++i)
        css += "#s" + std::to_string(i % kGroups) + "_" + std::to_string(i % kShapesPerGroup) +
               " { stroke: red }\n";
    for (int i = 0; i < 200; ++i)
        css += ".l" + std::to_string(i % 10) + " .c" + std::to_string(i % 60) + " { opacity: 0.5 }\n";
    for (int i = 0; i < 100; ++i)
        css += "g > " + std::string(kShapes[i % 6]) + ".c" + std::to_string(i % 50) +
               " { fill-opacity: 0.8 !important }\n";
    for (int i = 0; i < 100; ++i)
        css += std::string(kShapes[i % 6]) + "[x='" + std::to_string(i % 9) + "'] { stroke-dasharray: 1, 2 }\n";
    for (int i = 0; i < 50; ++i)
        css += "svg g.layer " + std::string(kShapes[i % 6]) + ":first-child { display: inline }\n";
    for (int i = 0; i < 50; ++i)
        css += "circle + " + std::string(kShapes[i % 6]) + ", *[x='" + std::to_string(i % 7) +
               "'].shape { visibility: visible }\n";
    return css;
}

void BM_ParseAndCascade(benchmark::State& state)
{
    CMessageLog log;
    const CStopToken stop;
    CLoadContext context(log, stop, CDocOptions{});
    const XmlDocPtr original = ParseXmlText(MakeDocument(), "/bench/doc.svg", log);
    const std::string sheet = MakeSheet();
    for (auto _ : state) {
        state.PauseTiming();
        XmlDocPtr copy(xmlCopyDoc(original.get(), 1));
        CssLoadContext sheets;
        state.ResumeTiming();
        ApplyCssStyleSheet(copy.get(), sheet, "/bench/doc.svg", "screen", sheets, context);
        benchmark::DoNotOptimize(copy.get());
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ParseAndCascade)->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state)
{
    CMessageLog log;
    const CStopToken stop;
    const std::string sheet = MakeSheet();
    for (auto _ : state) {
        CRulesets rulesets;
        CImportState imports;
        parseSheet(sheet, "/bench/sheet.css", "screen", nullptr, imports, rulesets, log, stop);
        benchmark::DoNotOptimize(rulesets.Size());
    }
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

void BM_CascadeOnly(benchmark::State& state)
{
    CMessageLog log;
    const CStopToken stop;
    const XmlDocPtr original = ParseXmlText(MakeDocument(), "/bench/doc.svg", log);
    CRulesets rulesets;
    CImportState imports;
    parseSheet(MakeSheet(), "/bench/sheet.css", "screen", nullptr, imports, rulesets, log, stop);
    for (auto _ : state) {
        state.PauseTiming();
        XmlDocPtr copy(xmlCopyDoc(original.get(), 1));
        CImportantProperties important;
        state.ResumeTiming();
        applySheet(rulesets, copy.get(), important, stop);
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CascadeOnly)->Unit(benchmark::kMillisecond);

}  // namespace
