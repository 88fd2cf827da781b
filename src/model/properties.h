// The resolved presentation properties every element carries once prepared,
// and the paint they describe. The style layer fills them in
// (ResolveProperties) from the element's specified values (attributes,
// cascaded CSS, `style`), its parent's resolved values and the initial values;
// everything after it reads them. Elements named here (mask, filter, clip
// path, paint servers) belong to the same set of loaded documents.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "values/keywords.h"
#include "values/matrix.h"

namespace svg {

class CElem;

// Straight (not premultiplied) sRGB colour with alpha.
struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A solid fill: the colour with the fill opacity as alpha. The element's
// `opacity` is not folded in: it fades fill, stroke and markers together.
struct FillBrush {
    Rgba color;
};

enum class LineCap : std::uint8_t { Butt, Round, Square };
enum class LineJoin : std::uint8_t { Miter, Round, Bevel };

// A stroke as SVG means it: width, dash lengths and dash offset in user units,
// caps drawn outside each dash.
struct StrokePen {
    Rgba color;  // alpha is the stroke opacity
    float width = 1;
    float miterLimit = 4;
    float dashOffset = 0;
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
    std::vector<float> dashes;  // even count, or empty for a solid line
    friend bool operator==(const StrokePen&, const StrokePen&) = default;
};

enum class Display : std::uint8_t { Inline = 0, Block, ListItem, RunIn, Compact, Marker, Table, InlineTable,
                           TableRowGroup, TableHeaderGroup, TableFooterGroup, TableRow,
                           TableColumnGroup, TableColumn, TableCell, TableCaption, None = 16 };
enum class Overflow : std::uint8_t { Visible = 0, Hidden = 1, Scroll = 2, Auto = 3 };

// SVG: in SVG content `auto` shows everything like `visible`; `scroll`
// clips like `hidden`, there being nothing to scroll with.
inline bool ClipsOverflow(Overflow overflow) { return overflow == Overflow::Hidden || overflow == Overflow::Scroll; }

enum class Visibility : std::uint8_t { Visible = 0, Hidden = 1, Collapse = 2 };

// Text that nearly every element repeats from its parent (the font family,
// the `color` value): elements share one copy instead of holding their own.
// Immutable; copies are cheap and may outlive whoever made the text.
class SharedText {
public:
    // The empty text, shared by everyone.
    SharedText();
    explicit SharedText(std::string_view text);

    const std::string& Str() const { return *text_; }
    operator const std::string&() const { return *text_; }
    operator std::string_view() const { return *text_; }
    bool SameCopy(const SharedText& other) const { return text_ == other.text_; }
    friend bool operator==(const SharedText& a, std::string_view b) { return *a.text_ == b; }

private:
    std::shared_ptr<const std::string> text_;
};

// "rgb(0,0,0)", the initial `color`, shared by every element that keeps it.
const SharedText& InitialColorText();

// The members are grouped by size, so that the tree's largest part packs tightly.
struct ResolvedProperties {
    SharedText fontFamily;         // empty: the font pool's default
    SharedText color = InitialColorText();
    Matrix transform;
    const CElem* mask = nullptr;
    const CElem* filter = nullptr;
    const CElem* clipPath = nullptr;
    const CElem* fillPaintServer = nullptr;
    const CElem* strokePaintServer = nullptr;
    // Null: no stroke. Elements with equal pens share one (CLoadContext::SharePen).
    std::shared_ptr<const StrokePen> strokePen;
    int fontWeight = 400;
    float fontStretch = 1;
    float fontSize = 15.5f;        // user units
    float fontSizeAdjust = 0;      // 0 none
    float xHeight = 5;             // user units, from the font face
    float capHeight = 10;          // user units, from the font face
    float opacity = 1;
    float fillOpacity = 1;
    float strokeOpacity = 1;
    float strokeWidth = 1;
    std::optional<FillBrush> fillBrush = FillBrush{};
    FontStyle fontStyle = FontStyle::Normal;
    FontVariant fontVariant = FontVariant::Normal;
    // Some value of this element or an ancestor uses ex units: the x-height
    // must come from the font face.
    bool exUnitsInScope = false;
    ColorRendering colorRendering = ColorRendering::OptimizeQuality;
    // color-interpolation, already sRGB where color-rendering asks for speed.
    ColorInterpolation colorInterpolation = ColorInterpolation::SRGB;
    Display display = Display::Inline;
    Overflow overflow = Overflow::Hidden;
    Visibility visibility = Visibility::Visible;
    FillRule fillRule = FillRule::NonZero;
    bool filterFailed = false;     // a broken filter reference: the element is not drawn
};

}  // namespace svg
