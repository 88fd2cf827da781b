// fontconfig queries for the font pool.
#include "text/system_fonts.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include <fontconfig/fontconfig.h>

#include "text/font_face.h"
#include "values/scan.h"

namespace svg {
namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

struct FontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using FontSetPtr = std::unique_ptr<FcFontSet, FontSetDeleter>;

struct ObjectSetDeleter {
    void operator()(FcObjectSet* set) const { FcObjectSetDestroy(set); }
};

const char* AsText(const FcChar8* text) { return reinterpret_cast<const char*>(text); }
const FcChar8* AsFc(const std::string& text) { return reinterpret_cast<const FcChar8*>(text.c_str()); }

bool HasStringValue(const FcPattern* pattern, const char* object, std::string_view name)
{
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, object, i, &value) == FcResultMatch; ++i)
        if (EqualsIgnoringCase(AsText(value), name))
            return true;
    return false;
}

std::uint16_t StyleOf(const FcPattern* pattern)
{
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
    if (slant == FC_SLANT_ITALIC)
        return FontStyleBits::kItalic;
    return slant == FC_SLANT_OBLIQUE ? FontStyleBits::kOblique : FontStyleBits::kNormal;
}

SystemFaceInfo Describe(const FcPattern* pattern)
{
    SystemFaceInfo info;
    FcChar8* text = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &text) == FcResultMatch)
        info.family = AsText(text);
    if (FcPatternGetString(pattern, FC_FILE, 0, &text) == FcResultMatch)
        info.file = AsText(text);
    FcPatternGetInteger(pattern, FC_INDEX, 0, &info.index);
    double weight = FC_WEIGHT_REGULAR;
    FcPatternGetDouble(pattern, FC_WEIGHT, 0, &weight);
    info.weight = NormalizeWeight(static_cast<int>(FcWeightToOpenTypeDouble(weight) + 0.5));
    info.style = StyleOf(pattern);
    int width = FC_WIDTH_NORMAL;
    FcPatternGetInteger(pattern, FC_WIDTH, 0, &width);
    info.widthPercent = width;
    return info;
}

// Every scalable face of which `object` (a family, full or PostScript name)
// is exactly `name`, case aside.
std::vector<SystemFaceInfo> ListWhere(const char* object, std::string_view name)
{
    const std::string text(name);
    PatternPtr pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), object, AsFc(text));
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
        FcObjectSetBuild(FC_FAMILY, FC_FULLNAME, FC_POSTSCRIPT_NAME, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT,
                         FC_WIDTH, FC_VARIABLE, nullptr));
    const FontSetPtr fonts(FcFontList(nullptr, pattern.get(), objects.get()));
    std::vector<SystemFaceInfo> faces;
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        const FcPattern* font = fonts->fonts[i];
        FcBool variable = FcFalse;
        // A variable font is listed once whole and once per named instance;
        // the instances are the faces.
        if (FcPatternGetBool(font, FC_VARIABLE, 0, &variable) == FcResultMatch && variable)
            continue;
        if (!HasStringValue(font, object, name))
            continue;
        SystemFaceInfo info = Describe(font);
        if (!info.file.empty())
            faces.push_back(std::move(info));
    }
    std::sort(faces.begin(), faces.end(), [](const SystemFaceInfo& a, const SystemFaceInfo& b) {
        return std::tie(a.file, a.index) < std::tie(b.file, b.index);
    });
    return faces;
}

// The request as fontconfig completes it: configured aliases and defaults
// added. An empty family asks for the default.
PatternPtr Request(const std::string& family)
{
    PatternPtr pattern(FcPatternCreate());
    if (!family.empty())
        FcPatternAddString(pattern.get(), FC_FAMILY, AsFc(family));
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

// True when the request binds `name` strongly: the name asked for and its
// configured equivalents; weakly bound names are mere fallbacks.
bool IsBoundStrongly(const FcPattern* request, std::string_view name)
{
    FcValue value;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(request, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
        if (binding != FcValueBindingWeak && value.type == FcTypeString && EqualsIgnoringCase(AsText(value.u.s), name))
            return true;
    }
    return false;
}

// The family of fontconfig's best face for `name` when it answers to it
// (always for a generic name or the default); empty otherwise.
std::string MatchedFamily(const std::string& name, bool anyAnswer)
{
    const PatternPtr request = Request(name);
    FcResult result = FcResultNoMatch;
    const PatternPtr match(FcFontMatch(nullptr, request.get(), &result));
    if (!match)
        return {};
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i)
        if (anyAnswer || IsBoundStrongly(request.get(), AsText(family)))
            return AsText(family);
    return {};
}

}  // namespace

bool IsGenericFamily(std::string_view name)
{
    for (std::string_view generic : {"serif", "sans-serif", "monospace", "cursive", "fantasy"})
        if (EqualsIgnoringCase(name, generic))
            return true;
    return false;
}

std::vector<SystemFaceInfo> ListSystemFamily(std::string_view name)
{
    if (name.empty())
        return {};
    const bool generic = IsGenericFamily(name);
    if (!generic) {
        std::vector<SystemFaceInfo> faces = ListWhere(FC_FAMILY, name);
        if (!faces.empty())
            return faces;
    }
    const std::string family = MatchedFamily(std::string(name), generic);
    if (family.empty() || EqualsIgnoringCase(family, name))
        return {};
    return ListWhere(FC_FAMILY, family);
}

std::string DefaultSystemFamily() { return MatchedFamily({}, true); }

std::string FamilyForChar(char32_t c)
{
    PatternPtr request(FcPatternCreate());
    FcCharSet* wanted = FcCharSetCreate();
    FcCharSetAddChar(wanted, c);
    FcPatternAddCharSet(request.get(), FC_CHARSET, wanted);
    FcCharSetDestroy(wanted);
    FcPatternAddBool(request.get(), FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, request.get(), FcMatchPattern);
    FcDefaultSubstitute(request.get());
    FcResult result = FcResultNoMatch;
    const FontSetPtr fonts(FcFontSort(nullptr, request.get(), FcFalse, nullptr, &result));
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        FcCharSet* charset = nullptr;
        FcChar8* family = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch &&
            FcCharSetHasChar(charset, c) && FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch)
            return AsText(family);
    }
    return {};
}

std::vector<SystemFaceInfo> ListFacesNamed(std::string_view name)
{
    if (name.empty())
        return {};
    std::vector<SystemFaceInfo> faces = ListWhere(FC_FULLNAME, name);
    return faces.empty() ? ListWhere(FC_POSTSCRIPT_NAME, name) : faces;
}

}  // namespace svg
