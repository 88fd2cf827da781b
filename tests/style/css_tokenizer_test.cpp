#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "style/css_tokenizer.h"

using svg::css::CCssTokenizer;
using svg::css::CssToken;
using Kind = svg::css::CssTokenKind;

namespace {

std::vector<CssToken> Tokens(std::string_view text)
{
    CCssTokenizer tokenizer(text);
    std::vector<CssToken> tokens;
    for (CssToken token = tokenizer.Next(); token.kind != Kind::End; token = tokenizer.Next())
        tokens.push_back(token);
    return tokens;
}

CssToken Only(std::string_view text)
{
    const std::vector<CssToken> tokens = Tokens(text);
    EXPECT_EQ(tokens.size(), 1u) << text;
    return tokens.empty() ? CssToken{} : tokens.front();
}

std::vector<Kind> KindsOf(std::string_view text)
{
    std::vector<Kind> kinds;
    for (const CssToken& token : Tokens(text))
        kinds.push_back(token.kind);
    return kinds;
}

}  // namespace

TEST(CssTokenizer, EscapesResolveInIdentifiers)
{
    EXPECT_EQ(Only("\\31 23").text, "123");       // a hex escape ends at one blank
    EXPECT_EQ(Only("a\\41\r\nb").text, "aAb");    // CR LF counts as one blank
    // Only one blank is eaten: the second separates.
    EXPECT_EQ(KindsOf("a\\41  b"), (std::vector<Kind>{Kind::Ident, Kind::Whitespace, Kind::Ident}));
    EXPECT_EQ(Only("svg\\:rect").text, "svg:rect");
    EXPECT_EQ(Only("\\E9t\\E9").text, "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(Only("x\\0").text, "x\xEF\xBF\xBD");  // NUL becomes U+FFFD
    EXPECT_EQ(Only("-moz-x").kind, Kind::Ident);
    EXPECT_EQ(Only("\xE6\x97\xA5\xE6\x9C\xAC").kind, Kind::Ident);  // names in any script
}

TEST(CssTokenizer, BackslashBeforeNewlineOutsideStringIsBadEscape)
{
    EXPECT_EQ(KindsOf("\\\na"), (std::vector<Kind>{Kind::BadEscape, Kind::Whitespace, Kind::Ident}));
}

TEST(CssTokenizer, StringsKeepQuotesAndResolveEscapes)
{
    const CssToken token = Only(R"("a\"b\41")");
    EXPECT_EQ(token.kind, Kind::String);
    EXPECT_EQ(token.value, "a\"bA");
    EXPECT_EQ(token.text, "\"a\"bA\"");
    EXPECT_EQ(Only("'one\\\ntwo'").value, "onetwo");      // escaped newline continues
    EXPECT_EQ(Only("'one\\\r\ntwo'").value, "onetwo");
    EXPECT_EQ(KindsOf("\"open\nx"), (std::vector<Kind>{Kind::BadString, Kind::Whitespace, Kind::Ident}));
    EXPECT_EQ(Only("'unterminated").kind, Kind::BadString);
}

TEST(CssTokenizer, UrlForms)
{
    const CssToken plain = Only("url(a.png)");
    EXPECT_EQ(plain.kind, Kind::Uri);
    EXPECT_EQ(plain.text, "url(a.png)");
    EXPECT_EQ(plain.value, "a.png");
    const CssToken quoted = Only("url( \"x y\" )");
    EXPECT_EQ(quoted.value, "x y");
    EXPECT_EQ(quoted.text, "url(\"x y\")");
    EXPECT_EQ(Only("URL(#a)").value, "#a");
    const CssToken data = Only("url(data:font/woff;base64,AA==)");
    EXPECT_EQ(data.value, "data:font/woff;base64,AA==");
    EXPECT_EQ(Only("url(a\\)b)").value, "a)b");
    EXPECT_EQ(Only("url(abc").kind, Kind::BadUri);
    EXPECT_EQ(KindsOf("url(a\nb)"), (std::vector<Kind>{Kind::BadUri, Kind::Whitespace, Kind::Ident, Kind::Delim}));
    EXPECT_EQ(Only("rgb(").kind, Kind::Function);
}

TEST(CssTokenizer, CommentsSeparateTokens)
{
    EXPECT_EQ(KindsOf("a/**/b"), (std::vector<Kind>{Kind::Ident, Kind::Comment, Kind::Ident}));
    EXPECT_EQ(KindsOf("<!-- a -->"),
              (std::vector<Kind>{Kind::Comment, Kind::Whitespace, Kind::Ident, Kind::Whitespace, Kind::Comment}));
    EXPECT_EQ(Only("/* never closed").kind, Kind::BadComment);

    CCssTokenizer skipping("a/**/b", CCssTokenizer::Comments::Skip);
    EXPECT_EQ(skipping.Next().text, "a");
    EXPECT_EQ(skipping.Next().text, "b");
}

TEST(CssTokenizer, NumbersOperatorsAndDelimiters)
{
    EXPECT_EQ(Only("12.5px").text, "12.5px");
    EXPECT_EQ(Only("-3").kind, Kind::Number);
    EXPECT_EQ(Only("+1e").text, "+1e");
    EXPECT_EQ(Only("~=").kind, Kind::Includes);
    EXPECT_EQ(Only("|=").kind, Kind::DashMatch);
    EXPECT_EQ(KindsOf("a>b"), (std::vector<Kind>{Kind::Ident, Kind::Delim, Kind::Ident}));
    EXPECT_EQ(Only("  \t\n").text, " ");
}

TEST(CssTokenizer, PeekReturnsTheNextTokenAgainEvenAtTheEnd)
{
    CCssTokenizer tokenizer("a");
    EXPECT_EQ(tokenizer.Peek().text, "a");
    EXPECT_EQ(tokenizer.Next().text, "a");
    EXPECT_EQ(tokenizer.Peek().kind, Kind::End);
    EXPECT_EQ(tokenizer.Next().kind, Kind::End);
    EXPECT_EQ(tokenizer.Next().kind, Kind::End);
}

TEST(CssTokenizer, TokensKnowTheirByteRange)
{
    const std::vector<CssToken> tokens = Tokens("a { b }");
    ASSERT_EQ(tokens.size(), 7u);
    EXPECT_EQ(tokens[2].begin, 2u);
    EXPECT_EQ(tokens[2].end, 3u);
}
