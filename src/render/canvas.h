// CCanvas: the one drawing target of the renderer, a cairo context plus its
// own copy of the user-to-device transform (`ctm`). A canvas made on a new
// recording inherits its parent's ctm while recording in the parent's user
// space, which is how off-screen work learns the device resolution.
//
// cairo contexts enter a permanent error state after one invalid call, so the
// canvas validates before calling: singular or non-finite transforms are
// refused (the element then draws nothing, as SVG says), coordinates are
// clamped to cairo's fixed-point range. Save and Restore are strictly nested;
// use CCanvasSaveGuard.
#pragma once

#include <cairo.h>

#include <optional>
#include <vector>

#include "model/properties.h"
#include "values/matrix.h"
#include "values/path_geometry.h"
#include "values/rect.h"

namespace svg {

enum class CanvasPurpose : int {
    Ordinary = 0,    // the document picture, views, print
    Background = 1,  // enable-background accumulation
    Effect = 2,      // off-screen effect pass
    MaskContent = 3,
};

class CRenderPass;

// The render context handed from parent to child. `pass` is the drawing
// this is part of.
struct RenderArgs {
    explicit RenderArgs(CRenderPass& renderPass) : pass(renderPass) {}
    // With the em and ex sizes that the document of `elem` starts from.
    RenderArgs(CRenderPass& renderPass, const CElem& elem);

    CRenderPass& pass;
    std::optional<RectF> inheritedRect;
    float emSize = 15.5f;
    float exSize = 5;
    // Draw elements whose display is none (marker content).
    bool drawHidden = false;
    // The effects pass does not multiply its resolution by pixelScale.
    bool noEffectScale = false;
    // Raster resolution factor for effects; 0 means not given.
    float pixelScaleX = 0;
    float pixelScaleY = 0;
};

class CCanvas {
public:
    // Draws through `cr`, which the canvas references for its lifetime.
    explicit CCanvas(cairo_t* cr, CanvasPurpose purpose = CanvasPurpose::Ordinary);
    // Draws on `surface` through a new context.
    explicit CCanvas(cairo_surface_t* surface, CanvasPurpose purpose = CanvasPurpose::Ordinary);
    ~CCanvas();
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    cairo_t* Cairo() const { return cr_; }
    CanvasPurpose Purpose() const { return purpose_; }
    // False once cairo has failed; drawing then does nothing.
    bool Usable() const;

    // The accumulated user-to-device transform, kept beside cairo's own.
    const Matrix& Ctm() const { return ctm_; }
    // For a canvas on a new recording: the device scale of its parent, with
    // cairo's transform left as it is.
    void InheritCtm(const Matrix& parentCtm) { ctm_ = parentCtm; }
    // Lengths of the images of the unit vectors under ctm.
    double DeviceScaleX() const;
    double DeviceScaleY() const;

    int Save();
    // Restores the state saved by Save() that returned `token`, and any saved after it.
    void Restore(int token);

    // Makes `m` apply to points before the current transform. A singular or
    // non-finite matrix is refused (false) and nothing changes.
    bool MultiplyTransform(const Matrix& m);

    void IntersectClip(const RectF& rect);
    void IntersectClip(const CGraphicsPath& path, FillRule rule);

    // Replaces cairo's current path by `path` (clamped to cairo's range).
    // For a stroke, a curve's control handle shorter than a fraction of a
    // device pixel counts as none, so that caps and joins follow the curve
    // as it shows rather than the direction of an invisible handle.
    enum class PathUse { Fill, Stroke };
    void SetPath(const CGraphicsPath& path, PathUse use = PathUse::Fill);
    void Fill(const CGraphicsPath& path, const Rgba& color);
    void Stroke(const CGraphicsPath& path, const StrokePen& pen);
    void FillRect(const RectF& rect, const Rgba& color);
    // Applies the pen's width, caps, joins, miter limit and dashes to cairo;
    // false when the pen paints nothing (butt-capped dashes all empty).
    bool ApplyPen(const StrokePen& pen);
    // Strokes cairo's current path, set from `path`, with `pen` and the
    // current source, and consumes it.
    void StrokePath(const CGraphicsPath& path, const StrokePen& pen);

    // Intersects the clip with the whole device pixels that `box` (in the
    // current user space) can touch, grown by a pixel for antialiasing and
    // rounding. What draws inside `box` shows as before, and an
    // intermediate surface pushed now covers only those pixels. The pixels
    // are an image's own, or for a recording those that ctm maps to. False
    // when nothing of the box is visible.
    bool ClipToBox(const RectF& box);

    // Group opacity: content drawn between the two calls is composited once
    // with `alpha` (vector, so it stays sharp when a recording is zoomed).
    // The group's surface covers the clip: callers that know what the
    // content can touch clip to it first (ClipToBox) and say so with
    // `clippedToContent`. Otherwise, on an image whose clip cuts whole
    // pixels, the content is recorded first and composited through the
    // device pixels it inks, rounded out, so that the intermediate surface
    // covers what the group draws, not the canvas. Cairo() may then change
    // until EndGroup: take it again after BeginGroup.
    enum class GroupExtent { Clip, Ink };
    void BeginGroup(GroupExtent extent = GroupExtent::Ink);
    void EndGroup(double alpha);

    // A factor (0..1) that Fill and Stroke multiply into their colour's
    // alpha, and EndGroup into the group's: group opacity folded into the
    // paint of a group that draws one solid-colour operation, where it gives
    // the group's pixels without an intermediate surface. 1 unless a caller
    // sets it; callers restore it.
    double PaintAlpha() const { return paintAlpha_; }
    void SetPaintAlpha(double alpha) { paintAlpha_ = alpha; }

    // True when the current clip lets every device pixel through either
    // fully or not at all: no clip, or rectangles on whole pixels (an
    // image's own pixels; for a recording, those that ctm maps to). Only then does a group (whose content and
    // composite are both clipped, so an edge pixel's coverage counts twice)
    // give the same pixels as drawing straight through the clip.
    bool ClipOnWholePixels() const;
    // The device pixels the clip lets through: what an intermediate surface
    // made now would hold. 0 on an unclipped recording, which holds none.
    double ClipPixelArea() const;

private:
    cairo_t* cr_ = nullptr;
    CanvasPurpose purpose_;
    Matrix ctm_;
    std::vector<Matrix> savedCtms_;
    double paintAlpha_ = 1;
    // The groups open, innermost last: the context a group recorded by ink
    // drew on (null for a group pushed the ordinary way), and the paint
    // alpha outside it, which fades the group's composite and not its content.
    struct OpenGroup {
        cairo_t* recordedOn = nullptr;
        double paintAlpha = 1;
    };
    std::vector<OpenGroup> groups_;
};

// Save on construction, Restore on destruction: every return path balances.
class CCanvasSaveGuard {
public:
    explicit CCanvasSaveGuard(CCanvas& canvas) : canvas_(canvas), token_(canvas.Save()) {}
    ~CCanvasSaveGuard() { canvas_.Restore(token_); }
    CCanvasSaveGuard(const CCanvasSaveGuard&) = delete;
    CCanvasSaveGuard& operator=(const CCanvasSaveGuard&) = delete;

private:
    CCanvas& canvas_;
    int token_;
};

// Converts between our matrices and cairo's.
cairo_matrix_t ToCairo(const Matrix& m);
Matrix FromCairo(const cairo_matrix_t& m);

}  // namespace svg
