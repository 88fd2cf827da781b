// An axis-aligned rectangle in floating-point units (user units unless a name
// says otherwise).
#pragma once

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

}  // namespace svg
