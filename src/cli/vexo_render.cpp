// vexo-render: loads SVG documents headless, draws each into a picture file
// when asked to (PNG, JPEG, TIFF, GIF, BMP, WebP, PDF, SVG, PostScript, EPS;
// by extension or --format; "-" for standard output), and prints their
// messages (and, on request, their element trees), for scripts and tests.
// One input's messages are printed as they happen, so a run that is killed
// still shows what it was doing.
// The short options that rsvg-convert users type are accepted beside the
// long ones. Several input files go into one folder (-o DIR/), drawn on as
// many threads as the machine has cores, each file a load of its own; their
// reports are printed in the order the files were given.
//
// Exit status: 0 every document loaded (and was written), 1 one did not, 2 bad usage.

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/huge_page_heap.h"
#include "base/limits.h"
#include "model/document.h"
#include "model/message_log.h"
#include "model/messages.h"
#include "pipeline/document_load.h"
#include "render/output.h"
#include "values/color.h"
#include "values/number.h"

namespace {

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
    return target->IdAttribute().empty() ? "<" + target->Name() + ">" : "#" + target->IdAttribute();
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
                       " overflow=" + kOverflows[static_cast<int>(props.overflow)] + " color=" + props.color.Str();
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

void PrintProperties(const svg::ResolvedProperties& props, const std::string& indent, std::string& out)
{
    const std::string font = "font: family=\"" + Shorten(props.fontFamily, 60) +
                             "\" weight=" + std::to_string(props.fontWeight) + " size=" + Decimal(props.fontSize) +
                             " style=" + std::to_string(static_cast<int>(props.fontStyle)) +
                             " variant=" + std::to_string(static_cast<int>(props.fontVariant) + 1) + " stretch=" +
                             Decimal(props.fontStretch) + " size-adjust=" + Decimal(props.fontSizeAdjust) +
                             " x-height=" + Decimal(props.xHeight) + " cap-height=" + Decimal(props.capHeight);
    for (const std::string& line : {font, FillLine(props), StrokeLine(props), DisplayLine(props), EffectsLine(props)})
        if (!line.empty())
            out += indent + line + '\n';
}

void PrintTree(const svg::CElem& elem, int depth, bool printProperties, std::string& out)
{
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    line += svg::ElemClassName(elem.Class());
    line += ' ';
    line += elem.Name();
    if (!elem.IdAttribute().empty())
        line += " id=\"" + elem.IdAttribute() + '"';
    if (elem.Class() == svg::ElemClass::String)
        line += " \"" + Shorten(static_cast<const svg::CElemString&>(elem).text, 40) + '"';
    else if (elem.Class() == svg::ElemClass::Comment)
        line += " \"" + Shorten(static_cast<const svg::CElemComment&>(elem).text, 40) + '"';
    line += ' ' + std::to_string(elem.line) + '(' + std::to_string(elem.column) + ')';
    if (elem.excluded)
        line += " excluded";
    out += line + '\n';
    const bool hasProperties = elem.Class() != svg::ElemClass::String && elem.Class() != svg::ElemClass::Comment;
    if (printProperties && hasProperties)
        PrintProperties(elem.props, std::string(static_cast<std::size_t>(depth) * 2 + 4, ' '), out);
    for (const svg::CElem* child : elem.Children())
        PrintTree(*child, depth + 1, printProperties, out);
}

// --- Options -------------------------------------------------------------------

struct Options {
    bool printTree = false;
    bool printProperties = false;
    svg::CDocOptions document;
    std::vector<std::string> inputs;
    // A file, a folder (ending in '/' or existing), "-" for standard output,
    // or empty for no picture.
    std::string output;
    std::optional<svg::OutputFormat> format;
    std::optional<int> width;
    std::optional<int> height;
    // The longer side, the other following the aspect ratio (thumbnails).
    std::optional<int> maxSize;
    double zoom = 1;
    std::optional<svg::Rgba> background;
};

[[noreturn]] void UsageError(const std::string& problem);

template <typename Number>
Number ParseOptionNumber(std::string_view name, std::string_view text, Number low, Number high)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= low && value <= high))
        UsageError(std::string(name) + " needs a number from " + Decimal(double(low)) + " to " +
                   Decimal(double(high)));
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

