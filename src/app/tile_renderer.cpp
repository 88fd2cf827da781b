#include "app/tile_renderer.h"

#include <cmath>

#include "app/picture_clipboard.h"
#include "base/stop_token.h"
#include "render/render.h"

namespace vexo {
namespace {

// A picture with filters or masks is drawn again for each replay at another
// scale, and most of that cost is the effects' set-up, whatever the area
// drawn: such pictures are rendered in blocks of this many tiles across and
// down, one replay per block, and cut into tiles.
constexpr int kRasterBlockTiles = 2;

int FloorToMultiple(int value, int step) { return int(std::floor(double(value) / step)) * step; }

// The tiles (in tile units) rendered together with `key`.
QRect BlockOf(TileKey key, int blockTiles)
{
    return {FloorToMultiple(key.column, blockTiles), FloorToMultiple(key.row, blockTiles), blockTiles, blockTiles};
}

bool Contains(const QRect& tiles, TileKey key) { return tiles.contains(key.column, key.row); }

}  // namespace

CTileRenderer::CTileRenderer(QObject* parent)
    : QObject(parent), stop_(std::make_shared<svg::CStopToken>()), worker_([this] { Run(); })
{
    qRegisterMetaType<vexo::TileKey>();
}

CTileRenderer::~CTileRenderer()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        queue_.clear();
        stop_->RequestStop();
    }
    wake_.notify_all();
    worker_.join();
}

void CTileRenderer::Schedule(const svg::CPicture* picture, float scale, std::uint64_t generation,
                             std::vector<TileKey> keys)
{
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_ || picture != picture_) {
            // The batch in work is for another scale or picture: stop it.
            stop_->RequestStop();
            stop_ = std::make_shared<svg::CStopToken>();
        } else if (busy_) {
            // The tiles in work arrive anyway.
            std::erase_if(keys, [this](TileKey key) { return Contains(inWork_, key); });
        }
        picture_ = picture;
        scale_ = scale;
        generation_ = generation;
        queue_.assign(keys.begin(), keys.end());
    }
    wake_.notify_all();
}

void CTileRenderer::CancelAndWait()
{
    std::unique_lock lock(mutex_);
    queue_.clear();
    stop_->RequestStop();
    stop_ = std::make_shared<svg::CStopToken>();
    picture_ = nullptr;
    idle_.wait(lock, [this] { return !busy_; });
}

bool CTileRenderer::Idle() const
{
    std::lock_guard lock(mutex_);
    return queue_.empty() && !busy_;
}

int CTileRenderer::TilesRendered() const
{
    std::lock_guard lock(mutex_);
    return rendered_;
}

void CTileRenderer::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || (!queue_.empty() && picture_ != nullptr); });
        if (quit_)
            return;
        const TileKey key = queue_.front();
        const svg::CPicture* picture = picture_;
        const float scale = scale_;
        const std::uint64_t generation = generation_;
        const std::shared_ptr<svg::CStopToken> stop = stop_;
        const QRect block = BlockOf(key, picture->HasRasterEffects() ? kRasterBlockTiles : 1);
        std::erase_if(queue_, [&block](TileKey queued) { return Contains(block, queued); });
        busy_ = true;
        inWork_ = block;
        lock.unlock();

        // Tile (c, r) shows picture pixels from (c, r) * size: the picture
        // is moved up and left by that much.
        const QRect firstTile = CTileCache::TileRect({block.x(), block.y()});
        const QSize blockSize = firstTile.size() * block.width();
        std::unique_lock replaying(replayMutex_);
        const QImage image =
            ReplayPicture(*picture, blockSize,
                          svg::Matrix{scale, 0, 0, scale, -double(firstTile.x()), -double(firstTile.y())},
                          Qt::transparent, stop.get());
        replaying.unlock();

        lock.lock();
        busy_ = false;
        inWork_ = {};
        if (!stop->StopRequested()) {
            ++rendered_;
            for (int row = block.top(); row <= block.bottom(); ++row)
                for (int column = block.left(); column <= block.right(); ++column) {
                    const TileKey tile{column, row};
                    QImage piece = image.copy(CTileCache::TileRect(tile).translated(-firstTile.topLeft()));
                    QMetaObject::invokeMethod(
                        this,
                        [this, generation, tile, piece = std::move(piece)] {
                            emit tileRendered(generation, tile, piece);
                        },
                        Qt::QueuedConnection);
                }
        }
        idle_.notify_all();
    }
}

}  // namespace vexo
