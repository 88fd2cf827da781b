// Masks: `mask` set-up, the mask region, and drawing an element through a
// mask. The element's content stays vector (a cairo group); only the mask
// content is rasterised, in device pixels from the canvas's ctm, clipped to
// the mask region and to what the canvas can show, and converted to alpha
// by its luminance in linear light. The alpha image is then the cairo mask
// of the content group, mapped back into the element's user space.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "filter/color_tables.h"
#include "filter/rt_bitmap.h"
#include "model/limits.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "render/container.h"
#include "render/effects.h"
#include "render/render.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {
namespace {

// Luminance weights of linear-light red, green and blue.
constexpr double kLuminanceRed = 0.2125;
constexpr double kLuminanceGreen = 0.7154;
constexpr double kLuminanceBlue = 0.0721;

// --- Set-up ---------------------------------------------------------------------

// maskUnits or maskContentUnits: the code of a readable value, else null
// (absent, or reported through `report`).
template <typename Report>
std::optional<int> ReadUnits(const CElem& mask, const char* name, Report report)
{
    const std::string* value = mask.GetAttribute(name, false);
    if (value == nullptr)
        return std::nullopt;
    const int code = ParseUnitsKeyword(value);
    if (code == 0 || code == 1)
        return code;
    report(*value);
    return std::nullopt;
}

// x, y, width or height, following xlink:href: user units with
// userSpaceOnUse, else a fraction of the box (a percentage divided by 100).
std::optional<float> ReadRegionValue(CElemMask& mask, const char* name, PercentRule rule)
{
    const std::string* text = mask.GetAttributeVia(name, false);
    if (text == nullptr)
        return std::nullopt;
    std::size_t pos = 0;
    const std::optional<Number> number = ParseNumber(*text, pos);
    if (!number || SkipSpace(*text, pos) != text->size()) {
        ReportInvalidValue(mask, name, *text);
        return std::nullopt;
    }
    if (mask.units == 1)
        return static_cast<float>(ResolveLength(*number, rule, &mask));
    if (number->unit == Unit::Percent)
        return static_cast<float>(number->value / 100);
    return static_cast<float>(ToUserUnits(*number, &mask));
}

// A width or height, which must be above 0.
std::optional<float> ReadRegionSize(CElemMask& mask, const char* name, PercentRule rule)
{
    const std::optional<float> size = ReadRegionValue(mask, name, rule);
    if (!size || *size > 0)
        return size;
    ReportMessage("E mask %s=\"%s\" must be positive value at %d(%d)", name, mask.GetAttributeVia(name, false)->c_str(),
                  mask.line, mask.column);
    // SVG: zero disables rendering of the masked element, and a negative
    // size is an error, which we treat the same way.
    mask.emptyRegion = true;
    return std::nullopt;
}

// --- Region ---------------------------------------------------------------------

// The mask region in the masked element's user space; null when it needs the
// element's box and the box has no area.
std::optional<RectF> MaskRegion(const CElemMask& mask, const std::optional<RectF>& bbox)
{
    if (mask.units == 1) {
        // SVG: -10% and 120% of the viewport where not given.
        const RectF& viewport = mask.viewport;
        return RectF{mask.x.value_or(viewport.x - 0.1f * viewport.width),
                     mask.y.value_or(viewport.y - 0.1f * viewport.height), mask.width.value_or(1.2f * viewport.width),
                     mask.height.value_or(1.2f * viewport.height)};
    }
    if (!bbox || IsEmptyRect(*bbox))
        return std::nullopt;
    return RectF{bbox->x + mask.x.value_or(-0.1f) * bbox->width, bbox->y + mask.y.value_or(-0.1f) * bbox->height,
                 mask.width.value_or(1.2f) * bbox->width, mask.height.value_or(1.2f) * bbox->height};
}

struct DeviceBox {
    double left = INFINITY;
    double top = INFINITY;
    double right = -INFINITY;
    double bottom = -INFINITY;

