// Face selection and font installation.
//
// Matching follows CSS font matching as SVG 1.1 uses it: among the faces of
// one family the nearest width wins first, then style, then weight. The
// style and weight scores are the pool's long-standing ones; the width step
// only matters where a family has faces of several widths.
#include "text/font_pool.h"

#include <algorithm>
#include <cmath>

#include "base/limits.h"
#include "text/font_face_sfnt.h"
#include "text/font_file.h"
#include "text/sfnt_font.h"
#include "text/system_fonts.h"
#include "values/scan.h"

namespace svg {
namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = ToLowerAscii(c);
    return lower;
}

// Style score of a face with style bits `offered` for the bits `asked`:
// the same style 10; a face for every style 5; an upright request never
// takes a slanted face (0); a slanted request takes an upright face last (1)
// and the other slant before it (9).
int StyleScore(std::uint16_t offered, std::uint16_t asked)
{
    if ((offered & asked) != 0)
        return 10;
    if (offered == 0)
        return 5;
    if ((asked & FontStyleBits::kNormal) != 0)
        return 0;
    return offered == FontStyleBits::kNormal ? 1 : 9;
}

// CSS weight matching as a score, higher better: the exact weight; 400 and
// 500 for each other; then for light requests lighter weights downward and
// heavier ones upward, for bold requests the reverse.
int WeightScore(int offered, int asked)
{
    if (offered == asked)
        return 20;
    if ((asked == 400 && offered == 500) || (asked == 500 && offered == 400))
        return 19;
    const bool preferLighter = asked <= 500;
    const bool lighter = offered < asked;
    const int steps = std::abs(offered - asked) / 100 - 1;
    return lighter == preferLighter ? 18 - steps : 10 - steps;
}

int MaskWeightScore(std::uint16_t mask, int asked)
{
    if (mask == 0)
        return 20;
    int best = 0;
    for (int bit = 0; bit < 9; ++bit)
        if ((mask & (1u << bit)) != 0)
            best = std::max(best, WeightScore((bit + 1) * 100, asked));
    return best;
}

// CSS width matching: for normal or narrower requests the nearest narrower
// width (or the exact one), else the nearest wider; for wider requests the
// reverse.
int ChooseWidth(const FaceList& faces, float stretch)
{
    const float desired = std::clamp(std::isfinite(stretch) ? stretch * 100 : 100.0f, 50.0f, 200.0f);
    bool haveNarrower = false, haveWider = false;
    int narrower = 0, wider = 0;
    for (const auto& face : faces) {
        const int width = face->widthPercent;
        if (width <= desired && (!haveNarrower || width > narrower)) {
            narrower = width;
            haveNarrower = true;
        }
        if (width >= desired && (!haveWider || width < wider)) {
            wider = width;
            haveWider = true;
        }
    }
    if (desired <= 100)
        return haveNarrower ? narrower : wider;
    return haveWider ? wider : narrower;
}

// The faces of `faces` the query prefers, best first.
FaceList Rank(FaceList faces, const FaceQuery& query)
{
    const int width = ChooseWidth(faces, query.stretch);
    std::erase_if(faces, [width](const auto& face) { return face->widthPercent != width; });
    const std::uint16_t asked = query.style == 0 ? FontStyleBits::kNormal : query.style;
    int bestStyle = 0;
    for (const auto& face : faces)
        bestStyle = std::max(bestStyle, StyleScore(face->style, asked));
    // A family of slanted faces only still serves an upright request (CSS).
    std::erase_if(faces, [&](const auto& face) { return StyleScore(face->style, asked) != bestStyle; });
    const int weight = NormalizeWeight(query.weight);
    std::stable_sort(faces.begin(), faces.end(), [weight](const auto& a, const auto& b) {
        return MaskWeightScore(a->weightMask, weight) > MaskWeightScore(b->weightMask, weight);
    });
    return faces;
}

bool NeedsSlant(const CFontFace& face, std::uint16_t asked)
{
    constexpr std::uint16_t kSlanted = FontStyleBits::kItalic | FontStyleBits::kOblique;
    return (asked & kSlanted) != 0 && face.style != 0 && (face.style & kSlanted) == 0;
}

bool IsInterfaceFamily(std::string_view name)
{
    return EqualsIgnoringCase(name, "MS UI Gothic") || EqualsIgnoringCase(name, "MS Shell Dlg");
}

