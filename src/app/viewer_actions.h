// The commands of daily viewing that the main window offers beside its own:
// next and previous SVG file of the folder (Page Down / Page Up and the
// mouse's forward and back buttons), full screen (F11), Close (Ctrl+W), the
// checkerboard background, and more keys for Zoom In (Ctrl+= and Ctrl++ as
// well as the platform's). The actions belong to the window; `open` opens a
// file the way the window's Open does. Interface thread.
#pragma once

#include <QObject>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace vexo {

class CSettings;
class CVexoDoc;
class CVexoView;

class CViewerActions : public QObject {
    Q_OBJECT
public:
    CViewerActions(QMainWindow& window, CVexoDoc& doc, CVexoView& view, CSettings& settings,
                   std::function<void(const QString&)> open);

    // Adds the keys Ctrl+= and Ctrl++ to `zoomIn`.
    static void AddZoomInKeys(QAction& zoomIn);
    void AddToFileMenu(QMenu& file, QAction* before);
    void AddToViewMenu(QMenu& view);
    // A tool bar of its own with the zoom entry, after the window's others.
    QToolBar* AddZoomToolBar();
    // Opens the SVG file `step` places after the current one (wrapping).
    void Browse(int step);
    void UpdateActions();

    QAction* NextFile() const { return nextFile_; }
    QAction* PreviousFile() const { return previousFile_; }
    QAction* FullScreen() const { return fullScreen_; }
    QAction* Close() const { return close_; }
    QAction* CheckerboardAction() const { return checkerboard_; }

private:
    QMainWindow& window_;
    CVexoDoc& doc_;
    CVexoView& view_;
    CSettings& settings_;
    std::function<void(const QString&)> open_;
    QAction* nextFile_ = nullptr;
    QAction* previousFile_ = nullptr;
    QAction* fullScreen_ = nullptr;
    QAction* close_ = nullptr;
    QAction* checkerboard_ = nullptr;
};

}  // namespace vexo
