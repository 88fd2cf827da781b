// The font pool of one load: every face text may be set in, how a family
// name and a style, weight and stretch select one, and the fonts a document
// declares (@font-face, font-face elements).
//
// Faces come from installed fonts (looked up through fontconfig on first
// use of a family name, every face of the family at once), from font files
// given as paths or as bytes (read once per path, never installed, never
// written to disk), and from SVG fonts added by their elements (AddFace).
//
// Ownership: the caller owns the pool, one per load. Faces are shared: the
// pool keeps every face until Clear or destruction, and glyphs keep the faces
// they were made from for as long as they live. Threads: a pool and its faces
// are used by one thread at a time; different pools may run on different
// threads. Creating a pool costs nothing: FreeType starts on the first font
// opened and fontconfig on the first look-up of a system family.
//
// The pool reports nothing: installation returns a FontInstallStatus, which
// the caller turns into a message (see the enum). Look-ups that find nothing
// return null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text/font_face.h"
#include "text/shape_cache.h"

namespace svg {

class CFreeTypeLibrary;
class CSfntFont;
class CFontFaceSystem;
struct SystemFaceInfo;

struct FontPoolSettings {
    // The family used for an empty family list, for one naming no installed
    // family, and as the last resort: serif, as browsers choose.
    std::string defaultFamily = "serif";
    // The desktop's user-interface family; documents written on Windows name
    // its interface faces ("MS UI Gothic", "MS Shell Dlg"), which stand for
    // it first, then for IPAGothic, Noto Sans CJK JP, VL Gothic, sans-serif.
    std::string interfaceFamily;
};

// What an element asks of a face (its resolved font properties).
struct FaceQuery {
    std::uint16_t style = FontStyleBits::kNormal;  // FontStyle bits
    int weight = 400;                          // 100..900
    // font-stretch as a factor of normal width (1 normal, below 1 condensed,
    // above 1 expanded). It selects among faces of different widths; it does
    // not scale advances.
    float stretch = 1;
    int variant = 1;  // 1 normal, 2 small-caps; takes no part in matching
};

// A declared font (@font-face rule or font-face element).
struct FontDeclaration {
    std::string family;
    std::uint16_t styleBits = 0;   // FontStyle bits; 0: the font's own style
    std::uint16_t weightMask = 0;  // WeightBit set; 0: the font's own weight
    std::vector<UnicodeRange> unicodeRanges;  // empty: every character
};

// Results of installing a declared font, and the message the caller reports
// for each (element name, URI, line and column filled in by the caller):
enum class FontInstallStatus {
    Installed,          // faces were added; no message
    InstallFailed,      // local(): no installed font of that name: "E font "%s" :install failed" (the family)
    NotFound,           // the file cannot be read ...
    TooLarge,           // ... or passes a size bound ...
    NotAFont,           // ... or is no font ...
    Corrupt,            // ... or a broken one: all four report
                        // "E font-face-uri="%s" : NOT found or Unsupported format at %d(%d)"
    UnsupportedFormat,  // the format names nothing this reads: "E "%s" :Unsupported font format at %d(%d)"
    SvgFont,            // format "svg": the caller resolves the URI to a `font` element and adds its face;
                        // failing that "E font-face-uri="%s" :NOT refer to font element at %d(%d)" or
                        // "E font-face-uri="%s" :Link NOT found at %d(%d)"
    PoolFull,           // the pool holds its bound of faces; reported like NotFound
};

using FaceList = std::vector<std::shared_ptr<CFontFace>>;

class CFontPool {
public:
    explicit CFontPool(FontPoolSettings settings = {});
    ~CFontPool();
    CFontPool(const CFontPool&) = delete;
    CFontPool& operator=(const CFontPool&) = delete;

    const FontPoolSettings& Settings() const { return settings_; }

    // The face of one family (case-insensitive; generic names included) that
    // best fits the query: the nearest width, then style, then weight, as CSS
    // matches fonts. An italic or oblique asked of a family without one is a
    // slanted copy of its upright face, made once. `candidates`, when given,
    // receives every face of the chosen width and style, best weight first.
    // Null when the family is unknown, unless `fallback`: then the default
    // family's face.
    std::shared_ptr<CFontFace> FindFace(std::string_view family, const FaceQuery& query, bool fallback,
                                        FaceList* candidates = nullptr);
    // The first family of a comma-separated list that resolves, else the
    // default family's face; null only when no font is installed at all.
    std::shared_ptr<CFontFace> FindFaceInList(std::string_view familyList, const FaceQuery& query);
    // The faces to take characters from, in order: the candidates of each
    // family of the list (the default family's when none of them exists),
    // then of the alternate list, then of the default family, each face
    // once. Unknown families are skipped. Remembered per request until fonts
    // are installed or the pool is emptied.
    const FaceList& FallbackFaces(std::string_view familyList, std::string_view alternateFamilies,
                                  const FaceQuery& query);
    // The last resort for a character no face of a request has: the face
    // of the installed family fontconfig finds for it (as browsers fall
    // back to any installed font). Null when no font has it. Remembered
    // per character.
    std::shared_ptr<CFontFace> FaceForChar(char32_t c, const FaceQuery& query);
    // True when an installed family (or a generic name) answers to `family`.
    bool ExistsSystemFont(std::string_view family);

