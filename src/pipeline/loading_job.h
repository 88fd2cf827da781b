// The loading thread: one load at a time on a worker thread, with a stop
// token to interrupt it and a completion callback. Starting a load stops and
// joins the previous one first; a load's documents and picture are only
// deleted once no thread can still use them, and then on a thread of their
// own, because freeing a tree of a million elements takes noticeable time
// and the caller is usually the user interface.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
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
    explicit CLoadingJob(CMessageLog& log) : log_(log) {}
    ~CLoadingJob();
    CLoadingJob(const CLoadingJob&) = delete;
    CLoadingJob& operator=(const CLoadingJob&) = delete;

    // Stops any running load, deletes what the last one loaded, empties the
    // log, then starts loading `path` on a new thread.
    void Start(std::string path, CDocOptions options, Completion completion = {});
    // Stops the running load and waits for its thread to end. A load that
    // had completed keeps its documents.
    void Stop();
    // Stop, then delete what the last load made.
    void Close();
    // Waits for the running load to end by itself.
    void Wait();

    DocumentState State() const { return state_.load(); }
    bool Running() const { return running_.load(); }
    // The last load, with its documents; null before the first Start and
    // after Close. Read its documents only while no load runs.
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

private:
    // One load and what it made. The stop token outlives the load, which
    // refers to it.
    struct Run {
        Run(CMessageLog& log, CDocOptions options) : load(std::make_unique<CDocumentLoad>(log, stop, std::move(options))) {}
        CStopToken stop;
        std::unique_ptr<CDocumentLoad> load;
        std::unique_ptr<CPicture> picture;
    };

    void Body(Run& run, std::string path, Completion completion);
    void Join();
    void JoinReaper();

    CMessageLog& log_;
    std::unique_ptr<Run> run_;
    std::thread thread_;
    // Frees the documents and picture of the previous load.
    std::thread reaper_;
    std::atomic<DocumentState> state_{DocumentState::Idle};
    std::atomic<bool> running_{false};
};

}  // namespace svg
