#include "values/path_data.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <optional>
#include <span>

#include "base/limits.h"
#include "values/number.h"

namespace svg {

namespace {

using limits::kMaxPathPoints;

constexpr double kPi = std::numbers::pi;
// Arcs are drawn with one cubic per step of at most a quarter of pi, which
// keeps the cubic within a few millionths of the radius of the true ellipse.
constexpr double kMaxArcStep = kPi / 4;
// The most points one command group can add: the start point a closepath
// leaves pending, then an arc of 8 cubics.
constexpr std::size_t kMaxGroupPoints = 25;

struct Vec {
    double x = 0;
    double y = 0;
    friend bool operator==(const Vec&, const Vec&) = default;
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s}; }

// Points are floats; keeping coordinates in their range keeps them finite.
double ClampToFloat(double v) { return std::clamp(v, -double{FLT_MAX}, double{FLT_MAX}); }
Vec ClampToFloat(Vec v) { return {ClampToFloat(v.x), ClampToFloat(v.y)}; }
PointF ToPoint(Vec v) { return {static_cast<float>(ClampToFloat(v.x)), static_cast<float>(ClampToFloat(v.y))}; }

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the SVG number at `pos` (sign, digits, point, digits, exponent).
std::size_t SvgNumberEnd(std::string_view text, std::size_t pos)
{
    const auto skipDigits = [&] {
        while (pos < text.size() && IsDigit(text[pos]))
            ++pos;
    };
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    skipDigits();
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        skipDigits();
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exponent = pos + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (exponent < text.size() && IsDigit(text[exponent])) {
            pos = exponent;
            skipDigits();
        }
    }
    return pos;
}

// One number with its unit. In path data a second decimal point starts the
// next number ("M1-2.3.4" is 1, -2.3, .4), which the general number reader
// takes for one broken number; it is then asked again with the text ending
// at that point.
std::optional<Number> ReadNumber(std::string_view text, std::size_t& pos)
{
    if (std::optional<Number> number = ParseNumber(text, pos))
        return number;
    const std::size_t start = SkipSpace(text, pos);
    const std::size_t end = SvgNumberEnd(text, start);
    if (end >= text.size() || text[end] != '.')
        return std::nullopt;
    return ParseNumber(text.substr(0, end), pos);
}

// An arc flag is the single character 0 or 1, so it may touch what follows
// ("a1 1 0 111 1" has both flags set and x = 1). Anything else is an error.
std::optional<bool> ReadFlag(std::string_view text, std::size_t& pos)
{
    const std::size_t at = SkipSpace(text, pos);
    if (at >= text.size() || (text[at] != '0' && text[at] != '1'))
        return std::nullopt;
    pos = at + 1;
    return text[at] == '1';
}

// What each value of a command's group is.
enum class Slot : unsigned char { X, Y, Rx, Ry, Angle, Flag };

constexpr Slot kPairSlots[] = {Slot::X, Slot::Y};
constexpr Slot kHorizontalSlots[] = {Slot::X};
constexpr Slot kVerticalSlots[] = {Slot::Y};
constexpr Slot kCubicSlots[] = {Slot::X, Slot::Y, Slot::X, Slot::Y, Slot::X, Slot::Y};
constexpr Slot kTwoPairSlots[] = {Slot::X, Slot::Y, Slot::X, Slot::Y};
constexpr Slot kArcSlots[] = {Slot::Rx, Slot::Ry, Slot::Angle, Slot::Flag, Slot::Flag, Slot::X, Slot::Y};

// The group of an upper-case command letter; empty for Z and for letters
// that are not commands.
std::span<const Slot> SlotsOf(char command)
{
    switch (command) {
    case 'M':
    case 'L':
    case 'T': return kPairSlots;
    case 'H': return kHorizontalSlots;
    case 'V': return kVerticalSlots;
    case 'C': return kCubicSlots;
    case 'S':
    case 'Q': return kTwoPairSlots;
    case 'A': return kArcSlots;
    default: return {};
    }
}

enum class GroupRead { Complete, Absent, Broken };

struct ArcArgs {
    double rx, ry, rotationDegrees;
    bool largeArc, sweep;
    Vec end;
};

// An ellipse's rotation and radii: maps user space to the space where the
// ellipse is the unit circle, and back.
struct EllipseFrame {
    double cosPhi, sinPhi, rx, ry;

