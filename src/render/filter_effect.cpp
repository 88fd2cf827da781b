#include "render/filter_effect.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/limits.h"
#include "filter/filter_pipeline.h"
#include "model/document.h"
#include "model/messages.h"
#include "render/background.h"
#include "render/container.h"
#include "render/effects.h"
#include "render/image.h"
#include "render/paint_server.h"
#include "render/prepare.h"
#include "render/render.h"
#include "values/number.h"
#include "values/scan.h"

namespace svg {
namespace {

// --- Set-up of filter elements ----------------------------------------------------------

std::optional<Units> ReadFilterUnits(CElemFilter& filter, AttributeId name, const char* format, CPreparer& preparer)
{
    const std::string* text = preparer.GetAttributeVia(filter, name, false);
    if (text == nullptr)
        return std::nullopt;
    if (const std::optional<Units> units = ParseUnits(TrimSpace(*text)))
        return units;
    preparer.Log().Report(filter, format, text->c_str());
    return std::nullopt;
}

// x, y, width or height along xlink:href: user units with userSpaceOnUse,
// else a fraction of the box (a percentage divided by 100).
std::optional<float> ReadRegionValue(CElemFilter& filter, AttributeId name, PercentRule rule, CPreparer& preparer)
{
    const std::string* text = preparer.GetAttributeVia(filter, name, false);
    if (text == nullptr)
        return std::nullopt;
    const std::optional<Number> number = ParseLength(*text);
    if (!number) {
        preparer.ReportInvalid(filter, name, *text);
        return std::nullopt;
    }
    const LengthContext lengths = preparer.Lengths(filter);
    if (filter.units == Units::UserSpaceOnUse)
        return static_cast<float>(ResolveLength(*number, rule, lengths));
    if (number->unit == Unit::Percent)
        return static_cast<float>(number->value / 100);
    return static_cast<float>(ToUserUnits(*number, lengths));
}

// SVG: a negative width or height is an error and a zero one disables the
// filter; either way the filtered element is not drawn.
std::optional<float> ReadRegionSize(CElemFilter& filter, AttributeId name, PercentRule rule, CPreparer& preparer)
{
    const std::optional<float> size = ReadRegionValue(filter, name, rule, preparer);
    if (!size || *size > 0)
        return size;
    const std::string attribute(AttributeName(name));
    preparer.Log().Report(filter, msg::kFilterMustBePositive, attribute.c_str(),
                          preparer.GetAttributeVia(filter, name, false)->c_str());
    filter.disabled = true;
    return std::nullopt;
}

// filterRes: one number for both directions or two; SVG: zero disables the
// filter and a negative value is an error, and neither draws the element.
void ReadFilterRes(CElemFilter& filter, CPreparer& preparer)
{
    const std::string* text = preparer.GetAttributeVia(filter, AttributeId::filterRes, false);
    if (text == nullptr)
        return;
    std::vector<Number> numbers;
    for (std::size_t pos = SkipSpace(*text, 0); pos < text->size(); pos = SkipSeparator(*text, pos)) {
        const std::optional<Number> number = ParseNumber(*text, pos);
        if (!number || number->unit != Unit::User || numbers.size() == 2) {
            preparer.ReportInvalid(filter, AttributeId::filterRes, *text);
            return;
        }
        numbers.push_back(*number);
    }
    if (numbers.empty()) {
        preparer.ReportInvalid(filter, AttributeId::filterRes, *text);
        return;
    }
    const double x = numbers.front().value;
    const double y = numbers.back().value;
    if (!(x > 0) || !(y > 0)) {
        filter.disabled = true;
        return;
    }
    filter.resolutionX = static_cast<float>(x);
    filter.resolutionY = static_cast<float>(y);
}

// An `in` or `in2` value: a standard input, else the closest earlier
// primitive whose `result` has that name, else the previous result (which
// is also what a missing or empty value means).
FilterInputRef ResolveInput(const std::string* text, const std::vector<std::pair<std::string, int>>& named)
{
    FilterInputRef ref;
    if (text == nullptr)
        return ref;
    const std::string_view name = TrimSpace(*text);
    if (const std::optional<FilterInput> standard = ParseFilterInput(name)) {
        ref.kind = FilterInputRef::Kind::Standard;
        ref.standard = *standard;
        return ref;
    }
    for (auto it = named.rbegin(); it != named.rend(); ++it) {
        if (it->first == name) {
            ref.kind = FilterInputRef::Kind::Result;
            ref.index = it->second;
            return ref;
        }
    }
    return ref;
}

bool ReadsBackground(const FilterInputRef& ref)
{
    return ref.kind == FilterInputRef::Kind::Standard &&
           (ref.standard == FilterInput::BackgroundImage || ref.standard == FilterInput::BackgroundAlpha);
}

// The filter's own primitives with their inputs resolved.
std::vector<CElemFilterPrimitive*> OwnPrimitives(CElemFilter& filter, CPreparer& preparer)
{
    std::vector<CElemFilterPrimitive*> own;
    for (CElem* child : filter.Children())
        if (child->Class() == ElemClass::FilterPrimitive && FindPrimitiveFamily(child->Id()) != nullptr)
            own.push_back(static_cast<CElemFilterPrimitive*>(child));
    if (own.size() > limits::kMaxFilterPrimitives) {
        preparer.Log().Report(filter, msg::kFilterTooManyPrimitives, filter.Name().c_str(),
                              limits::kMaxFilterPrimitives);
        own.resize(limits::kMaxFilterPrimitives);
    }
    std::vector<std::pair<std::string, int>> named;
    for (std::size_t i = 0; i < own.size(); ++i) {
        CElemFilterPrimitive& primitive = *own[i];
        primitive.in = ResolveInput(primitive.GetAttribute(AttributeId::in_, false), named);
        primitive.in2 = ResolveInput(primitive.GetAttribute(AttributeId::in2, false), named);
        filter.readsBackground = filter.readsBackground || ReadsBackground(primitive.in) || ReadsBackground(primitive.in2);
        for (CElem* child : primitive.Children()) {
            if (child->Id() != ElementId::feMergeNode || child->Class() != ElemClass::FilterPrimitive)
                continue;
            auto& node = static_cast<CElemFilterPrimitive&>(*child);
            node.in = ResolveInput(node.GetAttribute(AttributeId::in_, false), named);
            filter.readsBackground = filter.readsBackground || ReadsBackground(node.in);
        }
        const std::string* result = primitive.GetAttribute(AttributeId::result, false);
        if (result != nullptr && !TrimSpace(*result).empty())
            named.emplace_back(std::string(TrimSpace(*result)), static_cast<int>(i));
    }
    return own;
}

// SVG: a filter without primitives of its own takes those of the filter its
// xlink:href names (which has taken its own the same way).
void ReadPrimitives(CElemFilter& filter, CPreparer& preparer)
{
    const std::vector<CElemFilterPrimitive*> own = OwnPrimitives(filter, preparer);
    if (!own.empty()) {
        filter.primitives.assign(own.begin(), own.end());
        return;
    }
    CElem* target = preparer.FollowHref(filter);
    if (target == nullptr || target->Class() != ElemClass::Filter)
        return;
    const auto& inherited = static_cast<const CElemFilter&>(*target);
    filter.primitives = inherited.primitives;
    filter.readsBackground = inherited.readsBackground;
}

// --- feImage --------------------------------------------------------------------------

// feImage's picture: an element of a document, drawn as `use` would draw it,
// or a file or data: URL, loaded and placed as an `image` of the primitive
// subregion would be.
class CFeImageParams final : public CFilterPrimitiveParams {
public:
    AspectRatio aspect;
    const CElem* element = nullptr;
    std::unique_ptr<CElemImage> picture;
};

void SetUpFeImage(CElemFilterPrimitive& primitive, CPreparer& preparer)
{
    primitive.params.reset();
    const char* name = primitive.Name().c_str();
    const std::string* href = primitive.GetAttribute(AttributeId::xlink_href, false);
    if (href == nullptr) {
        preparer.Log().Report(primitive, msg::kFeImageHrefNotFound, name, "");
        return;
    }
    auto params = std::make_unique<CFeImageParams>();
    params->aspect = ReadAspectRatioAttribute(primitive, preparer.Context());
    const std::string_view reference = TrimSpace(*href);
    if (reference.starts_with('#')) {
        CElem* target = preparer.FindReference(primitive, reference);
        if (target == nullptr) {
            preparer.Log().Report(primitive, msg::kFeImageLinkNotFound, name, href->c_str());
            return;
        }
        if (target->prepState == PrepState::BeingPrepared) {
            preparer.Log().Report(primitive, msg::kFeImageCycle, name, href->c_str());
            return;
        }
        if (target->prepState == PrepState::NotPrepared && !preparer.Prepare(*target))
            return;
        params->element = target;
    } else {
        // Loaded as an image named after the primitive, so that its messages
        // are the primitive's and are located at it.
        params->picture = std::make_unique<CElemImage>(primitive.Name(), &primitive);
        params->picture->line = primitive.line;
        params->picture->column = primitive.column;
        params->picture->attributes.Set(AttributeId::xlink_href, *href);
        if (!preparer.Prepare(*params->picture))
            return;
        if (!params->picture->raster && params->picture->svgPicture == nullptr)
            return;
    }
    primitive.params = std::move(params);
}

// --- Laying the filter out in pixels ------------------------------------------------------

bool IsAxisAligned(const Matrix& m)
{
    const double scale = std::fabs(m.m11) + std::fabs(m.m22);
    return std::fabs(m.m12) <= 1e-9 * scale && std::fabs(m.m21) <= 1e-9 * scale;
}

PixelRect ToPixels(const RectF& user, const Matrix& userToPixel)
{
    const RectF mapped = MapRectBounds(user, userToPixel);
    return ToPixelRect(mapped.x, mapped.y, mapped.width, mapped.height);
}

PixelRect Grown(const PixelRect& rect, int by)
{
    const auto grow = [](int value, long long delta) {
        return static_cast<int>(std::clamp<long long>(value + delta, -(1LL << 30), 1LL << 30));
    };
    return {grow(rect.x, -by), grow(rect.y, -by), grow(rect.width, 2LL * by), grow(rect.height, 2LL * by)};
}

// The filter region in the element's user space; null when the element is
// not drawn.
std::optional<RectF> FilterRegion(const CElemFilter& filter, const CElem& elem, const std::optional<RectF>& bbox,
                                  CRenderPass& pass)
{
    RectF region;
    if (filter.units == Units::ObjectBoundingBox) {
        if (!bbox || IsEmptyRect(*bbox)) {
            pass.Report(elem, msg::kFilterBoxInvalid, elem.Name().c_str());
            return std::nullopt;
        }
        const RectF& box = *bbox;
        region = {box.x + filter.x.value_or(-0.1f) * box.width, box.y + filter.y.value_or(-0.1f) * box.height,
                  filter.width.value_or(1.2f) * box.width, filter.height.value_or(1.2f) * box.height};
    } else {
        // SVG: -10% and 120% of the viewport where not given.
        const RectF& viewport = filter.viewport;
        region = {filter.x.value_or(viewport.x - 0.1f * viewport.width),
                  filter.y.value_or(viewport.y - 0.1f * viewport.height),
                  filter.width.value_or(1.2f * viewport.width), filter.height.value_or(1.2f * viewport.height)};
    }
    if (IsEmptyRect(region) || !std::isfinite(region.Right()) || !std::isfinite(region.Bottom()))
        return std::nullopt;
    return region;
}

// The device's pixels, mirrored back where the device mirrors the user
// space: primitives see the picture the right way round (a kernel, a light's
// direction), and the pixels still fall on the device's one to one.
Matrix Unmirrored(const Matrix& ctm)
{
    return {std::fabs(ctm.m11), 0, 0, std::fabs(ctm.m22), ctm.m11 < 0 ? -ctm.dx : ctm.dx,
            ctm.m22 < 0 ? -ctm.dy : ctm.dy};
}

// The element's user space to filter pixels before any reduction: the
// device's pixels (the canvas's ctm) when the device does not rotate or
// skew, else the user space scaled as the device scales it; with filterRes,
// that many pixels across the region. Either times the effect resolution
// factor of the document (or of the drawing).
Matrix BaseMatrix(const CElemFilter& filter, const CElem& elem, const RectF& region, const CCanvas& canvas,
                  const RenderArgs& args)
{
    Matrix base;
    if (filter.resolutionX && filter.resolutionY)
        base = Matrix::Multiply(Matrix::Translate(-region.x, -region.y),
                                Matrix::Scale(*filter.resolutionX / region.width, *filter.resolutionY / region.height));
    else if (IsAxisAligned(canvas.Ctm()))
        base = Unmirrored(canvas.Ctm());
    else
        base = Matrix::Scale(canvas.DeviceScaleX(), canvas.DeviceScaleY());
    if (args.noEffectScale)
        return base;
    if (args.pixelScaleX > 0 && args.pixelScaleY > 0)
        return Matrix::Multiply(base, Matrix::Scale(args.pixelScaleX, args.pixelScaleY));
    const CElemDocument* document = elem.Document();
    const float factor = document != nullptr ? document->Options().filterResolutionFactor : 1.0f;
    if (factor > 0 && factor != 1)
        return Matrix::Multiply(base, Matrix::Scale(factor, factor));
    return base;
}

// What the canvas clip lets through, in the current user space; null when
// it does not say.
std::optional<RectF> VisibleArea(const CCanvas& canvas)
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(canvas.Cairo(), &x1, &y1, &x2, &y2);
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2) || x2 < x1 || y2 < y1)
        return std::nullopt;
    return RectF{static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2 - x1),
                 static_cast<float>(y2 - y1)};
}

