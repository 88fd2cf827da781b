// Glyph metrics and outlines of sfnt faces.
#include "text/font_face_sfnt.h"

#include "text/glyph.h"

namespace svg {

void CFontFaceSfnt::Attach(std::shared_ptr<CSfntFont> font)
{
    font_ = std::move(font);
    valid = font_ != nullptr;
    if (font_)
        font_->ReadMetrics(*this);
}

bool CFontFaceSfnt::GetGlyphMetrics(const CGlyph& glyph, float fontSize, GlyphMetrics& out) const
{
    out = {};
    if (!font_ || glyph.glyphIndex == 0)
        return false;
    const float scale = UserScale(fontSize);
    out.advance = font_->HAdvance(glyph.glyphIndex) * scale;
    out.vAdvance = font_->VAdvance(glyph.glyphIndex) * scale;
    float xMin = 0;
    float xMax = 0;
    if (font_->InkBounds(glyph.glyphIndex, xMin, xMax)) {
        out.leftBearing = xMin * scale;
        out.inkWidth = (xMax - xMin) * scale;
    }
    out.rightBearing = out.advance - out.leftBearing - out.inkWidth;
    return true;
}

bool CFontFaceSfnt::AddGlyphOutline(const CGlyph& glyph, PointF origin, float fontSize, CGraphicsPath& out) const
{
    if (!font_)
        return false;
    const std::shared_ptr<const CGraphicsPath> outline = font_->Outline(glyph.glyphIndex);
    if (!outline || outline->Empty() || UserScale(fontSize) == 0)
        return false;
    const Matrix toUser = OutlineTransform(origin, fontSize);
    if (out.Empty())
        out.fillRule = outline->fillRule;
    out.Reserve(out.Size() + outline->Size());
    for (std::size_t i = 0; i < outline->Size(); ++i) {
        const PointD p = toUser.Apply({outline->points[i].x, outline->points[i].y});
        out.Append({static_cast<float>(p.x), static_cast<float>(p.y)}, outline->types[i]);
    }
    return true;
}

namespace {

template <class Face>
std::shared_ptr<CFontFaceSfnt> Slanted(const Face& face, std::uint16_t styleBits)
{
    auto copy = std::make_shared<Face>(face);
    copy->style = styleBits;
    copy->syntheticSlant = true;
    return copy;
}

}  // namespace

std::shared_ptr<CFontFaceSfnt> CFontFaceSystem::CloneSlanted(std::uint16_t styleBits) const
{
    return Slanted(*this, styleBits);
}

std::shared_ptr<CFontFaceSfnt> CFontFaceSrc::CloneSlanted(std::uint16_t styleBits) const
{
    return Slanted(*this, styleBits);
}

}  // namespace svg
