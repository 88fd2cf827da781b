// The metrics and placement every face shares.
#include "text/font_face.h"

#include <algorithm>
#include <cmath>

#include "base/limits.h"

namespace svg {

int NormalizeWeight(int weight)
{
    const int clamped = std::clamp(weight, 100, 900);
    return (clamped + 50) / 100 * 100;
}

std::uint16_t WeightBit(int weight)
{
    return static_cast<std::uint16_t>(1u << (NormalizeWeight(weight) / 100 - 1));
}

bool CFontFace::GetGlyphMetrics(const CGlyph&, float, GlyphMetrics& out) const
{
    out = {};
    return false;
}

bool CFontFace::AddGlyphOutline(const CGlyph&, PointF, float, CGraphicsPath&) const { return false; }

const CGlyphDef* CFontFace::FindGlyphForForm(std::u32string_view, int) const { return nullptr; }

float CFontFace::GetHKerning(std::u32string_view, std::u32string_view, float) const { return 0; }

float CFontFace::GetVKerning(std::u32string_view, std::u32string_view, float) const { return 0; }

float CFontFace::UserScale(float fontSize) const
{
    if (!(fontSize > 0) || !(unitsPerEm > 0))
        return 0;
    return std::min(fontSize, limits::kMaxFontSize) / unitsPerEm;
}

float CFontFace::AlphabeticOffset(float fontSize) const
{
    // The em box runs from `alphabetic` below the baseline to unitsPerEm
    // above that bottom, shifted by the horizontal origin.
    return (unitsPerEm - horizOriginY - alphabetic) * UserScale(fontSize);
}

Matrix CFontFace::OutlineTransform(PointF origin, float fontSize) const
{
    const double scale = UserScale(fontSize);
    Matrix transform = Matrix::Scale(scale, -scale);
    if (syntheticSlant) {
        // SVG 1.1 lets a face without an italic slant its upright outlines;
        // a quarter of the height, about 14 degrees, as browsers slant.
        transform.Prepend(Matrix{1, 0, 0.25, 1, 0, 0});
    }
    transform.dx = origin.x;
    transform.dy = origin.y + AlphabeticOffset(fontSize);
    return transform;
}

namespace {

// The distance down from the em-box top to a stroke whose top edge lies
// `aboveBaseline` font units over the baseline; `fallbackEm` of the font size
// when the face does not give the position.
float StrokeTop(const CFontFace& face, float aboveBaseline, float fontSize, float fallbackEm)
{
    if (std::isnan(aboveBaseline))
        return std::min(fontSize, limits::kMaxFontSize) * fallbackEm;
    return face.AlphabeticOffset(fontSize) - aboveBaseline * std::min(fontSize, limits::kMaxFontSize) / face.unitsPerEm;
}

float Thickness(const CFontFace& face, float thickness, float fontSize)
{
    const float size = std::min(fontSize, limits::kMaxFontSize);
    if (std::isnan(thickness) || !(face.unitsPerEm > 0))
        return size * 0.1f;
    return size * thickness / face.unitsPerEm;
}

// Vertical text keeps the layout's own placement across the line: the
// position in em units of the font size, or `fallbackEm`.
float AcrossLine(const CFontFace& face, float position, float fontSize, float fallbackEm)
{
    const float size = std::min(fontSize, limits::kMaxFontSize);
    if (std::isnan(position) || !(face.unitsPerEm > 0))
        return size * fallbackEm;
    return size * position / face.unitsPerEm;
}

}  // namespace

float CFontFace::GetUnderlinePosition(float fontSize, bool vertical) const
{
    return vertical ? AcrossLine(*this, underlinePosition, fontSize, 0.95f)
                    : StrokeTop(*this, underlinePosition, fontSize, 0.95f);
}

float CFontFace::GetUnderlineThickness(float fontSize) const { return Thickness(*this, underlineThickness, fontSize); }

float CFontFace::GetLineThroughPosition(float fontSize, bool vertical) const
{
    return vertical ? AcrossLine(*this, strikethroughPosition, fontSize, 0.5f)
                    : StrokeTop(*this, strikethroughPosition, fontSize, 0.5f);
}

float CFontFace::GetLineThroughThickness(float fontSize) const
{
    return Thickness(*this, strikethroughThickness, fontSize);
}

float CFontFace::GetOverlinePosition(float fontSize, bool vertical) const
{
    return vertical ? 0.0f : StrokeTop(*this, overlinePosition, fontSize, 0.0f);
}

float CFontFace::GetOverlineThickness(float fontSize) const { return Thickness(*this, overlineThickness, fontSize); }

bool FaceCovers(const CFontFace& face, char32_t c)
{
    if (face.unicodeRanges.empty())
        return true;
    return std::any_of(face.unicodeRanges.begin(), face.unicodeRanges.end(),
                       [c](const UnicodeRange& range) { return c >= range.first && c <= range.last; });
}

}  // namespace svg