// How many pixels the filter may compute at once: fewer when it has many
// primitives.
double PixelBudget(const CElemFilter& filter)
{
    const double primitives = std::max<double>(1, static_cast<double>(filter.primitives.size()));
    return std::min(static_cast<double>(limits::kMaxFilterPixels),
                    static_cast<double>(limits::kMaxFilterWorkPixels) / primitives);
}

// The region, and the part of it to compute, in pixels of `userToPixel`.
bool PlaceInPixels(const CElemFilter& filter, const std::optional<RectF>& visible, FilterSpace& space)
{
    space.regionPx = ToPixels(space.regionUser, space.userToPixel);
    if (space.regionPx.IsEmpty())
        return false;
    space.computePx = space.regionPx;
    const int reach = FilterReachPx(filter, space);
    if (reach < 0 || !visible)
        return true;
    return IntersectPixelRects(space.regionPx, Grown(ToPixels(*visible, space.userToPixel), reach), space.computePx);
}

}  // namespace

bool FiltersWorthBands(const CElem& root, const Matrix& rootToDevice, int width, int height, int bands)
{
    if (bands <= 1)
        return true;
    CRenderPass silent(nullptr, CStopToken::Never());
    const double bandRows = static_cast<double>(height) / bands;
    double whole = 0;
    double banded = 0;
    struct Pending {
        const CElem* elem;
        Matrix parentToDevice;
    };
    std::vector<Pending> pending{{&root, rootToDevice}};
    while (!pending.empty()) {
        const auto [elem, parentToDevice] = pending.back();
        pending.pop_back();
        if (const CElem* filter = elem->props.filter; filter != nullptr && filter->IsA(ElemClass::Filter)) {
            const auto& filterElem = static_cast<const CElemFilter&>(*filter);
            const std::optional<RectF> bbox = ObjectBoundingBox(*elem);
            const std::optional<RectF> region = FilterRegion(filterElem, *elem, bbox, silent);
            const Matrix m = Matrix::Multiply(elem->props.transform, parentToDevice);
            FilterSpace space;
            space.userToPixel = Matrix::Scale(std::hypot(m.m11, m.m12), std::hypot(m.m21, m.m22));
            space.bboxUser = bbox;
            space.primitiveUnits = filterElem.primitiveUnits;
            const int reach = FilterReachPx(filterElem, space);
            if (reach < 0)
                return false;
            const RectF onDevice = region ? MapRectBounds(*region, m) : RectF{};
            const double top = std::max<double>(onDevice.y, 0);
            const double bottom = std::min<double>(onDevice.Bottom(), height);
            if (bottom > top && std::isfinite(onDevice.width)) {
                whole += onDevice.width * (bottom - top);
                for (int band = 0; band < bands; ++band) {
                    const double rows = std::min(bottom, (band + 1) * bandRows + reach) -
                                        std::max(top, band * bandRows - reach);
                    banded += onDevice.width * std::max(0.0, rows);
                }
            }
        }
        const Matrix toDevice = Matrix::Multiply(LocalToParent(*elem), parentToDevice);
        for (const CElem* child : elem->Children())
            pending.push_back({child, toDevice});
    }
    return banded <= 2 * whole || banded - whole <= 0.25 * width * height;
}

