#include "model/xml_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/uri.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>

#include "base/limits.h"
#include "base/stop_token.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/messages.h"
#include "model/resource_file.h"
#include "model/text_decoder.h"
#include "model/xslt_library.h"
#include "values/scan.h"

namespace svg {
namespace {

constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";
constexpr const char* kXlinkNamespace = "http://www.w3.org/1999/xlink";
constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr const char* kXsltNamespace = "http://www.w3.org/1999/XSL/Transform";

// Internal entities expand (drawings exported with `&ns_svg;` need that);
// nothing outside the document is read. XML_PARSE_HUGE lifts libxml2's
// bounds on the length of one text or attribute value and on its look-ahead,
// which real big drawings exceed (a map's path of 20 MB); it also lifts the
// bounds on entity expansion and nesting depth, which ParseGuard below
// applies instead.
constexpr int kParseOptions = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;

const char* ToChars(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

// --- Safety -------------------------------------------------------------------

struct Preprocessor;

// libxml2 asks for external entities, and libxslt loads documents and
// reports its errors, through process-wide hooks that carry no data of the
// caller's. What the parse or transform running on this thread needs in
// them is reached through this pointer, set by a ParseScope around each
// call and cleared after it; no other state is shared.
struct ParseScope {
    CMessageLog& log;
    // The streaming pass, for the location of a refused entity.
    Preprocessor* preprocessor = nullptr;
    // While XSLT runs, the load whose files its xsl:import, xsl:include and
    // document() may read (through ReadResourceFile); a document parse
    // reads nothing but its own bytes.
    CLoadContext* load = nullptr;
    // While XSLT runs, where the document names its style sheet: the files
    // the transform may not read are reported there.
    int sheetLine = 0;
    int sheetColumn = 0;
    // Error text libxslt printed, to be reported line by line.
    std::string xsltErrors;

    explicit ParseScope(CMessageLog& messages) : log(messages), outer(current) { current = this; }
    ~ParseScope() { current = outer; }
    ParseScope(const ParseScope&) = delete;
    ParseScope& operator=(const ParseScope&) = delete;

    static thread_local ParseScope* current;

private:
    ParseScope* outer;
};

thread_local ParseScope* ParseScope::current = nullptr;

std::pair<int, int> PreprocessorLocation(Preprocessor& state);

// The XSLT security preferences; set once, when the first style sheet is
// applied (InitXsltSafety), and constant afterwards.
struct LibraryHooks {
    xsltSecurityPrefsPtr securityPrefs = nullptr;
};

LibraryHooks& Hooks()
{
    static LibraryHooks hooks;
    return hooks;
}

// External entities and DTDs are never read, whoever asks.
xmlParserInputPtr GuardedEntityLoader(const char* url, const char*, xmlParserCtxtPtr)
{
    ParseScope* scope = ParseScope::current;
    if (scope == nullptr)
        return nullptr;
    std::pair<int, int> location{0, 0};
    if (scope->preprocessor != nullptr)
        location = PreprocessorLocation(*scope->preprocessor);
    scope->log.Report(msg::kExternalEntity, url ? url : "", location.first, location.second);
    return nullptr;
}

// --- Memory of a transform ----------------------------------------------------------

// XSLT can double a string or a tree fragment at every step (a variable
// holding concat($s, $s)): thirty steps ask for gigabytes, within every bound
// on steps. libxml2 and libxslt allocate through hooks set once for the
// process; while a transform runs on a thread, what they allocate there is
// counted against the transform's budget, and an allocation past it fails
// (both libraries report a failed allocation and give up the operation).
// Memory freed in the transform is counted back, so only what is held at
// once counts.
struct MemoryBudget {
    std::size_t used = 0;
    std::size_t limit = 0;
    bool exceeded = false;

    bool Admit(std::size_t more)
    {
        if (more <= limit - std::min(used, limit))
            return true;
        exceeded = true;
        return false;
    }
    void Release(std::size_t bytes) { used -= std::min(used, bytes); }
};

thread_local MemoryBudget* tMemoryBudget = nullptr;

void* CountedMalloc(std::size_t size)
{
    MemoryBudget* budget = tMemoryBudget;
    if (budget != nullptr && !budget->Admit(size))
        return nullptr;
    void* block = std::malloc(size);
    if (block != nullptr && budget != nullptr)
        budget->used += malloc_usable_size(block);
    return block;
}

void* CountedRealloc(void* old, std::size_t size)
{
    MemoryBudget* budget = tMemoryBudget;
    const std::size_t before = old != nullptr ? malloc_usable_size(old) : 0;
    if (budget != nullptr && size > before && !budget->Admit(size - before))
        return nullptr;
    void* block = std::realloc(old, size);
    if (block != nullptr && budget != nullptr) {
        budget->Release(before);
        budget->used += malloc_usable_size(block);
    }
    return block;
}

void CountedFree(void* block)
{
    if (block != nullptr && tMemoryBudget != nullptr)
        tMemoryBudget->Release(malloc_usable_size(block));
    std::free(block);
}

char* CountedStrdup(const char* text)
{
    const std::size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(CountedMalloc(size));
    if (copy != nullptr)
        std::memcpy(copy, text, size);
    return copy;
}

// Counts this thread's allocations against `budget` while it lives.
class MemoryScope {
public:
    explicit MemoryScope(MemoryBudget& budget) : outer_(tMemoryBudget) { tMemoryBudget = &budget; }
    ~MemoryScope() { tMemoryBudget = outer_; }
    MemoryScope(const MemoryScope&) = delete;
    MemoryScope& operator=(const MemoryScope&) = delete;

private:
    MemoryBudget* outer_;
};

// libxml2 and libxslt print stray errors to stderr through their generic
// channels; those we want are taken from the structured channel instead.
void IgnoreGenericError(void*, const char*, ...) {}

void CollectXsltError(void*, const char* format, ...)
{
    ParseScope* scope = ParseScope::current;
    if (scope == nullptr)
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    scope->xsltErrors += buffer;
}

// --- Escaping -----------------------------------------------------------------

void AppendEscaped(std::string& out, std::string_view text, bool inAttribute)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'':
            if (inAttribute)
                out += "&apos;";
            else
                out += c;
            break;
        default: out += c; break;
        }
    }
}

}  // namespace

