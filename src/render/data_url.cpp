#include "render/data_url.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "model/elem.h"
#include "model/message_log.h"
#include "model/messages.h"
#include "model/references.h"
#include "values/scan.h"

namespace svg {
namespace {

struct MediaTypeEntry {
    std::string_view name;
    DataKind kind;
};

// Media types are compared without regard to case, as MIME says.
constexpr std::array<MediaTypeEntry, 9> kMediaTypes{{
    {"image/svg+xml", DataKind::Svg},
    {"image/bmp", DataKind::Bmp},
    {"image/jpeg", DataKind::Jpeg},
    {"image/jpg", DataKind::Jpeg},
    {"image/gif", DataKind::Gif},
    {"image/tiff", DataKind::Tiff},
    {"image/png", DataKind::Png},
    {"application/vnd.iccprofile", DataKind::IccProfile},
    {"text/plain", DataKind::Text},
}};

std::optional<DataKind> KindOf(std::string_view mediaType)
{
    for (const MediaTypeEntry& entry : kMediaTypes)
        if (EqualsIgnoringCase(entry.name, mediaType))
            return entry.kind;
    return std::nullopt;
}

// 0..63, or -1 for a character outside the standard alphabet.
int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// The header "type/subtype;charset=x;base64": the media type is what comes
// before the first semicolon, and the data is Base64 when the last
// parameter is "base64" (so a charset before it does not hide it).
struct DataHeader {
    std::string_view mediaType;
    bool base64 = false;
};

DataHeader ReadHeader(std::string_view header)
{
    DataHeader result;
    const std::size_t semicolon = header.find(';');
    result.mediaType = TrimSpace(header.substr(0, semicolon));
    if (semicolon != std::string_view::npos) {
        const std::string_view last = TrimSpace(header.substr(header.rfind(';') + 1));
        result.base64 = EqualsIgnoringCase(last, "base64");
    }
    return result;
}

// "http:", "ftp:": letters, then letters, digits, "+", "-" or ".", then ":".
bool HasUrlScheme(std::string_view reference)
{
    const std::size_t colon = reference.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = ToLowerAscii(reference[i]);
        const bool letter = c >= 'a' && c <= 'z';
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
    }
    return true;
}

}  // namespace

bool IsDataUrl(std::string_view reference)
{
    return reference.size() >= 5 && EqualsIgnoringCase(reference.substr(0, 5), "data:");
}

std::string ShownReference(std::string_view reference)
{
    if (!IsDataUrl(reference))
        return std::string(reference);
    const std::size_t comma = reference.find(',');
    if (comma == std::string_view::npos)
        return std::string(reference.substr(0, 64));
    return std::string(reference.substr(0, std::min<std::size_t>(comma, 64))) + ",...";
}

std::optional<std::string> ResourceFilePath(const CElem& elem, std::string_view reference)
{
    constexpr std::string_view kFileScheme = "file://";
    const bool fileUrl = EqualsIgnoringCase(reference.substr(0, kFileScheme.size()), kFileScheme);
    if (fileUrl)
        reference.remove_prefix(kFileScheme.size());
    else if (HasUrlScheme(reference))
        return std::nullopt;
    if (reference.empty())
        return std::nullopt;
    const std::string base = elem.BaseDirectory();
    if (reference.front() != '/' && base.empty())
        return std::nullopt;
    return MakeFullPath(reference, base);
}

bool DecodeBase64(std::string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t group = 0;
    int count = 0;
    std::size_t pos = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (IsSpace(c))
            continue;
        if (c == '=')
            break;
        const int value = Base64Value(c);
        if (value < 0)
            return false;
        group = group << 6 | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out.push_back(static_cast<char>(group >> 16));
            out.push_back(static_cast<char>(group >> 8 & 0xFF));
            out.push_back(static_cast<char>(group & 0xFF));
            group = 0;
            count = 0;
        }
    }
    // Padding carries no data: only more padding and blanks may follow it.
    for (; pos < text.size(); ++pos)
        if (text[pos] != '=' && !IsSpace(text[pos]))
            return false;
    // Two or three characters left over hold one or two bytes; one holds
    // only six bits, which is no whole byte.
    if (count == 1)
        return false;
    if (count == 2)
        out.push_back(static_cast<char>(group >> 4));
    if (count == 3) {
        out.push_back(static_cast<char>(group >> 10));
        out.push_back(static_cast<char>(group >> 2 & 0xFF));
    }
    return true;
}

bool DecodePercent(std::string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (text[pos] != '%') {
            out.push_back(text[pos]);
            continue;
        }
        if (pos + 2 >= text.size())
            return false;
        const int high = HexDigitValue(text[pos + 1]);
        const int low = HexDigitValue(text[pos + 2]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<char>(high * 16 + low));
        pos += 2;
    }
    return true;
}

std::optional<DataUrl> DecodeDataUrl(const CElem& elem, std::string_view afterScheme, CMessageLog& log)
{
    const std::size_t comma = afterScheme.find(',');
    if (comma == std::string_view::npos) {
        log.Report(elem, msg::kHrefNoMimeType, elem.Name().c_str());
        return std::nullopt;
    }
    const DataHeader header = ReadHeader(afterScheme.substr(0, comma));
    // A data: URL without a media type is text/plain; what the bytes really
    // are is then told by their content.
    const std::string_view mediaType = header.mediaType.empty() ? "text/plain" : header.mediaType;
    const std::optional<DataKind> kind = KindOf(mediaType);
    if (!kind) {
        const std::string shown(mediaType);
        log.Report(elem, msg::kHrefUnsupportedMimeType, elem.Name().c_str(), shown.c_str());
        return std::nullopt;
    }

    DataUrl result;
    result.kind = *kind;
    result.mediaType = mediaType;
    const std::string_view data = afterScheme.substr(comma + 1);
    if (header.base64) {
        // URL escapes may stand in Base64 data too ("%2B" for "+").
        std::string unescaped;
        if (!DecodePercent(data, unescaped) || !DecodeBase64(unescaped, result.bytes)) {
            log.Report(elem, msg::kHrefInvalidBase64, elem.Name().c_str());
            return std::nullopt;
        }
    } else if (!DecodePercent(data, result.bytes)) {
        log.Report(elem, msg::kHrefInvalidUrlEncoding, elem.Name().c_str());
        return std::nullopt;
    }
    return result;
}

}  // namespace svg
