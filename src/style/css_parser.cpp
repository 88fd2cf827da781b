#include "style/css_parser.h"

#include <algorithm>
#include <array>
#include <cstdarg>

#include "base/limits.h"
#include "base/stop_token.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/messages.h"
#include "model/references.h"
#include "model/resource_file.h"
#include "model/text_decoder.h"
#include "style/css_font_face.h"
#include "style/css_tokenizer.h"
#include "values/scan.h"

namespace svg::css {
namespace {

using limits::kMaxImportedSheets;

constexpr std::array<std::string_view, kCssPropertyCount> kProperties{
    "alignment-baseline", "baseline-shift", "clip", "clip-path", "clip-rule", "color",
    "color-interpolation", "color-interpolation-filters", "color-profile", "color-rendering", "cursor",
    "direction", "display", "dominant-baseline", "enable-background", "fill", "fill-opacity", "fill-rule",
    "filter", "flood-color", "flood-opacity", "font-family", "font-size", "font-size-adjust",
    "font-stretch", "font-style", "font-variant", "font-weight", "glyph-orientation-horizontal",
    "glyph-orientation-vertical", "image-rendering", "kerning", "letter-spacing", "lighting-color",
    "marker-end", "marker-mid", "marker-start", "mask", "opacity", "overflow", "pointer-events",
    "shape-rendering", "stop-color", "stop-opacity", "stroke", "stroke-dasharray", "stroke-dashoffset",
    "stroke-linecap", "stroke-linejoin", "stroke-miterlimit", "stroke-opacity", "stroke-width",
    "text-anchor", "text-decoration", "text-rendering", "unicode-bidi", "visibility", "word-spacing",
    "writing-mode", "font", "marker"};

std::string ToLowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return svg::ToLowerAscii(c); });
    return lower;
}

// Appends one blank between two pieces of a value, however many blanks and
// comments separated them.
void AppendSeparator(std::string& value)
{
    if (!value.empty() && value.back() != ' ')
        value += ' ';
}

bool IsBadToken(const CssToken& token)
{
    return token.kind == CssTokenKind::BadString || token.kind == CssTokenKind::BadUri ||
           token.kind == CssTokenKind::BadEscape;
}

