#include "render/mask.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/limits.h"
#include "filter/color_tables.h"
#include "filter/rt_bitmap.h"
#include "model/messages.h"
#include "render/container.h"
#include "render/effects.h"
#include "render/prepare.h"
#include "render/render.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {
namespace {

// Luminance weights of red, green and blue, applied to the channels in the
// mask's colour space.
constexpr double kLuminanceRed = 0.2125;
constexpr double kLuminanceGreen = 0.7154;
constexpr double kLuminanceBlue = 0.0721;

// --- Set-up ---------------------------------------------------------------------

// maskUnits or maskContentUnits: a readable value, else null (absent, or
// reported with `format`).
std::optional<Units> ReadUnits(const CElem& mask, AttributeId name, const char* format, CPreparer& preparer)
{
    const std::string* value = mask.GetAttribute(name, false);
    if (value == nullptr)
        return std::nullopt;
    if (const std::optional<Units> units = ParseUnits(*value))
        return units;
    preparer.Log().Report(mask, format, value->c_str());
    return std::nullopt;
}

// x, y, width or height, following xlink:href: user units with
// userSpaceOnUse, else a fraction of the box (a percentage divided by 100).
std::optional<float> ReadRegionValue(CElemMask& mask, AttributeId name, PercentRule rule, CPreparer& preparer)
{
    const std::string* text = preparer.GetAttributeVia(mask, name, false);
    if (text == nullptr)
        return std::nullopt;
    const std::optional<Number> number = ParseLength(*text);
    if (!number) {
        preparer.ReportInvalid(mask, name, *text);
        return std::nullopt;
    }
    const LengthContext lengths = preparer.Lengths(mask);
    if (mask.units == Units::UserSpaceOnUse)
        return static_cast<float>(ResolveLength(*number, rule, lengths));
    if (number->unit == Unit::Percent)
        return static_cast<float>(number->value / 100);
    return static_cast<float>(ToUserUnits(*number, lengths));
}

// A width or height, which must be above 0.
std::optional<float> ReadRegionSize(CElemMask& mask, AttributeId name, PercentRule rule, CPreparer& preparer)
{
    const std::optional<float> size = ReadRegionValue(mask, name, rule, preparer);
    if (!size || *size > 0)
        return size;
    preparer.Log().Report(mask, msg::kMaskMustBePositive, std::string(AttributeName(name)).c_str(),
                          preparer.GetAttributeVia(mask, name, false)->c_str());
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
    if (mask.units == Units::UserSpaceOnUse) {
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

std::optional<MaskRaster> ChooseRaster(const DeviceBox& area, const CElem& target, CRenderPass& pass)
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
    pass.Report(target, msg::kMaskReduced, target.Name().c_str(), raster.rect.width, raster.rect.height);
    return raster;
}

// --- Rendering ----------------------------------------------------------------------

// Masks inside mask content multiply: ten masks whose content holds ten
// elements masked by the next would rasterise ten billion times. Nesting and
// the pixels that nested masks rasterise within one outermost mask are
// bounded; beyond either, a nested mask draws nothing.
constexpr std::size_t kMaxMaskNesting = 16;
constexpr std::size_t kMaxNestedMaskPixels = limits::kMaxBitmapPixels;

// Notes the mask in its drawing's active masks while its content is rasterised.
class ActiveMask {
public:
    ActiveMask(const CElemMask& mask, CRenderPass& pass) : pass_(pass) { pass_.masks.active.push_back(&mask); }
    ~ActiveMask() { pass_.masks.active.pop_back(); }
    ActiveMask(const ActiveMask&) = delete;
    ActiveMask& operator=(const ActiveMask&) = delete;

private:
    CRenderPass& pass_;
};

// A mask met again inside its own content is ignored there.
bool IsActive(const CElemMask& mask, const CRenderPass& pass)
{
    return std::find(pass.masks.active.begin(), pass.masks.active.end(), &mask) != pass.masks.active.end();
}

// Accounts for a raster of `rect` about to be made; false (reported once
// per outermost mask) when it is nested beyond the bounds.
bool ChargeRaster(const PixelRect& rect, const CElem& target, CRenderPass& pass)
{
    CRenderPass::MaskState& masks = pass.masks;
    if (masks.active.empty()) {
        masks.nestedPixels = 0;
        masks.limitReported = false;
        return true;
    }
    masks.nestedPixels += static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height);
    if (masks.active.size() < kMaxMaskNesting && masks.nestedPixels <= kMaxNestedMaskPixels)
        return true;
    if (!masks.limitReported)
        pass.Report(target, msg::kMasksNestedTooDeeply, target.Name().c_str());
    masks.limitReported = true;
    return false;
}

// Renders the mask's children onto `canvas` (whose user space is the masked
// element's), through the mask's own mask when it has one.
void RenderMaskContent(const CElemMask& mask, const std::optional<RectF>& bbox, CCanvas& canvas,
                       const RenderArgs& args)
{
    const auto drawChildren = [&] {
        const CCanvasSaveGuard saved(canvas);
        if (mask.contentUnits == Units::ObjectBoundingBox &&
            !canvas.MultiplyTransform(Matrix{bbox->width, 0, 0, bbox->height, bbox->x, bbox->y}))
            return;
        for (const CElem* child : mask.Children()) {
            if (args.pass.StopRequested())
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
// luminance times its alpha. The luminance is taken of the sRGB channels as
// they stand unless the mask asks for linearRGB: SVG 1.1's wording can be
// read as always linear, but every current renderer computes it in the
// mask's color-interpolation, sRGB by default, and documents are drawn to
// look right there.
cairo_surface_t* LuminanceToAlpha(cairo_surface_t* content, ColorInterpolation space, const CRenderPass& pass)
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
    for (int y = 0; y < height && !pass.StopRequested(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(source + static_cast<std::size_t>(y) * sourceStride);
        unsigned char* out = target + static_cast<std::size_t>(y) * targetStride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = row[x];
            const unsigned a = pixel >> 24;
            if (a == 0) {
                out[x] = 0;
                continue;
            }
            const auto straight = [a, space](unsigned premultiplied) {
                const auto srgb = static_cast<std::uint8_t>(std::min(255u, (premultiplied * 255 + a / 2) / a));
                return space == ColorInterpolation::LinearRGB ? DecodeSrgbByte(srgb) : srgb;
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
            const ActiveMask active(mask, args.pass);
            RenderMaskContent(mask, bbox, canvas, args);
        }
    }
    cairo_surface_t* alpha = nullptr;
    if (cairo_surface_status(content) == CAIRO_STATUS_SUCCESS)
        alpha = LuminanceToAlpha(content, mask.props.colorInterpolation, args.pass);
    cairo_surface_destroy(content);
    if (alpha != nullptr && cairo_surface_status(alpha) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(alpha);
        return nullptr;
    }
    return alpha;
}

// Clips `cr` to the mask raster's pixels: nothing outside them survives the
// mask, and the masked element's intermediate surface then covers only them
// instead of the whole visible area. With the raster on device pixels the
// clip's edges fall between pixels and cut nothing partially.
void ClipToRaster(cairo_t* cr, const MaskRaster& raster, const Matrix& toPixels)
{
    const std::optional<Matrix> fromPixels = toPixels.Inverse();
    if (!fromPixels)
        return;
    cairo_matrix_t user;
    cairo_get_matrix(cr, &user);
    const cairo_matrix_t pixelsToUser = ToCairo(*fromPixels);
    cairo_transform(cr, &pixelsToUser);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, raster.rect.width, raster.rect.height);
    cairo_clip(cr);
    cairo_set_matrix(cr, &user);
}

// True when every pixel of the A8 mask is 255: masking by it changes nothing
// inside its raster.
bool IsFullyOpaque(cairo_surface_t* alpha)
{
    cairo_surface_flush(alpha);
    const int width = cairo_image_surface_get_width(alpha);
    const int height = cairo_image_surface_get_height(alpha);
    const int stride = cairo_image_surface_get_stride(alpha);
    const unsigned char* data = cairo_image_surface_get_data(alpha);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * stride;
        if (!std::all_of(row, row + width, [](unsigned char a) { return a == 255; }))
            return false;
    }
    return true;
}

}  // namespace

bool SetUpMask(CElemMask& mask, CPreparer& preparer)
{
    if (!SetUpContainer(mask, preparer))
        return false;
    mask.contentUnits = ReadUnits(mask, AttributeId::maskContentUnits, msg::kMaskContentUnitsInvalid, preparer)
                            .value_or(Units::UserSpaceOnUse);
    mask.units =
        ReadUnits(mask, AttributeId::maskUnits, msg::kMaskUnitsInvalid, preparer).value_or(Units::ObjectBoundingBox);
    mask.emptyRegion = false;
    mask.x = ReadRegionValue(mask, AttributeId::x, PercentRule::HorizontalPosition, preparer);
    mask.y = ReadRegionValue(mask, AttributeId::y, PercentRule::VerticalPosition, preparer);
    mask.width = ReadRegionSize(mask, AttributeId::width, PercentRule::HorizontalSize, preparer);
    mask.height = ReadRegionSize(mask, AttributeId::height, PercentRule::VerticalSize, preparer);
    return true;
}

void DrawMasked(const CElemMask& mask, const CElem& target, const std::optional<RectF>& bbox, CCanvas& canvas,
                const RenderArgs& args, const std::function<void()>& draw)
{
    CRenderPass& pass = args.pass;
    if (IsActive(mask, pass)) {
        draw();
        return;
    }
    if (mask.emptyRegion)
        return;
    const std::optional<RectF> region = MaskRegion(mask, bbox);
    if (!region || IsEmptyRect(*region) ||
        (mask.contentUnits == Units::ObjectBoundingBox && (!bbox || IsEmptyRect(*bbox))))
        return;
    const std::optional<DeviceBox> area = MaskDeviceArea(canvas, *region);
    if (!area)
        return;
    const std::optional<MaskRaster> raster = ChooseRaster(*area, target, pass);
    if (!raster || !ChargeRaster(raster->rect, target, pass))
        return;
    // The raster, and the group the masked drawing goes into, which covers
    // the raster's device pixels at most.
    const double rasterPixels = double(raster->rect.width) * raster->rect.height;
    const double groupPixels = std::min(rasterPixels / (raster->scale * raster->scale), canvas.ClipPixelArea());
    const CLayerCharge layer(pass, rasterPixels + groupPixels);
    if (!layer.Granted()) {
        pass.ReportLayerLimit(target, msg::kLayersTooLargeNotDrawn);
        return;
    }
    const Matrix toPixels =
        Matrix::Multiply(Matrix::Multiply(canvas.Ctm(), Matrix::Scale(raster->scale, raster->scale)),
                         Matrix::Translate(-raster->rect.x, -raster->rect.y));
    cairo_surface_t* alpha = RasteriseMask(mask, bbox, *region, *raster, toPixels, args);
    if (alpha == nullptr)
        return;

    cairo_t* cr = canvas.Cairo();
    cairo_save(cr);
    const bool onDevicePixels = raster->scale == 1;
    if (onDevicePixels)
        ClipToRaster(cr, *raster, toPixels);
    if (onDevicePixels && IsFullyOpaque(alpha)) {
        draw();
    } else {
        cairo_push_group(cr);
        draw();
        cairo_pop_group_to_source(cr);
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(alpha);
        const cairo_matrix_t userToPixels = ToCairo(toPixels);
        cairo_pattern_set_matrix(pattern, &userToPixels);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
        cairo_mask(cr, pattern);
        cairo_pattern_destroy(pattern);
    }
    cairo_restore(cr);
    cairo_surface_destroy(alpha);
}

}  // namespace svg
