#include "values/matrix.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "values/number.h"

namespace svg {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180;
constexpr std::size_t kMaxArguments = 6;

struct TransformCall {
    std::string_view name;
    double args[kMaxArguments] = {};
    std::size_t count = 0;
};

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_'; }

enum class ReadResult { NoName, Incomplete, Complete };

// Reads "name ( numbers )" at `pos`.
ReadResult ReadCall(std::string_view text, std::size_t& pos, TransformCall& call)
{
    const std::size_t nameStart = pos;
    while (pos < text.size() && IsNameChar(text[pos]))
        ++pos;
    if (pos == nameStart)
        return ReadResult::NoName;
    call.name = text.substr(nameStart, pos - nameStart);
    pos = SkipSpace(text, pos);
    if (pos >= text.size() || text[pos] != '(')
        return ReadResult::Incomplete;
    ++pos;
    while (call.count < kMaxArguments) {
        const std::optional<Number> number = ParseNumber(text, pos);  // its unit is ignored
        if (!number)
            break;
        call.args[call.count++] = number->value;
        pos = SkipSeparator(text, pos);
    }
    pos = SkipSpace(text, pos);
    if (pos >= text.size() || text[pos] != ')')
        return ReadResult::Incomplete;
    ++pos;
    return ReadResult::Complete;
}

Matrix Skew(double degrees, bool alongX)
{
    const double t = std::tan(degrees * kRadiansPerDegree);
    return alongX ? Matrix{1, 0, t, 1, 0, 0} : Matrix{1, t, 0, 1, 0, 0};
}

// The matrix of one transform function; null for an unknown name or a wrong
// number of arguments.
std::optional<Matrix> CallMatrix(const TransformCall& call)
{
    const double* a = call.args;
    const std::size_t n = call.count;
    if (call.name == "matrix" && n == 6)
        return Matrix{a[0], a[1], a[2], a[3], a[4], a[5]};
    if (call.name == "translate" && (n == 1 || n == 2))
        return Matrix::Translate(a[0], n == 2 ? a[1] : 0);
    if (call.name == "scale" && (n == 1 || n == 2))
        return Matrix::Scale(a[0], n == 2 ? a[1] : a[0]);
    if (call.name == "rotate" && n == 1)
        return Matrix::Rotate(a[0]);
    if (call.name == "rotate" && n == 3) {
        // About (cx, cy): move the centre to the origin, rotate, move back.
        const Matrix toOrigin = Matrix::Translate(-a[1], -a[2]);
        return Matrix::Multiply(Matrix::Multiply(toOrigin, Matrix::Rotate(a[0])), Matrix::Translate(a[1], a[2]));
    }
    if (call.name == "skewX" && n == 1)
        return Skew(a[0], true);
    if (call.name == "skewY" && n == 1)
        return Skew(a[0], false);
    return std::nullopt;
}

}  // namespace

bool Matrix::IsFinite() const
{
    return std::isfinite(m11) && std::isfinite(m12) && std::isfinite(m21) && std::isfinite(m22) &&
           std::isfinite(dx) && std::isfinite(dy);
}

std::optional<Matrix> Matrix::Inverse() const
{
    const double det = Determinant();
    if (det == 0 || !std::isfinite(det))
        return std::nullopt;
    const Matrix inverse{m22 / det, -m12 / det, -m21 / det, m11 / det, (m21 * dy - m22 * dx) / det,
                         (m12 * dx - m11 * dy) / det};
    if (!inverse.IsFinite())
        return std::nullopt;
    return inverse;
}

RectF MapRectBounds(const RectF& rect, const Matrix& m)
{
    const std::array<PointD, 4> corners{m.Apply({rect.x, rect.y}), m.Apply({rect.Right(), rect.y}),
                                        m.Apply({rect.x, rect.Bottom()}), m.Apply({rect.Right(), rect.Bottom()})};
    double left = corners[0].x, right = left, top = corners[0].y, bottom = top;
    for (const PointD& p : corners) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    return {static_cast<float>(left), static_cast<float>(top), static_cast<float>(right - left),
            static_cast<float>(bottom - top)};
}

Matrix Matrix::Rotate(double degrees)
{
    const double radians = degrees * kRadiansPerDegree;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {c, s, -s, c, 0, 0};
}

Matrix Matrix::Multiply(const Matrix& first, const Matrix& then)
{
    return {
        first.m11 * then.m11 + first.m12 * then.m21,
        first.m11 * then.m12 + first.m12 * then.m22,
        first.m21 * then.m11 + first.m22 * then.m21,
        first.m21 * then.m12 + first.m22 * then.m22,
        first.dx * then.m11 + first.dy * then.m21 + then.dx,
        first.dx * then.m12 + first.dy * then.m22 + then.dy,
    };
}

bool ParseTransform(std::string_view text, Matrix& out)
{
    out = Matrix{};
    Matrix accumulated;
    bool any = false;
    std::size_t pos = 0;
    for (;;) {
        pos = SkipSpace(text, pos);
        TransformCall call;
        const ReadResult read = ReadCall(text, pos, call);
        if (read == ReadResult::NoName)
            break;  // whatever follows the last function is ignored
        if (read == ReadResult::Incomplete)
            return false;
        const std::optional<Matrix> matrix = CallMatrix(call);
        if (!matrix)
            return false;
        // Functions further right apply to points first.
        accumulated.Prepend(*matrix);
        any = true;
        pos = SkipSeparator(text, pos);
    }
    if (any)
        out = accumulated;
    return any;
}

}  // namespace svg
