// clipPath set-up, the region a clip path gives an element, and drawing
// through it. SVG's rules, which differ in places from a plain walk of the
// tree:
// - clip-rule is inherited, from the clipPath's own ancestors too;
// - only shapes, text and `use` of a shape or text contribute; a `use` of
//   anything else, and hidden or undisplayed children, contribute nothing;
// - the clipPath's transform applies after the objectBoundingBox mapping,
//   and its own clip-path works in the clipped element's user space;
// - a reference that closes a cycle of clip paths is ignored.
#include "render/clip_path.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "base/limits.h"
#include "model/conditional.h"
#include "model/messages.h"
#include "render/canvas.h"
#include "render/effects.h"
#include "render/prepare.h"
#include "render/render_pass.h"
#include "render/shape.h"
#include "values/scan.h"
#include "values/syntax.h"

namespace svg {
namespace {

constexpr Rgba kCoverage{255, 255, 255, 255};

// --- Set-up ---------------------------------------------------------------------

std::optional<FillRule> ParseClipRule(std::string_view text) { return ParseFillRule(TrimSpace(text)); }

// Checks the element's own clip-rule, the one message a clip-rule gets.
void CheckClipRule(const CElem& elem, CPreparer& preparer)
{
    const std::string* value = elem.attributes.Value(AttributeId::clip_rule);
    if (value != nullptr && *value != "inherit" && !ParseClipRule(*value))
        preparer.Log().Report(elem, msg::kClipRuleInvalid, elem.Name().c_str(), value->c_str());
}

bool ContributesToClip(const CElem& child) { return child.IsA(ElemClass::Shape) || child.Id() == ElementId::use; }

// --- Building regions ---------------------------------------------------------------

// The element's own clip-rule, else `inherited`; an invalid value (reported
// by Setup) counts as not given.
FillRule ClipRule(const CElem& elem, FillRule inherited)
{
    const std::string* value = elem.attributes.Value(AttributeId::clip_rule);
    if (value == nullptr)
        return inherited;
    return ParseClipRule(*value).value_or(inherited);
}

// The rule a clipPath starts its children with: inherited from its ancestors.
FillRule StartingClipRule(const CElem& clipPath)
{
    FillRule rule = FillRule::NonZero;
    std::vector<const CElem*> chain;
    for (const CElem* elem = &clipPath; elem != nullptr; elem = elem->Parent())
        chain.push_back(elem);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        rule = ClipRule(**it, rule);
    return rule;
}

bool IsSingular(const Matrix& m)
{
    const double det = m.m11 * m.m22 - m.m12 * m.m21;
    return !std::isfinite(det) || std::fabs(det) < 1e-12;
}

// The matrix that maps objectBoundingBox units onto `bbox`; null when the
// box has no area, where those units mean nothing.
std::optional<Matrix> BoxMatrix(const std::optional<RectF>& bbox)
{
    if (!bbox || IsEmptyRect(*bbox))
        return std::nullopt;
    return Matrix{bbox->width, 0, 0, bbox->height, bbox->x, bbox->y};
}

// Clip-path references on the children of clip paths multiply: ten clip
// paths of ten children, each clipped by the next, would build ten billion
// outlines. Building stops at this many elements per clipped element.
constexpr std::size_t kMaxClipElements = 100'000;

// The state of one build: the clip paths being built, innermost last (a
// reference to one of them closes a cycle), and the elements visited so far.
// Nesting is bounded so that a long chain cannot exhaust the stack.
class ClipBuild {
public:
    explicit ClipBuild(CConditionalValues* conditions) : conditions_(conditions) {}

