#include "fuzz_entry.h"

#include <cairo.h>
#include <string>
#include <vector>

#include "base/stop_token.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/xml_reader.h"
#include "pipeline/document_load.h"
#include "render/output.h"
#include "style/cascade.h"
#include "style/css_font_face.h"
#include "style/css_parser.h"
#include "style/style_sheets.h"
#include "values/path_data.h"

namespace vexo_fuzz {
namespace {

// A folder that does not exist: relative references the input names find
// nothing instead of reading the fuzzing machine's files.
constexpr const char* kInputPath = "/nonexistent-vexo-fuzz/input.svg";

std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Replays `picture` into a raster of at most kRasterSide pixels a side.
void Rasterise(const svg::CPicture& picture, const svg::OutputSize& size)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
    cairo_t* cr = cairo_create(surface);
    picture.Replay(cr, svg::Matrix{size.scale, 0, 0, size.scale, size.offsetX, size.offsetY});
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

}  // namespace

void LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    svg::CMessageLog log;
    svg::CStopToken stop;
    svg::CDocumentLoad load(log, stop, svg::CDocOptions{});
    const svg::CElemDocument* document = load.LoadBytes(std::string(AsText(data, size)), kInputPath, "input.svg");
    if (document == nullptr)
        return;
    // Effects are computed at the resolution they are shown at: the small one.
    const svg::OutputSize raster = svg::ComputeOutputSize(document->region, kRasterSide, kRasterSide, 1);
    if (const std::unique_ptr<svg::CPicture> picture = load.Record(raster.scale))
        Rasterise(*picture, raster);
}

void ParseCssFromBytes(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = AsText(data, size);
    svg::CMessageLog log;
    svg::CStopToken stop;
    svg::CLoadContext context(log, stop, svg::CDocOptions{});
    context.SetMainDocumentPath(kInputPath);
    svg::XmlDocPtr document = svg::ParseXmlText(
        "<svg xmlns='http://www.w3.org/2000/svg'><g id='g' class='a b'><rect id='r' class='a'/>"
        "<text xml:lang='en'>x<tspan>y</tspan></text></g><circle/></svg>",
        kInputPath, log);
    svg::css::CssLoadContext sheets;
    svg::css::ApplyCssStyleSheet(document.get(), text, "/nonexistent-vexo-fuzz/sheet.css", "screen", sheets,
                                 context);
    svg::CAttributeMap attributes;
    svg::css::CStyleDeclarationReader(svg::DesktopStyle{}).ReadStyle(text, attributes);
}

void ParsePathFromBytes(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = AsText(data, size);
    std::vector<svg::MarkerInfo> markers;
    const svg::ParsedPath parsed = svg::ParsePathData(text, svg::LengthContext{}, svg::FillRule::NonZero, &markers);
    const svg::ParsedPath points = svg::ParsePoints(text, svg::FillRule::EvenOdd, true, &markers);
    const std::vector<svg::CGraphicsPath> paths{parsed.path, points.path};
    (void)svg::TightBounds(parsed.path);
    (void)svg::TightBounds(points.path);
    const double length = svg::PathLength(paths, svg::Matrix{});
    const std::vector<double> distances{-1, 0, length / 3, length / 2, length, length + 1};
    std::vector<svg::PathPosition> positions;
    svg::PositionsAlongPaths(paths, svg::Matrix{2, 0, 0, 2, 1, 1}, distances, positions);
}

void TransformFromBytes(const std::uint8_t* data, std::size_t size)
{
    svg::CMessageLog log;
    svg::CStopToken stop;
    svg::CLoadContext context(log, stop, svg::CDocOptions{});
    context.SetMainDocumentPath(kInputPath);
    svg::XmlDocPtr document = svg::ParseXmlText(
        "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'>"
        "<g id='g'><rect id='r' width='5' height='5'/><use xlink:href='#r'/><text>t</text></g></svg>",
        kInputPath, log);
    svg::XmlDocPtr sheet = svg::ParseXmlSheet(AsText(data, size), "/nonexistent-vexo-fuzz/sheet.xsl", log);
    if (document && sheet)
        svg::TransformXml(document.get(), std::move(sheet), context, 0, 0);
}

EntryPoint EntryForFolder(std::string_view folder)
{
    if (folder == "css")
        return &ParseCssFromBytes;
    if (folder == "path")
        return &ParsePathFromBytes;
    if (folder == "xslt")
        return &TransformFromBytes;
    return &LoadFromBytes;
}

}  // namespace vexo_fuzz
