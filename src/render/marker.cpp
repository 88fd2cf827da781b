// Markers: reading the marker's viewport, drawing and hit-testing one
// instance, and the markers of a shape with their cycle and cost guards.
//
// An instance maps marker content to the shape's user space by: the
// reference point to the origin (scaled as the viewBox scales), the stroke
// width when markerUnits is strokeWidth, the orientation, then the vertex.
// Content properties inherit from the marker's own ancestors, never from the
// shape, which the tree gives for free: the content is prepared where it is.
#include "render/marker.h"

#include <cairo.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/limits.h"
#include "model/messages.h"
#include "render/container.h"
#include "render/prepare.h"
#include "render/render.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {
namespace {

// --- Marker Setup ------------------------------------------------------------------

// markerWidth or markerHeight: the default 3 when missing or unreadable; a
// negative size is reported and makes the marker unusable.
float ReadMarkerSize(CElemMarker& marker, AttributeId name, PercentRule rule, CPreparer& preparer)
{
    const std::optional<double> size = preparer.ReadLength(marker, name, rule);
    if (!size)
        return 3;
    if (*size < 0) {
        preparer.ReportInvalid(marker, name, *marker.GetAttribute(name, false));
        marker.usable = false;
        return 0;
    }
    return static_cast<float>(*size);
}

bool IsAngleUnit(Unit unit) { return unit == Unit::User || unit == Unit::Deg || unit == Unit::Rad || unit == Unit::Grad; }

// "auto" follows the path; an angle (deg, rad, grad or none) is fixed;
// anything else is reported and leaves the fixed angle 0.
void ReadOrient(CElemMarker& marker, CPreparer& preparer)
{
    marker.orientAuto = false;
    marker.orientAngle = 0;
    const std::string* text = marker.GetAttribute(AttributeId::orient, false);
    if (text == nullptr)
        return;
    const std::string_view value = TrimSpace(*text);
    if (value == "auto") {
        marker.orientAuto = true;
        return;
    }
    std::size_t pos = 0;
    const std::optional<Number> angle = ParseNumber(value, pos);
    if (angle && pos == value.size() && IsAngleUnit(angle->unit))
        marker.orientAngle = static_cast<float>(ToDegrees(*angle));
    else
        preparer.ReportInvalid(marker, AttributeId::orient, *text);
}

// strokeWidth unless userSpaceOnUse is named; any other keyword is reported.
void ReadMarkerUnits(CElemMarker& marker, CPreparer& preparer)
{
    marker.markerUnits = MarkerUnits::StrokeWidth;
    const std::string* text = marker.GetAttribute(AttributeId::markerUnits, false);
    if (text == nullptr)
        return;
    if (const std::optional<MarkerUnits> units = ParseMarkerUnits(*text))
        marker.markerUnits = *units;
    else
        preparer.ReportInvalid(marker, AttributeId::markerUnits, *text);
}

// The viewBox when it has an area; a reported empty one is dropped.
std::optional<RectF> ReadMarkerViewBox(const CElemMarker& marker, CPreparer& preparer)
{
    const std::optional<RectF> viewBox = ReadViewBoxAttribute(marker, preparer.Context());
    if (!viewBox)
        return std::nullopt;
    if (IsEmptyRect(*viewBox)) {
        preparer.ReportInvalid(marker, AttributeId::viewBox, *marker.attributes.Value(AttributeId::viewBox));
        return std::nullopt;
    }
    return viewBox;
}

// --- One instance ------------------------------------------------------------------

// Content coordinates to the shape's user space. The reference point lands
// on the vertex: content point p goes to L(p - ref), L being the viewBox
// scale alone, since the viewBox translation (alignment included) cancels
// out between p and the reference point.
Matrix InstanceTransform(const CElemMarker& marker, const MarkerInfo& vertex, float strokeWidth)
{
    Matrix viewBoxScale = marker.viewBoxMatrix;
    viewBoxScale.dx = 0;
    viewBoxScale.dy = 0;
    Matrix m = Matrix::Multiply(Matrix::Translate(-marker.refX, -marker.refY), viewBoxScale);
    if (marker.markerUnits == MarkerUnits::StrokeWidth)
        m = Matrix::Multiply(m, Matrix::Scale(strokeWidth, strokeWidth));
    m = Matrix::Multiply(m, Matrix::Rotate(marker.orientAuto ? vertex.angle : marker.orientAngle));
    return Matrix::Multiply(m, Matrix::Translate(vertex.x, vertex.y));
}

// SVG: overflow auto is visible in SVG content; scroll clips like hidden.
bool ClipsToViewport(const CElemMarker& marker)
{
    return marker.props.overflow == Overflow::Hidden || marker.props.overflow == Overflow::Scroll;
}

// The viewport (0, 0, markerWidth, markerHeight) in content coordinates,
// where viewBoxMatrix is a scale and a translation.
RectF ViewportInContent(const CElemMarker& marker)
{
    const Matrix& m = marker.viewBoxMatrix;
    return {static_cast<float>(-m.dx / m.m11), static_cast<float>(-m.dy / m.m22),
            static_cast<float>(marker.markerWidth / m.m11), static_cast<float>(marker.markerHeight / m.m22)};
}

bool HidesItself(const CElem& elem)
{
    const std::string* display = elem.GetAttribute(AttributeId::display, false);
    return display != nullptr && TrimSpace(*display) == "none";
}

bool Contains(const RectF& rect, double x, double y)
{
    return x >= rect.x && x <= rect.Right() && y >= rect.y && y <= rect.Bottom();
}

// --- The markers of a shape --------------------------------------------------------

// One shape's level of marker nesting, undone when the shape is done.
class LevelGuard {
public:
    LevelGuard(unsigned depth, CRenderPass& pass) : pass_(pass), depth_(pass.markers.depth)
    {
        pass_.markers.depth = depth;
    }
    ~LevelGuard() { pass_.markers.depth = depth_; }
    LevelGuard(const LevelGuard&) = delete;
    LevelGuard& operator=(const LevelGuard&) = delete;

private:
    CRenderPass& pass_;
    unsigned depth_;
};

class InstanceGuard {
public:
    InstanceGuard(const CElemMarker& marker, CRenderPass& pass) : pass_(pass)
    {
        pass_.markers.active.push_back(&marker);
    }
    ~InstanceGuard() { pass_.markers.active.pop_back(); }
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

private:
    CRenderPass& pass_;
};

const CElemMarker* MarkerFor(const CElemShape& shape, MarkerKind kind)
{
    const ShapeMarkers& markers = *shape.markers;
    const CElem* marker = kind == MarkerKind::Start ? markers.start
                    : kind == MarkerKind::End ? markers.end
                                              : markers.mid;
    return marker != nullptr && marker->IsA(ElemClass::Marker) ? static_cast<const CElemMarker*>(marker) : nullptr;
}

unsigned TreeDepth(const CElem& elem)
{
    unsigned depth = 0;
    for (const CElem* parent = elem.Parent(); parent != nullptr; parent = parent->Parent())
        ++depth;
    return depth;
}

// Elements and path points of the content, the work one instance costs.
std::size_t ContentCost(const CElem& elem)
{
    std::size_t cost = 1;
    if (elem.IsA(ElemClass::Shape))
        for (const CGraphicsPath& item : static_cast<const CElemShape&>(elem).paths)
            cost += item.Size();
    for (const CElem* child : elem.Children())
        cost += ContentCost(*child);
    return cost;
}

// The property that placed a marker of this kind, for messages.
std::pair<AttributeId, std::string> MarkerProperty(const CElemShape& shape, MarkerKind kind)
{
    const AttributeId name = kind == MarkerKind::Start ? AttributeId::marker_start
                             : kind == MarkerKind::End ? AttributeId::marker_end
                                                       : AttributeId::marker_mid;
    const std::string* value = shape.GetAttribute(name, true);
    return {name, value != nullptr ? *value : std::string()};
}

void ReportCycle(const CElemShape& shape, MarkerKind kind, const CElemMarker& marker, CRenderPass& pass)
{
    if (!pass.markers.reported.emplace(&shape, &marker).second)
        return;
    const auto [name, value] = MarkerProperty(shape, kind);
    pass.Report(shape, msg::kPropertyCycle, shape.Name().c_str(), std::string(AttributeName(name)).c_str(),
                value.c_str());
}

void ReportTooDeep(const CElemShape& shape, CRenderPass& pass)
{
    if (pass.markers.reported.emplace(&shape, nullptr).second)
        pass.Report(shape, msg::kTooDeeplyNested, shape.Name().c_str());
}

void ReportExhausted(const CElemShape& shape, MarkerKind kind, CRenderPass& pass)
{
    if (pass.markers.exhaustionReported)
        return;
    pass.markers.exhaustionReported = true;
    const auto [name, value] = MarkerProperty(shape, kind);
    pass.Report(shape, msg::kTooManyInstances, shape.Name().c_str(), std::string(AttributeName(name)).c_str(),
                value.c_str());
}

// Calls visit(marker, vertex) for every instance of the shape's markers
// that may be drawn, in order, until it returns true; returns whether one did.
template <typename Visit>
bool VisitInstances(const CElemShape& shape, CRenderPass& pass, Visit visit)
{
    CRenderPass::MarkerState& markers = pass.markers;
    const unsigned depth = markers.depth + TreeDepth(shape);
    if (depth > limits::kMaxElementDepth) {
        ReportTooDeep(shape, pass);
        return false;
    }
    const LevelGuard level(depth, pass);
    for (const MarkerInfo& vertex : shape.MarkerVertices()) {
        if (pass.StopRequested())
            return false;
        const CElemMarker* marker = MarkerFor(shape, vertex.kind);
        if (marker == nullptr)
            continue;
        if (std::ranges::find(markers.active, marker) != markers.active.end()) {
            ReportCycle(shape, vertex.kind, *marker, pass);
            continue;
        }
        const std::size_t cost = ContentCost(*marker);
        if (cost > markers.costLeft) {
            markers.costLeft = 0;
            ReportExhausted(shape, vertex.kind, pass);
            return false;
        }
        markers.costLeft -= cost;
        const InstanceGuard instance(*marker, pass);
        if (visit(*marker, vertex))
            return true;
    }
    return false;
}

// One instance of the marker at `vertex` (in the shape's user space), for a
// shape whose stroke is `strokeWidth` wide. False when nothing can be drawn:
// no area, an unusable marker, or a singular instance transform.
bool DrawInstance(const CElemMarker& marker, CCanvas& canvas, const MarkerInfo& vertex, float strokeWidth,
                  const RenderArgs& args)
{
    if (!marker.usable || marker.markerWidth <= 0 || marker.markerHeight <= 0)
        return false;
    const CCanvasSaveGuard saved(canvas);
    // A zero stroke width under markerUnits strokeWidth is singular: nothing to see.
    if (!canvas.MultiplyTransform(InstanceTransform(marker, vertex, strokeWidth)))
        return false;
    if (ClipsToViewport(marker)) {
        canvas.IntersectClip(ViewportInContent(marker));
        if (!IsEmptyRect(marker.clipRect))
            canvas.IntersectClip(marker.clipRect);
    }
    // SVG: markers are drawn whatever the display of the marker element or
    // its ancestors (a marker in a hidden defs still shows).
    RenderArgs markerArgs = args;
    markerArgs.drawHidden = true;
    Render(marker, canvas, markerArgs);
    return true;
}

// True when (x, y), in the shape's user space, hits the content of the
// instance at `vertex`.
bool HitTestInstance(const CElemMarker& marker, float strokeWidth, const MarkerInfo& vertex, double x, double y,
                     CRenderPass& pass)
{
    if (!marker.usable || marker.markerWidth <= 0 || marker.markerHeight <= 0)
        return false;
    cairo_matrix_t toInstance = ToCairo(InstanceTransform(marker, vertex, strokeWidth));
    if (cairo_matrix_invert(&toInstance) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_matrix_transform_point(&toInstance, &x, &y);
    if (ClipsToViewport(marker) && (!Contains(ViewportInContent(marker), x, y) ||
                                    (!IsEmptyRect(marker.clipRect) && !Contains(marker.clipRect, x, y))))
        return false;
    // The marker's own transform, as Render applies it when drawing.
    cairo_matrix_t toContent = ToCairo(marker.props.transform);
    if (cairo_matrix_invert(&toContent) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_matrix_transform_point(&toContent, &x, &y);
    for (const CElem* child : marker.Children() | std::views::reverse)
        if (!child->excluded && child->graphicsElement && HitTest(*child, x, y, pass) != nullptr)
            return true;
    return false;
}

}  // namespace

bool SetUpMarker(CElemMarker& marker, CPreparer& preparer)
{
    if (!SetUpContainer(marker, preparer))
        return false;
    // Lengths and percentages resolve against the viewport around the
    // marker, which `viewport` still holds here.
    marker.usable = true;
    marker.refX = static_cast<float>(
        preparer.ReadLength(marker, AttributeId::refX, PercentRule::HorizontalPosition).value_or(0));
    marker.refY = static_cast<float>(
        preparer.ReadLength(marker, AttributeId::refY, PercentRule::VerticalPosition).value_or(0));
    marker.markerWidth = ReadMarkerSize(marker, AttributeId::markerWidth, PercentRule::HorizontalSize, preparer);
    marker.markerHeight = ReadMarkerSize(marker, AttributeId::markerHeight, PercentRule::VerticalSize, preparer);
    ReadOrient(marker, preparer);
    ReadMarkerUnits(marker, preparer);
    marker.aspect = ReadAspectRatioAttribute(marker, preparer.Context());
    const std::optional<RectF> viewBox = ReadMarkerViewBox(marker, preparer);

    marker.region = {0, 0, marker.markerWidth, marker.markerHeight};
    marker.hasViewBox = viewBox.has_value();
    // The content's percentages resolve against the viewBox.
    marker.viewport = viewBox.value_or(marker.region);
    marker.viewBoxMatrix = ViewBoxToViewport(marker.region, marker.viewport, marker.aspect);
    ReadClipProperty(marker, preparer, ClipCountMessage::Located);
    // A marker with a negative size is never drawn, but the rest of the
    // document is prepared as usual.
    return true;
}

void DrawMarkerContent(const CElemMarker& marker, CCanvas& canvas, const RenderArgs& args)
{
    // display resolves as an inherited property, so under a marker whose
    // display is none (its own or an ancestor's) the content inherits none
    // too. SVG ignores only the marker's display: such content is drawn all
    // the same, except for a child that turns itself off.
    RenderArgs contentArgs = args;
    contentArgs.drawHidden = marker.props.display == Display::None;
    for (const CElem* child : marker.Children()) {
        if (args.pass.StopRequested())
            break;
        if (child->graphicsElement && !(contentArgs.drawHidden && HidesItself(*child)))
            Render(*child, canvas, contentArgs);
    }
}

void DrawShapeMarkers(const CElemShape& shape, CCanvas& canvas, const RenderArgs& args)
{
    if (shape.MarkerVertices().empty())
        return;
    VisitInstances(shape, args.pass, [&](const CElemMarker& marker, const MarkerInfo& vertex) {
        DrawInstance(marker, canvas, vertex, shape.props.strokeWidth, args);
        return false;
    });
}

bool HitTestShapeMarkers(const CElemShape& shape, double x, double y, CRenderPass& pass)
{
    if (shape.MarkerVertices().empty())
        return false;
    return VisitInstances(shape, pass, [&](const CElemMarker& marker, const MarkerInfo& vertex) {
        return HitTestInstance(marker, shape.props.strokeWidth, vertex, x, y, pass);
    });
}

}  // namespace svg
