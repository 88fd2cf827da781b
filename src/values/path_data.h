// Path data (`d`) and points lists (`points`) into drawable geometry.
// Quadratic curves and elliptical arcs become cubics while parsing. Parsing
// never fails and bad data produces no message: the path keeps everything
// before the first error, as SVG renders a path up to its error. The only
// message is the warning for a path longer than limits::kMaxPathPoints, which
// is cut there and located at `elem` when one is given.
#pragma once

#include <string_view>
#include <vector>

#include "model/elem.h"
#include "values/path_geometry.h"

namespace svg {

// Coordinates and radii accept units; percentages resolve against `elem`'s
// viewport (800 x 600 at the origin without an element). Figures that are a
// lone moveto are removed after the markers, when asked for, were appended.
CGraphicsPath ParsePathData(std::string_view text, const CElem* elem, FillMode fillMode,
                            std::vector<MarkerInfo>* markers = nullptr);

// Pairs of plain numbers (units are read and ignored) separated by white
// space and at most one comma; an unpaired number at the end is dropped.
// `closed` closes the figure, as `polygon` does, before markers are placed.
CGraphicsPath ParsePoints(std::string_view text, FillMode fillMode, bool closed,
                          std::vector<MarkerInfo>* markers = nullptr, const CElem* elem = nullptr);

}  // namespace svg
