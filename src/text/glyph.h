// One glyph of laid-out text, as the font layer makes it (AssignFonts in
// text/shaper.h): which characters it stands for, which face and glyph draw
// it, and how far it advances. Text layout adds its positioning fields here
// and keeps glyph lists in logical order.
//
// Units: user units at the font size the glyph was made for; offsets are
// y downward. The glyph shares ownership of its face, so it stays drawable
// after the pool that made it is emptied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace svg {

class CFontFace;
struct CGlyphDef;

// Bidi embedding codes recorded on the first glyph of a run.
namespace BidiEmbedding {
inline constexpr int kNone = 0;
inline constexpr int kRtlOverride = 2;
inline constexpr int kLtrOverride = 4;
inline constexpr int kRtlEmbed = 6;
inline constexpr int kLtrEmbed = 8;
}  // namespace BidiEmbedding

struct CGlyph {
    // The characters the glyph stands for: one, several for a ligature or a
    // character with marks drawn as one glyph. A cluster drawn with several
    // glyphs (a base and a positioned mark) gives its text to the first
    // glyph; the others have empty text and follow it.
    std::u32string text;
    std::size_t firstChar = 0;       // index of text[0] in the string given to AssignFonts
    std::uint32_t glyphIndex = 0;    // glyph number in an sfnt face; 0 when the face has none
    bool missing = false;            // glyph 0: no face in the list has the character
    const CGlyphDef* glyphDef = nullptr;  // the SVG-font glyph used, or none
    std::shared_ptr<CFontFace> face;      // the face that made the glyph; null when no font exists

    float fontSize = 0;    // the size the advances are for
    float advance = 0;     // along a horizontal line, kerning included
    float vAdvance = 0;    // along a vertical line
    float offsetX = 0;     // placement from the pen position (mark attachment)
    float offsetY = 0;

    std::uint8_t bidiLevel = 0;  // the resolved embedding level of the glyph's characters
    int embedding = BidiEmbedding::kNone;  // on the first glyph of a run: its BidiEmbedding code
    bool runEnd = false;         // last glyph of the run AssignFonts made
};

}  // namespace svg
