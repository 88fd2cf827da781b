// Basic shapes and paths. Setup reads the geometry attributes of rect,
// circle, ellipse, line, polyline, polygon and path into one path item (with
// a located message for every missing, unreadable or negative value; a shape
// whose geometry cannot be built keeps no item and draws nothing) and
// resolves the marker references of the four marker-bearing shapes. Draw
// paints each item with the resolved fill and stroke; the element's
// `opacity` is not applied here, Render fades the whole element as a group.
// Text elements share the class; their items come from the text layout.
#include <cairo.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>

#include "model/elem.h"
#include "model/message_log.h"
#include "render/canvas.h"
#include "render/marker.h"
#include "render/render.h"
#include "values/number.h"
#include "values/path_data.h"

namespace svg {
namespace {

// Distance of a quarter ellipse's control points from its end points, as a
// fraction of the radius: 4/3 (sqrt(2) - 1), the best cubic fit of a circle.
constexpr double kKappa = 0.5522847498;

// --- Messages -------------------------------------------------------------------

void ReportInvalid(const CElem& elem, std::string_view attribute, const std::string& text)
{
    ReportMessage("E %s %.*s=\"%s\" :Invalid value at %d(%d)", elem.Name().c_str(),
                  static_cast<int>(attribute.size()), attribute.data(), text.c_str(), elem.line, elem.column);
}

void ReportNegative(const CElem& elem, std::string_view attribute, const std::string& text)
{
    ReportMessage("E %s %.*s=\"%s\": must be positive value at %d(%d)", elem.Name().c_str(),
                  static_cast<int>(attribute.size()), attribute.data(), text.c_str(), elem.line, elem.column);
}

void ReportNotDefined(const CElem& elem, std::string_view attribute)
{
    ReportMessage("E %s '%.*s' NOT defined at %d(%d)", elem.Name().c_str(), static_cast<int>(attribute.size()),
                  attribute.data(), elem.line, elem.column);
}

void ReportMissingUsingZero(const CElem& elem, std::string_view attribute)
{
    ReportMessage("W %s '%.*s' :NOT difined.(using 0) at %d(%d)", elem.Name().c_str(),
                  static_cast<int>(attribute.size()), attribute.data(), elem.line, elem.column);
}

// --- Reading lengths --------------------------------------------------------------

// A geometry attribute as written ("inherit" takes the parent's): `text` is
// null when it is missing, `value` null when it is not one length.
struct LengthAttribute {
    const std::string* text = nullptr;
    std::optional<double> value;
};

LengthAttribute ReadLength(const CElem& elem, std::string_view name, PercentRule rule)
{
    LengthAttribute attribute{elem.GetAttribute(name, false), std::nullopt};
    if (attribute.text == nullptr)
        return attribute;
    const std::string_view text = *attribute.text;
    std::size_t pos = 0;
    const std::optional<Number> number = ParseNumber(text, pos);
    // "10abc" is not a length: anything but blanks after the unit makes it unreadable.
    if (number && SkipSpace(text, pos) == text.size())
        attribute.value = ResolveLength(*number, rule, &elem);
    return attribute;
}

// A coordinate that defaults to 0. A missing value is 0, with the warning when
// `warnMissing`; an unreadable one is reported and taken as 0.
double Coordinate(const CElem& elem, std::string_view name, PercentRule rule, bool warnMissing)
{
    const LengthAttribute attribute = ReadLength(elem, name, rule);
    if (attribute.text == nullptr) {
        if (warnMissing)
            ReportMissingUsingZero(elem, name);
        return 0;
    }
    if (!attribute.value) {
        ReportInvalid(elem, name, *attribute.text);
        return 0;
    }
    return *attribute.value;
}

// The width or height of a rect: null, after its message, when missing,
// unreadable or negative.
std::optional<double> RectSize(const CElem& elem, std::string_view name, PercentRule rule)
{
    const LengthAttribute attribute = ReadLength(elem, name, rule);
    if (attribute.text == nullptr)
        ReportNotDefined(elem, name);
    else if (!attribute.value)
        ReportInvalid(elem, name, *attribute.text);
    else if (*attribute.value < 0)
        ReportNegative(elem, name, *attribute.text);
    else
        return attribute.value;
    return std::nullopt;
}

// A rect corner radius: null when missing, and after its message when
// unreadable or negative (the other radius then stands in for it).
std::optional<double> CornerRadius(const CElem& elem, std::string_view name, PercentRule rule)
{
    const LengthAttribute attribute = ReadLength(elem, name, rule);
    if (attribute.text == nullptr)
        return std::nullopt;
    if (attribute.value && *attribute.value >= 0)
        return attribute.value;
    if (attribute.value && name == "ry")
        ReportNegative(elem, name, *attribute.text);
    else
        ReportInvalid(elem, name, *attribute.text);
    return std::nullopt;
}

// A circle or ellipse radius: null, after its message, when missing,
// unreadable or negative. A missing one shows an empty value.
std::optional<double> Radius(const CElem& elem, std::string_view name, PercentRule rule)
{
    const LengthAttribute attribute = ReadLength(elem, name, rule);
    if (attribute.value && *attribute.value >= 0)
        return attribute.value;
    ReportInvalid(elem, name, attribute.text != nullptr ? *attribute.text : std::string());
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
    path.StartFigure(Point(cx + rx, cy));
    AddCorner(path, cx + rx, cy, cx + rx, cy + ry, cx, cy + ry);
    AddCorner(path, cx, cy + ry, cx - rx, cy + ry, cx - rx, cy);
    AddCorner(path, cx - rx, cy, cx - rx, cy - ry, cx, cy - ry);
    AddCorner(path, cx, cy - ry, cx + rx, cy - ry, cx + rx, cy);
    path.CloseFigure();
    return path;
}

std::optional<CGraphicsPath> RectPath(const CElem& elem)
{
    const double x = Coordinate(elem, "x", PercentRule::HorizontalPosition, false);
    const double y = Coordinate(elem, "y", PercentRule::VerticalPosition, false);
    const std::optional<double> width = RectSize(elem, "width", PercentRule::HorizontalSize);
    const std::optional<double> height = RectSize(elem, "height", PercentRule::VerticalSize);
    std::optional<double> rx = CornerRadius(elem, "rx", PercentRule::HorizontalSize);
    std::optional<double> ry = CornerRadius(elem, "ry", PercentRule::VerticalSize);
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

std::optional<CGraphicsPath> CirclePath(const CElem& elem)
{
    const double cx = Coordinate(elem, "cx", PercentRule::HorizontalPosition, true);
    const double cy = Coordinate(elem, "cy", PercentRule::VerticalPosition, true);
    // SVG: a percentage radius is of the viewport's normalised diagonal.
    const std::optional<double> r = Radius(elem, "r", PercentRule::Diagonal);
    if (!r || *r == 0)
        return std::nullopt;
    return EllipseFigure(cx, cy, *r, *r);
}

std::optional<CGraphicsPath> EllipsePath(const CElem& elem)
{
    const double cx = Coordinate(elem, "cx", PercentRule::HorizontalPosition, true);
    const double cy = Coordinate(elem, "cy", PercentRule::VerticalPosition, true);
    const std::optional<double> rx = Radius(elem, "rx", PercentRule::HorizontalSize);
    const std::optional<double> ry = Radius(elem, "ry", PercentRule::VerticalSize);
    if (!rx || !ry || *rx == 0 || *ry == 0)
        return std::nullopt;
    return EllipseFigure(cx, cy, *rx, *ry);
}

// One segment; its start and end markers both point from the first point to
// the second.
CGraphicsPath LinePath(const CElem& elem, std::vector<MarkerInfo>* markers)
{
    const double x1 = Coordinate(elem, "x1", PercentRule::HorizontalPosition, true);
    const double y1 = Coordinate(elem, "y1", PercentRule::VerticalPosition, true);
    const double x2 = Coordinate(elem, "x2", PercentRule::HorizontalPosition, true);
    const double y2 = Coordinate(elem, "y2", PercentRule::VerticalPosition, false);
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

std::optional<CGraphicsPath> PointsPath(const CElem& elem, FillMode fillMode, std::vector<MarkerInfo>* markers)
{
    const std::string* points = elem.GetAttribute("points", false);
    if (points == nullptr) {
        ReportNotDefined(elem, "points");
        return std::nullopt;
    }
    CGraphicsPath path = ParsePoints(*points, fillMode, elem.Id() == ElementId::polygon, markers, &elem);
    if (path.Empty()) {
        ReportInvalid(elem, "points", *points);
        return std::nullopt;
    }
    return path;
}

std::optional<CGraphicsPath> PathDataPath(const CElem& elem, FillMode fillMode, std::vector<MarkerInfo>* markers)
{
    const std::string* data = elem.GetAttribute("d", false);
    if (data == nullptr) {
        ReportNotDefined(elem, "d");
        return std::nullopt;
    }
    return ParsePathData(*data, &elem, fillMode, markers);
}

// --- Markers ----------------------------------------------------------------------

// The `marker` element a marker property names: null for "none", for no
// value, and (after its message) for a reference that finds no marker.
CElem* ResolveMarker(CElem& shape, std::string_view property)
{
    const std::string* value = shape.GetAttribute(property, true);
    if (value == nullptr || TrimSpace(*value) == "none")
        return nullptr;
    CElem* target = shape.FindReference(*value);
    if (target != nullptr && target->Id() == ElementId::marker)
        return target;
    ReportMessage("E %s %.*s=\"%s\" NOT refer element 'marker' at %d(%d)", shape.Name().c_str(),
                  static_cast<int>(property.size()), property.data(), value->c_str(), shape.line, shape.column);
    return nullptr;
}

// The `marker` shorthand reached the attributes as these three (CSS only).
void ResolveMarkers(CElemShape& shape)
{
    if (CElem* start = ResolveMarker(shape, "marker-start"))
        shape.markerStart = start;
    if (CElem* end = ResolveMarker(shape, "marker-end"))
        shape.markerEnd = end;
    if (CElem* mid = ResolveMarker(shape, "marker-mid"))
        shape.markerMid = mid;
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
    CElem* server = style.fillPaintServer;
    if (server != nullptr && server->IsA(ElemClass::Paint) &&
        static_cast<CElemPaint*>(server)->PaintPath(canvas, item, shape, false, args))
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

// The stroke of an item whose stroke has a paint server: drawn over the
// item's child.
void StrokeWithServer(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style,
                      const CElem& shape, const RenderArgs& args)
{
    CElem* server = style.strokePaintServer;
    if (server->IsA(ElemClass::Paint) && static_cast<CElemPaint*>(server)->PaintPath(canvas, item, shape, true, args))
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

RectF Union(const RectF& a, const RectF& b)
{
    const float left = std::min(a.x, b.x);
    const float top = std::min(a.y, b.y);
    return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

}  // namespace

bool CElemShape::Setup()
{
    // Text builds its items in the text layout.
    if (Class() == ElemClass::Text)
        return CElem::Setup();

    paths.clear();
    markers.clear();
    markerStart = markerMid = markerEnd = nullptr;
    const FillMode fillMode = props.fillRule == 1 ? FillMode::Alternate : FillMode::Winding;
    const ElementId element = Id();
    const bool marked = element == ElementId::line || element == ElementId::polyline ||
                        element == ElementId::polygon || element == ElementId::path;
    if (marked)
        ResolveMarkers(*this);
    // Vertices are only collected for a shape that has a marker to put on them.
    std::vector<MarkerInfo>* vertices =
        markerStart != nullptr || markerMid != nullptr || markerEnd != nullptr ? &markers : nullptr;

    std::optional<CGraphicsPath> path;
    switch (element) {
    case ElementId::rect: path = RectPath(*this); break;
    case ElementId::circle: path = CirclePath(*this); break;
    case ElementId::ellipse: path = EllipsePath(*this); break;
    case ElementId::line: path = LinePath(*this, vertices); break;
    case ElementId::polyline:
    case ElementId::polygon: path = PointsPath(*this, fillMode, vertices); break;
    case ElementId::path: path = PathDataPath(*this, fillMode, vertices); break;
    default: break;
    }
    if (path) {
        path->fillMode = fillMode;
        paths.push_back(std::move(*path));
    }
    return true;
}

bool CElemShape::Draw(CCanvas& canvas, const RenderArgs& args)
{
    if (props.filterFailed)
        return true;
    // A hidden shape paints nothing; an item's child has a visibility of its own.
    const bool painted = props.visibility == Visibility::Visible;
    for (const CGraphicsPath& item : paths) {
        const ResolvedProperties& style = item.owner != nullptr ? item.owner->props : props;
        if (painted) {
            PaintFill(canvas, item, style, *this, args);
            if (style.strokePaintServer == nullptr)
                StrokeWithPen(canvas, item, style);
        }
        if (item.child != nullptr)
            Render(*item.child, canvas, args);
        if (painted && style.strokePaintServer != nullptr)
            StrokeWithServer(canvas, item, style, *this, args);
    }
    // Markers paint over fill and stroke, and hide with the shape as browsers
    // do; their content's own visibility cannot bring them back.
    if (painted)
        DrawShapeMarkers(*this, canvas, args);
    return true;
}

std::optional<RectF> CElemShape::GetOutlineBounds(const Matrix& toSpace) const
{
    // Mapping the points and then taking tight bounds is exact: an affine
    // image of a cubic is the cubic of the images of its points.
    std::optional<RectF> bounds;
    for (const CGraphicsPath& item : paths) {
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
// at sharp joins, or the diagonal of a square cap). Markers and child items
// can reach anywhere, so shapes with them are never ruled out here.
bool MissesPaintedArea(const CElemShape& shape, double x, double y)
{
    if (!shape.boundsComputed || !shape.bboxUser || !shape.markers.empty())
        return false;
    for (const CGraphicsPath& item : shape.paths)
        if (item.child != nullptr || item.owner != nullptr)
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

CElem* CElemShape::HitTest(double x, double y)
{
    if (props.display == Display::None || excluded || paths.empty())
        return nullptr;
    if (MissesPaintedArea(*this, x, y))
        return nullptr;
    // A scratch context carries the shape's transform so that cairo widens
    // the stroke exactly as it would be drawn.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    CCanvas scratch(surface);
    cairo_surface_destroy(surface);
    if (!scratch.MultiplyTransform(props.transform))
        return nullptr;
    cairo_t* cr = scratch.Cairo();
    double userX = x;
    double userY = y;
    cairo_device_to_user(cr, &userX, &userY);

    if (HitTestShapeMarkers(*this, userX, userY))
        return this;
    for (const CGraphicsPath& item : paths)
        if (item.child != nullptr)
            if (CElem* hit = item.child->HitTest(userX, userY))
                return hit;
    for (const CGraphicsPath& item : paths) {
        const ResolvedProperties& style = item.owner != nullptr ? item.owner->props : props;
        scratch.SetPath(item);
        if (style.fillBrush || style.fillPaintServer != nullptr) {
            cairo_set_fill_rule(cr, item.fillMode == FillMode::Alternate ? CAIRO_FILL_RULE_EVEN_ODD
                                                                          : CAIRO_FILL_RULE_WINDING);
            if (cairo_in_fill(cr, userX, userY))
                return this;
        }
        if (style.strokePen && scratch.ApplyPen(*style.strokePen) && cairo_in_stroke(cr, userX, userY))
            return this;
    }
    return nullptr;
}

}  // namespace svg