std::string UnescapeXml(std::string_view text)
{
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&quot;", '"'}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, character] : kEntities) {
                if (text.compare(i, entity.size(), entity) == 0) {
                    out += character;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

namespace {

// --- Source locations -----------------------------------------------------------

// Line and UTF-16 column of byte offsets in the UTF-8 text the parser reads.
// Lines start after a LF (a CR directly after the LF belongs to no line).
class LineIndex {
public:
    explicit LineIndex(std::string_view text) : text_(text)
    {
        lineStarts_.push_back(0);
        for (const char* p = text.data(), *end = text.data() + text.size();
             (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));) {
            ++p;
            if (p < end && *p == '\r')
                ++p;
            lineStarts_.push_back(static_cast<std::size_t>(p - text.data()));
        }
    }

    std::pair<int, int> Locate(std::size_t offset)
    {
        offset = std::min(offset, text_.size());
        const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
        const std::size_t lineIndex = static_cast<std::size_t>(next - lineStarts_.begin()) - 1;
        const std::size_t lineStart = lineStarts_[lineIndex];
        // Elements arrive in document order: continue counting from the last
        // position on the same line instead of from its start, so a document
        // written on one long line stays linear.
        std::size_t from = lineStart;
        int column = 1;
        if (cachedLine_ == lineIndex && cachedOffset_ <= offset) {
            from = cachedOffset_;
            column = cachedColumn_;
        }
        for (std::size_t i = from; i < offset; ++i) {
            const auto byte = static_cast<unsigned char>(text_[i]);
            if ((byte & 0xC0) != 0x80)
                column += byte >= 0xF0 ? 2 : 1;  // non-BMP characters take two UTF-16 units
        }
        cachedLine_ = lineIndex;
        cachedOffset_ = offset;
        cachedColumn_ = column;
        return {static_cast<int>(lineIndex + 1), column};
    }

private:
    std::string_view text_;
    std::vector<std::size_t> lineStarts_;
    std::size_t cachedLine_ = SIZE_MAX;
    std::size_t cachedOffset_ = 0;
    int cachedColumn_ = 1;
};

// --- What a parse may cost ---------------------------------------------------------

std::size_t SaturatingAdd(std::size_t a, std::size_t b) { return a > SIZE_MAX - b ? SIZE_MAX : a + b; }

// The bounds every parse keeps, counted here because XML_PARSE_HUGE turns
// libxml2's own counting off: how deeply elements nest, and how much text
// the references to internal entities expand to. Entities that name
// entities are expanded by libxml2 once and then copied, so their cost is
// computed from their declarations (each entity once) and charged at every
// reference. When a bound is passed the reason is reported once and the
// parse stops; what was read is thrown away.
class ParseGuard {
public:
    virtual ~ParseGuard() = default;

    // The document's parser; an entity's replacement text is parsed by
    // parsers of its own that share this guard.
    xmlParserCtxtPtr ctxt = nullptr;

    // An element starts; false (after stopping the parse) when it is one
    // level too deep.
    bool EnterElement()
    {
        if (++depth_ <= limits::kMaxElementDepth)
            return true;
        char reason[128];
        std::snprintf(reason, sizeof reason, msg::kReasonElementsTooDeep, limits::kMaxElementDepth);
        Fail(reason);
        return false;
    }
    void LeaveElement()
    {
        if (depth_ > 0)
            --depth_;
    }

    // A reference to `entity` is about to be expanded; false (after stopping
    // the parse) when the expansions would pass their bounds.
    bool AdmitEntity(const xmlEntity& entity)
    {
        if (limitHit_)
            return false;
        const std::optional<std::size_t> bytes = ExpandedBytes(entity, 0);
        char reason[256];
        const char* name = entity.name ? ToChars(entity.name) : "";
        if (!bytes) {
            std::snprintf(reason, sizeof reason, msg::kReasonEntityTooDeep, name, limits::kMaxEntityNesting);
            Fail(reason);
            return false;
        }
        expandedBytes_ = SaturatingAdd(expandedBytes_, *bytes);
        if (expandedBytes_ <= limits::kMaxEntityExpansionBytes)
            return true;
        std::snprintf(reason, sizeof reason, msg::kReasonEntityTooLarge, name,
                      limits::kMaxEntityExpansionBytes >> 20);
        Fail(reason);
        return false;
    }

    bool LimitHit() const { return limitHit_; }

protected:
    // Tells the user why the parse stops.
    virtual void ReportLimit(const std::string& reason) = 0;

private:
    void Fail(const std::string& reason)
    {
        if (limitHit_)
            return;
        limitHit_ = true;
        ReportLimit(reason);
        if (ctxt != nullptr)
            xmlStopParser(ctxt);
    }

    // The length of `entity`'s text with every reference in it expanded;
    // null when references nest more than kMaxEntityNesting deep, which
    // includes entities that name themselves.
    std::optional<std::size_t> ExpandedBytes(const xmlEntity& entity, unsigned level)
    {
        if (entity.etype == XML_INTERNAL_PREDEFINED_ENTITY)
            return 1;
        if (entity.etype != XML_INTERNAL_GENERAL_ENTITY || entity.content == nullptr)
            return 0;  // external entities are never read
        if (const auto known = expanded_.find(&entity); known != expanded_.end())
            return known->second;
        if (level >= limits::kMaxEntityNesting)
            return std::nullopt;
        const std::string_view text(ToChars(entity.content), static_cast<std::size_t>(std::max(entity.length, 0)));
        std::size_t bytes = 0;
        std::size_t i = 0;
        while (i < text.size()) {
            const std::size_t amp = text.find('&', i);
            const std::size_t semicolon = amp == std::string_view::npos ? amp : text.find(';', amp + 1);
            if (semicolon == std::string_view::npos) {
                bytes = SaturatingAdd(bytes, text.size() - i);
                break;
            }
            bytes = SaturatingAdd(bytes, amp - i);
            const std::string name(text.substr(amp + 1, semicolon - amp - 1));
            const xmlEntity* named = name.empty() || name[0] == '#'
                                         ? nullptr
                                         : xmlGetDocEntity(entity.doc, BAD_CAST name.c_str());
            if (named == nullptr) {
                bytes = SaturatingAdd(bytes, semicolon + 1 - amp);
            } else {
                const std::optional<std::size_t> inner = ExpandedBytes(*named, level + 1);
                if (!inner)
                    return std::nullopt;
                bytes = SaturatingAdd(bytes, *inner);
            }
            i = semicolon + 1;
        }
        expanded_.emplace(&entity, bytes);
        return bytes;
    }

    unsigned depth_ = 0;
    std::size_t expandedBytes_ = 0;
    std::unordered_map<const xmlEntity*, std::size_t> expanded_;
    bool limitHit_ = false;
};

ParseGuard& Guard(void* ctx) { return *static_cast<ParseGuard*>(static_cast<xmlParserCtxtPtr>(ctx)->_private); }

// Entity look-ups go through the guard, which refuses (and stops the parse)
// once the expansions pass their bounds.
xmlEntityPtr OnGetEntity(void* ctx, const xmlChar* name)
{
    ParseGuard& guard = Guard(ctx);
    if (guard.LimitHit())
        return nullptr;
    xmlEntityPtr entity = xmlSAX2GetEntity(ctx, name);
    if (entity == nullptr || static_cast<xmlParserCtxtPtr>(ctx)->inSubset != 0)
        return entity;
    return guard.AdmitEntity(*entity) ? entity : nullptr;
}

// --- The streaming pass ---------------------------------------------------------

struct Preprocessor final : ParseGuard {
    CMessageLog& log;
    const CStopToken& stop;
    std::string_view text;
    LineIndex lines;
    std::string encoding = "utf-8";
    std::vector<StyleSheetRecord> records;
    StyleSheetRecord current;
    int captureDepth = 0;
    // Namespaces in scope where a capture started; the captured text must
    // declare them to stand on its own.
    std::vector<std::pair<std::string, std::string>> captureNamespaces;
    bool stopped = false;
    // Receives the elements while they are read; null when the whole tree is built.
    CXmlElementStream* stream = nullptr;
    // A style sheet turned up while streaming: the document is read again.
    bool needsWholeTree = false;
    // Parser messages reported, and those a second reading leaves out
    // because the first one reported them already.
    int messagesReported = 0;
    int messagesToSkip = 0;

    Preprocessor(std::string_view t, CMessageLog& messages, const CStopToken& stopToken)
        : log(messages), stop(stopToken), text(t), lines(t)
    {
    }

    // Byte offset of the parser in the document text. Inside an entity's
    // replacement text the document input sits just after the reference.
    std::size_t ParserOffset() const
    {
        const xmlParserInputPtr input = ctxt->inputTab[0];
        return static_cast<std::size_t>(input->consumed) +
               static_cast<std::size_t>(input->cur - input->base);
    }

    // The "<" that opens the start tag just read: a start tag cannot contain
    // "<", so it is the last one before the parser's position.
    std::pair<int, int> StartTagLocation()
    {
        std::size_t offset = std::min(ParserOffset(), text.size());
        while (offset > 0 && text[offset - 1] != '<')
            --offset;
        return lines.Locate(offset > 0 ? offset - 1 : 0);
    }

    std::pair<int, int> ParserLocation() { return lines.Locate(ParserOffset()); }

    // The "<?" of the processing instruction just read.
    std::pair<int, int> InstructionLocation()
    {
        const std::size_t end = std::min(ParserOffset(), text.size());
        const std::size_t start = text.rfind("<?", end);
        return lines.Locate(start == std::string_view::npos ? end : start);
    }

    // True when the parse has ended early: stopped, or a bound passed.
    bool CheckStop()
    {
        if (!stopped && stop.StopRequested()) {
            stopped = true;
            xmlStopParser(ctxt);
        }
        return stopped || LimitHit();
    }

protected:
    void ReportLimit(const std::string& reason) override
    {
        const std::pair<int, int> location = ParserLocation();
        log.Report(msg::kParserFatal, reason.c_str(), location.first, location.second);
    }
};

std::pair<int, int> PreprocessorLocation(Preprocessor& state) { return state.ParserLocation(); }

Preprocessor& State(void* ctx) { return static_cast<Preprocessor&>(Guard(ctx)); }

// The stream receives the document's own elements; those of an entity's
// replacement text are parsed apart (with another context) into the entity.
CXmlElementStream* StreamFor(Preprocessor& state, void* ctx)
{
    return ctx == state.ctxt ? state.stream : nullptr;
}

// A style sheet met while streaming: the elements handed over missed it.
bool AbandonStream(Preprocessor& state)
{
    if (state.stream == nullptr)
        return false;
    state.needsWholeTree = true;
    xmlStopParser(state.ctxt);
    return true;
}

std::string QName(const xmlChar* prefix, const xmlChar* localname)
{
    std::string name;
    if (prefix != nullptr) {
        name = ToChars(prefix);
        name += ':';
    }
    name += ToChars(localname);
    return name;
}

// SAX2 attributes come as (localname, prefix, URI, value, end) quintuples.
std::string_view AttributeValue(const xmlChar** attribute)
{
    return {ToChars(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3])};
}

std::string FindAttribute(int count, const xmlChar** attributes, std::string_view name)
{
    for (int i = 0; i < count; ++i) {
        const xmlChar** attribute = attributes + 5 * i;
        if (attribute[1] == nullptr && name == ToChars(attribute[0]))
            return std::string(AttributeValue(attribute));
    }
    return {};
}

bool IsStylesheetRel(std::string_view rel)
{
    // rel is a list of link types; "alternate stylesheet" counts too.
    std::size_t i = 0;
    while (i < rel.size()) {
        while (i < rel.size() && std::isspace(static_cast<unsigned char>(rel[i])))
            ++i;
        std::size_t end = i;
        while (end < rel.size() && !std::isspace(static_cast<unsigned char>(rel[end])))
            ++end;
        if (end > i && EqualsIgnoringCase(rel.substr(i, end - i), "stylesheet"))
            return true;
        i = end;
    }
    return false;
}

void BeginCapture(Preprocessor& state, int count, const xmlChar** attributes, bool isLink,
                  std::pair<int, int> location)
{
    state.current = StyleSheetRecord{};
    state.current.line = location.first;
    state.current.column = location.second;
    if (isLink)
        state.current.href = FindAttribute(count, attributes, "href");
    if (std::string type = FindAttribute(count, attributes, "type"); !type.empty())
        state.current.type = type;
    if (std::string media = FindAttribute(count, attributes, "media"); !media.empty())
        state.current.media = media;
    state.current.charset = FindAttribute(count, attributes, "charset");
    if (state.current.charset.empty())
        state.current.charset = state.encoding;
    state.current.alternate = FindAttribute(count, attributes, "alternate");
    state.current.title = FindAttribute(count, attributes, "title");
    state.captureDepth = 1;

    state.captureNamespaces.clear();
    if (xmlNodePtr parent = state.ctxt->node) {
        if (xmlNsPtr* list = xmlGetNsList(state.ctxt->myDoc, parent)) {
            for (xmlNsPtr* ns = list; *ns != nullptr; ++ns)
                state.captureNamespaces.emplace_back((*ns)->prefix ? ToChars((*ns)->prefix) : "",
                                                     ToChars((*ns)->href));
            xmlFree(list);
        }
    }
}

void WriteCapturedStartTag(Preprocessor& state, const xmlChar* localname, const xmlChar* prefix,
                           const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                           int nbAttributes, const xmlChar** attributes, std::pair<int, int> location)
{
    std::string& out = state.current.content;
    out += '<';
    out += QName(prefix, localname);
    // Elements of the XSLT language take no extra attributes.
    if (uri == nullptr || std::strcmp(ToChars(uri), kXsltNamespace) != 0)
        out += " VexoLoc=\"" + std::to_string(location.first) + ',' + std::to_string(location.second) + '"';
    auto writeNamespace = [&out](std::string_view nsPrefix, std::string_view href) {
        out += nsPrefix.empty() ? " xmlns" : " xmlns:";
        out += nsPrefix;
        out += "=\"";
        AppendEscaped(out, href, true);
        out += '"';
    };
    std::vector<std::string> declared;
    for (int i = 0; i < nbNamespaces; ++i) {
        const char* nsPrefix = namespaces[2 * i] ? ToChars(namespaces[2 * i]) : "";
        writeNamespace(nsPrefix, ToChars(namespaces[2 * i + 1]));
        declared.emplace_back(nsPrefix);
    }
    // The outermost captured element also declares what was in scope outside.
    if (state.captureDepth == 1) {
        for (const auto& [nsPrefix, href] : state.captureNamespaces)
            if (nsPrefix != "xml" && std::find(declared.begin(), declared.end(), nsPrefix) == declared.end())
                writeNamespace(nsPrefix, href);
    }
    for (int i = 0; i < nbAttributes; ++i) {
        const xmlChar** attribute = attributes + 5 * i;
        out += ' ';
        out += QName(attribute[1], attribute[0]);
        out += "=\"";
        AppendEscaped(out, AttributeValue(attribute), true);
        out += '"';
    }
    out += '>';
}

// libxml2 parses an entity's replacement text apart, under a stand-in root
// that declares no namespace: the parser still knows every URI, but the tree
// it builds cannot find them, and xlink:href there would lose its prefix.
// The namespace declarations of the start tag, plus those its name and
// attributes use that the tree above it does not declare (none outside
// entities), as (prefix, URI) pairs.
std::vector<const xmlChar*> NamespacesToDeclare(xmlParserCtxtPtr ctxt, const xmlChar* prefix, const xmlChar* uri,
                                                int nbNamespaces, const xmlChar** namespaces, int nbAttributes,
                                                const xmlChar** attributes)
{
    std::vector<const xmlChar*> declared(namespaces, namespaces + 2 * nbNamespaces);
    const auto declareIfUnknown = [&](const xmlChar* nsPrefix, const xmlChar* nsUri) {
        if (nsUri == nullptr || xmlStrEqual(nsPrefix, BAD_CAST "xml"))
            return;
        for (std::size_t i = 0; i < declared.size(); i += 2)
            if (xmlStrEqual(declared[i], nsPrefix))
                return;
        const xmlNs* inTree = xmlSearchNs(ctxt->myDoc, ctxt->node, nsPrefix);
        if (inTree == nullptr || !xmlStrEqual(inTree->href, nsUri))
            declared.insert(declared.end(), {nsPrefix, nsUri});
    };
    declareIfUnknown(prefix, uri);
    for (int i = 0; i < nbAttributes; ++i)
        declareIfUnknown(attributes[5 * i + 1], attributes[5 * i + 2]);
    return declared;
}

void OnStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                    const xmlChar** attributes)
{
    Preprocessor& state = State(ctx);
    if (state.CheckStop() || !state.EnterElement())
        return;
    const std::pair<int, int> location = state.StartTagLocation();
    if (state.captureDepth > 0) {
        WriteCapturedStartTag(state, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                              attributes, location);
        ++state.captureDepth;
        return;
    }
    if (prefix == nullptr) {
        const std::string_view name = ToChars(localname);
        const bool isStyle = name == "style";
        if (isStyle || (name == "link" && IsStylesheetRel(FindAttribute(nbAttributes, attributes, "rel")))) {
            if (!AbandonStream(state))
                BeginCapture(state, nbAttributes, attributes, !isStyle, location);
            return;
        }
    }
    // Inside an entity `ctx` is the parser of its replacement text, not the
    // document's.
    const auto parser = static_cast<xmlParserCtxtPtr>(ctx);
    CXmlElementStream* stream = StreamFor(state, ctx);
    if (stream != nullptr && parser->node != nullptr)
        stream->TakeContent(parser->node);
    // A streamed element is built from the start tag at once and its node
    // freed at its end tag: only the root, which stays behind as the
    // document's, needs its attributes in the tree.
    const bool streamedChild = stream != nullptr && parser->node != nullptr;
    const int treeAttributes = streamedChild ? 0 : nbAttributes;
    std::vector<const xmlChar*> declared =
        NamespacesToDeclare(parser, prefix, uri, nbNamespaces, namespaces, treeAttributes, attributes);
    xmlSAX2StartElementNs(ctx, localname, prefix, uri, static_cast<int>(declared.size() / 2), declared.data(),
                          treeAttributes, streamedChild ? 0 : nbDefaulted, attributes);
    xmlNodePtr node = parser->node;
    if (node == nullptr)
        return;
    if (!streamedChild) {
        char value[32];
        std::snprintf(value, sizeof value, "%d,%d", location.first, location.second);
        xmlNewNsProp(node, nullptr, BAD_CAST "VexoLoc", BAD_CAST value);
    }
    if (stream != nullptr) {
        // The tree leaves out the DTD's default attributes unless asked to
        // complete them; so does the stream.
        const bool completed = (parser->loadsubset & XML_COMPLETE_ATTRS) != 0;
        const XmlStartTagAttributes tag{attributes, completed ? nbAttributes : nbAttributes - nbDefaulted};
        stream->ElementStarted(node, tag, location.first, location.second);
    }
}

void OnEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
{
    Preprocessor& state = State(ctx);
    if (state.CheckStop())
        return;
    state.LeaveElement();
    if (state.captureDepth == 0) {
        const auto parser = static_cast<xmlParserCtxtPtr>(ctx);
        CXmlElementStream* stream = StreamFor(state, ctx);
        xmlNodePtr node = parser->node;
        if (stream != nullptr && node != nullptr)
            stream->TakeContent(node);
        xmlSAX2EndElementNs(ctx, localname, prefix, uri);
        if (stream != nullptr && node != nullptr) {
            stream->ElementEnded(node);
            // The stream holds what it needs: only the root stays in the tree.
            if (node->parent != nullptr && node->parent->type == XML_ELEMENT_NODE) {
                xmlUnlinkNode(node);
                xmlFreeNode(node);
            }
        }
        return;
    }
    if (--state.captureDepth == 0) {
        state.records.push_back(std::move(state.current));
        state.current = StyleSheetRecord{};
        return;
    }
    state.current.content += "</" + QName(prefix, localname) + '>';
}

// Character data outside a captured style sheet goes into the tree through
// `addToTree`; inside one it is kept as escaped text of the sheet.
void AddCharacterData(void* ctx, const xmlChar* text, int length,
                      void (*addToTree)(void*, const xmlChar*, int))
{
    Preprocessor& state = State(ctx);
    if (state.CheckStop())
        return;
    if (state.captureDepth > 0)
        AppendEscaped(state.current.content, {ToChars(text), static_cast<std::size_t>(length)}, false);
    else
        addToTree(ctx, text, length);
}

