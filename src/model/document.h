// A loaded document: the root `svg` element of a file with the options it was
// loaded with, and DocumentList, the documents of one load (main document
// first, then documents loaded for external references). The list owns its
// documents; it lives in the load's context and goes with it.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/doc_options.h"
#include "model/elem.h"

namespace svg::css {
class CCssFontPool;
}

namespace svg {

class CElemDocument : public CElemContainer {
public:
    CElemDocument(std::string fullPath, CDocOptions options);
    ElemClass Class() const override { return ElemClass::Document; }

    const std::string& Path() const { return path_; }
    const CDocOptions& Options() const { return options_; }
    // The directory of the file, ending in '/'.
    std::string Directory() const;

    // Set when the root has no usable width or height of its own.
    bool noSize = false;

    // The @font-face rules of the document's style sheets.
    std::shared_ptr<css::CCssFontPool> fontFaces;

    // The characters of every `text` element as laid out (white space
    // handled, tref content included), each text followed by a line feed,
    // UTF-8: what Copy puts on the clipboard as plain text.
    std::string textBuffer;

    // Indexes the ids of the tree as built, so references resolve in constant
    // time: a document with many references would otherwise search the whole
    // tree for each. Elements added later (use instances) are not indexed.
    void IndexIds();
    // The first element in document order with this id; `indexed` is false when
    // the tree has not been indexed and must be searched instead.
    CElem* FindIndexedId(std::string_view idValue, bool& indexed) const;

    // What `use` instantiation has spent of this document's budget of cloned
    // elements, and the uses already told that it ran out (by original).
    std::size_t clonedElements = 0;
    std::unordered_set<const CElem*> instanceLimitReported;

private:
    std::string path_;
    CDocOptions options_;
    std::unordered_map<std::string_view, CElem*> idIndex_;
    bool indexed_ = false;
};

// Appended to by the load; read by anyone once the load has ended. The
// operations lock, so a reader may also look while a load still runs.
class DocumentList {
public:
    DocumentList() = default;
    DocumentList(const DocumentList&) = delete;
    DocumentList& operator=(const DocumentList&) = delete;

    // Takes ownership; returns the document.
    CElemDocument* Add(std::unique_ptr<CElemDocument> document);
    CElemDocument* Find(const std::string& fullPath) const;
    std::size_t Size() const;
    CElemDocument* At(std::size_t index) const;
    CElemDocument* Main() const { return At(0); }
    bool Contains(const CElem* root) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<CElemDocument>> documents_;
};

// Element at a source location, searched in every document of the list in
// order; used to turn a located message back into its element.
CElem* FindElementAtLocation(const DocumentList& documents, int line, int column);

}  // namespace svg