namespace {

std::optional<FilterSpace> LayOut(const CElemFilter& filter, const CElem& elem, const RectF& region,
                                  const std::optional<RectF>& bbox, const CCanvas& canvas, const RenderArgs& args)
{
    FilterSpace space;
    space.bboxUser = bbox;
    space.primitiveUnits = filter.primitiveUnits;
    space.regionUser = region;
    const Matrix base = BaseMatrix(filter, elem, region, canvas, args);
    if (!base.IsFinite() || !(std::fabs(base.Determinant()) > 1e-12))
        return std::nullopt;
    const std::optional<RectF> visible = VisibleArea(canvas);
    const double budget = PixelBudget(filter);
    double reduction = 1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        space.userToPixel = Matrix::Multiply(base, Matrix::Scale(reduction, reduction));
        if (!PlaceInPixels(filter, visible, space))
            return std::nullopt;
        const double width = space.computePx.width;
        const double height = space.computePx.height;
        const double side = limits::kMaxBitmapSide - 2;
        if (width * height <= budget && width <= side && height <= side) {
            if (attempt > 0)
                args.pass.Report(elem, msg::kFilterReduced, elem.Name().c_str(), space.computePx.width,
                                 space.computePx.height);
            return space;
        }
        reduction *= std::min({std::sqrt(budget / (width * height)), side / width, side / height}) * 0.99;
    }
    return std::nullopt;
}

