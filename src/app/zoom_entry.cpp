#include "app/zoom_entry.h"

#include <QLineEdit>
#include <cmath>

#include "app/vexo_view.h"

namespace vexo {

std::optional<double> ParseZoomPercent(const QString& text)
{
    QString number = text.trimmed();
    if (number.endsWith(QLatin1Char('%')))
        number.chop(1);
    bool ok = false;
    const double percent = number.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(percent) || !(percent > 0))
        return std::nullopt;
    return percent;
}

CZoomEntry::CZoomEntry(CVexoView& view, QWidget* parent) : QComboBox(parent), view_(view)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setToolTip(tr("Zoom"));
    for (const int percent : {10, 25, 50, 100, 150, 200, 400, 800, 1600})
        addItem(QStringLiteral("%1%").arg(percent));
    setMinimumContentsLength(6);
    connect(this, &QComboBox::textActivated, this, &CZoomEntry::Apply);
    connect(lineEdit(), &QLineEdit::editingFinished, this, [this] { Apply(lineEdit()->text()); });
    connect(&view_, &CVexoView::zoomChanged, this, &CZoomEntry::ShowScale);
    ShowScale();
}

void CZoomEntry::Apply(const QString& text)
{
    if (const std::optional<double> percent = ParseZoomPercent(text))
        view_.ZoomTo(float(*percent / 100));
    ShowScale();  // a refused entry shows the zoom again
}

void CZoomEntry::ShowScale()
{
    const double percent = double(view_.Scale()) * 100;
    // Whole percents cut off as the status bar's "Scale:" shows them.
    lineEdit()->setText(percent >= 10 ? QStringLiteral("%1%").arg(std::trunc(percent))
                                      : QStringLiteral("%1%").arg(percent, 0, 'g', 3));
}

}  // namespace vexo