std::string WidthKeyword(int percent)
{
    static constexpr std::pair<int, const char*> kKeywords[] = {
        {50, "ultra-condensed"}, {62, "extra-condensed"}, {75, "condensed"}, {87, "semi-condensed"},
        {100, "normal"}, {112, "semi-expanded"}, {125, "expanded"}, {150, "extra-expanded"}, {200, "ultra-expanded"}};
    for (const auto& [width, keyword] : kKeywords)
        if (percent <= width)
            return keyword;
    return "ultra-expanded";
}

FontInstallStatus StatusOf(FontDataStatus status)
{
    switch (status) {
    case FontDataStatus::Ok: return FontInstallStatus::Installed;
    case FontDataStatus::NotFound: return FontInstallStatus::NotFound;
    case FontDataStatus::TooLarge: return FontInstallStatus::TooLarge;
    case FontDataStatus::NotAFont: return FontInstallStatus::NotAFont;
    case FontDataStatus::Corrupt: return FontInstallStatus::Corrupt;
    }
    return FontInstallStatus::NotAFont;
}

enum class FormatClass { Sfnt, Svg, Unsupported };

// A format hint, possibly a comma list: usable when any item names a format
// FreeType reads; "svg" when an item asks for an SVG font.
FormatClass ClassifyFormat(std::string_view format)
{
    bool svg = false;
    bool any = false;
    for (const std::string& item : SplitFamilyList(format)) {
        any = true;
        for (std::string_view known : {"truetype", "opentype", "woff", "woff2", "unknown", "collection"})
            if (EqualsIgnoringCase(item, known))
                return FormatClass::Sfnt;
        svg = svg || EqualsIgnoringCase(item, "svg");
    }
    if (!any)
        return FormatClass::Sfnt;
    return svg ? FormatClass::Svg : FormatClass::Unsupported;
}

}  // namespace

CFontPool::CFontPool(FontPoolSettings settings) : settings_(std::move(settings)) {}

CFontPool::~CFontPool() = default;

const std::shared_ptr<CFreeTypeLibrary>& CFontPool::Library()
{
    if (!library_)
        library_ = CFreeTypeLibrary::Create();
    return library_;
}

void CFontPool::Clear()
{
    faces_.clear();
    byFamily_.clear();
    familiesLookedUp_.clear();
    slanted_.clear();
    systemFonts_.clear();
    fontFiles_.clear();
    fallbackFaces_.clear();
    charFamilies_.clear();
    fontBytes_ = 0;
    shapeCache_.Clear();
}

bool CFontPool::AddFaceUnchecked(std::shared_ptr<CFontFace> face)
{
    if (!face || faces_.size() >= limits::kMaxPoolFaces)
        return false;
    if (!face->syntheticSlant) {
        byFamily_[Lower(face->family)].push_back(faces_.size());
        fallbackFaces_.clear();  // a new face may change any family's order
    }
    faces_.push_back(std::move(face));
    return true;
}

bool CFontPool::AddFace(std::shared_ptr<CFontFace> face) { return AddFaceUnchecked(std::move(face)); }

FaceList CFontPool::PooledFaces(const std::string& family) const
{
    FaceList faces;
    const auto found = byFamily_.find(Lower(family));
    if (found == byFamily_.end())
        return faces;
    for (std::size_t index : found->second)
        if (faces_[index]->valid)
            faces.push_back(faces_[index]);
    return faces;
}

std::shared_ptr<CFontFaceSystem> CFontPool::MakeSystemFace(const std::string& family, const SystemFaceInfo& info)
{
    auto face = std::make_shared<CFontFaceSystem>();
    face->family = family;
    face->platformFamily = info.family;
    face->file = info.file;
    face->index = info.index;
    face->style = info.style;
    face->weightMask = WeightBit(info.weight);
    face->widthPercent = info.widthPercent;
    face->stretch = WidthKeyword(info.widthPercent);
    return face;
}

// System faces open their font on first use; the faces of one font file
// share it.
bool CFontPool::Load(CFontFace& face)
{
    if (face.Kind() != FaceKind::System || face.Sfnt() != nullptr || !face.valid)
        return face.valid;
    auto& system = static_cast<CFontFaceSystem&>(face);
    std::shared_ptr<CSfntFont>& font = systemFonts_[{system.file, system.index}];
    if (!font) {
        SfntOpenStatus status = SfntOpenStatus::NotAFont;
        font = CSfntFont::OpenFile(Library(), system.file, system.index, status);
    }
    // Attach reads the metrics; the style and weight stay fontconfig's.
    system.Attach(font);
    return system.valid;
}

