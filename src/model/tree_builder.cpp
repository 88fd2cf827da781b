#include "model/tree_builder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>

#include "model/limits.h"
#include "model/loader.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "model/xml_reader.h"
#include "style/css_parser.h"
#include "values/scan.h"

namespace svg {
namespace {

const char* ToChars(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

bool IsOnlyXmlSpace(std::string_view text) { return std::all_of(text.begin(), text.end(), IsSpace); }

// --- Building nodes ------------------------------------------------------------

void BuildNodes(CElem& parent, const xmlNode* first, unsigned depth);

void AppendNode(CElem& parent, std::unique_ptr<CElem> node)
{
    parent.AppendChild(node.release());
    ++LoadProgress::Instance().nodesAdded;
}

void BuildElement(CElem& parent, const xmlNode* node, unsigned depth)
{
    std::unique_ptr<CElem> elem = CreateElement(Xmlpp::QualifiedName(node), &parent);
    ReadAttributes(*elem, node);
    BuildChildren(*elem, node, depth + 1);
    AppendNode(parent, std::move(elem));
}

void BuildString(CElem& parent, std::string_view value)
{
    // Inside `text` white space is significant and handled by text layout.
    const bool inText = parent.HasAncestorOrSelfNamed(ElementId::text);
    std::string text = inText ? std::string(value) : NormalizeStringText(value);
    if (text.empty() || (!inText && IsOnlyXmlSpace(text)))
        return;
    AppendNode(parent, std::make_unique<CElemString>(&parent, std::move(text)));
}

// The content of an entity is built straight into the element that refers to
// it. libxml2 hangs the declaration under the reference node.
void BuildEntityContent(CElem& parent, const xmlNode* reference, unsigned depth)
{
    const xmlNode* declaration = reference->children;
    if (declaration == nullptr || declaration->type != XML_ENTITY_DECL)
        return;
    // Entities may refer to entities; counting each level as one more
    // element level bounds that recursion too.
    if (depth >= limits::kMaxElementDepth) {
        ReportMessage("E %s too deeply nested at %d(%d)", parent.Name().c_str(), parent.line,
                      parent.column);
        return;
    }
    BuildNodes(parent, declaration->children, depth + 1);
}

void BuildNodes(CElem& parent, const xmlNode* first, unsigned depth)
{
    for (const xmlNode* node = first; node != nullptr; node = node->next) {
        if (StopRequested())
            return;
        ++LoadProgress::Instance().nodesVisited;
        switch (node->type) {
        case XML_ELEMENT_NODE: BuildElement(parent, node, depth); break;
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE: BuildString(parent, ToChars(node->content)); break;
        case XML_ENTITY_REF_NODE: BuildEntityContent(parent, node, depth); break;
        case XML_COMMENT_NODE:
            AppendNode(parent, std::make_unique<CElemComment>(&parent, ToChars(node->content)));
            break;
        default: break;
        }
    }
}

// --- Attributes ------------------------------------------------------------------

std::string AttributeValue(const xmlAttr* attribute)
{
    xmlChar* content = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute));
    std::string value = ToChars(content);
    xmlFree(content);
    return value;
}

const xmlAttr* FindAttribute(const xmlNode* node, std::string_view qualifiedName)
{
    for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next)
        if (Xmlpp::QualifiedName(attribute) == qualifiedName)
            return attribute;
    return nullptr;
}

void ReplaceQuotEntities(std::string& value)
{
    constexpr std::string_view kQuot = "&quot;";
    for (std::size_t at = value.find(kQuot); at != std::string::npos; at = value.find(kQuot, at + 1))
        value.replace(at, kQuot.size(), "\"");
}

int ParseDecimal(std::string_view text)
{
    int number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

// "line,column" as written by the XML reader.
void ReadLocation(CElem& elem, std::string_view value)
{
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos)
        return;
    elem.line = ParseDecimal(value.substr(0, comma));
    elem.column = ParseDecimal(value.substr(comma + 1));
}

// --- style attribute -------------------------------------------------------------

std::string StripComments(std::string_view text)
{
    std::string result;
    while (!text.empty()) {
        const std::size_t open = text.find("/*");
        result += text.substr(0, open);
        if (open == std::string_view::npos)
            break;
        const std::size_t close = text.find("*/", open + 2);
        if (close == std::string_view::npos)
            break;  // an unterminated comment runs to the end
        text.remove_prefix(close + 2);
    }
    return result;
}