void OnCharacters(void* ctx, const xmlChar* text, int length)
{
    AddCharacterData(ctx, text, length, &xmlSAX2Characters);
}

void OnCdata(void* ctx, const xmlChar* text, int length)
{
    AddCharacterData(ctx, text, length, &xmlSAX2CDataBlock);
}

}  // namespace

// Pseudo-attributes of an xml-stylesheet instruction: name="value" or
// name='value' pairs. Only whole names count, so `type` is not found inside
// href="type.css".
std::string PseudoAttribute(std::string_view data, std::string_view name)
{
    std::size_t i = 0;
    while (i < data.size()) {
        while (i < data.size() && std::isspace(static_cast<unsigned char>(data[i])))
            ++i;
        const std::size_t nameStart = i;
        while (i < data.size() && data[i] != '=' && !std::isspace(static_cast<unsigned char>(data[i])))
            ++i;
        const std::string_view found = data.substr(nameStart, i - nameStart);
        while (i < data.size() && std::isspace(static_cast<unsigned char>(data[i])))
            ++i;
        if (i >= data.size() || data[i] != '=')
            return {};
        ++i;
        while (i < data.size() && std::isspace(static_cast<unsigned char>(data[i])))
            ++i;
        if (i >= data.size() || (data[i] != '"' && data[i] != '\''))
            return {};
        const char quote = data[i++];
        const std::size_t valueEnd = data.find(quote, i);
        if (valueEnd == std::string_view::npos)
            return {};
        if (found == name)
            return UnescapeXml(data.substr(i, valueEnd - i));
        i = valueEnd + 1;
    }
    return {};
}

