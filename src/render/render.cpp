#include "render/render.h"

#include <algorithm>
#include <cmath>

#include "model/conditional.h"
#include "model/stop_flags.h"
#include "render/clip_path.h"
#include "render/effects.h"
#include "values/number.h"

namespace svg {
namespace {

// Elements whose region is a viewport they clip to, and whose viewBoxMatrix
// maps their content into it.
bool EstablishesViewport(const CElem& elem)
{
    switch (elem.Id()) {
    case ElementId::svg:
    case ElementId::symbol:
    case ElementId::foreignObject:
    case ElementId::glyph:
    case ElementId::image: return elem.IsA(ElemClass::Container);
    default: return false;
    }
}

const Matrix* ViewBoxMatrix(const CElem& elem)
{
    if (!EstablishesViewport(elem))
        return nullptr;
    return &static_cast<const CElemContainer&>(elem).viewBoxMatrix;
}

bool ContributesToBounds(const CElem& child)
{
    return child.graphicsElement && child.props.display != Display::None;
}

std::optional<RectF> Union(const std::optional<RectF>& a, const std::optional<RectF>& b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    const float left = std::min(a->x, b->x);
    const float top = std::min(a->y, b->y);
    const float right = std::max(a->Right(), b->Right());
    const float bottom = std::max(a->Bottom(), b->Bottom());
    return RectF{left, top, right - left, bottom - top};
}

bool IsAxisAligned(const Matrix& m) { return m.m12 == 0 && m.m21 == 0; }

// Tight bounds of the element's geometry and its graphics descendants'
// mapped by `toSpace`. Under rotation or skew a box cannot simply be mapped
// (it would grow), so the geometry itself is mapped.
std::optional<RectF> BoundsIn(const CElem& elem, const Matrix& toSpace, unsigned depth)
{
    std::optional<RectF> bounds = elem.GetOutlineBounds(toSpace);
    if (depth > 512)
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

Matrix LocalToParent(const CElem& elem)
{
    Matrix local = elem.props.transform;
    if (const Matrix* viewBox = ViewBoxMatrix(elem))
        local = Matrix::Multiply(*viewBox, local);
    return local;
}

Matrix ElementToRoot(const CElem& elem)
{
    Matrix toRoot = LocalToParent(elem);
    for (const CElem* ancestor = elem.Parent(); ancestor != nullptr; ancestor = ancestor->Parent())
        toRoot = Matrix::Multiply(toRoot, LocalToParent(*ancestor));
    return toRoot;
}

void ComputeBounds(CElem& elem)
{
    if (elem.boundsComputed)
        return;
    for (CElem* child : elem.Children())
        ComputeBounds(*child);
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

void Render(CElem& elem, CCanvas& canvas, const RenderArgs& args)
{
    if (StopRequested())
        return;
    if (!elem.boundsComputed) {
        if (elem.prepState == PrepState::NotPrepared)
            elem.Prepare();
        ComputeBounds(elem);
    }
    if (!args.drawHidden && elem.props.display == Display::None)
        return;
    if (!TestConditions(elem))
        return;
    // A broken filter reference leaves the element undrawn.
    if (elem.props.filterFailed)
        return;

    const CanvasSaveGuard saved(canvas);
    // A singular transform (scale(0)) leaves nothing to see.
    if (!canvas.MultiplyTransform(elem.props.transform))
        return;
    // The element inside its viewport. Clip-path, mask, filter and opacity
    // work in the user space outside the viewBox, the one its own x, y,
    // width and height are given in.
    const auto drawInViewport = [&elem, &canvas, &args] {
        const CanvasSaveGuard viewportState(canvas);
        if (const Matrix* viewBox = ViewBoxMatrix(elem)) {
            if (ClipsOverflow(elem.props.overflow) && elem.Id() != ElementId::glyph &&
                !IsEmptyRect(elem.region))
                canvas.IntersectClip(elem.region);
            if (!canvas.MultiplyTransform(*viewBox))
                return;
        }
        elem.Draw(canvas, args);
    };
    const auto drawWithEffects = [&] { DrawWithEffects(elem, canvas, args, drawInViewport); };
    if (elem.props.clipPath != nullptr)
        DrawClipped(elem, canvas, drawWithEffects);
    else
        drawWithEffects();
}

CPicture::CPicture(cairo_surface_t* recording, RectF frame) : recording_(recording), frame_(frame) {}

CPicture::~CPicture()
{
    if (recording_ != nullptr)
        cairo_surface_destroy(recording_);
}

void CPicture::Replay(cairo_t* cr, const Matrix& userToDevice) const
{
    if (recording_ == nullptr)
        return;
    cairo_save(cr);
    const cairo_matrix_t m = ToCairo(userToDevice);
    cairo_transform(cr, &m);
    cairo_set_source_surface(cr, recording_, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

std::unique_ptr<CPicture> RecordDocument(CElemDocument& document, double deviceScale)
{
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    {
        CCanvas canvas(recording);
        canvas.InheritCtm(Matrix::Scale(deviceScale, deviceScale));
        RenderArgs args;
        args.emSize = Defaults().fontSize;
        args.exSize = Defaults().xHeight;
        Render(document, canvas, args);
    }
    return std::make_unique<CPicture>(recording, document.region);
}

}  // namespace svg
