// One opened sfnt font (TrueType, OpenType/CFF, a face of a collection, WOFF,
// WOFF2) through FreeType, with its HarfBuzz font and an outline cache. The
// font layer's faces (CFontFaceSfnt) share one CSfntFont per font; glyphs keep
// it alive through their face.
//
// Units are font units, y upward. Outlines are read unhinted and unscaled;
// quadratic curves come out raised to cubics.
//
// Ownership: a CSfntFont holds its FreeType library and, for fonts read from
// memory, the bytes, so it may outlive the pool that opened it. Not
// thread-safe: one thread at a time, like the pool. Failures to open are
// returned as a status and null; a glyph that cannot be read has no outline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "values/path_geometry.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;
struct hb_font_t;

namespace svg {

class CFontFace;

// A FreeType library instance, shared by a pool and every font it opened.
class CFreeTypeLibrary {
public:
    // Null when FreeType cannot start.
    static std::shared_ptr<CFreeTypeLibrary> Create();
    ~CFreeTypeLibrary();
    CFreeTypeLibrary(const CFreeTypeLibrary&) = delete;
    CFreeTypeLibrary& operator=(const CFreeTypeLibrary&) = delete;
    FT_LibraryRec_* Get() const { return library_; }

private:
    explicit CFreeTypeLibrary(FT_LibraryRec_* library) : library_(library) {}
    FT_LibraryRec_* library_;
};

using FontBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

enum class SfntOpenStatus {
    Opened,
    NotAFont,  // FreeType does not know the format
    Corrupt,   // a known format, but broken: no usable outlines, no em size
};

struct OutlineCacheStats {
    std::size_t hits = 0;
    std::size_t misses = 0;
};

class CSfntFont {
public:
    // Face `index` of a font in memory, or of a file. Null with a status
    // when FreeType refuses it or it has no scalable outlines.
    static std::shared_ptr<CSfntFont> OpenMemory(std::shared_ptr<CFreeTypeLibrary> library, FontBytes bytes,
                                                int index, SfntOpenStatus& status);
    static std::shared_ptr<CSfntFont> OpenFile(std::shared_ptr<CFreeTypeLibrary> library, const std::string& path,
                                              int index, SfntOpenStatus& status);
    ~CSfntFont();
    CSfntFont(const CSfntFont&) = delete;
    CSfntFont& operator=(const CSfntFont&) = delete;

    // Number of faces in the file this face came from (1 unless a collection).
    int FacesInFile() const;
    int UnitsPerEm() const;
    bool IsItalic() const;
    int WeightClass() const;  // OS/2 usWeightClass; 400 without one
    int WidthPercent() const; // from OS/2 usWidthClass; 100 without one
    std::string FamilyName() const;

    // Fills the font-unit metrics of a face from the sfnt tables.
    void ReadMetrics(CFontFace& face) const;

    std::uint32_t GlyphForChar(char32_t c) const;
    // Horizontal and vertical advance of a glyph; the vertical one is the
    // em size unless the font has vertical metrics.
    float HAdvance(std::uint32_t glyph) const;
    float VAdvance(std::uint32_t glyph) const;
    // Bounds of the glyph's outline; false when it has none.
    bool InkBounds(std::uint32_t glyph, float& xMin, float& xMax) const;

    // The glyph's outline, from the cache or read and cached; null when the
    // glyph has no outline (a space, a bitmap glyph, a glyph that fails).
    std::shared_ptr<const CGraphicsPath> Outline(std::uint32_t glyph);
    const OutlineCacheStats& CacheStats() const { return stats_; }

    // The HarfBuzz font, scaled so that positions are font units x 64.
    hb_font_t* HbFont() const { return hbFont_; }

private:
    CSfntFont(std::shared_ptr<CFreeTypeLibrary> library, FontBytes bytes, FT_FaceRec_* face);
    std::shared_ptr<const CGraphicsPath> ReadOutline(std::uint32_t glyph) const;
    void Remember(std::uint32_t glyph, std::shared_ptr<const CGraphicsPath> outline);

    std::shared_ptr<CFreeTypeLibrary> library_;
    FontBytes bytes_;  // FreeType reads memory fonts in place
    FT_FaceRec_* face_ = nullptr;
    hb_font_t* hbFont_ = nullptr;

    struct CacheEntry {
        std::uint32_t glyph;
        std::shared_ptr<const CGraphicsPath> outline;
    };
    std::list<CacheEntry> lru_;  // most recently used first
    std::unordered_map<std::uint32_t, std::list<CacheEntry>::iterator> cached_;
    std::size_t cachedPoints_ = 0;
    OutlineCacheStats stats_;
};

}  // namespace svg
