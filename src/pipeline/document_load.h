// One load of a document, and the one way into the core for the
// command-line renderer and the viewer: read the file (inflating .svgz),
// read its XML with source locations and apply its style sheets, build the
// element tree, prepare it, compute its bounds, and record the picture. The
// documents that references name are loaded the same way, once each, into
// the same load.
//
// A load owns everything it makes: the documents, the fonts, what the load
// context keeps; they live as long as the load. The message log and the stop
// token belong to the caller and must outlive it. A load runs on one thread;
// once it has returned, its documents are read-only and may be drawn from any
// thread (each drawing with a render pass of its own). Failures report one
// fatal message and return null; a stopped load returns null silently.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "model/load_context.h"
#include "render/prepare.h"
#include "render/render.h"
#include "text/font_context.h"

namespace svg {

class CDocumentLoad final : public CDocumentSource {
public:
    CDocumentLoad(CMessageLog& log, const CStopToken& stop, CDocOptions options);
    ~CDocumentLoad() override;
    CDocumentLoad(const CDocumentLoad&) = delete;
    CDocumentLoad& operator=(const CDocumentLoad&) = delete;

    // The main document from a file; `path` relative to the current
    // directory. The main document's folder is the one its references may
    // read files from (model/resource_file.h).
    CElemDocument* LoadFile(std::string_view path);
    // The main document from bytes already in memory. `fullPath` names it
    // (its directory resolves relative references and is the folder they may
    // read); `shownName` is used in messages.
    CElemDocument* LoadBytes(std::string bytes, const std::string& fullPath, std::string_view shownName);

    // Draws the main document into a new recording (see RecordDocument), then
    // reports the conditional-processing values met. Filter primitives are
    // counted in the load's progress as they run. Null without a document or
    // when stopped.
    std::unique_ptr<CPicture> Record(const Matrix& recordedToDevice);
    std::unique_ptr<CPicture> Record(double deviceScale = 1)
    {
        return Record(Matrix::Scale(deviceScale, deviceScale));
    }

    // The same pass into nothing (see PassDocument): its messages and
    // conditions, and a picture that draws the document at each replay.
    std::unique_ptr<CPicture> Pass(const Matrix& recordedToDevice);
    // Record for a document worth a recording (KeepsRecording), else Pass.
    std::unique_ptr<CPicture> MakePicture(const Matrix& recordedToDevice = {});

    // The same pass drawn straight onto `cr` (see DrawDocument): for a
    // raster output drawn once. False without a document or when stopped.
    bool Draw(cairo_t* cr, const Matrix& userToDevice);
    // Draw onto a raster image: a large one in bands on up to `cores` cores
    // (render/bands.h), cut as its size and its filters make worth it, never
    // as the number of cores would; the pass draws the first band and
    // silent drawings the others. False without a document or when stopped.
    bool DrawInBands(cairo_t* cr, const Matrix& userToDevice, unsigned cores);

    // The main document; null until one has loaded.
    CElemDocument* Main() const { return context_.Documents().Main(); }
    const DocumentList& Documents() const { return context_.Documents(); }
    CLoadContext& Context() { return context_; }
    const CLoadContext& Context() const { return context_; }
    CMessageLog& Log() const { return context_.Log(); }
    // The load's fonts: started only once text or ex units need them.
    const CFontContext& Fonts() const { return fonts_; }

    // CDocumentSource: the documents references name, in the same load.
    CElemDocument* LoadReferencedDocument(std::string_view path, std::string_view baseDirectory,
                                          const CElem* referrer) override;
    CElemDocument* LoadDocumentBytes(std::string bytes, const std::string& name, std::string_view shownName) override;

private:
    CElemDocument* Load(std::string bytes, const std::string& fullPath, std::string_view shownName);
    // Runs `draw` with a pass for the main document that reports to the
    // load's log and counts in its progress, then reports the conditional
    // values met.
    void RunDocumentPass(const std::function<void(CRenderPass&)>& draw);
    // The main document's picture made by `make` in a document pass; null
    // without a document or once stopped.
    using PictureMaker = std::unique_ptr<CPicture> (*)(const CElemDocument&, CRenderPass&, const Matrix&);
    std::unique_ptr<CPicture> PassPicture(PictureMaker make, const Matrix& recordedToDevice);

    CLoadContext context_;
    CFontContext fonts_;
    CPreparer preparer_;
};

}  // namespace svg