// --- What the renderer gives the filter ------------------------------------------------------

// Runs `paint` on a canvas over `bitmap` whose user space is the filtered
// element's; false when cairo cannot draw on it.
template <typename Paint>
bool PaintOnBitmap(CRtBitmap& bitmap, const Matrix& userToPixel, Paint paint)
{
    CairoSurfacePtr surface = bitmap.WrapCairoSurface();
    if (!surface)
        return false;
    {
        CCanvas canvas(surface.get(), CanvasPurpose::Effect);
        if (!canvas.Usable() || !canvas.MultiplyTransform(userToPixel))
            return false;
        paint(canvas);
    }
    cairo_surface_flush(surface.get());
    return true;
}

// The area of `rect` in user units, for painting all of it.
CGraphicsPath UserRectPath(const PixelRect& rect, const Matrix& userToPixel)
{
    CGraphicsPath path;
    const std::optional<Matrix> toUser = userToPixel.Inverse();
    if (!toUser)
        return path;
    const RectF area = MapRectBounds(RectF{static_cast<float>(rect.x), static_cast<float>(rect.y),
                                           static_cast<float>(rect.width), static_cast<float>(rect.height)},
                                     *toUser);
    path.StartFigure({area.x, area.y});
    path.AddLine({area.Right(), area.y});
    path.AddLine({area.Right(), area.Bottom()});
    path.AddLine({area.x, area.Bottom()});
    path.CloseFigure();
    return path;
}