// Warnings go nowhere when no log is given (a `style` attribute is read
// without them).
void Warn(CMessageLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Warn(CMessageLog* log, const char* format, ...)
{
    if (log == nullptr)
        return;
    va_list args;
    va_start(args, format);
    log->ReportV(nullptr, format, args);
    va_end(args);
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The local file an @import names, relative to the importing sheet; empty for
// addresses that would need the network.
std::string ResolveSheetUrl(std::string address, const std::string& baseUrl)
{
    if (address.empty())
        return {};
    if (address.compare(0, 7, "file://") == 0)
        address.erase(0, 7);
    else if (address.find("://") != std::string::npos || address.compare(0, 5, "data:") == 0)
        return {};
    return MakeFullPath(address, DirectoryOf(baseUrl));
}

CMediaList ReadMediaList(CCssTokenizer& tokens)
{
    CMediaList media;
    while (tokens.PeekNonBlank().kind == CssTokenKind::Ident) {
        media.push_back(tokens.Next().text);
        if (!tokens.PeekNonBlank().IsDelim(','))
            break;
        tokens.Next();
    }
    return media;
}

// --- Selectors ------------------------------------------------------------------------

bool EndsCompound(const CssToken& token)
{
    return token.IsBlank() || token.kind == CssTokenKind::End || token.IsDelim(',') || token.IsDelim('+') ||
           token.IsDelim('>');
}

bool ReadPseudo(CCssTokenizer& tokens, CSimpleSelector& compound, CMessageLog* log)
{
    const CssToken name = tokens.Next();
    CModifier pseudo;
    pseudo.kind = ModifierKind::Pseudo;
    if (name.kind == CssTokenKind::Ident) {
        pseudo.name = name.text;
    } else if (name.kind == CssTokenKind::Function) {
        pseudo.name = name.text.substr(0, name.text.size() - 1);
        const CssToken argument = tokens.NextNonBlank();
        if (argument.kind != CssTokenKind::Ident) {
            Warn(log, msg::kCssIllegalTokenAfter, argument.text.c_str(), name.text.c_str());
            return false;
        }
        if (!tokens.NextNonBlank().IsDelim(')')) {
            Warn(log, msg::kCssIllegalParenthesis, argument.text.c_str());
            return false;
        }
        pseudo.value = argument.text;
    } else {
        Warn(log, msg::kCssIllegalTokenAfterColon, name.text.c_str());
        return false;
    }
    compound.modifiers.push_back(std::move(pseudo));
    return true;
}

bool ReadAttributeCondition(CCssTokenizer& tokens, CSimpleSelector& compound, CMessageLog* log)
{
    const CssToken name = tokens.NextNonBlank();
    if (name.kind != CssTokenKind::Ident) {
        Warn(log, msg::kCssIllegalTokenAfterBracket, name.text.c_str());
        return false;
    }
    CModifier condition;
    condition.kind = ModifierKind::Attrib;
    condition.name = name.text;
    const CssToken& op = tokens.PeekNonBlank();
    if (op.IsDelim('=') || op.kind == CssTokenKind::Includes || op.kind == CssTokenKind::DashMatch) {
        condition.op = op.kind == CssTokenKind::Includes    ? AttribOperator::Includes
                       : op.kind == CssTokenKind::DashMatch ? AttribOperator::DashMatch
                                                             : AttribOperator::Equals;
        const char opChar = op.text[0];
        tokens.Next();
        const CssToken value = tokens.NextNonBlank();
        if (value.kind == CssTokenKind::String) {
            condition.value = value.value;
            condition.quoted = true;
        } else if (value.kind == CssTokenKind::Ident || value.kind == CssTokenKind::Number) {
            condition.value = value.text;
        } else {
            Warn(log, msg::kCssIllegalTokenAfterChar, value.text.c_str(), opChar);
            return false;
        }
    }
    const CssToken close = tokens.NextNonBlank();
    if (!close.IsDelim(']')) {
        Warn(log, msg::kCssIllegalTokenAfterBracket, close.text.c_str());
        return false;
    }
    compound.modifiers.push_back(std::move(condition));
    return true;
}

bool ReadNamedCondition(CCssTokenizer& tokens, CSimpleSelector& compound, ModifierKind kind, char introducer,
                        CMessageLog* log)
{
    const CssToken name = tokens.Next();
    if (name.kind != CssTokenKind::Ident) {
        Warn(log, msg::kCssIllegalTokenAfterChar, name.text.c_str(), introducer);
        return false;
    }
    CModifier condition;
    condition.kind = kind;
    condition.name = name.text;
    compound.modifiers.push_back(std::move(condition));
    return true;
}

// An element name and its conditions, up to a blank, a combinator, a comma or
// the end. Specificity: 100 per id, 10 per class, attribute or pseudo-class
// condition, 1 for an element name.
bool ReadCompound(CCssTokenizer& tokens, CSimpleSelector& compound, CMessageLog* log)
{
    bool empty = true;
    const CssToken& first = tokens.Peek();
    if (first.kind == CssTokenKind::Ident || first.IsDelim('*')) {
        compound.element = tokens.Next().text;
        compound.specificity = compound.element == "*" ? 0 : 1;
        empty = false;
    }
    for (;;) {
        const CssToken& token = tokens.Peek();
        bool ok = true;
        if (token.IsDelim('.')) {
            tokens.Next();
            ok = ReadNamedCondition(tokens, compound, ModifierKind::Class, '.', log);
            compound.specificity += 10;
        } else if (token.IsDelim('#')) {
            tokens.Next();
            ok = ReadNamedCondition(tokens, compound, ModifierKind::Id, '#', log);
            compound.specificity += 100;
        } else if (token.IsDelim(':')) {
            tokens.Next();
            ok = ReadPseudo(tokens, compound, log);
            compound.specificity += 10;
        } else if (token.IsDelim('[')) {
            tokens.Next();
            ok = ReadAttributeCondition(tokens, compound, log);
            compound.specificity += 10;
        } else {
            break;
        }
        if (!ok)
            return false;
        empty = false;
    }
    // A compound that reads nothing, or runs into a token that is no part of
    // a selector, makes the whole selector invalid rather than matching more
    // than it says.
    if (empty || !EndsCompound(tokens.Peek())) {
        Warn(log, msg::kCssIllegalToken, tokens.Peek().text.c_str());
        return false;
    }
    return true;
}

bool ReadSelector(CCssTokenizer& tokens, CSelector& selector, CMessageLog* log)
{
    for (;;) {
        CSimpleSelector compound;
        if (!ReadCompound(tokens, compound, log))
            return false;
        selector.specificity += compound.specificity;
        selector.compounds.push_back(std::move(compound));
        const CssToken& next = tokens.PeekNonBlank();
        if (next.kind == CssTokenKind::End || next.IsDelim(','))
            return true;
        if (next.IsDelim('+') || next.IsDelim('>')) {
            selector.combinators += tokens.Next().text[0];
            tokens.SkipBlanks();
        } else {
            selector.combinators += ' ';
        }
    }
}

// --- Declarations ---------------------------------------------------------------------

enum class BlockState { Continue, Closed };

BlockState StateAfter(const CssToken& terminator)
{
    return terminator.IsDelim(';') ? BlockState::Continue : BlockState::Closed;
}

bool EndsDeclaration(const CssToken& token)
{
    return token.kind == CssTokenKind::End || token.IsDelim(';') || token.IsDelim('}');
}

// Skips the rest of a declaration, through its ";".
BlockState SkipDeclaration(CCssTokenizer& tokens)
{
    CssToken token = tokens.Next();
    while (!EndsDeclaration(token))
        token = tokens.Next();
    return StateAfter(token);
}

BlockState ReadDeclaration(CCssTokenizer& tokens, CDeclarations& declarations, CMessageLog* log)
{
    const CssToken name = tokens.Next();
    if (name.kind != CssTokenKind::Ident) {
        Warn(log, msg::kCssIllegalToken, name.text.c_str());
        return EndsDeclaration(name) ? StateAfter(name) : SkipDeclaration(tokens);
    }
    const CssToken colon = tokens.NextNonBlank();
    if (!colon.IsDelim(':')) {
        Warn(log, msg::kCssIllegalToken, colon.text.c_str());
        return EndsDeclaration(colon) ? StateAfter(colon) : SkipDeclaration(tokens);
    }

    CDeclaration declaration;
    std::optional<std::string> badToken;
    CssToken token = tokens.Next();
    for (; !EndsDeclaration(token) && !token.IsDelim('!'); token = tokens.Next()) {
        if (token.IsBlank()) {
            AppendSeparator(declaration.value);
        } else if (IsBadToken(token)) {
            if (!badToken)
                badToken = token.text;
        } else {
            declaration.value += token.text;
        }
    }
    if (token.IsDelim('!')) {
        const CssToken word = tokens.NextNonBlank();
        declaration.important = word.kind == CssTokenKind::Ident && word.text == "important";
        token = EndsDeclaration(word) ? word : tokens.Next();
        while (!EndsDeclaration(token))
            token = tokens.Next();
    }

    // A broken string or URL drops the declaration it is in (CSS 2.1 4.2).
    if (badToken) {
        Warn(log, msg::kCssIllegalToken, badToken->c_str());
        return StateAfter(token);
    }
    declaration.value = TrimCssSpace(declaration.value);
    // An empty value is no value: writing it would wipe the attribute.
    if (declaration.value.empty())
        return StateAfter(token);
    declaration.property = PropertyIndex(name.text);
    declaration.name = declaration.property >= 0 ? ToLowerAscii(name.text) : name.text;
    if (declaration.name == "marker") {
        for (std::string_view longhand : kMarkerLonghands) {
            declaration.name = longhand;
            declaration.property = PropertyIndex(longhand);
            declarations.push_back(declaration);
        }
    } else {
        declarations.push_back(std::move(declaration));
    }
    return StateAfter(token);
}

// Declarations up to the end of the text or the "}" that closes their block.
void ReadDeclarations(CCssTokenizer& tokens, CDeclarations& declarations, CMessageLog* log)
{
    for (;;) {
        const CssToken& next = tokens.PeekNonBlank();
        if (next.kind == CssTokenKind::End || next.IsDelim('}'))
            break;
        if (next.IsDelim(';')) {  // an empty declaration
            tokens.Next();
            continue;
        }
        if (ReadDeclaration(tokens, declarations, log) == BlockState::Closed)
            break;
    }
}

// --- @font-face -----------------------------------------------------------------------

using TokenList = std::vector<CssToken>;

// The text of a descriptor value or list item: strings without their quotes,
// blanks collapsed, trimmed.
std::string ItemText(const CssToken* first, const CssToken* last)
{
    std::string text;
    for (const CssToken* token = first; token != last; ++token) {
        if (token->IsBlank())
            AppendSeparator(text);
        else
            text += token->kind == CssTokenKind::String ? token->value : token->text;
    }
    return std::string(TrimCssSpace(text));
}

// The items of a comma-separated value, as token ranges.
std::vector<std::pair<const CssToken*, const CssToken*>> SplitItems(const TokenList& value)
{
    std::vector<std::pair<const CssToken*, const CssToken*>> items;
    const CssToken* start = value.data();
    const CssToken* end = value.data() + value.size();
    for (const CssToken* token = start; token != end; ++token) {
        if (token->IsDelim(',')) {
            items.emplace_back(start, token);
            start = token + 1;
        }
    }
    items.emplace_back(start, end);
    return items;
}

// The text inside a function's parentheses, from the token after `function`.
std::string FunctionArgument(const CssToken* function, const CssToken* last)
{
    const CssToken* close = function + 1;
    while (close != last && !close->IsDelim(')'))
        ++close;
    return ItemText(function + 1, close);
}

CCssFontFaceSrc ReadFontSource(const CssToken* first, const CssToken* last)
{
    while (first != last && first->IsBlank())
        ++first;
    CCssFontFaceSrc source;
    if (first != last && first->kind == CssTokenKind::Uri) {
        source.name = first->value;
        for (const CssToken* token = first + 1; token != last; ++token)
            if (token->kind == CssTokenKind::Function && EqualsIgnoringCase(token->text, "format(")) {
                source.format = FunctionArgument(token, last);
                break;
            }
        return source;
    }
    source.local = true;
    if (first != last && first->kind == CssTokenKind::Function && EqualsIgnoringCase(first->text, "local("))
        source.name = FunctionArgument(first, last);
    else
        source.name = ItemText(first, last);
    return source;
}

// Weight n sets bit n / 100 - 1; n is clamped to 100..900 so the shift stays defined.
std::uint32_t WeightBit(std::string_view number)
{
    unsigned weight = 0;
    for (const char c : number) {
        if (c < '0' || c > '9')
            break;
        weight = std::min(weight * 10 + static_cast<unsigned>(c - '0'), 1000u);
    }
    weight = std::clamp(weight, 100u, 900u);
    return 1u << (weight / 100 - 1);
}

std::uint32_t KeywordBits(const TokenList& value, std::string_view descriptor)
{
    std::uint32_t bits = 0;
    for (const auto& [first, last] : SplitItems(value)) {
        const std::string word = ItemText(first, last);
        if (descriptor == "font-weight") {
            if (word == "normal")
                bits |= 8;
            else if (word == "bold")
                bits |= 0x40;
            else if (!word.empty() && word[0] >= '0' && word[0] <= '9')
                bits |= WeightBit(word);
        } else if (descriptor == "font-style") {
            bits |= word == "normal" ? 1 : word == "italic" ? 2 : word == "oblique" ? 4 : 0;
        } else {
            bits |= word == "normal" ? 1 : word == "small-caps" ? 2 : 0;
        }
    }
    return bits;
}

// False for a descriptor the system does not know.
bool ApplyDescriptor(CCssFontFace& face, std::string_view name, const TokenList& value)
{
    const CssToken* first = value.data();
    const CssToken* last = value.data() + value.size();
    if (name == "font-family") {
        face.family = ItemText(first, last);
    } else if (name == "src") {
        for (const auto& [itemFirst, itemLast] : SplitItems(value))
            face.sources.push_back(ReadFontSource(itemFirst, itemLast));
    } else if (name == "font-variant") {
        face.variantBits = KeywordBits(value, name);
    } else if (name == "font-stretch") {
        face.stretch = ItemText(first, last);
    } else if (name == "font-weight") {
        face.weightMask = KeywordBits(value, name);
    } else if (name == "font-style") {
        face.styleBits = KeywordBits(value, name);
    } else if (name == "unicode-range") {
        face.unicodeRanges = ParseUnicodeRangeList(ItemText(first, last));
    } else if (name != "font-feature-settings") {
        return false;
    }
    return true;
}

// --- Statements -----------------------------------------------------------------------

struct Statement {
    std::string_view prelude;  // trimmed
    std::string_view block;    // from "{" through its "}"; empty when there is none
    int depth = 0;             // the deepest brace nesting
};

// Collects the next statement; false at the end of the text. A ";" outside
// braces ends a statement, and so does the "}" that closes its block.
bool NextStatement(CCssTokenizer& tokens, std::string_view text, Statement& statement)
{
    while (tokens.Peek().IsBlank() || tokens.Peek().kind == CssTokenKind::BadComment)
        tokens.Next();
    if (tokens.Peek().kind == CssTokenKind::End)
        return false;
    statement = Statement{};
    const std::size_t begin = tokens.Peek().begin;
    std::size_t preludeEnd = std::string_view::npos;
    std::size_t blockBegin = std::string_view::npos;
    std::size_t end = text.size();
    int depth = 0;
    for (CssToken token = tokens.Next(); token.kind != CssTokenKind::End; token = tokens.Next()) {
        if (depth == 0 && (token.IsDelim(';') || token.IsDelim('}'))) {
            // A stray "}" ends the statement like ";": the statement has no block.
            preludeEnd = token.begin;
            end = token.begin;
            break;
        }
        if (token.IsDelim('{')) {
            if (depth == 0)
                blockBegin = token.begin;
            statement.depth = std::max(statement.depth, ++depth);
        } else if (token.IsDelim('}') && --depth == 0) {
            end = token.end;
            break;
        }
    }
    if (blockBegin != std::string_view::npos) {
        preludeEnd = blockBegin;
        statement.block = text.substr(blockBegin, end - blockBegin);
    }
    preludeEnd = std::min(preludeEnd, end);
    statement.prelude = TrimCssSpace(text.substr(begin, preludeEnd - begin));
    return true;
}

class SheetParser {
public:
    SheetParser(const std::string& medium, CCssFontPool* fontPool, CImportState& imports, CRulesets& rulesets,
                CMessageLog& log, const CStopToken& stop)
        : medium_(medium), fontPool_(fontPool), imports_(imports), rulesets_(rulesets), log_(log), stop_(stop)
    {
    }

    // The sheet file at `path`: in the import chain while it is parsed.
    bool ParseFile(std::string_view text, const std::string& path, unsigned nesting)
    {
        imports_.chain.push_back(path);
        const bool finished = Parse(text, path, nesting);
        imports_.chain.pop_back();
        return finished;
    }

private:
    bool Parse(std::string_view text, const std::string& baseUrl, unsigned nesting)
    {
        CCssTokenizer tokens(text);
        Statement statement;
        while (NextStatement(tokens, text, statement)) {
            if (stop_.StopRequested())
                return false;
            Apply(statement, baseUrl, nesting);
        }
        return true;
    }

    void Apply(const Statement& statement, const std::string& baseUrl, unsigned nesting)
    {
        CCssTokenizer prelude(statement.prelude);
        if (!prelude.Peek().IsDelim('@')) {
            if (statement.depth == 1)
                ApplyRuleset(statement);
            return;
        }
        prelude.Next();
        const CssToken keyword = prelude.Next();
        if (keyword.kind != CssTokenKind::Ident)
            return;
        const std::string name = ToLowerAscii(keyword.text);
        if (name == "import" && statement.block.empty())
            ApplyImport(prelude, baseUrl, nesting);
        else if (name == "media" && !statement.block.empty())
            ApplyMedia(prelude, statement.block, baseUrl, nesting);
        else if (name == "page")
            log_.Report(msg::kCssPageNotSupported);
        else if (name == "font-face" && prelude.PeekNonBlank().kind == CssTokenKind::End && fontPool_ != nullptr)
            fontPool_->Add(ParseFontFace(statement.block, baseUrl, &log_));
        // Other at-rules (@charset, @namespace, ...) are ignored, as CSS requires.
    }

    void ApplyRuleset(const Statement& statement)
    {
        CSelectors selectors;
        const bool selectorsOk = ParseSelectorGroup(statement.prelude, selectors, &log_);
        std::shared_ptr<const CDeclarations> declarations = ParseDeclarationBlock(statement.block, &log_);
        if (!selectorsOk || declarations == nullptr)
            return;
        for (CSelector& selector : selectors)
            rulesets_.Add(std::move(selector), declarations);
    }

    void ApplyImport(CCssTokenizer& prelude, const std::string& baseUrl, unsigned nesting)
    {
        const CssToken target = prelude.NextNonBlank();
        if (target.kind != CssTokenKind::Uri && target.kind != CssTokenKind::String)
            return;
        const CMediaList media = ReadMediaList(prelude);
        if (!media.empty() && !MediaListMatches(media, medium_))
            return;
        const std::string path = ResolveSheetUrl(target.value, baseUrl);
        if (path.empty() || !MayNest(nesting) || imports_.importedSheets >= kMaxImportedSheets)
            return;
        if (std::find(imports_.chain.begin(), imports_.chain.end(), path) != imports_.chain.end())
            return;  // a cycle: the sheet is being parsed already
        if (imports_.load == nullptr)
            return;
        ++imports_.importedSheets;
        if (const std::optional<std::string> text = loadSheetFile(*imports_.load, path, target.value, "utf-8"))
            ParseFile(*text, path, nesting + 1);
    }

    void ApplyMedia(CCssTokenizer& prelude, std::string_view block, const std::string& baseUrl, unsigned nesting)
    {
        const CMediaList media = ReadMediaList(prelude);
        if (media.empty() || !MediaListMatches(media, medium_) || !MayNest(nesting))
            return;
        std::string_view inner = block.substr(1);
        if (!inner.empty() && inner.back() == '}')
            inner.remove_suffix(1);
        Parse(inner, baseUrl, nesting + 1);
    }

    // @import and @media nest parses; their depth is bounded so neither a
    // chain of files nor nested @media blocks can exhaust the stack.
    static bool MayNest(unsigned nesting) { return nesting + 1 < limits::kMaxStyleSheetNesting; }

    const std::string& medium_;
    CCssFontPool* fontPool_;
    CImportState& imports_;
    CRulesets& rulesets_;
    CMessageLog& log_;
    const CStopToken& stop_;
};

}  // namespace

// --- Rule model -----------------------------------------------------------------------

void CRulesets::Add(CSelector selector, std::shared_ptr<const CDeclarations> declarations)
{
    rulesets_.push_back(CRuleset{std::move(selector), std::move(declarations), nextSequence_++});
}

void CRulesets::SortBySpecificity()
{
    std::stable_sort(rulesets_.begin(), rulesets_.end(), [](const CRuleset& a, const CRuleset& b) {
        return a.selector.specificity < b.selector.specificity;
    });
}

int PropertyIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kProperties.size(); ++i)
        if (EqualsIgnoringCase(name, kProperties[i]))
            return static_cast<int>(i);
    return -1;
}

