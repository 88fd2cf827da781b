#include "app/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <array>
#include <functional>

namespace vexo {
namespace {

// Every picture is drawn on a 16 x 16 grid and scaled to the pixmap.
constexpr double kGrid = 16;
// Dimmed icons are drawn faded rather than grey so that the kind stays
// recognisable.
constexpr double kDimmedOpacity = 0.38;

const QColor kTextInk(0x1f, 0x4e, 0x9c);
const QColor kFolderFill(0xf2, 0xc1, 0x4e);
const QColor kFolderLine(0x9a, 0x74, 0x12);
const QColor kPageLine(0x5a, 0x64, 0x73);
const QColor kAccent(0xf0, 0x8a, 0x24);
const QColor kLinkInk(0x1a, 0x8a, 0x8a);
const QColor kCommentFill(0xf4, 0xf4, 0xf4);
const QColor kCommentLine(0x6b, 0x6b, 0x6b);
const QColor kFontInk(0x7b, 0x3f, 0xa0);
const QColor kShapeFill(0x4c, 0xaf, 0x50);
const QColor kShapeLine(0x2e, 0x6b, 0x31);
const QColor kStringInk(0x50, 0x50, 0x50);
const QColor kCloneFill(0xbf, 0xe6, 0xe6);

// On a selected row the background is the highlight colour: lines and
// glyph-like shapes turn white there, fills keep their colour.
QColor Ink(const QColor& normal, bool selected) { return selected ? QColor(Qt::white) : normal; }

QPen LinePen(const QColor& colour, double width = 1)
{
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void DrawText(QPainter& p, bool selected)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ink(kTextInk, selected));
    p.drawRect(QRectF(3, 2, 10, 2.6));
    p.drawRect(QRectF(6.7, 2, 2.6, 12));
}

void DrawFolder(QPainter& p, bool selected)
{
    p.setPen(LinePen(Ink(kFolderLine, selected)));
    p.setBrush(kFolderFill);
    p.drawPolygon(QPolygonF({{1.5, 4.5}, {1.5, 2.5}, {6, 2.5}, {7.5, 4.5}}));
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1, 1);
}

void DrawDocument(QPainter& p, bool selected)
{
    p.setPen(LinePen(Ink(kPageLine, selected)));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{3.5, 1.5}, {10, 1.5}, {12.5, 4}, {12.5, 14.5}, {3.5, 14.5}}));
    p.drawPolyline(QPolygonF({{10, 1.5}, {10, 4}, {12.5, 4}}));
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(8, 9.5), 2.6, 2.6);
}

void DrawChain(QPainter& p, const QColor& ink)
{
    p.save();
    p.translate(8, 8);
    p.rotate(-45);
    p.setPen(LinePen(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(-6.5, -2.2, 7.5, 4.4), 2.2, 2.2);
    p.drawRoundedRect(QRectF(-1, -2.2, 7.5, 4.4), 2.2, 2.2);
    p.restore();
}

void DrawComment(QPainter& p, bool selected)
{
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5, 2.5, 13, 8.5), 2, 2);
    QPainterPath tail;
    tail.addPolygon(QPolygonF({{4, 10}, {4, 14}, {8, 10}}));
    p.setPen(LinePen(Ink(kCommentLine, selected)));
    p.setBrush(kCommentFill);
    p.drawPath(bubble.united(tail));
    p.setPen(Qt::NoPen);
    p.setBrush(kCommentLine);
    for (double x : {5.0, 8.0, 11.0})
        p.drawEllipse(QPointF(x, 6.75), 0.95, 0.95);
}

void DrawFont(QPainter& p, bool selected)
{
    p.setPen(LinePen(Ink(kFontInk, selected), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{3, 14}, {8, 2}, {13, 14}}));
    p.drawLine(QPointF(5.3, 9.5), QPointF(10.7, 9.5));
}

void DrawShape(QPainter& p, bool selected)
{
    p.setPen(LinePen(Ink(kShapeLine, selected)));
    p.setBrush(kShapeFill);
    p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
}

void DrawQuotes(QPainter& p, bool selected)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ink(kStringInk, selected));
    for (double x : {2.5, 9.0}) {
        p.drawEllipse(QRectF(x, 3, 4.5, 4.5));
        p.drawPolygon(QPolygonF({{x + 0.2, 5.8}, {x + 4.5, 5.8}, {x + 1.2, 11.5}}));
    }
}

