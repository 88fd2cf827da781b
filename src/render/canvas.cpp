#include "render/canvas.h"

#include <algorithm>
#include <cmath>

#include "model/document.h"

namespace svg {

RenderArgs::RenderArgs(CRenderPass& renderPass, const CElem& elem) : pass(renderPass)
{
    if (const CElemDocument* document = elem.Document()) {
        emSize = document->Options().defaultFontSize;
        exSize = document->Options().defaultXHeight;
    }
}

namespace {

// cairo keeps device coordinates in 24.8 fixed point: about +-8.3 million.
// Points beyond a safe part of that range are clamped, so a huge coordinate
// draws a long edge instead of wrapping around.
constexpr double kMaxDeviceCoordinate = 4194304;

double ClampDevice(double v)
{
    if (std::isnan(v))
        return 0;
    return std::clamp(v, -kMaxDeviceCoordinate, kMaxDeviceCoordinate);
}

cairo_line_cap_t ToCairo(LineCap cap)
{
    switch (cap) {
    case LineCap::Round: return CAIRO_LINE_CAP_ROUND;
    case LineCap::Square: return CAIRO_LINE_CAP_SQUARE;
    case LineCap::Butt: break;
    }
    return CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t ToCairo(LineJoin join)
{
    switch (join) {
    case LineJoin::Round: return CAIRO_LINE_JOIN_ROUND;
    case LineJoin::Bevel: return CAIRO_LINE_JOIN_BEVEL;
    case LineJoin::Miter: break;
    }
    return CAIRO_LINE_JOIN_MITER;
}

struct DashPattern {
    std::vector<double> lengths;  // alternating dash and gap, dash first
    double offset = 0;
};

// With butt caps an empty dash paints nothing, yet where one falls on a
// corner cairo draws the join of the two segments meeting in it. Dropping the
// empty dashes and merging the gaps around them paints the same dashes
// without those joins. Empty when no dash has a length.
DashPattern WithoutEmptyDashes(const std::vector<float>& dashes, double offset)
{
    DashPattern pattern;
    double leadingGap = 0;  // before the first dash kept: where the new pattern starts
    double total = 0;
    for (std::size_t i = 0; i + 1 < dashes.size(); i += 2) {
        total += dashes[i] + dashes[i + 1];
        if (dashes[i] > 0) {
            pattern.lengths.push_back(dashes[i]);
            pattern.lengths.push_back(dashes[i + 1]);
        } else if (pattern.lengths.empty()) {
            leadingGap += dashes[i + 1];
        } else {
            pattern.lengths.back() += dashes[i + 1];
        }
    }
    if (pattern.lengths.empty())
        return pattern;
    pattern.lengths.back() += leadingGap;
    pattern.offset = std::fmod(offset - leadingGap, total);
    if (pattern.offset < 0)
        pattern.offset += total;
    return pattern;
}

bool HasNonEmptyDash(const std::vector<float>& dashes)
{
    for (std::size_t i = 0; i < dashes.size(); i += 2)
        if (dashes[i] > 0)
            return true;
    return false;
}

// A square of side `size` on the user space axes around each figure of
// `path` whose segments never leave its start point, and around each closed
// lone start point ("M x y Z"); an open lone start point is not stroked.
CGraphicsPath SquaresOnZeroLengthFigures(const CGraphicsPath& path, float size)
{
    CGraphicsPath squares;
    const float half = size / 2;
    const std::size_t count = path.points.size();
    for (std::size_t begin = 0; begin < count;) {
        const PointF at = path.points[begin];
        std::size_t end = begin + 1;
        bool moves = false;
        for (; end < count && PointKind(path.types[end]) != PathPoint::kStart; ++end)
            moves = moves || !(path.points[end] == at);
        const bool closedPoint = (path.types[begin] & PathPoint::kClose) != 0;
        if (!moves && (end - begin > 1 || closedPoint)) {
            squares.StartFigure({at.x - half, at.y - half});
            squares.AddLine({at.x + half, at.y - half});
            squares.AddLine({at.x + half, at.y + half});
            squares.AddLine({at.x - half, at.y + half});
            squares.CloseFigure();
        }
        begin = end;
    }
    return squares;
}

void SetSource(cairo_t* cr, const Rgba& color, double alphaFactor = 1)
{
    cairo_set_source_rgba(cr, color.r / 255.0, color.g / 255.0, color.b / 255.0, color.a / 255.0 * alphaFactor);
}

// A clip extent this far out means no clip (an unbounded recording).
constexpr double kUnclippedExtent = 1e6;

bool OnWholePixel(double v) { return std::fabs(v - std::round(v)) <= 1e-3; }

}  // namespace

cairo_matrix_t ToCairo(const Matrix& m)
{
    cairo_matrix_t result;
    cairo_matrix_init(&result, m.m11, m.m12, m.m21, m.m22, m.dx, m.dy);
    return result;
}

Matrix FromCairo(const cairo_matrix_t& m) { return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0}; }

CCanvas::CCanvas(cairo_t* cr, CanvasPurpose purpose) : cr_(cairo_reference(cr)), purpose_(purpose)
{
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
}

CCanvas::CCanvas(cairo_surface_t* surface, CanvasPurpose purpose) : cr_(cairo_create(surface)), purpose_(purpose)
{
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
}

CCanvas::~CCanvas()
{
    // Balance anything a caller left saved, so a shared context is handed back as it came.
    if (!savedCtms_.empty())
        Restore(0);
    cairo_destroy(cr_);
}

bool CCanvas::Usable() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }

