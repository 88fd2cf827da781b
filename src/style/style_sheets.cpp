#include "style/style_sheets.h"

#include <algorithm>
#include <initializer_list>

#include "base/limits.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "model/references.h"
#include "model/resource_file.h"
#include "model/text_decoder.h"
#include "values/scan.h"

namespace svg::css {
namespace {

// --- Style sheets ---------------------------------------------------------------

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool MediaApplies(std::string_view recordMedia, std::string_view media)
{
    if (media.empty())
        return true;
    // A media list: the sheet applies when one of its entries is "all" or the
    // chosen medium.
    std::size_t start = 0;
    while (start <= recordMedia.size()) {
        std::size_t end = recordMedia.find(',', start);
        if (end == std::string_view::npos)
            end = recordMedia.size();
        const std::string_view entry = TrimSpace(recordMedia.substr(start, end - start));
        if (EqualsIgnoringCase(entry, "all") || EqualsIgnoringCase(entry, media))
            return true;
        start = end + 1;
    }
    return false;
}

bool IsCssType(std::string_view type) { return type.empty() || type == "text/css"; }
bool IsXsltType(std::string_view type) { return type == "text/xsl" || type == "application/xml"; }

// Local path of a style-sheet address; empty for addresses that would need
// the network.
std::string LocalPath(const std::string& href, const std::string& documentPath)
{
    std::string address = href;
    if (address.compare(0, 7, "file://") == 0)
        address.erase(0, 7);
    else if (address.find("://") != std::string::npos || address.compare(0, 5, "data:") == 0)
        return {};
    return MakeFullPath(address, DirectoryOf(documentPath));
}

void Transform(XmlDocPtr& document, XmlDocPtr styleDoc, const StyleSheetRecord& record, CssLoadContext& sheets,
               CLoadContext& context)
{
    if (!styleDoc)
        return;
    if (XmlDocPtr transformed =
            TransformXml(document.get(), std::move(styleDoc), context, record.line, record.column)) {
        document = std::move(transformed);
        sheets.DocumentReplaced();
    }
}

void ApplyLinkedSheet(XmlDocPtr& document, const StyleSheetRecord& record, const std::string& fullPath,
                      CssLoadContext& sheets, CLoadContext& context)
{
    context.Log().Report(msg::kApplyingStyleSheet, record.href.c_str());
    const std::string path = LocalPath(record.href, fullPath);
    if (path.empty())
        return;
    const ResourceKind kind = IsXsltType(record.type) ? ResourceKind::Xslt : ResourceKind::StyleSheet;
    std::string bytes;
    const ReadStatus status = ReadResourceFile(context, path, kind, bytes);
    if (status != ReadStatus::Ok) {
        // A sheet that is simply missing is skipped without a word.
        ReportUnreadResource(context.Log(), status, kind, record.href, record.line, record.column);
        return;
    }
    if (IsCssType(record.type)) {
        if (std::optional<std::string> css = DecodeText(bytes, record.charset.empty() ? "utf-8" : record.charset))
            ApplyCssStyleSheet(document.get(), *css, path, context.Options().media, sheets, context);
    } else if (IsXsltType(record.type)) {
        Transform(document, ParseXmlSheet(bytes, path, context.Log()), record, sheets, context);
    }
}

void ApplyEmbeddedSheet(XmlDocPtr& document, const StyleSheetRecord& record, const std::string& fullPath,
                        CssLoadContext& sheets, CLoadContext& context)
{
    if (IsCssType(record.type))
        ApplyCssStyleSheet(document.get(), UnescapeXml(record.content), fullPath, context.Options().media, sheets,
                           context);
    else if (IsXsltType(record.type))
        Transform(document, ParseXmlText(record.content, fullPath, context.Log()), record, sheets, context);
}

// --- The font shorthand ------------------------------------------------------------

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

bool StoreSystemFont(std::string_view keyword, const DesktopStyle& desktop, CAttributeMap& attributes)
{
    const SystemFont* font = desktop.FindSystemFont(keyword);
    if (font == nullptr)
        return false;
    StoreFont(attributes, font->italic ? "italic" : "normal", font->bold ? "bold" : "normal", "normal",
              std::to_string(font->sizePx), font->family);
    return true;
}

}  // namespace

void ApplyCssStyleSheet(xmlDoc* document, std::string_view cssText, const std::string& sheetPath,
                        const std::string& media, CssLoadContext& sheets, CLoadContext& context)
{
    CRulesets rulesets;
    sheets.imports.load = &context;
    if (parseSheet(cssText, sheetPath, media, sheets.fontFaces.get(), sheets.imports, rulesets, context.Log(),
                   context.Stop()))
        applySheet(rulesets, document, sheets.importantProperties, context.Stop());
}

XmlDocPtr ReadStyledXml(std::string_view bytes, const std::string& fullPath, CssLoadContext& sheets,
                        CLoadContext& context, CXmlElementStream* stream, bool* streamed)
{
    // A document read without a main one before it is the main one: its
    // folder is where its style sheets may come from.
    context.SetMainDocumentPath(fullPath);
    context.Log().Report(msg::kDebugPreprocessingXml);
    XmlReadResult read = PreprocessXml(bytes, fullPath, context.Log(), context.Stop(), stream);
    if (streamed != nullptr)
        *streamed = read.streamed;
    if (!read.document)
        return nullptr;
    context.Log().Report(msg::kDebugApplyingStylesheet);
    for (const StyleSheetRecord& record : read.styleSheets) {
        if (context.StopRequested())
            break;
        if (!MediaApplies(record.media, context.Options().media))
            continue;
        if (!record.href.empty())
            ApplyLinkedSheet(read.document, record, fullPath, sheets, context);
        if (!record.content.empty())
            ApplyEmbeddedSheet(read.document, record, fullPath, sheets, context);
    }
    return std::move(read.document);
}

void CStyleDeclarationReader::ReadStyle(std::string_view style, CAttributeMap& attributes) const
{
    for (const CDeclaration& declaration : ParseDeclarationList(style, nullptr)) {
        if (declaration.property < 0)
            continue;
        // Nothing reads a `font` property: the shorthand only stands for its parts.
        if (declaration.name == "font")
            ParseFontShorthand(declaration.value, desktop_, attributes);
        else
            attributes.Set(declaration.name, declaration.value);
    }
}

void CStyleDeclarationReader::ReadFont(std::string_view font, CAttributeMap& attributes) const
{
    ParseFontShorthand(font, desktop_, attributes);
}

bool ParseFontShorthand(std::string_view value, const DesktopStyle& desktop, CAttributeMap& attributes)
{
    std::string_view rest = TrimCssSpace(value);
    if (StoreSystemFont(rest, desktop, attributes))
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

}  // namespace svg::css
