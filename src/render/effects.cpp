#include "render/effects.h"

#include <algorithm>
#include <cmath>

#include "model/document.h"
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

// SVG: opacity fades the element's finished picture as one layer, so that
// overlapping parts do not show through each other.
void DrawFaded(CCanvas& canvas, float opacity, const std::function<void()>& draw)
{
    if (opacity >= 1) {
        draw();
        return;
    }
    canvas.BeginGroup();
    draw();
    canvas.EndGroup(opacity);
}

// The effects pass for an element with a mask or a filter: the filter turns
// the element's picture into its result, the mask masks that, and the
// opacity fades the masked result once.
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
    DrawFaded(canvas, elem.props.opacity, drawMasked);
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

void DrawWithEffects(const CElem& elem, CCanvas& canvas, const RenderArgs& args, const DrawOnCanvas& draw)
{
    if (elem.props.opacity <= 0)
        return;
    const bool rasterEffects = elem.props.mask != nullptr || elem.props.filter != nullptr;
    if (rasterEffects && !RasterEffectsDisabled(elem))
        DrawFilteredAndMasked(elem, canvas, args, draw);
    else
        DrawFaded(canvas, elem.props.opacity, [&] { draw(canvas); });
}

}  // namespace svg
