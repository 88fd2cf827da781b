// Text layout: turns a `text` element, with the tspan, tref, textPath and
// altGlyph content under it, into what its drawing paints: glyph outlines
// and decoration strokes as paths in the element's user space, each tagged
// with the content element whose fill and stroke paint it, plus one box per
// glyph for bounds and hit testing, and the laid-out characters for Copy.
//
// Runs while the `text` element is prepared, on the loading thread; the
// result (CLaidOutText, held by the element) is read-only afterwards and may
// be drawn from any thread. Faces come from the load's font pool; the result
// keeps no pointer into the pool. Invalid attribute values are reported with
// the element's location and their defaults used; layout never fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "values/matrix.h"
#include "values/path_geometry.h"
#include "values/rect.h"

#include "model/elem.h"

namespace svg {

class CFontContext;
class CLoadContext;

// What layout asks of the layer that prepares the tree: the element a
// reference names (tref, textPath, altGlyph), prepared, or null when none
// is found. `cycle` is set when the target is being prepared (it refers back
// to this text). Nothing is reported here; layout reports.
class CTextReferences {
public:
    virtual ~CTextReferences() = default;
    virtual CElem* Resolve(const CElem& from, std::string_view reference, bool& cycle) = 0;
};

// One painted item, in painting order: every run of glyphs of one content
// element is drawn as its underline and overline, its glyphs, then its
// line-through (SVG 1.1: decorations under and over the text, the
// line-through across it).
enum class TextPaintKind : std::uint8_t { Underline, Overline, Glyphs, LineThrough };

struct TextPaintItem {
    TextPaintKind kind = TextPaintKind::Glyphs;
    // The element whose fill, stroke and visibility paint the item: the
    // glyphs' own content element, or for a decoration the element that
    // declared it (the `text` element for a decoration set above it).
    const CElem* paintElement = nullptr;
    CGraphicsPath path;  // user units of the `text` element
};

// The child content of an SVG-font glyph, drawn in place of (or beside) its
// `d` outline: the glyph element's children under `transform`, painted with
// their own properties.
struct GlyphContentUse {
    const CElem* glyph = nullptr;
    Matrix transform;
};

// One glyph's cell: its advance by the font's ascent and descent, mapped
// into the text's user space (a quadrilateral when rotated). Bounds and
// hit testing use cells, as SVG defines a text's bounding box by them.
struct TextGlyphCell {
    const CElem* owner = nullptr;  // the content element the glyph belongs to
    PointF corners[4];
};

class CLaidOutText final : public CTextLayout {
public:
    std::vector<TextPaintItem> items;
    std::vector<GlyphContentUse> glyphContent;
    std::vector<TextGlyphCell> cells;
    // The union of the cells; null for text that lays out no glyph.
    std::optional<RectF> cellBounds;
    // The printable characters in the order they were laid out.
    std::u32string text;
};

// Lays out `text` (a `text` element; other elements are left alone) and
// stores a CLaidOutText in text.layout, also for text without glyphs.
// Appends the text's characters and a line feed to the document's text
// buffer. Always true: layout reports what it cannot use and goes on.
bool LayOutText(CElemText& text, CFontContext& fonts, CTextReferences& references, CLoadContext& context);

// The laid-out result of a `text` element; null for other elements and for
// text that was not laid out.
const CLaidOutText* LaidOut(const CElem& elem);

}  // namespace svg
