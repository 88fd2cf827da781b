#include "app/print_job.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

#include "app/picture_clipboard.h"
#include "app/settings.h"
#include "base/limits.h"
#include "render/render.h"

namespace vexo {
namespace {

const QString kPrint = QStringLiteral("PRINT");
const QColor kPreviewFrameColour(255, 220, 192);
const QColor kViewportFrameColour(0x80, 0x80, 0xFF);
constexpr int kTextPointSize = 9;
// The page number sits in the last 15 mm of the page.
constexpr double kPageNumberBandInches = 15 / 25.4;
// Windows printer orientation codes, as the settings keep them.
constexpr int kPortraitCode = 1;
constexpr int kLandscapeCode = 2;

bool ReadFlag(CSettings& settings, const char* key) { return settings.ReadInt(kPrint, QLatin1String(key)) == 1; }

void WriteInt(CSettings& settings, const char* key, int value)
{
    settings.Write(kPrint, QLatin1String(key), QString::number(value));
}

// PAPERSIZE keeps the printer's paper code (1 letter, 9 A4, ...); 0, a
// missing key, and codes no paper has mean A4.
QPageSize::PageSizeId PaperOf(int code)
{
    const QPageSize::PageSizeId paper = code > 0 ? QPageSize::id(code) : QPageSize::A4;
    return paper == QPageSize::Custom ? QPageSize::A4 : paper;
}

// The printable area's edges, each reaching out by half the adjacent margin.
void DrawMarginFrame(QPainter& painter, const PageMetrics& metrics, const QRect& printable, bool previewing)
{
    const double left = printable.left();
    const double top = printable.top();
    const double right = left + printable.width();
    const double bottom = top + printable.height();
    const double outLeft = MarginPx(metrics.marginLeft, metrics.dpiX) / 2.0;
    const double outRight = MarginPx(metrics.marginRight, metrics.dpiX) / 2.0;
    const double outTop = MarginPx(metrics.marginTop, metrics.dpiY) / 2.0;
    const double outBottom = MarginPx(metrics.marginBottom, metrics.dpiY) / 2.0;
    QPen pen(previewing ? kPreviewFrameColour : QColor(Qt::black), 0, Qt::DotLine);
    painter.setPen(pen);
    painter.drawLine(QPointF(left - outLeft, top), QPointF(right + outRight, top));
    painter.drawLine(QPointF(left - outLeft, bottom), QPointF(right + outRight, bottom));
    painter.drawLine(QPointF(left, top - outTop), QPointF(left, bottom + outBottom));
    painter.drawLine(QPointF(right, top - outTop), QPointF(right, bottom + outBottom));
}

// The resolution the picture is rendered at for a page region of
// `regionPx` device pixels at `dpi`: at most 300 dpi and the pixel bound.
double RasterScale(const QRectF& regionPx, double dpi)
{
    double scale = std::min(1.0, svg::limits::kMaxPrintRasterDpi / dpi);
    const double pixels = regionPx.width() * regionPx.height() * scale * scale;
    if (pixels > double(svg::limits::kMaxPrintPagePixels))
        scale *= std::sqrt(double(svg::limits::kMaxPrintPagePixels) / pixels);
    return scale;
}

void DrawPicture(QPainter& painter, const svg::CPicture& picture, const PagePlacement& placement,
                 const QRectF& region, double dpi)
{
    if (region.isEmpty())
        return;
    const double raster = RasterScale(region, dpi);
    const QSize sizePx(int(std::ceil(region.width() * raster)), int(std::ceil(region.height() * raster)));
    const svg::RectF& frame = picture.Frame();
    // image = (device - region corner) x raster, device = (user - frame corner) x scale + origin.
    const double sx = placement.scaleX * raster;
    const double sy = placement.scaleY * raster;
    const svg::Matrix userToImage{sx, 0, 0, sy, (placement.origin.x() - region.left()) * raster - frame.x * sx,
                                  (placement.origin.y() - region.top()) * raster - frame.y * sy};
    const QImage image = ReplayPicture(picture, sizePx, userToImage, Qt::transparent);
    if (!image.isNull())
        painter.drawImage(QRectF(region.topLeft(), QSizeF(sizePx) / raster), image);
}

struct PageContext {
    const PrintSource& source;
    const PrintSettings& print;
    const PageMetrics& metrics;
    const PageGrid& grid;
    bool previewing;
};

void DrawTexts(QPainter& painter, const PageContext& context, int page)
{
    QFont font = QApplication::font();
    font.setPointSize(kTextPointSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const double pageWidth = context.metrics.pageWidth;
    if (context.print.title && !context.source.title.isEmpty())
        painter.drawText(QRectF(0, 0, pageWidth, context.metrics.dpiY), Qt::AlignCenter | Qt::TextSingleLine,
                         context.source.title);
    if (context.print.pageNumber) {
        const double band = kPageNumberBandInches * context.metrics.dpiY;
        painter.drawText(QRectF(0, context.metrics.pageHeight - band, pageWidth, band),
                         Qt::AlignCenter | Qt::TextSingleLine,
                         QString::asprintf("Page: %d / %d", page, context.grid.Count()));
    }
}

void PrintPage(QPainter& painter, const PageContext& context, int page)
{
    const QRect printable = PrintableRect(context.metrics);
    if (context.previewing || context.print.pageFrame)
        DrawMarginFrame(painter, context.metrics, printable, context.previewing);
    DrawTexts(painter, context, page);

    const svg::CPicture& picture = *context.source.picture;
    const svg::RectF& frame = picture.Frame();
    const PagePlacement placement =
        PlacePage(context.metrics, context.grid, page, frame.width, frame.height, context.print.fit);
    painter.save();
    painter.setClipRect(placement.clip);
    const QRectF pageRect(0, 0, context.metrics.pageWidth, context.metrics.pageHeight);
    const QRectF frameDevice(placement.origin, QSizeF(frame.width * placement.scaleX, frame.height * placement.scaleY));
    // Only the part of the page the picture's frame covers is rendered.
    const QRectF region = placement.clip.intersected(pageRect).intersected(frameDevice.adjusted(-1, -1, 1, 1));
    DrawPicture(painter, picture, placement, region, context.metrics.dpiX);
    if (context.previewing || context.print.viewportFrame) {
        QPen pen(kViewportFrameColour, 0);
        pen.setDashPattern({4, 4});
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frameDevice);
    }
    painter.restore();
}

}  // namespace

PrintSettings ReadPrintSettings(CSettings& settings)
{
    PrintSettings print;
    print.useInches = ReadFlag(settings, "USEINCHES");
    print.paper = PaperOf(settings.ReadInt(kPrint, QStringLiteral("PAPERSIZE")));
    print.orientation = settings.ReadInt(kPrint, QStringLiteral("ORIENTATION")) == kLandscapeCode
                            ? QPageLayout::Landscape
                            : QPageLayout::Portrait;
    print.fit = ReadFlag(settings, "FITSIZE");
    print.marginLeft = std::max(0, settings.ReadInt(kPrint, QStringLiteral("MARGIN.LEFT")));
    print.marginTop = std::max(0, settings.ReadInt(kPrint, QStringLiteral("MARGIN.TOP")));
    print.marginRight = std::max(0, settings.ReadInt(kPrint, QStringLiteral("MARGIN.RIGHT")));
    print.marginBottom = std::max(0, settings.ReadInt(kPrint, QStringLiteral("MARGIN.BOTTOM")));
    print.pageFrame = ReadFlag(settings, "DRAW.PAGE_FRAME");
    print.viewportFrame = ReadFlag(settings, "DRAW.VIEWPORT_FRAME");
    print.title = ReadFlag(settings, "DRAW.TITLE");
    print.pageNumber = ReadFlag(settings, "DRAW.PAGE_NO");
    return print;
}

void WritePrintSettings(CSettings& settings, const PrintSettings& print)
{
    WriteInt(settings, "PAPERSIZE", QPageSize(print.paper).windowsId());
    WriteInt(settings, "ORIENTATION", print.orientation == QPageLayout::Landscape ? kLandscapeCode : kPortraitCode);
    WriteInt(settings, "FITSIZE", print.fit ? 1 : 0);
    WriteInt(settings, "MARGIN.LEFT", print.marginLeft);
    WriteInt(settings, "MARGIN.TOP", print.marginTop);
    WriteInt(settings, "MARGIN.RIGHT", print.marginRight);
    WriteInt(settings, "MARGIN.BOTTOM", print.marginBottom);
    WriteInt(settings, "DRAW.PAGE_FRAME", print.pageFrame ? 1 : 0);
    WriteInt(settings, "DRAW.VIEWPORT_FRAME", print.viewportFrame ? 1 : 0);
    WriteInt(settings, "DRAW.TITLE", print.title ? 1 : 0);
    WriteInt(settings, "DRAW.PAGE_NO", print.pageNumber ? 1 : 0);
}

void ApplyToPrinter(const PrintSettings& print, QPrinter& printer)
{
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(print.paper));
    printer.setPageOrientation(print.orientation);
}

