#include "model/loading_job.h"

#include "model/conditional.h"
#include "model/loader.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "text/font_lookup.h"

namespace svg {

LoadingJob::~LoadingJob()
{
    Stop();
    JoinReaper();
}

void LoadingJob::Join()
{
    if (thread_.joinable())
        thread_.join();
}

void LoadingJob::JoinReaper()
{
    if (reaper_.joinable())
        reaper_.join();
}

void LoadingJob::Stop()
{
    if (thread_.joinable()) {
        // Every loop of a load tests the flags, so the join is prompt; waiting
        // for it (rather than giving up after a time-out) is what makes
        // deleting the documents afterwards safe.
        RequestStop();
        Join();
    }
    if (state_ == DocumentState::Loading)
        state_ = DocumentState::Idle;
}

void LoadingJob::Close()
{
    Stop();
    state_ = DocumentState::Idle;
    // Nothing refers to the old documents any more: they are out of the list
    // and no load runs. One reaper at a time bounds the memory held.
    JoinReaper();
    auto documents = DocumentList::Instance().TakeAll();
    if (documents.empty() && !picture_)
        return;
    reaper_ = std::thread([documents = std::move(documents), picture = std::move(picture_)]() mutable {
        picture.reset();
        documents.clear();
    });
}

void LoadingJob::Wait() { Join(); }

void LoadingJob::Start(std::string path, CDocOptions options, Completion completion)
{
    Close();
    MessageLog::Instance().Reset();
    // A new top-level load is the only place the flags are cleared, so a stop
    // requested during a load is never swallowed by a nested document load.
    ClearStopFlags();
    running_ = true;
    state_ = DocumentState::Loading;
    thread_ = std::thread(&LoadingJob::Body, this, std::move(path), std::move(options), std::move(completion));
}

void LoadingJob::Body(std::string path, CDocOptions options, Completion completion)
{
    LoadProgress::Instance().Reset();
    ConditionalValues::Instance().Reset();

    CElemDocument* document = LoadDocument(path, {}, options);
    if (document != nullptr && !StopRequested()) {
        picture_ = RecordDocument(*document);
        ConditionalValues::Instance().Report();
    }
    SystemFaceMetrics::Instance().Release();

    if (StopRequested()) {
        state_ = DocumentState::Idle;
        ReportMessage("I Opening SVG ... aborted!");
        stopLoading = false;
    } else {
        state_ = document != nullptr ? DocumentState::Loaded : DocumentState::Idle;
        if (completion)
            completion(document);
    }
    running_ = false;
}

}  // namespace svg