// Position of the first `separator` at or after `from` that is not inside
// quotes, or npos. An unterminated quote runs to the end.
std::size_t FindUnquoted(std::string_view text, char separator, std::size_t from = 0)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == separator)
            return i;
        if (text[i] == '"' || text[i] == '\'') {
            i = text.find(text[i], i + 1);
            if (i == std::string_view::npos)
                return i;
        }
    }
    return std::string_view::npos;
}

std::string ToLowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

void StoreDeclaration(std::string_view declaration, CAttributeMap& attributes)
{
    // Split at the first colon only: values such as url(http://...) hold more.
    const std::size_t colon = FindUnquoted(declaration, ':');
    if (colon == std::string_view::npos)
        return;
    const std::string name = ToLowerAscii(TrimCssSpace(declaration.substr(0, colon)));
    const std::string_view value = TrimCssSpace(declaration.substr(colon + 1));
    // As in style sheets, only properties can be set: `style="x: 5"` must not
    // move a shape.
    if (Xmlpp::PropertyIndex(name) < 0)
        return;
    // Nothing reads a `font` or `marker` property: a shorthand only ever
    // stands for its parts.
    if (name == "font") {
        ParseFontAttribute(value, attributes);
    } else if (name == "marker") {
        for (std::string_view longhand : Xmlpp::kMarkerLonghands)
            attributes.Set(std::string(longhand), std::string(value));
    } else {
        attributes.Set(name, std::string(value));
    }
}

// --- font shorthand --------------------------------------------------------------

struct SystemFont {
    std::string_view keyword;
    std::string family;
    int sizePx;
    bool bold;
    bool italic;
};

std::array<SystemFont, 6>& SystemFonts()
{
    static std::array<SystemFont, 6> fonts{{
        {"caption", "sans-serif", 12, false, false},
        {"icon", "sans-serif", 12, false, false},
        {"menu", "sans-serif", 12, false, false},
        {"message-box", "sans-serif", 12, false, false},
        {"small-caption", "sans-serif", 11, false, false},
        {"status-bar", "sans-serif", 11, false, false},
    }};
    return fonts;
}

SystemFont* FindSystemFont(std::string_view keyword)
{
    for (SystemFont& font : SystemFonts())
        if (font.keyword == keyword)
            return &font;
    return nullptr;
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), word) != list.end();
}

bool IsFontStyle(std::string_view word) { return IsOneOf(word, {"normal", "italic", "oblique", "inherit"}); }

bool IsFontWeight(std::string_view word)
{
    return IsOneOf(word, {"normal", "bold", "bolder", "lighter", "100", "200", "300", "400", "500", "600",
                          "700", "800", "900", "inherit"});
}

bool IsFontVariant(std::string_view word) { return IsOneOf(word, {"normal", "small-caps", "inherit"}); }

bool IsFontSize(std::string_view word)
{
    if (word.empty())
        return false;
    const char first = word.front();
    if ((first >= '0' && first <= '9') || first == '.')
        return true;
    return IsOneOf(word, {"xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large",
                          "larger", "smaller"});
}

// The keywords that may precede the size, tried as style, weight, variant.
struct FontKeywords {
    std::string style = "normal";
    std::string weight = "normal";
    std::string variant = "normal";

    // False when `word` is no keyword, which ends the keywords.
    bool Apply(std::string_view word)
    {
        if (word == "normal")
            return true;  // leaves all three at their defaults
        if (IsFontStyle(word))
            style = word;
        else if (IsFontWeight(word))
            weight = word;
        else if (IsFontVariant(word))
            variant = word;
        else
            return false;
        return true;
    }
};

// Splits off the next blank-separated word of `text`.
std::string_view NextWord(std::string_view& text)
{
    text = TrimCssSpace(text);
    std::size_t end = 0;
    while (end < text.size() && !IsCssSpace(text[end]))
        ++end;
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

// Drops a "/line-height" that follows the size, written with or without
// blanks around the slash.
void SkipLineHeight(std::string_view& rest, bool sizeEndedWithSlash)
{
    rest = TrimCssSpace(rest);
    if (sizeEndedWithSlash) {
        NextWord(rest);
        return;
    }
    if (rest.empty() || rest.front() != '/')
        return;
    if (NextWord(rest) == "/")
        NextWord(rest);
}

void StoreFont(CAttributeMap& attributes, std::string style, std::string weight, std::string variant,
               std::string size, std::string family)
{
    attributes.Set("font-style", std::move(style));
    attributes.Set("font-weight", std::move(weight));
    attributes.Set("font-variant", std::move(variant));
    attributes.Set("font-size", std::move(size));
    attributes.Set("font-family", std::move(family));
}

bool StoreSystemFont(std::string_view keyword, CAttributeMap& attributes)
{
    const SystemFont* font = FindSystemFont(keyword);
    if (font == nullptr)
        return false;
    StoreFont(attributes, font->italic ? "italic" : "normal", font->bold ? "bold" : "normal", "normal",
              std::to_string(font->sizePx), font->family);
    return true;
}

}  // namespace

