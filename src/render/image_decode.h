// Raster image decoding in memory. PNG, JPEG, GIF (its first frame), TIFF
// (its first page) and BMP are told apart by their first bytes, whatever a
// file name or media type claims, and decoded into a premultiplied cairo
// ARGB32 surface in sRGB: an embedded ICC profile (PNG iCCP, JPEG APP2, TIFF)
// is converted through lcms2, and a PNG's own gamma is corrected.
//
// Safety: every decoder checks the declared size against limits.h before it
// allocates the picture, reads only inside the bytes it was given, and turns
// corrupt or truncated data into a failure (null), never a crash or a partly
// drawn picture. No shared state: decoders may run on several threads at once.
#pragma once

#include <cairo.h>

#include <memory>
#include <string_view>

namespace svg {

// A decoded picture, one pixel a user unit: immutable once made and shared
// by every element that shows it.
class CRasterImage {
public:
    // Takes over the reference to `surface`, a cairo ARGB32 image surface.
    explicit CRasterImage(cairo_surface_t* surface) : surface_(surface) {}
    ~CRasterImage() { cairo_surface_destroy(surface_); }
    CRasterImage(const CRasterImage&) = delete;
    CRasterImage& operator=(const CRasterImage&) = delete;

    cairo_surface_t* Surface() const { return surface_; }
    int Width() const { return cairo_image_surface_get_width(surface_); }
    int Height() const { return cairo_image_surface_get_height(surface_); }

private:
    cairo_surface_t* surface_;
};

enum class RasterFormat { Unknown, Png, Jpeg, Gif, Tiff, Bmp };

// The format by the data's signature.
RasterFormat SniffRasterFormat(std::string_view bytes);

// The decoded picture, or null when the data is no supported image, is
// damaged or truncated, or declares more pixels than limits.h allows.
std::shared_ptr<const CRasterImage> DecodeRasterImage(std::string_view bytes);

}  // namespace svg
