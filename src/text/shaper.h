// Shaping: characters to positioned glyphs. ShapeRun runs HarfBuzz over one
// run of one sfnt font; AssignFonts turns one string of one element into
// glyphs, taking each character from the first face of the family list (then
// the alternate list, then the default family) that has it.
//
// Text is UTF-32, already bidi-resolved into runs of one direction: a run
// shaped right-to-left comes back in logical order like any other (the
// layout reorders glyphs for display) and its brackets mirrored by HarfBuzz.
// Kerning is applied here, once: the faces' own pair kerning then answers 0.
// A glyph is missing when its face has no glyph for it (glyph 0), never
// merely because it does not advance (combining marks).
//
// Results are in font units (ShapeRun) or user units at the requested size
// (AssignFonts). Shaping results are cached per pool (text/shape_cache.h).
// Thread-safety is the pool's: one thread at a time per pool. Nothing is
// reported; characters no font has come back as missing glyphs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/stop_token.h"
#include "text/font_pool.h"
#include "text/glyph.h"
#include "text/shape_cache.h"

namespace svg {

class CSfntFont;

enum class TextDirection { LeftToRight, RightToLeft, TopToBottom };

struct ShapeOptions {
    TextDirection direction = TextDirection::LeftToRight;
    std::string script;    // ISO 15924 tag ("Latn", "Arab"); empty: guessed from the text
    std::string language;  // BCP 47 tag; empty: HarfBuzz's default
    bool kerning = true;   // the font's pair kerning (off when `kerning` is a length)
    bool ligatures = true; // standard and contextual ligatures (off under letter-spacing)
    // Further OpenType features in HarfBuzz's syntax ("smcp", "-calt", "ss01=1").
    std::vector<std::string> features;
};

// The glyphs of text[start, start + length), in logical order, shaped with
// the characters around the run as context. Clusters count from `start`.
std::vector<ShapedGlyph> ShapeRun(CSfntFont& font, std::u32string_view text, std::size_t start, std::size_t length,
                                  const ShapeOptions& options, CShapeCache* cache);

// What AssignFonts needs to know of the element whose string it lays out.
struct AssignRequest {
    std::string_view familyList;         // font-family, as written
    FaceQuery query;                     // font style, weight, stretch, variant
    float fontSize = 15.5f;              // user units; clamped to the bound of model/limits.h
    // The alternate-font list ("Alt Fonts" setting), tried after the family
    // list; empty when the setting is off.
    std::string_view alternateFamilies;
    ShapeOptions shaping;
    std::uint8_t bidiLevel = 0;          // recorded on every glyph
    int embedding = BidiEmbedding::kNone;  // recorded on the first glyph
};

// Appends the glyphs of `text` (logical order) to `out` and returns how many.
// The first face shapes the whole string; each later face re-shapes every run
// of clusters still missing. Characters past the bound of model/limits.h are
// dropped; a stop request ends the fallback early, keeping what is shaped.
std::size_t AssignFonts(CFontPool& pool, std::u32string_view text, const AssignRequest& request,
                        std::vector<CGlyph>& out, const CStopToken& stop = CStopToken::Never());
// The same for the characters [start, end) of `text`, shaped with the
// characters around them as context (joining scripts join across the
// boundary); firstChar counts from the start of `text`.
std::size_t AssignFonts(CFontPool& pool, std::u32string_view text, std::size_t start, std::size_t end,
                        const AssignRequest& request, std::vector<CGlyph>& out,
                        const CStopToken& stop = CStopToken::Never());

// UTF-8 to UTF-32; malformed sequences become U+FFFD.
std::u32string DecodeUtf8(std::string_view text);
// Appends one character as UTF-8; one that is no Unicode scalar value
// (a surrogate, beyond U+10FFFF) as U+FFFD.
void AppendUtf8(char32_t c, std::string& out);

}  // namespace svg
