#include "render/preview.h"

#include <algorithm>
#include <cmath>

#include "model/document.h"
#include "render/container.h"
#include "render/filter_effect.h"
#include "render/marker.h"
#include "render/paint_server.h"
#include "values/path_data.h"

namespace svg {
namespace {

// Below this a frame's side is too small to fit into a pane.
constexpr float kMinExtentSide = 1.0f / (1 << 23);

// How many device pixels the longer side of a preview's frame is drawn at.
constexpr double kPreviewPixels = 1000;

// SVG fonts: without ascent and descent the em box is taken as 0.8 em above
// the baseline and 0.2 below, as for most Latin fonts.
constexpr float kDefaultAscentEm = 0.8f;
constexpr float kDefaultDescentEm = 0.2f;

std::optional<RectF> NonEmpty(const std::optional<RectF>& rect)
{
    if (!rect || !(rect->width > kMinExtentSide) || !(rect->height > kMinExtentSide))
        return std::nullopt;
    return rect;
}

constexpr RectF kUnitSquare{0, 0, 1, 1};

// A plain number attribute, following "inherit"; null when missing or unreadable.
std::optional<float> NumberAttribute(const CElem* elem, AttributeId attribute)
{
    if (elem == nullptr)
        return std::nullopt;
    const std::string* text = elem->GetAttribute(attribute, false);
    if (text == nullptr)
        return std::nullopt;
    const std::optional<Number> number = ParseNumber(*text);
    if (!number || !std::isfinite(number->value))
        return std::nullopt;
    return static_cast<float>(number->value);
}

// --- Own preview bounds ----------------------------------------------------------

// The mask's region when it is given in user units; otherwise the content's
// own frame: the unit square for content in box fractions, else the
// content's bounding box.
std::optional<RectF> MaskBounds(const CElemMask& mask)
{
    if (mask.units == Units::UserSpaceOnUse) {
        const RectF& viewport = mask.viewport;
        return RectF{mask.x.value_or(viewport.x - 0.1f * viewport.width),
                     mask.y.value_or(viewport.y - 0.1f * viewport.height),
                     mask.width.value_or(1.2f * viewport.width), mask.height.value_or(1.2f * viewport.height)};
    }
    if (mask.contentUnits == Units::ObjectBoundingBox)
        return kUnitSquare;
    return NonEmpty(mask.bboxUser).value_or(kUnitSquare);
}

// A user-space gradient frames its vector (linear) or its circle (radial),
// squared up when the vector runs along an axis.
std::optional<RectF> GradientBounds(const CElemGradient& gradient)
{
    if (gradient.units == Units::ObjectBoundingBox)
        return kUnitSquare;
    RectF box;
    if (gradient.kind == CElemGradient::Linear) {
        box = {std::min(gradient.x1, gradient.x2), std::min(gradient.y1, gradient.y2),
               std::abs(gradient.x2 - gradient.x1), std::abs(gradient.y2 - gradient.y1)};
        const float side = std::max(box.width, box.height);
        box = {box.x + (box.width - side) / 2, box.y + (box.height - side) / 2, side, side};
    } else {
        box = {gradient.cx - gradient.r, gradient.cy - gradient.r, 2 * gradient.r, 2 * gradient.r};
    }
    return MapRectBounds(box, gradient.gradientTransform);
}

std::optional<RectF> PatternBounds(const CElemPattern& pattern)
{
    if (pattern.units == Units::ObjectBoundingBox)
        return kUnitSquare;
    return MapRectBounds(RectF{pattern.x, pattern.y, pattern.width, pattern.height}, pattern.patternTransform);
}

// The marker's viewport (0, 0, markerWidth, markerHeight), or in axisMode
// its viewBox.
RectF MarkerBounds(const CElemMarker& marker, bool axisMode) { return axisMode ? marker.viewport : marker.region; }

const CElem* FontOf(const CElem& glyph)
{
    const CElem* font = glyph.Parent();
    return font != nullptr && font->Id() == ElementId::font ? font : nullptr;
}

const CElem* FontFaceOf(const CElem* font)
{
    if (font == nullptr)
        return nullptr;
    for (const CElem* child : font->Children())
        if (child->Id() == ElementId::font_face)
            return child;
    return nullptr;
}

CGraphicsPath GlyphOutline(const CElem& glyph)
{
    const std::string* d = glyph.GetAttribute(AttributeId::d, false);
    if (d == nullptr)
        return {};
    const CElemDocument* document = glyph.Document();
    const float dpi = document != nullptr ? document->Options().dpi : 96;
    return ParsePathData(*d, glyph.Lengths(dpi), FillRule::NonZero).path;
}

// The glyph's advance across the font's em box from descent to ascent, in
// glyph units (y up), and its outline wherever it reaches beyond them;
// turned over as the preview draws it (y down).
RectF GlyphBounds(const CElem& glyph)
{
    const CElem* font = FontOf(glyph);
    const CElem* face = FontFaceOf(font);
    const float unitsPerEm = NumberAttribute(face, AttributeId::units_per_em).value_or(1000);
    const float advance = NumberAttribute(&glyph, AttributeId::horiz_adv_x)
                              .value_or(NumberAttribute(font, AttributeId::horiz_adv_x).value_or(unitsPerEm));
    const float ascent = NumberAttribute(face, AttributeId::ascent).value_or(kDefaultAscentEm * unitsPerEm);
    const float descent = std::abs(NumberAttribute(face, AttributeId::descent).value_or(kDefaultDescentEm * unitsPerEm));
    std::optional<RectF> box = RectF{0, -ascent, advance, ascent + descent};
    const CGraphicsPath outline = GlyphOutline(glyph);
    for (const PointF& p : outline.points)
        box = Union(box, RectF{p.x, -p.y, 0, 0});
    return *box;
}

// --- Drawing ---------------------------------------------------------------------

const CElem* TextOf(const CElem& elem)
{
    for (const CElem* e = &elem; e != nullptr; e = e->Parent())
        if (e->Id() == ElementId::text)
            return e;
    return nullptr;
}

bool IsViewportElement(const CElem& elem)
{
    switch (elem.Id()) {
    case ElementId::svg:
    case ElementId::symbol:
    case ElementId::foreignObject:
    case ElementId::image: return elem.IsA(ElemClass::Container);
    default: return false;
    }
}

// Fills `frame` with `server`, as a shape of that box filled with it would be.
bool FillWithServer(const CElem& server, const RectF& frame, CCanvas& canvas, const RenderArgs& args)
{
    CElemShape box("rect", nullptr);
    box.bboxUser = frame;
    CGraphicsPath path;
    path.StartFigure({frame.x, frame.y});
    path.AddLine({frame.Right(), frame.y});
    path.AddLine({frame.Right(), frame.Bottom()});
    path.AddLine({frame.x, frame.Bottom()});
    path.CloseFigure();
    return PaintPath(server, canvas, path, box, false, args);
}

void DrawChildren(const CElem& elem, CCanvas& canvas, const RenderArgs& args)
{
    for (const CElem* child : elem.Children()) {
        if (args.pass.StopRequested())
            return;
        if (child->graphicsElement)
            Render(*child, canvas, args);
    }
}

bool DrawMarkerPreview(const CElemMarker& marker, CCanvas& canvas, const RenderArgs& args, bool axisMode)
{
    const CCanvasSaveGuard saved(canvas);
    if (!axisMode) {
        if (ClipsOverflow(marker.props.overflow) && !IsEmptyRect(marker.region))
            canvas.IntersectClip(marker.region);
        if (!canvas.MultiplyTransform(marker.viewBoxMatrix))
            return true;
    }
    DrawMarkerContent(marker, canvas, args);
    return true;
}

bool DrawGlyphPreview(const CElem& glyph, CCanvas& canvas, const RenderArgs& args)
{
    const CCanvasSaveGuard saved(canvas);
    // Glyph outlines are drawn with y up: turned over, the glyph stands upright.
    if (!canvas.MultiplyTransform(Matrix{1, 0, 0, -1, 0, 0}))
        return false;
    const CGraphicsPath outline = GlyphOutline(glyph);
    if (!outline.Empty())
        canvas.Fill(outline, glyph.props.fillBrush ? glyph.props.fillBrush->color : Rgba{0, 0, 0, 255});
    DrawChildren(glyph, canvas, args);
    return true;
}

bool DrawGraphicsPreview(const CElem& elem, CCanvas& canvas, const RenderArgs& args, bool axisMode)
{
    // The element is shown even where it or an ancestor is not displayed.
    RenderArgs shown = args;
    shown.drawHidden = elem.props.display == Display::None;
    if (axisMode || elem.Id() == ElementId::symbol)
        RenderInOwnSpace(elem, canvas, shown);
    else
        Render(elem, canvas, shown);
    return true;
}

}  // namespace

std::optional<RectF> GetPreviewBounds(const CElem& elem, bool axisMode)
{
    switch (elem.Class()) {
    case ElemClass::Mask: return NonEmpty(MaskBounds(static_cast<const CElemMask&>(elem)));
    case ElemClass::Gradient: return NonEmpty(GradientBounds(static_cast<const CElemGradient&>(elem)));
    case ElemClass::Pattern: return NonEmpty(PatternBounds(static_cast<const CElemPattern&>(elem)));
    case ElemClass::Marker: return NonEmpty(MarkerBounds(static_cast<const CElemMarker&>(elem), axisMode));
    case ElemClass::Glyph: return NonEmpty(GlyphBounds(elem));
    default: return std::nullopt;
    }
}

std::optional<RectF> PreviewExtent(const CElem& elem, bool axisMode)
{
    if (std::optional<RectF> own = GetPreviewBounds(elem, axisMode))
        return own;
    switch (elem.Class()) {
    case ElemClass::Filter:
    case ElemClass::FilterPrimitive:
    case ElemClass::String:
    case ElemClass::Comment:
    case ElemClass::Paint: return std::nullopt;
    case ElemClass::Text:
        if (elem.Id() != ElementId::text) {
            const CElem* text = TextOf(elem);
            return text != nullptr ? PreviewExtent(*text, axisMode) : std::nullopt;
        }
        break;
    case ElemClass::ClipPath: {
        std::optional<RectF> box;
        for (const CElem* child : elem.Children())
            if (child->graphicsElement)
                box = Union(box, child->bboxParent);
        return NonEmpty(box);
    }
    default: break;
    }
    if (IsViewportElement(elem) && NonEmpty(elem.region)) {
        const auto& container = static_cast<const CElemContainer&>(elem);
        if (!axisMode && elem.Id() != ElementId::symbol)
            return elem.region;
        if (const std::optional<RectF> viewBox = NonEmpty(container.viewport))
            return viewBox;
    }
    if (!elem.graphicsElement && elem.Id() != ElementId::symbol)
        return std::nullopt;
    return NonEmpty(axisMode || elem.Id() == ElementId::symbol ? elem.bboxUser : elem.bboxParent);
}

bool PreviewYAxisUp(const CElem& elem) { return elem.Class() == ElemClass::Glyph; }

bool DrawPreview(const CElem& elem, CCanvas& canvas, const RenderArgs& args, bool axisMode)
{
    switch (elem.Class()) {
    case ElemClass::Mask: DrawChildren(elem, canvas, args); return true;
    case ElemClass::ClipPath: DrawChildren(elem, canvas, args); return true;
    case ElemClass::Gradient:
    case ElemClass::Pattern: {
        const std::optional<RectF> frame = GetPreviewBounds(elem, axisMode);
        return frame && FillWithServer(elem, *frame, canvas, args);
    }
    case ElemClass::Marker:
        return DrawMarkerPreview(static_cast<const CElemMarker&>(elem), canvas, args, axisMode);
    case ElemClass::Glyph: return DrawGlyphPreview(elem, canvas, args);
    case ElemClass::Text:
        if (elem.Id() != ElementId::text) {
            const CElem* text = TextOf(elem);
            return text != nullptr && DrawPreview(*text, canvas, args, axisMode);
        }
        return DrawGraphicsPreview(elem, canvas, args, axisMode);
    case ElemClass::Filter:
    case ElemClass::FilterPrimitive: return true;
    default:
        if (elem.graphicsElement || elem.Id() == ElementId::symbol)
            return DrawGraphicsPreview(elem, canvas, args, axisMode);
        return false;
    }
}

double PreviewRenderScale(const RectF& extent)
{
    const double longer = std::max(extent.width, extent.height);
    if (!(longer > 0) || !std::isfinite(longer))
        return 1;
    return std::max(1.0, kPreviewPixels / longer);
}

std::optional<PreviewRecording> RecordPreview(const CElem& elem, CRenderPass& pass, bool axisMode)
{
    const std::optional<RectF> extent = PreviewExtent(elem, axisMode);
    if (!extent)
        return std::nullopt;
    PreviewRecording preview;
    preview.extent = *extent;
    preview.renderScale = PreviewRenderScale(*extent);
    preview.yAxisUp = PreviewYAxisUp(elem);
    if (!KeepsRecording(elem)) {
        // Too big to keep a recording of: drawn again at each replay.
        const CPicture::DrawContent draw = [&elem, axisMode](CCanvas& canvas, CRenderPass& redraw) {
            RenderArgs args(redraw, elem);
            DrawPreview(elem, canvas, args, axisMode);
        };
        preview.picture = std::make_unique<CPicture>(
            draw, *extent, Matrix::Scale(preview.renderScale, preview.renderScale), false);
        return preview;
    }
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    {
        CCanvas canvas(recording);
        canvas.InheritCtm(Matrix::Scale(preview.renderScale, preview.renderScale));
        RenderArgs args(pass, elem);
        DrawPreview(elem, canvas, args, axisMode);
    }
    preview.picture = std::make_unique<CPicture>(recording, *extent);
    return preview;
}

std::optional<RectF> InkBounds(const CPicture& picture)
{
    if (picture.Empty())
        return std::nullopt;
    // Without a recording, what it covers is not known short of drawing it: its frame.
    if (picture.DrawnAtReplay())
        return picture.Frame();
    double x = 0, y = 0, width = 0, height = 0;
    cairo_recording_surface_ink_extents(picture.Recording(), &x, &y, &width, &height);
    if (!(width > 0) || !(height > 0))
        return std::nullopt;
    return RectF{static_cast<float>(x), static_cast<float>(y), static_cast<float>(width), static_cast<float>(height)};
}

std::optional<PrimitiveImages> ComputePrimitiveImages(const CElemFilterPrimitive& primitive, CRenderPass& pass,
                                                      double deviceScale)
{
    std::optional<KeptPrimitiveImages> kept = KeepPrimitiveImages(primitive, pass, deviceScale);
    if (!kept)
        return std::nullopt;
    return PrimitiveImages{std::move(kept->in), std::move(kept->in2), std::move(kept->result)};
}

}  // namespace svg
