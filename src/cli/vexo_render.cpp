// vexo-render: loads an SVG document headless, draws it into a PNG, PDF or
// SVG file when asked to, and prints its messages (and, on request, its
// element tree), for scripts and tests.
//
// Exit status: 0 the document loaded (and was written), 1 it did not, 2 bad usage.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <optional>
#include <memory>

#include "model/document.h"
#include "model/message_log.h"
#include "pipeline/document_load.h"
#include "render/output.h"
#include "values/color.h"
#include "values/number.h"

namespace {

constexpr const char* kUsage =
    "Usage: vexo-render [options] FILE\n"
    "Loads an SVG or SVGZ document, draws it when asked to, and prints its\n"
    "messages and their summary.\n"
    "\n"
    "  --tree          print the element tree first (class, name, id, line(column))\n"
    "  --props         print the tree with each element's resolved properties under it\n"
    "  --media NAME    CSS media the style sheets are matched against (default screen)\n"
    "  --lang LIST     comma-separated user languages for systemLanguage\n"
    "                  (default: from $LANGUAGE or $LANG, else en)\n"
    "  -o, --output F  draw the document into F: .png, .pdf or .svg\n"
    "  --width N       output width in pixels (height follows the aspect ratio)\n"
    "  --height N      output height in pixels; with --width the picture is fitted and centred\n"
    "  --zoom Z        scale of the output (default 1: the document's own size at 96 dpi)\n"
    "  --background C  colour under the picture (default transparent)\n"
    "  --dpi N         resolution of physical units such as mm and pt (default 96)\n"
    "  --filter-res F  resolution of filters and masks as a multiple of the output's\n"
    "                  (default 1: one filter pixel an output pixel)\n"
    "  --no-raster     draw without filters and masks\n"
    "  -h, --help      show this help\n"
    "\n"
    "Exit status: 0 loaded (and written), 1 not loaded or not written, 2 bad usage.\n";

// "en_US.UTF-8" becomes "en-US"; "C" and "POSIX" mean nothing in particular.
std::string LanguageFromEnvironment()
{
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0')
            continue;
        std::string language(value);
        language = language.substr(0, language.find_first_of(":.@"));
        if (language.empty() || language == "C" || language == "POSIX")
            continue;
        for (char& c : language)
            if (c == '_')
                c = '-';
        return language;
    }
    return "en";
}

std::string Shorten(std::string_view text, std::size_t limit)
{
    std::string shown;
    for (char c : text.substr(0, limit)) {
        if (c == '\n')
            shown += "\\n";
        else if (c == '\t')
            shown += "\\t";
        else if (c == '"')
            shown += "\\\"";
        else
            shown += c;
    }
    if (text.size() > limit)
        shown += "...";
    return shown;
}