namespace {

void OnProcessingInstruction(void* ctx, const xmlChar* target, const xmlChar* data)
{
    Preprocessor& state = State(ctx);
    if (state.CheckStop())
        return;
    if (std::strcmp(ToChars(target), "xml-stylesheet") != 0 || state.captureDepth > 0 || AbandonStream(state))
        return;
    const std::string_view pseudo = data ? ToChars(data) : "";
    StyleSheetRecord record;
    std::tie(record.line, record.column) = state.InstructionLocation();
    record.media = PseudoAttribute(pseudo, "media");
    if (record.media.empty())
        record.media = "all";
    record.type = PseudoAttribute(pseudo, "type");
    if (record.type.empty())
        record.type = "text/css";
    record.charset = PseudoAttribute(pseudo, "charset");
    if (record.charset.empty())
        record.charset = state.encoding;
    record.alternate = PseudoAttribute(pseudo, "alternate");
    record.title = PseudoAttribute(pseudo, "title");
    record.href = PseudoAttribute(pseudo, "href");
    state.records.push_back(std::move(record));
}

std::string TrimmedMessage(const char* message)
{
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

void OnStructuredError(void* ctx, xmlErrorPtr error)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    if (ctxt == nullptr || ctxt->_private == nullptr || error == nullptr)
        return;
    Preprocessor& state = State(ctx);
    if (error->code == XML_ERR_USER_STOP || state.LimitHit())
        return;
    if (error->level == XML_ERR_WARNING || error->level == XML_ERR_ERROR || error->level == XML_ERR_FATAL) {
        if (state.messagesToSkip > 0) {
            --state.messagesToSkip;
            return;
        }
        ++state.messagesReported;
    }
    const std::string text = TrimmedMessage(error->message);
    // The parser's own column counts characters; ours counts UTF-16 units.
    std::pair<int, int> location{error->line, error->int2};
    if (ctxt->inputNr > 0 && ctxt->inputTab[0] != nullptr && ctxt->inputTab[0]->base != nullptr)
        location = state.lines.Locate(state.ParserOffset());
    switch (error->level) {
    case XML_ERR_WARNING: state.log.Report(msg::kParserWarning, text.c_str(), location.first, location.second); break;
    case XML_ERR_ERROR: state.log.Report(msg::kParserError, text.c_str(), location.first, location.second); break;
    case XML_ERR_FATAL:
        if (!state.stop.StopRequested())
            state.log.Report(msg::kParserFatal, text.c_str(), location.first, location.second);
        break;
    default:
        break;
    }
}

// The document's bytes as UTF-8, the form the parser reads and locations are
// counted in: a view of `bytes` when they are UTF-8 already, else of
// `converted`. Documents in other character sets are converted here, through
// the same character-set table as style sheets.
bool DecodeDocument(std::string_view bytes, std::string_view& utf8, std::string& converted, std::string& encoding,
                    CMessageLog& log)
{
    std::size_t bomLength = 0;
    encoding = DetectXmlEncoding(bytes, &bomLength);
    const std::string canonical = CanonicalCharset(encoding);
    if (canonical == "utf-8" || EqualsIgnoringCase(encoding, "utf8") || EqualsIgnoringCase(encoding, "us-ascii") ||
        EqualsIgnoringCase(encoding, "ascii")) {
        utf8 = bytes.substr(bomLength);
        return true;
    }
    if (encoding.empty()) {
        log.Report(msg::kUnsupportedEncoding, "UTF-32", 1, 1);
        return false;
    }
    std::optional<std::string> result = ConvertToUtf8(bytes.substr(bomLength), encoding);
    if (!result) {
        log.Report(msg::kInvalidEncoding, encoding.c_str(), 1, 1);
        return false;
    }
    converted = std::move(*result);
    utf8 = converted;
    return true;
}

struct ParserCtxtDeleter {
    void operator()(xmlParserCtxt* ctxt) const
    {
        if (ctxt->myDoc != nullptr) {
            xmlFreeDoc(ctxt->myDoc);
            ctxt->myDoc = nullptr;
        }
        xmlFreeParserCtxt(ctxt);
    }
};
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter>;

// Parses outside the streaming pass keep their first error, to be reported
// in the "E line(column) : reason" form, and the same bounds.
struct PlainParse final : ParseGuard {
    bool set = false;
    int line = 0;
    int column = 0;
    std::string message;