std::string_view PropertyName(int index) { return kProperties.at(static_cast<std::size_t>(index)); }

// --- Parsing --------------------------------------------------------------------------

bool parseSheet(std::string_view text, const std::string& baseUrl, const std::string& medium,
                CCssFontPool* fontPool, CImportState& imports, CRulesets& rulesets, CMessageLog& log,
                const CStopToken& stop)
{
    SheetParser parser(medium, fontPool, imports, rulesets, log, stop);
    const bool finished = parser.ParseFile(text, baseUrl, 0);
    rulesets.SortBySpecificity();
    return finished;
}

std::optional<std::string> loadSheetFile(CLoadContext& load, const std::string& path, std::string_view reference,
                                         const std::string& defaultEncoding)
{
    std::string bytes;
    const ReadStatus status = ReadResourceFile(load, path, ResourceKind::StyleSheet, bytes);
    if (status != ReadStatus::Ok) {
        ReportUnreadResource(load.Log(), status, ResourceKind::StyleSheet, reference, nullptr);
        return std::nullopt;
    }
    return DecodeText(bytes, defaultEncoding.empty() ? "utf-8" : defaultEncoding);
}

bool ParseSelectorGroup(std::string_view text, CSelectors& selectors, CMessageLog* log)
{
    CCssTokenizer tokens(text, CCssTokenizer::Comments::Skip);
    tokens.SkipBlanks();
    for (;;) {
        CSelector selector;
        if (!ReadSelector(tokens, selector, log))
            return false;
        selectors.push_back(std::move(selector));
        if (tokens.Next().kind == CssTokenKind::End)
            return true;
        tokens.SkipBlanks();  // after the ","
    }
}