// Counts a filter about to run inside an feImage picture; false (reported
// once a drawing) past the bound.
bool ChargePictureRun(const CElem& elem, CRenderPass& pass)
{
    CRenderPass::FilterState& filters = pass.filters;
    if (filters.picturesDrawing == 0 || ++filters.runsInPictures <= limits::kMaxFiltersInPictures)
        return true;
    if (!filters.picturesReported)
        pass.Report(elem, msg::kFilterNestedTooOften, elem.Name().c_str());
    filters.picturesReported = true;
    return false;
}

// Notes an feImage picture being drawn.
class DrawingPicture {
public:
    explicit DrawingPicture(CRenderPass& pass) : pass_(pass) { ++pass_.filters.picturesDrawing; }
    ~DrawingPicture() { --pass_.filters.picturesDrawing; }
    DrawingPicture(const DrawingPicture&) = delete;
    DrawingPicture& operator=(const DrawingPicture&) = delete;

private:
    CRenderPass& pass_;
};

class CFilterSources final : public CFilterInputSource {
public:
    CFilterSources(const CElem& elem, const CCanvas& canvas, const RenderArgs& args, const FilterSpace& space,
                   const std::function<void(CCanvas&)>& draw)
        : elem_(elem), canvas_(canvas), args_(args), space_(space), draw_(draw)
    {
    }