    void Keep(int errorLine, int errorColumn, std::string text)
    {
        if (set)
            return;
        set = true;
        line = errorLine;
        column = errorColumn;
        message = std::move(text);
    }

protected:
    void ReportLimit(const std::string& reason) override
    {
        const xmlParserInputPtr input = ctxt != nullptr ? ctxt->input : nullptr;
        Keep(input != nullptr ? input->line : 0, input != nullptr ? input->col : 0, reason);
    }
};

PlainParse& Plain(void* ctx) { return static_cast<PlainParse&>(Guard(ctx)); }

void CollectFirstError(void* userData, xmlErrorPtr error)
{
    if (userData == nullptr || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    PlainParse& parse = Plain(userData);
    if (!parse.LimitHit() && error->code != XML_ERR_USER_STOP)
        parse.Keep(error->line, error->int2, TrimmedMessage(error->message));
}

void OnPlainStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                         int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                         const xmlChar** attributes)
{
    PlainParse& parse = Plain(ctx);
    if (parse.LimitHit() || !parse.EnterElement())
        return;
    xmlSAX2StartElementNs(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted,
                          attributes);
}

void OnPlainEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
{
    PlainParse& parse = Plain(ctx);
    if (parse.LimitHit())
        return;
    parse.LeaveElement();
    xmlSAX2EndElementNs(ctx, localname, prefix, uri);
}

// `text` parsed into a tree named `url`, with the guard's bounds; `dict`,
// when given, is the dictionary the tree's names must come from (libxslt
// compares names of documents it loads by pointer). `extraOptions` adds
// libxml2 options to the usual ones.
XmlDocPtr ParseWithFirstError(std::string_view text, const std::string& url, PlainParse& parse,
                              xmlDictPtr dict = nullptr, int extraOptions = 0)
{
    if (text.size() > static_cast<std::size_t>(INT32_MAX))
        return nullptr;
    ParserCtxtPtr ctxt(xmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size())));
    if (!ctxt)
        return nullptr;
    if (dict != nullptr) {
        if (ctxt->dict != nullptr)
            xmlDictFree(ctxt->dict);
        ctxt->dict = dict;
        xmlDictReference(dict);
    }
    xmlSAXHandler* sax = ctxt->sax;
    sax->serror = &CollectFirstError;
    sax->error = nullptr;
    sax->warning = nullptr;
    sax->getEntity = &OnGetEntity;
    sax->startElementNs = &OnPlainStartElement;
    sax->endElementNs = &OnPlainEndElement;
    parse.ctxt = ctxt.get();
    ctxt->_private = static_cast<ParseGuard*>(&parse);
    xmlCtxtUseOptions(ctxt.get(), kParseOptions | extraOptions);
    if (!url.empty())
        ctxt->input->filename = reinterpret_cast<char*>(xmlStrdup(BAD_CAST url.c_str()));
    xmlParseDocument(ctxt.get());
    if (!ctxt->wellFormed || parse.LimitHit() || ctxt->myDoc == nullptr)
        return nullptr;
    XmlDocPtr doc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    if (!url.empty() && doc->URL == nullptr)
        doc->URL = xmlStrdup(BAD_CAST url.c_str());
    return doc;
}

// --- XSLT -------------------------------------------------------------------------

// The lines libxslt prints when one of our bounds stops a transform; they
// name its internals (xsltMaxDepth, --maxdepth), so our own message takes
// their place.
bool IsLimitError(std::string_view line)
{
    for (std::string_view marker : {"Operation limit exceeded", "infinite template recursion", "xsltMaxDepth",
                                    "xsltMaxVars", "--maxdepth", "--maxvars"})
        if (line.find(marker) != std::string_view::npos)
            return true;
    return false;
}

void ReportXsltErrors(ParseScope& scope, bool limitHit)
{
    const std::string& errors = scope.xsltErrors;
    std::size_t start = 0;
    while (start < errors.size()) {
        std::size_t end = errors.find('\n', start);
        if (end == std::string::npos)
            end = errors.size();
        const std::string line = errors.substr(start, end - start);
        if (!line.empty() && !(limitHit && IsLimitError(line)))
            scope.log.Report(msg::kStyleSheetError, line.c_str());
        start = end + 1;
    }
    scope.xsltErrors.clear();
}

// One transform, as its context's _private: the stop token it watches.
struct XsltRun {
    const CStopToken& stop;
    bool stopped = false;
};

// libxslt calls this before each instruction of a transform whose debug
// status is set (ours all are): a stop request ends the transform there.
// The engine is told to stop and every step after this one fails at once.
void OnXsltInstruction(xmlNodePtr, xmlNodePtr, xsltTemplatePtr, xsltTransformContextPtr ctxt)
{
    auto* run = ctxt != nullptr ? static_cast<XsltRun*>(ctxt->_private) : nullptr;
    if (run == nullptr || run->stopped || !run->stop.StopRequested())
        return;
    run->stopped = true;
    ctxt->state = XSLT_STATE_STOPPED;
    ctxt->debugStatus = XSLT_DEBUG_QUIT;
    ctxt->opLimit = std::max<unsigned long>(ctxt->opCount, 1);
    if (ctxt->xpathCtxt != nullptr)
        ctxt->xpathCtxt->opLimit = std::max<unsigned long>(ctxt->xpathCtxt->opCount, 1);
}

int OnXsltCallAdded(xsltTemplatePtr, xmlNodePtr) { return 1; }
void OnXsltCallDropped() {}

// A local path for an address libxslt built; empty for another scheme.
std::string XsltLocalPath(std::string_view address)
{
    constexpr std::string_view kFileScheme = "file://";
    if (address.compare(0, kFileScheme.size(), kFileScheme) == 0)
        address.remove_prefix(kFileScheme.size());
    else if (address.compare(0, 5, "file:") == 0)
        address.remove_prefix(5);
    else if (address.find("://") != std::string_view::npos)
        return {};
    return std::string(address);
}

// libxslt's loader for xsl:import, xsl:include and document(): the file is
// read like every other file a document names (confined to the load's
// folders, regular files only, bounded, stoppable) and parsed with the same
// bounds as documents. No external DTD, entity or XInclude is read.
xmlDocPtr LoadXsltDocument(const xmlChar* uri, xmlDictPtr dict, int options, void*, xsltLoadType)
{
    ParseScope* scope = ParseScope::current;
    if (scope == nullptr || scope->load == nullptr || uri == nullptr)
        return nullptr;
    CLoadContext& load = *scope->load;
    const std::string address = ToChars(uri);
    std::string path = XsltLocalPath(address);
    if (path.empty()) {
        scope->log.ReportAt(scope->sheetLine, scope->sheetColumn, msg::kNotLocalFile, address.c_str());
        return nullptr;
    }
    std::string bytes;
    ReadStatus status = ReadResourceFile(load, path, ResourceKind::Xslt, bytes);
    if (status == ReadStatus::OpenFailed) {
        // Addresses come %-escaped; a file's name need not be.
        std::unique_ptr<char, void (*)(void*)> unescaped(xmlURIUnescapeString(path.c_str(), 0, nullptr),
                                                         [](void* text) { xmlFree(text); });
        if (unescaped && path != unescaped.get())
            status = ReadResourceFile(load, unescaped.get(), ResourceKind::Xslt, bytes);
    }
    if (status != ReadStatus::Ok) {
        ReportUnreadResource(scope->log, status, ResourceKind::Xslt, address, scope->sheetLine, scope->sheetColumn);
        return nullptr;
    }
    PlainParse parse;
    XmlDocPtr doc = ParseWithFirstError(bytes, address, parse, dict, options & XML_PARSE_NOCDATA);
    if (!doc && parse.set)
        scope->log.Report(msg::kStyleSheetError, parse.message.c_str());
    return doc.release();
}

// The bounds of one transform, and its stop token.
void LimitTransform(xsltTransformContextPtr context, XsltRun& run)
{
    xsltSetCtxtSecurityPrefs(Hooks().securityPrefs, context);
    context->maxTemplateDepth = limits::kMaxXsltTemplateDepth;
    context->maxTemplateVars = limits::kMaxXsltVariables;
    context->opLimit = limits::kMaxXsltSteps;
    if (context->xpathCtxt != nullptr)
        context->xpathCtxt->opLimit = limits::kMaxXsltXPathSteps;
    context->_private = &run;
    context->debugStatus = XSLT_DEBUG_RUN;
}

