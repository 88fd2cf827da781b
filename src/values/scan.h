// Small scanning helpers for attribute and style text, shared by the value
// parsers and everything that reads attribute text. All work on views and
// never allocate.
#pragma once

#include <cstddef>
#include <string_view>

namespace svg {

// XML white space: space, tab, carriage return, line feed.
constexpr bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// The first position at or after `pos` that is not white space.
constexpr std::size_t SkipSpace(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    return pos;
}
// Skips the separator of number lists: white space, at most one comma, white space.
constexpr std::size_t SkipSeparator(std::string_view text, std::size_t pos)
{
    pos = SkipSpace(text, pos);
    if (pos < text.size() && text[pos] == ',')
        pos = SkipSpace(text, pos + 1);
    return pos;
}
constexpr std::string_view TrimSpace(std::string_view text)
{
    text.remove_prefix(SkipSpace(text, 0));
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}
constexpr char ToLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i]))
            return false;
    return true;
}
// 0..15, or -1 for a character that is not a hexadecimal digit.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = ToLowerAscii(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// CSS white space adds the form feed to XML's.
constexpr bool IsCssSpace(char c) { return IsSpace(c) || c == '\f'; }
constexpr std::string_view TrimCssSpace(std::string_view text)
{
    while (!text.empty() && IsCssSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsCssSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace svg