void CFontPool::LookUpSystemFamily(const std::string& family)
{
    const std::string key = Lower(family);
    if (familiesLookedUp_.count(key) != 0 || familiesLookedUp_.size() >= limits::kMaxSystemFamilyLookups)
        return;
    familiesLookedUp_.insert(key);
    systemStarted_ = true;
    std::vector<SystemFaceInfo> infos;
    if (IsInterfaceFamily(family)) {
        std::vector<std::string> standIns{"IPAGothic", "Noto Sans CJK JP", "VL Gothic", "sans-serif"};
        if (!settings_.interfaceFamily.empty())
            standIns.insert(standIns.begin(), settings_.interfaceFamily);
        for (const std::string& standIn : standIns)
            if (!(infos = ListSystemFamily(standIn)).empty())
                break;
    } else {
        infos = ListSystemFamily(family);
    }
    for (const SystemFaceInfo& info : infos)
        AddFaceUnchecked(MakeSystemFace(family, info));
}

std::shared_ptr<CFontFace> CFontPool::Slanted(const std::shared_ptr<CFontFace>& face, std::uint16_t styleBits)
{
    const std::uint16_t slant = (styleBits & FontStyleBits::kItalic) != 0 ? FontStyleBits::kItalic : FontStyleBits::kOblique;
    std::shared_ptr<CFontFace>& twin = slanted_[{face.get(), slant}];
    if (twin)
        return twin;
    auto* sfnt = dynamic_cast<CFontFaceSfnt*>(face.get());
    if (sfnt == nullptr)
        return face;  // SVG fonts slant their own glyphs
    twin = sfnt->CloneSlanted(slant);
    AddFaceUnchecked(twin);
    return twin;
}

std::shared_ptr<CFontFace> CFontPool::Match(const std::string& family, const FaceQuery& query, FaceList* candidates)
{
    FaceList faces = PooledFaces(family);
    if (faces.empty()) {
        LookUpSystemFamily(family);
        faces = PooledFaces(family);
    }
    FaceList ranked = Rank(std::move(faces), query);
    std::erase_if(ranked, [this](const auto& face) { return !Load(*face); });
    if (ranked.empty())
        return nullptr;
    const std::uint16_t asked = query.style == 0 ? FontStyleBits::kNormal : query.style;
    for (auto& face : ranked)
        if (NeedsSlant(*face, asked))
            face = Slanted(face, asked);
    if (candidates != nullptr)
        candidates->insert(candidates->end(), ranked.begin(), ranked.end());
    return ranked.front();
}

std::shared_ptr<CFontFace> CFontPool::DefaultFace(const FaceQuery& query, FaceList* candidates)
{
    if (!settings_.defaultFamily.empty())
        if (auto face = Match(settings_.defaultFamily, query, candidates))
            return face;
    if (!defaultSystemFamilyKnown_) {
        defaultSystemFamilyKnown_ = true;
        systemStarted_ = true;
        defaultSystemFamily_ = DefaultSystemFamily();
    }
    return defaultSystemFamily_.empty() ? nullptr : Match(defaultSystemFamily_, query, candidates);
}

std::shared_ptr<CFontFace> CFontPool::FindFace(std::string_view family, const FaceQuery& query, bool fallback,
                                               FaceList* candidates)
{
    const std::string name(TrimCssSpace(family));
    if (!name.empty())
        if (auto face = Match(name, query, candidates))
            return face;
    return name.empty() || fallback ? DefaultFace(query, candidates) : nullptr;
}

std::shared_ptr<CFontFace> CFontPool::FindFaceInList(std::string_view familyList, const FaceQuery& query)
{
    for (const std::string& family : SplitFamilyList(familyList))
        if (auto face = FindFace(family, query, false))
            return face;
    return FindFace({}, query, true);
}

const FaceList& CFontPool::FallbackFaces(std::string_view familyList, std::string_view alternateFamilies,
                                         const FaceQuery& query)
{
    std::string key(familyList);
    key += '\x1f';
    key += alternateFamilies;
    key += '\x1f' + std::to_string(query.style) + ',' + std::to_string(NormalizeWeight(query.weight)) + ',' +
           std::to_string(query.stretch);
    if (const auto found = fallbackFaces_.find(key); found != fallbackFaces_.end())
        return found->second;
    FaceList faces;
    const auto addUnique = [&faces](const FaceList& candidates) {
        for (const auto& face : candidates)
            if (std::find(faces.begin(), faces.end(), face) == faces.end())
                faces.push_back(face);
    };
    const auto addFamilies = [&](std::string_view list) {
        for (const std::string& family : SplitFamilyList(list)) {
            FaceList candidates;
            FindFace(family, query, false, &candidates);
            addUnique(candidates);
        }
    };
    FaceList defaults;
    addFamilies(familyList);
    // A list naming no installed family is set in the default family, as
    // browsers do; the alternate list only fills in missing characters.
    if (faces.empty()) {
        FindFace({}, query, true, &defaults);
        addUnique(defaults);
    }
    addFamilies(alternateFamilies);
    if (defaults.empty())
        FindFace({}, query, true, &defaults);
    addUnique(defaults);
    // Looking faces up may have added system faces, which clears the memory.
    if (fallbackFaces_.size() >= limits::kMaxRememberedFaceLists)
        fallbackFaces_.clear();
    return fallbackFaces_.emplace(std::move(key), std::move(faces)).first->second;
}