// Reports which bound ended a failed transform; false when none did.
bool ReportXsltLimit(xsltTransformContextPtr context, CMessageLog& log)
{
    if (context->opLimit != 0 && context->opCount >= context->opLimit) {
        log.Report(msg::kXsltTooManySteps, limits::kMaxXsltSteps);
        return true;
    }
    const xmlXPathContext* xpath = context->xpathCtxt;
    if (xpath != nullptr && xpath->opLimit != 0 && xpath->opCount >= xpath->opLimit) {
        log.Report(msg::kXsltTooManyXPathSteps, limits::kMaxXsltXPathSteps);
        return true;
    }
    return false;
}

// Applies `sheet` to `document` and serialises the result into `text`;
// false after reporting (or, when stopped, silently).
bool RunTransform(xsltStylesheetPtr sheet, xmlDoc* document, CLoadContext& load, ParseScope& scope,
                  const MemoryBudget& budget, std::string& text)
{
    CMessageLog& log = load.Log();
    xsltTransformContextPtr context = xsltNewTransformContext(sheet, document);
    if (context == nullptr)
        return false;
    XsltRun run{load.Stop()};
    LimitTransform(context, run);
    xmlDocPtr result = xsltApplyStylesheetUser(sheet, document, nullptr, nullptr, nullptr, context);
    XmlDocPtr resultOwner(result);
    const bool failed = context->state != XSLT_STATE_OK || result == nullptr || budget.exceeded;
    if (run.stopped || load.StopRequested()) {
        xsltFreeTransformContext(context);
        scope.xsltErrors.clear();
        return false;
    }
    bool limitHit = failed && ReportXsltLimit(context, log);
    if (failed && !limitHit && budget.exceeded) {
        log.Report(msg::kXsltTooMuchMemory, limits::kMaxXsltMemoryBytes >> 20);
        scope.xsltErrors.clear();  // what failed for want of memory, in the libraries' words
        limitHit = true;
    }
    if (failed && !limitHit && scope.xsltErrors.find("infinite template recursion") != std::string::npos) {
        log.Report(msg::kXsltTooDeep, limits::kMaxXsltTemplateDepth, limits::kMaxXsltVariables);
        limitHit = true;
    }
    xsltFreeTransformContext(context);
    ReportXsltErrors(scope, limitHit);
    if (failed)
        return false;

    xmlChar* output = nullptr;
    int length = 0;
    const bool saved = xsltSaveResultToString(&output, &length, result, sheet) == 0 && output != nullptr;
    if (!saved || budget.exceeded || static_cast<std::size_t>(length) > limits::kMaxDocumentFileBytes) {
        if (budget.exceeded || saved)
            log.Report(msg::kXsltTooMuchMemory, limits::kMaxXsltMemoryBytes >> 20);
        xmlFree(output);
        return false;
    }
    text.assign(ToChars(output), static_cast<std::size_t>(length));
    xmlFree(output);
    return true;
}

// libxslt is opened and set up when the first style sheet is applied.
void InitXsltSafety()
{
    InitXmlSafety();
    static std::once_flag once;
    std::call_once(once, [] {
        LibraryHooks& hooks = Hooks();
        exsltRegisterAll();
        hooks.securityPrefs = xsltNewSecurityPrefs();
        xsltSetSecurityPrefs(hooks.securityPrefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid.Get());
        xsltSetSecurityPrefs(hooks.securityPrefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid.Get());
        xsltSetSecurityPrefs(hooks.securityPrefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid.Get());
        xsltSetSecurityPrefs(hooks.securityPrefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid.Get());
        xsltSetDefaultSecurityPrefs(hooks.securityPrefs);
        xsltSetGenericErrorFunc(nullptr, &CollectXsltError);
        // Every document libxslt loads is read through the load's confined
        // reader, and every transform may be stopped between instructions.
        xsltSetLoaderFunc(&LoadXsltDocument);
        static void* debuggerCallbacks[] = {reinterpret_cast<void*>(&OnXsltInstruction),
                                            reinterpret_cast<void*>(&OnXsltCallAdded),
                                            reinterpret_cast<void*>(&OnXsltCallDropped)};
        xsltSetDebuggerCallbacks(3, debuggerCallbacks);
    });
}

}  // namespace

XmlDocPtr TransformXml(xmlDoc* document, XmlDocPtr styleDoc, CLoadContext& load, int line, int column)
{
    InitXsltSafety();
    CMessageLog& log = load.Log();
    ParseScope scope(log);
    scope.load = &load;
    scope.sheetLine = line;
    scope.sheetColumn = column;

    xsltStylesheetPtr sheet = xsltParseStylesheetDoc(styleDoc.get());
    if (sheet == nullptr) {
        ReportXsltErrors(scope, false);
        return nullptr;
    }
    styleDoc.release();  // now owned by the sheet
    std::unique_ptr<xsltStylesheet, void (*)(xsltStylesheetPtr)> sheetOwner(sheet, xsltFreeStylesheet.Get());

    MemoryBudget budget{0, limits::kMaxXsltMemoryBytes};
    std::string text;
    {
        MemoryScope memory(budget);
        if (!RunTransform(sheet, document, load, scope, budget, text))
            return nullptr;
    }
    return ParseXmlText(text, document->URL ? ToChars(document->URL) : "", log);
}

XmlDocPtr ParseXmlSheet(std::string_view text, const std::string& url, CMessageLog& log)
{
    InitXmlSafety();
    ParseScope scope(log);
    PlainParse parse;
    XmlDocPtr doc = ParseWithFirstError(text, url, parse);
    if (!doc)
        log.Report(msg::kStyleSheetError, parse.message.c_str());
    return doc;
}

// --- Public ---------------------------------------------------------------------

void InitXmlSafety()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Before the libraries allocate anything: what XSLT allocates is
        // counted (MemoryScope).
        xmlGcMemSetup(&CountedFree, &CountedMalloc, &CountedMalloc, &CountedRealloc, &CountedStrdup);
        xmlInitParser();
        xmlSetExternalEntityLoader(&GuardedEntityLoader);
    });
    // libxml2 keeps its generic error channel per thread.
    xmlSetGenericErrorFunc(nullptr, &IgnoreGenericError);
}


std::string QualifiedName(const xmlNode* node)
{
    if (node == nullptr || node->name == nullptr)
        return {};
    // `<svg:rect>` with the prefix bound to the SVG namespace is the same
    // element as `<rect>`: SVG 1.1 documents may spell it either way.
    const xmlNs* ns = node->ns;
    if (ns == nullptr || (ns->href != nullptr && std::strcmp(ToChars(ns->href), kSvgNamespace) == 0))
        return ToChars(node->name);
    if (ns->prefix != nullptr)
        return QName(ns->prefix, node->name);
    // `<rect>` under xmlns="http://example.org/other" is no SVG element: its
    // expanded name keeps it from being taken for one.
    if (ns->href != nullptr)
        return '{' + std::string(ToChars(ns->href)) + '}' + ToChars(node->name);
    return ToChars(node->name);
}

