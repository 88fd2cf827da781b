// The CSS 2.1 tokenizer: UTF-8 text in, one token at a time out. Tokens carry
// their byte range in the text, so a statement can be cut out of a sheet and
// tokenized again without losing escapes or quotes. Every input, however
// broken, tokenizes in time linear in its length; malformed pieces come back
// as the Bad* kinds instead of failing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace svg::css {

enum class CssTokenKind {
    Ident,
    Function,    // an identifier directly followed by "("
    String,
    Number,      // with its unit or "e" exponent: "12px", "1e"
    Uri,
    Whitespace,
    Comment,     // "/* */", "<!--" and "-->": they separate tokens and mean nothing else
    Includes,    // "~="
    DashMatch,   // "|="
    BadString,   // a newline or the end inside a string
    BadUri,      // a newline or the end inside url( )
    BadComment,  // the end inside a comment
    BadEscape,   // a backslash before a newline, outside a string
    Delim,       // any other single character
    End,
};

struct CssToken {
    CssTokenKind kind = CssTokenKind::End;
    // Ident, Function: the name with escapes resolved ("name(" for Function).
    // String: both quotes around the content with escapes resolved.
    // Uri: "url(" + the inside as written, trimmed + ")". Whitespace: " ".
    // Comment and End: empty. Others: as written.
    std::string text;
    // String: the content without quotes; Uri: the address without quotes,
    // escapes resolved. Empty for other kinds.
    std::string value;
    std::size_t begin = 0;  // byte range in the tokenized text
    std::size_t end = 0;

    bool IsDelim(char c) const { return kind == CssTokenKind::Delim && text.size() == 1 && text[0] == c; }
    // Whitespace and comments: what the grammar skips between tokens.
    bool IsBlank() const { return kind == CssTokenKind::Whitespace || kind == CssTokenKind::Comment; }
};

class CCssTokenizer {
public:
    // Selectors ignore comments altogether ("rect/**/.a" is "rect.a"); values
    // and statements see them as separators.
    enum class Comments { Return, Skip };

    explicit CCssTokenizer(std::string_view text, Comments comments = Comments::Return)
        : text_(text), skipComments_(comments == Comments::Skip)
    {
    }

    CssToken Next();
    // The token Next() will return.
    const CssToken& Peek();
    // Next(), after skipping whitespace and comments.
    CssToken NextNonBlank();
    const CssToken& PeekNonBlank();
    void SkipBlanks();

private:
    CssToken Read();
    void ReadIdentOrFunction(CssToken& token);
    void ReadString(CssToken& token, char quote);
    void ReadUri(CssToken& token);
    void ReadNumber(CssToken& token);
    void ReadComment(CssToken& token);
    bool StartsName(std::size_t at) const;
    bool StartsIdent(std::size_t at) const;
    bool StartsEscape(std::size_t at) const;
    void ReadName(std::string& out);
    void ReadEscape(std::string& out);
    char At(std::size_t at) const { return at < text_.size() ? text_[at] : '\0'; }

    std::string_view text_;
    bool skipComments_;
    std::size_t pos_ = 0;
    CssToken peeked_;
    bool hasPeeked_ = false;
};

}  // namespace svg::css
