#include "render/shape.h"

#include <cairo.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>

#include "base/limits.h"
#include "model/elem.h"
#include "model/messages.h"
#include "render/canvas.h"
#include "render/marker.h"
#include "render/paint_server.h"
#include "render/prepare.h"
#include "render/render.h"
#include "values/number.h"
#include "values/path_data.h"

namespace svg {
namespace {

// Distance of a quarter ellipse's control points from its end points, as a
// fraction of the radius: 4/3 (sqrt(2) - 1), the best cubic fit of a circle.
constexpr double kKappa = 0.5522847498;

// --- Messages -------------------------------------------------------------------

// The shape's messages: each names the element and the attribute.
class ShapeReporter {
public:
    ShapeReporter(const CElem& elem, CPreparer& preparer) : elem_(elem), preparer_(preparer) {}

    void Invalid(AttributeId attribute, const std::string& text) const
    {
        preparer_.ReportInvalid(elem_, attribute, text);
    }
    void Negative(AttributeId attribute, const std::string& text) const
    {
        const std::string_view name = AttributeName(attribute);
        preparer_.Log().Report(elem_, msg::kMustBePositive, elem_.Name().c_str(), static_cast<int>(name.size()),
                               name.data(), text.c_str());
    }
    void NotDefined(AttributeId attribute) const
    {
        const std::string_view name = AttributeName(attribute);
        preparer_.Log().Report(elem_, msg::kNotDefined, elem_.Name().c_str(), static_cast<int>(name.size()),
                               name.data());
    }
    void MissingUsingZero(AttributeId attribute) const
    {
        const std::string_view name = AttributeName(attribute);
        preparer_.Log().Report(elem_, msg::kNotDefinedUsingZero, elem_.Name().c_str(),
                               static_cast<int>(name.size()), name.data());
    }

