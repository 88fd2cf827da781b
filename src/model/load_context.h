// Everything one load shares, handed explicitly to every step of it: where
// messages go, the stop request, the settings, the documents loaded so far
// (main document first), the conditional-processing values met, progress
// counters for a user interface, and two services of the layers above this
// one: loading the documents that references name in other files, and the
// metrics of fonts.
//
// Ownership: the log and the stop token belong to whoever runs the load (the
// viewer, vexo-render, a test) and must outlive the context; the context owns
// the documents. Threads: one load at a time uses a context; the log, the
// stop token, the progress counters and the conditional values may be used
// from other threads too.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/stop_token.h"
#include "model/conditional.h"
#include "model/doc_options.h"
#include "model/document.h"
#include "model/message_log.h"
#include "model/properties.h"

namespace svg {

// Counters read by a progress display while a load runs.
struct LoadProgress {
    std::atomic<int> xmlNodes{0};      // element, text, CDATA and comment nodes parsed
    std::atomic<int> nodesVisited{0};  // parser nodes visited while building
    std::atomic<int> nodesAdded{0};    // nodes added to the element tree
    std::atomic<int> elementsPrepared{0};
    // Filter primitives of the filters being drawn, and those run so far.
    std::atomic<int> primitivesTotal{0};
    std::atomic<int> primitivesDone{0};
};

// Loads a document that a reference names: read, styled, built and prepared,
// once per load (asking again gives the document already loaded). Returns
// null after reporting, or silently when the load was stopped.
class CDocumentSource {
public:
    virtual ~CDocumentSource() = default;
    // `baseDirectory` (may be empty) resolves a relative `path`; `referrer`
    // (may be null) is the element whose reference names it, where messages
    // about the file are located.
    virtual CElemDocument* LoadReferencedDocument(std::string_view path, std::string_view baseDirectory,
                                                  const CElem* referrer) = 0;
    // A document held in memory (a data: URL), known by `name` and shown in
    // messages as `shownName`.
    virtual CElemDocument* LoadDocumentBytes(std::string bytes, const std::string& name,
                                             std::string_view shownName) = 0;
};

// The metrics property resolution needs of a font, in font units.
struct FaceMetrics {
    std::string family;  // the family that was chosen
    float unitsPerEm = 1000;
    float xHeight = 500;
    float capHeight = 700;
};

class CFontMetricsSource {
public:
    virtual ~CFontMetricsSource() = default;
    // The face the first installed family of the CSS family list (generic
    // names included) gives at this weight (100..900) and style; the default
    // face when none is installed.
    virtual FaceMetrics Metrics(std::string_view familyList, int weight, FontStyle style) = 0;
};

class CLoadContext {
public:
    CLoadContext(CMessageLog& log, const CStopToken& stop, CDocOptions options);
    CLoadContext(const CLoadContext&) = delete;
    CLoadContext& operator=(const CLoadContext&) = delete;

    CMessageLog& Log() const { return log_; }
    const CStopToken& Stop() const { return stop_; }
    bool StopRequested() const { return stop_.StopRequested(); }
    const CDocOptions& Options() const { return options_; }
    DocumentList& Documents() { return documents_; }
    const DocumentList& Documents() const { return documents_; }
    CConditionalValues& Conditions() { return conditions_; }
    LoadProgress& Progress() { return progress_; }

    // Both services are set by whoever runs the load before it starts; a
    // context without them loads no other documents and uses default metrics.
    void SetDocumentSource(CDocumentSource* source) { documentSource_ = source; }
    CDocumentSource* DocumentSource() const { return documentSource_; }
    void SetFontMetrics(CFontMetricsSource* fonts) { fontMetrics_ = fonts; }
    CFontMetricsSource* FontMetrics() const { return fontMetrics_; }

    // The folders the load may read files from (model/resource_file.h): the
    // main document's folder, known once the first document of the load is
    // read (the first call sets it, later calls change nothing), and the
    // folders the options add. Canonical, each ending in "/".
    void SetMainDocumentPath(const std::string& fullPath);
    bool HasMainDocumentFolder() const { return !mainFolder_.empty(); }
    const std::vector<std::string>& ReadableFolders() const { return readableFolders_; }
    // Files not read because they lie outside those folders, in the order
    // met, each once; at most limits::kMaxRememberedRefusedFiles. Any thread.
    void NoteRefusedFile(const std::string& fullPath);
    std::vector<std::string> RefusedFiles() const;

    // One shared copy of `text` for every element of the load that resolves
    // the same font family or colour. Loading thread only.
    SharedText ShareText(std::string_view text);
    // `pen`, or an equal one that a recent element of the load already shares.
    std::shared_ptr<const StrokePen> SharePen(StrokePen pen);

private:
    CMessageLog& log_;
    const CStopToken& stop_;
    CDocOptions options_;
    DocumentList documents_;
    CConditionalValues conditions_;
    LoadProgress progress_;
    CDocumentSource* documentSource_ = nullptr;
    CFontMetricsSource* fontMetrics_ = nullptr;
    std::string mainFolder_;
    std::vector<std::string> readableFolders_;
    mutable std::mutex refusedMutex_;
    std::vector<std::string> refusedFiles_;
    std::unordered_map<std::string_view, SharedText> sharedTexts_;
    std::array<std::shared_ptr<const StrokePen>, 8> recentPens_;
    std::size_t nextPen_ = 0;
};

}  // namespace svg
