// Installing the fonts a document declares. Every source of a declaration
// is installed, in order (the earlier one wins between faces of equal style
// and weight). Font files are read into memory through the load's confined
// reader, like every file a document names, and never installed on the
// system; data: URLs are decoded in memory. Files are named relative to the
// document (or to the style sheet of an @font-face rule).
#include "render/text_fonts.h"

#include <vector>

#include "model/document.h"
#include "model/messages.h"
#include "model/references.h"
#include "model/resource_file.h"
#include "render/data_url.h"
#include "render/prepare.h"
#include "style/css_font_face.h"
#include "text/font_context.h"
#include "values/number.h"
#include "values/scan.h"

namespace svg {
namespace {

// What a source names and where a message about it goes (an element, or
// none for a style-sheet rule).
struct SourceContext {
    CElemDocument& document;
    CPreparer& preparer;
    const CElem* reporter = nullptr;
    std::string baseDirectory;  // resolves relative URLs
};

template <typename... Args>
void Report(const SourceContext& source, const char* format, Args... args)
{
    if (source.reporter != nullptr)
        source.preparer.Log().Report(*source.reporter, format, args...);
    else
        source.preparer.Log().Report(format, args...);
}

// The font format a data: URL's media type names ("font/woff2",
// "application/x-font-ttf"); empty when it names none (FreeType then reads
// the bytes for what they are).
std::string FormatOfMediaType(std::string_view mediaType)
{
    for (std::string_view format : {"woff2", "woff", "truetype", "ttf", "opentype", "otf", "sfnt", "collection"}) {
        if (mediaType.find(format) != std::string_view::npos) {
            if (format == "ttf" || format == "sfnt")
                return "truetype";
            if (format == "otf")
                return "opentype";
            return std::string(format);
        }
    }
    return {};
}

// data:[<media type>][;base64],<data> decoded; false when it cannot be.
bool DecodeFontDataUrl(std::string_view url, std::vector<std::uint8_t>& bytes, std::string& mediaType)
{
    const std::size_t comma = url.find(',');
    if (comma == std::string_view::npos)
        return false;
    const std::string_view header = url.substr(5, comma - 5);
    const bool base64 = header.size() >= 7 && EqualsIgnoringCase(header.substr(header.size() - 7), ";base64");
    mediaType = std::string(header.substr(0, header.find(';')));
    std::string decoded;
    const std::string_view data = url.substr(comma + 1);
    if (!(base64 ? DecodeBase64(data, decoded) : DecodePercent(data, decoded)))
        return false;
    bytes.assign(decoded.begin(), decoded.end());
    return true;
}

// An SVG font named by URI ("fonts.svg#F", "#F"): its face under the declared names.
void InstallSvgFontUri(const SourceContext& source, const FontDeclaration& declaration, const std::string& uri)
{
    const CElem& from = source.reporter != nullptr ? *source.reporter : source.document;
    CElem* target = source.preparer.FindReference(from, uri);
    if (target == nullptr) {
        Report(source, msg::kFontUriNotFound, uri.c_str());
        return;
    }
    CFontContext& fonts = source.preparer.Fonts();
    const std::shared_ptr<CFontFaceSvg> face =
        target->Id() == ElementId::font ? fonts.SvgFont(*target, source.preparer.Context()) : nullptr;
    if (!face) {
        Report(source, msg::kFontUriNotFont, uri.c_str());
        return;
    }
    auto declared = std::make_shared<CFontFaceSvg>(*face);
    declared->family = declaration.family;
    if (declaration.styleBits != 0)
        declared->style = declaration.styleBits;
    if (declaration.weightMask != 0)
        declared->weightMask = declaration.weightMask;
    if (!declaration.unicodeRanges.empty())
        declared->unicodeRanges = declaration.unicodeRanges;
    fonts.Pool().AddFace(std::move(declared));
}

void InstallUri(const SourceContext& source, const FontDeclaration& declaration, const std::string& uri,
                const std::string& format)
{
    CFontPool& pool = source.preparer.Fonts().Pool();
    FontInstallStatus status = FontInstallStatus::NotFound;
    if (IsDataUrl(uri)) {
        std::vector<std::uint8_t> bytes;
        std::string mediaType;
        if (DecodeFontDataUrl(uri, bytes, mediaType)) {
            const std::string shownFormat = format.empty() ? FormatOfMediaType(mediaType) : format;
            status = EqualsIgnoringCase(mediaType, "image/svg+xml") && format.empty()
                         ? FontInstallStatus::SvgFont
                         : pool.InstallFontData(declaration, {}, std::move(bytes), shownFormat);
        }
    } else if (!uri.empty() && uri.front() == '#') {
        status = FontInstallStatus::SvgFont;
    } else {
        std::string_view path = uri;
        if (EqualsIgnoringCase(path.substr(0, 7), "file://"))
            path.remove_prefix(7);
        // A file refused for its place, kind or size says so in its own words.
        bool refusalReported = false;
        const auto read = [&](const std::string& fullPath, std::vector<std::uint8_t>& bytes) {
            std::string text;
            const ReadStatus readStatus =
                ReadResourceFile(source.preparer.Context(), fullPath, ResourceKind::Font, text);
            if (readStatus != ReadStatus::Ok) {
                CMessageLog& log = source.preparer.Log();
                refusalReported =
                    readStatus == ReadStatus::Stopped ||
                    (source.reporter != nullptr
                         ? ReportUnreadResource(log, readStatus, ResourceKind::Font, uri, source.reporter)
                         : ReportUnreadResource(log, readStatus, ResourceKind::Font, uri, 0, 0));
                return false;
            }
            bytes.assign(text.begin(), text.end());
            return true;
        };
        status = pool.InstallFontFile(declaration, MakeFullPath(path, source.baseDirectory), format, read);
        if (refusalReported)
            return;
    }
    switch (status) {
    case FontInstallStatus::Installed: break;
    case FontInstallStatus::SvgFont: InstallSvgFontUri(source, declaration, uri); break;
    case FontInstallStatus::UnsupportedFormat: Report(source, msg::kFontFormatUnsupported, format.c_str()); break;
    case FontInstallStatus::InstallFailed:
    case FontInstallStatus::NotFound:
    case FontInstallStatus::TooLarge:
    case FontInstallStatus::NotAFont:
    case FontInstallStatus::Corrupt:
    case FontInstallStatus::PoolFull: Report(source, msg::kFontUriUnusable, ShownReference(uri).c_str()); break;
    }
}

void InstallLocal(const SourceContext& source, const FontDeclaration& declaration, const std::string& name)
{
    if (source.preparer.Fonts().Pool().InstallLocalFont(declaration, name) != FontInstallStatus::Installed)
        Report(source, msg::kFontInstallFailed, declaration.family.c_str());
}

// --- @font-face rules -----------------------------------------------------------------

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void InstallRules(CElemDocument& document, CPreparer& preparer)
{
    if (!document.fontFaces)
        return;
    for (css::CCssFontFace& rule : document.fontFaces->Faces()) {
        if (rule.installed || preparer.Context().StopRequested())
            continue;
        rule.installed = true;
        FontDeclaration declaration;
        declaration.family = rule.family;
        declaration.styleBits = static_cast<std::uint16_t>(rule.styleBits);
        declaration.weightMask = static_cast<std::uint16_t>(rule.weightMask);
        declaration.unicodeRanges = rule.unicodeRanges;
        const SourceContext source{document, preparer, nullptr,
                                   DirectoryOf(rule.sheetPath.empty() ? document.Path() : rule.sheetPath)};
        for (const css::CCssFontFaceSrc& src : rule.sources) {
            if (src.local)
                InstallLocal(source, declaration, src.name);
            else
                InstallUri(source, declaration, src.name, src.format);
        }
    }
}

// --- font-face elements ---------------------------------------------------------------

std::uint16_t StyleBitsOf(const CElem& fontFace)
{
    const std::string* value = fontFace.GetAttribute(AttributeId::font_style, false);
    std::uint16_t bits = 0;
    if (value == nullptr)
        return bits;
    std::string_view rest = *value;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = TrimSpace(rest.substr(0, comma));
        bits |= item == "italic" ? FontStyleBits::kItalic : item == "oblique" ? FontStyleBits::kOblique
                                                                              : FontStyleBits::kNormal;
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return bits;
}

// font-weight of a font-face: "all" (or none) is every weight.
std::uint16_t WeightMaskOf(const CElem& fontFace)
{
    const std::string* value = fontFace.GetAttribute(AttributeId::font_weight, false);
    std::uint16_t mask = 0;
    if (value == nullptr || TrimSpace(*value) == "all")
        return mask;
    std::string_view rest = *value;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = TrimSpace(rest.substr(0, comma));
        if (item == "normal")
            mask |= WeightBit(400);
        else if (item == "bold")
            mask |= WeightBit(700);
        else if (const std::optional<Number> number = ParseLength(item))
            mask |= WeightBit(static_cast<int>(number->value));
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return mask;
}

void InstallFontFaceElement(const CElem& fontFace, CElemDocument& document, CPreparer& preparer)
{
    CMessageLog& log = preparer.Log();
    const char* name = fontFace.Name().c_str();
    const std::string* family = fontFace.GetAttribute(AttributeId::font_family, false);
    if (family == nullptr) {
        log.Report(fontFace, msg::kFontFaceNoFamily, name);
        return;
    }
    FontDeclaration declaration;
    declaration.family = std::string(TrimSpace(*family));
    declaration.styleBits = StyleBitsOf(fontFace);
    declaration.weightMask = WeightMaskOf(fontFace);
    bool anySource = false;
    for (const CElem* src : fontFace.Children()) {
        if (src->Id() != ElementId::font_face_src)
            continue;
        anySource = true;
        for (const CElem* item : src->Children()) {
            const SourceContext source{document, preparer, item, item->BaseDirectory()};
            if (item->Id() == ElementId::font_face_name) {
                if (const std::string* local = item->GetAttribute(AttributeId::name, false))
                    InstallLocal(source, declaration, std::string(TrimSpace(*local)));
            } else if (item->Id() == ElementId::font_face_uri) {
                const std::string* href = item->GetAttribute(AttributeId::xlink_href, false);
                if (href == nullptr) {
                    log.Report(*item, msg::kHrefAttributeNotFound, item->Name().c_str());
                    continue;
                }
                std::string format;
                for (const CElem* hint : item->Children())
                    if (const std::string* text = hint->Id() == ElementId::font_face_format
                                                      ? hint->GetAttribute(AttributeId::string, false)
                                                      : nullptr)
                        format += (format.empty() ? "" : ",") + *text;
                InstallUri(source, declaration, std::string(TrimSpace(*href)), format);
            }
        }
    }
    if (!anySource)
        log.Report(fontFace, msg::kFontFaceNoSource, name);
}

// `font` elements become SVG-font faces; font-face elements outside them
// install their sources. The walk is bounded by the tree's depth bound.
void InstallElements(CElem& elem, CElemDocument& document, CPreparer& preparer)
{
    for (CElem* child : elem.Children()) {
        if (preparer.Context().StopRequested())
            return;
        if (child->Id() == ElementId::font) {
            if (std::shared_ptr<CFontFaceSvg> face = preparer.Fonts().SvgFont(*child, preparer.Context()))
                preparer.Fonts().Pool().AddFace(std::move(face));
            continue;
        }
        if (child->Id() == ElementId::font_face) {
            InstallFontFaceElement(*child, document, preparer);
            continue;
        }
        InstallElements(*child, document, preparer);
    }
}

}  // namespace

void InstallDocumentFonts(CElemDocument& document, CPreparer& preparer)
{
    InstallRules(document, preparer);
    InstallElements(document, document, preparer);
}

}  // namespace svg