    const CRtBitmap* SourceGraphic(const PixelRect& rect) override
    {
        if (sourceMade_)
            return source_.get();
        sourceMade_ = true;
        source_ = CRtBitmap::Create(rect, false);
        if (source_ && !PaintOnBitmap(*source_, space_.userToPixel, draw_))
            source_.reset();
        return source_.get();
    }

    std::unique_ptr<CRtBitmap> BackgroundImage(const PixelRect& rect) override
    {
        const std::optional<Matrix> deviceToUser = canvas_.Ctm().Inverse();
        if (!deviceToUser)
            return nullptr;
        return MakeBackgroundImage(args_.pass, Matrix::Multiply(*deviceToUser, space_.userToPixel), rect);
    }

    std::unique_ptr<CRtBitmap> FillPaint(const PixelRect& rect) override { return Paint(rect, false); }
    std::unique_ptr<CRtBitmap> StrokePaint(const PixelRect& rect) override { return Paint(rect, true); }

    bool DrawImage(const CElemFilterPrimitive& primitive, const CFilterPrimitiveParams& params, CRtBitmap& target,
                   const PrimitiveRun& run) override
    {
        const auto& image = static_cast<const CFeImageParams&>(params);
        const DrawingPicture drawing(args_.pass);
        return PaintOnBitmap(target, space_.userToPixel, [&](CCanvas& canvas) {
            canvas.IntersectClip(run.subregionUser);
            if (image.element != nullptr)
                DrawElementPicture(*image.element, run, canvas);
            else if (image.picture)
                DrawFilePicture(*image.picture, image.aspect, run, canvas);
        });
    }

private:
    // The element as `use` would draw it, in the filtered element's user
    // space moved to the subregion's corner (with objectBoundingBox units,
    // in the box's units).
    void DrawElementPicture(const CElem& element, const PrimitiveRun& run, CCanvas& canvas)
    {
        Matrix placement = Matrix::Translate(run.placementUser.x, run.placementUser.y);
        if (space_.primitiveUnits == Units::ObjectBoundingBox && space_.bboxUser)
            placement = BoxMatrix(*space_.bboxUser);
        if (canvas.MultiplyTransform(placement))
            Render(element, canvas, args_);
    }

    // A raster or SVG picture fitted into the subregion by preserveAspectRatio.
    void DrawFilePicture(const CElemImage& picture, const AspectRatio& aspect, const PrimitiveRun& run,
                         CCanvas& canvas)
    {
        if (canvas.MultiplyTransform(ViewBoxToViewport(run.placementUser, picture.viewport, aspect)))
            svg::DrawImage(picture, canvas, args_);
    }

    std::unique_ptr<CRtBitmap> Paint(const PixelRect& rect, bool stroke)
    {
        const ResolvedProperties& props = elem_.props;
        const CElem* server = stroke ? props.strokePaintServer : props.fillPaintServer;
        std::optional<Rgba> color;
        if (stroke && props.strokePen)
            color = props.strokePen->color;
        else if (!stroke && props.fillBrush)
            color = props.fillBrush->color;
        if (server == nullptr && !color)
            return nullptr;
        std::unique_ptr<CRtBitmap> bitmap = CRtBitmap::Create(rect, false);
        if (!bitmap)
            return nullptr;
        const CGraphicsPath area = UserRectPath(rect, space_.userToPixel);
        PaintOnBitmap(*bitmap, space_.userToPixel, [&](CCanvas& canvas) {
            if (server == nullptr || !PaintPath(*server, canvas, area, elem_, false, args_))
                canvas.Fill(area, color.value_or(Rgba{0, 0, 0, 0}));
        });
        return bitmap;
    }

