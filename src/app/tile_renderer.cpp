#include "app/tile_renderer.h"

#include "app/picture_clipboard.h"
#include "base/stop_token.h"
#include "render/render.h"

namespace vexo {

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
            // The tile in work arrives anyway.
            std::erase(keys, inWork_);
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
        queue_.pop_front();
        const svg::CPicture* picture = picture_;
        const float scale = scale_;
        const std::uint64_t generation = generation_;
        const std::shared_ptr<svg::CStopToken> stop = stop_;
        busy_ = true;
        inWork_ = key;
        lock.unlock();

        // Tile (c, r) shows picture pixels from (c, r) * size: the picture
        // is moved up and left by that much.
        const QRect rect = CTileCache::TileRect(key);
        std::unique_lock replaying(replayMutex_);
        QImage image = ReplayPicture(*picture, rect.size(),
                                     svg::Matrix{scale, 0, 0, scale, -double(rect.x()), -double(rect.y())},
                                     Qt::transparent);
        replaying.unlock();

        lock.lock();
        busy_ = false;
        ++rendered_;
        if (!stop->StopRequested())
            QMetaObject::invokeMethod(
                this, [this, generation, key, image = std::move(image)] { emit tileRendered(generation, key, image); },
                Qt::QueuedConnection);
        idle_.notify_all();
    }
}

}  // namespace vexo
