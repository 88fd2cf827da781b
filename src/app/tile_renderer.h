// Renders the main view's tiles on a worker thread of its own, so that the
// interface thread only draws finished images. The view schedules the tiles
// it lacks; each new schedule replaces the queue (tiles scrolled away are not
// rendered), and a new generation (another scale or picture) stops the batch
// in work through its own stop token. Finished tiles arrive through
// tileRendered() on the interface thread, tagged with the generation they
// were rendered for.
//
// A picture with filters or masks is drawn again at each scale, at a high
// cost per replay whatever its size: it is rendered in blocks of 2 x 2 tiles.
//
// Replaying a cairo recording is not safe from two threads at once (the
// recording builds its index on first use), so one worker replays tiles one
// after the other, each into its own image and cairo context. The picture
// must stay alive until CancelAndWait() has returned. All methods are for the
// interface thread.
#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/tile_cache.h"

namespace svg {
class CPicture;
class CStopToken;
}  // namespace svg

namespace vexo {

class CTileRenderer : public QObject {
    Q_OBJECT
public:
    explicit CTileRenderer(QObject* parent = nullptr);
    ~CTileRenderer() override;  // stops the worker and waits for it

    // Replaces the queue with `keys` of `picture` at `scale` (picture pixels
    // per user unit) for `generation`. The tile in work is finished unless
    // the generation changed.
    void Schedule(const svg::CPicture* picture, float scale, std::uint64_t generation, std::vector<TileKey> keys);
    // Empties the queue and waits until the worker holds no tile: the
    // picture may be deleted afterwards.
    void CancelAndWait();
    // Nothing queued or in work (results may still be on their way).
    bool Idle() const;
    // Blocks the worker's replays while the lock is held (after the tile in
    // work), for other replays of the same picture on this thread.
    std::unique_lock<std::mutex> HoldReplays() { return std::unique_lock<std::mutex>(replayMutex_); }
    // Replays delivered since the start (one per tile, or per block of tiles
    // for a picture with filters or masks), for tests and benchmarks; a
    // replay stopped by a new scale or picture does not count.
    int TilesRendered() const;

signals:
    void tileRendered(quint64 generation, vexo::TileKey key, QImage image);

private:
    void Run();

    mutable std::mutex mutex_;
    // Held by the worker while it replays a tile; never with mutex_ held.
    std::mutex replayMutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<TileKey> queue_;
    const svg::CPicture* picture_ = nullptr;
    float scale_ = 1;
    std::uint64_t generation_ = 0;
    std::shared_ptr<svg::CStopToken> stop_;
    bool busy_ = false;
    // The tiles (in tile units) of the replay in work.
    QRect inWork_;
    bool quit_ = false;
    int rendered_ = 0;
    std::thread worker_;
};

}  // namespace vexo