std::shared_ptr<CFontFace> CFontPool::FaceForChar(char32_t c, const FaceQuery& query)
{
    auto found = charFamilies_.find(c);
    if (found == charFamilies_.end()) {
        if (charFamilies_.size() >= limits::kMaxRememberedCharFonts)
            charFamilies_.clear();
        systemStarted_ = true;
        found = charFamilies_.emplace(c, FamilyForChar(c)).first;
    }
    if (found->second.empty())
        return nullptr;
    return FindFace(found->second, query, false);
}

bool CFontPool::ExistsSystemFont(std::string_view family)
{
    systemStarted_ = true;
    return !ListSystemFamily(TrimCssSpace(family)).empty();
}

FontInstallStatus CFontPool::InstallLocalFont(const FontDeclaration& declaration, std::string_view localName)
{
    systemStarted_ = true;
    const std::string name(TrimCssSpace(localName));
    FaceList faces;
    std::vector<SystemFaceInfo> infos = ListFacesNamed(name);
    if (infos.empty())
        infos = ListSystemFamily(name);
    for (const SystemFaceInfo& info : infos)
        faces.push_back(MakeSystemFace(declaration.family, info));
    FaceList ranked = Rank(std::move(faces), FaceQuery{});
    std::erase_if(ranked, [this](const auto& face) { return !Load(*face); });
    if (ranked.empty())
        return FontInstallStatus::InstallFailed;
    CFontFace& face = *ranked.front();
    if (declaration.styleBits != 0)
        face.style = declaration.styleBits;
    if (declaration.weightMask != 0)
        face.weightMask = declaration.weightMask;
    face.unicodeRanges = declaration.unicodeRanges;
    return AddFaceUnchecked(ranked.front()) ? FontInstallStatus::Installed : FontInstallStatus::PoolFull;
}

FontInstallStatus CFontPool::InstallFontFile(const FontDeclaration& declaration, const std::string& fullPath,
                                             std::string_view format)
{
    const std::string path(StripUriFragment(fullPath));
    switch (ClassifyFormat(format.empty() ? InferFontFormat(path) : std::string(format))) {
    case FormatClass::Svg: return FontInstallStatus::SvgFont;
    case FormatClass::Unsupported: return FontInstallStatus::UnsupportedFormat;
    case FormatClass::Sfnt: break;
    }
    auto found = fontFiles_.find(path);
    if (found == fontFiles_.end()) {
        FontFileEntry entry;
        std::vector<std::uint8_t> bytes;
        entry.status = StatusOf(ReadFontFile(path, bytes));
        if (entry.status == FontInstallStatus::Installed && fontBytes_ + bytes.size() > limits::kMaxFontBytesPerPool)
            entry.status = FontInstallStatus::TooLarge;
        if (entry.status == FontInstallStatus::Installed) {
            fontBytes_ += bytes.size();
            entry.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        }
        found = fontFiles_.emplace(path, std::move(entry)).first;
    }
    if (found->second.status != FontInstallStatus::Installed)
        return found->second.status;
    return InstallBytes(declaration, path, found->second.bytes);
}

FontInstallStatus CFontPool::InstallFontData(const FontDeclaration& declaration, const std::string& key,
                                             std::vector<std::uint8_t> bytes, std::string_view format)
{
    switch (ClassifyFormat(format)) {
    case FormatClass::Svg: return FontInstallStatus::SvgFont;
    case FormatClass::Unsupported: return FontInstallStatus::UnsupportedFormat;
    case FormatClass::Sfnt: break;
    }
    if (bytes.size() > limits::kMaxFontFileBytes || fontBytes_ + bytes.size() > limits::kMaxFontBytesPerPool)
        return FontInstallStatus::TooLarge;
    std::shared_ptr<const std::vector<std::uint8_t>> shared;
    if (const auto found = fontFiles_.find(key); !key.empty() && found != fontFiles_.end()) {
        shared = found->second.bytes;
    } else {
        fontBytes_ += bytes.size();
        shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        if (!key.empty())
            fontFiles_[key] = {shared, FontInstallStatus::Installed};
    }
    return InstallBytes(declaration, key, shared);
}

