// CElemMarker: reading the marker's viewport, drawing and hit-testing one
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

#include "model/limits.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "render/container.h"
#include "render/render.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {
namespace {

// Markers inside marker content multiply: ten levels of markers on
// ten-vertex paths are ten billion instances. Drawing stops once the marker
// content drawn into one picture adds up to this many elements and path
// points; a real drawing (an arrowhead on every vertex of a long polyline)
// stays far below it.
constexpr std::size_t kMaxMarkerContentCost = 10'000'000;

// --- Marker Setup ------------------------------------------------------------------

// markerWidth or markerHeight: the default 3 when missing or unreadable; a
// negative size is reported and makes the marker unusable.
float ReadMarkerSize(CElemMarker& marker, std::string_view name, PercentRule rule)
{
    const std::optional<double> size = ReadLengthAttribute(marker, name, rule);
    if (!size)
        return 3;
    if (*size < 0) {
        ReportInvalidValue(marker, name, *marker.GetAttribute(name, false));
        marker.usable = false;
        return 0;
    }
    return static_cast<float>(*size);
}

bool IsAngleUnit(Unit unit) { return unit == Unit::User || unit == Unit::Deg || unit == Unit::Rad || unit == Unit::Grad; }

// "auto" follows the path; an angle (deg, rad, grad or none) is fixed;
// anything else is reported and leaves the fixed angle 0.
void ReadOrient(CElemMarker& marker)
{
    marker.orientFixed = true;
    marker.orientAngle = 0;
    const std::string* text = marker.GetAttribute("orient", false);
    if (text == nullptr)
        return;
    const std::string_view value = TrimSpace(*text);
    if (value == "auto") {
        marker.orientFixed = false;
        return;
    }
    std::size_t pos = 0;
    const std::optional<Number> angle = ParseNumber(value, pos);
    if (angle && pos == value.size() && IsAngleUnit(angle->unit))
        marker.orientAngle = static_cast<float>(ToDegrees(*angle));
    else
        ReportInvalidValue(marker, "orient", *text);
}

// strokeWidth unless userSpaceOnUse is named; any other keyword is reported.
void ReadMarkerUnits(CElemMarker& marker)
{
    const std::string* text = marker.GetAttribute("markerUnits", false);
    const int code = ParseUnitsKeyword(text);
    marker.markerUnits = code == 1 ? 1 : 2;
    if (text != nullptr && code != 1 && code != 2)
        ReportInvalidValue(marker, "markerUnits", *text);
}

// The viewBox when it has an area; a reported empty one is dropped.
std::optional<RectF> ReadMarkerViewBox(const CElemMarker& marker)
{
    RectF viewBox;
    if (!ParseViewBox(marker, viewBox))
        return std::nullopt;
    if (IsEmptyRect(viewBox)) {
        ReportInvalidValue(marker, "viewBox", *marker.attributes.Value("viewBox"));
        return std::nullopt;
    }
    return viewBox;
}

void ReadMarkerAspectRatio(CElemMarker& marker)
{
    AspectRatio ratio;
    const std::string* text = marker.GetAttribute("preserveAspectRatio", false);
    if (text != nullptr && !ParseAspectRatio(*text, ratio))
        ReportInvalidValue(marker, "preserveAspectRatio", *text);
    marker.aspectAlign = ratio.align;
    marker.aspectSlice = ratio.slice;
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
    if (marker.markerUnits == 2)
        m = Matrix::Multiply(m, Matrix::Scale(strokeWidth, strokeWidth));
    m = Matrix::Multiply(m, Matrix::Rotate(marker.orientFixed ? marker.orientAngle : vertex.angle));
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
    const std::string* display = elem.GetAttribute("display", false);
    return display != nullptr && TrimSpace(*display) == "none";
}

bool Contains(const RectF& rect, double x, double y)
{
    return x >= rect.x && x <= rect.Right() && y >= rect.y && y <= rect.Bottom();
}

// --- The markers of a shape --------------------------------------------------------

// What marker content may still cost in one picture, and the messages already
// given for it (each shape reports a cycle or a depth problem once).
struct MarkerBudget {
    std::size_t costLeft = kMaxMarkerContentCost;
    bool report = true;
    bool exhaustionReported = false;
    std::set<std::pair<const CElem*, const CElem*>> reported;
};

// Markers whose content is being drawn or hit-tested on this thread,
// outermost first, with the summed tree depths of the shapes that placed them
// (the recursion through nested markers stays within the depth every tree
// walk is built for) and the budget of the outermost shape's picture.
struct ActiveMarkers {
    std::vector<const CElemMarker*> markers;
    unsigned depth = 0;
    MarkerBudget* budget = nullptr;
};
thread_local ActiveMarkers active;

// One shape's level of marker nesting, undone when the shape is done.
class LevelGuard {
public:
    LevelGuard(unsigned depth, MarkerBudget& budget) : depth_(active.depth), budget_(active.budget)
    {
        active.depth = depth;
        active.budget = &budget;
    }
    ~LevelGuard()
    {
        active.depth = depth_;
        active.budget = budget_;
    }
    LevelGuard(const LevelGuard&) = delete;
    LevelGuard& operator=(const LevelGuard&) = delete;

private:
    unsigned depth_;
    MarkerBudget* budget_;
};

class InstanceGuard {
public:
    explicit InstanceGuard(const CElemMarker& marker) { active.markers.push_back(&marker); }
    ~InstanceGuard() { active.markers.pop_back(); }
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;
};

// The budget travels with the picture's target surface, so that every
// rendering of a document (the picture, each part view) gets a fresh one.
const cairo_user_data_key_t kBudgetKey{};

MarkerBudget* PictureBudget(CCanvas& canvas)
{
    cairo_surface_t* target = cairo_get_target(canvas.Cairo());
    if (auto* budget = static_cast<MarkerBudget*>(cairo_surface_get_user_data(target, &kBudgetKey)))
        return budget;
    auto* budget = new MarkerBudget;
    const auto destroy = [](void* data) { delete static_cast<MarkerBudget*>(data); };
    if (cairo_surface_set_user_data(target, &kBudgetKey, budget, destroy) != CAIRO_STATUS_SUCCESS) {
        delete budget;
        return nullptr;
    }
    return budget;
}

CElemMarker* MarkerFor(const CElemShape& shape, MarkerKind kind)
{
    CElem* marker = kind == MarkerKind::Start ? shape.markerStart
                    : kind == MarkerKind::End ? shape.markerEnd
                                              : shape.markerMid;
    return marker != nullptr && marker->IsA(ElemClass::Marker) ? static_cast<CElemMarker*>(marker) : nullptr;
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
std::pair<const char*, std::string> MarkerProperty(const CElemShape& shape, MarkerKind kind)
{
    const char* name = kind == MarkerKind::Start ? "marker-start" : kind == MarkerKind::End ? "marker-end" : "marker-mid";
    const std::string* value = shape.GetAttribute(name, true);
    return {name, value != nullptr ? *value : std::string()};
}

void ReportCycle(const CElemShape& shape, MarkerKind kind, const CElemMarker& marker, MarkerBudget& budget)
{
    if (!budget.report || !budget.reported.emplace(&shape, &marker).second)
        return;
    const auto [name, value] = MarkerProperty(shape, kind);
    ReportMessage("F %s %s=\"%s\" : Cyclic reference at %d(%d)", shape.Name().c_str(), name, value.c_str(),
                  shape.line, shape.column);
}

void ReportTooDeep(const CElemShape& shape, MarkerBudget& budget)
{
    if (budget.report && budget.reported.emplace(&shape, nullptr).second)
        ReportMessage("E %s too deeply nested at %d(%d)", shape.Name().c_str(), shape.line, shape.column);
}

void ReportExhausted(const CElemShape& shape, MarkerKind kind, MarkerBudget& budget)
{
    if (!budget.report || budget.exhaustionReported)
        return;
    budget.exhaustionReported = true;
    const auto [name, value] = MarkerProperty(shape, kind);
    ReportMessage("E %s %s=\"%s\" :Too many instances at %d(%d)", shape.Name().c_str(), name, value.c_str(),
                  shape.line, shape.column);
}

// Calls visit(marker, vertex) for every instance of the shape's markers
// that may be drawn, in order, until it returns true; returns whether one did.
template <typename Visit>
bool VisitInstances(const CElemShape& shape, MarkerBudget& outermostBudget, Visit visit)
{
    MarkerBudget& budget = active.budget != nullptr ? *active.budget : outermostBudget;
    const unsigned depth = active.depth + TreeDepth(shape);
    if (depth > limits::kMaxElementDepth) {
        ReportTooDeep(shape, budget);
        return false;
    }
    const LevelGuard level(depth, budget);
    for (const MarkerInfo& vertex : shape.markers) {
        if (StopRequested())
            return false;
        CElemMarker* marker = MarkerFor(shape, vertex.kind);
        if (marker == nullptr)
            continue;
        if (std::ranges::find(active.markers, marker) != active.markers.end()) {
            ReportCycle(shape, vertex.kind, *marker, budget);
            continue;
        }
        const std::size_t cost = ContentCost(*marker);
        if (cost > budget.costLeft) {
            budget.costLeft = 0;
            ReportExhausted(shape, vertex.kind, budget);
            return false;
        }
        budget.costLeft -= cost;
        const InstanceGuard instance(*marker);
        if (visit(*marker, vertex))
            return true;
    }
    return false;
}

}  // namespace

// --- CElemMarker ----------------------------------------------------------------------

bool CElemMarker::Setup()
{
    if (!CElemContainer::Setup())
        return false;
    // Lengths and percentages resolve against the viewport around the
    // marker, which `viewport` still holds here.
    usable = true;
    refX = static_cast<float>(ReadLengthAttribute(*this, "refX", PercentRule::HorizontalPosition).value_or(0));
    refY = static_cast<float>(ReadLengthAttribute(*this, "refY", PercentRule::VerticalPosition).value_or(0));
    markerWidth = ReadMarkerSize(*this, "markerWidth", PercentRule::HorizontalSize);
    markerHeight = ReadMarkerSize(*this, "markerHeight", PercentRule::VerticalSize);
    ReadOrient(*this);
    ReadMarkerUnits(*this);
    ReadMarkerAspectRatio(*this);
    const std::optional<RectF> viewBox = ReadMarkerViewBox(*this);

    region = {0, 0, markerWidth, markerHeight};
    hasViewBox = viewBox.has_value();
    // The content's percentages resolve against the viewBox.
    viewport = viewBox.value_or(region);
    viewBoxMatrix = ViewBoxToViewport(region, viewport, aspectAlign, aspectSlice);
    ReadClipProperty(*this);
    // A marker with a negative size is never drawn, but the rest of the
    // document is prepared as usual.
    return true;
}

bool CElemMarker::Draw(CCanvas& canvas, const RenderArgs& args)
{
    // display resolves as an inherited property, so under a marker whose
    // display is none (its own or an ancestor's) the content inherits none
    // too. SVG ignores only the marker's display: such content is drawn all
    // the same, except for a child that turns itself off.
    RenderArgs contentArgs = args;
    contentArgs.drawHidden = props.display == Display::None;
    for (CElem* child : Children()) {
        if (StopRequested())
            break;
        if (child->graphicsElement && !(contentArgs.drawHidden && HidesItself(*child)))
            Render(*child, canvas, contentArgs);
    }
    return true;
}

bool CElemMarker::DrawMarker(CCanvas& canvas, const MarkerInfo& vertex, float strokeWidth, const RenderArgs& args)
{
    if (!usable || markerWidth <= 0 || markerHeight <= 0)
        return false;
    const CanvasSaveGuard saved(canvas);
    // A zero stroke width under markerUnits strokeWidth is singular: nothing to see.
    if (!canvas.MultiplyTransform(InstanceTransform(*this, vertex, strokeWidth)))
        return false;
    if (ClipsToViewport(*this)) {
        canvas.IntersectClip(ViewportInContent(*this));
        if (!IsEmptyRect(clipRect))
            canvas.IntersectClip(clipRect);
    }
    // SVG: markers are drawn whatever the display of the marker element or
    // its ancestors (a marker in a hidden defs still shows).
    RenderArgs markerArgs = args;
    markerArgs.drawHidden = true;
    Render(*this, canvas, markerArgs);
    return true;
}

bool CElemMarker::HitTestMarker(float strokeWidth, const MarkerInfo& vertex, double x, double y)
{
    if (!usable || markerWidth <= 0 || markerHeight <= 0)
        return false;
    cairo_matrix_t toInstance = ToCairo(InstanceTransform(*this, vertex, strokeWidth));
    if (cairo_matrix_invert(&toInstance) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_matrix_transform_point(&toInstance, &x, &y);
    if (ClipsToViewport(*this) &&
        (!Contains(ViewportInContent(*this), x, y) || (!IsEmptyRect(clipRect) && !Contains(clipRect, x, y))))
        return false;
    // The marker's own transform, as Render applies it when drawing.
    cairo_matrix_t toContent = ToCairo(props.transform);
    if (cairo_matrix_invert(&toContent) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_matrix_transform_point(&toContent, &x, &y);
    const auto& children = Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CElem* child = *it;
        if (!child->excluded && child->graphicsElement && child->HitTest(x, y) != nullptr)
            return true;
    }
    return false;
}

// --- The markers of a shape -------------------------------------------------------------

void DrawShapeMarkers(CElemShape& shape, CCanvas& canvas, const RenderArgs& args)
{
    if (shape.markers.empty())
        return;
    MarkerBudget fallback;
    MarkerBudget* picture = active.budget == nullptr ? PictureBudget(canvas) : nullptr;
    VisitInstances(shape, picture != nullptr ? *picture : fallback,
                   [&](CElemMarker& marker, const MarkerInfo& vertex) {
                       marker.DrawMarker(canvas, vertex, shape.props.strokeWidth, args);
                       return false;
                   });
}

bool HitTestShapeMarkers(CElemShape& shape, double x, double y)
{
    if (shape.markers.empty())
        return false;
    // Drawing the picture has reported every problem already.
    MarkerBudget budget;
    budget.report = false;
    return VisitInstances(shape, budget, [&](CElemMarker& marker, const MarkerInfo& vertex) {
        return marker.HitTestMarker(shape.props.strokeWidth, vertex, x, y);
    });
}

}  // namespace svg
