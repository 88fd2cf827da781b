// The tool bar's zoom entry: an editable list of zoom percentages bound to a
// view. Choosing or typing a percentage ("150", "150%", "33.3 %") zooms the
// view about its centre; every zoom of the view shows in the entry.
// Interface thread.
#pragma once

#include <QComboBox>
#include <optional>

namespace vexo {

class CVexoView;

// The zoom a typed text asks for, in percent; none for text that is not a
// positive finite number with an optional '%'.
std::optional<double> ParseZoomPercent(const QString& text);

class CZoomEntry : public QComboBox {
    Q_OBJECT
public:
    explicit CZoomEntry(CVexoView& view, QWidget* parent = nullptr);

private:
    void Apply(const QString& text);
    void ShowScale();

    CVexoView& view_;
};

}  // namespace vexo