// --- Public interface -------------------------------------------------------------

void BuildChildren(CElem& elem, const xmlNode* node, unsigned depth)
{
    if (node->children == nullptr)
        return;
    // libxml2 refuses deeper documents, but an XSLT result is not bounded by it.
    if (depth >= limits::kMaxElementDepth) {
        ReportMessage("E %s too deeply nested at %d(%d)", elem.Name().c_str(), elem.line, elem.column);
        return;
    }
    BuildNodes(elem, node->children, depth);
}

void ReadAttributes(CElem& elem, const xmlNode* node)
{
    std::size_t count = 0;
    for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next)
        ++count;
    elem.attributes.Reserve(count);
    for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
        const std::string name = Xmlpp::QualifiedName(attribute);
        if (name == "style" || name == "font")
            continue;
        std::string value = AttributeValue(attribute);
        ReplaceQuotEntities(value);
        if (name == "VexoLoc")
            ReadLocation(elem, value);
        elem.attributes.Set(name, std::move(value));
    }
    // `font` before `style`: a style declaration beats any attribute, whatever
    // order the two were written in.
    if (const xmlAttr* font = FindAttribute(node, "font"))
        ParseFontAttribute(AttributeValue(font), elem.attributes);
    if (const xmlAttr* style = FindAttribute(node, "style"))
        ParseStyleAttribute(AttributeValue(style), elem.attributes);
    if (const std::string* id = elem.attributes.Value("id"))
        elem.id = *id;
    else if (const std::string* xmlId = elem.attributes.Value("xml:id"))
        elem.id = *xmlId;
}

void ParseStyleAttribute(std::string_view style, CAttributeMap& attributes)
{
    const std::string text = StripComments(style);
    const std::string_view view = text;
    std::size_t start = 0;
    while (start <= view.size()) {
        std::size_t end = FindUnquoted(view, ';', start);
        if (end == std::string_view::npos)
            end = view.size();
        StoreDeclaration(view.substr(start, end - start), attributes);
        start = end + 1;
    }
}

bool ParseFontAttribute(std::string_view value, CAttributeMap& attributes)
{
    std::string_view rest = TrimCssSpace(value);
    if (StoreSystemFont(rest, attributes))
        return true;

    // CSS order: style, variant and weight keywords in any order, then the
    // size with an optional line height, then the family list, which may hold
    // blanks, commas and quotes.
    FontKeywords keywords;
    std::string_view word = NextWord(rest);
    while (keywords.Apply(word))
        word = NextWord(rest);
    if (!IsFontSize(word))
        return false;
    const std::size_t slash = word.find('/');
    const std::string_view size = word.substr(0, slash);
    SkipLineHeight(rest, slash != std::string_view::npos && slash + 1 == word.size());
    const std::string_view family = TrimCssSpace(rest);
    if (size.empty() || family.empty())
        return false;
    StoreFont(attributes, keywords.style, keywords.weight, keywords.variant, std::string(size),
              std::string(family));
    return true;
}

std::string NormalizeStringText(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    bool inRun = false;
    for (const char c : text) {
        if (c == '\n')
            continue;
        if (c == ' ' || c == '\t') {
            inRun = true;
            continue;
        }
        if (inRun && !result.empty())
            result += ' ';
        inRun = false;
        result += c;
    }
    return result;
}

bool SetSystemFont(std::string_view keyword, std::string family, int sizePx, bool bold, bool italic)
{
    SystemFont* font = FindSystemFont(keyword);
    if (font == nullptr)
        return false;
    font->family = std::move(family);
    font->sizePx = sizePx;
    font->bold = bold;
    font->italic = italic;
    return true;
}

}  // namespace svg