svg::OutputFormat ParseFormat(std::string_view text)
{
    const std::optional<svg::OutputFormat> format = svg::FormatFromName(text);
    if (!format)
        UsageError("--format needs one of png, jpg, tif, gif, bmp, webp, pdf, svg, ps, eps");
    return *format;
}

// One option: its short spelling (as rsvg-convert has it), its long spellings,
// the name of its value (none for a switch), its help, and what it sets.
struct OptionSpec {
    const char* shortName;
    const char* longName;
    const char* otherLongName;
    const char* valueName;
    const char* help;
    std::function<void(Options&, std::string_view name, std::string_view value)> apply;
};

const std::vector<OptionSpec>& OptionTable()
{
    static const std::vector<OptionSpec> table = {
        {nullptr, "--tree", nullptr, nullptr, "print the element tree first (class, name, id, line(column))",
         [](Options& o, auto, auto) { o.printTree = true; }},
        {nullptr, "--props", nullptr, nullptr, "print the tree with each element's resolved properties under it",
         [](Options& o, auto, auto) { o.printTree = o.printProperties = true; }},
        {nullptr, "--media", nullptr, "NAME", "CSS media the style sheets are matched against (default screen)",
         [](Options& o, auto, std::string_view v) { o.document.media = v; }},
        {nullptr, "--lang", nullptr, "LIST",
         "comma-separated user languages for systemLanguage\n(default: from $LANGUAGE or $LANG, else en)",
         [](Options& o, auto, std::string_view v) { o.document.language = v; }},
        {"-o", "--output", nullptr, "OUT",
         "draw the document into OUT; OUT ending in '/' (or an existing folder)\n"
         "takes one picture per input, named after it; - is standard output",
         [](Options& o, auto, std::string_view v) { o.output = v; }},
        {"-f", "--format", nullptr, "FMT",
         "png, jpg, tif, gif, bmp, webp, pdf, svg, ps or eps\n(default: by OUT's extension, else png)",
         [](Options& o, auto, std::string_view v) { o.format = ParseFormat(v); }},
        {"-w", "--width", nullptr, "N", "output width in pixels (height follows the aspect ratio)",
         [](Options& o, std::string_view n, std::string_view v) { o.width = ParseOptionNumber(n, v, 1, 32767); }},
        {"-h", "--height", nullptr, "N", "output height in pixels; with a width the picture is fitted and centred",
         [](Options& o, std::string_view n, std::string_view v) { o.height = ParseOptionNumber(n, v, 1, 32767); }},
        {nullptr, "--max-size", nullptr, "N",
         "the longer side N pixels, the other following the aspect ratio (thumbnails)",
         [](Options& o, std::string_view n, std::string_view v) { o.maxSize = ParseOptionNumber(n, v, 1, 32767); }},
        {"-z", "--zoom", nullptr, "Z", "scale of the output (default 1: the document's own size at 96 dpi)",
         [](Options& o, std::string_view n, std::string_view v) { o.zoom = ParseOptionNumber(n, v, 0.001, 1000.0); }},
        {"-b", "--background", "--background-color", "C", "colour under the picture (default transparent)",
         [](Options& o, auto, std::string_view v) { o.background = ParseBackground(v); }},
        {nullptr, "--dpi", nullptr, "N", "resolution of physical units such as mm and pt (default 96)",
         [](Options& o, std::string_view n, std::string_view v) {
             o.document.dpi = ParseOptionNumber(n, v, 10.0f, 1000.0f);
         }},
        // One resolution serves both axes: -d and -p each set it.
        {"-d", "--dpi-x", nullptr, "N", "the same as --dpi",
         [](Options& o, std::string_view n, std::string_view v) {
             o.document.dpi = ParseOptionNumber(n, v, 10.0f, 1000.0f);
         }},
        {"-p", "--dpi-y", nullptr, "N", "the same as --dpi",
         [](Options& o, std::string_view n, std::string_view v) {
             o.document.dpi = ParseOptionNumber(n, v, 10.0f, 1000.0f);
         }},
        {nullptr, "--filter-res", nullptr, "F",
         "resolution of filters and masks as a multiple of the output's\n(default 1: one filter pixel an output pixel)",
         [](Options& o, std::string_view n, std::string_view v) {
             o.document.filterResolutionFactor = ParseOptionNumber(n, v, 0.1f, 4.0f);
         }},
        {nullptr, "--no-raster", nullptr, nullptr, "draw without filters and masks",
         [](Options& o, auto, auto) { o.document.rasterEffectsDisabled = true; }},
        {nullptr, "--allow-dir", nullptr, "DIR",
         "let the documents use files in DIR and below (repeatable);\n"
         "by default only files in their own folder and below are used",
         [](Options& o, auto, std::string_view v) { o.document.fileAccess.allowedDirectories.emplace_back(v); }},
        {nullptr, "--allow-any-file", nullptr, nullptr, "let the documents use any local file (never the network)",
         [](Options& o, auto, auto) { o.document.fileAccess.allowAnyFile = true; }},
        {"-?", "--help", nullptr, nullptr, "show this help", [](Options&, auto, auto) {}},
    };
    return table;
}

