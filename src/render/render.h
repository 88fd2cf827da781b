// Drawing a prepared tree: the per-element render entry and the dispatch to
// each element class's drawing, outline bounds and hit testing; object
// bounds; and the document pass that renders a whole document once into a
// vector recording, or for a big document into nothing but its messages.
// Everything here reads the tree and changes nothing in it: any number of
// threads may draw one tree at once, each with a pass of its own
// (render_pass.h).
#pragma once

#include <cairo.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "model/document.h"
#include "render/canvas.h"
#include "render/render_pass.h"

namespace svg {

// Renders one element: display and conditions, clip, transform, viewport,
// then the element's own drawing (through a group when it fades with
// opacity, through its effects when it has a mask or filter).
void Render(const CElem& elem, CCanvas& canvas, const RenderArgs& args);
// Render in the element's own user space: without its transform; an element
// with a viewBox draws its content in the viewBox's coordinates, without
// the viewport's clip and effects. For drawing an element on its own.
void RenderInOwnSpace(const CElem& elem, CCanvas& canvas, const RenderArgs& args);

// The element's own drawing as its clip, mask, filter and opacity wrap it:
// on a canvas in its user space (after its transform), clipped to its
// viewport and mapped through its viewBox when it has them.
void DrawInViewport(const CElem& elem, CCanvas& canvas, const RenderArgs& args);

// Tight bounds of the element's own geometry mapped by `toSpace` (not its
// children's); null when it has none.
std::optional<RectF> OutlineBounds(const CElem& elem, const Matrix& toSpace);

// The element under (x, y), given in the parent's user space of `elem`;
// null when the point misses it and everything under it.
const CElem* HitTest(const CElem& elem, double x, double y, CRenderPass& pass);

// The element's user space mapped into its parent's (viewBox, then
// transform), and into the root's parent space through every ancestor: the
// space the document's picture is recorded in.
Matrix LocalToParent(const CElem& elem);
Matrix ElementToRoot(const CElem& elem);

// A document rendered once: a cairo recording surface in the root's user
// units (CSS pixels at 96 dpi for a root without viewBox scaling), replayed
// at any scale by views and exporters; or, for a document too big to keep a
// recording of (a few kilobytes a drawn element), no recording at all: each
// replay then draws the document straight onto its target. Filters and
// masks are recorded as bitmaps made for the device transform the picture
// was recorded for; a picture that holds them keeps the (prepared,
// read-only) document it was drawn from, so that it can be drawn again,
// sharp, at another scale.
class CPicture {
public:
    CPicture() = default;
    // `recordedToDevice` maps the recording's units to the device pixels its
    // raster effects were made for; `document` is the tree it was drawn
    // from, which must outlive the picture (null: never redrawn).
    CPicture(cairo_surface_t* recording, RectF frame, const CElemDocument* document = nullptr,
             const Matrix& recordedToDevice = {}, bool rasterEffects = false);
    // Draws a picture's content onto `canvas` (its ctm set) with `pass`.
    using DrawContent = std::function<void(CCanvas& canvas, CRenderPass& pass)>;
    // A picture without a recording: `draw` draws it at each replay, from a
    // tree that must outlive the picture. `recordedToDevice` is the device
    // that raster effects are computed for on a vector target, as if they
    // had been recorded.
    CPicture(DrawContent draw, RectF frame, const Matrix& recordedToDevice, bool rasterEffects);
    // The same picture framed by `frame`: the same recording, or the same drawing.
    std::unique_ptr<CPicture> Reframed(RectF frame) const;
    ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    bool Empty() const { return recording_ == nullptr && !draw_; }
    // Null for a picture drawn at each replay.
    cairo_surface_t* Recording() const { return recording_; }
    // Each replay draws the document: there is no recording.
    bool DrawnAtReplay() const { return static_cast<bool>(draw_); }
    // The root viewport: the area the picture is meant to be seen in.
    const RectF& Frame() const { return frame_; }
    // Filters or masks were drawn into the recording as bitmaps.
    bool HasRasterEffects() const { return rasterEffects_; }

    // Paints the picture onto `cr` with `userToDevice` mapping the picture's
    // units onto cr's current user space. On a raster target whose pixels
    // the recording's bitmaps do not fall on one to one (another zoom, a
    // fraction of a pixel aside), a picture with raster effects draws its
    // document again instead, computing them for the target's pixels. A
    // drawing of the document ends early, unfinished, once `stop` is requested.
    void Replay(cairo_t* cr, const Matrix& userToDevice, const CStopToken& stop = CStopToken::Never()) const;

private:
    bool RedrawsFor(cairo_t* cr) const;
    // Draws the document onto cr's current user space, reporting nothing and
    // skipping what the clip hides.
    void Redraw(cairo_t* cr, const CStopToken& stop) const;

    cairo_surface_t* recording_ = nullptr;
    RectF frame_;
    const CElemDocument* document_ = nullptr;
    Matrix recordedToDevice_;
    bool rasterEffects_ = false;
    DrawContent draw_;
};

// A document drawing more elements than this is not recorded: its recording
// would take more memory than the tree, and a tile would replay all of it.
inline constexpr std::size_t kMaxRecordedElements = 20000;

// The elements that draw something of their own (shapes, text, images),
// counted up to `limit` and no further: a cheap measure once prepared.
std::size_t CountDrawnElements(const CElem& root, std::size_t limit);

// Whether the picture of `root` and its descendants (a document, or an
// element's preview) is worth a recording (see kMaxRecordedElements).
bool KeepsRecording(const CElem& root);

// The document pass: draws `document` into a new recording.
// `recordedToDevice` tells off-screen effects the device the picture will be
// shown on (the identity for 96 dpi, 1:1): they are computed in its pixels.
std::unique_ptr<CPicture> RecordDocument(const CElemDocument& document, CRenderPass& pass,
                                         const Matrix& recordedToDevice);
std::unique_ptr<CPicture> RecordDocument(const CElemDocument& document, CRenderPass& pass, double deviceScale = 1);

// The document pass for what it reports and records only: drawn into a
// recording whose commands are dropped as it goes, so that every effect is
// computed as for RecordDocument and reports the same, while nothing is kept.
// Returns the picture that draws the document at each replay.
std::unique_ptr<CPicture> PassDocument(const CElemDocument& document, CRenderPass& pass,
                                       const Matrix& recordedToDevice);

// The document pass drawn straight onto `cr`, with no recording: for a
// raster target drawn once, where a recording would only be replayed once
// at the same transform. `userToDevice` maps the document's units onto cr's
// current user space, and cr's device pixels are the ones raster effects are
// computed for. cr's state is left as it came.
void DrawDocument(const CElemDocument& document, cairo_t* cr, CRenderPass& pass, const Matrix& userToDevice);

// DrawDocument for a drawing whose messages another pass reports (before it
// or beside it, on another thread): nothing is reported and what cr's clip
// hides is skipped.
void DrawDocumentUnreported(const CElemDocument& document, cairo_t* cr, const Matrix& userToDevice,
                            const CStopToken& stop = CStopToken::Never());

}  // namespace svg
