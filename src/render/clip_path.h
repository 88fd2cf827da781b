// Clip paths. A clip path's region is kept as a tree of outlines rather than
// as one path, because cairo clips can only intersect: the children of a
// clipPath are united, each under its own clip-rule and transform and with
// its own clip-path intersected. A region without unions becomes plain
// cairo clips; any other is painted as an alpha mask over the element's
// content. Both stay vector in the recording, anti-aliased at any zoom.
// The problems of a clipPath are reported once, when it is set up; drawing
// reports only a clip too complex to build.
#pragma once

#include <functional>
#include <vector>

#include "values/matrix.h"
#include "values/keywords.h"
#include "values/path_geometry.h"

namespace svg {

class CCanvas;
class CElem;
class CElemClipPath;
class CPreparer;
class CRenderPass;

// What a region leaves visible: the union of `paths` (each filled under its
// own fillRule) and `parts`, intersected with every one of `intersections`,
// all mapped by `transform` into the enclosing space. No paths and no parts
// is an empty region; the builders never keep an empty part or intersection.
struct ClipRegion {
    Matrix transform;
    std::vector<CGraphicsPath> paths;
    std::vector<ClipRegion> parts;
    std::vector<ClipRegion> intersections;

    bool Empty() const { return paths.empty() && parts.empty(); }
};

// Runs `draw` with `elem`'s clip-path applied in the canvas's current user
// space (the element's, after its transform); `draw` is not run at all
// when the clip leaves nothing. A clip without unions is left intersected
// into the canvas clip; callers restore their saved state.
void DrawClipped(const CElem& elem, CCanvas& canvas, CRenderPass& pass, const std::function<void()>& draw);

bool SetUpClipPath(CElemClipPath& clipPath, CPreparer& preparer);

}  // namespace svg