    const CElem& elem_;
    const CCanvas& canvas_;
    const RenderArgs& args_;
    const FilterSpace& space_;
    const std::function<void(CCanvas&)>& draw_;
    std::unique_ptr<CRtBitmap> source_;
    bool sourceMade_ = false;
};

// The result over the element's user space, each of its pixels on one
// pixel of the device when the device does not turn it.
void DrawResult(CRtBitmap& result, const Matrix& userToPixel, CCanvas& canvas)
{
    CairoSurfacePtr surface = result.WrapCairoSurface();
    if (!surface)
        return;
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface.get());
    const cairo_matrix_t m = ToCairo(userToPixel);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    cairo_t* cr = canvas.Cairo();
    cairo_save(cr);
    cairo_set_source(cr, pattern);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}

// Notes the filter in its drawing while its primitives run.
class ActiveFilter {
public:
    ActiveFilter(const CElemFilter& filter, CRenderPass& pass) : pass_(pass) { pass_.filters.active.push_back(&filter); }
    ~ActiveFilter() { pass_.filters.active.pop_back(); }
    ActiveFilter(const ActiveFilter&) = delete;
    ActiveFilter& operator=(const ActiveFilter&) = delete;

private:
    CRenderPass& pass_;
};

// A filter met again while it runs (an feImage showing the element the
// filter is on) cannot run inside itself: the element is drawn unfiltered
// there. So are filters nested beyond the bound of limits.h.
bool DrawsUnfiltered(const CElemFilter& filter, const CElem& elem, CRenderPass& pass)
{
    const std::vector<const CElemFilter*>& active = pass.filters.active;
    if (std::find(active.begin(), active.end(), &filter) != active.end())
        return true;
    if (active.size() < limits::kMaxFilterNesting)
        return false;
    if (!pass.filters.nestingReported)
        pass.Report(elem, msg::kFilterNestedTooDeeply, elem.Name().c_str());
    pass.filters.nestingReported = true;
    return true;
}

// The filter space for drawing `elem` through `filter` on `canvas`; null
// when the filter draws nothing (disabled, no primitives, no region, over
// the bound on nested pictures).
std::optional<FilterSpace> PrepareRun(const CElemFilter& filter, const CElem& elem, const CCanvas& canvas,
                                      const RenderArgs& args)
{
    if (filter.disabled || filter.primitives.empty())
        return std::nullopt;
    const std::optional<RectF> bbox = ObjectBoundingBox(elem);
    const std::optional<RectF> region = FilterRegion(filter, elem, bbox, args.pass);
    if (!region)
        return std::nullopt;
    std::optional<FilterSpace> space = LayOut(filter, elem, *region, bbox, canvas, args);
    if (!space || !ChargePictureRun(elem, args.pass))
        return std::nullopt;
    return space;
}

// Runs the filter over `space` with `elem`'s picture as its source.
std::unique_ptr<CRtBitmap> RunFilterFor(const CElemFilter& filter, const CElem& elem, const FilterSpace& space,
                                        const CCanvas& canvas, const RenderArgs& args,
                                        const std::function<void(CCanvas&)>& draw, const FilterKeepRequest& keep)
{
    CRenderPass& pass = args.pass;
    pass.filters.rasterEffectsDrawn = true;
    const ActiveFilter active(filter, pass);
    CFilterSources sources(elem, canvas, args, space, draw);
    return RunFilter(filter, space, sources, FilterRunContext{pass.Stop(), pass.Log(), pass.Progress(), keep});
}

// Drawn through a filter that runs `primitive` (its own filter, or one that
// takes that filter's primitives through xlink:href).
bool RunsPrimitive(const CElem& elem, const CElemFilterPrimitive& primitive)
{
    const CElem* filter = elem.props.filter;
    if (filter == nullptr || !filter->IsA(ElemClass::Filter) || elem.excluded || elem.props.filterFailed)
        return false;
    const std::vector<const CElemFilterPrimitive*>& primitives = static_cast<const CElemFilter&>(*filter).primitives;
    return std::find(primitives.begin(), primitives.end(), &primitive) != primitives.end();
}

