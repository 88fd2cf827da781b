// SVG fonts: a `font` element (with its font-face, glyph, missing-glyph,
// hkern and vkern children) made into a face of the font pool. Text is
// matched to glyphs here, in document order with ligatures, each Arabic
// letter taking the form its joining with its neighbours asks for, and
// kerned here, once, by glyph names (g1, g2) and by characters (u1, u2);
// outlines come from the glyphs' `d` in font units, y upward.
// A glyph with child content is drawn by the renderer from that content
// (the layout lists where).
//
// BuildSvgFontFace reads every attribute and reports each unusable value at
// its element; it runs on the loading thread. The face keeps pointers to
// the glyph elements: the tree outlives the layouts made from it (both live
// as long as the load). Used by one thread at a time, like every face.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "text/font_face.h"
#include "text/shape_cache.h"

namespace svg {

class CElem;
class CLoadContext;

// Arabic forms of a glyph.
namespace ArabicForm {
inline constexpr int kNone = 0;
inline constexpr int kInitial = 1;
inline constexpr int kMedial = 2;
inline constexpr int kTerminal = 3;
inline constexpr int kIsolated = 4;
}  // namespace ArabicForm

// One `glyph` or `missing-glyph` (font units, y upward).
struct CGlyphDef {
    std::u32string unicode;
    std::string glyphName;
    CGraphicsPath outline;
    const CElem* element = nullptr;
    bool hasContent = false;  // child elements to draw
    int arabicForm = ArabicForm::kNone;
    std::string lang;
    float horizAdvX = 0;
    float vertAdvY = 0;
};

// One `hkern` or `vkern`: the pairs whose first glyph matches u1 or g1 and
// whose second matches u2 or g2 are moved closer by k.
struct CKern {
    std::vector<UnicodeRange> u1, u2;
    std::vector<std::string> g1, g2;
    float k = 0;
};

class CFontFaceSvg final : public CFontFace {
public:
    FaceKind Kind() const override { return FaceKind::Svg; }

    const CElem* fontElement = nullptr;
    std::vector<CGlyphDef> glyphs;  // document order
    std::optional<CGlyphDef> missingGlyph;
    std::vector<CKern> hkerns, vkerns;

    // The glyph a shaped glyph number stands for: number k > 0 is glyphs[k - 1],
    // 0 the missing glyph (null when the font has none).
    const CGlyphDef* Def(std::uint32_t glyphNumber) const;

    // Matches text[start, end) (logical order; mirrored first when
    // right-to-left) to glyphs: one shaped glyph per match, in font units,
    // clusters counted from `start`, glyph number 0 for characters no glyph
    // matches. Kerned here when `kerning` is set.
    std::vector<ShapedGlyph> Shape(std::u32string_view text, std::size_t start, std::size_t end, bool rightToLeft,
                                   bool kerning) const;

    bool GetGlyphMetrics(const CGlyph& glyph, float fontSize, GlyphMetrics& out) const override;
    bool AddGlyphOutline(const CGlyph& glyph, PointF origin, float fontSize, CGraphicsPath& out) const override;
    const CGlyphDef* FindGlyphForForm(std::u32string_view text, int arabicForm) const override;
    // Kerning is applied when text is matched; these answer for callers
    // that ask by glyph texts, in user units at fs (positive tightens).
    float GetHKerning(std::u32string_view first, std::u32string_view second, float fontSize) const override;
    float GetVKerning(std::u32string_view first, std::u32string_view second, float fontSize) const override;

    // The transform of glyph content: font units, y upward, placed like the
    // glyph's outline at `origin` (em-box top) and fs.
    Matrix ContentTransform(PointF origin, float fontSize) const;

private:
    struct Joins {
        bool before = false;
        bool after = false;
    };
    static std::vector<Joins> Joining(std::u32string_view text);
    float Kerning(const std::vector<CKern>& kerns, const CGlyphDef* first, const CGlyphDef* second) const;
    int FindMatch(std::u32string_view text, std::size_t at, const std::vector<Joins>& joins) const;
};

// The face of a `font` element; null, after "E <font %s> :font-face element
// is Invalid or not defined", when it has no font-face child.
std::shared_ptr<CFontFaceSvg> BuildSvgFontFace(const CElem& font, const CLoadContext& context);

// The characters of a u1, u2 or unicode-range list: items separated by
// commas; "U+" items are code points, ranges ("U+41-5A") or wildcards
// ("U+4??"); any other item stands for its first character. Null for an
// invalid list.
std::optional<std::vector<UnicodeRange>> ParseCharacterRanges(std::string_view text);

}  // namespace svg
