// Shaping results kept by a font pool: the glyphs HarfBuzz gave for one run
// of text in one font with one set of options, in font units, so that a
// string met again (a label repeated across a chart) is not shaped again.
// Font size takes no part: runs are shaped unhinted in font units and scaled
// afterwards. Bounded in entries and in run length (model/limits.h); the
// least recently used entry goes first. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace svg {

class CSfntFont;

// One shaped glyph in font units (y upward, HarfBuzz's sign convention).
// `cluster` is the index of its cluster's first character, counted from the
// first character of the run shaped.
struct ShapedGlyph {
    std::uint32_t glyph = 0;
    std::uint32_t cluster = 0;
    float xAdvance = 0;
    float yAdvance = 0;
    float xOffset = 0;
    float yOffset = 0;
};

struct ShapeKey {
    const CSfntFont* font = nullptr;
    std::u32string text;          // the run with its context on both sides
    std::uint32_t contextBefore = 0;
    std::uint32_t contextAfter = 0;
    std::uint32_t direction = 0;  // hb_direction_t
    std::uint32_t script = 0;     // hb_script_t
    std::string language;
    std::string features;         // the feature settings, as text

    friend bool operator==(const ShapeKey&, const ShapeKey&) = default;
};

struct ShapeKeyHash {
    std::size_t operator()(const ShapeKey& key) const;
};

class CShapeCache {
public:
    // The glyphs cached for the key, or null; a hit becomes the most recent.
    const std::vector<ShapedGlyph>* Find(const ShapeKey& key);
    // Keeps the result unless the run is too long to be worth keeping.
    void Insert(const ShapeKey& key, std::vector<ShapedGlyph> glyphs);
    void Clear();

    std::size_t Size() const { return entries_.size(); }
    std::size_t Hits() const { return hits_; }
    std::size_t Misses() const { return misses_; }

private:
    struct Entry {
        ShapeKey key;
        std::vector<ShapedGlyph> glyphs;
    };
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<ShapeKey, std::list<Entry>::iterator, ShapeKeyHash> index_;
    std::size_t hits_ = 0;
    std::size_t misses_ = 0;
};

}  // namespace svg