    // local(): the installed face with that full or PostScript name, else
    // the upright regular face of the family of that name.
    FontInstallStatus InstallLocalFont(const FontDeclaration& declaration, std::string_view localName);
    // A font file by full path, read once per pool however often it is
    // installed. `format` is the format() hint (a comma list is allowed);
    // empty infers it from the extension. One face per font of the file.
    FontInstallStatus InstallFontFile(const FontDeclaration& declaration, const std::string& fullPath,
                                      std::string_view format);
    // Font bytes (a data: URL); `key` names them for the font-file map (an
    // empty key is not remembered).
    FontInstallStatus InstallFontData(const FontDeclaration& declaration, const std::string& key,
                                      std::vector<std::uint8_t> bytes, std::string_view format);
    // Adds a face made elsewhere (an SVG font); false when the pool is full.
    bool AddFace(std::shared_ptr<CFontFace> face);

    // Every face, in the order added (system faces as their family is first
    // asked for).
    const FaceList& Faces() const { return faces_; }
    // Drops every face, font file and cached result; glyphs keep their faces.
    void Clear();

    // True once a system family was looked up (fontconfig started).
    bool SystemFontsStarted() const { return systemStarted_; }
    CShapeCache& ShapeResults() { return shapeCache_; }

private:
    struct FontFileEntry {
        std::shared_ptr<const std::vector<std::uint8_t>> bytes;
        FontInstallStatus status = FontInstallStatus::NotFound;
    };

    std::shared_ptr<CFontFace> Match(const std::string& family, const FaceQuery& query, FaceList* candidates);
    std::shared_ptr<CFontFace> DefaultFace(const FaceQuery& query, FaceList* candidates);
    FaceList PooledFaces(const std::string& family) const;
    void LookUpSystemFamily(const std::string& family);
    bool AddFaceUnchecked(std::shared_ptr<CFontFace> face);
    std::shared_ptr<CFontFaceSystem> MakeSystemFace(const std::string& family, const SystemFaceInfo& info);
    bool Load(CFontFace& face);
    std::shared_ptr<CFontFace> Slanted(const std::shared_ptr<CFontFace>& face, std::uint16_t styleBits);
    FontInstallStatus InstallBytes(const FontDeclaration& declaration, const std::string& key,
                                   const std::shared_ptr<const std::vector<std::uint8_t>>& bytes);
    const std::shared_ptr<CFreeTypeLibrary>& Library();

    FontPoolSettings settings_;
    FaceList faces_;
    std::unordered_map<std::string, std::vector<std::size_t>> byFamily_;  // lower-case family -> faces_ indexes
    std::set<std::string> familiesLookedUp_;                              // lower-case names asked of fontconfig
    std::map<std::pair<const CFontFace*, std::uint16_t>, std::shared_ptr<CFontFace>> slanted_;
    std::map<std::pair<std::string, int>, std::shared_ptr<CSfntFont>> systemFonts_;  // (file, index)
    std::unordered_map<std::string, FontFileEntry> fontFiles_;  // the font-file map: full path or key
    std::unordered_map<std::string, FaceList> fallbackFaces_;  // FallbackFaces by request
    std::unordered_map<char32_t, std::string> charFamilies_;    // FaceForChar: the family found
    std::size_t fontBytes_ = 0;
    std::string defaultSystemFamily_;
    bool defaultSystemFamilyKnown_ = false;
    bool systemStarted_ = false;
    std::shared_ptr<CFreeTypeLibrary> library_;
    CShapeCache shapeCache_;
};

// Family list items: separated by commas; a quoted item runs to its closing
// quote and is taken without quotes; others are trimmed and their inner runs
// of white space become one space. Empty items are dropped, and items beyond
// the bound of model/limits.h.
std::vector<std::string> SplitFamilyList(std::string_view list);
// The URI without its fragment (from the first '#'), for file checks.
std::string_view StripUriFragment(std::string_view uri);
// The font format of a URI by its extension, case-insensitive: ".svg" "svg",
// ".ttf" ".ttc" "truetype", ".otf" "opentype", ".woff" "woff", ".woff2"
// "woff2", anything else "unknown".
std::string InferFontFormat(std::string_view uri);

}  // namespace svg
