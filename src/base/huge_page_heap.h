// Puts the process's heap on transparent huge pages. A big document's
// element tree is hundreds of thousands of small allocations spread over
// hundreds of megabytes; on 4 KB pages, loading and drawing it spend about a
// quarter of their time in page faults and TLB misses (a quarter of the
// time of ordinary documents too). glibc advises the kernel to back its
// heap with huge pages when its tunable glibc.malloc.hugetlb is 1, but it
// reads tunables only when a process starts: hence one exec of the same
// program with the same arguments, before anything else has happened.
//
// Picture-sized intermediate surfaces (groups, masks, filter bitmaps of a
// large output) are tens of megabytes each, drawn and freed again and
// again. glibc maps blocks above 32 MB afresh each time and unmaps them on
// free, so every use faults in and zeroes every page again: a 3000-pixel
// drawing of a filter-heavy document spent nine tenths of its 20 seconds in
// page faults. KeepLargeBlocksInHeap keeps such blocks in the heap, to be
// reused, and lets some of it stay free at its top.
#pragma once

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <unistd.h>

namespace svg {

// Call first thing in main. Returns at once where the tunable is already
// set (to anything: the user's choice stands, and the new process returns
// here) or where the kernel never gives huge pages; otherwise the process
// is replaced, or goes on as it was if the exec fails.
inline void StartWithHugePageHeap(char** argv)
{
#if defined(__linux__) && defined(__GLIBC__)
    constexpr const char* kName = "glibc.malloc.hugetlb";
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables != nullptr && std::strstr(tunables, kName) != nullptr)
        return;
    std::string mode;
    std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), mode);
    if (mode.empty() || mode.find("[never]") != std::string::npos)
        return;
    std::string value = std::string(kName) + "=1";
    if (tunables != nullptr && *tunables != '\0')
        value = std::string(tunables) + ':' + value;
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) == 0)
        execv("/proc/self/exe", argv);
#else
    (void)argv;
#endif
}

// Call early in main, in every process that draws. `keptFreeBytes` may stay
// free at the top of the heap: the surfaces bigger than that are given back
// and faulted in again at each use. A process that ends after one drawing
// can keep them all; one that lives on keeps less.
inline void KeepLargeBlocksInHeap(int keptFreeBytes)
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, keptFreeBytes);
#else
    (void)keptFreeBytes;
#endif
}

}  // namespace svg