std::string Usage()
{
    std::string usage =
        "Usage: vexo-render [options] FILE...\n"
        "Loads SVG or SVGZ documents (- reads standard input), draws them when\n"
        "asked to, and prints their messages and their summary.\n\n";
    for (const OptionSpec& spec : OptionTable()) {
        std::string names = spec.shortName != nullptr ? std::string(spec.shortName) + ", " : std::string("    ");
        names += spec.longName;
        if (spec.valueName != nullptr)
            names += std::string(" ") + spec.valueName;
        std::string help = spec.help;
        if (spec.otherLongName != nullptr)
            help += std::string(" (also ") + spec.otherLongName + ")";
        std::string line = "  " + names;
        line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
        for (std::size_t start = 0; start <= help.size();) {
            const std::size_t end = std::min(help.find('\n', start), help.size());
            usage += line + help.substr(start, end - start) + "\n";
            line = std::string(24, ' ');
            start = end + 1;
        }
    }
    usage +=
        "\nSeveral input files need -o DIR/; each is written to DIR/NAME.EXT.\n"
        "A picture larger than 256 megapixels is scaled down to fit, with a warning.\n"
        "Exit status: 0 loaded (and written), 1 not loaded or not written, 2 bad usage.\n";
    return usage;
}

void UsageError(const std::string& problem)
{
    std::fprintf(stderr, "vexo-render: %s\n%s", problem.c_str(), Usage().c_str());
    std::exit(2);
}

const OptionSpec* FindOption(std::string_view arg)
{
    for (const OptionSpec& spec : OptionTable()) {
        if ((spec.shortName != nullptr && arg == spec.shortName) || arg == spec.longName ||
            (spec.otherLongName != nullptr && arg == spec.otherLongName))
            return &spec;
    }
    return nullptr;
}

bool IsFolderOutput(const std::string& output)
{
    if (output.empty() || output == "-")
        return false;
    std::error_code error;
    return output.back() == '/' || std::filesystem::is_directory(output, error);
}

void CheckOutput(Options& options)
{
    if (options.inputs.empty())
        UsageError("no input file");
    if (std::count(options.inputs.begin(), options.inputs.end(), "-") > 1)
        UsageError("standard input can be read once");
    const bool folder = IsFolderOutput(options.output);
    if (options.inputs.size() > 1 && !folder)
        UsageError("several input files need -o DIR/");
    if (folder) {
        // A folder named with its '/' is made when it does not exist yet.
        std::error_code error;
        std::filesystem::create_directories(options.output, error);
        return;
    }
    if (options.output.empty())
        return;
    if (!options.format)
        options.format = options.output == "-" ? svg::OutputFormat::Png : svg::FormatFromPath(options.output);
    if (!options.format)
        UsageError("the output must end in .png, .jpg, .tif, .gif, .bmp, .webp, .pdf, .svg, .ps or .eps, or "
                   "--format must name its format");
}

Options ParseArguments(int argc, char** argv)
{
    Options options;
    options.document.language = LanguageFromEnvironment();
    // The output is drawn at its own resolution: filters need no more.
    options.document.filterResolutionFactor = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-" || arg.empty() || arg[0] != '-') {
            options.inputs.emplace_back(arg);
            continue;
        }
        const OptionSpec* spec = FindOption(arg);
        if (spec == nullptr)
            UsageError("unknown option " + std::string(arg));
        if (std::string_view(spec->longName) == "--help") {
            std::fputs(Usage().c_str(), stdout);
            std::exit(0);
        }
        std::string_view value;
        if (spec->valueName != nullptr) {
            if (i + 1 >= argc)
                UsageError(std::string(arg) + " needs a value");
            value = argv[++i];
        }
        spec->apply(options, arg, value);
    }
    CheckOutput(options);
    return options;
}