void DrawClone(QPainter& p, bool selected)
{
    const QColor ink = Ink(kLinkInk, selected);
    QPen dashed = LinePen(ink);
    dashed.setDashPattern({1.5, 1.5});
    p.setPen(dashed);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, 8.5, 8.5));
    p.setPen(LinePen(ink));
    p.setBrush(kCloneFill);
    p.drawRect(QRectF(6, 6, 8.5, 8.5));
}

void DrawPaintServer(QPainter& p, bool selected)
{
    QLinearGradient gradient(1.5, 1.5, 14.5, 14.5);
    gradient.setColorAt(0, QColor(0xe5, 0x39, 0x35));
    gradient.setColorAt(0.5, QColor(0xfd, 0xd8, 0x35));
    gradient.setColorAt(1, QColor(0x1e, 0x88, 0xe5));
    p.setPen(LinePen(Ink(kPageLine, selected)));
    p.setBrush(gradient);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
}

void DrawKind(QPainter& p, int kind, bool selected)
{
    switch (kind) {
    case kIconText: DrawText(p, selected); break;
    case kIconContainer: DrawFolder(p, selected); break;
    case kIconDocument: DrawDocument(p, selected); break;
    case kIconUse: DrawChain(p, Ink(kLinkInk, selected)); break;
    case kIconComment: DrawComment(p, selected); break;
    case kIconFont: DrawFont(p, selected); break;
    case kIconElement: DrawShape(p, selected); break;
    case kIconString: DrawQuotes(p, selected); break;
    case kIconInstance: DrawClone(p, selected); break;
    case kIconPaintServer: DrawPaintServer(p, selected); break;
    default: break;
    }
}

// A transparent square pixmap with a painter set up on the 16-unit grid.
template <typename Draw>
QPixmap Paint(int sizePx, Draw draw)
{
    QPixmap pixmap(sizePx, sizePx);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(sizePx / kGrid, sizePx / kGrid);
    draw(painter);
    return pixmap;
}

void DrawBox(QPainter& p, bool withPlus)
{
    p.setPen(LinePen(kPageLine));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 2.5, 11, 11));
    p.setPen(LinePen(kTextInk, 1.6));
    p.drawLine(QPointF(5, 8), QPointF(11, 8));
    if (withPlus)
        p.drawLine(QPointF(8, 5), QPointF(8, 11));
}

void DrawJump(QPainter& p)
{
    DrawChain(p, kLinkInk);
    p.setPen(LinePen(kAccent, 1.6));
    p.drawPolyline(QPolygonF({{10, 11}, {14, 14}, {10, 14.5}}));
}

void DrawPencil(QPainter& p)
{
    p.setPen(LinePen(kFolderLine));
    p.setBrush(kFolderFill);
    p.drawPolygon(QPolygonF({{3, 13}, {4, 10}, {11, 3}, {13, 5}, {6, 12}}));
    p.setPen(Qt::NoPen);
    p.setBrush(kStringInk);
    p.drawPolygon(QPolygonF({{2.6, 13.4}, {3.5, 11}, {5, 12.5}}));
}

void DrawSortOrder(QPainter& p)
{
    // Sharp joins: round ones turn a Z this small into a 2.
    QPen letterPen = LinePen(kTextInk, 1.3);
    letterPen.setJoinStyle(Qt::MiterJoin);
    p.setPen(letterPen);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{1.5, 7.5}, {4, 1.5}, {6.5, 7.5}}));
    p.drawLine(QPointF(2.6, 5.2), QPointF(5.4, 5.2));
    p.drawPolyline(QPolygonF({{1.5, 9}, {6.5, 9}, {1.5, 14.5}, {6.5, 14.5}}));
    p.setPen(LinePen(kAccent, 1.6));
    p.drawLine(QPointF(11, 2), QPointF(11, 14));
    p.drawPolyline(QPolygonF({{8.5, 11.5}, {11, 14}, {13.5, 11.5}}));
}

