#include "values/path_geometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

namespace svg {

namespace {

constexpr double kDegreesPerRadian = 180 / std::numbers::pi;

struct Vec {
    double x = 0;
    double y = 0;
};

Vec ToVec(PointF p) { return {p.x, p.y}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s}; }
double Length(Vec v) { return std::hypot(v.x, v.y); }
Vec Lerp(Vec a, Vec b, double t) { return a + (b - a) * t; }
double AngleDegrees(Vec v) { return std::atan2(v.y, v.x) * kDegreesPerRadian; }

// Calls visit(begin, end) with the point range [begin, end) of each figure.
// A path that does not open with a start point still counts its first point
// as one.
template <class Visit>
void ForEachFigure(const CGraphicsPath& path, Visit visit)
{
    const std::size_t count = path.points.size();
    for (std::size_t begin = 0; begin < count;) {
        std::size_t end = begin + 1;
        while (end < count && PointKind(path.types[end]) != PathPoint::kStart)
            ++end;
        visit(begin, end);
        begin = end;
    }
}

// Calls visit(first, isCubic) for each segment of the figure [begin, end):
// the segment starts at point first - 1 and ends at first (a line) or at
// first + 2 (a cubic). A cubic cut short by the figure's end counts as lines.
template <class Visit>
void ForEachSegment(const CGraphicsPath& path, std::size_t begin, std::size_t end, Visit visit)
{
    for (std::size_t i = begin + 1; i < end;) {
        const bool cubic = PointKind(path.types[i]) == PathPoint::kBezier && i + 2 < end;
        visit(i, cubic);
        i += cubic ? 3 : 1;
    }
}

bool IsClosed(const CGraphicsPath& path, std::size_t end) { return (path.types[end - 1] & PathPoint::kClose) != 0; }

// --- Marker vertices --------------------------------------------------------

// Unit direction from `from` to `to`; null when they coincide.
std::optional<Vec> Direction(PointF from, PointF to)
{
    if (from == to)
        return std::nullopt;
    const Vec d = ToVec(to) - ToVec(from);
    return d * (1 / Length(d));
}

struct Vertex {
    PointF at;
    std::optional<Vec> in;
    std::optional<Vec> out;
};

// The direction a segment leaves its start and enters its end with; a cubic
// takes its first and last control points that differ from the end point.
struct SegmentDirections {
    std::optional<Vec> start;
    std::optional<Vec> end;
};

SegmentDirections DirectionsOf(const CGraphicsPath& path, std::size_t first, bool cubic)
{
    const PointF* p = &path.points[first - 1];
    if (!cubic)
        return {Direction(p[0], p[1]), Direction(p[0], p[1])};
    SegmentDirections d;
    for (int i = 1; i <= 3 && !d.start; ++i)
        d.start = Direction(p[0], p[i]);
    for (int i = 2; i >= 0 && !d.end; --i)
        d.end = Direction(p[i], p[3]);
    return d;
}

// The mean of two directions whose angles are taken in 0..360 degrees.
double MeanOfTurns(Vec a, Vec b)
{
    const auto turn = [](Vec v) {
        const double degrees = AngleDegrees(v);
        return degrees < 0 ? degrees + 360 : degrees;
    };
    return (turn(a) + turn(b)) / 2;
}

// Bisector of the incoming and outgoing directions. A full U-turn has two
// bisectors; SVG leaves the choice open, and the mean of the two angles taken
// in 0..360 degrees is what current renderers draw (a cusp going up and
// coming back down points left, a line doubling back to the left points
// down).
float VertexAngle(const Vertex& v)
{
    if (v.in && v.out) {
        const Vec sum = *v.in + *v.out;
        if (Length(sum) < 1e-9)
            return static_cast<float>(MeanOfTurns(*v.in, *v.out));
        return static_cast<float>(AngleDegrees(sum));
    }
    if (v.in)
        return static_cast<float>(AngleDegrees(*v.in));
    if (v.out)
        return static_cast<float>(AngleDegrees(*v.out));
    return 0;
}

// Collects the vertices of the whole path with their directions.
class VertexCollector {
public:
    explicit VertexCollector(const CGraphicsPath& path) : path_(path) {}

