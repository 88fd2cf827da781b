// Drawable path geometry: figures of lines and cubic Bezier curves in user
// units, the marker vertices of a path, its tight bounds and positions along
// it. A path is a plain value (points as float pairs with a parallel array of
// point-type bytes). Nothing here reports; every operation is linear in the
// number of points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "values/keywords.h"
#include "values/matrix.h"
#include "values/rect.h"

namespace svg {

struct PointF {
    float x = 0;
    float y = 0;
    friend bool operator==(const PointF&, const PointF&) = default;
};

// Point-type bytes. The low bits give the kind of point; the flags add to it.
namespace PathPoint {
inline constexpr std::uint8_t kStart = 0;     // first point of a figure
inline constexpr std::uint8_t kLine = 1;      // end of a straight line
inline constexpr std::uint8_t kBezier = 3;    // control, control, end: three in a row
inline constexpr std::uint8_t kKindMask = 0x07;
inline constexpr std::uint8_t kInsideArc = 0x20;  // inside one converted arc: not a marker vertex
inline constexpr std::uint8_t kClose = 0x80;      // the figure is closed after this point
}  // namespace PathPoint

constexpr std::uint8_t PointKind(std::uint8_t type) { return type & PathPoint::kKindMask; }

// One drawable item of a shape. Every figure begins with a kStart point; a
// figure is closed when its last point carries kClose.
struct CGraphicsPath {
    std::vector<PointF> points;
    std::vector<std::uint8_t> types;
    FillRule fillRule = FillRule::NonZero;

    bool Empty() const { return points.empty(); }
    std::size_t Size() const { return points.size(); }
    void Reserve(std::size_t count);
    void StartFigure(PointF p) { Append(p, PathPoint::kStart); }
    void AddLine(PointF p) { Append(p, PathPoint::kLine); }
    void AddBezier(PointF control1, PointF control2, PointF end);
    // Flags the last point; a path without points is left alone.
    void CloseFigure();
    void Append(PointF p, std::uint8_t type)
    {
        points.push_back(p);
        types.push_back(type);
    }
};

using CGraphicsPathArray = std::vector<CGraphicsPath>;

enum class MarkerKind : int { Start = 0, End = 1, Mid = 2 };

// One marker position in the shape's user space; `angle` is the direction of
// the path there in degrees.
struct MarkerInfo {
    float x = 0;
    float y = 0;
    float angle = 0;
    MarkerKind kind = MarkerKind::Start;
};

// Appends one entry per vertex: the first vertex of the path is the start, the
// last the end, every other vertex (figure starts included) a mid vertex. The
// angle bisects the incoming and outgoing directions (a figure's first vertex
// has only the outgoing one, an open figure's last only the incoming one); a
// U-turn takes the mean of the two angles counted in 0..360 degrees. A closed
// figure adds a vertex for its closing line back at its start, which takes
// the closing line's direction unless drawing goes on from there; its first
// vertex keeps the first segment's. Points inside converted arcs are not
// vertices.
void AppendMarkers(const CGraphicsPath& path, std::vector<MarkerInfo>& out);

// The smallest rectangle holding the path itself (curve extremes, not control
// points); null when the path has no points.
std::optional<RectF> TightBounds(const CGraphicsPath& path);

// A point on a path and the direction of the path there, in degrees.
struct PathPosition {
    float x = 0;
    float y = 0;
    float angle = 0;
};

// Places `distances` (in increasing order) along `paths` mapped through
// `transform`, figure after figure, closing lines included; moving between
// figures adds no length. Appends one position for each distance up to the
// total length and returns how many that is; distances beyond the end are
// neither placed nor counted, and a negative distance is placed at the start.
// Adds the total length to *lengthTotal when given.
std::size_t PositionsAlongPaths(std::span<const CGraphicsPath> paths, const Matrix& transform,
                                std::span<const double> distances, std::vector<PathPosition>& out,
                                double* lengthTotal = nullptr);

// The total length of `paths` mapped through `transform`.
double PathLength(std::span<const CGraphicsPath> paths, const Matrix& transform);

}  // namespace svg
