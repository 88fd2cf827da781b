// vexo-render: loads an SVG document headless and prints its messages (and,
// on request, its element tree), for scripts and tests.
//
// Exit status: 0 the document loaded, 1 it did not, 2 bad usage.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "model/document.h"
#include "model/loading_job.h"
#include "model/message_log.h"

namespace {

constexpr const char* kUsage =
    "Usage: vexo-render [options] FILE\n"
    "Loads an SVG or SVGZ document and prints its messages and their summary.\n"
    "\n"
    "  --tree          print the element tree first (class, name, id, line(column))\n"
    "  --props         print the tree with each element's resolved properties under it\n"
    "  --media NAME    CSS media the style sheets are matched against (default screen)\n"
    "  --lang LIST     comma-separated user languages for systemLanguage\n"
    "                  (default: from $LANGUAGE or $LANG, else en)\n"
    "  -h, --help      show this help\n"
    "\n"
    "Exit status: 0 loaded, 1 not loaded, 2 bad usage.\n";

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
    line += props.fillRule == 1 ? " rule=evenodd" : " rule=nonzero";
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
    if (props.colorQuality == 0)
        line += " color-rendering=optimizeSpeed";
    if (props.linearColor == 1)
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
                             " style=" + std::to_string(props.fontStyle) +
                             " variant=" + std::to_string(props.fontVariant) + " stretch=" +
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

}  // namespace

int main(int argc, char** argv)
{
    bool printTree = false;
    bool printProperties = false;
    svg::CDocOptions options;
    options.language = LanguageFromEnvironment();
    std::string input;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vexo-render: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--tree") {
            printTree = true;
        } else if (arg == "--props") {
            printTree = true;
            printProperties = true;
        } else if (arg == "--media") {
            options.media = value("--media");
        } else if (arg == "--lang") {
            options.language = value("--lang");
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "vexo-render: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        } else if (input.empty()) {
            input = arg;
        } else {
            std::fprintf(stderr, "vexo-render: one input file at a time\n%s", kUsage);
            return 2;
        }
    }
    if (input.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    svg::LoadingJob job;
    svg::CElemDocument* document = nullptr;
    job.Start(input, options, [&document](svg::CElemDocument* loaded) { document = loaded; });
    job.Wait();

    if (document != nullptr && printTree)
        PrintTree(*document, 0, printProperties);
    for (const std::string& message : svg::MessageLog::Instance().EntriesFrom(0))
        std::puts(message.c_str());
    std::puts(svg::GetMessageSummary().c_str());
    std::fflush(stdout);

    const int status = document != nullptr ? 0 : 1;
    job.Close();
    return status;
}
