// The message pane: the lines of the document's message log under a "Log" tab, errors in
// red and warnings in green. A 100 ms timer appends the lines logged since
// the last look and selects the newest; a load's start (cleared()) empties
// the pane along with the log. Double-clicking a line that ends with a
// location ("... at 12(5)") selects the element whose start tag is there.
#pragma once

#include <QWidget>
#include <cstddef>

class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTimer;

namespace vexo {

class CVexoDoc;

// The line and column of a message's location suffix: " at " and digits,
// then digits after the next "(". False when the text has none.
bool ParseMessageLocation(const QString& text, int& line, int& column);

class COutputWnd : public QWidget {
    Q_OBJECT
public:
    explicit COutputWnd(CVexoDoc& doc, QWidget* parent = nullptr);
    ~COutputWnd() override;

    QListWidget* List() const { return list_; }

    // Appends the log's lines not shown yet (what the timer does).
    void Poll();
    // Puts the selected lines, or every line when none is selected, on the
    // clipboard as text.
    void CopyLines();
    // Empties the pane; the log itself is kept.
    void ClearLines();
    // Selects the element at the item's location, if it names one.
    void GoToLocation(const QListWidgetItem* item);

private:
    void OnCleared();
    void ShowContextMenu(const QPoint& pos);

    CVexoDoc& doc_;
    QTabWidget* tabs_ = nullptr;
    QListWidget* list_ = nullptr;
    QTimer* timer_ = nullptr;
    // Log entries taken so far (shown, or cleared from the pane by Clear).
    std::size_t taken_ = 0;
};

}  // namespace vexo
