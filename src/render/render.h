// The per-element render entry, object bounds, and the document pass that
// renders a whole document once into a vector recording.
#pragma once

#include <cairo.h>

#include <memory>
#include <optional>

#include "model/document.h"
#include "render/canvas.h"

namespace svg {

// Renders one element: display and conditions, clip, transform, viewport,
// then the element's Draw (through a group when it fades with opacity).
void Render(CElem& elem, CCanvas& canvas, const RenderArgs& args);

// The element's user space mapped into its parent's (viewBox, then
// transform), and into the root's parent space through every ancestor: the
// space the document's picture is recorded in.
Matrix LocalToParent(const CElem& elem);
Matrix ElementToRoot(const CElem& elem);

// Computes elem.bboxUser and elem.bboxParent for the element and its subtree
// (once; later calls return at once).
void ComputeBounds(CElem& elem);

// A document rendered once: a cairo recording surface in the root's user
// units (CSS pixels at 96 dpi for a root without viewBox scaling), replayed
// at any scale by views and exporters.
class CPicture {
public:
    CPicture() = default;
    explicit CPicture(cairo_surface_t* recording, RectF frame);
    ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    bool Empty() const { return recording_ == nullptr; }
    cairo_surface_t* Recording() const { return recording_; }
    // The root viewport: the area the picture is meant to be seen in.
    const RectF& Frame() const { return frame_; }

    // Paints the picture onto `cr` with `userToDevice` mapping the picture's
    // units onto cr's current user space.
    void Replay(cairo_t* cr, const Matrix& userToDevice) const;

private:
    cairo_surface_t* recording_ = nullptr;
    RectF frame_;
};

// The document pass. `deviceScale` tells off-screen effects the resolution
// the picture will be shown at (1 for 96 dpi, 1:1).
std::unique_ptr<CPicture> RecordDocument(CElemDocument& document, double deviceScale = 1);

}  // namespace svg
