#include "style/css_tokenizer.h"
#include "values/scan.h"

#include <algorithm>
#include <cstdint>

namespace svg::css {
namespace {

bool IsNewline(char c) { return c == '\n' || c == '\r' || c == '\f'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || IsNewline(c); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// Any non-ASCII byte belongs to a name, so names in any script survive.
bool IsNonAscii(char c) { return static_cast<unsigned char>(c) >= 0x80; }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '-' || IsNonAscii(c); }

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t code)
{
    // NUL, surrogates and values beyond Unicode become the replacement
    // character rather than invalid UTF-8.
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        code = 0xFFFD;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::size_t Utf8SequenceLength(char lead)
{
    const auto byte = static_cast<unsigned char>(lead);
    if (byte >= 0xF0)
        return 4;
    if (byte >= 0xE0)
        return 3;
    if (byte >= 0xC0)
        return 2;
    return 1;
}

}  // namespace

CssToken CCssTokenizer::Next()
{
    if (hasPeeked_) {
        hasPeeked_ = false;
        return std::move(peeked_);
    }
    CssToken token = Read();
    while (skipComments_ && token.kind == CssTokenKind::Comment)
        token = Read();
    return token;
}

const CssToken& CCssTokenizer::Peek()
{
    if (!hasPeeked_) {
        peeked_ = Next();
        hasPeeked_ = true;
    }
    return peeked_;
}

void CCssTokenizer::SkipBlanks()
{
    while (Peek().IsBlank())
        Next();
}

CssToken CCssTokenizer::NextNonBlank()
{
    SkipBlanks();
    return Next();
}

const CssToken& CCssTokenizer::PeekNonBlank()
{
    SkipBlanks();
    return Peek();
}

CssToken CCssTokenizer::Read()
{
    CssToken token;
    token.begin = pos_;
    const std::string_view rest = text_.substr(pos_);
    const char c = At(pos_);
    if (rest.empty()) {
        token.kind = CssTokenKind::End;
    } else if (IsSpace(c)) {
        while (IsSpace(At(pos_)))
            ++pos_;
        token.kind = CssTokenKind::Whitespace;
        token.text.assign(1, ' ');
    } else if (rest.starts_with("/*")) {
        ReadComment(token);
    } else if (rest.starts_with("<!--") || rest.starts_with("-->")) {
        pos_ += rest[0] == '<' ? 4 : 3;
        token.kind = CssTokenKind::Comment;
    } else if (c == '"' || c == '\'') {
        ReadString(token, c);
    } else if (StartsIdent(pos_)) {
        ReadIdentOrFunction(token);
    } else if (IsDigit(c) || ((c == '+' || c == '-') && IsDigit(At(pos_ + 1)))) {
        ReadNumber(token);
    } else if ((c == '~' || c == '|') && At(pos_ + 1) == '=') {
        token.kind = c == '~' ? CssTokenKind::Includes : CssTokenKind::DashMatch;
        token.text = rest.substr(0, 2);
        pos_ += 2;
    } else if (c == '\\') {
        // Only a backslash before a newline (or at the end) gets here: every
        // other backslash starts an identifier.
        token.kind = CssTokenKind::BadEscape;
        token.text.assign(1, '\\');
        ++pos_;
    } else {
        token.kind = CssTokenKind::Delim;
        token.text = std::string(1, c);
        ++pos_;
    }
    token.end = pos_;
    return token;
}

bool CCssTokenizer::StartsEscape(std::size_t at) const
{
    return At(at) == '\\' && at + 1 < text_.size() && !IsNewline(text_[at + 1]);
}

bool CCssTokenizer::StartsName(std::size_t at) const
{
    if (at >= text_.size())
        return false;
    const char c = text_[at];
    return IsLetter(c) || c == '_' || IsNonAscii(c) || StartsEscape(at);
}

bool CCssTokenizer::StartsIdent(std::size_t at) const
{
    return StartsName(at) || (At(at) == '-' && StartsName(at + 1));
}

void CCssTokenizer::ReadEscape(std::string& out)
{
    ++pos_;  // the backslash
    if (HexValue(At(pos_)) >= 0) {
        std::uint32_t code = 0;
        for (int digits = 0; digits < 6 && pos_ < text_.size() && HexValue(text_[pos_]) >= 0; ++digits)
            code = code * 16 + static_cast<std::uint32_t>(HexValue(text_[pos_++]));
        // One white-space character ends a hex escape ("\31 23" is "123").
        if (At(pos_) == '\r' && At(pos_ + 1) == '\n')
            pos_ += 2;
        else if (pos_ < text_.size() && IsSpace(text_[pos_]))
            ++pos_;
        AppendUtf8(out, code);
        return;
    }
    const std::size_t length = std::min(Utf8SequenceLength(At(pos_)), text_.size() - pos_);
    out.append(text_.substr(pos_, length));
    pos_ += length;
}

void CCssTokenizer::ReadName(std::string& out)
{
    while (pos_ < text_.size()) {
        if (IsNameChar(text_[pos_]))
            out += text_[pos_++];
        else if (StartsEscape(pos_))
            ReadEscape(out);
        else
            break;
    }
}

void CCssTokenizer::ReadIdentOrFunction(CssToken& token)
{
    ReadName(token.text);
    if (At(pos_) != '(') {
        token.kind = CssTokenKind::Ident;
        return;
    }
    if (svg::EqualsIgnoringCase(token.text, "url")) {
        ReadUri(token);
        return;
    }
    token.kind = CssTokenKind::Function;
    token.text += '(';
    ++pos_;
}

void CCssTokenizer::ReadString(CssToken& token, char quote)
{
    const std::size_t start = pos_++;
    token.kind = CssTokenKind::BadString;
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == quote) {
            ++pos_;
            token.kind = CssTokenKind::String;
            token.text = quote + token.value + quote;
            return;
        }
        if (IsNewline(c))
            break;
        if (c != '\\') {
            token.value += c;
            ++pos_;
        } else if (pos_ + 1 >= text_.size()) {
            ++pos_;
        } else if (IsNewline(text_[pos_ + 1])) {
            // A backslash before a newline continues the string on the next line.
            pos_ += (text_[pos_ + 1] == '\r' && At(pos_ + 2) == '\n') ? 3 : 2;
        } else {
            ReadEscape(token.value);
        }
    }
    token.value.clear();
    token.text = text_.substr(start, pos_ - start);
}

