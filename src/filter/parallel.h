// Splits a primitive's rows (or column bands) over worker threads. The body
// is called once per thread with a contiguous range [begin, end) of items;
// the calling thread runs the first range itself, so one thread means no
// thread at all. Each item must be computed independently of the others, so
// the pixels never depend on the number of threads. A thread that cannot be
// started is replaced by running its range on the calling thread.
#pragma once

#include <cstddef>
#include <functional>

namespace svg {

// How many threads a job of `pixelWork` simple pixel operations deserves:
// `requested` (0: the machine's cores, at most 8), or 1 when the job is too
// small to pay for starting a thread.
unsigned FilterThreadCount(unsigned requested, std::size_t pixelWork);

// False when a body threw (out of memory): its work is then incomplete.
bool ParallelFor(int itemCount, unsigned threadCount, const std::function<void(int begin, int end)>& body);

}  // namespace svg
