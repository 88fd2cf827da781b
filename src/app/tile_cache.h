// The main view's rendered tiles: square images of the picture at one zoom
// scale, on a grid fixed to the picture (tile (c, r) covers picture pixels
// c * kTileSizePx ... (c + 1) * kTileSizePx across, where a picture pixel is a
// user unit times the scale, before the view's pan offset is added). Panning
// moves the grid and keeps every tile; a new scale drops them all and starts
// a new generation, so that tiles rendered for an older scale are refused
// when they arrive. Owned and used by the interface thread only.
#pragma once

#include <QImage>
#include <QRect>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace vexo {

struct TileKey {
    int column = 0;
    int row = 0;
    auto operator<=>(const TileKey&) const = default;
};

class CTileCache {
public:
    static constexpr int kTileSizePx = 256;

    // The picture pixels tile `key` covers.
    static QRect TileRect(TileKey key);
    // The tiles that meet `areaPx` (picture pixels), nearest the area's
    // centre first, so that the middle of the view arrives first. None for an
    // empty area.
    static std::vector<TileKey> Covering(const QRect& areaPx);

    // Drops every tile and starts a new generation for `scale`; returns it.
    std::uint64_t Reset(float scale);
    float Scale() const { return scale_; }
    std::uint64_t Generation() const { return generation_; }

    // Keeps a tile rendered for `generation`; false (and nothing kept) when
    // that generation has passed.
    bool Insert(std::uint64_t generation, TileKey key, QImage image);
    // The tile, or null when it has not arrived.
    const QImage* Find(TileKey key) const;
    // The tiles of Covering(areaPx) not held yet, in the same order.
    std::vector<TileKey> Missing(const QRect& areaPx) const;
    std::size_t Size() const { return tiles_.size(); }
    // Drops the tiles farthest from `areaPx` until at most `maxTiles` remain,
    // never one that meets the area.
    void Trim(const QRect& areaPx, std::size_t maxTiles);

private:
    std::map<TileKey, QImage> tiles_;
    float scale_ = 0;
    std::uint64_t generation_ = 0;
};

}  // namespace vexo
