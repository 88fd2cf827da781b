// Bidirectional text and the character properties text layout needs, on
// GNU FriBidi (the Unicode Bidirectional Algorithm) and HarfBuzz's Unicode
// data. Text is UTF-32; all functions are pure and safe on any thread.
//
// The layout resolves one text element as one paragraph: it inserts the
// embedding controls of each content element's run (EmbeddingControl before
// it, kPopDirectionalFormatting after it), resolves the levels of every
// character once (ResolveLevels), shapes each run of one level in its
// direction, and finally shows the glyphs in VisualOrder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "text/glyph.h"

namespace svg {

// `direction` and `unicode-bidi` as the element has them (empty when
// absent) -> a BidiEmbedding code. An unknown direction counts as "ltr" and
// an unknown unicode-bidi as "normal"; the flags let the caller report
// "E %s direction="%s" :Invalid value at %d(%d)" and
// "E %s unicode-bidi="%s" :Invalid value at %d(%d)".
struct EmbeddingResult {
    int code = BidiEmbedding::kNone;
    bool invalidDirection = false;
    bool invalidUnicodeBidi = false;
};
EmbeddingResult ResolveEmbedding(std::string_view direction, std::string_view unicodeBidi);

// The control character that opens an embedding code (LRE, RLE, LRO, RLO);
// 0 for kNone. Each opened embedding is closed by kPopDirectionalFormatting.
char32_t EmbeddingControl(int embedding);
inline constexpr char32_t kPopDirectionalFormatting = 0x202C;

// One embedding level per character of a paragraph whose base direction is
// given (never taken from its first strong character). Explicit controls are
// honoured and take the level of their surroundings; white space at the end
// of the paragraph returns to the base level. Nesting stops raising levels at
// the algorithm's maximum depth.
std::vector<std::uint8_t> ResolveLevels(std::u32string_view paragraph, bool rightToLeft);

// Display order of items with the given levels (rule L2: from the highest
// level down to the lowest odd one, every run at that level or above is
// reversed). Entry k is the logical index of the item shown k-th from the
// left; empty for no items.
std::vector<std::size_t> VisualOrder(std::span<const std::uint8_t> levels);
// The same over glyphs, by their bidiLevel.
std::vector<std::size_t> VisualOrder(std::span<const CGlyph> glyphs);

// The mirrored form of a character shown right-to-left ('(' -> ')'), or the
// character itself. HarfBuzz mirrors runs it shapes right-to-left; faces
// that match characters themselves (SVG fonts) need this.
char32_t MirroredChar(char32_t c);

// --- Character properties ---------------------------------------------------

// Bidirectional class codes: ON 0, L 1, R 2, AN 3, EN 4, AL 5, NSM 6, CS 7,
// ES 8, ET 9, BN 10, S 11, WS 12, B 13, RLO 14, RLE 15, LRO 16, LRE 17,
// PDF 18 (and PDI). Isolate initiators count as ON.
int BidiClass(char32_t c);
// The Unicode general category as its two-letter name ("Lu", "Mn", ...).
std::string_view GeneralCategoryName(char32_t c);
// True for the categories Mn, Me and Cf: marks and format characters, which
// an SVG font gives no advance.
bool IsMarkCategory(char32_t c);
// Nonspacing, spacing and enclosing marks (Mn, Mc, Me).
bool IsCombining(char32_t c);
unsigned CombiningClass(char32_t c);
// Unicode White_Space.
bool IsWhiteSpace(char32_t c);
// Letters of scripts written joined (Arabic, Syriac, N'Ko, Mongolian and
// their kin): CSS does not space them apart with letter-spacing.
bool IsCursiveScript(char32_t c);
// The Arabic joining type as a letter: 'U' none, 'R' right, 'D' dual, 'C'
// join causing, 'L' left, 'T' transparent.
char JoiningType(char32_t c);

struct CharProps {
    int bidiClass = 1;
    std::string_view generalCategory;
};
CharProps LookupCharProps(char32_t c);

}  // namespace svg
