// A loaded document: the root `svg` element of a file with the options it was
// loaded with, and DocumentList, the process-wide list of loaded documents
// (main document first, then documents loaded for external references). The
// list owns its documents; they live until the list is cleared, which the
// user interface does only after the loading thread has ended.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/elem.h"

namespace Xmlpp {
class CCssFontPool;
}

namespace svg {

struct CDocOptions {
    std::string media = "screen";
    std::string language = "ja";
    RectF defaultViewport{0, 0, 800, 600};
    bool alternateFontsEnabled = true;
    std::string alternateFontList = "'Arial','MS UI Gothic'";
    bool rasterEffectsDisabled = false;
    // Carried into every nested load; no rendering step reads it.
    bool noClipTopLevelViewport = false;
    float filterResolutionFactor = 1.5f;
};

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
    std::shared_ptr<Xmlpp::CCssFontPool> fontFaces;

    // Indexes the ids of the tree as built, so references resolve in constant
    // time: a document with many references would otherwise search the whole
    // tree for each. Elements added later (use instances) are not indexed.
    void IndexIds();
    // The first element in document order with this id; `indexed` is false when
    // the tree has not been indexed and must be searched instead.
    CElem* FindIndexedId(std::string_view idValue, bool& indexed) const;

private:
    std::string path_;
    CDocOptions options_;
    std::unordered_map<std::string_view, CElem*> idIndex_;
    bool indexed_ = false;
};

class DocumentList {
public:
    static DocumentList& Instance();

    // Takes ownership; returns the document.
    CElemDocument* Add(std::unique_ptr<CElemDocument> document);
    // Takes the document out of the list; it is deleted with the others by
    // the next Clear or TakeAll. A load that was stopped discards its
    // document this way, so that the thread waiting for the stop does not
    // also wait for a big tree to be freed.
    void Discard(const CElemDocument* document);
    // Deletes every document.
    void Clear();
    // Removes every document from the list, discarded ones included, and
    // hands them over.
    std::vector<std::unique_ptr<CElemDocument>> TakeAll();

    CElemDocument* Find(const std::string& fullPath) const;
    std::size_t Size() const;
    CElemDocument* At(std::size_t index) const;
    CElemDocument* Main() const { return At(0); }

private:
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<CElemDocument>> documents_;
    std::vector<std::unique_ptr<CElemDocument>> discarded_;
};

}  // namespace svg
