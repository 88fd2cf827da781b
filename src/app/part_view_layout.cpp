#include "app/part_view_layout.h"

#include <algorithm>
#include <cmath>

namespace vexo {
namespace {

constexpr double kMinExtentSide = 1.0 / (1 << 23);
// Labels keep this far from the lines they name.
constexpr double kLabelGap = 2;

}  // namespace

QPointF PartViewLayout::PaneToUser(QPointF pane, const svg::RectF& extent) const
{
    return {(pane.x() - frameOrigin.x()) / fitScale + extent.x, (pane.y() - frameOrigin.y()) / fitScale + extent.y};
}

QPointF PartViewLayout::UserToPane(QPointF user, const svg::RectF& extent) const
{
    return {frameOrigin.x() + (user.x() - extent.x) * fitScale, frameOrigin.y() + (user.y() - extent.y) * fitScale};
}

QString GuideLabelText(double value)
{
    if (std::abs(value) < 0.005)
        value = 0;  // no "-0"
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString PartViewCoordinateText(QPointF user, bool yAxisUp)
{
    return QString::asprintf("X=%5.1f Y=%5.1f", user.x(), yAxisUp ? -user.y() : user.y());
}

std::optional<PartViewLayout> LayOutPartView(QSize paneSize, const svg::RectF& extent, bool yAxisUp)
{
    if (!(extent.width >= kMinExtentSide) || !(extent.height >= kMinExtentSide))
        return std::nullopt;
    PartViewLayout layout;
    layout.drawArea = QRectF(PartViewMargins::kLeft, PartViewMargins::kTop,
                             paneSize.width() - PartViewMargins::kLeft - PartViewMargins::kRight,
                             paneSize.height() - PartViewMargins::kTop - PartViewMargins::kBottom);
    if (layout.drawArea.width() <= 0 || layout.drawArea.height() <= 0)
        return std::nullopt;
    layout.fitScale = std::min(layout.drawArea.width() / extent.width, layout.drawArea.height() / extent.height);
    const double width = extent.width * layout.fitScale;
    const double height = extent.height * layout.fitScale;
    layout.frameOrigin = QPointF(layout.drawArea.left() + (layout.drawArea.width() - width) / 2,
                                 layout.drawArea.top() + (layout.drawArea.height() - height) / 2);
    layout.left = layout.frameOrigin.x();
    layout.right = layout.left + width;
    layout.top = layout.frameOrigin.y();
    layout.bottom = layout.top + height;

    // X labels below the top line, each starting at its line; too close, the
    // left one moves left so that the right one keeps its place.
    const double labelY = layout.top + kLabelGap;
    const double leftX = std::min(layout.left, layout.right - kMinXLabelSpacing);
    layout.leftLabel = {QPointF(leftX + kLabelGap, labelY), GuideLabelText(extent.x)};
    layout.rightLabel = {QPointF(layout.right + kLabelGap, labelY), GuideLabelText(extent.Right())};
    // Y labels left of the left line, centred on their lines; too close, the
    // top one moves up.
    const double labelX = layout.left - kLabelGap;
    const double topY = std::min(layout.top, layout.bottom - kMinYLabelSpacing);
    const double sign = yAxisUp ? -1 : 1;
    layout.topLabel = {QPointF(labelX, topY), GuideLabelText(sign * extent.y)};
    layout.bottomLabel = {QPointF(labelX, layout.bottom), GuideLabelText(sign * extent.Bottom())};
    return layout;
}

}  // namespace vexo
