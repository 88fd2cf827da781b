#include "app/print_layout.h"

#include <algorithm>
#include <cmath>

#include "base/limits.h"

namespace vexo {
namespace {

// User units (CSS pixels) per inch.
constexpr double kUserUnitsPerInch = 96;
constexpr int kHundredthsMmPerInch = 2540;


int CeilPages(double length, int printable)
{
    if (!(length > 0))
        return 1;
    const double pages = std::ceil(length / printable - 1e-9);
    return static_cast<int>(std::clamp(pages, 1.0, double(svg::limits::kMaxPrintPagesPerSide)));
}

}  // namespace

int MarginPx(int hundredthsMm, double dpi)
{
    return static_cast<int>(static_cast<long long>(std::lround(dpi)) * hundredthsMm / kHundredthsMmPerInch);
}

QRect PrintableRect(const PageMetrics& metrics)
{
    const int left = MarginPx(metrics.marginLeft, metrics.dpiX) - metrics.offsetX;
    const int top = MarginPx(metrics.marginTop, metrics.dpiY) - metrics.offsetY;
    const int right = metrics.pageWidth - metrics.offsetX - MarginPx(metrics.marginRight, metrics.dpiX);
    const int bottom = metrics.pageHeight - metrics.offsetY - MarginPx(metrics.marginBottom, metrics.dpiY);
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

PageGrid CountPages(const PageMetrics& metrics, double documentWidth, double documentHeight, bool fit)
{
    const QRect printable = PrintableRect(metrics);
    // Without a printable area there is no page to print on.
    if (printable.width() <= 0 || printable.height() <= 0)
        return {};
    if (fit)
        return {1, 1};
    return {CeilPages(documentWidth * metrics.dpiX / kUserUnitsPerInch, printable.width()),
            CeilPages(documentHeight * metrics.dpiY / kUserUnitsPerInch, printable.height())};
}

TilePosition TileOf(int page, const PageGrid& grid)
{
    if (grid.columns <= 0)
        return {};
    return {(page - 1) % grid.columns, (page - 1) / grid.columns};
}

PagePlacement PlacePage(const PageMetrics& metrics, const PageGrid& grid, int page, double documentWidth,
                        double documentHeight, bool fit)
{
    const QRect printable = PrintableRect(metrics);
    PagePlacement placement;
    if (fit) {
        // The picture fills the printable area in one direction, keeping its
        // aspect ratio, from the area's corner.
        const double scale = documentWidth > 0 && documentHeight > 0
                                 ? std::min(printable.width() / documentWidth, printable.height() / documentHeight)
                                 : 1;
        placement.scaleX = placement.scaleY = scale;
        placement.origin = QPointF(printable.left(), printable.top());
        placement.clip = QRectF(printable.left(), printable.top(), documentWidth * scale, documentHeight * scale);
        return placement;
    }
    const TilePosition tile = TileOf(page, grid);
    placement.scaleX = metrics.dpiX / kUserUnitsPerInch;
    placement.scaleY = metrics.dpiY / kUserUnitsPerInch;
    placement.origin = QPointF(printable.left() - double(tile.column) * printable.width(),
                               printable.top() - double(tile.row) * printable.height());
    placement.clip = QRectF(printable);
    return placement;
}

}  // namespace vexo