std::shared_ptr<CDeclarations> ParseDeclarationBlock(std::string_view text, CMessageLog* log)
{
    CCssTokenizer tokens(text);
    if (!tokens.NextNonBlank().IsDelim('{'))
        return nullptr;
    auto declarations = std::make_shared<CDeclarations>();
    ReadDeclarations(tokens, *declarations, log);
    if (declarations->empty())
        return nullptr;
    return declarations;
}

CDeclarations ParseDeclarationList(std::string_view text, CMessageLog* log)
{
    CCssTokenizer tokens(text);
    CDeclarations declarations;
    ReadDeclarations(tokens, declarations, log);
    return declarations;
}

CMediaList ParseMediaList(std::string_view text)
{
    CCssTokenizer tokens(text);
    return ReadMediaList(tokens);
}

bool MediaListMatches(const CMediaList& media, std::string_view medium)
{
    if (medium.empty())
        return true;
    return std::any_of(media.begin(), media.end(), [medium](const std::string& name) {
        return EqualsIgnoringCase(name, "all") || EqualsIgnoringCase(name, medium);
    });
}

CCssFontFace ParseFontFace(std::string_view block, const std::string& sheetPath, CMessageLog* log)
{
    CCssFontFace face;
    face.sheetPath = sheetPath;
    CCssTokenizer tokens(block);
    if (!tokens.NextNonBlank().IsDelim('{'))
        return face;
    for (;;) {
        const CssToken name = tokens.NextNonBlank();
        if (name.kind == CssTokenKind::End || name.IsDelim('}'))
            break;
        if (name.kind != CssTokenKind::Ident || !tokens.PeekNonBlank().IsDelim(':')) {
            if (EndsDeclaration(name) ? StateAfter(name) == BlockState::Closed
                                      : SkipDeclaration(tokens) == BlockState::Closed)
                break;
            continue;
        }
        tokens.Next();  // the ":"
        TokenList value;
        CssToken token = tokens.NextNonBlank();
        for (; !EndsDeclaration(token); token = tokens.Next())
            value.push_back(std::move(token));
        if (!ApplyDescriptor(face, name.text, value)) {
            Warn(log, msg::kCssUnsupportedFontFaceAttribute, name.text.c_str());
            break;
        }
        if (StateAfter(token) == BlockState::Closed)
            break;
    }
    return face;
}

}  // namespace svg::css
