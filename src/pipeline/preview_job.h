// The part view's rendering thread: draws one element of a loaded tree alone
// (render/preview.h) on a thread of its own, with a stop token of its own,
// so that stopping it never touches a load, and a load never stops it.
//
// Starting a drawing tells the one still running to stop and leaves it to
// end on its own thread, so the caller (the user interface) never waits for
// it; finished threads are joined by later calls. Each drawing has a
// generation number; only the newest one's result is kept, handed over
// once through Take. StopAndJoin stops and joins every drawing: the caller
// must call it (or destroy the job) before the tree it draws is freed.
//
// Threads: the member functions belong to one thread (the caller's); the
// completion callback runs on the drawing's thread, after its result is
// stored, and typically posts a notice to the caller's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/stop_token.h"
#include "render/preview.h"

namespace svg {

// What one drawing made. `recording` is null when the element has nothing to
// frame; `images` is set for a filter primitive whose images were kept.
struct PreviewResult {
    std::uint64_t generation = 0;
    std::optional<PreviewRecording> recording;
    std::optional<PrimitiveImages> images;
};

class CPreviewJob {
public:
    using Completion = std::function<void(std::uint64_t generation)>;
    // Runs on the drawing's thread with a finished result, before it is
    // stored: for the caller's own heavy work on it (the result is not
    // shared with any other thread yet), which ends early once `stop` is
    // requested.
    using Finish = std::function<void(const PreviewResult& result, const CStopToken& stop)>;

    CPreviewJob() = default;
    // Stops and joins every drawing.
    ~CPreviewJob();
    CPreviewJob(const CPreviewJob&) = delete;
    CPreviewJob& operator=(const CPreviewJob&) = delete;

    // Starts drawing `elem` (of a prepared tree that stays alive until
    // StopAndJoin) and returns its generation. A drawing still running is
    // told to stop. `done` is called on the drawing's thread when it ends,
    // stopped or not.
    std::uint64_t Start(const CElem& elem, bool axisMode, Completion done = {}, Finish finish = {});
    // Tells the newest drawing to stop; returns at once. Its result is dropped.
    void Cancel();
    // Stops every drawing and waits until their threads have ended.
    void StopAndJoin();

    // The newest drawing runs.
    bool Running() const;
    std::uint64_t Generation() const { return generation_; }
    // The result of `generation` when that is the newest drawing and it has
    // finished without being stopped; null otherwise. Taken once.
    std::unique_ptr<PreviewResult> Take(std::uint64_t generation);

private:
    struct Worker {
        std::uint64_t generation = 0;
        std::unique_ptr<CStopToken> stop;
        std::shared_ptr<std::atomic<bool>> finished;
        std::thread thread;
    };

    void Draw(const CElem& elem, bool axisMode, std::uint64_t generation, const CStopToken& stop,
              const Finish& finish);
    // Joins the threads that have ended; with `keepAtMost`, also waits for
    // the oldest until no more than that many remain.
    void Reap(std::size_t keepAtMost);

    std::vector<Worker> workers_;
    std::uint64_t generation_ = 0;
    mutable std::mutex mutex_;
    // Guarded by mutex_: the newest generation the caller wants, and its result.
    std::uint64_t wanted_ = 0;
    std::unique_ptr<PreviewResult> result_;
};

}  // namespace svg
