#include "app/tile_cache.h"

#include <algorithm>
#include <cmath>

namespace vexo {
namespace {

// Floor division: tile -1 covers pixels -256 ... -1.
int TileIndex(int px) { return int(std::floor(double(px) / CTileCache::kTileSizePx)); }

// Squared distance in tiles from the tile to the tile at the centre of `area`.
long long DistanceSquared(TileKey key, const QRect& areaPx)
{
    const QPoint centre = areaPx.center();
    const long long dx = key.column - TileIndex(centre.x());
    const long long dy = key.row - TileIndex(centre.y());
    return dx * dx + dy * dy;
}

}  // namespace

QRect CTileCache::TileRect(TileKey key)
{
    return {key.column * kTileSizePx, key.row * kTileSizePx, kTileSizePx, kTileSizePx};
}

std::vector<TileKey> CTileCache::Covering(const QRect& areaPx)
{
    std::vector<TileKey> keys;
    if (areaPx.isEmpty())
        return keys;
    for (int row = TileIndex(areaPx.top()); row <= TileIndex(areaPx.bottom()); ++row)
        for (int column = TileIndex(areaPx.left()); column <= TileIndex(areaPx.right()); ++column)
            keys.push_back({column, row});
    std::stable_sort(keys.begin(), keys.end(), [&areaPx](TileKey a, TileKey b) {
        return DistanceSquared(a, areaPx) < DistanceSquared(b, areaPx);
    });
    return keys;
}

std::uint64_t CTileCache::Reset(float scale)
{
    tiles_.clear();
    scale_ = scale;
    return ++generation_;
}

bool CTileCache::Insert(std::uint64_t generation, TileKey key, QImage image)
{
    if (generation != generation_)
        return false;
    tiles_[key] = std::move(image);
    return true;
}

const QImage* CTileCache::Find(TileKey key) const
{
    const auto found = tiles_.find(key);
    return found != tiles_.end() ? &found->second : nullptr;
}

std::vector<TileKey> CTileCache::Missing(const QRect& areaPx) const
{
    std::vector<TileKey> keys = Covering(areaPx);
    std::erase_if(keys, [this](TileKey key) { return tiles_.contains(key); });
    return keys;
}

void CTileCache::Trim(const QRect& areaPx, std::size_t maxTiles)
{
    if (tiles_.size() <= maxTiles)
        return;
    std::vector<TileKey> farthestFirst;
    for (const auto& [key, image] : tiles_)
        if (!TileRect(key).intersects(areaPx))
            farthestFirst.push_back(key);
    std::sort(farthestFirst.begin(), farthestFirst.end(), [&areaPx](TileKey a, TileKey b) {
        return DistanceSquared(a, areaPx) > DistanceSquared(b, areaPx);
    });
    for (const TileKey key : farthestFirst) {
        if (tiles_.size() <= maxTiles)
            break;
        tiles_.erase(key);
    }
}

}  // namespace vexo
