// enable-background: what containers have drawn so far, for the filters that
// read it as BackgroundImage or BackgroundAlpha. A container with `new`
// starts a background; its descendant containers (accumulate) add to it.
// Each of them keeps, while it draws its children, a recording of the
// children drawn so far (in its drawing's render pass, so the tree stays
// untouched); a filter's BackgroundImage is those recordings, from the
// nearest `new` container inwards, clipped to its region when it names one.
//
// Only containers whose subtree reads the background keep anything
// (CElem::readsBackground): elsewhere enable-background costs nothing.
#pragma once

#include <memory>

#include "filter/rt_bitmap.h"
#include "model/elem.h"
#include "render/canvas.h"
#include "render/render_pass.h"

namespace svg {

// Keeps what one container draws while it is in scope.
class CBackgroundScope {
public:
    // Active when the container's subtree reads the background and it has
    // `new`, or an ancestor keeps a background.
    CBackgroundScope(const CElemContainer& container, CCanvas& canvas, CRenderPass& pass);
    ~CBackgroundScope();
    CBackgroundScope(const CBackgroundScope&) = delete;
    CBackgroundScope& operator=(const CBackgroundScope&) = delete;

    bool Active() const { return active_; }
    // Renders a child onto the canvas and into the container's background.
    void RenderChild(const CElem& child, CCanvas& canvas, const RenderArgs& args);

private:
    CRenderPass& pass_;
    bool active_ = false;
};

// The background behind what is drawn now, over `rect` of a pixel space that
// `deviceToPixel` maps the pass's device pixels into; null when no
// container with `new` encloses it.
std::unique_ptr<CRtBitmap> MakeBackgroundImage(const CRenderPass& pass, const Matrix& deviceToPixel,
                                               const PixelRect& rect);

}  // namespace svg