namespace {

std::string QualifiedAttributeName(const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
{
    if (uri != nullptr) {
        // Whatever prefix a document binds to them, these namespaces are
        // looked up under their usual prefixes.
        if (std::strcmp(ToChars(uri), kXlinkNamespace) == 0)
            return QName(BAD_CAST "xlink", localname);
        if (std::strcmp(ToChars(uri), kXmlNamespace) == 0)
            return QName(BAD_CAST "xml", localname);
    }
    return QName(prefix, localname);
}

}  // namespace

std::string QualifiedName(const xmlAttr* attribute)
{
    if (attribute == nullptr || attribute->name == nullptr)
        return {};
    const xmlNs* ns = attribute->ns;
    return QualifiedAttributeName(attribute->name, ns != nullptr ? ns->prefix : nullptr,
                                  ns != nullptr ? ns->href : nullptr);
}

std::string XmlStartTagAttributes::Name(int index) const
{
    const xmlChar** attribute = entries + 5 * index;
    return QualifiedAttributeName(attribute[0], attribute[1], attribute[2]);
}

std::string_view XmlStartTagAttributes::Value(int index) const
{
    const xmlChar** attribute = entries + 5 * index;
    return {ToChars(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3])};
}

namespace {

// How a reading went with a stream, for a second reading without it.
struct StreamedReading {
    CXmlElementStream* stream = nullptr;
    bool needsWholeTree = false;
    int messagesReported = 0;
    int messagesToSkip = 0;
};

// One streaming pass over the decoded `text`, handing the elements to
// `reading.stream` when there is one.
XmlReadResult ParseDocument(std::string_view text, const std::string& encoding, const std::string& fullPath,
                            CMessageLog& log, const CStopToken& stop, StreamedReading& reading)
{
    XmlReadResult result;
    Preprocessor state(text, log, stop);
    state.encoding = encoding;
    state.stream = reading.stream;
    state.messagesToSkip = reading.messagesToSkip;
    // The text is pushed in pieces: a memory parser would first copy all of it.
    ParserCtxtPtr ctxt(xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr));
    if (!ctxt || ctxt->input == nullptr)
        return result;
    state.ctxt = ctxt.get();
    ctxt->_private = static_cast<ParseGuard*>(&state);
    xmlSAXHandler* sax = ctxt->sax;
    sax->getEntity = &OnGetEntity;
    sax->startElementNs = &OnStartElement;
    sax->endElementNs = &OnEndElement;
    sax->characters = &OnCharacters;
    sax->ignorableWhitespace = &OnCharacters;
    sax->cdataBlock = &OnCdata;
    sax->processingInstruction = &OnProcessingInstruction;
    sax->comment = nullptr;
    sax->serror = &OnStructuredError;
    sax->error = nullptr;
    sax->warning = nullptr;
    sax->fatalError = nullptr;
    // The text is UTF-8 by now, whatever its declaration says.
    xmlCtxtUseOptions(ctxt.get(), kParseOptions | XML_PARSE_IGNORE_ENC);
    xmlSwitchEncoding(ctxt.get(), XML_CHAR_ENCODING_UTF8);
    ctxt->input->filename = reinterpret_cast<char*>(xmlStrdup(BAD_CAST fullPath.c_str()));

    {
        ParseScope scope(log);
        scope.preprocessor = &state;
        constexpr std::size_t kPieceBytes = std::size_t{1} << 16;
        std::size_t done = 0;
        do {
            const std::size_t piece = std::min(kPieceBytes, text.size() - done);
            const bool last = done + piece == text.size();
            xmlParseChunk(ctxt.get(), text.data() + done, static_cast<int>(piece), last ? 1 : 0);
            done += piece;
            // A fatal error, a bound or a stop ends the parse.
            if (ctxt->disableSAX != 0 || ctxt->instate == XML_PARSER_EOF)
                break;
        } while (done < text.size());
    }
    reading.needsWholeTree = state.needsWholeTree;
    reading.messagesReported = state.messagesReported;
    const bool ok = ctxt->wellFormed && !state.stopped && !state.LimitHit() && ctxt->myDoc != nullptr;
    if (!ok)
        return result;
    result.document.reset(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    if (result.document->URL == nullptr)
        result.document->URL = xmlStrdup(BAD_CAST fullPath.c_str());
    result.styleSheets = std::move(state.records);
    return result;
}

}  // namespace

bool MayHoldStyleSheets(std::string_view text)
{
    // Style elements with or without a prefix, stylesheet links and
    // xml-stylesheet instructions all spell these; a character reference in
    // an entity's value could spell markup that no scan sees.
    if (text.find("<style") != std::string_view::npos || text.find(":style") != std::string_view::npos)
        return true;
    // Links in unusual capitals are not looked for: the parse meets them
    // and starts again with the whole tree (PreprocessXml).
    for (const std::string_view spelling : {"stylesheet", "StyleSheet", "Stylesheet", "STYLESHEET"})
        if (text.find(spelling) != std::string_view::npos)
            return true;
    return text.find("<!ENTITY") != std::string_view::npos && text.find("&#") != std::string_view::npos;
}

XmlReadResult PreprocessXml(std::string_view bytes, const std::string& fullPath, CMessageLog& log,
                            const CStopToken& stop, CXmlElementStream* stream)
{
    InitXmlSafety();
    std::string_view text;
    std::string converted;
    std::string encoding;
    if (!DecodeDocument(bytes, text, converted, encoding, log))
        return {};
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
        log.Report(msg::kDocumentTooLarge, 1, 1);
        return {};
    }
    if (stream != nullptr && MayHoldStyleSheets(text))
        stream = nullptr;
    StreamedReading reading{stream};
    XmlReadResult result = ParseDocument(text, encoding, fullPath, log, stop, reading);
    if (reading.needsWholeTree) {
        // The scan missed a style sheet: read the document again, whole,
        // without repeating what the parser said the first time.
        stream->Abandon();
        reading = StreamedReading{nullptr, false, 0, reading.messagesReported};
        result = ParseDocument(text, encoding, fullPath, log, stop, reading);
        return result;
    }
    result.streamed = stream != nullptr && result.document != nullptr;
    return result;
}

XmlDocPtr ParseXmlText(std::string_view text, const std::string& url, CMessageLog& log)
{
    InitXmlSafety();
    ParseScope scope(log);
    PlainParse parse;
    XmlDocPtr doc = ParseWithFirstError(text, url, parse);
    if (!doc && parse.set)
        log.Report(msg::kTextParseError, parse.line, parse.column, parse.message.c_str());
    return doc;
}

}  // namespace svg
