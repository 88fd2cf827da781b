// Character sets and the text decoder for style sheets and documents.
// Bytes in a named character set go in, UTF-8 text comes out; a set nobody
// knows or bytes that are invalid in it give std::nullopt, never partial text.
// A table of 36 sets with their IANA aliases maps document names onto glibc's
// iconv sets; any other name iconv knows works too. Conversions cost time
// linear in the input, keep no state between calls and are safe on any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace svg {

struct CharsetInfo {
    std::string_view canonical;    // e.g. "iso-8859-1"
    std::string_view aliases;      // blank-separated IANA names, matched exactly
    std::string_view displayName;  // e.g. "Western European (ISO)"
    std::string_view iconvName;    // the glibc iconv set; empty for hz-gb-2312 (own decoder)
};

// The 36 rows in their fixed order.
std::span<const CharsetInfo> CharsetTable();

// A name equal to a canonical name (case-insensitive) or exactly equal to one
// of its aliases becomes that canonical name; other names come back unchanged.
std::string CanonicalCharset(std::string_view name);

// Converts `bytes` in `charset` (a table name or alias, or any name iconv
// knows) to UTF-8. A leading byte-order mark is converted like any other
// character.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, std::string_view charset);

// Decodes a style sheet: an `@charset "name";` rule at the start (in UTF-8,
// with or without a byte-order mark, or in UTF-16/UTF-32 of either byte order)
// or a byte-order mark alone chooses the set and is skipped; otherwise
// `defaultCharset` applies. A UTF-32 mark without a rule gives std::nullopt.
std::optional<std::string> DecodeText(std::string_view bytes, std::string_view defaultCharset = "utf-8");

// The encoding of an XML document: from a byte-order mark ("utf-8",
// "UTF-16LE", "UTF-16BE"; "" for a UTF-32 mark, which is unusable), else from
// the `encoding` of a leading <?xml ...?> declaration (a declaration in UTF-16
// without a mark gives "UTF-16LE" or "UTF-16BE"), else "utf-8".
// `*bomLength` (when not null) receives the number of mark bytes to skip.
std::string DetectXmlEncoding(std::string_view bytes, std::size_t* bomLength);

}  // namespace svg
