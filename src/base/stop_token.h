// A request to stop one job: a load, a render, a part-view picture. The
// thread that owns the job calls RequestStop from any thread; the job's long
// loops (elements, style rules, filter primitives, pixel rows) test
// StopRequested and end early, leaving their work undone. Each job has a
// token of its own, so stopping one never stops another.
#pragma once

#include <atomic>

namespace svg {

class CStopToken {
public:
    CStopToken() = default;
    CStopToken(const CStopToken&) = delete;
    CStopToken& operator=(const CStopToken&) = delete;

    bool StopRequested() const noexcept { return stop_.load(std::memory_order_relaxed); }
    void RequestStop() noexcept { stop_.store(true, std::memory_order_relaxed); }

    // A token that is never stopped, for work that cannot be interrupted
    // (tests, one-off conversions).
    static const CStopToken& Never()
    {
        static const CStopToken never;
        return never;
    }

private:
    std::atomic<bool> stop_{false};
};

}  // namespace svg
