// An axis-aligned rectangle in floating-point units (user units unless a name
// says otherwise).
#pragma once

#include <algorithm>
#include <optional>

namespace svg {

struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;

    float Right() const { return x + width; }
    float Bottom() const { return y + height; }
    friend bool operator==(const RectF&, const RectF&) = default;
};

// Below this a width, height or box counts as empty.
inline constexpr float kEmptyEpsilon = 1.1920929e-7f;

inline bool IsEmptyRect(const RectF& rect) { return !(rect.width > kEmptyEpsilon && rect.height > kEmptyEpsilon); }

// The smallest rectangle holding both.
inline RectF Union(const RectF& a, const RectF& b)
{
    const float left = std::min(a.x, b.x);
    const float top = std::min(a.y, b.y);
    return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

// The same where a missing rectangle (nothing drawn) adds nothing.
inline std::optional<RectF> Union(const std::optional<RectF>& a, const std::optional<RectF>& b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return Union(*a, *b);
}

}  // namespace svg
