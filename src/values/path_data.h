// Path data (`d`) and points lists (`points`) into drawable geometry.
// Quadratic curves and elliptical arcs become cubics while parsing. Parsing
// never fails and reports nothing: the path keeps everything before the
// first error, as SVG renders a path up to its error, and the result tells
// where that error was and whether the path was cut at
// limits::kMaxPathPoints, for the caller to report.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "values/number.h"
#include "values/path_geometry.h"

namespace svg {

struct ParsedPath {
    CGraphicsPath path;
    // Offset in the text of the first character that could not be read;
    // npos when all of it was read.
    std::size_t errorAt = std::string_view::npos;
    // True when the path had more than limits::kMaxPathPoints points and
    // the rest was dropped.
    bool truncated = false;
};

// Coordinates and radii accept units; percentages resolve against the
// context's viewport. Figures that are a lone moveto are removed after the
// markers, when asked for, were appended.
ParsedPath ParsePathData(std::string_view text, const LengthContext& context, FillRule fillRule,
                         std::vector<MarkerInfo>* markers = nullptr);

// Pairs of plain numbers (units are read and ignored) separated by white
// space and at most one comma; an unpaired number at the end is dropped.
// `closed` closes the figure, as `polygon` does, before markers are placed.
ParsedPath ParsePoints(std::string_view text, FillRule fillRule, bool closed,
                       std::vector<MarkerInfo>* markers = nullptr);

}  // namespace svg
