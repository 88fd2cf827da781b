// System faces through fontconfig, metrics through FreeType.
//
// fontconfig always answers with *some* face, so a family counts as installed
// only when the face it picks answers to the name asked for, or to one of the
// metric-compatible aliases its configuration binds strongly to that name
// (Arial to Liberation Sans). Generic names (serif, sans-serif, ...) are
// aliases by nature and take whatever fontconfig prefers for them.
#include "text/font_lookup.h"
#include "values/scan.h"

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

namespace svg {
namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// Items are separated by commas; a quoted item runs to its closing quote, so
// it may hold commas, and is taken without the quotes.
std::vector<std::string> SplitFamilyList(std::string_view list)
{
    std::vector<std::string> families;
    std::size_t pos = 0;
    while (pos < list.size()) {
        while (pos < list.size() && IsCssSpace(list[pos]))
            ++pos;
        std::string_view item;
        if (pos < list.size() && (list[pos] == '"' || list[pos] == '\'')) {
            const std::size_t close = list.find(list[pos], pos + 1);
            const std::size_t end = close == std::string_view::npos ? list.size() : close;
            item = list.substr(pos + 1, end - pos - 1);
            pos = list.find(',', end);
        } else {
            const std::size_t comma = list.find(',', pos);
            item = list.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
            pos = comma;
        }
        item = TrimCssSpace(item);
        if (!item.empty())
            families.emplace_back(item);
        if (pos == std::string_view::npos)
            break;
        ++pos;
    }
    return families;
}

bool IsGenericFamily(std::string_view name)
{
    for (std::string_view generic : {"serif", "sans-serif", "monospace", "cursive", "fantasy"})
        if (EqualsIgnoringCase(name, generic))
            return true;
    return false;
}

int Slant(FontStyle style)
{
    switch (style) {
    case FontStyle::Italic: return FC_SLANT_ITALIC;
    case FontStyle::Oblique: return FC_SLANT_OBLIQUE;
    case FontStyle::Normal: break;
    }
    return FC_SLANT_ROMAN;
}

// The request as fontconfig completes it: configured aliases and defaults
// added. `family` null asks for the default family.
PatternPtr Request(const std::string* family, int weight, FontStyle style)
{
    PatternPtr pattern(FcPatternCreate());
    if (family != nullptr)
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family->c_str()));
    FcPatternAddDouble(pattern.get(), FC_WEIGHT, FcWeightFromOpenTypeDouble(std::clamp(weight, 100, 900)));
    FcPatternAddInteger(pattern.get(), FC_SLANT, Slant(style));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

// True when `name` is one of the families the request binds strongly: the
// name asked for and its configured equivalents; weakly bound names are
// mere fallbacks.
bool IsBoundStrongly(const FcPattern* request, std::string_view name)
{
    FcValue value;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(request, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
        if (binding != FcValueBindingWeak && value.type == FcTypeString &&
            EqualsIgnoringCase(reinterpret_cast<const char*>(value.u.s), name))
            return true;
    }
    return false;
}

bool AnswersTo(const FcPattern* match, const FcPattern* request)
{
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (IsBoundStrongly(request, reinterpret_cast<const char*>(name)))
            return true;
    return false;
}

// fontconfig's best face for the family (the default family when null); null
// when the family is not installed.
PatternPtr MatchFamily(const std::string* family, int weight, FontStyle style)
{
    const PatternPtr request = Request(family, weight, style);
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(nullptr, request.get(), &result));
    if (!match || family == nullptr || IsGenericFamily(*family) || AnswersTo(match.get(), request.get()))
        return match;
    return nullptr;
}

