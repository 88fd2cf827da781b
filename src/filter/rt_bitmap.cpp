#include "filter/rt_bitmap.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "filter/pixel.h"
#include "base/limits.h"

namespace svg {

namespace {

// An edge this close to a whole pixel snaps to it: rounding noise in the
// transforms must not grow a bitmap by a row or column.
constexpr double kEdgeSnapPx = 0.05;
// cairo's 24.8 fixed-point coordinates end near 8.3 million pixels; nothing
// beyond can be drawn, and clamping there keeps right - left inside an int.
constexpr double kMaxPixelCoordinate = 1 << 23;

int ClampToInt(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }

// pixman computes x + width in int; keep that sum representable.
cairo_rectangle_int_t ToCairoRect(const PixelRect& rect)
{
    const auto width = std::min<long long>(rect.width, static_cast<long long>(INT_MAX) - rect.x);
    const auto height = std::min<long long>(rect.height, static_cast<long long>(INT_MAX) - rect.y);
    return {rect.x, rect.y, static_cast<int>(width), static_cast<int>(height)};
}

// cairo's stride for ARGB32 rows of `width` pixels; 0 when it has none.
std::size_t CairoStride(int width)
{
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    return stride > 0 ? static_cast<std::size_t>(stride) : 0;
}

std::shared_ptr<std::uint8_t[]> AllocatePixels(const PixelRect& rect, std::size_t stride)
{
    if (!IsWithinBitmapLimits(rect) || stride == 0)
        return nullptr;
    const std::size_t bytes = stride * static_cast<std::size_t>(rect.height);
    // calloc: large zeroed blocks come straight from fresh pages.
    auto* raw = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (raw == nullptr)
        return nullptr;
    return std::shared_ptr<std::uint8_t[]>(raw, [](std::uint8_t* pixels) { std::free(pixels); });
}

bool IsArgbImageSurface(cairo_surface_t* surface)
{
    return surface != nullptr && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
           cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE &&
           cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
}

}  // namespace

PixelRect ToPixelRect(double x, double y, double width, double height)
{
    const double left = std::floor(x + kEdgeSnapPx);
    const double top = std::floor(y + kEdgeSnapPx);
    const double right = std::ceil(x + width - kEdgeSnapPx);
    const double bottom = std::ceil(y + height - kEdgeSnapPx);
    if (std::isnan(left) || std::isnan(top) || std::isnan(right) || std::isnan(bottom))
        return {};
    const auto clamp = [](double edge) { return std::clamp(edge, -kMaxPixelCoordinate, kMaxPixelCoordinate); };
    const int leftPx = static_cast<int>(clamp(left));
    const int topPx = static_cast<int>(clamp(top));
    return {leftPx, topPx, static_cast<int>(clamp(right)) - leftPx, static_cast<int>(clamp(bottom)) - topPx};
}

bool IntersectPixelRects(const PixelRect& a, const PixelRect& b, PixelRect& out)
{
    const long long left = std::max(a.x, b.x);
    const long long top = std::max(a.y, b.y);
    const long long right = std::min<long long>(static_cast<long long>(a.x) + a.width,
                                                static_cast<long long>(b.x) + b.width);
    const long long bottom = std::min<long long>(static_cast<long long>(a.y) + a.height,
                                                 static_cast<long long>(b.y) + b.height);
    out = {static_cast<int>(left), static_cast<int>(top), ClampToInt(right - left), ClampToInt(bottom - top)};
    return !out.IsEmpty();
}

bool IsWithinBitmapLimits(const PixelRect& rect)
{
    if (rect.IsEmpty() || rect.width > limits::kMaxBitmapSide || rect.height > limits::kMaxBitmapSide)
        return false;
    // Every pixel's coordinates must fit an int.
    if (static_cast<long long>(rect.x) + rect.width > INT_MAX || static_cast<long long>(rect.y) + rect.height > INT_MAX)
        return false;
    return static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height) <=
           limits::kMaxBitmapPixels;
}

// ---- CPixelRegion ----

CPixelRegion::CPixelRegion() : region_(cairo_region_create()) {}

CPixelRegion::CPixelRegion(const PixelRect& rect)
{
    if (rect.IsEmpty()) {
        region_ = cairo_region_create();
        return;
    }
    const cairo_rectangle_int_t cairoRect = ToCairoRect(rect);
    region_ = cairo_region_create_rectangle(&cairoRect);
}

// cairo hands out an inert error region when memory runs out, never null, and
// every query treats it as empty.
CPixelRegion::CPixelRegion(const CPixelRegion& other) : region_(cairo_region_copy(other.region_)) {}