    std::vector<Vertex> Collect()
    {
        ForEachFigure(path_, [this](std::size_t begin, std::size_t end) { AddFigure(begin, end); });
        return std::move(vertices_);
    }

private:
    void AddFigure(std::size_t begin, std::size_t end)
    {
        const PointF start = path_.points[begin];
        // A figure that goes on from where a closed one returned to (the
        // drawing command after a closepath) shares its closing vertex.
        const bool sharesClosingVertex = previousClosed_ && vertices_.back().at == start;
        if (!sharesClosingVertex)
            vertices_.push_back({start, std::nullopt, std::nullopt});
        needsOut_ = true;
        // Zero-length segments keep the direction the path had before them.
        std::optional<Vec> lastDirection;
        ForEachSegment(path_, begin, end, [&](std::size_t first, bool cubic) {
            SegmentDirections d = DirectionsOf(path_, first, cubic);
            if (!d.start)
                d.start = d.end = lastDirection;
            SetOut(d.start);
            lastDirection = d.end;
            const std::size_t last = first + (cubic ? 2 : 0);
            if ((path_.types[last] & PathPoint::kInsideArc) == 0) {
                vertices_.push_back({path_.points[last], d.end, std::nullopt});
                needsOut_ = true;
            }
        });
        previousClosed_ = IsClosed(path_, end);
        if (previousClosed_)
            AddClosingVertex(start, path_.points[end - 1], lastDirection);
    }

    // The closing line runs back to the figure's start and ends there in a
    // vertex of its own. Nothing goes into the figure's first vertex and nothing
    // leaves the closing one (unless drawing goes on from it): SVG 1.1 bisects
    // only where one segment goes in and another comes out, so a closed
    // figure's start and end markers follow its first and closing segments.
    void AddClosingVertex(PointF start, PointF last, std::optional<Vec> lastDirection)
    {
        std::optional<Vec> closing = Direction(last, start);
        if (!closing)
            closing = lastDirection;
        SetOut(closing);
        vertices_.push_back({start, closing, std::nullopt});
        needsOut_ = false;
    }

    void SetOut(std::optional<Vec> direction)
    {
        if (needsOut_ && direction)
            vertices_.back().out = direction;
        needsOut_ = false;
    }

    const CGraphicsPath& path_;
    std::vector<Vertex> vertices_;
    bool needsOut_ = false;
    bool previousClosed_ = false;
};

// --- Tight bounds -----------------------------------------------------------

struct Box {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;

