// The references of images and colour profiles: data: URLs
// ("data:[<media type>][;<parameter>]*[;base64],<data>") decoded in memory,
// so nothing is written to disk, two decodes at once cannot clobber each
// other and nothing is left behind; and file references made into paths.
// The media type is checked against the types a picture or profile may have;
// every failure is reported as a located message of the referring element.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace svg {

class CElem;
class CMessageLog;

// What the media type says the data is.
enum class DataKind { Svg, Bmp, Jpeg, Gif, Tiff, Png, IccProfile, Text };

struct DataUrl {
    DataKind kind = DataKind::Text;
    std::string mediaType;  // as written, e.g. "image/png"; "text/plain" when none was given
    std::string bytes;
};

// Decodes the text after "data:" for `elem`. Null after reporting one of
//   "E %s xlink:href not found mimetype at %d(%d)"       (no comma)
//   "E %s xlink:href unsupported mimetype '%s' at %d(%d)"
//   "E %s xlink:href invalid base64 data at %d(%d)"
//   "E %s xlink:href invalid URL encoding data at %d(%d)"
std::optional<DataUrl> DecodeDataUrl(const CElem& elem, std::string_view afterScheme, CMessageLog& log);

// Standard Base64. White space may stand anywhere; the padding "=" ends the
// data and adds no bytes, and may be left out. False for any other
// character, for data after the padding, and for a lone final character.
bool DecodeBase64(std::string_view text, std::string& out);

// "%" and two hexadecimal digits give that byte; everything else is copied
// as it stands ("+" too: it means a space only in HTML form data). False for
// a "%" not followed by two hexadecimal digits.
bool DecodePercent(std::string_view text, std::string& out);

// True when `reference` starts with "data:" in any case.
bool IsDataUrl(std::string_view reference);

// A short form of a reference for messages: a data: URL shows its header only.
std::string ShownReference(std::string_view reference);

// The file that `reference` (without its fragment) names for `elem`: an
// absolute path, or one relative to the element's base directory (with
// xml:base), or a file: URL. Null when no path can be formed: a URL of
// another scheme, or a relative path in a document that has no directory
// (one read from a data: URL).
std::optional<std::string> ResourceFilePath(const CElem& elem, std::string_view reference);

}  // namespace svg