CPixelRegion& CPixelRegion::operator=(const CPixelRegion& other)
{
    CPixelRegion copy(other);
    std::swap(region_, copy.region_);
    return *this;
}

CPixelRegion::~CPixelRegion() { cairo_region_destroy(region_); }

bool CPixelRegion::Union(const CPixelRegion& other)
{
    return cairo_region_union(region_, other.region_) == CAIRO_STATUS_SUCCESS;
}

bool CPixelRegion::Intersect(const CPixelRegion& other)
{
    return cairo_region_intersect(region_, other.region_) == CAIRO_STATUS_SUCCESS;
}

bool CPixelRegion::IsEmpty() const { return cairo_region_is_empty(region_); }

bool CPixelRegion::Contains(int x, int y) const { return cairo_region_contains_point(region_, x, y); }

PixelRect CPixelRegion::Extents() const
{
    cairo_rectangle_int_t extents;
    cairo_region_get_extents(region_, &extents);
    return {extents.x, extents.y, extents.width, extents.height};
}

int CPixelRegion::RectCount() const { return cairo_region_num_rectangles(region_); }

PixelRect CPixelRegion::RectAt(int index) const
{
    cairo_rectangle_int_t rect;
    cairo_region_get_rectangle(region_, index, &rect);
    return {rect.x, rect.y, rect.width, rect.height};
}

// ---- CRtBitmap ----

CRtBitmap::CRtBitmap(std::shared_ptr<std::uint8_t[]> pixels, const PixelRect& rect, std::size_t stride, bool alphaOnly,
                     bool ownsPixels)
    : pixels_(std::move(pixels)), rect_(rect), stride_(stride), alphaOnly_(alphaOnly), ownsPixels_(ownsPixels)
{
}

std::unique_ptr<CRtBitmap> CRtBitmap::Create(const PixelRect& rect, bool alphaOnly)
{
    const std::size_t stride = CairoStride(rect.width);
    std::shared_ptr<std::uint8_t[]> pixels = AllocatePixels(rect, stride);
    if (!pixels)
        return nullptr;
    return std::unique_ptr<CRtBitmap>(new CRtBitmap(std::move(pixels), rect, stride, alphaOnly, true));
}

std::unique_ptr<CRtBitmap> CRtBitmap::View(const CRtBitmap& source, bool alphaOnly)
{
    std::unique_ptr<CRtBitmap> view(new CRtBitmap(source.pixels_, source.rect_, source.stride_, alphaOnly, false));
    view->region_ = source.region_;
    return view;
}

std::unique_ptr<CRtBitmap> CRtBitmap::Clone() const
{
    std::unique_ptr<CRtBitmap> copy = Create(rect_, alphaOnly_);
    if (!copy)
        return nullptr;
    std::memcpy(copy->Data(), Data(), stride_ * static_cast<std::size_t>(rect_.height));
    copy->region_ = region_;
    return copy;
}

std::unique_ptr<CRtBitmap> CRtBitmap::FromCairoSurface(cairo_surface_t* surface, const PixelRect& rect,
                                                       bool alphaOnly)
{
    if (!IsArgbImageSurface(surface))
        return nullptr;
    cairo_surface_flush(surface);
    const std::uint8_t* surfaceData = cairo_image_surface_get_data(surface);
    if (surfaceData == nullptr)
        return nullptr;
    std::unique_ptr<CRtBitmap> bitmap = Create(rect, alphaOnly);
    if (!bitmap)
        return nullptr;
    const int width = std::min(rect.width, cairo_image_surface_get_width(surface));
    const int height = std::min(rect.height, cairo_image_surface_get_height(surface));
    const std::size_t surfaceStride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    const std::uint32_t mask = alphaOnly ? kAlphaMask : 0xFFFFFFFFu;
    for (int y = 0; y < height; ++y) {
        const auto* source = reinterpret_cast<const std::uint32_t*>(surfaceData + y * surfaceStride);
        std::uint32_t* target = bitmap->Row(y);
        for (int x = 0; x < width; ++x)
            target[x] = source[x] & mask;
    }
    return bitmap;
}