// At the "(" after "url": either a quoted string between optional white
// space, or any characters up to ")". A newline or the end first gives a bad
// URI.
void CCssTokenizer::ReadUri(CssToken& token)
{
    const std::size_t open = pos_;
    const std::size_t inside = open + 1;
    pos_ = inside;
    while (IsSpace(At(pos_)))
        ++pos_;
    if (At(pos_) == '"' || At(pos_) == '\'') {
        CssToken quoted;
        ReadString(quoted, At(pos_));
        while (IsSpace(At(pos_)))
            ++pos_;
        if (quoted.kind == CssTokenKind::String && At(pos_) == ')') {
            token.kind = CssTokenKind::Uri;
            token.value = std::move(quoted.value);
            token.text = "url(" + std::string(svg::TrimCssSpace(text_.substr(inside, pos_ - inside))) + ")";
            ++pos_;
            return;
        }
        pos_ = inside;
    }
    std::string address;
    while (pos_ < text_.size() && text_[pos_] != ')' && !IsNewline(text_[pos_])) {
        if (text_[pos_] != '\\')
            address += text_[pos_++];
        else if (StartsEscape(pos_))
            ReadEscape(address);
        else
            break;
    }
    if (At(pos_) != ')') {
        token.kind = CssTokenKind::BadUri;
        token.text = text_.substr(token.begin, pos_ - token.begin);
        return;
    }
    token.kind = CssTokenKind::Uri;
    token.value = svg::TrimCssSpace(address);
    token.text = "url(" + std::string(svg::TrimCssSpace(text_.substr(inside, pos_ - inside))) + ")";
    ++pos_;
}

void CCssTokenizer::ReadNumber(CssToken& token)
{
    const std::size_t start = pos_++;
    while (pos_ < text_.size() && (IsDigit(text_[pos_]) || IsLetter(text_[pos_]) || text_[pos_] == '.'))
        ++pos_;
    token.kind = CssTokenKind::Number;
    token.text = text_.substr(start, pos_ - start);
}

void CCssTokenizer::ReadComment(CssToken& token)
{
    const std::size_t close = text_.find("*/", pos_ + 2);
    if (close == std::string_view::npos) {
        token.kind = CssTokenKind::BadComment;
        pos_ = text_.size();
        return;
    }
    token.kind = CssTokenKind::Comment;
    pos_ = close + 2;
}

}  // namespace svg::css