void DrawMagnifier(QPainter& p, bool withPlus)
{
    p.setPen(LinePen(kFolderLine, 2.6));
    p.drawLine(QPointF(10.5, 10.5), QPointF(14, 14));
    p.setPen(LinePen(kPageLine));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(6.5, 6.5), 5, 5);
    p.setPen(LinePen(kTextInk, 1.6));
    p.drawLine(QPointF(4, 6.5), QPointF(9, 6.5));
    if (withPlus)
        p.drawLine(QPointF(6.5, 4), QPointF(6.5, 9));
}

// The window that the zoom commands fit the picture into.
void DrawWindowFrame(QPainter& p)
{
    p.setPen(LinePen(kPageLine));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
}

void DrawFitWindow(QPainter& p)
{
    DrawWindowFrame(p);
    p.setPen(LinePen(kTextInk, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{3.8, 6.8}, {3.8, 4.8}, {5.8, 4.8}}));
    p.drawPolyline(QPolygonF({{10.2, 4.8}, {12.2, 4.8}, {12.2, 6.8}}));
    p.drawPolyline(QPolygonF({{12.2, 9.2}, {12.2, 11.2}, {10.2, 11.2}}));
    p.drawPolyline(QPolygonF({{5.8, 11.2}, {3.8, 11.2}, {3.8, 9.2}}));
}

void DrawScale100(QPainter& p)
{
    DrawWindowFrame(p);
    p.setPen(LinePen(kTextInk, 1.4));
    for (double x : {5.0, 11.5}) {
        p.drawLine(QPointF(x, 5), QPointF(x, 11));
        p.drawLine(QPointF(x - 1.3, 6.3), QPointF(x, 5));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kTextInk);
    for (double y : {6.5, 9.5})
        p.drawEllipse(QPointF(8.1, y), 0.85, 0.85);
}

void DrawCopy(QPainter& p)
{
    p.setPen(LinePen(kPageLine));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 8, 10));
    p.drawRect(QRectF(6.5, 4.5, 8, 10));
    p.setPen(LinePen(kTextInk));
    for (double y : {7.0, 9.5, 12.0})
        p.drawLine(QPointF(8.5, y), QPointF(12.5, y));
}

void DrawChecker(QPainter& p)
{
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            p.setBrush((row + column) % 2 == 0 ? QColor(Qt::white) : QColor(192, 192, 192));
            p.drawRect(QRectF(2 + 3 * column, 2 + 3 * row, 3, 3));
        }
    p.setPen(LinePen(kPageLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
}

void DrawAxes(QPainter& p)
{
    p.setPen(LinePen(kTextInk, 1.4));
    p.drawLine(QPointF(3, 2), QPointF(3, 13));
    p.drawLine(QPointF(3, 13), QPointF(14, 13));
    p.drawPolyline(QPolygonF({{1.5, 4}, {3, 2}, {4.5, 4}}));
    p.drawPolyline(QPolygonF({{12, 11.5}, {14, 13}, {12, 14.5}}));
    p.setPen(LinePen(QColor(0xd0, 0x40, 0x40), 1.2));
    p.drawRect(QRectF(6, 4, 5, 5));
}

void DrawExport(QPainter& p)
{
    p.setPen(LinePen(kPageLine));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 9, 12));
    p.setPen(LinePen(kTextInk, 1.4));
    p.drawLine(QPointF(6, 8), QPointF(14, 8));
    p.drawPolyline(QPolygonF({{11.5, 5.5}, {14, 8}, {11.5, 10.5}}));
}

void DrawPrinter(QPainter& p)
{
    p.setPen(LinePen(kPageLine));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(0xc8, 0xc8, 0xc8));
    p.drawRect(QRectF(1.5, 6.5, 13, 5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
}

// A picture frame with a label: "in", "2" or "=" for the result.
void DrawImageOf(QPainter& p, const QString& label)
{
    p.setPen(LinePen(kPageLine));
    p.setBrush(QColor(0xe0, 0xec, 0xff));
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    QFont font = p.font();
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kTextInk);
    p.drawText(QRectF(1.5, 2.5, 13, 11), Qt::AlignCenter, label);
}

QIcon IconAtTwoSizes(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (int sizePx : {16, 32})
        icon.addPixmap(Paint(sizePx, draw));
    return icon;
}

}  // namespace