double CCanvas::DeviceScaleX() const { return std::hypot(ctm_.m11, ctm_.m12); }

double CCanvas::DeviceScaleY() const { return std::hypot(ctm_.m21, ctm_.m22); }

int CCanvas::Save()
{
    cairo_save(cr_);
    savedCtms_.push_back(ctm_);
    return static_cast<int>(savedCtms_.size()) - 1;
}

void CCanvas::Restore(int token)
{
    if (token < 0)
        return;
    while (static_cast<int>(savedCtms_.size()) > token) {
        cairo_restore(cr_);
        ctm_ = savedCtms_.back();
        savedCtms_.pop_back();
    }
}

bool CCanvas::MultiplyTransform(const Matrix& m)
{
    if (!m.IsFinite() || std::fabs(m.Determinant()) < 1e-12)
        return false;
    const Matrix combined = Matrix::Multiply(m, ctm_);
    if (!combined.IsFinite() || std::fabs(combined.Determinant()) < 1e-24)
        return false;
    const cairo_matrix_t cm = ToCairo(m);
    cairo_transform(cr_, &cm);
    ctm_ = combined;
    return true;
}

void CCanvas::IntersectClip(const RectF& rect)
{
    cairo_new_path(cr_);
    cairo_rectangle(cr_, rect.x, rect.y, rect.width, rect.height);
    cairo_clip(cr_);
}

