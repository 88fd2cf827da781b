// The main window: menus, tool bars with the language, media and filter
// resolution selectors, the status bar, the main view in the centre and the
// element tree, attribute grid and message panes docked around it. It turns
// user commands into calls on the document and keeps every action's enabled
// and ticked state in step with the document.
#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;

namespace vexo {

class CVexoDoc;
class CVexoView;
class CElemView;
class CPropertiesWnd;
class COutputWnd;
class CSettings;
class CViewerActions;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CVexoDoc& doc, CSettings& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CVexoView* View() const { return view_; }
    CElemView* ElementTree() const { return elemView_; }
    CPropertiesWnd* Properties() const { return propertiesWnd_; }
    COutputWnd* Output() const { return outputWnd_; }
    QComboBox* LanguageSelector() const { return languageBox_; }
    QComboBox* MediaSelector() const { return mediaBox_; }
    QComboBox* FilterResolutionSelector() const { return filterResolutionBox_; }
    QLabel* ZoomPane() const { return zoomPane_; }
    QLabel* CoordinatePane() const { return coordinatePane_; }
    QLabel* ObjectPane() const { return objectPane_; }
    QLabel* SummaryPane() const { return summaryPane_; }

    // The commands, also reachable from menus, tool bars and keys.
    void OpenFile();
    void Open(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void CreatePanes();
    void RestoreLayout();
    void FirstLayout();
    void SaveLayout();
    void UpdateActions();
    void UpdateRecentFiles();
    void UpdateTitle();
    void OnLoaded();
    void SelectChoice(QComboBox* box, QActionGroup* group, const QString& value);
    void ShowAbout();

    CVexoDoc& doc_;
    CSettings& settings_;
    CVexoView* view_ = nullptr;
    CElemView* elemView_ = nullptr;
    CPropertiesWnd* propertiesWnd_ = nullptr;
    COutputWnd* outputWnd_ = nullptr;
    CViewerActions* viewerActions_ = nullptr;

    QAction* openAction_ = nullptr;
    QAction* reloadAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QAction* editAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* fitAction_ = nullptr;
    QAction* zoomInAction_ = nullptr;
    QAction* zoomOutAction_ = nullptr;
    QAction* scale100Action_ = nullptr;
    QAction* pxUnitAction_ = nullptr;
    QAction* alternateFontsAction_ = nullptr;
    QAction* disableRasterAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QActionGroup* languageGroup_ = nullptr;
    QActionGroup* mediaGroup_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QComboBox* languageBox_ = nullptr;
    QComboBox* mediaBox_ = nullptr;
    QComboBox* filterResolutionBox_ = nullptr;
    QLabel* objectPane_ = nullptr;
    QLabel* coordinatePane_ = nullptr;
    QLabel* zoomPane_ = nullptr;
    QLabel* summaryPane_ = nullptr;
};

}  // namespace vexo
