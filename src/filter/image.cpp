#include "filter/image.h"

#include <memory>

namespace svg {

namespace {

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

}  // namespace

bool PlaceImage(CRtBitmap& target, cairo_surface_t* image, const Matrix& imageToPixel)
{
    if (image == nullptr || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS || !imageToPixel.IsFinite() ||
        !imageToPixel.Inverse())
        return false;
    CairoSurfacePtr surface = target.WrapCairoSurface();
    if (!surface)
        return false;
    const std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(surface.get()));
    const cairo_matrix_t matrix{imageToPixel.m11, imageToPixel.m12, imageToPixel.m21,
                                imageToPixel.m22, imageToPixel.dx,  imageToPixel.dy};
    cairo_transform(cr.get(), &matrix);
    cairo_set_source_surface(cr.get(), image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    if (cairo_surface_get_type(image) == CAIRO_SURFACE_TYPE_IMAGE) {
        // Sampling near the border must not blend in the transparent outside:
        // the edge pixels extend, and the clip gives the image its exact
        // (antialiased) outline.
        cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
        cairo_rectangle(cr.get(), 0, 0, cairo_image_surface_get_width(image), cairo_image_surface_get_height(image));
        cairo_clip(cr.get());
    }
    cairo_paint(cr.get());
    const bool drawn = cairo_status(cr.get()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_flush(surface.get());
    return drawn;
}

}  // namespace svg
