// Browsing the open file's folder: the SVG files (.svg and .svgz, any case)
// beside a file, in name order as file managers sort them (digits by value,
// letters case-insensitively), and the next or previous one, wrapping round at
// either end. Reads the folder on each call; interface thread.
#pragma once

#include <QString>
#include <QStringList>

namespace vexo {

// The SVG files of `folder`, by name, as absolute paths; other files and
// folders are left out.
QStringList SvgFilesIn(const QString& folder);

// The SVG file `step` places after `path` (negative: before) in its folder,
// wrapping round; `path` itself need not exist any more. Empty when the
// folder holds no other SVG file.
QString NeighbourSvgFile(const QString& path, int step);

}  // namespace vexo
