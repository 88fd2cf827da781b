// The arithmetic of printing, apart from any printer: margins in device
// pixels, the printable rectangle, how many pages a picture takes at its
// natural size (one user unit = 1/96 inch) or fitted to one page, and where
// on a page the picture goes. Device pixels are the printer's dots, with
// (0, 0) at the physical origin of the printable area. Nothing here draws.
#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>

namespace vexo {

// What the page set-up and the printer say about a page.
struct PageMetrics {
    double dpiX = 96;
    double dpiY = 96;
    // Physical offsets of the printable area, and the physical page size (device pixels).
    int offsetX = 0;
    int offsetY = 0;
    int pageWidth = 0;
    int pageHeight = 0;
    // Hundredths of a millimetre.
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
};

// A margin of `hundredthsMm` at `dpi`: dpi x m / 2540 pixels, truncated.
int MarginPx(int hundredthsMm, double dpi);

// The area inside the margins, in device pixels; empty (not valid) when the
// margins leave nothing of the page.
QRect PrintableRect(const PageMetrics& metrics);

// The pages a picture of `documentWidth` x `documentHeight` user units
// takes: one when fitted; otherwise columns x rows of printable areas at
// natural size. An empty picture takes one page (its decorations only); an
// unusable printable area (margins larger than the paper, no printer) none.
struct PageGrid {
    int columns = 0;
    int rows = 0;
    int Count() const { return columns * rows; }
};
PageGrid CountPages(const PageMetrics& metrics, double documentWidth, double documentHeight, bool fit);

// Page `page` (1-based) of the grid: its column and row.
struct TilePosition {
    int column = 0;
    int row = 0;
};
TilePosition TileOf(int page, const PageGrid& grid);

// Where the picture goes on one page: device = user x scale + origin, per
// axis, with `user` relative to the picture frame's corner; drawing is
// clipped to `clip` (the printable rectangle, or for a fitted page the area
// the picture is fitted into).
struct PagePlacement {
    double scaleX = 1;
    double scaleY = 1;
    QPointF origin;
    QRectF clip;
};
PagePlacement PlacePage(const PageMetrics& metrics, const PageGrid& grid, int page, double documentWidth,
                        double documentHeight, bool fit);

}  // namespace vexo
