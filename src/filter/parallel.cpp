#include "filter/parallel.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace svg {

namespace {

// Starting and joining a thread costs tens of microseconds; below this much
// work one thread is faster.
constexpr std::size_t kMinPixelWorkPerThread = std::size_t{1} << 16;
// More threads than this gain nothing for memory-bound pixel loops.
constexpr unsigned kMaxAutomaticThreads = 8;

}  // namespace

unsigned FilterThreadCount(unsigned requested, std::size_t pixelWork)
{
    unsigned count = requested;
    if (count == 0) {
        count = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxAutomaticThreads);
        count = static_cast<unsigned>(std::min<std::size_t>(count, pixelWork / kMinPixelWorkPerThread + 1));
    }
    return std::max(count, 1u);
}

bool ParallelFor(int itemCount, unsigned threadCount, const std::function<void(int begin, int end)>& body)
{
    if (itemCount <= 0)
        return true;
    std::atomic<bool> failed{false};
    const auto guarded = [&](int begin, int end) {
        try {
            body(begin, end);
        } catch (...) {
            failed.store(true);
        }
    };
    const int bands = static_cast<int>(std::min<long long>(std::max(threadCount, 1u), itemCount));
    const auto bandStart = [&](int band) {
        return static_cast<int>(static_cast<long long>(itemCount) * band / bands);
    };
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(bands - 1));
    int inlineFrom = bands;  // bands the calling thread runs after its own
    for (int band = 1; band < bands; ++band) {
        try {
            workers.emplace_back(guarded, bandStart(band), bandStart(band + 1));
        } catch (const std::system_error&) {
            inlineFrom = band;
            break;
        }
    }
    guarded(0, bandStart(1));
    for (int band = inlineFrom; band < bands; ++band)
        guarded(bandStart(band), bandStart(band + 1));
    for (std::thread& worker : workers)
        worker.join();
    return !failed.load();
}

}  // namespace svg
