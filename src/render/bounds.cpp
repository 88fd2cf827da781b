// Object bounds: each element's box with its graphics descendants, in its own
// user space and in its parent's, computed once after preparation; the box
// its drawing can touch; and whether a descendant reads the background its
// containers draw.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/limits.h"
#include "render/prepare.h"
#include "render/render.h"

namespace svg {
namespace {

bool ContributesToBounds(const CElem& child)
{
    return child.graphicsElement && child.props.display != Display::None;
}

bool IsAxisAligned(const Matrix& m) { return m.m12 == 0 && m.m21 == 0; }

// Tight bounds of the element's geometry and its graphics descendants'
// mapped by `toSpace`. Under rotation or skew a box cannot simply be mapped
// (it would grow), so the geometry itself is mapped.
std::optional<RectF> BoundsIn(const CElem& elem, const Matrix& toSpace, unsigned depth)
{
    std::optional<RectF> bounds = OutlineBounds(elem, toSpace);
    if (depth > limits::kMaxPrepareNesting)
        return bounds;
    for (const CElem* child : elem.Children()) {
        if (!ContributesToBounds(*child))
            continue;
        const Matrix childToSpace = Matrix::Multiply(LocalToParent(*child), toSpace);
        if (IsAxisAligned(childToSpace) && child->boundsComputed) {
            if (child->bboxUser)
                bounds = Union(bounds, MapRectBounds(*child->bboxUser, childToSpace));
        } else {
            bounds = Union(bounds, BoundsIn(*child, childToSpace, depth + 1));
        }
    }
    return bounds;
}

// How far a stroke can reach beyond the outline: half its width, times the
// miter limit at sharp joins, or half a square cap's diagonal.
double StrokeReach(const StrokePen& pen)
{
    double factor = std::numbers::sqrt2;
    if (pen.join == LineJoin::Miter)
        factor = std::max<double>(factor, pen.miterLimit);
    return pen.width / 2.0 * factor;
}

bool IsFiniteBox(const RectF& box)
{
    return std::isfinite(box.x) && std::isfinite(box.y) && std::isfinite(box.Right()) && std::isfinite(box.Bottom());
}

// Fills in paintBoxUser once the children have theirs. Markers, text and
// images can draw beyond their box, and a filter or a background anywhere:
// those, and every container holding one, stay unknown.
void ComputePaintBox(CElem& elem)
{
    elem.paintBoxKnown = false;
    elem.paintBoxUser.reset();
    if (elem.props.filter != nullptr || elem.readsBackground)
        return;
    // Text is a shape too, but its glyphs reach beyond their cells.
    if (elem.Class() == ElemClass::Shape) {
        const auto& shape = static_cast<const CElemShape&>(elem);
        const StrokePen* pen = shape.props.strokePen ? &*shape.props.strokePen : nullptr;
        if (!shape.MarkerVertices().empty() || (pen == nullptr && shape.props.strokePaintServer != nullptr))
            return;
        if (elem.bboxUser) {
            const double reach = pen != nullptr ? StrokeReach(*pen) : 0;
            if (!std::isfinite(reach))
                return;
            const RectF& box = *elem.bboxUser;
            elem.paintBoxUser = RectF{static_cast<float>(box.x - reach), static_cast<float>(box.y - reach),
                                      static_cast<float>(box.width + 2 * reach),
                                      static_cast<float>(box.height + 2 * reach)};
        }
    } else {
        const bool group = elem.Class() == ElemClass::Container || elem.Class() == ElemClass::Document;
        if (!group || elem.Id() == ElementId::foreignObject)
            return;
        // Hidden children count too: marker content draws them.
        for (const CElem* child : elem.Children()) {
            if (!child->graphicsElement)
                continue;
            if (!child->paintBoxKnown)
                return;
            if (child->paintBoxUser)
                elem.paintBoxUser =
                    Union(elem.paintBoxUser, MapRectBounds(*child->paintBoxUser, LocalToParent(*child)));
        }
    }
    if (elem.paintBoxUser && !IsFiniteBox(*elem.paintBoxUser)) {
        elem.paintBoxUser.reset();
        return;
    }
    elem.paintBoxKnown = true;
}

}  // namespace

void ComputeBounds(CElem& elem)
{
    if (elem.boundsComputed)
        return;
    const CElem* filter = elem.props.filter;
    elem.readsBackground = filter != nullptr && filter->Class() == ElemClass::Filter &&
                           static_cast<const CElemFilter*>(filter)->readsBackground;
    for (CElem* child : elem.Children()) {
        ComputeBounds(*child);
        elem.readsBackground = elem.readsBackground || child->readsBackground;
    }
    elem.bboxUser = BoundsIn(elem, Matrix{}, 0);
    const Matrix toParent = LocalToParent(elem);
    if (!elem.bboxUser)
        elem.bboxParent.reset();
    else if (IsAxisAligned(toParent))
        elem.bboxParent = MapRectBounds(*elem.bboxUser, toParent);
    else
        elem.bboxParent = BoundsIn(elem, toParent, 0);
    ComputePaintBox(elem);
    elem.boundsComputed = true;
}

}  // namespace svg
