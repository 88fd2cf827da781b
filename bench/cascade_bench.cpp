// Parsing a style sheet of 1 000 rules and cascading it into a document of
// 10 000 elements: the cost the CSS step adds to every load of a styled
// drawing. Each iteration starts from a fresh copy of the document.
#include <benchmark/benchmark.h>

#include <string>

#include <libxml/tree.h>

#include "model/xml_reader.h"
#include "style/css_apply.h"

namespace {

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
    const Xmlpp::XmlDocPtr original = Xmlpp::ParseXmlText(MakeDocument(), "/bench/doc.svg");
    const std::string sheet = MakeSheet();
    for (auto _ : state) {
        state.PauseTiming();
        Xmlpp::XmlDocPtr copy(xmlCopyDoc(original.get(), 1));
        Xmlpp::CssLoadContext context;
        state.ResumeTiming();
        Xmlpp::ApplyCssStyleSheet(copy.get(), sheet, "/bench/doc.svg", "screen", context);
        benchmark::DoNotOptimize(copy.get());
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ParseAndCascade)->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state)
{
    const std::string sheet = MakeSheet();
    for (auto _ : state) {
        Xmlpp::CRulesets rulesets;
        Xmlpp::CImportState imports;
        Xmlpp::parseSheet(sheet, "/bench/sheet.css", "screen", nullptr, imports, rulesets);
        benchmark::DoNotOptimize(rulesets.Size());
    }
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

void BM_CascadeOnly(benchmark::State& state)
{
    const Xmlpp::XmlDocPtr original = Xmlpp::ParseXmlText(MakeDocument(), "/bench/doc.svg");
    Xmlpp::CRulesets rulesets;
    Xmlpp::CImportState imports;
    Xmlpp::parseSheet(MakeSheet(), "/bench/sheet.css", "screen", nullptr, imports, rulesets);
    for (auto _ : state) {
        state.PauseTiming();
        Xmlpp::XmlDocPtr copy(xmlCopyDoc(original.get(), 1));
        Xmlpp::CImportantProperties important;
        state.ResumeTiming();
        Xmlpp::applySheet(rulesets, copy.get(), important);
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CascadeOnly)->Unit(benchmark::kMillisecond);

}  // namespace
