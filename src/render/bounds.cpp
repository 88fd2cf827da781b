// Object bounds: each element's box with its graphics descendants, in its own
// user space and in its parent's, computed once after preparation; and with
// them whether a descendant reads the background its containers draw.
#include <algorithm>

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
    elem.boundsComputed = true;
}

}  // namespace svg
