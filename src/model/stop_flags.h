// The two stop flags of a load. The user-interface thread sets both to stop a
// running load; the loading side tests them between statements, elements,
// primitives and pixel rows, and clears them when a new load starts.
#pragma once

#include <atomic>

namespace svg {

// Tested by the XML reader, the style-sheet parser and selector matching.
extern std::atomic<bool> stopParsing;
// Tested by tree building, preparation, bounds, rendering and the filters.
extern std::atomic<bool> stopLoading;

inline bool StopRequested() { return stopLoading.load(std::memory_order_relaxed); }

inline void RequestStop()
{
    stopParsing.store(true);
    stopLoading.store(true);
}

inline void ClearStopFlags()
{
    stopParsing.store(false);
    stopLoading.store(false);
}

}  // namespace svg
