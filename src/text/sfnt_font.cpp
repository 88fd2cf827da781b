// FreeType and HarfBuzz behind CSfntFont.
//
// HarfBuzz shapes through hb_ft_font on the same FT_Face. The face's size is
// set so that one pixel is one font unit (ppem = units per em) and glyphs are
// loaded without hinting, so HarfBuzz positions are exact font units in
// 26.6 fixed point, independent of the size text is finally drawn at.
#include "text/sfnt_font.h"

#include <algorithm>
#include <cmath>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include "base/limits.h"
#include "text/font_face.h"
#include "text/shaping_libraries.h"

namespace svg {

std::shared_ptr<CFreeTypeLibrary> CFreeTypeLibrary::Create()
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return nullptr;
    return std::shared_ptr<CFreeTypeLibrary>(new CFreeTypeLibrary(library));
}

CFreeTypeLibrary::~CFreeTypeLibrary() { FT_Done_FreeType(library_); }

namespace {

constexpr FT_Int32 kUnscaledLoad = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

// A face the layer can use: scalable outlines, a sane em, glyphs.
bool IsUsable(FT_Face face)
{
    return FT_IS_SCALABLE(face) && face->units_per_EM >= 16 && face->units_per_EM <= 16384 && face->num_glyphs > 0;
}

SfntOpenStatus StatusOf(FT_Error error)
{
    return error == FT_Err_Unknown_File_Format ? SfntOpenStatus::NotAFont : SfntOpenStatus::Corrupt;
}

const TT_OS2* Os2Table(FT_Face face)
{
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    return os2 != nullptr && os2->version != 0xFFFF ? os2 : nullptr;
}

// Height of the glyph's outline above the baseline; 0 without an outline.
float GlyphTop(FT_Face face, char32_t c)
{
    const FT_UInt glyph = FT_Get_Char_Index(face, c);
    if (glyph == 0 || FT_Load_Glyph(face, glyph, kUnscaledLoad) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return 0;
    FT_BBox box;
    if (FT_Outline_Get_BBox(&face->glyph->outline, &box) != 0)
        return 0;
    return static_cast<float>(std::max<FT_Pos>(box.yMax, 0));
}

struct DecomposeState {
    CGraphicsPath* path;
    PointF current;
};

PointF ToPoint(const FT_Vector* v) { return {static_cast<float>(v->x), static_cast<float>(v->y)}; }

int MoveTo(const FT_Vector* to, void* user)
{
    auto* state = static_cast<DecomposeState*>(user);
    state->path->CloseFigure();
    state->current = ToPoint(to);
    state->path->StartFigure(state->current);
    return 0;
}

int LineTo(const FT_Vector* to, void* user)
{
    auto* state = static_cast<DecomposeState*>(user);
    state->current = ToPoint(to);
    state->path->AddLine(state->current);
    return 0;
}

// A quadratic P0 Q P2 is the cubic P0, P0 + 2(Q - P0)/3, P2 + 2(Q - P2)/3, P2.
int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto* state = static_cast<DecomposeState*>(user);
    const PointF p0 = state->current;
    const PointF q = ToPoint(control);
    const PointF p2 = ToPoint(to);
    const PointF c1{p0.x + 2 * (q.x - p0.x) / 3, p0.y + 2 * (q.y - p0.y) / 3};
    const PointF c2{p2.x + 2 * (q.x - p2.x) / 3, p2.y + 2 * (q.y - p2.y) / 3};
    state->path->AddBezier(c1, c2, p2);
    state->current = p2;
    return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
{
    auto* state = static_cast<DecomposeState*>(user);
    state->current = ToPoint(to);
    state->path->AddBezier(ToPoint(control1), ToPoint(control2), state->current);
    return 0;
}

float WidthClassPercent(int widthClass)
{
    static constexpr float kPercents[] = {50, 62.5f, 75, 87.5f, 100, 112.5f, 125, 150, 200};
    return widthClass >= 1 && widthClass <= 9 ? kPercents[widthClass - 1] : 100;
}

}  // namespace

CSfntFont::CSfntFont(std::shared_ptr<CFreeTypeLibrary> library, FontBytes bytes, FT_FaceRec_* face)
    : library_(std::move(library)), bytes_(std::move(bytes)), face_(face)
{
    FT_Select_Charmap(face_, FT_ENCODING_UNICODE);
    const FT_F26Dot6 emPixels = static_cast<FT_F26Dot6>(face_->units_per_EM) * 64;
    FT_Set_Char_Size(face_, emPixels, emPixels, 72, 72);
    hbFont_ = hb_ft_font_create_referenced(face_);
    hb_ft_font_set_load_flags(hbFont_, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
}

CSfntFont::~CSfntFont()
{
    if (hbFont_ != nullptr)
        hb_font_destroy(hbFont_);
    FT_Done_Face(face_);
}

std::shared_ptr<CSfntFont> CSfntFont::OpenMemory(std::shared_ptr<CFreeTypeLibrary> library, FontBytes bytes,
                                               int index, SfntOpenStatus& status)
{
    status = SfntOpenStatus::NotAFont;
    if (!library || !bytes || bytes->empty())
        return nullptr;
    FT_Face face = nullptr;
    const FT_Error error = FT_New_Memory_Face(library->Get(), bytes->data(), static_cast<FT_Long>(bytes->size()),
                                              index, &face);
    if (error != 0) {
        status = StatusOf(error);
        return nullptr;
    }
    if (!IsUsable(face)) {
        FT_Done_Face(face);
        status = SfntOpenStatus::Corrupt;
        return nullptr;
    }
    status = SfntOpenStatus::Opened;
    return std::shared_ptr<CSfntFont>(new CSfntFont(std::move(library), std::move(bytes), face));
}

std::shared_ptr<CSfntFont> CSfntFont::OpenFile(std::shared_ptr<CFreeTypeLibrary> library, const std::string& path,
                                             int index, SfntOpenStatus& status)
{
    status = SfntOpenStatus::NotAFont;
    if (!library)
        return nullptr;
    FT_Face face = nullptr;
    const FT_Error error = FT_New_Face(library->Get(), path.c_str(), index, &face);
    if (error != 0) {
        status = StatusOf(error);
        return nullptr;
    }
    if (!IsUsable(face)) {
        FT_Done_Face(face);
        status = SfntOpenStatus::Corrupt;
        return nullptr;
    }
    status = SfntOpenStatus::Opened;
    return std::shared_ptr<CSfntFont>(new CSfntFont(std::move(library), nullptr, face));
}

int CSfntFont::FacesInFile() const { return static_cast<int>(std::max<FT_Long>(face_->num_faces, 1)); }

int CSfntFont::UnitsPerEm() const { return face_->units_per_EM; }

bool CSfntFont::IsItalic() const { return (face_->style_flags & FT_STYLE_FLAG_ITALIC) != 0; }

int CSfntFont::WeightClass() const
{
    if (const TT_OS2* os2 = Os2Table(face_); os2 != nullptr && os2->usWeightClass >= 1 && os2->usWeightClass <= 1000)
        return os2->usWeightClass;
    return (face_->style_flags & FT_STYLE_FLAG_BOLD) != 0 ? 700 : 400;
}

int CSfntFont::WidthPercent() const
{
    const TT_OS2* os2 = Os2Table(face_);
    return static_cast<int>(WidthClassPercent(os2 != nullptr ? os2->usWidthClass : 5));
}

std::string CSfntFont::FamilyName() const { return face_->family_name != nullptr ? face_->family_name : ""; }

void CSfntFont::ReadMetrics(CFontFace& face) const
{
    const float unitsPerEm = face_->units_per_EM;
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
    const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face_, FT_SFNT_POST));
    const TT_OS2* os2 = Os2Table(face_);

