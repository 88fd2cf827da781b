// Turns a file into a prepared element tree: read (and inflate) the file, read
// its XML with source locations and style sheets, build the element tree, size
// and prepare the root, compute object bounds. The same function loads the
// main document and every document an external reference names; loaded
// documents are cached in DocumentList and owned by it. Failures report one
// fatal message and return null; a stop request returns null silently.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "model/document.h"

namespace svg {

// Counters read by the progress display while a load runs.
struct LoadProgress {
    std::atomic<int> xmlNodes{0};      // element, text, CDATA and comment nodes parsed
    std::atomic<int> nodesVisited{0};  // parser nodes visited while building
    std::atomic<int> nodesAdded{0};    // nodes added to the element tree
    std::atomic<int> elementsPrepared{0};

    static LoadProgress& Instance();
    void Reset();
};

// `baseDirectory` (may be empty) resolves a relative `path`; otherwise the
// current directory does.
CElemDocument* LoadDocument(std::string_view path, std::string_view baseDirectory,
                            const CDocOptions& options);

// The same pipeline from bytes already in memory, for the fuzzer and for
// documents that do not come from a file. `fullPath` names the document (its
// directory resolves relative references); `displayPath` is used in messages.
CElemDocument* LoadDocumentFromBytes(std::string bytes, const std::string& fullPath,
                                     std::string_view displayPath, const CDocOptions& options);

// Absolute, lexically normalised form of `path` relative to `baseDirectory`
// (or the current directory when it is empty).
std::string MakeFullPath(std::string_view path, std::string_view baseDirectory);

}  // namespace svg
