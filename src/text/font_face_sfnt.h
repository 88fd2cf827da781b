// Faces backed by an sfnt font read by FreeType and shaped by HarfBuzz:
// CFontFaceSystem (an installed font found through fontconfig) and
// CFontFaceSrc (one face of a font file given as bytes, never installed).
// Both answer in font units from the same tables, so text set in a system
// face and in a file face of the same font lands on the same baseline.
//
// Ownership and threads as for CFontFace (text/font_face.h). A face whose
// font could not be opened stays invalid and draws nothing.
#pragma once

#include <memory>
#include <string>

#include "text/font_face.h"
#include "text/sfnt_font.h"

namespace svg {

class CFontFaceSfnt : public CFontFace {
public:
    // Takes the font and reads the face's metrics from it; style, weight and
    // family stay as the creator set them.
    void Attach(std::shared_ptr<CSfntFont> font);
    const std::shared_ptr<CSfntFont>& Font() const { return font_; }

    bool GetGlyphMetrics(const CGlyph& glyph, float fontSize, GlyphMetrics& out) const override;
    bool AddGlyphOutline(const CGlyph& glyph, PointF origin, float fontSize, CGraphicsPath& out) const override;
    CSfntFont* Sfnt() const override { return font_.get(); }

    // A copy of this face that slants its outlines, answering to `styleBits`
    // (italic or oblique asked of a family without one).
    virtual std::shared_ptr<CFontFaceSfnt> CloneSlanted(std::uint16_t styleBits) const = 0;

protected:
    std::shared_ptr<CSfntFont> font_;
};

class CFontFaceSystem final : public CFontFaceSfnt {
public:
    FaceKind Kind() const override { return FaceKind::System; }
    std::shared_ptr<CFontFaceSfnt> CloneSlanted(std::uint16_t styleBits) const override;

    std::string platformFamily;  // the family fontconfig knows the font by
    std::string file;            // the font file and the face within it
    int index = 0;
};

class CFontFaceSrc final : public CFontFaceSfnt {
public:
    FaceKind Kind() const override { return FaceKind::Src; }
    std::shared_ptr<CFontFaceSfnt> CloneSlanted(std::uint16_t styleBits) const override;

    std::string source;  // the font file's full path, or the caller's key for bytes
    int index = 0;       // the face within a collection
};

}  // namespace svg