// --- One document ----------------------------------------------------------------

// What drawing one input made: its report (tree, messages, summary), a
// write failure, and whether it loaded and was written.
struct FileResult {
    std::string report;
    std::string errors;
    bool ok = false;
};

// Standard input, at most the size a file may have.
bool ReadStandardInput(std::string& bytes)
{
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        bytes.append(buffer, got);
        if (bytes.size() > svg::limits::kMaxDocumentFileBytes)
            return false;
    }
    return std::ferror(stdin) == 0;
}

const svg::CElemDocument* LoadInput(svg::CDocumentLoad& load, const std::string& input)
{
    if (input != "-")
        return load.LoadFile(input);
    std::string bytes;
    if (!ReadStandardInput(bytes)) {
        load.Log().Report(svg::msg::kNotSvgFile, "-");
        return nullptr;
    }
    // Relative references resolve against the current folder.
    std::error_code error;
    const std::string here = std::filesystem::current_path(error).string();
    return load.LoadBytes(std::move(bytes), here + "/-", "-");
}

// The file an input is drawn into: OUT itself, or DIR/NAME.EXT.
std::string OutputPathFor(const Options& options, const std::string& input)
{
    if (!IsFolderOutput(options.output))
        return options.output;
    std::string folder = options.output;
    if (folder.back() != '/')
        folder += '/';
    const std::string stem = input == "-" ? "stdin" : std::filesystem::path(input).stem().string();
    return folder + stem + '.' + svg::FormatExtension(options.format.value_or(svg::OutputFormat::Png));
}

