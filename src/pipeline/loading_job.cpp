#include "pipeline/loading_job.h"

#include "model/messages.h"
#include "model/references.h"

namespace svg {

CLoadingJob::~CLoadingJob()
{
    Stop();
    JoinReaper();
}

void CLoadingJob::Join()
{
    if (thread_.joinable())
        thread_.join();
}

void CLoadingJob::JoinReaper()
{
    if (reaper_.joinable())
        reaper_.join();
}

void CLoadingJob::Stop()
{
    if (thread_.joinable()) {
        // Every loop of a load tests the token, so the join is prompt; waiting
        // for it (rather than giving up after a time-out) is what makes
        // deleting the documents afterwards safe.
        run_->stop.RequestStop();
        Join();
    }
    if (state_ == DocumentState::Loading)
        state_ = DocumentState::Idle;
}

const CElem* CLoadingJob::FollowReference(const CElem& from, std::string_view reference)
{
    if (Running() || !run_ || run_->load->Main() == nullptr)
        return nullptr;
    return FindReference(from, reference, run_->load->Context());
}

void CLoadingJob::Close()
{
    Stop();
    state_ = DocumentState::Idle;
    // No thread uses the old load any more. One reaper at a time bounds the
    // memory held.
    JoinReaper();
    if (run_)
        reaper_ = std::thread([run = std::move(run_)]() mutable { run.reset(); });
}

void CLoadingJob::Wait() { Join(); }

void CLoadingJob::Start(std::string path, CDocOptions options, Completion completion)
{
    Close();
    log_.Reset();
    run_ = std::make_unique<Run>(log_, std::move(options));
    running_ = true;
    state_ = DocumentState::Loading;
    thread_ = std::thread(&CLoadingJob::Body, this, std::ref(*run_), std::move(path), std::move(completion));
}

void CLoadingJob::Body(Run& run, std::string path, Completion completion)
{
    const CElemDocument* document = run.load->LoadFile(path);
    if (document != nullptr)
        run.picture = run.load->Record();

    if (run.stop.StopRequested()) {
        state_ = DocumentState::Idle;
        log_.Report(msg::kOpeningAborted);
    } else {
        state_ = document != nullptr ? DocumentState::Loaded : DocumentState::Idle;
        if (completion)
            completion(document);
    }
    running_ = false;
}

}  // namespace svg
