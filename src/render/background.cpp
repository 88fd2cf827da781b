#include "render/background.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "render/render.h"

namespace svg {
namespace {

// Clip extents at least this wide (device pixels) come from an unbounded surface.
constexpr double kUnboundedExtent = 1 << 22;

Matrix CurrentMatrix(cairo_t* cr)
{
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    return FromCairo(m);
}

bool KeepsBackground(const CElemContainer& container, const CRenderPass& pass)
{
    return container.readsBackground && (container.background.isNew || !pass.backgrounds.empty());
}

}  // namespace

CBackgroundScope::CBackgroundScope(const CElemContainer& container, CCanvas& canvas, CRenderPass& pass)
    : pass_(pass)
{
    if (!KeepsBackground(container, pass))
        return;
    const Matrix toRecording = CurrentMatrix(canvas.Cairo());
    const std::optional<Matrix> fromRecording = toRecording.Inverse();
    if (!fromRecording)
        return;
    CRenderPass::BackgroundLayer layer;
    layer.container = &container;
    layer.recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    layer.recordingToDevice = Matrix::Multiply(*fromRecording, canvas.Ctm());
    layer.containerToRecording = toRecording;
    layer.isNew = container.background.isNew;
    layer.region = container.background.region;
    pass.backgrounds.push_back(layer);
    active_ = true;
}

CBackgroundScope::~CBackgroundScope()
{
    if (!active_)
        return;
    cairo_surface_destroy(pass_.backgrounds.back().recording);
    pass_.backgrounds.pop_back();
}

// The child is recorded once, in the canvas's device space, and the
// recording replayed onto the canvas and into the background: its effects
// are computed once.
void CBackgroundScope::RenderChild(const CElem& child, CCanvas& canvas, const RenderArgs& args)
{
    cairo_t* cr = canvas.Cairo();
    // The recording keeps the canvas's clip, so that a filter inside the
    // child computes only what can be seen, as it does when drawn directly.
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    cairo_restore(cr);
    const double left = std::floor(x1), top = std::floor(y1);
    const cairo_rectangle_t visible{left, top, std::max(0.0, std::ceil(x2) - left), std::max(0.0, std::ceil(y2) - top)};
    // An unclipped recording reports extents of millions of pixels: that is no bound.
    const bool bounded = visible.width < kUnboundedExtent && visible.height < kUnboundedExtent;
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, bounded ? &visible : nullptr);
    {
        CCanvas childCanvas(recording, canvas.Purpose());
        if (childCanvas.MultiplyTransform(CurrentMatrix(cr))) {
            childCanvas.InheritCtm(canvas.Ctm());
            Render(child, childCanvas, args);
        }
    }
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, recording, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_t* background = cairo_create(pass_.backgrounds.back().recording);
    cairo_set_source_surface(background, recording, 0, 0);
    cairo_paint(background);
    cairo_destroy(background);
    cairo_surface_destroy(recording);
}

std::unique_ptr<CRtBitmap> MakeBackgroundImage(const CRenderPass& pass, const Matrix& deviceToPixel,
                                               const PixelRect& rect)
{
    const std::vector<CRenderPass::BackgroundLayer>& layers = pass.backgrounds;
    std::size_t first = layers.size();
    while (first > 0 && !layers[first - 1].isNew)
        --first;
    if (first == 0)
        return nullptr;
    --first;
    std::unique_ptr<CRtBitmap> bitmap = CRtBitmap::Create(rect, false);
    if (!bitmap)
        return nullptr;
    CairoSurfacePtr surface = bitmap->WrapCairoSurface();
    if (!surface)
        return nullptr;
    cairo_t* cr = cairo_create(surface.get());
    const CRenderPass::BackgroundLayer& outer = layers[first];
    if (outer.region) {
        const Matrix regionToPixel = Matrix::Multiply(
            Matrix::Multiply(outer.containerToRecording, outer.recordingToDevice), deviceToPixel);
        const cairo_matrix_t m = ToCairo(regionToPixel);
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, outer.region->x, outer.region->y, outer.region->width, outer.region->height);
        cairo_identity_matrix(cr);
        cairo_clip(cr);
    }
    for (std::size_t i = first; i < layers.size(); ++i) {
        const cairo_matrix_t m = ToCairo(Matrix::Multiply(layers[i].recordingToDevice, deviceToPixel));
        cairo_set_matrix(cr, &m);
        cairo_set_source_surface(cr, layers[i].recording, 0, 0);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    surface.reset();
    return bitmap;
}

}  // namespace svg
