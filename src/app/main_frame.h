// The main window: menus, tool bars with the language, media and filter
// resolution selectors, the status bar, the main view in the centre and the
// element tree, attribute grid and message panes docked around it. It turns
// user commands into calls on the document and keeps every action's enabled
// and ticked state in step with the document.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;

namespace vexo {

class CVexoDoc;
class CVexoView;
class CElemView;
class CPropertiesWnd;
class COutputWnd;
class CSettings;
class CSvgPartView;
struct PrintSource;
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
    CSvgPartView* PartView() const { return partView_; }
    // The printer that Print, Print Preview and Page Setup share.
    QPrinter& Printer() const { return *printer_; }
    QComboBox* LanguageSelector() const { return languageBox_; }
    QComboBox* MediaSelector() const { return mediaBox_; }
    QComboBox* FilterResolutionSelector() const { return filterResolutionBox_; }
    QLabel* ZoomPane() const { return zoomPane_; }
    QLabel* CoordinatePane() const { return coordinatePane_; }
    QLabel* ObjectPane() const { return objectPane_; }
    // The bar above the view that says the document uses files outside its
    // folder, with a button that allows them for this document.
    QFrame* FileAccessBar() const { return fileAccessBar_; }
    QPushButton* AllowFilesButton() const { return allowFilesButton_; }
    QLabel* SummaryPane() const { return summaryPane_; }

    // The commands, also reachable from menus, tool bars and keys.
    void OpenFile();
    void Open(const QString& path);
    // The whole document's picture into a file chosen in the save dialog.
    void ExportDocument();
    void Print();
    void PrintPreview();
    void PageSetup();
    // What Print and Print Preview take: the loaded document's picture (none
    // while it loads) and its root's `title` attribute.
    PrintSource CurrentPrintSource() const;

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
    QWidget* CreateCentre();
    void UpdateFileAccessBar();
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
    CSvgPartView* partView_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    CViewerActions* viewerActions_ = nullptr;

    QAction* openAction_ = nullptr;
    QAction* reloadAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QAction* editAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* printAction_ = nullptr;
    QAction* printPreviewAction_ = nullptr;
    QAction* pageSetupAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* fitAction_ = nullptr;
    QAction* zoomInAction_ = nullptr;
    QAction* zoomOutAction_ = nullptr;
    QAction* scale100Action_ = nullptr;
    QAction* pxUnitAction_ = nullptr;
    QAction* alternateFontsAction_ = nullptr;
    QAction* disableRasterAction_ = nullptr;
    QAction* alwaysAllowFilesAction_ = nullptr;
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
    QFrame* fileAccessBar_ = nullptr;
    QLabel* fileAccessLabel_ = nullptr;
    QPushButton* allowFilesButton_ = nullptr;
    QLabel* summaryPane_ = nullptr;
};

}  // namespace vexo