    // Records the conditional attributes of an element the clip is built from.
    void Record(const CElem& elem) const
    {
        if (conditions_ != nullptr)
            conditions_->RecordElement(elem);
    }
    bool Ignores(const CElemClipPath* clipPath) const
    {
        return active_.size() >= limits::kMaxElementDepth ||
               std::find(active_.begin(), active_.end(), clipPath) != active_.end();
    }
    void Push(const CElemClipPath* clipPath) { active_.push_back(clipPath); }
    void Pop() { active_.pop_back(); }
    // False once the element budget is spent.
    bool Visit() { return ++visited_ <= kMaxClipElements; }
    bool Truncated() const { return visited_ > kMaxClipElements; }

private:
    CConditionalValues* conditions_;
    std::vector<const CElemClipPath*> active_;
    std::size_t visited_ = 0;
};

std::optional<ClipRegion> ClipPathRegion(const CElemClipPath& clipPath, const std::optional<RectF>& bbox,
                                         ClipBuild& build);

// Adds what `elem` (a child of a clipPath, or the instance in such a `use`)
// contributes to `parent`, mapped into the parent's space.
void AddElementRegion(const CElem& elem, FillRule inherited, ClipBuild& build, ClipRegion& parent)
{
    if (!build.Visit() || elem.props.display == Display::None)
        return;
    build.Record(elem);
    if (elem.excluded || IsSingular(elem.props.transform))
        return;
    const FillRule rule = ClipRule(elem, inherited);
    ClipRegion region;
    region.transform = elem.props.transform;
    if (elem.IsA(ElemClass::Shape)) {
        AppendShapeClipGeometry(static_cast<const CElemShape&>(elem), region, rule);
    } else if (elem.Id() == ElementId::use) {
        // SVG: a `use` in a clipPath must reference a shape or text directly.
        for (const CElem* instance : elem.Children())
            if (instance->IsA(ElemClass::Shape))
                AddElementRegion(*instance, rule, build, region);
    }
    if (region.Empty())
        return;
    if (elem.props.clipPath != nullptr) {
        const auto& clipPath = static_cast<const CElemClipPath&>(*elem.props.clipPath);
        std::optional<ClipRegion> own = ClipPathRegion(clipPath, ObjectBoundingBox(elem), build);
        if (own && own->Empty())
            return;
        if (own)
            region.intersections.push_back(std::move(*own));
    }
    parent.parts.push_back(std::move(region));
}

std::optional<ClipRegion> ClipPathRegion(const CElemClipPath& clipPath, const std::optional<RectF>& bbox,
                                         ClipBuild& build)
{
    if (build.Ignores(&clipPath))
        return std::nullopt;
    ClipRegion region;
    Matrix toUser = clipPath.props.transform;
    if (clipPath.units == Units::ObjectBoundingBox) {
        const std::optional<Matrix> box = BoxMatrix(bbox);
        if (!box)
            return region;
        toUser = Matrix::Multiply(*box, toUser);
    }
    // An invalid transform voids the clip path, and with it everything it clips.
    if (IsSingular(toUser))
        return region;

    build.Push(&clipPath);
    ClipRegion content;
    content.transform = toUser;
    const FillRule rule = StartingClipRule(clipPath);
    for (const CElem* child : clipPath.Children())
        if (ContributesToClip(*child))
            AddElementRegion(*child, rule, build, content);
    if (!content.Empty())
        region.parts.push_back(std::move(content));

    // The clipPath's own clip-path clips in the clipped element's user space.
    if (clipPath.props.clipPath != nullptr && !region.Empty()) {
        const auto& own = static_cast<const CElemClipPath&>(*clipPath.props.clipPath);
        std::optional<ClipRegion> intersection = ClipPathRegion(own, bbox, build);
        if (intersection && intersection->Empty())
            region.parts.clear();
        else if (intersection)
            region.intersections.push_back(std::move(*intersection));
    }
    build.Pop();
    return region;
}

// --- Applying regions --------------------------------------------------------------

CGraphicsPath Mapped(const CGraphicsPath& path, const Matrix& m)
{
    CGraphicsPath mapped = path;
    for (PointF& p : mapped.points) {
        const double x = p.x;
        const double y = p.y;
        p = {static_cast<float>(x * m.m11 + y * m.m21 + m.dx), static_cast<float>(x * m.m12 + y * m.m22 + m.dy)};
    }
    return mapped;
}

// True when the region is one outline intersected with others: cairo clips
// can express it exactly.
bool IsIntersectionOnly(const ClipRegion& region)
{
    if (region.paths.size() + region.parts.size() != 1)
        return false;
    if (!region.parts.empty() && !IsIntersectionOnly(region.parts.front()))
        return false;
    return std::ranges::all_of(region.intersections, IsIntersectionOnly);
}

// Intersects the canvas clip with an intersection-only region whose space
// maps into the current user space by `toUser`.
void IntersectClip(CCanvas& canvas, const ClipRegion& region, const Matrix& toUser)
{
    const Matrix m = Matrix::Multiply(region.transform, toUser);
    for (const CGraphicsPath& path : region.paths)
        canvas.IntersectClip(Mapped(path, m), path.fillRule);
    for (const ClipRegion& part : region.parts)
        IntersectClip(canvas, part, m);
    for (const ClipRegion& intersection : region.intersections)
        IntersectClip(canvas, intersection, m);
}

void PaintCoverage(CCanvas& canvas, const ClipRegion& region, const Matrix& toUser);

// Paints the union of the region's paths and parts, intersected with
// masks[next..], as opaque coverage: each intersection becomes an alpha group
// that masks the rest.
void PaintIntersected(CCanvas& canvas, const ClipRegion& region, const Matrix& m,
                      const std::vector<const ClipRegion*>& masks, std::size_t next)
{
    if (next == masks.size()) {
        for (const CGraphicsPath& path : region.paths)
            canvas.Fill(Mapped(path, m), kCoverage);
        for (const ClipRegion& part : region.parts)
            PaintCoverage(canvas, part, m);
        return;
    }
    cairo_t* cr = canvas.Cairo();
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    PaintCoverage(canvas, *masks[next], m);
    cairo_pattern_t* coverage = cairo_pop_group(cr);
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    PaintIntersected(canvas, region, m, masks, next + 1);
    cairo_pop_group_to_source(cr);
    cairo_mask(cr, coverage);
    cairo_pattern_destroy(coverage);
}

// Paints the region as opaque coverage onto the current (alpha) target;
// `toUser` maps the region's enclosing space into the current user space.
void PaintCoverage(CCanvas& canvas, const ClipRegion& region, const Matrix& toUser)
{
    const Matrix m = Matrix::Multiply(region.transform, toUser);
    const CCanvasSaveGuard saved(canvas);
    std::vector<const ClipRegion*> masks;
    for (const ClipRegion& intersection : region.intersections) {
        if (IsIntersectionOnly(intersection))
            IntersectClip(canvas, intersection, m);
        else
            masks.push_back(&intersection);
    }
    PaintIntersected(canvas, region, m, masks, 0);
}

// A box around everything the region can leave visible, in the space
// `toUser` maps its enclosing space into (intersections only take away).
std::optional<RectF> RegionBounds(const ClipRegion& region, const Matrix& toUser)
{
    const Matrix m = Matrix::Multiply(region.transform, toUser);
    std::optional<RectF> bounds;
    for (const CGraphicsPath& path : region.paths)
        bounds = Union(bounds, TightBounds(Mapped(path, m)));
    for (const ClipRegion& part : region.parts)
        bounds = Union(bounds, RegionBounds(part, m));
    return bounds;
}

}  // namespace

bool SetUpClipPath(CElemClipPath& clipPath, CPreparer& preparer)
{
    if (const std::string* value = clipPath.GetAttribute(AttributeId::clipPathUnits, false)) {
        if (const std::optional<Units> units = ParseUnits(*value))
            clipPath.units = *units;
        else
            preparer.Log().Report(clipPath, msg::kClipPathUnitsInvalid, clipPath.Name().c_str(), value->c_str());
    }
    CheckClipRule(clipPath, preparer);
    for (const CElem* child : clipPath.Children())
        if (child->graphicsElement && ContributesToClip(*child))
            CheckClipRule(*child, preparer);
    return true;
}

void DrawClipped(const CElem& elem, CCanvas& canvas, CRenderPass& pass, const std::function<void()>& draw)
{
    const auto& clipPath = static_cast<const CElemClipPath&>(*elem.props.clipPath);
    ClipBuild build(pass.Conditions());
    const std::optional<ClipRegion> region = ClipPathRegion(clipPath, ObjectBoundingBox(elem), build);
    if (build.Truncated())
        pass.Report(elem, msg::kClipPathTooComplex, elem.Name().c_str());
    if (!region) {
        draw();
        return;
    }
    if (region->Empty())
        return;
    if (IsIntersectionOnly(*region)) {
        IntersectClip(canvas, *region, Matrix{});
        draw();
        return;
    }
    // A union: the content is drawn into a group and painted through the
    // region's coverage, both covering only what the content can touch
    // inside the region.
    const CCanvasSaveGuard fitted(canvas);
    if (pass.surfaceShortcuts) {
        if (!ClipToPaintBox(elem, canvas, pass))
            return;
        const std::optional<RectF> regionBox = RegionBounds(*region, Matrix{});
        if (regionBox && !canvas.ClipToBox(*regionBox))
            return;
    }
    const CLayerCharge layer(pass, canvas.ClipPixelArea());
    if (!layer.Granted()) {
        pass.ReportLayerLimit(elem, msg::kLayersTooLargeNotDrawn);
        return;
    }
    cairo_t* cr = canvas.Cairo();
    cairo_push_group(cr);
    draw();
    cairo_pattern_t* content = cairo_pop_group(cr);
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    PaintCoverage(canvas, *region, Matrix{});
    cairo_pattern_t* coverage = cairo_pop_group(cr);
    cairo_set_source(cr, content);
    cairo_mask(cr, coverage);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_pattern_destroy(coverage);
    cairo_pattern_destroy(content);
}

}  // namespace svg