FontInstallStatus CFontPool::InstallBytes(const FontDeclaration& declaration, const std::string& key,
                                          const std::shared_ptr<const std::vector<std::uint8_t>>& bytes)
{
    const FontDataCheck check = CheckFontData(*bytes);
    if (check.status != FontDataStatus::Ok)
        return StatusOf(check.status);
    // FreeType unpacks a WOFF or WOFF2 face into memory of its declared size.
    const auto unpackedFits = [&] { return fontBytes_ + check.unpackedBytes <= limits::kMaxFontBytesPerPool; };
    FontInstallStatus status = FontInstallStatus::Corrupt;
    int faces = 1;
    for (int index = 0; index < faces; ++index) {
        if (!unpackedFits())
            return index == 0 ? FontInstallStatus::TooLarge : status;
        SfntOpenStatus opened = SfntOpenStatus::NotAFont;
        std::shared_ptr<CSfntFont> font = CSfntFont::OpenMemory(Library(), bytes, index, opened);
        if (index == 0) {
            if (!font)
                return opened == SfntOpenStatus::NotAFont ? FontInstallStatus::NotAFont : FontInstallStatus::Corrupt;
            faces = std::min(font->FacesInFile(), static_cast<int>(limits::kMaxFacesPerCollection));
        }
        if (!font)
            continue;  // a broken face of a collection is dropped
        fontBytes_ += check.unpackedBytes;
        auto face = std::make_shared<CFontFaceSrc>();
        face->family = declaration.family;
        face->source = key;
        face->index = index;
        face->Attach(font);
        face->style = declaration.styleBits != 0 ? declaration.styleBits
                                                 : (font->IsItalic() ? FontStyleBits::kItalic : FontStyleBits::kNormal);
        face->weightMask = declaration.weightMask != 0 ? declaration.weightMask : WeightBit(font->WeightClass());
        face->widthPercent = font->WidthPercent();
        face->stretch = WidthKeyword(face->widthPercent);
        face->unicodeRanges = declaration.unicodeRanges;
        if (!AddFaceUnchecked(std::move(face)))
            return status == FontInstallStatus::Installed ? status : FontInstallStatus::PoolFull;
        status = FontInstallStatus::Installed;
    }
    return status;
}

std::vector<std::string> SplitFamilyList(std::string_view list)
{
    std::vector<std::string> families;
    std::size_t pos = 0;
    while (pos < list.size() && families.size() < limits::kMaxFamiliesPerList) {
        while (pos < list.size() && IsCssSpace(list[pos]))
            ++pos;
        std::string item;
        if (pos < list.size() && (list[pos] == '"' || list[pos] == '\'')) {
            const std::size_t close = list.find(list[pos], pos + 1);
            const std::size_t end = close == std::string_view::npos ? list.size() : close;
            item = list.substr(pos + 1, end - pos - 1);
            pos = list.find(',', end);
        } else {
            const std::size_t comma = list.find(',', pos);
            const std::string_view raw =
                TrimCssSpace(list.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
            for (char c : raw)
                if (!IsCssSpace(c))
                    item += c;
                else if (!item.empty() && item.back() != ' ')
                    item += ' ';
            pos = comma;
        }
        if (!item.empty())
            families.push_back(std::move(item));
        if (pos == std::string_view::npos)
            break;
        ++pos;
    }
    return families;
}

std::string_view StripUriFragment(std::string_view uri) { return uri.substr(0, uri.find('#')); }

std::string InferFontFormat(std::string_view uri)
{
    const std::string_view path = StripUriFragment(uri);
    const auto endsWith = [path](std::string_view suffix) {
        return path.size() >= suffix.size() && EqualsIgnoringCase(path.substr(path.size() - suffix.size()), suffix);
    };
    if (endsWith(".svg"))
        return "svg";
    if (endsWith(".ttf") || endsWith(".ttc"))
        return "truetype";
    if (endsWith(".otf"))
        return "opentype";
    if (endsWith(".woff"))
        return "woff";
    if (endsWith(".woff2"))
        return "woff2";
    return "unknown";
}

}  // namespace svg
