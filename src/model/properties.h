// The resolved presentation properties every element carries once prepared,
// and the paint they describe. The style layer fills them in
// (ResolveProperties) from the element's specified values (attributes,
// cascaded CSS, `style`), its parent's resolved values and the initial values;
// everything after it reads them. Elements named here (mask, filter, clip
// path, paint servers) belong to the same set of loaded documents.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
    float miterLimit = 4;
    std::vector<float> dashes;  // even count, or empty for a solid line
    float dashOffset = 0;
};

enum class Display : int { Inline = 0, Block, ListItem, RunIn, Compact, Marker, Table, InlineTable,
                           TableRowGroup, TableHeaderGroup, TableFooterGroup, TableRow,
                           TableColumnGroup, TableColumn, TableCell, TableCaption, None = 16 };
enum class Overflow : int { Visible = 0, Hidden = 1, Scroll = 2, Auto = 3 };

// SVG: in SVG content `auto` shows everything like `visible`; `scroll`
// clips like `hidden`, there being nothing to scroll with.
inline bool ClipsOverflow(Overflow overflow) { return overflow == Overflow::Hidden || overflow == Overflow::Scroll; }

enum class Visibility : int { Visible = 0, Hidden = 1, Collapse = 2 };

struct ResolvedProperties {
    std::string fontFamily;        // empty: the font pool's default
    int fontWeight = 400;
    float fontStretch = 1;
    float fontSize = 15.5f;        // user units
    FontStyle fontStyle = FontStyle::Normal;
    FontVariant fontVariant = FontVariant::Normal;
    float fontSizeAdjust = 0;      // 0 none
    float xHeight = 5;             // user units, from the font face
    float capHeight = 10;          // user units, from the font face
    // Some value of this element or an ancestor uses ex units: the x-height
    // must come from the font face.
    bool exUnitsInScope = false;
    ColorRendering colorRendering = ColorRendering::OptimizeQuality;
    // color-interpolation, already sRGB where color-rendering asks for speed.
    ColorInterpolation colorInterpolation = ColorInterpolation::SRGB;
    std::string color = "rgb(0,0,0)";
    Matrix transform;
    Display display = Display::Inline;
    Overflow overflow = Overflow::Hidden;
    Visibility visibility = Visibility::Visible;
    FillRule fillRule = FillRule::NonZero;
    float opacity = 1;
    float fillOpacity = 1;
    float strokeOpacity = 1;
    const CElem* mask = nullptr;
    const CElem* filter = nullptr;
    bool filterFailed = false;     // a broken filter reference: the element is not drawn
    const CElem* clipPath = nullptr;
    std::optional<FillBrush> fillBrush = FillBrush{};
    const CElem* fillPaintServer = nullptr;
    std::optional<StrokePen> strokePen;
    const CElem* strokePaintServer = nullptr;
    float strokeWidth = 1;
};

}  // namespace svg
