// 2x3 affine matrices in row-vector convention (x' = x*m11 + y*m21 + dx),
// and the SVG transform list syntax.
#pragma once

#include <optional>
#include <string_view>

#include "values/rect.h"

namespace svg {

struct PointD {
    double x = 0;
    double y = 0;
};

struct Matrix {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    static Matrix Translate(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
    static Matrix Scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static Matrix Rotate(double degrees);

    // The matrix that applies `first`, then `then`.
    static Matrix Multiply(const Matrix& first, const Matrix& then);
    // Makes `m` apply to points before this matrix.
    void Prepend(const Matrix& m) { *this = Multiply(m, *this); }
    bool IsIdentity() const { return *this == Matrix{}; }
    bool IsFinite() const;
    double Determinant() const { return m11 * m22 - m12 * m21; }
    // Null for a singular matrix or one whose inverse is not finite.
    std::optional<Matrix> Inverse() const;
    PointD Apply(PointD p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
    friend bool operator==(const Matrix&, const Matrix&) = default;
};

// The bounds of the rectangle's four corners mapped by `m`.
RectF MapRectBounds(const RectF& rect, const Matrix& m);

// Parses a transform list into `out` (left-most transform applied last, as
// SVG means it). False for an empty or invalid list; `out` is then identity.
bool ParseTransform(std::string_view text, Matrix& out);

}  // namespace svg