PageMetrics MetricsOf(const QPrinter& printer, const PrintSettings& print)
{
    PageMetrics metrics;
    const int resolution = printer.resolution();
    metrics.dpiX = metrics.dpiY = resolution > 0 ? resolution : 96;
    const QRect page = printer.pageLayout().fullRectPixels(resolution);
    metrics.pageWidth = page.width();
    metrics.pageHeight = page.height();
    // Full-page mode: page coordinates start at the paper's corner.
    metrics.offsetX = metrics.offsetY = 0;
    metrics.marginLeft = print.marginLeft;
    metrics.marginTop = print.marginTop;
    metrics.marginRight = print.marginRight;
    metrics.marginBottom = print.marginBottom;
    return metrics;
}

int PrintPages(QPrinter& printer, const PrintSource& source, const PrintSettings& print, bool previewing)
{
    if (source.picture == nullptr)
        return 0;
    const PageMetrics metrics = MetricsOf(printer, print);
    const svg::RectF& frame = source.picture->Frame();
    const PageGrid grid = CountPages(metrics, frame.width, frame.height, print.fit);
    int first = 1;
    int last = grid.Count();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(first, printer.fromPage());
        last = std::min(last, printer.toPage() > 0 ? printer.toPage() : last);
    }
    if (first > last)
        return 0;
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    const PageContext context{source, print, metrics, grid, previewing};
    for (int page = first; page <= last; ++page) {
        if (page > first)
            printer.newPage();
        PrintPage(painter, context, page);
    }
    painter.end();
    return last - first + 1;
}

}  // namespace vexo
