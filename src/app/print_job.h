// Printing the document's picture: the PRINT settings, applying them to a
// QPrinter, and drawing the pages (on paper, into a PDF, or for the print
// preview, which draws the same pages with its frames always shown). Each
// page is drawn at its natural size tiled over as many pages as needed, or
// fitted to one page, with the margin frame, the title, the page number and
// the viewport frame as the settings say. The picture is replayed by cairo
// into an image at the printer's resolution (bounded by limits.h) for the
// part of it a page shows. User-interface thread only.
#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include "app/print_layout.h"

class QPainter;
class QPrinter;

namespace svg {
class CPicture;
}

namespace vexo {

class CSettings;

// The PRINT section of the settings.
struct PrintSettings {
    bool useInches = false;  // USEINCHES: the page set-up shows thousandths of an inch
    QPageSize::PageSizeId paper = QPageSize::A4;        // PAPERSIZE
    QPageLayout::Orientation orientation = QPageLayout::Portrait;  // ORIENTATION 1 or 2
    bool fit = false;        // FITSIZE
    // MARGIN.LEFT, .TOP, .RIGHT, .BOTTOM in hundredths of a millimetre.
    int marginLeft = 1500;
    int marginTop = 1500;
    int marginRight = 1500;
    int marginBottom = 1500;
    bool pageFrame = false;      // DRAW.PAGE_FRAME
    bool viewportFrame = false;  // DRAW.VIEWPORT_FRAME
    bool title = false;          // DRAW.TITLE
    bool pageNumber = true;      // DRAW.PAGE_NO

    friend bool operator==(const PrintSettings&, const PrintSettings&) = default;
};

PrintSettings ReadPrintSettings(CSettings& settings);
void WritePrintSettings(CSettings& settings, const PrintSettings& print);

// Paper and orientation onto `printer`, which then draws on the whole sheet
// (page coordinates from the paper's corner).
void ApplyToPrinter(const PrintSettings& print, QPrinter& printer);

// The page metrics of `printer` with the settings' margins.
PageMetrics MetricsOf(const QPrinter& printer, const PrintSettings& print);

// What is printed: the picture, its frame's size, and the root's `title`.
struct PrintSource {
    const svg::CPicture* picture = nullptr;
    QString title;
};

// Prints every page of the printer's page range (all when it has none) and
// returns the number printed: none for an unusable printable area. With
// `previewing`, the margin and viewport frames are drawn whatever the
// settings say, in the preview's colours.
int PrintPages(QPrinter& printer, const PrintSource& source, const PrintSettings& print, bool previewing);

}  // namespace vexo
