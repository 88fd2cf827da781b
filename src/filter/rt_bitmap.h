// CRtBitmap: the raster image every filter primitive computes on. Pixels are
// premultiplied ARGB in cairo's CAIRO_FORMAT_ARGB32 layout (filter/pixel.h):
// one native-endian 32-bit word 0xAARRGGBB a pixel, rows Stride() bytes apart,
// the stride cairo asks for, so a bitmap can be wrapped as a cairo image
// surface without copying and filled by drawing on it. Colour is in whatever
// space the filter works in (sRGB or linear light; filter/color_space.h
// converts). The bitmap's pixel (0, 0) is pixel (Rect().x, Rect().y) of the
// filter's pixel space.
//
// Ownership: Create, Clone and FromCairoSurface make an owning bitmap; View
// makes a bitmap that shares its source's pixels. The pixels live as long as
// any bitmap or wrapping cairo surface that shares them, so they may be
// destroyed in any order. Regions are values: every bitmap holds its own copy.
//
// Failure: a bitmap that cannot be made (empty or oversized rectangle, no
// memory, unusable cairo surface) is returned as null and nothing is reported;
// the caller, which knows the element, reports. A bitmap is used by one thread
// at a time, except that primitives may read it from several of their own
// worker threads while nobody writes it.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "base/stop_token.h"

namespace svg {

inline constexpr int kBytesPerPixel = 4;

// A rectangle of whole device pixels; empty when width or height is not
// positive.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The pixel rectangle covering a real device-space rectangle. An edge within
// 0.05 pixel of a whole number snaps to it instead of adding a row or column
// of pixels. NaN gives an empty rectangle; edges are clamped to the range
// cairo can address, so the result never overflows an int.
PixelRect ToPixelRect(double x, double y, double width, double height);

// The common part of `a` and `b` in `out`; false when it is empty.
bool IntersectPixelRects(const PixelRect& a, const PixelRect& b, PixelRect& out);

// True when a bitmap of `rect` may be made: not empty, within the limits on
// bitmap size, and every pixel's coordinates within an int.
bool IsWithinBitmapLimits(const PixelRect& rect);

// An area of device pixels made of axis-aligned rectangles, backed by a
// cairo_region_t. A default-constructed region is empty. Filter results are
// defined on their subregions, which are rectangles, and on unions and
// intersections of them; a non-rectangular clip is already applied to the
// canvas when a filter result is drawn, so rectangles suffice here. A region
// whose operation ran out of memory acts as empty.
class CPixelRegion {
public:
    CPixelRegion();
    explicit CPixelRegion(const PixelRect& rect);
    CPixelRegion(const CPixelRegion& other);
    CPixelRegion& operator=(const CPixelRegion& other);
    ~CPixelRegion();

    // False when memory ran out; the region is then empty.
    bool Union(const CPixelRegion& other);
    bool Intersect(const CPixelRegion& other);

    bool IsEmpty() const;
    bool Contains(int x, int y) const;
    PixelRect Extents() const;
    // The rectangles, disjoint, in y-x order: for clipping a drawing to the
    // region.
    int RectCount() const;
    PixelRect RectAt(int index) const;

private:
    cairo_region_t* region_;
};

struct CairoSurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

class CRtBitmap final {
public:
    // A bitmap of `rect`, all pixels transparent black, content defined
    // everywhere. Null when the rectangle is empty or beyond the limits, or
    // memory runs out.
    static std::unique_ptr<CRtBitmap> Create(const PixelRect& rect, bool alphaOnly);
    // A bitmap sharing `source`'s pixels, with its rectangle and region.
    static std::unique_ptr<CRtBitmap> View(const CRtBitmap& source, bool alphaOnly);
    // A bitmap of `rect` from a cairo ARGB32 image surface whose pixel (0, 0)
    // lands on the rectangle's top-left pixel; the overlap is copied as it is
    // (both are premultiplied), the rest stays transparent. With alphaOnly
    // only alpha is copied. Null for another kind of surface or as Create.
    static std::unique_ptr<CRtBitmap> FromCairoSurface(cairo_surface_t* surface, const PixelRect& rect,
                                                       bool alphaOnly);

    // An owning copy of the pixels, rectangle, alphaOnly flag and region; null
    // when memory runs out.
    std::unique_ptr<CRtBitmap> Clone() const;

