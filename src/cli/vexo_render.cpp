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

void PrintTree(const svg::CElem& elem, int depth)
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
    for (const svg::CElem* child : elem.Children())
        PrintTree(*child, depth + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    bool printTree = false;
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
        PrintTree(*document, 0);
    for (const std::string& message : svg::MessageLog::Instance().EntriesFrom(0))
        std::puts(message.c_str());
    std::puts(svg::GetMessageSummary().c_str());
    std::fflush(stdout);

    const int status = document != nullptr ? 0 : 1;
    job.Close();
    return status;
}