cairo_status_t WriteToStandardOutput(void*, const unsigned char* data, unsigned int length)
{
    return std::fwrite(data, 1, length, stdout) == length ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

svg::OutputFormat OutputFormatFor(const Options& options, const std::string& path)
{
    return options.format ? *options.format : svg::FormatFromPath(path).value_or(svg::OutputFormat::Png);
}

// Writes the picture; false, with the reason in the report, when it cannot.
bool WriteOutput(const Options& options, const std::string& path, const svg::DrawPicture& draw,
                 const svg::OutputSize& size, std::string& report)
{
    const svg::OutputFormat format = OutputFormatFor(options, path);
    std::string error;
    const bool written =
        path == "-" ? svg::WriteDrawingToStream(draw, WriteToStandardOutput, nullptr, format, size,
                                                options.background, error) &&
                          std::fflush(stdout) == 0
                    : svg::WriteDrawing(draw, path, format, size, options.background, error);
    if (!written)
        report += "vexo-render: cannot write " + path + ": " + error + "\n";
    return written;
}

// With `liveMessages`, each message goes there as it happens and the report
// holds only the tree and the summary.
FileResult DrawInput(const Options& options, const std::string& input, std::FILE* liveMessages,
                     unsigned bandCores)
{
    FileResult result;
    svg::CMessageLog log;
    if (liveMessages != nullptr) {
        log.SetListener([liveMessages](const std::string& line) {
            std::fputs(line.c_str(), liveMessages);
            std::fputc('\n', liveMessages);
            std::fflush(liveMessages);
        });
    }
    svg::CDocumentLoad load(log, svg::CStopToken::Never(), options.document);
    const svg::CElemDocument* document = LoadInput(load, input);

    bool written = true;
    if (options.inputs.size() > 1)
        result.report += input + ":\n";
    if (document != nullptr) {
        // Raster effects are computed at the output's resolution, so the
        // picture is recorded at the scale it is written at.
        std::optional<int> width = options.width;
        std::optional<int> height = options.height;
        if (options.maxSize) {
            const bool wide = !(document->region.height > document->region.width);
            (wide ? width : height) = options.maxSize;
            (wide ? height : width) = std::nullopt;
        }
        const svg::OutputSize size = svg::ComputeOutputSize(document->region, width, height, options.zoom);
        if (!options.output.empty())
            svg::ReportReducedOutput(size, log);
        const std::string path = OutputPathFor(options, input);
        if (!options.output.empty() && svg::IsRasterFormat(OutputFormatFor(options, path))) {
            // A raster picture is drawn once at one transform: straight onto
            // its pixels, without a recording to replay; a large one in bands,
            // on every core when it is the only input.
            const svg::DrawPicture draw = [&](cairo_t* cr, const svg::Matrix& userToDevice) {
                load.DrawInBands(cr, userToDevice, bandCores);
            };
            written = WriteOutput(options, path, draw, size, result.errors);
        } else if (options.output.empty()) {
            // Only the messages: the pass keeps nothing of what it draws.
            load.Pass(svg::Matrix{});
        } else {
            // A vector picture: recorded, or for a big document drawn
            // straight onto the output once its pass has reported.
            const svg::Matrix outputTransform{size.scale, 0, 0, size.scale, size.offsetX, size.offsetY};
            const std::unique_ptr<svg::CPicture> picture = load.MakePicture(outputTransform);
            const svg::DrawPicture replay = [&picture](cairo_t* cr, const svg::Matrix& userToDevice) {
                picture->Replay(cr, userToDevice);
            };
            if (picture != nullptr)
                written = WriteOutput(options, path, replay, size, result.errors);
        }
    }
    log.SetListener({});
    if (document != nullptr && options.printTree)
        PrintTree(*document, 0, options.printProperties, result.report);
    if (liveMessages == nullptr) {
        for (const std::string& message : log.EntriesFrom(0))
            result.report += message + '\n';
    }
    result.report += log.Summary() + '\n';
    result.ok = document != nullptr && written;
    return result;
}

// --- Several documents ------------------------------------------------------------

constexpr std::uintmax_t kHugePageInputBytes = std::uintmax_t{1} << 20;

// The size of the input files together; standard input counts as empty.
std::uintmax_t InputBytes(const Options& options)
{
    std::uintmax_t total = 0;
    for (const std::string& input : options.inputs) {
        std::error_code error;
        if (input != "-" && std::filesystem::is_regular_file(input, error)) {
            const std::uintmax_t size = std::filesystem::file_size(input, error);
            total += error ? 0 : size;
        }
    }
    return total;
}

// Draws every input on `threadCount` threads and hands each result to
// `print` in the order of the inputs, as soon as it and those before it are
// done. A single input's bands are drawn on every core.
bool DrawInputs(const Options& options, unsigned threadCount, std::FILE* liveMessages,
                const std::function<void(const FileResult&)>& print)
{
    const unsigned bandCores = threadCount <= 1 ? std::max(1u, std::thread::hardware_concurrency()) : 1;
    const std::size_t count = options.inputs.size();
    std::vector<std::optional<FileResult>> results(count);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            FileResult result = DrawInput(options, options.inputs[i], liveMessages, bandCores);
            const std::lock_guard lock(mutex);
            results[i] = std::move(result);
            finished.notify_all();
        }
    };
    // One input is drawn on this thread: the main thread's heap grows in
    // large steps, while a second thread's heap grows a page at a time.
    std::vector<std::thread> threads;
    if (threadCount <= 1) {
        work();
    } else {
        for (unsigned t = 0; t < threadCount; ++t)
            threads.emplace_back(work);
    }
    bool allOk = true;
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return results[i].has_value(); });
        const FileResult result = std::move(*results[i]);
        lock.unlock();
        print(result);
        allOk = allOk && result.ok;
    }
    for (std::thread& thread : threads)
        thread.join();
    return allOk;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = ParseArguments(argc, argv);
    // Starting again costs about what huge pages save on a document of a
    // few hundred kilobytes: only bigger inputs are worth it.
    if (InputBytes(options) >= kHugePageInputBytes)
        svg::StartWithHugePageHeap(argv);
    svg::KeepLargeBlocksInHeap(1 << 30);
    // The picture may be the standard output: the reports then go to standard error.
    std::FILE* reports = options.output == "-" ? stderr : stdout;
    const unsigned threadCount = static_cast<unsigned>(
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), options.inputs.size()));
    // One document's messages are printed as they happen; several documents'
    // reports each in one piece, in the order of the inputs.
    std::FILE* liveMessages = options.inputs.size() == 1 ? reports : nullptr;
    const bool ok = DrawInputs(options, threadCount, liveMessages, [&](const FileResult& result) {
        std::fputs(result.report.c_str(), reports);
        std::fflush(reports);
        std::fputs(result.errors.c_str(), stderr);
    });
    return ok ? 0 : 1;
}
