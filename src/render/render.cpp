#include "render/render.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/conditional.h"
#include "render/clip_path.h"
#include "render/container.h"
#include "render/effects.h"
#include "render/image.h"
#include "render/marker.h"
#include "render/shape.h"
#include "render/text.h"

namespace svg {
namespace {

// The element's own drawing, once Render has applied its transform, clip and
// viewport.
void DrawElement(const CElem& elem, CCanvas& canvas, const RenderArgs& args)
{
    switch (elem.Class()) {
    case ElemClass::Container:
    case ElemClass::Document:
    case ElemClass::Mask:
    case ElemClass::Glyph: DrawContainer(static_cast<const CElemContainer&>(elem), canvas, args); break;
    case ElemClass::Image: DrawImage(static_cast<const CElemImage&>(elem), canvas, args); break;
    case ElemClass::Marker: DrawMarkerContent(static_cast<const CElemMarker&>(elem), canvas, args); break;
    case ElemClass::Shape: DrawShape(static_cast<const CElemShape&>(elem), canvas, args); break;
    case ElemClass::Text: DrawText(static_cast<const CElemText&>(elem), canvas, args); break;
    // Paint servers are drawn only through the shapes that reference them,
    // clip paths through the elements they clip, filters by their users.
    case ElemClass::Paint:
    case ElemClass::Gradient:
    case ElemClass::Pattern:
    case ElemClass::Elem:
    case ElemClass::ClipPath:
    case ElemClass::Filter:
    case ElemClass::FilterPrimitive:
    case ElemClass::Font:
    case ElemClass::AltGlyphDef:
    case ElemClass::ColorProfile:
    case ElemClass::String:
    case ElemClass::Comment: break;
    }
}

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

std::optional<RectF> OutlineBounds(const CElem& elem, const Matrix& toSpace)
{
    switch (elem.Class()) {
    case ElemClass::Image: return ImageOutlineBounds(static_cast<const CElemImage&>(elem), toSpace);
    case ElemClass::Shape: return ShapeOutlineBounds(static_cast<const CElemShape&>(elem), toSpace);
    case ElemClass::Text: return TextOutlineBounds(static_cast<const CElemText&>(elem), toSpace);
    default: return std::nullopt;
    }
}

const CElem* HitTest(const CElem& elem, double x, double y, CRenderPass& pass)
{
    switch (elem.Class()) {
    case ElemClass::Container:
    case ElemClass::Document:
    case ElemClass::Marker:
    case ElemClass::Mask:
    case ElemClass::Glyph:
    case ElemClass::Paint:
    case ElemClass::Gradient:
    case ElemClass::Pattern: return HitTestContainer(static_cast<const CElemContainer&>(elem), x, y, pass);
    case ElemClass::Image: return HitTestImage(static_cast<const CElemImage&>(elem), x, y);
    case ElemClass::Shape: return HitTestShape(static_cast<const CElemShape&>(elem), x, y, pass);
    case ElemClass::Text: return HitTestText(static_cast<const CElemText&>(elem), x, y);
    default: return nullptr;
    }
}

namespace {

// True when what the element can draw, mapped into the parent's user space
// (the canvas's), lies wholly outside the clip's extents. Only for a known
// paint box, on an ordinary canvas, with no background being gathered (a
// filter may read a background beyond the clip).
bool MissesClip(const CElem& elem, const CCanvas& canvas, const CRenderPass& pass)
{
    if (!elem.paintBoxKnown || !pass.backgrounds.empty() || canvas.Purpose() != CanvasPurpose::Ordinary)
        return false;
    const std::optional<RectF> box = PaintBox(elem);
    if (!box)
        return false;
    const RectF inParent = MapRectBounds(*box, elem.props.transform);
    double left = 0, top = 0, right = 0, bottom = 0;
    cairo_clip_extents(canvas.Cairo(), &left, &top, &right, &bottom);
    // Comparisons with NaN are false: an unbounded box is drawn.
    return inParent.Right() < left || inParent.x > right || inParent.Bottom() < top || inParent.y > bottom;
}

// Every this many elements drawn onto a pass's dropped drawing, its commands go.
constexpr unsigned kElementsPerDrop = 64;

// Drops what the pass has drawn onto its dropped drawing, once enough is
// there and the canvas draws onto the drawing itself (not into a group).
void DropDrawn(const CCanvas& canvas, CRenderPass& pass)
{
    CRenderPass::DroppedDrawing& dropped = pass.dropped;
    if (dropped.target == nullptr || ++dropped.drawnSinceDrop < kElementsPerDrop)
        return;
    if (cairo_get_group_target(canvas.Cairo()) != dropped.target)
        return;
    dropped.drawnSinceDrop = 0;
    // Clearing an unclipped recording discards its commands.
    cairo_paint(dropped.clearer);
}

// Render, in the parent's user space (`ownSpace` false) or in the element's
// own (without its transform, and for an element with a viewBox in the
// viewBox's coordinates, without the viewport's clip and effects, which
// belong to the viewport's space).
void RenderIn(const CElem& elem, CCanvas& canvas, const RenderArgs& args, bool ownSpace)
{
    if (args.pass.StopRequested())
        return;
    if (!args.drawHidden && elem.props.display == Display::None)
        return;
    if (CConditionalValues* conditions = args.pass.Conditions())
        conditions->RecordElement(elem);
    if (elem.excluded)
        return;
    // A broken filter reference leaves the element undrawn.
    if (elem.props.filterFailed)
        return;
    if (args.pass.cullUnseen && !ownSpace && MissesClip(elem, canvas, args.pass))
        return;

    const CCanvasSaveGuard saved(canvas);
    if (ownSpace && ViewBoxMatrix(elem) != nullptr) {
        DrawElement(elem, canvas, args);
        return;
    }
    // A singular transform (scale(0)) leaves nothing to see.
    if (!ownSpace && !canvas.MultiplyTransform(elem.props.transform))
        return;
    // The element inside its viewport. Clip-path, mask, filter and opacity
    // work in the user space outside the viewBox, the one its own x, y,
    // width and height are given in.
    const auto drawInViewport = [&elem, &args](CCanvas& target) { DrawInViewport(elem, target, args); };
    const auto drawWithEffects = [&] { DrawWithEffects(elem, canvas, args, drawInViewport); };
    if (elem.props.clipPath != nullptr)
        DrawClipped(elem, canvas, args.pass, drawWithEffects);
    else
        drawWithEffects();
}

}  // namespace

void DrawInViewport(const CElem& elem, CCanvas& canvas, const RenderArgs& args)
{
    const CCanvasSaveGuard viewportState(canvas);
    if (const Matrix* viewBox = ViewBoxMatrix(elem)) {
        if (ClipsOverflow(elem.props.overflow) && elem.Id() != ElementId::glyph && !IsEmptyRect(elem.region))
            canvas.IntersectClip(elem.region);
        if (!canvas.MultiplyTransform(*viewBox))
            return;
    }
    DrawElement(elem, canvas, args);
}

void Render(const CElem& elem, CCanvas& canvas, const RenderArgs& args)
{
    RenderIn(elem, canvas, args, false);
    DropDrawn(canvas, args.pass);
}

void RenderInOwnSpace(const CElem& elem, CCanvas& canvas, const RenderArgs& args)
{
    RenderIn(elem, canvas, args, true);
}

CPicture::CPicture(cairo_surface_t* recording, RectF frame, const CElemDocument* document,
                   const Matrix& recordedToDevice, bool rasterEffects)
    : recording_(recording), frame_(frame), document_(document), recordedToDevice_(recordedToDevice),
      rasterEffects_(rasterEffects)
{
}

CPicture::CPicture(DrawContent draw, RectF frame, const Matrix& recordedToDevice, bool rasterEffects)
    : frame_(frame), recordedToDevice_(recordedToDevice), rasterEffects_(rasterEffects), draw_(std::move(draw))
{
}

std::unique_ptr<CPicture> CPicture::Reframed(RectF frame) const
{
    if (draw_)
        return std::make_unique<CPicture>(draw_, frame, recordedToDevice_, rasterEffects_);
    return std::make_unique<CPicture>(recording_ != nullptr ? cairo_surface_reference(recording_) : nullptr, frame,
                                      document_, recordedToDevice_, rasterEffects_);
}

CPicture::~CPicture()
{
    if (recording_ != nullptr)
        cairo_surface_destroy(recording_);
}

namespace {

bool NearlyEqual(double a, double b) { return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(b)); }

bool WholeNumber(double value) { return std::fabs(value - std::round(value)) <= 1e-4; }

}  // namespace

// The recording's bitmaps fall on the target's pixels one to one when the
// target maps the picture as it was recorded, up to whole pixels aside.
bool CPicture::RedrawsFor(cairo_t* cr) const
{
    if (!rasterEffects_ || document_ == nullptr || cairo_surface_get_type(cairo_get_target(cr)) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    cairo_matrix_t current;
    cairo_get_matrix(cr, &current);
    const Matrix& recorded = recordedToDevice_;
    const bool sameScale = NearlyEqual(current.xx, recorded.m11) && NearlyEqual(current.yx, recorded.m12) &&
                           NearlyEqual(current.xy, recorded.m21) && NearlyEqual(current.yy, recorded.m22);
    return !sameScale || !WholeNumber(current.x0 - recorded.dx) || !WholeNumber(current.y0 - recorded.dy);
}

void CPicture::Redraw(cairo_t* cr, const CStopToken& stop) const
{
    // Nothing is reported again: the document pass has said it all.
    CRenderPass pass(nullptr, stop);
    pass.cullUnseen = true;
    CCanvas canvas(cr);
    if (cairo_surface_get_type(cairo_get_target(cr)) == CAIRO_SURFACE_TYPE_IMAGE) {
        cairo_matrix_t current;
        cairo_get_matrix(cr, &current);
        canvas.InheritCtm(FromCairo(current));
    } else {
        // Raster effects at the resolution a recording would have had them.
        canvas.InheritCtm(recordedToDevice_);
    }
    if (draw_) {
        draw_(canvas, pass);
        return;
    }
    RenderArgs args(pass, *document_);
    Render(*document_, canvas, args);
}

void CPicture::Replay(cairo_t* cr, const Matrix& userToDevice, const CStopToken& stop) const
{
    if (Empty())
        return;
    cairo_save(cr);
    const cairo_matrix_t m = ToCairo(userToDevice);
    cairo_transform(cr, &m);
    if (draw_ || RedrawsFor(cr)) {
        Redraw(cr, stop);
    } else {
        cairo_set_source_surface(cr, recording_, 0, 0);
        cairo_paint(cr);
    }
    cairo_restore(cr);
}

namespace {

void DrawDocumentOn(const CElemDocument& document, CCanvas& canvas, CRenderPass& pass)
{
    RenderArgs args(pass, document);
    Render(document, canvas, args);
}

}  // namespace

void DrawDocument(const CElemDocument& document, cairo_t* cr, CRenderPass& pass, const Matrix& userToDevice)
{
    cairo_save(cr);
    const cairo_matrix_t m = ToCairo(userToDevice);
    cairo_transform(cr, &m);
    {
        CCanvas canvas(cr);
        cairo_matrix_t current;
        cairo_get_matrix(cr, &current);
        canvas.InheritCtm(FromCairo(current));
        DrawDocumentOn(document, canvas, pass);
    }
    cairo_restore(cr);
}

void DrawDocumentUnreported(const CElemDocument& document, cairo_t* cr, const Matrix& userToDevice,
                            const CStopToken& stop)
{
    CRenderPass pass(nullptr, stop);
    pass.cullUnseen = true;
    DrawDocument(document, cr, pass, userToDevice);
}

std::unique_ptr<CPicture> RecordDocument(const CElemDocument& document, CRenderPass& pass,
                                         const Matrix& recordedToDevice)
{
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    {
        CCanvas canvas(recording);
        canvas.InheritCtm(recordedToDevice);
        DrawDocumentOn(document, canvas, pass);
    }
    return std::make_unique<CPicture>(recording, document.region, &document, recordedToDevice,
                                      pass.filters.rasterEffectsDrawn);
}

std::unique_ptr<CPicture> PassDocument(const CElemDocument& document, CRenderPass& pass,
                                       const Matrix& recordedToDevice)
{
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* clearer = cairo_create(recording);
    cairo_set_operator(clearer, CAIRO_OPERATOR_CLEAR);
    pass.dropped = {recording, clearer, 0};
    {
        CCanvas canvas(recording);
        canvas.InheritCtm(recordedToDevice);
        DrawDocumentOn(document, canvas, pass);
    }
    pass.dropped = {};
    cairo_destroy(clearer);
    cairo_surface_destroy(recording);
    const CPicture::DrawContent draw = [&document](CCanvas& target, CRenderPass& redraw) {
        DrawDocumentOn(document, target, redraw);
    };
    return std::make_unique<CPicture>(draw, document.region, recordedToDevice, pass.filters.rasterEffectsDrawn);
}

std::size_t CountDrawnElements(const CElem& root, std::size_t limit)
{
    std::size_t count = 0;
    std::vector<const CElem*> pending{&root};
    while (!pending.empty() && count <= limit) {
        const CElem* elem = pending.back();
        pending.pop_back();
        switch (elem->Class()) {
        case ElemClass::Shape:
        case ElemClass::Text:
        case ElemClass::Image: ++count; break;
        default: break;
        }
        for (const CElem* child : elem->Children())
            pending.push_back(child);
    }
    return std::min(count, limit + 1);
}

bool KeepsRecording(const CElem& root)
{
    return CountDrawnElements(root, kMaxRecordedElements) <= kMaxRecordedElements;
}

std::unique_ptr<CPicture> RecordDocument(const CElemDocument& document, CRenderPass& pass, double deviceScale)
{
    return RecordDocument(document, pass, Matrix::Scale(deviceScale, deviceScale));
}

}  // namespace svg
