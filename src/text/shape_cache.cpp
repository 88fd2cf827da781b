// The bounded least-recently-used cache of shaping results.
#include "text/shape_cache.h"

#include <functional>
#include <string_view>

#include "base/limits.h"

namespace svg {

std::size_t ShapeKeyHash::operator()(const ShapeKey& key) const
{
    std::size_t hash = std::hash<const void*>{}(key.font);
    const auto mix = [&hash](std::size_t value) { hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2); };
    mix(std::hash<std::u32string_view>{}(key.text));
    mix(key.contextBefore);
    mix(key.contextAfter);
    mix(key.direction);
    mix(key.script);
    mix(std::hash<std::string_view>{}(key.language));
    mix(std::hash<std::string_view>{}(key.features));
    return hash;
}

const std::vector<ShapedGlyph>* CShapeCache::Find(const ShapeKey& key)
{
    const auto found = index_.find(key);
    if (found == index_.end()) {
        ++misses_;
        return nullptr;
    }
    ++hits_;
    entries_.splice(entries_.begin(), entries_, found->second);
    return &found->second->glyphs;
}

void CShapeCache::Insert(const ShapeKey& key, std::vector<ShapedGlyph> glyphs)
{
    if (key.text.size() > limits::kMaxShapeCacheRunChars || index_.count(key) != 0)
        return;
    entries_.push_front({key, std::move(glyphs)});
    index_.emplace(key, entries_.begin());
    while (entries_.size() > limits::kMaxShapeCacheEntries) {
        index_.erase(entries_.back().key);
        entries_.pop_back();
    }
}

void CShapeCache::Clear()
{
    entries_.clear();
    index_.clear();
}

}  // namespace svg