void CCanvas::IntersectClip(const CGraphicsPath& path, FillRule rule)
{
    SetPath(path);
    cairo_set_fill_rule(cr_, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
}

namespace {

// cairo starts and ends the stroke of a curve along its first and last
// control handles however short they are, so a handle a fraction of a pixel
// long turns a cap or join toward a direction the curve leaves within that
// fraction: a fan or a notch as wide as the stroke. Other renderers draw such
// a curve as it shows; its control point moved onto the end point shifts the
// curve by less than half this length.
constexpr double kNegligibleHandlePx = 0.25;

// `control` replaced by `end` when the handle between them is negligible on
// the device that `userToDevice` maps to.
PointF WithoutNegligibleHandle(PointF end, PointF control, const Matrix& userToDevice)
{
    const double dx = double{control.x} - end.x;
    const double dy = double{control.y} - end.y;
    const double deviceX = dx * userToDevice.m11 + dy * userToDevice.m21;
    const double deviceY = dx * userToDevice.m12 + dy * userToDevice.m22;
    return std::hypot(deviceX, deviceY) < kNegligibleHandlePx ? end : control;
}

}  // namespace

void CCanvas::SetPath(const CGraphicsPath& path, PathUse use)
{
    cairo_new_path(cr_);
    cairo_matrix_t toDevice;
    cairo_get_matrix(cr_, &toDevice);
    cairo_matrix_t toUser = toDevice;
    const bool invertible = cairo_matrix_invert(&toUser) == CAIRO_STATUS_SUCCESS;

    // A point whose device position lies beyond cairo's range is pulled back
    // to the edge of it.
    auto safe = [&](PointF p, double& x, double& y) {
        x = p.x;
        y = p.y;
        double dx = x, dy = y;
        cairo_matrix_transform_point(&toDevice, &dx, &dy);
        if (std::fabs(dx) <= kMaxDeviceCoordinate && std::fabs(dy) <= kMaxDeviceCoordinate)
            return;
        dx = ClampDevice(dx);
        dy = ClampDevice(dy);
        if (invertible) {
            cairo_matrix_transform_point(&toUser, &dx, &dy);
            x = dx;
            y = dy;
        }
    };

    const std::size_t count = path.points.size();
    double x1, y1, x2, y2, x3, y3;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t type = path.types[i];
        switch (PointKind(type)) {
        case PathPoint::kStart:
            safe(path.points[i], x1, y1);
            cairo_move_to(cr_, x1, y1);
            break;
        case PathPoint::kBezier:
            if (i + 2 < count) {
                PointF control1 = path.points[i];
                PointF control2 = path.points[i + 1];
                if (use == PathUse::Stroke && i > 0) {
                    control1 = WithoutNegligibleHandle(path.points[i - 1], control1, ctm_);
                    control2 = WithoutNegligibleHandle(path.points[i + 2], control2, ctm_);
                }
                safe(control1, x1, y1);
                safe(control2, x2, y2);
                safe(path.points[i + 2], x3, y3);
                cairo_curve_to(cr_, x1, y1, x2, y2, x3, y3);
                i += 2;
            }
            break;
        default:
            safe(path.points[i], x1, y1);
            cairo_line_to(cr_, x1, y1);
            break;
        }
        if (path.types[std::min(i, count - 1)] & PathPoint::kClose)
            cairo_close_path(cr_);
    }
}

void CCanvas::Fill(const CGraphicsPath& path, const Rgba& color)
{
    if (color.a == 0 || path.Empty())
        return;
    SetPath(path);
    cairo_set_fill_rule(cr_, path.fillRule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                   : CAIRO_FILL_RULE_WINDING);
    SetSource(cr_, color, paintAlpha_);
    cairo_fill(cr_);
}

bool CCanvas::ApplyPen(const StrokePen& pen)
{
    cairo_set_line_width(cr_, pen.width);
    cairo_set_line_cap(cr_, ToCairo(pen.cap));
    cairo_set_line_join(cr_, ToCairo(pen.join));
    // cairo refuses a limit below 1 with an error state; SVG requires >= 1 anyway.
    cairo_set_miter_limit(cr_, std::max(1.0f, pen.miterLimit));
    double total = 0;
    bool valid = !pen.dashes.empty() && pen.dashes.size() % 2 == 0;
    for (float dash : pen.dashes) {
        if (!(dash >= 0) || !std::isfinite(dash))
            valid = false;
        total += dash;
    }
    if (!valid || !(total > 0) || !std::isfinite(total)) {
        cairo_set_dash(cr_, nullptr, 0, 0);
        return true;
    }
    const double offset = std::isfinite(pen.dashOffset) ? pen.dashOffset : 0;
    DashPattern pattern;
    if (pen.cap == LineCap::Butt)
        pattern = WithoutEmptyDashes(pen.dashes, offset);
    else
        pattern = {std::vector<double>(pen.dashes.begin(), pen.dashes.end()), offset};
    if (pattern.lengths.empty())
        return false;
    // Round-capped empty dashes are dots; where one falls on a corner cairo
    // would add the corner's miter or bevel to it. With no longer dash to
    // show a join, a round one leaves just the dot.
    if (pen.cap == LineCap::Round && !HasNonEmptyDash(pen.dashes))
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_set_dash(cr_, pattern.lengths.data(), static_cast<int>(pattern.lengths.size()), pattern.offset);
    return true;
}

void CCanvas::StrokePath(const CGraphicsPath& path, const StrokePen& pen)
{
    if (!ApplyPen(pen)) {
        cairo_new_path(cr_);
        return;
    }
    cairo_stroke(cr_);
    if (pen.cap != LineCap::Square)
        return;
    // cairo leaves a zero-length subpath with square caps out, its direction
    // being unknown; SVG draws it as a square on the user space axes.
    const CGraphicsPath squares = SquaresOnZeroLengthFigures(path, pen.width);
    if (squares.Empty())
        return;
    SetPath(squares);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr_);
}