    void Add(const Matrix& m, double x, double y)
    {
        const double dx = x * m.m11 + y * m.m21 + m.dx;
        const double dy = x * m.m12 + y * m.m22 + m.dy;
        left = std::min(left, dx);
        right = std::max(right, dx);
        top = std::min(top, dy);
        bottom = std::max(bottom, dy);
    }
    bool Finite() const
    {
        return std::isfinite(left) && std::isfinite(top) && std::isfinite(right) && std::isfinite(bottom);
    }
};

DeviceBox MapToDevice(const Matrix& m, double x1, double y1, double x2, double y2)
{
    DeviceBox box;
    box.Add(m, x1, y1);
    box.Add(m, x2, y1);
    box.Add(m, x1, y2);
    box.Add(m, x2, y2);
    return box;
}

// The device area the mask must cover: its region, cut to what the canvas
// clip lets through (an unclipped recording has infinite extents).
std::optional<DeviceBox> MaskDeviceArea(const CCanvas& canvas, const RectF& region)
{
    DeviceBox area = MapToDevice(canvas.Ctm(), region.x, region.y, region.Right(), region.Bottom());
    double x1, y1, x2, y2;
    cairo_clip_extents(canvas.Cairo(), &x1, &y1, &x2, &y2);
    const DeviceBox visible = MapToDevice(canvas.Ctm(), x1, y1, x2, y2);
    if (visible.Finite()) {
        area.left = std::max(area.left, visible.left);
        area.top = std::max(area.top, visible.top);
        area.right = std::min(area.right, visible.right);
        area.bottom = std::min(area.bottom, visible.bottom);
    }
    if (!area.Finite() || !(area.right > area.left) || !(area.bottom > area.top))
        return std::nullopt;
    return area;
}

// The pixels of the mask raster: one per device pixel, unless that breaks
// the bitmap limits; the raster is then coarser by `scale` (reported).
struct MaskRaster {
    PixelRect rect;
    double scale = 1;
};

std::optional<MaskRaster> ChooseRaster(const DeviceBox& area, const CElem& target)
{
    MaskRaster raster;
    raster.rect = ToPixelRect(area.left, area.top, area.right - area.left, area.bottom - area.top);
    if (raster.rect.IsEmpty())
        return std::nullopt;
    if (IsWithinBitmapLimits(raster.rect))
        return raster;
    const double width = area.right - area.left;
    const double height = area.bottom - area.top;
    const double maxPixels = static_cast<double>(limits::kMaxBitmapPixels);
    raster.scale = std::min({std::sqrt(maxPixels / (width * height)), (limits::kMaxBitmapSide - 2) / width,
                             (limits::kMaxBitmapSide - 2) / height}) *
                   0.99;
    raster.rect = ToPixelRect(area.left * raster.scale, area.top * raster.scale, width * raster.scale,
                              height * raster.scale);
    if (raster.rect.IsEmpty() || !IsWithinBitmapLimits(raster.rect))
        return std::nullopt;
    ReportMessage("W %s mask reduced to %dx%d pixels at %d(%d)", target.Name().c_str(), raster.rect.width,
                  raster.rect.height, target.line, target.column);
    return raster;
}

// --- Rendering ----------------------------------------------------------------------

// Masks inside mask content multiply: ten masks whose content holds ten
// elements masked by the next would rasterise ten billion times. Nesting and
// the pixels that nested masks rasterise within one outermost mask are
// bounded; beyond either, a nested mask draws nothing.
constexpr std::size_t kMaxMaskNesting = 16;
constexpr std::size_t kMaxNestedMaskPixels = limits::kMaxBitmapPixels;

// The masks being rasterised on this thread, innermost last, and what the
// masks nested in the outermost one have cost.
struct MaskPass {
    std::vector<const CElemMask*> active;
    std::size_t nestedPixels = 0;
    bool limitReported = false;
};
thread_local MaskPass maskPass;

class ActiveMask {
public:
    explicit ActiveMask(const CElemMask& mask) { maskPass.active.push_back(&mask); }
    ~ActiveMask() { maskPass.active.pop_back(); }
    ActiveMask(const ActiveMask&) = delete;
    ActiveMask& operator=(const ActiveMask&) = delete;
};

// A mask met again inside its own content is ignored there.
bool IsActive(const CElemMask& mask)
{
    return std::find(maskPass.active.begin(), maskPass.active.end(), &mask) != maskPass.active.end();
}

// Accounts for a raster of `rect` about to be made; false (reported once
// per outermost mask) when it is nested beyond the bounds.
bool ChargeRaster(const PixelRect& rect, const CElem& target)
{
    if (maskPass.active.empty()) {
        maskPass.nestedPixels = 0;
        maskPass.limitReported = false;
        return true;
    }
    maskPass.nestedPixels += static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height);
    if (maskPass.active.size() < kMaxMaskNesting && maskPass.nestedPixels <= kMaxNestedMaskPixels)
        return true;
    if (!maskPass.limitReported)
        ReportMessage("W %s masks nested too deeply or too often: not drawn at %d(%d)", target.Name().c_str(),
                      target.line, target.column);
    maskPass.limitReported = true;
    return false;
}