    // A new ARGB32 image surface holding a copy of the pixels, for drawing
    // them at Rect(). An alphaOnly bitmap gives zero colour (black at its
    // alpha), so colour it may share with its source never shows. Null when
    // cairo cannot make the surface.
    CairoSurfacePtr ToCairoSurface() const;
    // An ARGB32 image surface on this bitmap's own pixels, no copy: drawing on
    // it fills the bitmap, and it can be a source. Its device offset makes
    // cairo coordinates filter pixel coordinates (Rect().x, Rect().y is the
    // first pixel). The surface keeps the pixels alive; it shows the stored
    // colour even for an alphaOnly view. Call cairo_surface_flush before the
    // bitmap's pixels are read again. Null when cairo refuses.
    CairoSurfacePtr WrapCairoSurface();

    const PixelRect& Rect() const { return rect_; }
    int Width() const { return rect_.width; }
    int Height() const { return rect_.height; }
    std::size_t PixelCount() const
    {
        return static_cast<std::size_t>(rect_.width) * static_cast<std::size_t>(rect_.height);
    }
    // True when only alpha carries information: colour is then read as zero.
    bool AlphaOnly() const { return alphaOnly_; }
    // False for a view.
    bool OwnsPixels() const { return ownsPixels_; }

    // Bytes from one row to the next.
    std::size_t Stride() const { return stride_; }
    std::uint8_t* Data() { return pixels_.get(); }
    const std::uint8_t* Data() const { return pixels_.get(); }
    // Row y of the bitmap, 0 <= y < Height(): Width() pixels.
    std::uint32_t* Row(int y);
    const std::uint32_t* Row(int y) const;
    // The pixel at (x, y) of the filter's pixel space; transparent black
    // outside Rect(), zero colour when alphaOnly.
    std::uint32_t PixelAt(int xPx, int yPx) const;

    // Where the content is defined; null means everywhere.
    const CPixelRegion* Region() const { return region_ ? &*region_ : nullptr; }
    // Content defined nowhere.
    void ClearRegion();
    // Grows the region by `other`, where null means everywhere. A bitmap
    // defined everywhere stays so, whatever the order of the unions: combining
    // inputs starts from ClearRegion and unites each input's region.
    void UnionRegion(const CPixelRegion* other);
    // Shrinks the region to its common part with `other`; null (everywhere)
    // changes nothing, and a bitmap defined everywhere takes a copy.
    void IntersectRegion(const CPixelRegion* other);

private:
    CRtBitmap(std::shared_ptr<std::uint8_t[]> pixels, const PixelRect& rect, std::size_t stride, bool alphaOnly,
              bool ownsPixels);

    std::shared_ptr<std::uint8_t[]> pixels_;
    PixelRect rect_;
    std::size_t stride_;
    bool alphaOnly_;
    bool ownsPixels_;
    std::optional<CPixelRegion> region_;
};

// A missing bitmap counts as alpha-only: it contributes no colour.
inline bool IsAlphaOnly(const CRtBitmap* bitmap) { return bitmap == nullptr || bitmap->AlphaOnly(); }

// Copies `count` pixels of row yPx of `in`, starting at column xPx (filter
// pixel space), into `out`. Pixels outside in's rectangle are transparent
// black, and an alphaOnly bitmap gives zero colour; a null `in` gives a
// transparent row. How every primitive reads its inputs.
// Coordinates are wide so that a reach beyond the int range stays defined.
void ReadPixelSpan(const CRtBitmap* in, long long xPx, long long yPx, int count, std::uint32_t* out);

// A new bitmap of `rect` holding `in` as ReadPixelSpan reads it: the input
// cut or padded to the rectangle. alphaOnly as the input (false for null).
// Null as CRtBitmap::Create.
std::unique_ptr<CRtBitmap> CopyToRect(const CRtBitmap* in, const PixelRect& rect);

// Fades the bitmap by `factor` (clamped to 0..1, NaN fades out): every
// channel of the premultiplied pixels is scaled, so the unpremultiplied colour
// stays. Group opacity fades, it never changes colour. Writes through to the
// pixels a view shares; stops at the next row once `stop` is set.
void ScaleAlpha(CRtBitmap& bitmap, float factor, const CStopToken& stop);

}  // namespace svg