void CCanvas::Stroke(const CGraphicsPath& path, const StrokePen& pen)
{
    if (pen.color.a == 0 || !(pen.width > 0) || path.Empty())
        return;
    SetPath(path, PathUse::Stroke);
    SetSource(cr_, pen.color, paintAlpha_);
    StrokePath(path, pen);
}

void CCanvas::FillRect(const RectF& rect, const Rgba& color)
{
    cairo_new_path(cr_);
    cairo_rectangle(cr_, rect.x, rect.y, rect.width, rect.height);
    SetSource(cr_, color);
    cairo_fill(cr_);
}

bool CCanvas::ClipOnWholePixels() const
{
    double x1, y1, x2, y2;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    if (x1 < -kUnclippedExtent && y1 < -kUnclippedExtent && x2 > kUnclippedExtent && y2 > kUnclippedExtent)
        return true;
    // The pixels are an image's own, which a pattern tile's ctm does not
    // map to; a recording's are those its ctm maps to.
    Matrix toPixels = ctm_;
    if (cairo_surface_get_type(cairo_get_target(cr_)) == CAIRO_SURFACE_TYPE_IMAGE) {
        cairo_matrix_t m;
        cairo_get_matrix(cr_, &m);
        toPixels = FromCairo(m);
    }
    // Rectangles stay rectangles in device pixels only under an axis-aligned transform.
    if (toPixels.m12 != 0 || toPixels.m21 != 0)
        return false;
    const Matrix& t = toPixels;
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr_);
    bool whole = list->status == CAIRO_STATUS_SUCCESS;
    for (int i = 0; whole && i < list->num_rectangles; ++i) {
        const cairo_rectangle_t& r = list->rectangles[i];
        whole = OnWholePixel(r.x * t.m11 + t.dx) && OnWholePixel(r.y * t.m22 + t.dy) &&
                OnWholePixel((r.x + r.width) * t.m11 + t.dx) && OnWholePixel((r.y + r.height) * t.m22 + t.dy);
    }
    cairo_rectangle_list_destroy(list);
    return whole;
}

namespace {

// The device box (before any device offset) that the clip of `cr` lets
// through, in whole pixels.
void ClipBoxInDevice(cairo_t* cr, double& x1, double& y1, double& x2, double& y2)
{
    cairo_matrix_t user;
    cairo_get_matrix(cr, &user);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    cairo_set_matrix(cr, &user);
    x1 = std::floor(x1);
    y1 = std::floor(y1);
    x2 = std::ceil(x2);
    y2 = std::ceil(y2);
}

}  // namespace

double CCanvas::ClipPixelArea() const
{
    double x1, y1, x2, y2;
    ClipBoxInDevice(cr_, x1, y1, x2, y2);
    if (!(x1 > -kUnclippedExtent && y1 > -kUnclippedExtent && x2 < kUnclippedExtent && y2 < kUnclippedExtent))
        return 0;
    const double area = std::max(0.0, x2 - x1) * std::max(0.0, y2 - y1);
    if (cairo_surface_get_type(cairo_get_target(cr_)) == CAIRO_SURFACE_TYPE_IMAGE)
        return area;
    // A recording's units become device pixels at the scale ctm tells.
    cairo_matrix_t user;
    cairo_get_matrix(cr_, &user);
    const double unitsPerUser = std::fabs(user.xx * user.yy - user.xy * user.yx);
    const double pixelsPerUser = std::fabs(ctm_.m11 * ctm_.m22 - ctm_.m12 * ctm_.m21);
    return unitsPerUser > 0 ? area * pixelsPerUser / unitsPerUser : 0;
}

