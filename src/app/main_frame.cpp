#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/elem_view.h"
#include "app/export.h"
#include "app/file_watcher.h"
#include "app/icons.h"
#include "app/output_wnd.h"
#include "app/page_setup_dialog.h"
#include "app/print_job.h"
#include "app/properties_wnd.h"
#include "app/resources.h"
#include "app/settings.h"
#include "app/svg_part_view.h"
#include "app/text_editor.h"
#include "app/vexo_doc.h"
#include "app/vexo_view.h"
#include "model/document.h"
#include "app/viewer_actions.h"
#include "model/message_log.h"
#include "render/render.h"

namespace vexo {
namespace {

const QString kFileFilter = QStringLiteral("SVG files (*.svg *.svgz);;All files (*)");

// A status-bar pane as wide as `sample` in the status bar's font.
QLabel* AddStatusPane(QStatusBar* bar, const QString& sample)
{
    auto* label = new QLabel(bar);
    label->setMinimumWidth(QFontMetrics(bar->font()).horizontalAdvance(sample) + 8);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(label);
    return label;
}

QDockWidget* MakeDock(const QString& title, const QString& objectName, QWidget* content, QWidget* parent)
{
    auto* dock = new QDockWidget(title, parent);
    dock->setObjectName(objectName);
    dock->setWidget(content);
    return dock;
}

}  // namespace

CMainFrame::CMainFrame(CVexoDoc& doc, CSettings& settings, QWidget* parent)
    : QMainWindow(parent), doc_(doc), settings_(settings), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    InitResources();
    setWindowIcon(ApplicationIcon());
    setAcceptDrops(true);
    view_ = new CVexoView(doc_, this);
    setCentralWidget(CreateCentre());
    new CReloadOnChange(doc_, *view_, this);

    CreateActions();
    viewerActions_ = new CViewerActions(*this, doc_, *view_, settings_, [this](const QString& path) { Open(path); });
    CViewerActions::AddZoomInKeys(*zoomInAction_);
    CreatePanes();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    RestoreLayout();