std::string Decimal(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Hex(const svg::Rgba& color)
{
    char text[32];
    std::snprintf(text, sizeof text, "#%02x%02x%02x alpha=%d", color.r, color.g, color.b, color.a);
    return text;
}

// How an element the properties point at is shown: its id, else its name.
std::string Reference(const svg::CElem* target)
{
    return target->id.empty() ? "<" + target->Name() + ">" : "#" + target->id;
}

const char* CapName(svg::LineCap cap)
{
    switch (cap) {
    case svg::LineCap::Butt: return "butt";
    case svg::LineCap::Round: return "round";
    case svg::LineCap::Square: return "square";
    }
    return "?";
}

const char* JoinName(svg::LineJoin join)
{
    switch (join) {
    case svg::LineJoin::Miter: return "miter";
    case svg::LineJoin::Round: return "round";
    case svg::LineJoin::Bevel: return "bevel";
    }
    return "?";
}

std::string FillLine(const svg::ResolvedProperties& props)
{
    std::string line = "fill: ";
    line += props.fillBrush ? Hex(props.fillBrush->color) : "none";
    if (props.fillPaintServer != nullptr)
        line += " server=" + Reference(props.fillPaintServer);
    line += props.fillRule == svg::FillRule::EvenOdd ? " rule=evenodd" : " rule=nonzero";
    return line;
}

std::string StrokeLine(const svg::ResolvedProperties& props)
{
    std::string line = "stroke: ";
    if (!props.strokePen) {
        line += "none width=" + Decimal(props.strokeWidth);
    } else {
        const svg::StrokePen& pen = *props.strokePen;
        line += Hex(pen.color) + " width=" + Decimal(pen.width) + " cap=" + CapName(pen.cap) +
                " join=" + JoinName(pen.join) + " miter=" + Decimal(pen.miterLimit);
        if (!pen.dashes.empty()) {
            line += " dashes=";
            for (std::size_t i = 0; i < pen.dashes.size(); ++i)
                line += (i > 0 ? "," : "") + Decimal(pen.dashes[i]);
            line += " offset=" + Decimal(pen.dashOffset);
        }
    }
    if (props.strokePaintServer != nullptr)
        line += " server=" + Reference(props.strokePaintServer);
    return line;
}

std::string DisplayLine(const svg::ResolvedProperties& props)
{
    static const char* const kDisplays[] = {
        "inline", "block", "list-item", "run-in", "compact", "marker", "table", "inline-table",
        "table-row-group", "table-header-group", "table-footer-group", "table-row",
        "table-column-group", "table-column", "table-cell", "table-caption", "none"};
    static const char* const kOverflows[] = {"visible", "hidden", "scroll", "auto"};
    static const char* const kVisibilities[] = {"visible", "hidden", "collapse"};
    // Fill and stroke opacity show as the alpha of their colours.
    std::string line = "opacity=" + Decimal(props.opacity) + " display=" + kDisplays[static_cast<int>(props.display)] +
                       " visibility=" + kVisibilities[static_cast<int>(props.visibility)] +
                       " overflow=" + kOverflows[static_cast<int>(props.overflow)] + " color=" + props.color;
    const svg::Matrix& m = props.transform;
    if (!m.IsIdentity())
        line += " transform=matrix(" + Decimal(m.m11) + ',' + Decimal(m.m12) + ',' + Decimal(m.m21) + ',' +
                Decimal(m.m22) + ',' + Decimal(m.dx) + ',' + Decimal(m.dy) + ')';
    if (props.colorRendering == svg::ColorRendering::OptimizeSpeed)
        line += " color-rendering=optimizeSpeed";
    if (props.colorInterpolation == svg::ColorInterpolation::LinearRGB)
        line += " color-interpolation=linearRGB";
    return line;
}

// Only the references that are set; nothing when there are none.
std::string EffectsLine(const svg::ResolvedProperties& props)
{
    std::string line;
    if (props.mask != nullptr)
        line += " mask=" + Reference(props.mask);
    if (props.filter != nullptr)
        line += " filter=" + Reference(props.filter);
    if (props.filterFailed)
        line += " filter=failed";
    if (props.clipPath != nullptr)
        line += " clip-path=" + Reference(props.clipPath);
    return line.empty() ? line : line.substr(1);
}

void PrintProperties(const svg::ResolvedProperties& props, const std::string& indent)
{
    const std::string font = "font: family=\"" + Shorten(props.fontFamily, 60) +
                             "\" weight=" + std::to_string(props.fontWeight) + " size=" + Decimal(props.fontSize) +
                             " style=" + std::to_string(static_cast<int>(props.fontStyle)) +
                             " variant=" + std::to_string(static_cast<int>(props.fontVariant) + 1) + " stretch=" +
                             Decimal(props.fontStretch) + " size-adjust=" + Decimal(props.fontSizeAdjust) +
                             " x-height=" + Decimal(props.xHeight) + " cap-height=" + Decimal(props.capHeight);
    std::printf("%s%s\n", indent.c_str(), font.c_str());
    std::printf("%s%s\n", indent.c_str(), FillLine(props).c_str());
    std::printf("%s%s\n", indent.c_str(), StrokeLine(props).c_str());
    std::printf("%s%s\n", indent.c_str(), DisplayLine(props).c_str());
    const std::string effects = EffectsLine(props);
    if (!effects.empty())
        std::printf("%s%s\n", indent.c_str(), effects.c_str());
}

void PrintTree(const svg::CElem& elem, int depth, bool printProperties)
{
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    line += svg::ElemClassName(elem.Class());
    line += ' ';
    line += elem.Name();
    if (!elem.id.empty())
        line += " id=\"" + elem.id + '"';
    if (elem.Class() == svg::ElemClass::String)
        line += " \"" + Shorten(static_cast<const svg::CElemString&>(elem).text, 40) + '"';
    else if (elem.Class() == svg::ElemClass::Comment)
        line += " \"" + Shorten(static_cast<const svg::CElemComment&>(elem).text, 40) + '"';
    line += ' ' + std::to_string(elem.line) + '(' + std::to_string(elem.column) + ')';
    if (elem.excluded)
        line += " excluded";
    std::puts(line.c_str());
    const bool hasProperties = elem.Class() != svg::ElemClass::String && elem.Class() != svg::ElemClass::Comment;
    if (printProperties && hasProperties)
        PrintProperties(elem.props, std::string(static_cast<std::size_t>(depth) * 2 + 4, ' '));
    for (const svg::CElem* child : elem.Children())
        PrintTree(*child, depth + 1, printProperties);
}

struct Options {
    bool printTree = false;
    bool printProperties = false;
    svg::CDocOptions document;
    std::string input;
    std::string output;
    std::optional<int> width;
    std::optional<int> height;
    double zoom = 1;
    std::optional<svg::Rgba> background;
};

[[noreturn]] void UsageError(const std::string& problem)
{
    std::fprintf(stderr, "vexo-render: %s\n%s", problem.c_str(), kUsage);
    std::exit(2);
}

template <typename Number>
Number ParseOptionNumber(const char* name, std::string_view text, Number low, Number high)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= low && value <= high))
        UsageError(std::string(name) + " needs a number from " + std::to_string(low) + " to " + std::to_string(high));
    return value;
}

