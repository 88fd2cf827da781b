// The loading thread: one load at a time on a worker thread, with the stop
// flags to interrupt it and a completion callback. Starting a load stops and
// joins the previous one first; documents are only deleted once no thread
// can still use them.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "model/document.h"
#include "render/render.h"

namespace svg {

enum class DocumentState : int { Idle = 0, Loading = 1, Loaded = 2 };

class LoadingJob {
public:
    // Called on the loading thread when a load ends without being stopped;
    // `document` is null when the load failed. A user interface posts it on
    // to its own thread.
    using Completion = std::function<void(CElemDocument* document)>;

    LoadingJob() = default;
    ~LoadingJob();
    LoadingJob(const LoadingJob&) = delete;
    LoadingJob& operator=(const LoadingJob&) = delete;

    // Stops any running load, deletes every loaded document, empties the
    // message log, then starts loading `path` on a new thread.
    void Start(std::string path, CDocOptions options, Completion completion = {});
    // Sets both stop flags and waits for the thread to end. Loaded documents stay.
    void Stop();
    // Stop, then delete every loaded document and the picture. The deleting
    // happens on a thread of its own: a tree of a million elements takes a
    // noticeable time to free, and the caller is usually the user interface.
    void Close();
    // Waits for the running load to end by itself.
    void Wait();

    DocumentState State() const { return state_.load(); }
    bool Running() const { return running_.load(); }
    // The document rendered once, for the views to replay; null until a load
    // has completed. Owned by the job; read it only while no load runs.
    const CPicture* Picture() const { return picture_.get(); }

private:
    void Body(std::string path, CDocOptions options, Completion completion);
    void Join();
    void JoinReaper();

    std::thread thread_;
    // Frees the documents and picture of the previous load.
    std::thread reaper_;
    std::unique_ptr<CPicture> picture_;
    std::atomic<DocumentState> state_{DocumentState::Idle};
    std::atomic<bool> running_{false};
};

}  // namespace svg