// Renders the mask's children onto `canvas` (whose user space is the masked
// element's), through the mask's own mask when it has one.
void RenderMaskContent(const CElemMask& mask, const std::optional<RectF>& bbox, CCanvas& canvas,
                       const RenderArgs& args)
{
    const auto drawChildren = [&] {
        const CanvasSaveGuard saved(canvas);
        if (mask.contentUnits == 0 &&
            !canvas.MultiplyTransform(Matrix{bbox->width, 0, 0, bbox->height, bbox->x, bbox->y}))
            return;
        for (CElem* child : mask.Children()) {
            if (StopRequested())
                return;
            if (child->graphicsElement)
                Render(*child, canvas, args);
        }
    };
    const CElem* own = mask.props.mask;
    if (own != nullptr && own->IsA(ElemClass::Mask))
        DrawMasked(static_cast<const CElemMask&>(*own), mask, bbox, canvas, args, drawChildren);
    else
        drawChildren();
}

// Turns the premultiplied ARGB32 mask content into an A8 image of its
// luminance in linear light times its alpha.
cairo_surface_t* LuminanceToAlpha(cairo_surface_t* content)
{
    cairo_surface_flush(content);
    const int width = cairo_image_surface_get_width(content);
    const int height = cairo_image_surface_get_height(content);
    cairo_surface_t* alpha = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    if (cairo_surface_status(alpha) != CAIRO_STATUS_SUCCESS)
        return alpha;
    const unsigned char* source = cairo_image_surface_get_data(content);
    unsigned char* target = cairo_image_surface_get_data(alpha);
    const int sourceStride = cairo_image_surface_get_stride(content);
    const int targetStride = cairo_image_surface_get_stride(alpha);
    for (int y = 0; y < height && !StopRequested(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(source + static_cast<std::size_t>(y) * sourceStride);
        unsigned char* out = target + static_cast<std::size_t>(y) * targetStride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = row[x];
            const unsigned a = pixel >> 24;
            if (a == 0) {
                out[x] = 0;
                continue;
            }
            const auto straight = [a](unsigned premultiplied) {
                return DecodeSrgbByte(static_cast<std::uint8_t>(std::min(255u, (premultiplied * 255 + a / 2) / a)));
            };
            const double luminance = kLuminanceRed * straight((pixel >> 16) & 0xFF) +
                                     kLuminanceGreen * straight((pixel >> 8) & 0xFF) +
                                     kLuminanceBlue * straight(pixel & 0xFF);
            // luminance is in 0..255 (the weights sum to 1); the small bias
            // keeps white from rounding down to 254.
            out[x] = static_cast<unsigned char>(std::min(255.0, std::floor(luminance * a / 255 + 1e-6)));
        }
    }
    cairo_surface_mark_dirty(alpha);
    return alpha;
}