svg::Rgba ParseBackground(std::string_view text)
{
    if (text == "transparent" || text == "none")
        return {0, 0, 0, 0};
    const std::optional<svg::Rgb> color = svg::ParseColor(text);
    if (!color)
        UsageError("--background needs a colour such as white or #ffeecc");
    return {color->r, color->g, color->b, 255};
}

Options ParseArguments(int argc, char** argv)
{
    Options options;
    options.document.language = LanguageFromEnvironment();
    // The output is drawn at its own resolution: filters need no more.
    options.document.filterResolutionFactor = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= argc)
                UsageError(std::string(arg) + " needs a value");
            return argv[++i];
        };
        if (arg == "--tree") {
            options.printTree = true;
        } else if (arg == "--props") {
            options.printTree = true;
            options.printProperties = true;
        } else if (arg == "--media") {
            options.document.media = value();
        } else if (arg == "--lang") {
            options.document.language = value();
        } else if (arg == "-o" || arg == "--output") {
            options.output = value();
        } else if (arg == "--width") {
            options.width = ParseOptionNumber("--width", value(), 1, 32767);
        } else if (arg == "--height") {
            options.height = ParseOptionNumber("--height", value(), 1, 32767);
        } else if (arg == "--zoom") {
            options.zoom = ParseOptionNumber("--zoom", value(), 0.001, 1000.0);
        } else if (arg == "--background") {
            options.background = ParseBackground(value());
        } else if (arg == "--dpi") {
            options.document.dpi = ParseOptionNumber("--dpi", value(), 10.0f, 1000.0f);
        } else if (arg == "--filter-res") {
            options.document.filterResolutionFactor = ParseOptionNumber("--filter-res", value(), 0.1f, 4.0f);
        } else if (arg == "--no-raster") {
            options.document.rasterEffectsDisabled = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg.size() > 1 && arg[0] == '-') {
            UsageError("unknown option " + std::string(arg));
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            UsageError("one input file at a time");
        }
    }
    if (options.input.empty())
        UsageError("no input file");
    if (!options.output.empty() && !svg::FormatFromPath(options.output))
        UsageError("the output must end in .png, .pdf or .svg");
    return options;
}

// Writes the picture into the output file; false (reported on standard
// error) when the file cannot be written.
bool WriteOutput(const Options& options, const svg::OutputSize& size, const svg::DrawPicture& draw)
{
    std::string error;
    if (!svg::WriteDrawing(draw, options.output, *svg::FormatFromPath(options.output), size, options.background,
                           error)) {
        std::fprintf(stderr, "vexo-render: cannot write %s: %s\n", options.output.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = ParseArguments(argc, argv);

    svg::CMessageLog log;
    const svg::CStopToken& stop = svg::CStopToken::Never();
    svg::CDocumentLoad load(log, stop, options.document);
    const svg::CElemDocument* document = load.LoadFile(options.input);

    bool written = true;
    if (document != nullptr) {
        // Raster effects are computed at the output's resolution, so the
        // picture is recorded at the scale it is written at.
        const svg::OutputSize size =
            svg::ComputeOutputSize(document->region, options.width, options.height, options.zoom);
        const svg::Matrix outputTransform{size.scale, 0, 0, size.scale, size.offsetX, size.offsetY};
        if (!options.output.empty() && *svg::FormatFromPath(options.output) == svg::OutputFormat::Png) {
            // A PNG is drawn once at one transform: straight onto its pixels,
            // without a recording to replay.
            written = WriteOutput(options, size, [&load](cairo_t* cr, const svg::Matrix& userToDevice) {
                load.Draw(cr, userToDevice);
            });
        } else {
            const std::unique_ptr<svg::CPicture> picture =
                load.Record(options.output.empty() ? svg::Matrix{} : outputTransform);
            if (picture != nullptr && !options.output.empty())
                written = WriteOutput(options, size, [&picture](cairo_t* cr, const svg::Matrix& userToDevice) {
                    picture->Replay(cr, userToDevice);
                });
        }
    }

    if (document != nullptr && options.printTree)
        PrintTree(*document, 0, options.printProperties);
    for (const std::string& message : log.EntriesFrom(0))
        std::puts(message.c_str());
    std::puts(log.Summary().c_str());
    std::fflush(stdout);
    return document != nullptr && written ? 0 : 1;
}
