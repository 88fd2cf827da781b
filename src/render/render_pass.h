// One drawing of a prepared tree (the document's picture, a part view, a
// hit test): where its messages go, its stop request, the conditional
// values it meets, and what its effects have under way. Effects that draw
// other elements (masks, pattern tiles, markers, SVG pictures) note here what
// they are drawing, which is how a reference cycle through them is caught
// and their nesting bounded. The tree itself is read-only while it is drawn;
// everything a drawing changes is in its pass. A pass belongs to one thread.
#pragma once

#include <cairo.h>

#include <cstdarg>
#include <cstddef>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "base/limits.h"
#include "base/stop_token.h"
#include "values/matrix.h"
#include "values/rect.h"

namespace svg {

class CConditionalValues;
class CElem;
class CElemContainer;
class CElemFilter;
class CElemMarker;
class CElemMask;
class CElemPattern;
class CMessageLog;
struct LoadProgress;

class CRenderPass {
public:
    // With `log` null the pass reports nothing (a hit test repeats what a
    // drawing has reported); with `conditions` null it records nothing.
    CRenderPass(CMessageLog* log, const CStopToken& stop, CConditionalValues* conditions = nullptr)
        : log_(log), stop_(stop), conditions_(conditions)
    {
    }
    CRenderPass(const CRenderPass&) = delete;
    CRenderPass& operator=(const CRenderPass&) = delete;

    bool StopRequested() const { return stop_.StopRequested(); }
    const CStopToken& Stop() const { return stop_; }
    // Counters of the load this pass draws for; null when none are kept.
    LoadProgress* Progress() const { return progress_; }
    void SetProgress(LoadProgress* progress) { progress_ = progress; }
    CConditionalValues* Conditions() const { return conditions_; }
    // The pass's log, or null when it reports nothing.
    CMessageLog* Log() const { return log_; }
    // A located message, when the pass reports at all.
    void Report(const CElem& elem, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Tells, once a pass, that `elem` met the bound of open intermediate
    // surfaces; `format` takes the element's name and the bound in MB.
    void ReportLayerLimit(const CElem& elem, const char* format);

    // Masks being rasterised, innermost last, and the pixels that masks
    // nested in the outermost one have rasterised.
    struct MaskState {
        std::vector<const CElemMask*> active;
        std::size_t nestedPixels = 0;
        bool limitReported = false;
    } masks;

    // Patterns whose tiles are being drawn, outermost first, and those whose
    // cycle has been reported.
    struct PatternState {
        std::vector<const CElemPattern*> active;
        std::set<const CElemPattern*> cyclesReported;
    } patterns;

    // Markers whose content is being drawn, outermost first; the summed tree
    // depths of the shapes that placed them; what marker content may still
    // cost; the shapes (with their marker) told of a cycle or of depth.
    struct MarkerState {
        std::vector<const CElemMarker*> active;
        unsigned depth = 0;
        std::size_t costLeft = limits::kMaxMarkerContentCost;
        bool exhaustionReported = false;
        std::set<std::pair<const CElem*, const CElem*>> reported;
    } markers;

    // SVG pictures being drawn inside one another, outermost first.
    std::vector<const CElem*> pictures;

    // Intermediate surfaces cut to what their content can touch, and group
    // opacity folded into paint where that gives the same pixels. Off, every
    // group, mask and clip union covers the whole clip: the plain drawing
    // the shortcuts are checked against.
    bool surfaceShortcuts = true;

    // Elements whose paint box misses the clip are skipped without building
    // anything: for a silent drawing (no log, no conditions) of a picture
    // whose messages a pass before it has reported.
    bool cullUnseen = false;

    // A drawing kept only for what it reports: every so many elements drawn
    // straight onto `target` (the pass's own recording), its commands are
    // dropped, so that the drawing keeps nothing.
    struct DroppedDrawing {
        cairo_surface_t* target = nullptr;
        cairo_t* clearer = nullptr;
        unsigned drawnSinceDrop = 0;
    } dropped;

    // Filters whose primitives are running, outermost first; set once a
    // filter or mask has been drawn (a raster that a zoom would blur).
    struct FilterState {
        std::vector<const CElemFilter*> active;
        bool nestingReported = false;
        bool rasterEffectsDrawn = false;
        // feImage pictures being drawn, and the filters run inside them.
        unsigned picturesDrawing = 0;
        std::size_t runsInPictures = 0;
        bool picturesReported = false;
    } filters;

    // What containers with enable-background have drawn so far, outermost
    // first: each records its children, in the device space of the canvas it
    // draws on, while a descendant may read the background.
    struct BackgroundLayer {
        const CElemContainer* container = nullptr;
        cairo_surface_t* recording = nullptr;
        // The recording's space (the canvas's cairo device space) to the
        // pass's device pixels (what the canvas's ctm maps to).
        Matrix recordingToDevice;
        // The container's user space to the recording's space.
        Matrix containerToRecording;
        bool isNew = false;
        // With `new x y width height`: the region, in the container's user space.
        std::optional<RectF> region;
    };
    std::vector<BackgroundLayer> backgrounds;

    // Device pixels of the intermediate surfaces open around what is drawn
    // now (CLayerCharge), their bound, and whether it has been met.
    struct LayerState {
        std::size_t openPixels = 0;
        std::size_t bound = limits::kMaxOpenLayerPixels;
        bool limitReported = false;
    } layers;

    // SVG-font glyph content being drawn inside glyph content (text set in
    // an SVG font inside a glyph of that font), and what such content may
    // still cost this drawing.
    struct GlyphContentState {
        unsigned depth = 0;
        std::size_t drawsLeft = limits::kMaxGlyphContentDraws;
        bool reported = false;
    } glyphContent;

private:
    CMessageLog* log_;
    const CStopToken& stop_;
    CConditionalValues* conditions_;
    LoadProgress* progress_ = nullptr;
};

// Holds an intermediate surface of `pixels` against the pass's bound while
// it lives. Refused, holding nothing, when other surfaces are open and all
// together would pass the bound.
class CLayerCharge {
public:
    CLayerCharge(CRenderPass& pass, double pixels);
    ~CLayerCharge() { pass_.layers.openPixels -= held_; }
    CLayerCharge(const CLayerCharge&) = delete;
    CLayerCharge& operator=(const CLayerCharge&) = delete;

    bool Granted() const { return granted_; }

private:
    CRenderPass& pass_;
    std::size_t held_ = 0;
    bool granted_ = true;
};

}  // namespace svg