// The first element of the primitive's document, in document order, drawn
// through a filter that runs it; null when there is none or the pass stops.
// Depth first with a stack of its own: the tree may be deep.
const CElem* FirstUserOf(const CElemFilterPrimitive& primitive, const CRenderPass& pass)
{
    const CElemDocument* document = primitive.Document();
    if (document == nullptr)
        return nullptr;
    std::vector<const CElem*> pending{document};
    std::vector<const CElem*> children;
    while (!pending.empty()) {
        if (pass.StopRequested())
            return nullptr;
        const CElem* elem = pending.back();
        pending.pop_back();
        if (RunsPrimitive(*elem, primitive))
            return elem;
        children.assign(elem->Children().begin(), elem->Children().end());
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return nullptr;
}

}  // namespace

bool SetUpFilter(CElemFilter& filter, CPreparer& preparer)
{
    filter.disabled = false;
    filter.readsBackground = false;
    filter.units = ReadFilterUnits(filter, AttributeId::filterUnits, msg::kFilterUnitsInvalid, preparer)
                       .value_or(Units::ObjectBoundingBox);
    filter.primitiveUnits =
        ReadFilterUnits(filter, AttributeId::primitiveUnits, msg::kFilterPrimitiveUnitsInvalid, preparer)
            .value_or(Units::UserSpaceOnUse);
    filter.x = ReadRegionValue(filter, AttributeId::x, PercentRule::HorizontalPosition, preparer);
    filter.y = ReadRegionValue(filter, AttributeId::y, PercentRule::VerticalPosition, preparer);
    filter.width = ReadRegionSize(filter, AttributeId::width, PercentRule::HorizontalSize, preparer);
    filter.height = ReadRegionSize(filter, AttributeId::height, PercentRule::VerticalSize, preparer);
    ReadFilterRes(filter, preparer);
    ReadPrimitives(filter, preparer);
    return true;
}

bool SetUpFilterPrimitive(CElemFilterPrimitive& primitive, CPreparer& preparer)
{
    if (PreparePrimitive(primitive, preparer.Context()) && primitive.Id() == ElementId::feImage)
        SetUpFeImage(primitive, preparer);
    return true;
}

void DrawThroughFilter(const CElem& elem, CCanvas& canvas, const RenderArgs& args,
                       const std::function<void(CCanvas&)>& draw)
{
    const auto& filter = static_cast<const CElemFilter&>(*elem.props.filter);
    if (DrawsUnfiltered(filter, elem, args.pass)) {
        draw(canvas);
        return;
    }
    const std::optional<FilterSpace> space = PrepareRun(filter, elem, canvas, args);
    if (!space)
        return;
    const std::unique_ptr<CRtBitmap> result = RunFilterFor(filter, elem, *space, canvas, args, draw, {});
    if (result && !args.pass.StopRequested())
        DrawResult(*result, space->userToPixel, canvas);
}

std::optional<KeptPrimitiveImages> KeepPrimitiveImages(const CElemFilterPrimitive& primitive, CRenderPass& pass,
                                                       double deviceScale)
{
    if (!(deviceScale > 0) || !std::isfinite(deviceScale))
        return std::nullopt;
    const CElem* user = FirstUserOf(primitive, pass);
    if (user == nullptr)
        return std::nullopt;
    const auto& filter = static_cast<const CElemFilter&>(*user->props.filter);
    KeptPrimitiveImages kept;
    // Nothing is drawn on the canvas: it only tells the filter its device.
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    {
        CCanvas canvas(recording);
        canvas.InheritCtm(Matrix::Scale(deviceScale, deviceScale));
        RenderArgs args(pass, *user);
        const std::function<void(CCanvas&)> draw = [&](CCanvas& target) { DrawInViewport(*user, target, args); };
        if (const std::optional<FilterSpace> space = PrepareRun(filter, *user, canvas, args))
            RunFilterFor(filter, *user, *space, canvas, args, draw, FilterKeepRequest{&primitive, &kept});
    }
    cairo_surface_destroy(recording);
    if (pass.StopRequested() || (!kept.in && !kept.in2 && !kept.result))
        return std::nullopt;
    return kept;
}

}  // namespace svg
