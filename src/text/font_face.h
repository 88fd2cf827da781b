// The faces of the font pool: what text layout asks of a font, whatever its
// source. CFontFace holds the metrics every face has and the operations the
// layout calls; CFontFaceSfnt (system fonts and font files, text/font_face_sfnt.h)
// and the SVG-font face derive from it.
//
// Units: metrics are font units, y upward from the baseline. Results "at fs"
// are user units for a font size fs in user units, y downward. A glyph's
// origin is the top of its em box (the layout's convention); the alphabetic
// baseline lies AlphabeticOffset(fs) below it for every kind of face.
//
// Ownership and threads: a face is owned through std::shared_ptr by its pool
// and by every glyph made from it, so it outlives the pool when glyphs keep
// it. Like its pool, a face is used by one thread at a time. Nothing here
// reports or throws; an operation that cannot answer returns false or 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values/matrix.h"
#include "values/path_geometry.h"
#include "values/keywords.h"
#include "values/rect.h"
#include "values/syntax.h"

namespace svg {

struct CGlyph;
struct CGlyphDef;  // a glyph of an SVG font
class CSfntFont;

// Sets of font styles as bits, as faces declare them (a face may offer
// several); each FontStyle value is its own bit.
namespace FontStyleBits {
inline constexpr std::uint16_t kNormal = static_cast<std::uint16_t>(FontStyle::Normal);
inline constexpr std::uint16_t kItalic = static_cast<std::uint16_t>(FontStyle::Italic);
inline constexpr std::uint16_t kOblique = static_cast<std::uint16_t>(FontStyle::Oblique);
}  // namespace FontStyleBits

// A CSS weight clamped to 100..900 and rounded to a multiple of 100.
int NormalizeWeight(int weight);
// The bit of a weight in a weight mask: 100 -> 1, 400 -> 8, 700 -> 0x40.
std::uint16_t WeightBit(int weight);

enum class FaceKind { System, Src, Svg };

// One glyph's metrics at a font size, user units. leftBearing, inkWidth and
// rightBearing split the advance as the ink lies (they sum to it).
struct GlyphMetrics {
    float advance = 0;
    float vAdvance = 0;
    float leftBearing = 0;
    float inkWidth = 0;
    float rightBearing = 0;
};

class CFontFace {
public:
    CFontFace() = default;
    CFontFace(const CFontFace&) = default;
    CFontFace& operator=(const CFontFace&) = delete;
    virtual ~CFontFace() = default;

    virtual FaceKind Kind() const = 0;

    // --- Metrics (font units) ---------------------------------------------
    bool valid = true;             // false: the font could not be opened; never chosen
    std::string family;            // the family name the face answers to (as asked or declared)
    std::uint16_t style = 0;       // FontStyle bits; 0 matches every style
    std::uint16_t weightMask = 0;  // WeightBit of each weight offered; 0 matches every weight
    std::string stretch = "normal";
    int widthPercent = 100;        // the face's CSS width (font-stretch), percent of normal
    // Characters the face may be used for; empty: every character its font maps.
    std::vector<UnicodeRange> unicodeRanges;
    std::vector<float> widths;     // the SVG font's `widths` list; empty when none
    RectF bbox;                    // x, y, width, height
    float slope = 0;               // italic angle, degrees
    std::array<std::uint8_t, 10> panose{};
    float stemv = 0, stemh = 0;
    float horizOriginX = 0, horizOriginY = 0, horizAdvX = 0;
    float vertOriginX = 0, vertOriginY = 0, vertAdvY = 0;
    float unitsPerEm = 1000;
    float capHeight = 1000, xHeight = 500;
    float accentHeight = 1000, ascent = 1000, descent = 0;  // descent positive below the baseline
    float ideographic = -0.0f, alphabetic = 0, mathematical = 250, hanging = 1000;
    float vIdeographic = 0, vAlphabetic = 0, vMathematical = 0, vHanging = 0;
    // Decoration strokes: the position of the stroke's top edge above the
    // baseline, and its thickness. NaN: not given.
    float underlinePosition = -0.0f, underlineThickness = 50;
    float strikethroughPosition = 500, strikethroughThickness = 50;
    float overlinePosition = 1000, overlineThickness = 50;
    // How far baseline-shift sub and super move text down and up (OS/2
    // subscript and superscript offsets), font units.
    float subscriptOffset = 200, superscriptOffset = 400;
    // The face slants an upright font itself (the family has no italic):
    // outlines are sheared, advances stay.
    bool syntheticSlant = false;

    // --- Glyphs --------------------------------------------------------------
    // The glyph's advances and ink split at fs; false when the face has no
    // such glyph.
    virtual bool GetGlyphMetrics(const CGlyph& glyph, float fontSize, GlyphMetrics& out) const;
    // Appends the glyph's outline, placed with its origin (em-box top) at
    // `origin` and scaled to fs, to `out`; false when nothing was added.
    virtual bool AddGlyphOutline(const CGlyph& glyph, PointF origin, float fontSize, CGraphicsPath& out) const;
    // A glyph of an SVG font for the text with an Arabic form; none elsewhere.
    virtual const CGlyphDef* FindGlyphForForm(std::u32string_view text, int arabicForm) const;
    // Pair kerning between two glyph texts at fs, user units (positive
    // tightens). Faces shaped by HarfBuzz answer 0: their kerning is already in
    // the advances, and must not be applied twice.
    virtual float GetHKerning(std::u32string_view first, std::u32string_view second, float fontSize) const;
    virtual float GetVKerning(std::u32string_view first, std::u32string_view second, float fontSize) const;
    // The sfnt font behind the face, shaped by HarfBuzz; null for faces that
    // match characters to glyphs themselves (SVG fonts).
    virtual CSfntFont* Sfnt() const { return nullptr; }

    // --- Decorations at fs, measured down from the em-box top --------------
    // Horizontal text places the strokes by the face's metrics; vertical text
    // across the line, as the layout expects. Thicknesses fall back to fs / 10.
    float GetUnderlinePosition(float fontSize, bool vertical) const;
    float GetUnderlineThickness(float fontSize) const;
    float GetLineThroughPosition(float fontSize, bool vertical) const;
    float GetLineThroughThickness(float fontSize) const;
    float GetOverlinePosition(float fontSize, bool vertical) const;
    float GetOverlineThickness(float fontSize) const;
    float GetNormalLetterSpacing() const { return 0; }

    // --- Placement --------------------------------------------------------------
    // Distance from the em-box top down to the alphabetic baseline at fs.
    float AlphabeticOffset(float fontSize) const;
    // Maps font units (y up from the baseline) to user units for a glyph whose
    // origin is at `origin` at fs; includes the shear of a synthetic slant.
    Matrix OutlineTransform(PointF origin, float fontSize) const;

protected:
    float UserScale(float fontSize) const;
};

// True when the face may be used for character `c` (its unicode ranges).
bool FaceCovers(const CFontFace& face, char32_t c);

}  // namespace svg