bool CCanvas::ClipToBox(const RectF& box)
{
    cairo_matrix_t user;
    cairo_get_matrix(cr_, &user);
    // The pixels: an image's own, or for a recording those ctm maps to.
    Matrix userToPixels = FromCairo(user);
    Matrix pixelsToDevice;
    if (cairo_surface_get_type(cairo_get_target(cr_)) != CAIRO_SURFACE_TYPE_IMAGE) {
        const std::optional<Matrix> deviceToUser = FromCairo(user).Inverse();
        const std::optional<Matrix> toDevice =
            deviceToUser ? Matrix::Multiply(*deviceToUser, ctm_).Inverse() : std::nullopt;
        if (!toDevice || !toDevice->IsFinite())
            return true;
        userToPixels = ctm_;
        pixelsToDevice = *toDevice;
    }
    double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (const PointD corner : {PointD{box.x, box.y}, PointD{box.Right(), box.y}, PointD{box.x, box.Bottom()},
                                PointD{box.Right(), box.Bottom()}}) {
        const PointD p = userToPixels.Apply(corner);
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom))
        return true;
    // A pixel for antialiasing and curve flattening, and the box's float rounding.
    const double slack = 1 + 1e-6 * std::max({std::fabs(left), std::fabs(right), std::fabs(top), std::fabs(bottom)});
    left = std::floor(ClampDevice(left - slack));
    top = std::floor(ClampDevice(top - slack));
    right = std::ceil(ClampDevice(right + slack));
    bottom = std::ceil(ClampDevice(bottom + slack));
    const cairo_matrix_t toDevice = ToCairo(pixelsToDevice);
    cairo_set_matrix(cr_, &toDevice);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, left, top, right - left, bottom - top);
    cairo_clip(cr_);
    cairo_set_matrix(cr_, &user);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    return x2 > x1 && y2 > y1;
}

void CCanvas::BeginGroup(GroupExtent extent)
{
    const bool onImage = cairo_surface_get_type(cairo_get_target(cr_)) == CAIRO_SURFACE_TYPE_IMAGE;
    if (extent == GroupExtent::Clip || !onImage || !ClipOnWholePixels()) {
        groups_.push_back({nullptr, paintAlpha_});
        paintAlpha_ = 1;
        cairo_push_group(cr_);
        return;
    }
    // The clip cuts whole pixels only, so drawing the content unclipped
    // and compositing it through the clip gives the pixels a group would.
    // The recording keeps the clip's box, for what asks how much is visible.
    double x1, y1, x2, y2;
    ClipBoxInDevice(cr_, x1, y1, x2, y2);
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* inner = cairo_create(recording);
    cairo_surface_destroy(recording);
    cairo_rectangle(inner, x1, y1, x2 - x1, y2 - y1);
    cairo_clip(inner);
    cairo_matrix_t user;
    cairo_get_matrix(cr_, &user);
    cairo_set_matrix(inner, &user);
    cairo_set_antialias(inner, cairo_get_antialias(cr_));
    cairo_set_tolerance(inner, cairo_get_tolerance(cr_));
    groups_.push_back({cr_, paintAlpha_});
    paintAlpha_ = 1;
    cr_ = inner;
}

void CCanvas::EndGroup(double alpha)
{
    alpha = std::clamp(alpha, 0.0, 1.0);
    cairo_t* outer = nullptr;
    if (!groups_.empty()) {
        outer = groups_.back().recordedOn;
        paintAlpha_ = groups_.back().paintAlpha;
        groups_.pop_back();
    }
    alpha *= paintAlpha_;
    if (outer == nullptr) {
        cairo_pop_group_to_source(cr_);
        cairo_paint_with_alpha(cr_, alpha);
        cairo_set_source_rgb(cr_, 0, 0, 0);
        return;
    }
    cairo_t* inner = cr_;
    cr_ = outer;
    cairo_surface_t* recording = cairo_get_target(inner);
    double x, y, width, height;
    cairo_recording_surface_ink_extents(recording, &x, &y, &width, &height);
    if (width > 0 && height > 0 && cairo_status(inner) == CAIRO_STATUS_SUCCESS) {
        cairo_save(cr_);
        cairo_identity_matrix(cr_);
        const double left = std::floor(x), top = std::floor(y);
        cairo_new_path(cr_);
        cairo_rectangle(cr_, left, top, std::ceil(x + width) - left, std::ceil(y + height) - top);
        cairo_clip(cr_);
        cairo_set_source_surface(cr_, recording, 0, 0);
        cairo_paint_with_alpha(cr_, alpha);
        cairo_restore(cr_);
    }
    cairo_destroy(inner);
}

}  // namespace svg