    connect(&doc_, &CVexoDoc::stateChanged, this, &CMainFrame::UpdateActions);
    connect(&doc_, &CVexoDoc::loaded, this, &CMainFrame::OnLoaded);
    connect(&doc_, &CVexoDoc::cleared, this, [this] {
        summaryPane_->clear();
        fileAccessBar_->hide();
    });
    UpdateActions();
    UpdateRecentFiles();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateActions()
{
    auto make = [this](const QString& text, const QKeySequence& key, auto slot) {
        auto* action = new QAction(text, this);
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    openAction_ = make(tr("&Open..."), QKeySequence::Open, [this] { OpenFile(); });
    reloadAction_ = make(tr("&Reload SVG File"), QKeySequence(Qt::Key_F5), [this] { doc_.Reload(); });
    stopAction_ = make(tr("&Stop loading"), QKeySequence(Qt::Key_Escape), [this] { doc_.StopLoading(); });
    editAction_ = make(tr("&Edit SVG file"), QKeySequence(Qt::CTRL | Qt::Key_E),
                       [this] { EditInTextEditor(this, doc_.Path()); });
    exitAction_ = make(tr("E&xit"), QKeySequence::Quit, [this] { close(); });
    exportAction_ = make(tr("E&xport..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { ExportDocument(); });
    printAction_ = make(tr("&Print..."), QKeySequence::Print, [this] { Print(); });
    printPreviewAction_ = make(tr("Print Pre&view..."), {}, [this] { PrintPreview(); });
    pageSetupAction_ = make(tr("Page Set&up..."), {}, [this] { PageSetup(); });
    copyAction_ = make(tr("&Copy"), QKeySequence::Copy, [this] { view_->Copy(); });
    fitAction_ = make(tr("&Fit Window"), QKeySequence(Qt::CTRL | Qt::Key_0), [this] { view_->FitWindow(); });
    zoomInAction_ = make(tr("Zoom &In"), QKeySequence::ZoomIn, [this] { view_->ZoomIn(); });
    zoomOutAction_ = make(tr("Zoom &Out"), QKeySequence::ZoomOut, [this] { view_->ZoomOut(); });
    scale100Action_ = make(tr("Scale &100%"), QKeySequence(Qt::CTRL | Qt::Key_1), [this] { view_->Scale100(); });
    pxUnitAction_ = make(tr("Use &px unit"), {}, [this](bool on) { view_->SetUsePxUnit(on); });
    pxUnitAction_->setCheckable(true);
    alternateFontsAction_ = make(tr("&Alternate fonts"), {}, [this](bool on) { doc_.SetAlternateFonts(on); });
    alternateFontsAction_->setCheckable(true);
    disableRasterAction_ =
        make(tr("&Disable raster effects"), {}, [this](bool on) { doc_.SetRasterEffectsDisabled(on); });
    disableRasterAction_->setCheckable(true);
    alwaysAllowFilesAction_ = make(tr("Always allow files &outside the document's folder"), {},
                                   [this](bool on) { doc_.SetAlwaysAllowAnyFile(on); });
    alwaysAllowFilesAction_->setCheckable(true);
    aboutAction_ = make(tr("&About Vexo..."), {}, [this] { ShowAbout(); });

    // The desktop's icon theme first, else the style's own picture where it
    // has one and our drawn picture where it has none.
    auto setIcon = [](QAction* action, const char* themeName, const QIcon& fallback) {
        action->setIcon(QIcon::fromTheme(QString::fromLatin1(themeName), fallback));
    };
    setIcon(openAction_, "document-open", style()->standardIcon(QStyle::SP_DialogOpenButton));
    setIcon(reloadAction_, "view-refresh", style()->standardIcon(QStyle::SP_BrowserReload));
    setIcon(stopAction_, "process-stop", style()->standardIcon(QStyle::SP_BrowserStop));
    setIcon(editAction_, "accessories-text-editor", style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    setIcon(zoomInAction_, "zoom-in", ToolBarIcon(ToolIcon::ZoomIn));
    setIcon(zoomOutAction_, "zoom-out", ToolBarIcon(ToolIcon::ZoomOut));
    setIcon(fitAction_, "zoom-fit-best", ToolBarIcon(ToolIcon::FitWindow));
    setIcon(scale100Action_, "zoom-original", ToolBarIcon(ToolIcon::Scale100));
    setIcon(copyAction_, "edit-copy", ToolBarIcon(ToolIcon::Copy));
    setIcon(exportAction_, "document-export", ToolBarIcon(ToolIcon::Export));
    setIcon(printAction_, "document-print", ToolBarIcon(ToolIcon::Print));
}

// The view, under a bar that appears when the document used files outside
// its folder and they were not loaded.
QWidget* CMainFrame::CreateCentre()
{
    auto* centre = new QWidget(this);
    auto* layout = new QVBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    fileAccessBar_ = new QFrame(centre);
    fileAccessBar_->setObjectName(QStringLiteral("FileAccessBar"));
    fileAccessBar_->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    fileAccessBar_->setAutoFillBackground(true);
    QPalette palette = fileAccessBar_->palette();
    palette.setColor(QPalette::Window, QColor(255, 244, 206));
    palette.setColor(QPalette::WindowText, Qt::black);
    fileAccessBar_->setPalette(palette);
    auto* barLayout = new QHBoxLayout(fileAccessBar_);
    barLayout->setContentsMargins(8, 4, 4, 4);
    fileAccessLabel_ = new QLabel(tr("This document uses files outside its folder"), fileAccessBar_);
    allowFilesButton_ = new QPushButton(tr("Allow for This Document"), fileAccessBar_);
    auto* closeButton = new QPushButton(tr("Dismiss"), fileAccessBar_);
    barLayout->addWidget(fileAccessLabel_, 1);
    barLayout->addWidget(allowFilesButton_);
    barLayout->addWidget(closeButton);
    connect(allowFilesButton_, &QPushButton::clicked, this, [this] { doc_.AllowAnyFileForThisDocument(); });
    connect(closeButton, &QPushButton::clicked, fileAccessBar_, &QWidget::hide);
    fileAccessBar_->hide();

    layout->addWidget(fileAccessBar_);
    layout->addWidget(view_, 1);
    return centre;
}

// Shown after a load that refused files outside the document's folder; the
// files are listed in its tool tip (and each in the message pane).
void CMainFrame::UpdateFileAccessBar()
{
    const QStringList refused = doc_.RefusedFiles();
    if (refused.isEmpty()) {
        fileAccessBar_->hide();
        return;
    }
    fileAccessLabel_->setToolTip(refused.join(QLatin1Char('\n')));
    fileAccessBar_->show();
}

void CMainFrame::CreatePanes()
{
    elemView_ = new CElemView(doc_, this);
    propertiesWnd_ = new CPropertiesWnd(doc_, this);
    outputWnd_ = new COutputWnd(doc_, this);
    partView_ = new CSvgPartView(doc_, settings_, this);
    addDockWidget(Qt::LeftDockWidgetArea, MakeDock(tr("Elements"), QStringLiteral("ElementTree"), elemView_, this));
    addDockWidget(Qt::RightDockWidgetArea,
                  MakeDock(tr("Properties"), QStringLiteral("Properties"), propertiesWnd_, this));
    addDockWidget(Qt::RightDockWidgetArea, MakeDock(tr("Part View"), QStringLiteral("PartView"), partView_, this));
    addDockWidget(Qt::BottomDockWidgetArea, MakeDock(tr("Output"), QStringLiteral("Output"), outputWnd_, this));
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(openAction_);
    recentMenu_ = file->addMenu(tr("Recent &Files"));
    file->addSeparator();
    file->addAction(reloadAction_);
    file->addAction(stopAction_);
    file->addAction(editAction_);
    file->addSeparator();
    file->addAction(exportAction_);
    file->addSeparator();
    file->addAction(printAction_);
    file->addAction(printPreviewAction_);
    file->addAction(pageSetupAction_);
    file->addSeparator();
    file->addAction(exitAction_);
    viewerActions_->AddToFileMenu(*file, exitAction_);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(copyAction_);

    viewMenu_ = menuBar()->addMenu(tr("&View"));
    viewMenu_->addAction(fitAction_);
    viewMenu_->addAction(zoomInAction_);
    viewMenu_->addAction(zoomOutAction_);
    viewMenu_->addAction(scale100Action_);
    viewMenu_->addSeparator();
    viewMenu_->addAction(pxUnitAction_);
    viewerActions_->AddToViewMenu(*viewMenu_);
    viewMenu_->addSeparator();
    for (QDockWidget* dock : findChildren<QDockWidget*>())
        viewMenu_->addAction(dock->toggleViewAction());

    QMenu* option = menuBar()->addMenu(tr("&Option"));
    QMenu* language = option->addMenu(tr("&Language"));
    languageGroup_ = new QActionGroup(this);
    for (const QString& choice : doc_.LanguageChoices()) {
        QAction* action = language->addAction(choice, this, [this, choice] { doc_.SetLanguage(choice); });
        action->setCheckable(true);
        languageGroup_->addAction(action);
    }
    QMenu* media = option->addMenu(tr("&Media"));
    mediaGroup_ = new QActionGroup(this);
    for (const QString& choice : doc_.MediaChoices()) {
        QAction* action = media->addAction(choice, this, [this, choice] { doc_.SetMedia(choice); });
        action->setCheckable(true);
        mediaGroup_->addAction(action);
    }
    option->addSeparator();
    option->addAction(alternateFontsAction_);
    option->addAction(disableRasterAction_);
    option->addSeparator();
    option->addAction(alwaysAllowFilesAction_);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(aboutAction_);
}

void CMainFrame::CreateToolBars()
{
    QToolBar* main = addToolBar(tr("Standard"));
    main->setObjectName(QStringLiteral("StandardToolBar"));
    main->addAction(openAction_);
    main->addAction(reloadAction_);
    main->addAction(stopAction_);
    main->addAction(copyAction_);
    main->addSeparator();
    main->addAction(fitAction_);
    main->addAction(zoomInAction_);
    main->addAction(zoomOutAction_);
    main->addAction(scale100Action_);
    QToolBar* zoom = viewerActions_->AddZoomToolBar();

    QToolBar* selectors = addToolBar(tr("Selectors"));
    selectors->setObjectName(QStringLiteral("SelectorToolBar"));
    auto addSelector = [&](const QString& label, const QStringList& choices, auto choose) {
        selectors->addWidget(new QLabel(label + QLatin1Char(' '), selectors));
        auto* box = new QComboBox(selectors);
        box->addItems(choices);
        selectors->addWidget(box);
        selectors->addSeparator();
        // Only a user's choice reloads; programmatic updates use setCurrentIndex.
        connect(box, &QComboBox::activated, this, [box, choose](int index) { choose(box->itemText(index)); });
        return box;
    };
    languageBox_ = addSelector(QStringLiteral("lang"), doc_.LanguageChoices(),
                               [this](const QString& value) { doc_.SetLanguage(value); });
    mediaBox_ = addSelector(QStringLiteral("media"), doc_.MediaChoices(),
                            [this](const QString& value) { doc_.SetMedia(value); });
    filterResolutionBox_ = addSelector(QStringLiteral("Filter Resolution"), CVexoDoc::FilterResolutionChoices(),
                                       [this](const QString& value) { doc_.SetFilterResolution(value); });
    viewMenu_->addSeparator();
    viewMenu_->addAction(main->toggleViewAction());
    viewMenu_->addAction(selectors->toggleViewAction());
    viewMenu_->addAction(zoom->toggleViewAction());
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    // A pane of its own: menu hints pass over it without wiping it.
    summaryPane_ = new QLabel(bar);
    bar->addWidget(summaryPane_, 1);
    objectPane_ = AddStatusPane(bar, QStringLiteral("object info"));
    coordinatePane_ = AddStatusPane(bar, QStringLiteral("X=00000 Y=00000"));
    zoomPane_ = AddStatusPane(bar, QStringLiteral("Scale: 0000%"));
    zoomPane_->setText(view_->ZoomText());
    connect(view_, &CVexoView::elementNameChanged, objectPane_, &QLabel::setText);
    connect(view_, &CVexoView::coordinatesChanged, coordinatePane_, &QLabel::setText);
    connect(partView_, &CSvgPartView::coordinatesChanged, coordinatePane_, &QLabel::setText);
    connect(view_, &CVexoView::zoomChanged, zoomPane_, &QLabel::setText);
}

void CMainFrame::RestoreLayout()
{
    const QString geometry = settings_.Read(QStringLiteral("UI"), QStringLiteral("GEOMETRY"));
    if (geometry != QLatin1String("*"))
        restoreGeometry(QByteArray::fromBase64(geometry.toLatin1()));
    else
        resize(1100, 750);
    // The left column runs down to the status bar; the messages sit under
    // the picture only.
    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
    const QString state = settings_.Read(QStringLiteral("UI"), QStringLiteral("STATE"));
    if (state != QLatin1String("*"))
        restoreState(QByteArray::fromBase64(state.toLatin1()));
    else
        FirstLayout();
}

// The picture gets most of the window: the element tree, the attributes and
// the part view in one column on the left, and a short message pane under
// the picture only.
void CMainFrame::FirstLayout()
{
    auto* elements = findChild<QDockWidget*>(QStringLiteral("ElementTree"));
    auto* properties = findChild<QDockWidget*>(QStringLiteral("Properties"));
    auto* partView = findChild<QDockWidget*>(QStringLiteral("PartView"));
    auto* output = findChild<QDockWidget*>(QStringLiteral("Output"));
    if (elements == nullptr || properties == nullptr || partView == nullptr || output == nullptr)
        return;
    splitDockWidget(elements, properties, Qt::Vertical);
    splitDockWidget(properties, partView, Qt::Vertical);
    resizeDocks({elements}, {300}, Qt::Horizontal);
    resizeDocks({elements, properties, partView, output}, {250, 220, 230, 100}, Qt::Vertical);
}

void CMainFrame::SaveLayout()
{
    settings_.Write(QStringLiteral("UI"), QStringLiteral("GEOMETRY"), QString::fromLatin1(saveGeometry().toBase64()));
    settings_.Write(QStringLiteral("UI"), QStringLiteral("STATE"), QString::fromLatin1(saveState().toBase64()));
}

void CMainFrame::SelectChoice(QComboBox* box, QActionGroup* group, const QString& value)
{
    box->setCurrentIndex(box->findText(value));
    if (group == nullptr)
        return;
    for (QAction* action : group->actions())
        action->setChecked(action->text() == value);
}

void CMainFrame::UpdateActions()
{
    const bool hasPath = !doc_.Path().isEmpty();
    const bool loaded = doc_.State() == svg::DocumentState::Loaded && !doc_.Loading();
    reloadAction_->setEnabled(hasPath);
    stopAction_->setEnabled(doc_.State() == svg::DocumentState::Loading);
    editAction_->setEnabled(hasPath);
    for (QAction* action : {copyAction_, fitAction_, zoomInAction_, zoomOutAction_, scale100Action_, exportAction_,
                            printAction_, printPreviewAction_})
        action->setEnabled(loaded && doc_.Picture() != nullptr);
    alternateFontsAction_->setChecked(doc_.AlternateFonts());
    disableRasterAction_->setChecked(doc_.RasterEffectsDisabled());
    alwaysAllowFilesAction_->setChecked(doc_.AlwaysAllowAnyFile());
    pxUnitAction_->setChecked(view_->UsePxUnit());
    viewerActions_->UpdateActions();
    SelectChoice(languageBox_, languageGroup_, doc_.Language());
    SelectChoice(mediaBox_, mediaGroup_, doc_.Media());
    SelectChoice(filterResolutionBox_, nullptr, doc_.FilterResolution());
    UpdateTitle();
}

void CMainFrame::UpdateTitle()
{
    const QString name = doc_.Path().isEmpty() ? tr("Untitled") : QFileInfo(doc_.Path()).fileName();
    setWindowTitle(name + QStringLiteral(" - Vexo"));
}

void CMainFrame::UpdateRecentFiles()
{
    recentMenu_->clear();
    const QStringList files = settings_.RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        const QString text = QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName());
        QAction* action = recentMenu_->addAction(text, this, [this, path] { Open(path); });
        action->setStatusTip(path);
    }
    recentMenu_->setEnabled(!files.isEmpty());
}

void CMainFrame::OnLoaded()
{
    summaryPane_->setText(QString::fromStdString(doc_.Log().Summary()));
    UpdateFileAccessBar();
    UpdateActions();
}

void CMainFrame::OpenFile()
{
    QString directory = settings_.Read(QStringLiteral("DIR"), QStringLiteral("LASTOPEN"));
    if (directory == QLatin1String("*"))
        directory.clear();
    const QString path = QFileDialog::getOpenFileName(this, tr("Open"), directory, kFileFilter);
    if (!path.isEmpty())
        Open(path);
}

void CMainFrame::Open(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists())
        settings_.AddRecentFile(file.absoluteFilePath());
    else
        settings_.RemoveRecentFile(path);
    doc_.Open(path);
    UpdateRecentFiles();
}

void CMainFrame::ExportDocument()
{
    const svg::CPicture* picture = doc_.Picture();
    if (picture == nullptr || doc_.Loading())
        return;
    const QString name = doc_.Path().isEmpty() ? QStringLiteral("picture") : QFileInfo(doc_.Path()).completeBaseName();
    ExportWithDialog(this, settings_, *picture, name + QStringLiteral(".pdf"));
}

PrintSource CMainFrame::CurrentPrintSource() const
{
    PrintSource source;
    if (doc_.Loading())
        return source;
    source.picture = doc_.Picture();
    // The root's own `title` attribute, not a title element's text.
    if (const svg::CElemDocument* root = doc_.Root())
        if (const std::string* title = root->attributes.Value(std::string_view("title")))
            source.title = QString::fromStdString(*title);
    return source;
}

void CMainFrame::Print()
{
    const PrintSource source = CurrentPrintSource();
    if (source.picture == nullptr)
        return;
    const PrintSettings print = ReadPrintSettings(settings_);
    ApplyToPrinter(print, *printer_);
    QPrintDialog dialog(printer_.get(), this);
    if (dialog.exec() == QDialog::Accepted)
        PrintPages(*printer_, source, print, false);
}

void CMainFrame::PrintPreview()
{
    if (CurrentPrintSource().picture == nullptr)
        return;
    ApplyToPrinter(ReadPrintSettings(settings_), *printer_);
    QPrintPreviewDialog dialog(printer_.get(), this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) {
        PrintPages(*printer, CurrentPrintSource(), ReadPrintSettings(settings_), true);
    });
    dialog.exec();
}

void CMainFrame::PageSetup() { RunPageSetup(this, settings_, CurrentPrintSource().picture, *printer_); }

void CMainFrame::ShowAbout()
{
    QMessageBox::about(this, tr("About Vexo"),
                       tr("<h3>Vexo %1</h3><p>A viewer and renderer for static SVG 1.1 documents.</p>")
                           .arg(QApplication::applicationVersion()));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    SaveLayout();
    // X11 clipboards die with their owner: what was copied is rendered now,
    // while the picture still exists.
    view_->RenderClipboardNow();
    doc_.StopLoading();
    QMainWindow::closeEvent(event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            Open(url.toLocalFile());
            event->acceptProposedAction();
            return;
        }
    }
}

}  // namespace vexo
