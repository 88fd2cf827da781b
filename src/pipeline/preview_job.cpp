#include "pipeline/preview_job.h"

#include "base/limits.h"

namespace svg {

CPreviewJob::~CPreviewJob() { StopAndJoin(); }

std::uint64_t CPreviewJob::Start(const CElem& elem, bool axisMode, Completion done, Finish finish)
{
    Cancel();
    Reap(limits::kMaxStoppingPreviews - 1);
    const std::uint64_t generation = ++generation_;
    {
        const std::lock_guard lock(mutex_);
        wanted_ = generation;
        result_.reset();
    }
    Worker worker;
    worker.generation = generation;
    worker.stop = std::make_unique<CStopToken>();
    worker.finished = std::make_shared<std::atomic<bool>>(false);
    const CStopToken& stop = *worker.stop;
    worker.thread = std::thread([this, &elem, axisMode, generation, &stop, finished = worker.finished,
                                 done = std::move(done), finish = std::move(finish)] {
        Draw(elem, axisMode, generation, stop, finish);
        finished->store(true);
        if (done)
            done(generation);
    });
    workers_.push_back(std::move(worker));
    return generation;
}

void CPreviewJob::Draw(const CElem& elem, bool axisMode, std::uint64_t generation, const CStopToken& stop,
                       const Finish& finish)
{
    auto result = std::make_unique<PreviewResult>();
    result->generation = generation;
    // Nothing is reported: the document's own drawing has said it all.
    CRenderPass pass(nullptr, stop);
    result->recording = RecordPreview(elem, pass, axisMode);
    if (elem.Class() == ElemClass::FilterPrimitive && !stop.StopRequested()) {
        const double scale = result->recording ? result->recording->renderScale : 1;
        result->images = ComputePrimitiveImages(static_cast<const CElemFilterPrimitive&>(elem), pass, scale);
    }
    if (stop.StopRequested())
        return;
    if (finish)
        finish(*result, stop);
    if (stop.StopRequested())
        return;
    const std::lock_guard lock(mutex_);
    if (wanted_ == generation)
        result_ = std::move(result);
}

void CPreviewJob::Cancel()
{
    {
        const std::lock_guard lock(mutex_);
        wanted_ = 0;
        result_.reset();
    }
    for (Worker& worker : workers_)
        worker.stop->RequestStop();
}

void CPreviewJob::StopAndJoin()
{
    Cancel();
    Reap(0);
}

void CPreviewJob::Reap(std::size_t keepAtMost)
{
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->finished->load() || workers_.size() > keepAtMost) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool CPreviewJob::Running() const
{
    for (const Worker& worker : workers_)
        if (worker.generation == generation_)
            return !worker.finished->load();
    return false;
}

std::unique_ptr<PreviewResult> CPreviewJob::Take(std::uint64_t generation)
{
    Reap(limits::kMaxStoppingPreviews);
    const std::lock_guard lock(mutex_);
    if (result_ == nullptr || result_->generation != generation)
        return nullptr;
    return std::move(result_);
}

}  // namespace svg
