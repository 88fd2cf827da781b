#include "pipeline/loading_job.h"

#include "model/messages.h"
#include "model/references.h"

namespace svg {

// --- Run -----------------------------------------------------------------------------

CLoadingJob::Run::Run(CMessageLog& shared, CDocOptions options)
    : load(std::make_unique<CDocumentLoad>(log, stop, std::move(options)))
{
    log.SetListener([&shared](const std::string& line) { shared.Add(line); });
}

CLoadingJob::Run::~Run()
{
    if (thread.joinable())
        thread.join();
    // The load goes before the log and the token it refers to.
    picture.reset();
    load.reset();
}

// --- Reaper ----------------------------------------------------------------------------

CLoadingJob::CReaper::~CReaper()
{
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void CLoadingJob::CReaper::Add(std::unique_ptr<Run> run)
{
    {
        std::lock_guard lock(mutex_);
        runs_.push_back(std::move(run));
        if (!thread_.joinable())
            thread_ = std::thread(&CReaper::Work, this);
    }
    changed_.notify_all();
}

void CLoadingJob::CReaper::WaitUntilEmpty()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return runs_.empty() && !busy_; });
}

void CLoadingJob::CReaper::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quitting_ || !runs_.empty(); });
        if (runs_.empty())
            return;  // quitting, and nothing left to free
        std::unique_ptr<Run> run = std::move(runs_.front());
        runs_.pop_front();
        busy_ = true;
        lock.unlock();
        run.reset();  // joins its thread, then frees
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

// --- Job ---------------------------------------------------------------------------------

CLoadingJob::CLoadingJob(CMessageLog& log) : log_(log) {}

CLoadingJob::~CLoadingJob()
{
    Close();
    // The reaper's destructor frees what is left, once its threads end.
}

void CLoadingJob::Stop()
{
    if (!run_ || !run_->running)
        return;
    // Every loop of a load tests the token, so the thread ends soon; the
    // reaper waits for it, not the caller.
    run_->stop.RequestStop();
    run_->log.SetListener({});
    log_.Report(msg::kOpeningAborted);
    reaper_.Add(std::move(run_));
}

void CLoadingJob::Close()
{
    Stop();
    if (run_)
        reaper_.Add(std::move(run_));
}

void CLoadingJob::Wait()
{
    if (run_ && run_->thread.joinable())
        run_->thread.join();
}

void CLoadingJob::WaitForAbandonedLoads() { reaper_.WaitUntilEmpty(); }

const CElem* CLoadingJob::FollowReference(const CElem& from, std::string_view reference)
{
    if (Running() || !run_ || run_->load->Main() == nullptr)
        return nullptr;
    return FindReference(from, reference, run_->load->Context());
}

std::vector<std::string> CLoadingJob::RefusedFiles() const
{
    if (!run_ || run_->running)
        return {};
    return run_->load->Context().RefusedFiles();
}

void CLoadingJob::Start(std::string path, CDocOptions options, Completion completion)
{
    Close();
    log_.Reset();
    run_ = std::make_unique<Run>(log_, std::move(options));
    run_->thread = std::thread(&CLoadingJob::Body, std::ref(*run_), std::move(path), std::move(completion));
}

// Touches nothing but its own run: the job may have moved on to another
// load (or be gone, the run waiting in the reaper) by the time it ends.
void CLoadingJob::Body(Run& run, std::string path, Completion completion)
{
    const CElemDocument* document = run.load->LoadFile(path);
    if (document != nullptr)
        run.picture = run.load->MakePicture();

    if (run.stop.StopRequested()) {
        run.state = DocumentState::Idle;
    } else {
        run.state = document != nullptr ? DocumentState::Loaded : DocumentState::Idle;
        if (completion)
            completion(document);
    }
    run.running = false;
}

}  // namespace svg
