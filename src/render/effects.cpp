#include "render/effects.h"

#include <algorithm>
#include <cmath>

#include "base/limits.h"
#include "model/document.h"
#include "model/messages.h"
#include "render/filter_effect.h"
#include "render/mask.h"
#include "render/render_pass.h"

namespace svg {
namespace {

bool RasterEffectsDisabled(const CElem& elem)
{
    const CElemDocument* document = elem.Document();
    return document != nullptr && document->Options().rasterEffectsDisabled;
}

// A shape whose picture is one cairo operation in one solid colour: a fill
// or a stroke, not both (the stroke would show the fill through it), no
// markers, no paint server, no squares added for zero-length subpaths.
bool PaintsOnceInSolidColor(const CElemShape& shape)
{
    const ResolvedProperties& style = shape.props;
    if (shape.paths.size() > 1 || style.fillPaintServer != nullptr || style.strokePaintServer != nullptr ||
        shape.markers != nullptr)
        return false;
    const bool fills = style.fillBrush && style.fillBrush->color.a > 0;
    const bool strokes = style.strokePen && style.strokePen->color.a > 0 && style.strokePen->width > 0;
    if (fills && strokes)
        return false;
    return !strokes || style.strokePen->cap != LineCap::Square;
}

// True when the element draws at most one solid-colour operation, through
// nothing but its own opacity: fading that operation's colour gives the
// pixels a group would. Groups qualify when their one graphics child does.
bool DrawsOneSolidOperation(const CElem& elem, unsigned depth)
{
    if (elem.props.clipPath != nullptr || elem.props.mask != nullptr || elem.props.filter != nullptr ||
        elem.readsBackground || depth > limits::kMaxFoldedGroupDepth)
        return false;
    if (elem.Class() == ElemClass::Shape)
        return PaintsOnceInSolidColor(static_cast<const CElemShape&>(elem));
    if (elem.Class() != ElemClass::Container || elem.Id() != ElementId::g)
        return false;
    const CElem* only = nullptr;
    for (const CElem* child : elem.Children()) {
        if (!child->graphicsElement)
            continue;
        if (only != nullptr)
            return false;
        only = child;
    }
    return only == nullptr || DrawsOneSolidOperation(*only, depth + 1);
}

// SVG: opacity fades the element's finished picture as one layer, so that
// overlapping parts do not show through each other. Where the picture is
// one operation there is nothing to overlap, and the fade goes into its
// colour instead of an intermediate surface (unless a clip edge would then
// count once where the group counts it twice). `clipFitted`: the caller
// has cut the clip to the element's paint box already.
void DrawFaded(const CElem& elem, CCanvas& canvas, const RenderArgs& args, bool mayFold, bool clipFitted,
               const std::function<void()>& draw)
{
    const float opacity = elem.props.opacity;
    if (opacity >= 1) {
        draw();
        return;
    }
    const auto drawFolded = [&] {
        const double outer = canvas.PaintAlpha();
        canvas.SetPaintAlpha(outer * opacity);
        draw();
        canvas.SetPaintAlpha(outer);
    };
    const bool shortcuts = args.pass.surfaceShortcuts;
    if (shortcuts && mayFold && DrawsOneSolidOperation(elem, 0) && canvas.ClipOnWholePixels()) {
        drawFolded();
        return;
    }
    const CCanvasSaveGuard saved(canvas);
    if (!clipFitted && !ClipToPaintBox(elem, canvas, args.pass))
        return;
    const CLayerCharge layer(args.pass, canvas.ClipPixelArea());
    if (!layer.Granted()) {
        args.pass.ReportLayerLimit(elem, msg::kLayersTooLargeFaded);
        drawFolded();
        return;
    }
    const bool fitted = shortcuts && elem.paintBoxKnown;
    canvas.BeginGroup(fitted || !shortcuts ? CCanvas::GroupExtent::Clip : CCanvas::GroupExtent::Ink);
    draw();
    canvas.EndGroup(opacity);
}

// The effects pass for an element with a mask or a filter: the filter turns
// the element's picture into its result, the mask masks that, and the
// opacity fades the masked result once. The mask's raster covers only
// what the element can touch.
void DrawFilteredAndMasked(const CElem& elem, CCanvas& canvas, const RenderArgs& args, const DrawOnCanvas& draw)
{
    const auto drawFiltered = [&] {
        if (elem.props.filter == nullptr)
            draw(canvas);
        else
            DrawThroughFilter(elem, canvas, args, draw);
    };
    const auto drawMasked = [&] {
        const CElem* mask = elem.props.mask;
        if (mask == nullptr || !mask->IsA(ElemClass::Mask)) {
            drawFiltered();
            return;
        }
        args.pass.filters.rasterEffectsDrawn = true;
        DrawMasked(static_cast<const CElemMask&>(*mask), elem, ObjectBoundingBox(elem), canvas, args, drawFiltered);
    };
    const CCanvasSaveGuard saved(canvas);
    if (!ClipToPaintBox(elem, canvas, args.pass))
        return;
    DrawFaded(elem, canvas, args, false, true, drawMasked);
}

}  // namespace

std::optional<RectF> ObjectBoundingBox(const CElem& elem)
{
    // The box of an svg or symbol is computed inside its viewBox, which only
    // scales and translates.
    const bool insideViewBox =
        elem.IsA(ElemClass::Container) && (elem.Id() == ElementId::svg || elem.Id() == ElementId::symbol);
    if (!elem.bboxUser || !insideViewBox)
        return elem.bboxUser;
    const Matrix& m = static_cast<const CElemContainer&>(elem).viewBoxMatrix;
    const RectF& box = *elem.bboxUser;
    const double x1 = box.x * m.m11 + m.dx, x2 = box.Right() * m.m11 + m.dx;
    const double y1 = box.y * m.m22 + m.dy, y2 = box.Bottom() * m.m22 + m.dy;
    return RectF{static_cast<float>(std::min(x1, x2)), static_cast<float>(std::min(y1, y2)),
                 static_cast<float>(std::fabs(x2 - x1)), static_cast<float>(std::fabs(y2 - y1))};
}

std::optional<RectF> PaintBox(const CElem& elem)
{
    if (!elem.paintBoxKnown || !elem.paintBoxUser)
        return std::nullopt;
    const bool insideViewBox =
        elem.IsA(ElemClass::Container) && (elem.Id() == ElementId::svg || elem.Id() == ElementId::symbol);
    if (!insideViewBox)
        return elem.paintBoxUser;
    return MapRectBounds(*elem.paintBoxUser, static_cast<const CElemContainer&>(elem).viewBoxMatrix);
}

bool ClipToPaintBox(const CElem& elem, CCanvas& canvas, const CRenderPass& pass)
{
    if (!pass.surfaceShortcuts || !elem.paintBoxKnown)
        return true;
    const std::optional<RectF> box = PaintBox(elem);
    const bool visible = box && canvas.ClipToBox(*box);
    // What is drawn unseen still records its conditions and reports its problems.
    return visible || pass.Log() != nullptr || pass.Conditions() != nullptr;
}

void DrawWithEffects(const CElem& elem, CCanvas& canvas, const RenderArgs& args, const DrawOnCanvas& draw)
{
    if (elem.props.opacity <= 0)
        return;
    const bool rasterEffects = elem.props.mask != nullptr || elem.props.filter != nullptr;
    if (rasterEffects && !RasterEffectsDisabled(elem))
        DrawFilteredAndMasked(elem, canvas, args, draw);
    else
        DrawFaded(elem, canvas, args, !rasterEffects, false, [&] { draw(canvas); });
}

}  // namespace svg