    face.unitsPerEm = unitsPerEm;
    face.bbox = {static_cast<float>(face_->bbox.xMin), static_cast<float>(face_->bbox.yMin),
                 static_cast<float>(face_->bbox.xMax - face_->bbox.xMin),
                 static_cast<float>(face_->bbox.yMax - face_->bbox.yMin)};
    face.slope = post != nullptr ? static_cast<float>(post->italicAngle) / 65536.0f : 0.0f;
    if (os2 != nullptr)
        std::copy(std::begin(os2->panose), std::end(os2->panose), face.panose.begin());

    // The hhea ascender and descender are the font's line metrics; the em
    // box then runs from the descent below the baseline to one em above it.
    const float ascender = hhea != nullptr && hhea->Ascender != 0 ? hhea->Ascender : face_->ascender;
    const float descender = hhea != nullptr && hhea->Ascender != 0 ? hhea->Descender : face_->descender;
    face.ascent = ascender;
    face.accentHeight = ascender;
    face.descent = -descender;
    face.alphabetic = -descender;
    face.vAlphabetic = -descender;
    face.ideographic = 0;
    face.vIdeographic = 0;
    face.mathematical = unitsPerEm * 0.5f;
    face.vMathematical = unitsPerEm * 0.5f;
    face.hanging = unitsPerEm;
    face.vHanging = unitsPerEm;
    face.horizAdvX = unitsPerEm;
    face.vertAdvY = unitsPerEm;

    float xHeight = 0;
    float capHeight = 0;
    if (os2 != nullptr && os2->version >= 2) {
        xHeight = std::max<FT_Short>(os2->sxHeight, 0);
        capHeight = std::max<FT_Short>(os2->sCapHeight, 0);
    }
    if (xHeight == 0)
        xHeight = GlyphTop(face_, U'x');
    if (capHeight == 0)
        capHeight = GlyphTop(face_, U'H');
    face.xHeight = xHeight > 0 ? xHeight : unitsPerEm * 0.5f;
    face.capHeight = capHeight > 0 ? capHeight : unitsPerEm * 0.7f;

