// The part view's arithmetic, apart from any widget: where the selected
// element's frame (its extent, in user units) is fitted into the pane, where
// the guide lines along the frame's edges go and where their coordinate
// labels sit, and how a pointer position maps back to user units. All
// positions are pane pixels; nothing here draws or keeps state.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <optional>

#include "values/rect.h"

namespace vexo {

// The margins of the area the frame is fitted into: room for the y labels
// on the left, and for the guide lines' ends on the other sides.
struct PartViewMargins {
    static constexpr int kLeft = 40;
    static constexpr int kRight = 20;
    static constexpr int kTop = 20;
    static constexpr int kBottom = 10;
};

// Guide-line labels closer than this are moved apart (pixels).
inline constexpr double kMinXLabelSpacing = 45;
inline constexpr double kMinYLabelSpacing = 16;

// One coordinate label: its text and the point it is anchored at. X labels
// hang below the top guide line with their left edge at the anchor; y labels
// sit left of the left guide line, their right edge and vertical middle at
// the anchor.
struct GuideLabel {
    QPointF anchor;
    QString text;
};

struct PartViewLayout {
    // The pane area the frame is fitted into.
    QRectF drawArea;
    // Pane pixels a user unit.
    double fitScale = 1;
    // Where the frame's corner (extent x, y) lands: drawArea's corner, moved
    // to centre the frame along the direction it does not fill.
    QPointF frameOrigin;
    // The guide lines, in pane pixels: vertical lines at left and right,
    // horizontal lines at top and bottom.
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;
    GuideLabel leftLabel;
    GuideLabel rightLabel;
    GuideLabel topLabel;
    GuideLabel bottomLabel;

    // Pane pixels to user units, and back.
    QPointF PaneToUser(QPointF pane, const svg::RectF& extent) const;
    QPointF UserToPane(QPointF user, const svg::RectF& extent) const;
};

// The layout of `extent` in a pane of `paneSize`. `yAxisUp`: the y labels
// show the values of an axis pointing up (glyphs), the negated user y. Null
// when the extent is smaller than 2^-23 in either direction or the pane has
// no room left.
std::optional<PartViewLayout> LayOutPartView(QSize paneSize, const svg::RectF& extent, bool yAxisUp = false);

// A guide-line label's text: the value with at most two decimals, trailing
// zeros dropped.
QString GuideLabelText(double value);

// The status-bar text of a user point: "X=%5.1f Y=%5.1f".
QString PartViewCoordinateText(QPointF user, bool yAxisUp);

}  // namespace vexo
