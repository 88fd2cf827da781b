// Running a prepared filter for one drawing of one element: the primitives
// in order, each on the images its `in` and `in2` name (resolved when the
// filter was prepared), over its subregion, in its colour space; the result
// of the last one is the filter's result.
//
// What only the renderer can make reaches the driver through
// CFilterInputSource: the element's own picture, the background behind it,
// its fill and stroke paint, the pictures of feImage. Everything else is
// bitmaps in the filter's pixel space (FilterSpace, filter/primitives.h):
// premultiplied, sRGB or linear light as each primitive needs, converted on
// the way and converted once per image. An image is freed as soon as the
// last primitive that reads it has run.
//
// Subregions follow SVG: a missing x, y, width or height takes the default
// subregion, which is the union of the inputs' subregions, or the filter
// region for a primitive without inputs, with a standard input, and for
// feTile; every subregion is clipped to the filter region.
//
// Threads: a run belongs to one thread (its primitives may use more of their
// own); the filter and its primitives are only read. The stop token is
// tested before every primitive, the primitives test it once a row.
//
// Keeping: a run may be asked to copy one primitive's images as it runs (for
// the part view): its `in` and `in2` as the primitive read them and its
// result, each an owning premultiplied sRGB bitmap with its pixel rectangle
// in the run's pixel space, made before the images are freed.
#pragma once

#include <memory>

#include "base/stop_token.h"
#include "filter/primitives.h"
#include "filter/rt_bitmap.h"
#include "model/elem.h"

namespace svg {

class CMessageLog;
struct LoadProgress;

// The renderer's side of a filter run. Bitmaps are premultiplied sRGB in the
// run's pixel space.
class CFilterInputSource {
public:
    virtual ~CFilterInputSource() = default;
    // SourceGraphic: the filtered element's own picture over `rect`, the
    // part of the computed area that primitives read (asked for once a run);
    // null when it draws nothing there. Owned by the source, alive for the
    // whole run.
    virtual const CRtBitmap* SourceGraphic(const PixelRect& rect) = 0;
    // BackgroundImage: what the element's ancestors have drawn behind it
    // (enable-background), over `rect`; null when nothing.
    virtual std::unique_ptr<CRtBitmap> BackgroundImage(const PixelRect& rect) = 0;
    // FillPaint and StrokePaint: the element's fill or stroke paint over
    // `rect`; null when it has none.
    virtual std::unique_ptr<CRtBitmap> FillPaint(const PixelRect& rect) = 0;
    virtual std::unique_ptr<CRtBitmap> StrokePaint(const PixelRect& rect) = 0;
    // feImage: draws the primitive's picture over `target` (transparent, of
    // run.outRect). False when there is nothing to draw.
    virtual bool DrawImage(const CElemFilterPrimitive& primitive, const CFilterPrimitiveParams& params,
                           CRtBitmap& target, const PrimitiveRun& run) = 0;
};

// Copies of one primitive's images; each null where the primitive had no
// such image (no second input, a transparent input, nothing computed).
struct KeptPrimitiveImages {
    std::unique_ptr<CRtBitmap> in;
    std::unique_ptr<CRtBitmap> in2;
    std::unique_ptr<CRtBitmap> result;
};

// Which primitive to keep the images of, and where. Inert while either is
// null. `into` is filled when the primitive runs and left as it was when
// the run stops before or during it.
struct FilterKeepRequest {
    const CElemFilterPrimitive* primitive = nullptr;
    KeptPrimitiveImages* into = nullptr;
};

// Where a run reports and counts. Both may be null.
struct FilterRunContext {
    const CStopToken& stop;
    // The primitive that takes longer than kSlowPrimitiveMs is reported here.
    CMessageLog* log = nullptr;
    // primitivesDone grows by one as each primitive ends (whoever draws
    // sets primitivesTotal).
    LoadProgress* progress = nullptr;
    FilterKeepRequest keep;
};

inline constexpr double kSlowPrimitiveMs = 3000;

// How many pixels of `space` around a pixel the filter's result may depend
// on: the primitives' reaches added up; -1 when a primitive may read its
// whole input (the filter must then be computed over its whole region).
int FilterReachPx(const CElemFilter& filter, const FilterSpace& space);

// The filter's result in premultiplied sRGB, within space.computePx; null
// when it is transparent, when the filter has no primitives, or when the run
// was stopped.
std::unique_ptr<CRtBitmap> RunFilter(const CElemFilter& filter, const FilterSpace& space,
                                     CFilterInputSource& sources, const FilterRunContext& context);

}  // namespace svg