// Height of the glyph's outline above the baseline, in font units; 0 when the
// face has no outline for the character.
float GlyphTop(FT_Face face, FT_ULong character)
{
    if (FT_Get_Char_Index(face, character) == 0)
        return 0;
    if (FT_Load_Char(face, character, FT_LOAD_NO_SCALE) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return 0;
    FT_BBox box;
    if (FT_Outline_Get_BBox(&face->glyph->outline, &box) != 0)
        return 0;
    return static_cast<float>(std::max<FT_Pos>(box.yMax, 0));
}

// Units per em, then x-height and cap height: from the OS/2 table where it
// has them (version 2 and later), else measured on 'x' and 'H', else the
// usual proportions of a Latin face. Without a readable scalable face the
// defaults of FaceMetrics stay.
void ReadMetrics(FT_Library freetype, const char* file, int index, FaceMetrics& metrics)
{
    FT_Face face = nullptr;
    if (freetype == nullptr || FT_New_Face(freetype, file, index, &face) != 0)
        return;
    if (face->units_per_EM > 0) {
        const float unitsPerEm = face->units_per_EM;
        float xHeight = 0;
        float capHeight = 0;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 != nullptr && os2->version >= 2 && os2->version != 0xFFFF) {
            xHeight = std::max<FT_Short>(os2->sxHeight, 0);
            capHeight = std::max<FT_Short>(os2->sCapHeight, 0);
        }
        if (xHeight == 0)
            xHeight = GlyphTop(face, 'x');
        if (capHeight == 0)
            capHeight = GlyphTop(face, 'H');
        metrics.unitsPerEm = unitsPerEm;
        metrics.xHeight = xHeight > 0 ? xHeight : unitsPerEm * 0.5f;
        metrics.capHeight = capHeight > 0 ? capHeight : unitsPerEm * 0.7f;
    }
    FT_Done_Face(face);
}

FaceMetrics DescribeMatch(FT_Library freetype, const FcPattern* match)
{
    FaceMetrics metrics;
    FcChar8* text = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch)
        metrics.family = reinterpret_cast<const char*>(text);
    if (FcPatternGetString(match, FC_FILE, 0, &text) != FcResultMatch)
        return metrics;
    int index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    ReadMetrics(freetype, reinterpret_cast<const char*>(text), index, metrics);
    return metrics;
}

// Windows user-interface faces that documents and the alternate-font list
// name, with the faces that stand in for them here: the desktop's interface
// font, a Japanese gothic (MS UI Gothic is one), then any sans-serif face.
std::vector<std::string> StandInsFor(const std::string& family, const std::string& interfaceFamily)
{
    if (!EqualsIgnoringCase(family, "MS UI Gothic") && !EqualsIgnoringCase(family, "MS Shell Dlg"))
        return {family};
    std::vector<std::string> standIns{"IPAGothic", "Noto Sans CJK JP", "VL Gothic", "sans-serif"};
    if (!interfaceFamily.empty())
        standIns.insert(standIns.begin(), interfaceFamily);
    return standIns;
}

FaceMetrics LookUp(FT_Library freetype, const std::string& interfaceFamily, std::string_view familyList, int weight,
                   FontStyle style)
{
    for (const std::string& listed : SplitFamilyList(familyList))
        for (const std::string& family : StandInsFor(listed, interfaceFamily))
            if (const PatternPtr match = MatchFamily(&family, weight, style))
                return DescribeMatch(freetype, match.get());
    if (const PatternPtr match = MatchFamily(nullptr, weight, style))
        return DescribeMatch(freetype, match.get());
    return FaceMetrics{};  // no font installed at all
}

}  // namespace

CSystemFaceMetrics::CSystemFaceMetrics(std::string interfaceFamily) : interfaceFamily_(std::move(interfaceFamily)) {}

CSystemFaceMetrics::~CSystemFaceMetrics()
{
    if (freetype_ != nullptr)
        FT_Done_FreeType(freetype_);
}

FaceMetrics CSystemFaceMetrics::Metrics(std::string_view familyList, int weight, FontStyle style)
{
    FaceKey key{std::string(familyList), weight, style};
    auto found = faces_.find(key);
    if (found != faces_.end())
        return found->second;
    if (freetype_ == nullptr && FT_Init_FreeType(&freetype_) != 0)
        freetype_ = nullptr;
    FaceMetrics metrics = LookUp(freetype_, interfaceFamily_, familyList, weight, style);
    faces_.emplace(std::move(key), metrics);
    return metrics;
}

}  // namespace svg
