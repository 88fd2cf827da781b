// The loading thread: one load at a time on a worker thread, with a stop
// token to interrupt it and a completion callback.
//
// Stopping never waits for the loading thread. A stopped load is abandoned:
// its token is set, its messages stop reaching the log, and it is handed to
// a reaper thread of the job's own, which waits for the loading thread to
// notice the token (every loop of a load tests it) and then frees what the
// load made. So Stop, Close and Start return at once whatever the document
// does, and nothing a load made is deleted while its thread may use it.
// Loads that completed are freed by the reaper too, because freeing a tree
// of a million elements takes noticeable time and the caller is usually the
// user interface.
//
// Threads: Start, Stop, Close, Wait, FollowReference and the accessors are
// called from one thread (the user interface's); the completion callback
// runs on the loading thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/stop_token.h"
#include "pipeline/document_load.h"

namespace svg {

enum class DocumentState : int { Idle = 0, Loading = 1, Loaded = 2 };

class CLoadingJob {
public:
    // Called on the loading thread when a load ends without being stopped;
    // `document` is null when the load failed. A user interface posts it on
    // to its own thread.
    using Completion = std::function<void(const CElemDocument* document)>;

    // Every load reports to `log`, which is emptied when a load starts.
    explicit CLoadingJob(CMessageLog& log);
    // Stops the running load and waits until every load's thread has ended
    // and what they made is freed.
    ~CLoadingJob();
    CLoadingJob(const CLoadingJob&) = delete;
    CLoadingJob& operator=(const CLoadingJob&) = delete;

    // Stops any running load, hands what the last one loaded to the reaper,
    // empties the log, then starts loading `path` on a new thread.
    void Start(std::string path, CDocOptions options, Completion completion = {});
    // Stops the running load and abandons it ("I Opening SVG ... aborted!"
    // goes to the log): Load() and Picture() are null afterwards. A load that
    // had completed keeps its documents. Returns at once.
    void Stop();
    // Stop, then let go of what the last load made. Returns at once.
    void Close();
    // Waits for the running load to end by itself.
    void Wait();

    DocumentState State() const { return run_ ? run_->state.load() : DocumentState::Idle; }
    bool Running() const { return run_ && run_->running.load(); }
    // The last load, with its documents; null before the first Start, after
    // Close and after a load was stopped. Read its documents only while no
    // load runs.
    const CDocumentLoad* Load() const { return run_ ? run_->load.get() : nullptr; }
    // Resolves `reference` from `from`, an element of the last load, as the
    // load itself would: a document it names that no load has read yet is
    // loaded and prepared into the last load, and stays there. Null while a
    // load runs, before the first, or when nothing is found. The caller's
    // thread does the work; it must be the one that reads the documents.
    const CElem* FollowReference(const CElem& from, std::string_view reference);
    // Its progress counters, which may be read while it runs.
    const LoadProgress* Progress() const { return run_ ? &run_->load->Context().Progress() : nullptr; }
    // The document rendered once, for the views to replay; null until a load
    // has completed. Read it only while no load runs.
    const CPicture* Picture() const { return run_ ? run_->picture.get() : nullptr; }
    // Files the last load did not read because they lie outside the folders
    // it may read from (model/resource_file.h); empty while a load runs.
    std::vector<std::string> RefusedFiles() const;

    // Waits until the reaper has freed every load handed to it (all their
    // threads have ended); for tests and orderly shutdown.
    void WaitForAbandonedLoads();

private:
    // One load and what it made. Its log passes each message on to the
    // job's log until the load is abandoned; the log and the stop token
    // outlive the load, which refers to them.
    struct Run {
        Run(CMessageLog& shared, CDocOptions options);
        ~Run();
        CMessageLog log;
        CStopToken stop;
        std::unique_ptr<CDocumentLoad> load;
        std::unique_ptr<CPicture> picture;
        std::atomic<DocumentState> state{DocumentState::Loading};
        std::atomic<bool> running{true};
        std::thread thread;
    };

    // Frees runs on a thread of its own, in the order given, each once its
    // loading thread has ended.
    class CReaper {
    public:
        ~CReaper();
        void Add(std::unique_ptr<Run> run);
        void WaitUntilEmpty();

    private:
        void Work();
        std::mutex mutex_;
        std::condition_variable changed_;
        std::deque<std::unique_ptr<Run>> runs_;
        bool busy_ = false;
        bool quitting_ = false;
        std::thread thread_;
    };

    static void Body(Run& run, std::string path, Completion completion);

    CMessageLog& log_;
    std::unique_ptr<Run> run_;
    CReaper reaper_;
};

}  // namespace svg