QPixmap ElemIconPixmap(int number, int sizePx)
{
    if (number < 0 || number >= 4 * kIconKinds)
        return {};
    const int kind = number % kIconKinds;
    const bool selected = (number / kIconKinds) % 2 == 1;
    const bool dimmed = number >= kDimmedIcon;
    return Paint(sizePx, [&](QPainter& p) {
        if (dimmed)
            p.setOpacity(kDimmedOpacity);
        DrawKind(p, kind, selected);
    });
}

const QIcon& ElemIcon(int number)
{
    static const std::array<QIcon, 2 * kIconKinds> icons = [] {
        std::array<QIcon, 2 * kIconKinds> built;
        for (int i = 0; i < 2 * kIconKinds; ++i) {
            const int normal = i < kIconKinds ? i : i - kIconKinds + kDimmedIcon;
            for (int sizePx : {16, 32}) {
                built[i].addPixmap(ElemIconPixmap(normal, sizePx), QIcon::Normal);
                built[i].addPixmap(ElemIconPixmap(normal + kSelectedIcon, sizePx), QIcon::Selected);
            }
        }
        return built;
    }();
    static const QIcon none;
    if (number >= 0 && number < kIconKinds)
        return icons[number];
    if (number >= kDimmedIcon && number < kDimmedIcon + kIconKinds)
        return icons[number - kDimmedIcon + kIconKinds];
    return none;
}

QIcon ToolBarIcon(ToolIcon icon)
{
    switch (icon) {
    case ToolIcon::Expand: return IconAtTwoSizes([](QPainter& p) { DrawBox(p, true); });
    case ToolIcon::Collapse: return IconAtTwoSizes([](QPainter& p) { DrawBox(p, false); });
    case ToolIcon::MoveToHref: return IconAtTwoSizes(DrawJump);
    case ToolIcon::EditText: return IconAtTwoSizes(DrawPencil);
    case ToolIcon::Sort: return IconAtTwoSizes(DrawSortOrder);
    case ToolIcon::ZoomIn: return IconAtTwoSizes([](QPainter& p) { DrawMagnifier(p, true); });
    case ToolIcon::ZoomOut: return IconAtTwoSizes([](QPainter& p) { DrawMagnifier(p, false); });
    case ToolIcon::FitWindow: return IconAtTwoSizes(DrawFitWindow);
    case ToolIcon::Scale100: return IconAtTwoSizes(DrawScale100);
    case ToolIcon::Copy: return IconAtTwoSizes(DrawCopy);
    case ToolIcon::Checker: return IconAtTwoSizes(DrawChecker);
    case ToolIcon::AxisMode: return IconAtTwoSizes(DrawAxes);
    case ToolIcon::Export: return IconAtTwoSizes(DrawExport);
    case ToolIcon::Print: return IconAtTwoSizes(DrawPrinter);
    case ToolIcon::ShowIn: return IconAtTwoSizes([](QPainter& p) { DrawImageOf(p, QStringLiteral("in")); });
    case ToolIcon::ShowIn2: return IconAtTwoSizes([](QPainter& p) { DrawImageOf(p, QStringLiteral("in2")); });
    case ToolIcon::ShowResult: return IconAtTwoSizes([](QPainter& p) { DrawImageOf(p, QStringLiteral("=")); });
    }
    return {};
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int sizePx : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(Paint(sizePx, [](QPainter& p) {
            // vexo.svg's 256-unit drawing on the 16-unit grid.
            p.scale(kGrid / 256, kGrid / 256);
            QLinearGradient tile(0, 16, 0, 240);
            tile.setColorAt(0, QColor(0x3d, 0x7b, 0xf0));
            tile.setColorAt(1, QColor(0x23, 0x46, 0xb8));
            p.setPen(Qt::NoPen);
            p.setBrush(tile);
            p.drawRoundedRect(QRectF(16, 16, 224, 224), 48, 48);
            p.setPen(LinePen(Qt::white, 30));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({{72, 80}, {128, 184}, {184, 80}}));
            p.setPen(LinePen(Qt::white, 8));
            p.setBrush(QColor(0xff, 0xb0, 0x3b));
            p.drawRoundedRect(QRectF(54, 62, 36, 36), 6, 6);
            p.drawRoundedRect(QRectF(166, 62, 36, 36), 6, 6);
        }));
    }
    return icon;
}

}  // namespace vexo