    const float underlineThickness =
        post != nullptr && post->underlineThickness > 0 ? post->underlineThickness : unitsPerEm / 20;
    face.underlineThickness = underlineThickness;
    face.underlinePosition = post != nullptr && post->underlinePosition != 0 ? post->underlinePosition
                                                                              : -unitsPerEm / 10;
    if (os2 != nullptr && os2->yStrikeoutSize > 0) {
        face.strikethroughThickness = os2->yStrikeoutSize;
        face.strikethroughPosition = os2->yStrikeoutPosition;
    } else {
        face.strikethroughThickness = underlineThickness;
        face.strikethroughPosition = (face.xHeight + underlineThickness) / 2;
    }
    if (os2 != nullptr && os2->version != 0xFFFF) {
        face.subscriptOffset = os2->ySubscriptYOffset;
        face.superscriptOffset = os2->ySuperscriptYOffset;
    } else {
        face.subscriptOffset = unitsPerEm * 0.2f;
        face.superscriptOffset = unitsPerEm * 0.4f;
    }
    face.overlinePosition = ascender;
    face.overlineThickness = underlineThickness;
}

std::uint32_t CSfntFont::GlyphForChar(char32_t c) const { return FT_Get_Char_Index(face_, c); }

float CSfntFont::HAdvance(std::uint32_t glyph) const
{
    FT_Fixed advance = 0;
    if (FT_Get_Advance(face_, glyph, kUnscaledLoad, &advance) != 0)
        return 0;
    return static_cast<float>(advance);
}

float CSfntFont::VAdvance(std::uint32_t glyph) const
{
    FT_Fixed advance = 0;
    if (!FT_HAS_VERTICAL(face_) || FT_Get_Advance(face_, glyph, kUnscaledLoad | FT_LOAD_VERTICAL_LAYOUT, &advance) != 0)
        return static_cast<float>(face_->units_per_EM);
    return static_cast<float>(advance);
}

bool CSfntFont::InkBounds(std::uint32_t glyph, float& xMin, float& xMax) const
{
    if (FT_Load_Glyph(face_, glyph, kUnscaledLoad) != 0 || face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE ||
        face_->glyph->outline.n_points == 0)
        return false;
    FT_BBox box;
    if (FT_Outline_Get_BBox(&face_->glyph->outline, &box) != 0)
        return false;
    xMin = static_cast<float>(box.xMin);
    xMax = static_cast<float>(box.xMax);
    return true;
}

std::shared_ptr<const CGraphicsPath> CSfntFont::ReadOutline(std::uint32_t glyph) const
{
    if (FT_Load_Glyph(face_, glyph, kUnscaledLoad) != 0 || face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return nullptr;
    FT_Outline& outline = face_->glyph->outline;
    if (outline.n_points <= 0)
        return nullptr;
    auto path = std::make_shared<CGraphicsPath>();
    path->Reserve(static_cast<std::size_t>(outline.n_points) * 2);
    DecomposeState state{path.get(), {}};
    static const FT_Outline_Funcs kFuncs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    if (FT_Outline_Decompose(&outline, &kFuncs, &state) != 0)
        return nullptr;
    path->CloseFigure();
    path->fillRule = (outline.flags & FT_OUTLINE_EVEN_ODD_FILL) != 0 ? FillRule::EvenOdd : FillRule::NonZero;
    return path;
}

void CSfntFont::Remember(std::uint32_t glyph, std::shared_ptr<const CGraphicsPath> outline)
{
    const std::size_t points = outline ? outline->Size() : 0;
    if (points > limits::kMaxCachedOutlinePointsPerFont)
        return;
    lru_.push_front({glyph, std::move(outline)});
    cached_[glyph] = lru_.begin();
    cachedPoints_ += points;
    while (lru_.size() > limits::kMaxCachedOutlinesPerFont || cachedPoints_ > limits::kMaxCachedOutlinePointsPerFont) {
        const CacheEntry& oldest = lru_.back();
        cachedPoints_ -= oldest.outline ? oldest.outline->Size() : 0;
        cached_.erase(oldest.glyph);
        lru_.pop_back();
    }
}

std::shared_ptr<const CGraphicsPath> CSfntFont::Outline(std::uint32_t glyph)
{
    if (const auto found = cached_.find(glyph); found != cached_.end()) {
        ++stats_.hits;
        lru_.splice(lru_.begin(), lru_, found->second);
        return found->second->outline;
    }
    ++stats_.misses;
    std::shared_ptr<const CGraphicsPath> outline = ReadOutline(glyph);
    Remember(glyph, outline);
    return outline;
}

}  // namespace svg