    const CElem& Elem() const { return elem_; }
    CPreparer& Preparer() const { return preparer_; }

private:
    const CElem& elem_;
    CPreparer& preparer_;
};

// --- Reading lengths --------------------------------------------------------------

// A geometry attribute as the element itself writes it; null when missing.
// "inherit" takes the parent's attribute for other attributes, but geometry
// attributes are not properties (SVG 1.1) and have nothing to inherit: every
// current renderer ignores an ancestor's x or d here, so "inherit" reads as
// missing.
const std::string* GeometryText(const CElem& elem, AttributeId name)
{
    const std::string* text = elem.attributes.Value(name);
    return text != nullptr && TrimSpace(*text) == "inherit" ? nullptr : text;
}

LengthAttribute ReadLength(const ShapeReporter& shape, AttributeId name, PercentRule rule)
{
    LengthAttribute read{GeometryText(shape.Elem(), name), std::nullopt};
    if (read.text == nullptr)
        return read;
    if (const std::optional<Number> number = ParseLength(*read.text))
        read.value = ResolveLength(*number, rule, shape.Preparer().Lengths(shape.Elem()));
    return read;
}

// A coordinate that defaults to 0. A missing value is 0, with the warning when
// `warnMissing`; an unreadable one is reported and taken as 0.
double Coordinate(const ShapeReporter& shape, AttributeId name, PercentRule rule, bool warnMissing)
{
    const LengthAttribute attribute = ReadLength(shape, name, rule);
    if (attribute.text == nullptr) {
        if (warnMissing)
            shape.MissingUsingZero(name);
        return 0;
    }
    if (!attribute.value) {
        shape.Invalid(name, *attribute.text);
        return 0;
    }
    return *attribute.value;
}

// The width or height of a rect: null, after its message, when missing,
// unreadable or negative.
std::optional<double> RectSize(const ShapeReporter& shape, AttributeId name, PercentRule rule)
{
    const LengthAttribute attribute = ReadLength(shape, name, rule);
    if (attribute.text == nullptr)
        shape.NotDefined(name);
    else if (!attribute.value)
        shape.Invalid(name, *attribute.text);
    else if (*attribute.value < 0)
        shape.Negative(name, *attribute.text);
    else
        return attribute.value;
    return std::nullopt;
}

// A rect corner radius: null when missing, and after its message when
// unreadable or negative (the other radius then stands in for it).
std::optional<double> CornerRadius(const ShapeReporter& shape, AttributeId name, PercentRule rule)
{
    const LengthAttribute attribute = ReadLength(shape, name, rule);
    if (attribute.text == nullptr)
        return std::nullopt;
    if (attribute.value && *attribute.value >= 0)
        return attribute.value;
    if (attribute.value && name == AttributeId::ry)
        shape.Negative(name, *attribute.text);
    else
        shape.Invalid(name, *attribute.text);
    return std::nullopt;
}

// A circle or ellipse radius: null, after its message, when missing,
// unreadable or negative. A missing one shows an empty value.
std::optional<double> Radius(const ShapeReporter& shape, AttributeId name, PercentRule rule)
{
    const LengthAttribute attribute = ReadLength(shape, name, rule);
    if (attribute.value && *attribute.value >= 0)
        return attribute.value;
    shape.Invalid(name, attribute.text != nullptr ? *attribute.text : std::string());
    return std::nullopt;
}

// --- Geometry ---------------------------------------------------------------------

// Lengths clamped to the float range stay finite in the path's points.
PointF Point(double x, double y)
{
    return {static_cast<float>(std::clamp(x, -double{FLT_MAX}, double{FLT_MAX})),
            static_cast<float>(std::clamp(y, -double{FLT_MAX}, double{FLT_MAX}))};
}

// A quarter ellipse from the current point (the tangent point `fromX, fromY`)
// round `corner` to the tangent point `to`: each control point lies kKappa of
// the way from its tangent point toward the corner.
void AddCorner(CGraphicsPath& path, double fromX, double fromY, double cornerX, double cornerY, double toX,
               double toY)
{
    path.AddBezier(Point(fromX + (cornerX - fromX) * kKappa, fromY + (cornerY - fromY) * kKappa),
                   Point(toX + (cornerX - toX) * kKappa, toY + (cornerY - toY) * kKappa), Point(toX, toY));
}

// Clockwise from the top-left corner (from the end of its top-left curve
// when rounded), so that dashes start where SVG places them.
CGraphicsPath RectFigure(double x, double y, double width, double height, double rx, double ry)
{
    const double right = x + width;
    const double bottom = y + height;
    CGraphicsPath path;
    // Sized exactly: a document may hold hundreds of thousands of these.
    path.Reserve(rx == 0 || ry == 0 ? 4 : 17);
    if (rx == 0 || ry == 0) {
        path.StartFigure(Point(x, y));
        path.AddLine(Point(right, y));
        path.AddLine(Point(right, bottom));
        path.AddLine(Point(x, bottom));
    } else {
        path.StartFigure(Point(x + rx, y));
        path.AddLine(Point(right - rx, y));
        AddCorner(path, right - rx, y, right, y, right, y + ry);
        path.AddLine(Point(right, bottom - ry));
        AddCorner(path, right, bottom - ry, right, bottom, right - rx, bottom);
        path.AddLine(Point(x + rx, bottom));
        AddCorner(path, x + rx, bottom, x, bottom, x, bottom - ry);
        path.AddLine(Point(x, y + ry));
        AddCorner(path, x, y + ry, x, y, x + rx, y);
    }
    path.CloseFigure();
    return path;
}

// Four quarter ellipses from (cx + rx, cy) in the direction of increasing
// angle, which is clockwise on a screen whose y axis points down: SVG starts
// an ellipse's dashes there and runs them that way.
CGraphicsPath EllipseFigure(double cx, double cy, double rx, double ry)
{
    CGraphicsPath path;
    path.Reserve(13);
    path.StartFigure(Point(cx + rx, cy));
    AddCorner(path, cx + rx, cy, cx + rx, cy + ry, cx, cy + ry);
    AddCorner(path, cx, cy + ry, cx - rx, cy + ry, cx - rx, cy);
    AddCorner(path, cx - rx, cy, cx - rx, cy - ry, cx, cy - ry);
    AddCorner(path, cx, cy - ry, cx + rx, cy - ry, cx + rx, cy);
    path.CloseFigure();
    return path;
}

std::optional<CGraphicsPath> RectPath(const ShapeReporter& elem)
{
    const double x = Coordinate(elem, AttributeId::x, PercentRule::HorizontalPosition, false);
    const double y = Coordinate(elem, AttributeId::y, PercentRule::VerticalPosition, false);
    const std::optional<double> width = RectSize(elem, AttributeId::width, PercentRule::HorizontalSize);
    const std::optional<double> height = RectSize(elem, AttributeId::height, PercentRule::VerticalSize);
    std::optional<double> rx = CornerRadius(elem, AttributeId::rx, PercentRule::HorizontalSize);
    std::optional<double> ry = CornerRadius(elem, AttributeId::ry, PercentRule::VerticalSize);
    if (!width || !height || *width == 0 || *height == 0)
        return std::nullopt;
    // SVG: a radius that is not given properly takes the other's value, and
    // neither may exceed half the side it rounds.
    if (!rx)
        rx = ry;
    if (!ry)
        ry = rx;
    const double cornerX = std::min(rx.value_or(0), *width / 2);
    const double cornerY = std::min(ry.value_or(0), *height / 2);
    return RectFigure(x, y, *width, *height, cornerX, cornerY);
}

std::optional<CGraphicsPath> CirclePath(const ShapeReporter& elem)
{
    const double cx = Coordinate(elem, AttributeId::cx, PercentRule::HorizontalPosition, true);
    const double cy = Coordinate(elem, AttributeId::cy, PercentRule::VerticalPosition, true);
    // SVG: a percentage radius is of the viewport's normalised diagonal.
    const std::optional<double> r = Radius(elem, AttributeId::r, PercentRule::Diagonal);
    if (!r || *r == 0)
        return std::nullopt;
    return EllipseFigure(cx, cy, *r, *r);
}

std::optional<CGraphicsPath> EllipsePath(const ShapeReporter& elem)
{
    const double cx = Coordinate(elem, AttributeId::cx, PercentRule::HorizontalPosition, true);
    const double cy = Coordinate(elem, AttributeId::cy, PercentRule::VerticalPosition, true);
    const std::optional<double> rx = Radius(elem, AttributeId::rx, PercentRule::HorizontalSize);
    const std::optional<double> ry = Radius(elem, AttributeId::ry, PercentRule::VerticalSize);
    if (!rx || !ry || *rx == 0 || *ry == 0)
        return std::nullopt;
    return EllipseFigure(cx, cy, *rx, *ry);
}

// One segment; its start and end markers both point from the first point to
// the second.
CGraphicsPath LinePath(const ShapeReporter& elem, std::vector<MarkerInfo>* markers)
{
    const double x1 = Coordinate(elem, AttributeId::x1, PercentRule::HorizontalPosition, true);
    const double y1 = Coordinate(elem, AttributeId::y1, PercentRule::VerticalPosition, true);
    const double x2 = Coordinate(elem, AttributeId::x2, PercentRule::HorizontalPosition, true);
    const double y2 = Coordinate(elem, AttributeId::y2, PercentRule::VerticalPosition, false);
    CGraphicsPath path;
    path.StartFigure(Point(x1, y1));
    path.AddLine(Point(x2, y2));
    if (markers != nullptr) {
        const PointF start = path.points[0];
        const PointF end = path.points[1];
        const float angle = static_cast<float>(std::atan2(double{end.y} - start.y, double{end.x} - start.x) * 180 /
                                               std::numbers::pi);
        markers->push_back({start.x, start.y, angle, MarkerKind::Start});
        markers->push_back({end.x, end.y, angle, MarkerKind::End});
    }
    return path;
}

void ReportTruncated(const ShapeReporter& shape)
{
    shape.Preparer().Log().Report(shape.Elem(), msg::kPathTooLong, shape.Elem().Name().c_str(),
                                  limits::kMaxPathPoints);
}

std::optional<CGraphicsPath> PointsPath(const ShapeReporter& shape, FillRule fillRule,
                                        std::vector<MarkerInfo>* markers)
{
    const CElem& elem = shape.Elem();
    const std::string* points = GeometryText(elem, AttributeId::points);
    if (points == nullptr) {
        shape.NotDefined(AttributeId::points);
        return std::nullopt;
    }
    ParsedPath parsed = ParsePoints(*points, fillRule, elem.Id() == ElementId::polygon, markers);
    if (parsed.truncated)
        ReportTruncated(shape);
    if (parsed.path.Empty()) {
        shape.Invalid(AttributeId::points, *points);
        return std::nullopt;
    }
    return std::move(parsed.path);
}

std::optional<CGraphicsPath> PathDataPath(const ShapeReporter& shape, FillRule fillRule,
                                          std::vector<MarkerInfo>* markers)
{
    const CElem& elem = shape.Elem();
    const std::string* data = GeometryText(elem, AttributeId::d);
    if (data == nullptr) {
        shape.NotDefined(AttributeId::d);
        return std::nullopt;
    }
    ParsedPath parsed = ParsePathData(*data, shape.Preparer().Lengths(elem), fillRule, markers);
    if (parsed.truncated)
        ReportTruncated(shape);
    return std::move(parsed.path);
}

// --- Markers ----------------------------------------------------------------------

// The `marker` element a marker property names: null for "none", for no
// value, and (after its message) for a reference that finds no marker.
const CElem* ResolveMarker(CElemShape& shape, AttributeId property, CPreparer& preparer)
{
    const std::string* value = shape.GetAttribute(property, true);
    if (value == nullptr || TrimSpace(*value) == "none")
        return nullptr;
    const CElem* target = preparer.FindReference(shape, *value);
    if (target != nullptr && target->Id() == ElementId::marker)
        return target;
    const std::string_view name = AttributeName(property);
    preparer.Log().Report(shape, msg::kNotMarker, shape.Name().c_str(), static_cast<int>(name.size()), name.data(),
                          value->c_str());
    return nullptr;
}

// The `marker` shorthand reached the attributes as these three (CSS only).
void ResolveMarkers(CElemShape& shape, CPreparer& preparer)
{
    ShapeMarkers markers;
    markers.start = ResolveMarker(shape, AttributeId::marker_start, preparer);
    markers.end = ResolveMarker(shape, AttributeId::marker_end, preparer);
    markers.mid = ResolveMarker(shape, AttributeId::marker_mid, preparer);
    if (markers.start != nullptr || markers.mid != nullptr || markers.end != nullptr)
        shape.markers = std::make_unique<ShapeMarkers>(std::move(markers));
}

// --- Painting ---------------------------------------------------------------------

// A paint server paints the item unless it works in objectBoundingBox units
// and the shape's box has no width or height (a userSpaceOnUse server still
// paints a horizontal line). Where it cannot, the brush or pen that
// resolution made from the url()'s fallback colour stands in for it.

// The fill of one item, with or without a paint server.
void PaintFill(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style, const CElem& shape,
               const RenderArgs& args)
{
    const CElem* server = style.fillPaintServer;
    if (server != nullptr && PaintPath(*server, canvas, item, shape, false, args))
        return;
    if (style.fillBrush)
        canvas.Fill(item, style.fillBrush->color);
}

// The stroke of an item whose stroke has no paint server.
void StrokeWithPen(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style)
{
    if (style.strokePen)
        canvas.Stroke(item, *style.strokePen);
}

// The stroke of an item whose stroke has a paint server, or of its fallback.
void StrokeWithServer(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style,
                      const CElem& shape, const RenderArgs& args)
{
    if (PaintPath(*style.strokePaintServer, canvas, item, shape, true, args))
        return;
    StrokeWithPen(canvas, item, style);
}

// --- Bounds -----------------------------------------------------------------------

CGraphicsPath Mapped(const CGraphicsPath& path, const Matrix& m)
{
    CGraphicsPath mapped = path;
    for (PointF& p : mapped.points) {
        const double x = p.x;
        const double y = p.y;
        p = Point(x * m.m11 + y * m.m21 + m.dx, x * m.m12 + y * m.m22 + m.dy);
    }
    return mapped;
}

}  // namespace

bool SetUpShape(CElemShape& shape, CPreparer& preparer)
{
    shape.paths.clear();
    shape.markers.reset();
    const FillRule fillRule = shape.props.fillRule;
    const ElementId element = shape.Id();
    const bool marked = element == ElementId::line || element == ElementId::polyline ||
                        element == ElementId::polygon || element == ElementId::path;
    if (marked)
        ResolveMarkers(shape, preparer);
    // Vertices are only collected for a shape that has a marker to put on them.
    std::vector<MarkerInfo>* vertices = shape.markers != nullptr ? &shape.markers->vertices : nullptr;
    const ShapeReporter reporter(shape, preparer);
    std::optional<CGraphicsPath> path;
    switch (element) {
    case ElementId::rect: path = RectPath(reporter); break;
    case ElementId::circle: path = CirclePath(reporter); break;
    case ElementId::ellipse: path = EllipsePath(reporter); break;
    case ElementId::line: path = LinePath(reporter, vertices); break;
    case ElementId::polyline:
    case ElementId::polygon: path = PointsPath(reporter, fillRule, vertices); break;
    case ElementId::path: path = PathDataPath(reporter, fillRule, vertices); break;
    default: break;
    }
    if (path) {
        path->fillRule = fillRule;
        shape.paths.push_back(std::move(*path));
    }
    return true;
}

void DrawShape(const CElemShape& shape, CCanvas& canvas, const RenderArgs& args)
{
    // A hidden shape paints nothing.
    if (shape.props.filterFailed || shape.props.visibility != Visibility::Visible)
        return;
    const ResolvedProperties& style = shape.props;
    for (const CGraphicsPath& item : shape.paths) {
        PaintFill(canvas, item, style, shape, args);
        if (style.strokePaintServer == nullptr)
            StrokeWithPen(canvas, item, style);
        else
            StrokeWithServer(canvas, item, style, shape, args);
    }
    // Markers paint over fill and stroke, and hide with the shape as browsers
    // do; their content's own visibility cannot bring them back.
    DrawShapeMarkers(shape, canvas, args);
}

std::optional<RectF> ShapeOutlineBounds(const CElemShape& shape, const Matrix& toSpace)
{
    // Mapping the points and then taking tight bounds is exact: an affine
    // image of a cubic is the cubic of the images of its points.
    std::optional<RectF> bounds;
    for (const CGraphicsPath& item : shape.paths) {
        const std::optional<RectF> itemBounds = TightBounds(Mapped(item, toSpace));
        if (itemBounds)
            bounds = bounds ? Union(*bounds, *itemBounds) : *itemBounds;
    }
    return bounds;
}

namespace {

// True when (x, y), in the parent's user space, is certainly outside
// everything the shape paints: its geometry box grown by the farthest a
// stroke reaches beyond the outline (half the width, times the miter limit
// at sharp joins, or the diagonal of a square cap). Markers can reach
// anywhere, so shapes with them are never ruled out here.
bool MissesPaintedArea(const CElemShape& shape, double x, double y)
{
    if (!shape.boundsComputed || !shape.bboxUser || !shape.MarkerVertices().empty())
        return false;
    const std::optional<Matrix> toUser = shape.props.transform.Inverse();
    if (!toUser)
        return false;
    double reach = 0;
    if (shape.props.strokePen)
        reach = shape.props.strokePen->width / 2.0 * std::max<double>({shape.props.strokePen->miterLimit, std::numbers::sqrt2, 1.0});
    const PointD point = toUser->Apply({x, y});
    const RectF& box = *shape.bboxUser;
    // One unit more keeps antialiasing and rounding on the safe side.
    const double margin = reach + 1;
    return point.x < box.x - margin || point.x > box.Right() + margin || point.y < box.y - margin ||
           point.y > box.Bottom() + margin;
}

}  // namespace

const CElem* HitTestShape(const CElemShape& shape, double x, double y, CRenderPass& pass)
{
    if (shape.props.display == Display::None || shape.excluded || shape.paths.empty())
        return nullptr;
    if (MissesPaintedArea(shape, x, y))
        return nullptr;
    // A scratch context carries the shape's transform so that cairo widens
    // the stroke exactly as it would be drawn.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    CCanvas scratch(surface);
    cairo_surface_destroy(surface);
    if (!scratch.MultiplyTransform(shape.props.transform))
        return nullptr;
    cairo_t* cr = scratch.Cairo();
    double userX = x;
    double userY = y;
    cairo_device_to_user(cr, &userX, &userY);

    if (HitTestShapeMarkers(shape, userX, userY, pass))
        return &shape;
    const ResolvedProperties& style = shape.props;
    for (const CGraphicsPath& item : shape.paths) {
        scratch.SetPath(item);
        if (style.fillBrush || style.fillPaintServer != nullptr) {
            cairo_set_fill_rule(cr, item.fillRule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                        : CAIRO_FILL_RULE_WINDING);
            if (cairo_in_fill(cr, userX, userY))
                return &shape;
        }
        if (style.strokePen && scratch.ApplyPen(*style.strokePen) && cairo_in_stroke(cr, userX, userY))
            return &shape;
    }
    return nullptr;
}

}  // namespace svg