CairoSurfacePtr CRtBitmap::ToCairoSurface() const
{
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, rect_.width, rect_.height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_surface_flush(surface.get());
    std::uint8_t* surfaceData = cairo_image_surface_get_data(surface.get());
    const std::size_t surfaceStride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface.get()));
    const std::uint32_t mask = alphaOnly_ ? kAlphaMask : 0xFFFFFFFFu;
    for (int y = 0; y < rect_.height; ++y) {
        const std::uint32_t* source = Row(y);
        auto* target = reinterpret_cast<std::uint32_t*>(surfaceData + y * surfaceStride);
        for (int x = 0; x < rect_.width; ++x)
            target[x] = source[x] & mask;
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

CairoSurfacePtr CRtBitmap::WrapCairoSurface()
{
    CairoSurfacePtr surface(cairo_image_surface_create_for_data(pixels_.get(), CAIRO_FORMAT_ARGB32, rect_.width,
                                                                rect_.height, static_cast<int>(stride_)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    // The surface holds a share of the pixels until cairo destroys it.
    static const cairo_user_data_key_t kPixelsKey{};
    auto* share = new std::shared_ptr<std::uint8_t[]>(pixels_);
    const auto release = [](void* data) { delete static_cast<std::shared_ptr<std::uint8_t[]>*>(data); };
    if (cairo_surface_set_user_data(surface.get(), &kPixelsKey, share, release) != CAIRO_STATUS_SUCCESS) {
        delete share;
        return nullptr;
    }
    cairo_surface_set_device_offset(surface.get(), -rect_.x, -rect_.y);
    return surface;
}

std::uint32_t* CRtBitmap::Row(int y)
{
    assert(y >= 0 && y < rect_.height);
    return reinterpret_cast<std::uint32_t*>(pixels_.get() + static_cast<std::size_t>(y) * stride_);
}

const std::uint32_t* CRtBitmap::Row(int y) const
{
    assert(y >= 0 && y < rect_.height);
    return reinterpret_cast<const std::uint32_t*>(pixels_.get() + static_cast<std::size_t>(y) * stride_);
}

std::uint32_t CRtBitmap::PixelAt(int xPx, int yPx) const
{
    const long long column = static_cast<long long>(xPx) - rect_.x;
    const long long row = static_cast<long long>(yPx) - rect_.y;
    if (column < 0 || row < 0 || column >= rect_.width || row >= rect_.height)
        return 0;
    const std::uint32_t pixel = Row(static_cast<int>(row))[column];
    return alphaOnly_ ? pixel & kAlphaMask : pixel;
}

void CRtBitmap::ClearRegion() { region_.emplace(); }

void CRtBitmap::UnionRegion(const CPixelRegion* other)
{
    if (other == nullptr)
        region_.reset();
    else if (region_)
        region_->Union(*other);
}

void CRtBitmap::IntersectRegion(const CPixelRegion* other)
{
    if (other == nullptr)
        return;
    if (region_)
        region_->Intersect(*other);
    else
        region_ = *other;
}

void ReadPixelSpan(const CRtBitmap* in, long long xPx, long long yPx, int count, std::uint32_t* out)
{
    if (count <= 0)
        return;
    std::fill(out, out + count, 0u);
    if (in == nullptr)
        return;
    const PixelRect& rect = in->Rect();
    const long long row = yPx - rect.y;
    if (row < 0 || row >= rect.height)
        return;
    const long long first = std::max<long long>(xPx, rect.x);
    const long long end = std::min<long long>(xPx + count, static_cast<long long>(rect.x) + rect.width);
    if (first >= end)
        return;
    const std::uint32_t* source = in->Row(static_cast<int>(row)) + (first - rect.x);
    std::uint32_t* target = out + (first - xPx);
    const auto length = static_cast<std::size_t>(end - first);
    if (!in->AlphaOnly()) {
        std::memcpy(target, source, length * sizeof(std::uint32_t));
        return;
    }
    for (std::size_t i = 0; i < length; ++i)
        target[i] = source[i] & kAlphaMask;
}

std::unique_ptr<CRtBitmap> CopyToRect(const CRtBitmap* in, const PixelRect& rect)
{
    std::unique_ptr<CRtBitmap> copy = CRtBitmap::Create(rect, in != nullptr && in->AlphaOnly());
    if (!copy)
        return nullptr;
    for (int y = 0; y < rect.height; ++y)
        ReadPixelSpan(in, rect.x, rect.y + y, rect.width, copy->Row(y));
    return copy;
}

void ScaleAlpha(CRtBitmap& bitmap, float factor, const CStopToken& stop)
{
    factor = factor > 0.0f ? std::min(factor, 1.0f) : 0.0f;  // NaN fades out
    // 16.16 fixed point: the same rounded scale for every channel keeps
    // colour <= alpha.
    const auto scale = static_cast<std::uint32_t>(std::lround(factor * 65536.0f));
    for (int y = 0; y < bitmap.Height(); ++y) {
        if (stop.StopRequested())
            return;
        std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t pixel = row[x];
            std::uint32_t faded = 0;
            for (int channel = 0; channel < 4; ++channel)
                faded |= ((PixelChannel(pixel, channel) * scale + 32768) >> 16) << (8 * channel);
            row[x] = faded;
        }
    }
}

}  // namespace svg