    Vec ToUnit(Vec p) const { return {(p.x * cosPhi + p.y * sinPhi) / rx, (-p.x * sinPhi + p.y * cosPhi) / ry}; }
    Vec FromUnit(Vec u) const
    {
        return {u.x * rx * cosPhi - u.y * ry * sinPhi, u.x * rx * sinPhi + u.y * ry * cosPhi};
    }
};

class PathDataParser {
public:
    PathDataParser(std::string_view text, const LengthContext& context) : text_(text), context_(context)
    {
        path_.Reserve(std::min(text.size() / 4 + 2, kMaxPathPoints));
    }

    ParsedPath Parse(FillRule fillRule)
    {
        path_.fillRule = fillRule;
        pos_ = SkipSpace(text_, 0);
        bool first = true;
        while (true) {
            if (!first)
                pos_ = SkipSeparator(text_, pos_);
            if (pos_ >= text_.size())
                break;
            if (!RunCommand(text_[pos_])) {
                errorAt_ = pos_;
                break;
            }
            first = false;
        }
        return {std::move(path_), errorAt_, truncated_};
    }

private:
    // Runs the command at pos_ with all its groups; false ends parsing.
    bool RunCommand(char letter)
    {
        const bool relative = letter >= 'a' && letter <= 'z';
        const char command = relative ? static_cast<char>(letter - 'a' + 'A') : letter;
        if (command == 'Z') {
            ++pos_;
            ClosePath();
            return true;
        }
        const std::span<const Slot> slots = SlotsOf(command);
        // Path data must open with a moveto.
        if (slots.empty() || (path_.Empty() && command != 'M'))
            return false;
        ++pos_;
        double values[std::size(kArcSlots)];
        for (bool firstGroup = true;; firstGroup = false) {
            switch (ReadGroup(slots, values, firstGroup)) {
            case GroupRead::Complete: break;
            case GroupRead::Absent: return !firstGroup;
            case GroupRead::Broken: return false;
            }
            if (!HasRoom(kMaxGroupPoints))
                return false;
            ApplyGroup(command, relative, values, firstGroup);
            previousCommand_ = command;
        }
    }

    GroupRead ReadGroup(std::span<const Slot> slots, double* values, bool firstGroup)
    {
        std::size_t pos = firstGroup ? pos_ : SkipSeparator(text_, pos_);
        for (std::size_t i = 0; i < slots.size(); ++i) {
            if (i > 0)
                pos = SkipSeparator(text_, pos);
            const std::optional<double> value = ReadValue(slots[i], pos);
            if (!value)
                return i == 0 ? GroupRead::Absent : GroupRead::Broken;
            values[i] = *value;
        }
        pos_ = pos;
        return GroupRead::Complete;
    }

    // Coordinates, offsets and radii resolve percentages against the
    // element's viewport; the arc rotation takes angle units.
    std::optional<double> ReadValue(Slot slot, std::size_t& pos) const
    {
        if (slot == Slot::Flag) {
            const std::optional<bool> flag = ReadFlag(text_, pos);
            return flag ? std::optional<double>(*flag ? 1 : 0) : std::nullopt;
        }
        const std::optional<Number> number = ReadNumber(text_, pos);
        if (!number)
            return std::nullopt;
        switch (slot) {
        case Slot::X: return ResolveLength(*number, PercentRule::HorizontalPosition, context_);
        case Slot::Y: return ResolveLength(*number, PercentRule::VerticalPosition, context_);
        case Slot::Rx: return ResolveLength(*number, PercentRule::HorizontalSize, context_);
        case Slot::Ry: return ResolveLength(*number, PercentRule::VerticalSize, context_);
        case Slot::Angle: return ToDegrees(*number);
        case Slot::Flag: break;
        }
        return std::nullopt;
    }

    bool HasRoom(std::size_t count)
    {
        truncated_ = path_.Size() + count > kMaxPathPoints;
        return !truncated_;
    }

    void ApplyGroup(char command, bool relative, const double* v, bool firstGroup)
    {
        const Vec origin = relative ? current_ : Vec{};
        const auto point = [&](int i) { return ClampToFloat(origin + Vec{v[i], v[i + 1]}); };
        switch (command) {
        case 'M':
            if (firstGroup)
                MoveTo(point(0));
            else
                LineTo(point(0));
            break;
        case 'L': LineTo(point(0)); break;
        case 'H': LineTo({ClampToFloat(origin.x + v[0]), current_.y}); break;
        case 'V': LineTo({current_.x, ClampToFloat(origin.y + v[0])}); break;
        case 'C': CurveTo(point(0), point(2), point(4)); break;
        case 'S': CurveTo(ReflectedControl('C', 'S', cubicControl_), point(0), point(2)); break;
        case 'Q': QuadTo(point(0), point(2)); break;
        case 'T': QuadTo(ReflectedControl('Q', 'T', quadControl_), point(0)); break;
        case 'A': ArcTo({v[0], v[1], v[2], v[3] != 0, v[4] != 0, point(5)}); break;
        }
    }