// The mask as an A8 image over `raster`; `toPixels` maps the masked
// element's user space onto its pixels. Null when cairo cannot make it.
cairo_surface_t* RasteriseMask(const CElemMask& mask, const std::optional<RectF>& bbox, const RectF& region,
                               const MaskRaster& raster, const Matrix& toPixels, const RenderArgs& args)
{
    cairo_surface_t* content =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, raster.rect.width, raster.rect.height);
    {
        CCanvas canvas(content, CanvasPurpose::MaskContent);
        // The raster's pixels are this canvas's device: content masked
        // inside the mask is rasterised on the same grid.
        if (canvas.Usable() && canvas.MultiplyTransform(toPixels)) {
            canvas.IntersectClip(region);
            const ActiveMask active(mask);
            RenderMaskContent(mask, bbox, canvas, args);
        }
    }
    cairo_surface_t* alpha = nullptr;
    if (cairo_surface_status(content) == CAIRO_STATUS_SUCCESS)
        alpha = LuminanceToAlpha(content);
    cairo_surface_destroy(content);
    if (alpha != nullptr && cairo_surface_status(alpha) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(alpha);
        return nullptr;
    }
    return alpha;
}

}  // namespace

bool CElemMask::Setup()
{
    if (!CElemContainer::Setup())
        return false;
    const std::optional<int> content = ReadUnits(*this, "maskContentUnits", [this](const std::string& value) {
        ReportMessage("E mask maskContentUnits=\"%s\" :Invalid value at %d(%d)", value.c_str(), line, column);
    });
    contentUnits = content.value_or(1);
    const std::optional<int> regionUnits = ReadUnits(*this, "maskUnits", [this](const std::string& value) {
        ReportMessage("E maek, maskUnits=\"%s\" :Invalid value at %d(%d)", value.c_str(), line, column);
    });
    units = regionUnits.value_or(0);
    emptyRegion = false;
    x = ReadRegionValue(*this, "x", PercentRule::HorizontalPosition);
    y = ReadRegionValue(*this, "y", PercentRule::VerticalPosition);
    width = ReadRegionSize(*this, "width", PercentRule::HorizontalSize);
    height = ReadRegionSize(*this, "height", PercentRule::VerticalSize);
    return true;
}

void DrawMasked(const CElemMask& mask, const CElem& target, const std::optional<RectF>& bbox, CCanvas& canvas,
                const RenderArgs& args, const std::function<void()>& draw)
{
    if (IsActive(mask)) {
        draw();
        return;
    }
    if (mask.emptyRegion)
        return;
    const std::optional<RectF> region = MaskRegion(mask, bbox);
    if (!region || IsEmptyRect(*region) || (mask.contentUnits == 0 && (!bbox || IsEmptyRect(*bbox))))
        return;
    const std::optional<DeviceBox> area = MaskDeviceArea(canvas, *region);
    if (!area)
        return;
    const std::optional<MaskRaster> raster = ChooseRaster(*area, target);
    if (!raster || !ChargeRaster(raster->rect, target))
        return;
    const Matrix toPixels =
        Matrix::Multiply(Matrix::Multiply(canvas.Ctm(), Matrix::Scale(raster->scale, raster->scale)),
                         Matrix::Translate(-raster->rect.x, -raster->rect.y));
    cairo_surface_t* alpha = RasteriseMask(mask, bbox, *region, *raster, toPixels, args);
    if (alpha == nullptr)
        return;

    cairo_t* cr = canvas.Cairo();
    cairo_push_group(cr);
    draw();
    cairo_pop_group_to_source(cr);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(alpha);
    const cairo_matrix_t userToPixels = ToCairo(toPixels);
    cairo_pattern_set_matrix(pattern, &userToPixels);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    cairo_mask(cr, pattern);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(alpha);
}

}  // namespace svg