    void Add(double x, double y)
    {
        AddX(x);
        AddY(y);
    }
    void AddX(double x)
    {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
    }
    void AddY(double y)
    {
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
};

double CubicAt(double p0, double p1, double p2, double p3, double t)
{
    const double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

// Calls found(t) for each root in (0, 1) of the derivative of one coordinate
// of a cubic: 3a t^2 + 2b t + c with the power-basis coefficients a, b, c.
template <class Found>
void DerivativeRoots(double p0, double p1, double p2, double p3, Found found)
{
    const double a = 3 * (-p0 + 3 * p1 - 3 * p2 + p3);
    const double b = 2 * (3 * p0 - 6 * p1 + 3 * p2);
    const double c = 3 * (p1 - p0);
    auto report = [&](double t) {
        if (t > 0 && t < 1)
            found(t);
    };
    if (a == 0) {
        if (b != 0)
            report(-c / b);
        return;
    }
    const double discriminant = b * b - 4 * a * c;
    if (discriminant < 0)
        return;
    // The cancellation-free form of the quadratic formula.
    const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
    report(q / a);
    if (q != 0)
        report(c / q);
}

void AddCubicExtremes(Box& box, const PointF* p)
{
    DerivativeRoots(p[0].x, p[1].x, p[2].x, p[3].x,
                    [&](double t) { box.AddX(CubicAt(p[0].x, p[1].x, p[2].x, p[3].x, t)); });
    DerivativeRoots(p[0].y, p[1].y, p[2].y, p[3].y,
                    [&](double t) { box.AddY(CubicAt(p[0].y, p[1].y, p[2].y, p[3].y, t)); });
}

// --- Positions along a path -------------------------------------------------

// Cubics are measured by splitting them in halves until each piece is nearly
// straight: its control polygon exceeds its chord by at most this share of the
// whole curve's control polygon (or by kMinFlatness user units). The depth
// limit bounds the work per curve at 1024 pieces.
constexpr double kRelativeFlatness = 1e-5;
constexpr double kMinFlatness = 1e-3;
constexpr int kMaxSplitDepth = 10;

struct Cubic {
    Vec p0, p1, p2, p3;

    Vec At(double t) const
    {
        return {CubicAt(p0.x, p1.x, p2.x, p3.x, t), CubicAt(p0.y, p1.y, p2.y, p3.y, t)};
    }
    Vec Derivative(double t) const
    {
        const double u = 1 - t;
        return (p1 - p0) * (3 * u * u) + (p2 - p1) * (6 * u * t) + (p3 - p2) * (3 * t * t);
    }
    double PolygonLength() const { return Length(p1 - p0) + Length(p2 - p1) + Length(p3 - p2); }
};

// The end of one nearly straight piece of a cubic: its parameter and the arc
// length from the curve's start.
struct PieceEnd {
    double t;
    double length;
};

class Flattener {
public:
    // Appends the piece ends of `curve` to `pieces`, which starts with (0, 0).
    static void Flatten(const Cubic& curve, std::vector<PieceEnd>& pieces)
    {
        pieces.assign(1, {0, 0});
        Flattener f{pieces, std::max(kMinFlatness, kRelativeFlatness * curve.PolygonLength())};
        f.Split(curve, 0, 1, 0);
    }

private:
    Flattener(std::vector<PieceEnd>& pieces, double tolerance) : pieces_(pieces), tolerance_(tolerance) {}

    void Split(const Cubic& c, double t0, double t1, int depth)
    {
        const double polygon = c.PolygonLength();
        const double chord = Length(c.p3 - c.p0);
        if (depth >= kMaxSplitDepth || polygon - chord <= tolerance_) {
            // The mean of chord and polygon is a close estimate of the arc length.
            pieces_.push_back({t1, pieces_.back().length + (polygon + chord) / 2});
            return;
        }
        // de Casteljau at t = 1/2.
        const Vec a = Lerp(c.p0, c.p1, 0.5), b = Lerp(c.p1, c.p2, 0.5), d = Lerp(c.p2, c.p3, 0.5);
        const Vec ab = Lerp(a, b, 0.5), bd = Lerp(b, d, 0.5);
        const Vec mid = Lerp(ab, bd, 0.5);
        const double tm = (t0 + t1) / 2;
        Split({c.p0, a, ab, mid}, t0, tm, depth + 1);
        Split({mid, bd, d, c.p3}, tm, t1, depth + 1);
    }

    std::vector<PieceEnd>& pieces_;
    double tolerance_;
};

class PathWalker {
public:
    PathWalker(const Matrix& transform, std::span<const double> distances, std::vector<PathPosition>& out)
        : transform_(transform), distances_(distances), out_(out)
    {
    }

    void Walk(const CGraphicsPath& path)
    {
        ForEachFigure(path, [&](std::size_t begin, std::size_t end) {
            ForEachSegment(path, begin, end, [&](std::size_t first, bool cubic) {
                const PointF* p = &path.points[first - 1];
                if (cubic)
                    AddCubic({Map(p[0]), Map(p[1]), Map(p[2]), Map(p[3])});
                else
                    AddLine(Map(p[0]), Map(p[1]));
            });
            if (IsClosed(path, end))
                AddLine(Map(path.points[end - 1]), Map(path.points[begin]));
        });
    }

    std::size_t Placed() const { return next_; }
    double TotalLength() const { return length_; }

private:
    Vec Map(PointF p) const
    {
        const Matrix& m = transform_;
        return {p.x * m.m11 + p.y * m.m21 + m.dx, p.x * m.m12 + p.y * m.m22 + m.dy};
    }

    // The next distance when it lies within `segmentLength` of the running
    // length, measured from the segment's start (negative ones at 0).
    std::optional<double> NextDistanceWithin(double segmentLength) const
    {
        if (next_ >= distances_.size() || distances_[next_] > length_ + segmentLength)
            return std::nullopt;
        return std::clamp(distances_[next_] - length_, 0.0, segmentLength);
    }

    void Place(Vec at, Vec direction)
    {
        out_.push_back({static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(AngleDegrees(direction))});
        ++next_;
    }

    void AddLine(Vec a, Vec b)
    {
        const double length = Length(b - a);
        if (length == 0)
            return;  // no direction to give; the next segment places its distances
        while (const std::optional<double> local = NextDistanceWithin(length))
            Place(Lerp(a, b, *local / length), b - a);
        length_ += length;
    }

    void AddCubic(const Cubic& curve)
    {
        Flattener::Flatten(curve, pieces_);
        const double length = pieces_.back().length;
        if (length == 0)
            return;
        std::size_t piece = 1;
        while (const std::optional<double> local = NextDistanceWithin(length)) {
            while (piece + 1 < pieces_.size() && pieces_[piece].length < *local)
                ++piece;
            const PieceEnd& from = pieces_[piece - 1];
            const PieceEnd& to = pieces_[piece];
            const double span = to.length - from.length;
            const double share = span > 0 ? (*local - from.length) / span : 0;
            const double t = std::clamp(from.t + (to.t - from.t) * share, 0.0, 1.0);
            Vec direction = curve.Derivative(t);
            if (Length(direction) < 1e-12)  // a cusp or a control point on its end point
                direction = curve.At(to.t) - curve.At(from.t);
            Place(curve.At(t), direction);
        }
        length_ += length;
    }

    const Matrix& transform_;
    std::span<const double> distances_;
    std::vector<PathPosition>& out_;
    std::size_t next_ = 0;
    double length_ = 0;
    std::vector<PieceEnd> pieces_;
};

}  // namespace

void CGraphicsPath::Reserve(std::size_t count)
{
    // Growing by at least half keeps appending piece by piece (glyph after
    // glyph) linear: reserving the exact size each time would copy the
    // whole path for every piece.
    if (count <= points.capacity())
        return;
    const std::size_t grown = std::max(count, points.capacity() + points.capacity() / 2);
    points.reserve(grown);
    types.reserve(grown);
}

void CGraphicsPath::AddBezier(PointF control1, PointF control2, PointF end)
{
    Append(control1, PathPoint::kBezier);
    Append(control2, PathPoint::kBezier);
    Append(end, PathPoint::kBezier);
}

void CGraphicsPath::CloseFigure()
{
    if (!types.empty())
        types.back() |= PathPoint::kClose;
}

void AppendMarkers(const CGraphicsPath& path, std::vector<MarkerInfo>& out)
{
    const std::vector<Vertex> vertices = VertexCollector(path).Collect();
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const Vertex& v = vertices[i];
        const float angle = VertexAngle(v);
        const MarkerKind kind = i == 0 ? MarkerKind::Start : i + 1 == vertices.size() ? MarkerKind::End : MarkerKind::Mid;
        out.push_back({v.at.x, v.at.y, angle, kind});
        // A path of one vertex is both its first and its last.
        if (vertices.size() == 1)
            out.push_back({v.at.x, v.at.y, angle, MarkerKind::End});
    }
}

std::optional<RectF> TightBounds(const CGraphicsPath& path)
{
    if (path.Empty())
        return std::nullopt;
    Box box;
    ForEachFigure(path, [&](std::size_t begin, std::size_t end) {
        box.Add(path.points[begin].x, path.points[begin].y);
        ForEachSegment(path, begin, end, [&](std::size_t first, bool cubic) {
            const PointF* p = &path.points[first - 1];
            const PointF last = cubic ? p[3] : p[1];
            box.Add(last.x, last.y);
            if (cubic)
                AddCubicExtremes(box, p);
        });
    });
    // A box wider than the float range keeps the largest float as its size.
    const auto size = [](double extent) { return static_cast<float>(std::min(extent, double{FLT_MAX})); };
    return RectF{static_cast<float>(box.minX), static_cast<float>(box.minY), size(box.maxX - box.minX),
                 size(box.maxY - box.minY)};
}

std::size_t PositionsAlongPaths(std::span<const CGraphicsPath> paths, const Matrix& transform,
                                std::span<const double> distances, std::vector<PathPosition>& out,
                                double* lengthTotal)
{
    PathWalker walker(transform, distances, out);
    for (const CGraphicsPath& path : paths)
        walker.Walk(path);
    if (lengthTotal)
        *lengthTotal += walker.TotalLength();
    return walker.Placed();
}

double PathLength(std::span<const CGraphicsPath> paths, const Matrix& transform)
{
    std::vector<PathPosition> unused;
    double total = 0;
    PositionsAlongPaths(paths, transform, {}, unused, &total);
    return total;
}

}  // namespace svg