    // The previous control point mirrored about the current point when the
    // previous command was of the same family, else the current point.
    Vec ReflectedControl(char plain, char smooth, Vec control) const
    {
        if (previousCommand_ != plain && previousCommand_ != smooth)
            return current_;
        return ClampToFloat(current_ * 2 - control);
    }

    void MoveTo(Vec p)
    {
        path_.StartFigure(ToPoint(p));
        current_ = figureStart_ = p;
        needsStart_ = false;
    }

    // A drawing command after a closepath starts a new figure at the closed
    // figure's start point.
    void OpenFigure()
    {
        if (needsStart_)
            path_.StartFigure(ToPoint(current_));
        needsStart_ = false;
    }

    void LineTo(Vec p)
    {
        OpenFigure();
        path_.AddLine(ToPoint(p));
        current_ = p;
    }

    void CurveTo(Vec control1, Vec control2, Vec end)
    {
        OpenFigure();
        path_.AddBezier(ToPoint(control1), ToPoint(control2), ToPoint(end));
        cubicControl_ = control2;
        current_ = end;
    }

    // The cubic with the same curve: its controls lie two thirds of the way
    // from each end point to the quadratic control point.
    void QuadTo(Vec control, Vec end)
    {
        const Vec start = current_;
        CurveTo(start + (control - start) * (2.0 / 3), end + (control - end) * (2.0 / 3), end);
        quadControl_ = control;
    }

    void ClosePath()
    {
        if (path_.Empty() || needsStart_)
            return;
        path_.CloseFigure();
        current_ = figureStart_;
        needsStart_ = true;
        previousCommand_ = 'Z';
    }

    void ArcTo(const ArcArgs& arc);
    void AppendArcCubics(const EllipseFrame& frame, Vec center, double theta1, double sweepAngle);

    std::string_view text_;
    const LengthContext& context_;
    std::size_t pos_ = 0;
    std::size_t errorAt_ = std::string_view::npos;
    CGraphicsPath path_;
    Vec current_;
    Vec figureStart_;
    Vec cubicControl_;
    Vec quadControl_;
    char previousCommand_ = 0;
    bool needsStart_ = false;
    bool truncated_ = false;
};

// The endpoint form of an elliptical arc to cubics: the ellipse is mapped to
// the unit circle (rotated by -rotation, divided by the radii), the centre is
// found there, and each step of the sweep becomes one cubic.
void PathDataParser::ArcTo(const ArcArgs& arc)
{
    if (arc.end == current_)
        return;  // an arc to its own start draws nothing
    const double phi = arc.rotationDegrees * kPi / 180;
    EllipseFrame frame{std::cos(phi), std::sin(phi), std::fabs(arc.rx), std::fabs(arc.ry)};
    if (frame.rx == 0 || frame.ry == 0) {
        LineTo(arc.end);
        return;
    }
    Vec p1 = frame.ToUnit(current_);
    Vec p2 = frame.ToUnit(arc.end);
    Vec chord = p2 - p1;
    double chordSquared = chord.x * chord.x + chord.y * chord.y;
    if (!(chordSquared > 0) || !std::isfinite(chordSquared)) {
        LineTo(arc.end);
        return;
    }
    // Radii too small to reach the end point grow until the chord is a
    // diameter.
    if (chordSquared > 4) {
        const double scale = std::sqrt(chordSquared / 4);
        frame.rx *= scale;
        frame.ry *= scale;
        p1 = p1 * (1 / scale);
        p2 = p2 * (1 / scale);
        chord = chord * (1 / scale);
        chordSquared = 4;
    }
    // Of the two centres, the one on the side given by large-arc != sweep.
    const double offset = std::sqrt(std::max(0.0, (4 - chordSquared) / chordSquared)) * 0.5;
    const double side = arc.largeArc != arc.sweep ? 1 : -1;
    const Vec center = (p1 + p2) * 0.5 + Vec{-chord.y, chord.x} * (offset * side);
    const double theta1 = std::atan2(p1.y - center.y, p1.x - center.x);
    const double theta2 = std::atan2(p2.y - center.y, p2.x - center.x);
    double sweepAngle = theta2 - theta1;
    // End points so close that their angles round to the same value make a
    // full turn when the large arc was asked for.
    const bool fullTurn = sweepAngle == 0 && arc.largeArc;
    if (arc.sweep && (sweepAngle < 0 || fullTurn))
        sweepAngle += 2 * kPi;
    else if (!arc.sweep && (sweepAngle > 0 || fullTurn))
        sweepAngle -= 2 * kPi;
    OpenFigure();
    AppendArcCubics(frame, center, theta1, sweepAngle);
    path_.points.back() = ToPoint(arc.end);  // exactly where the command said
    current_ = arc.end;
}

