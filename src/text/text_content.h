// The characters of a `text` element, read before anything is positioned:
// its character data and that of its tspan, tref, textPath, altGlyph and
// `a` content, in document order, after white-space handling, each with the
// content element (span) it belongs to; and the positioning lists (x, y, dx,
// dy, rotate) read onto those characters.
//
// Pure data: the spans point into the element tree, which must outlive the
// result. Problems (unreadable lists, broken tref links, too much text) are
// reported with the element's location; reading goes on without the excess.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/text_layout.h"

namespace svg {

class CLoadContext;

inline constexpr std::int32_t kNoSpan = -1;

// One content element and the characters it holds with its descendants.
struct TextSpan {
    const CElem* elem = nullptr;
    std::int32_t parent = kNoSpan;     // the enclosing content element's span
    std::uint32_t first = 0;           // its first character
    std::uint32_t end = 0;             // one past its last character
    std::int32_t textPath = kNoSpan;   // the enclosing (or own) textPath span
    // An altGlyph whose reference resolved: the SVG-font glyph elements its
    // characters are drawn with, as one cluster.
    std::vector<const CElem*> altGlyphs;
};

struct TextContent {
    std::u32string chars;
    std::vector<std::uint32_t> owner;  // per character: its innermost span
    std::vector<TextSpan> spans;       // parents before their children; span 0 is the `text`
};

// White-space handling as SVG 1.1 gives it: by default newlines go, tabs
// become spaces and runs of spaces collapse into one, also across element
// boundaries; leading spaces of the whole text and one trailing space go.
// With xml:space="preserve" every newline and tab becomes a space and
// nothing collapses.
TextContent CollectTextContent(const CElemText& text, CTextReferences& references, CLoadContext& context);

// What the positioning attributes give one character. Values come from the
// innermost content element that gives one for the character (SVG 1.1); a
// rotate list shorter than its element's characters repeats its last value.
struct CharPlacement {
    std::optional<float> x, y;  // absolute position, user units
    float dx = 0, dy = 0;
    std::optional<float> rotate;  // degrees
};

std::vector<CharPlacement> ReadPlacements(const TextContent& content, CLoadContext& context);

}  // namespace svg