void PathDataParser::AppendArcCubics(const EllipseFrame& frame, Vec center, double theta1, double sweepAngle)
{
    // Equal steps; the small allowance keeps a quarter circle at two steps
    // despite rounding in its sweep.
    const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweepAngle) / kMaxArcStep - 1e-6)));
    const double step = sweepAngle / steps;
    // Control points on the end tangents, 4/3 tan(step/4) of the radius away.
    const double handle = 4.0 / 3 * std::tan(step / 4);
    Vec from{std::cos(theta1), std::sin(theta1)};
    for (int i = 1; i <= steps; ++i) {
        const double angle = theta1 + step * i;
        const Vec to{std::cos(angle), std::sin(angle)};
        // Every point but the last cubic's lies inside the arc: no marker there.
        const std::uint8_t type = PathPoint::kBezier | (i == steps ? 0 : PathPoint::kInsideArc);
        path_.Append(ToPoint(frame.FromUnit(center + from + Vec{-from.y, from.x} * handle)), type);
        path_.Append(ToPoint(frame.FromUnit(center + to - Vec{-to.y, to.x} * handle)), type);
        path_.Append(ToPoint(frame.FromUnit(center + to)), type);
        from = to;
    }
}

// A start point directly followed by another start point or by the end of
// the path draws nothing: only the last start of such a run is kept, and
// only when lines or curves follow it. A closed one ("M x y Z") stays: it is
// a zero-length subpath, which round and square caps draw as a dot.
void RemoveLoneStarts(CGraphicsPath& path)
{
    std::size_t kept = 0;
    const std::size_t count = path.points.size();
    for (std::size_t i = 0; i < count; ++i) {
        const bool lone = path.types[i] == PathPoint::kStart &&
                          (i + 1 == count || PointKind(path.types[i + 1]) == PathPoint::kStart);
        if (lone)
            continue;
        path.points[kept] = path.points[i];
        path.types[kept] = path.types[i];
        ++kept;
    }
    path.points.resize(kept);
    path.types.resize(kept);
}

}  // namespace

ParsedPath ParsePathData(std::string_view text, const LengthContext& context, FillRule fillRule,
                         std::vector<MarkerInfo>* markers)
{
    PathDataParser parser(text, context);
    ParsedPath parsed = parser.Parse(fillRule);
    if (markers)
        AppendMarkers(parsed.path, *markers);
    RemoveLoneStarts(parsed.path);
    return parsed;
}

ParsedPath ParsePoints(std::string_view text, FillRule fillRule, bool closed, std::vector<MarkerInfo>* markers)
{
    ParsedPath parsed;
    CGraphicsPath& path = parsed.path;
    path.fillRule = fillRule;
    path.Reserve(std::min(text.size() / 4 + 2, kMaxPathPoints));
    std::size_t pos = 0;
    while (true) {
        std::size_t next = pos;
        const std::optional<Number> x = ReadNumber(text, next);
        if (!x)
            break;
        next = SkipSeparator(text, next);
        const std::optional<Number> y = ReadNumber(text, next);
        if (!y)
            break;
        if (path.Size() == kMaxPathPoints) {
            parsed.truncated = true;
            break;
        }
        const PointF p{static_cast<float>(x->value), static_cast<float>(y->value)};
        path.Append(p, path.Empty() ? PathPoint::kStart : PathPoint::kLine);
        pos = SkipSeparator(text, next);
    }
    pos = SkipSpace(text, pos);
    if (pos < text.size() && !parsed.truncated)
        parsed.errorAt = pos;
    if (closed)
        path.CloseFigure();
    if (markers)
        AppendMarkers(path, *markers);
    return parsed;
}

}  // namespace svg
