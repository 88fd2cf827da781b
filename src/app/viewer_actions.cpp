#include "app/viewer_actions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>

#include "app/folder_browser.h"
#include "app/settings.h"
#include "app/vexo_doc.h"
#include "app/vexo_view.h"
#include "app/zoom_entry.h"

namespace vexo {
namespace {

const QString kView = QStringLiteral("VIEW");
const QString kCheckerboard = QStringLiteral("CHECKERBOARD");

}  // namespace

CViewerActions::CViewerActions(QMainWindow& window, CVexoDoc& doc, CVexoView& view, CSettings& settings,
                               std::function<void(const QString&)> open)
    : QObject(&window), window_(window), doc_(doc), view_(view), settings_(settings), open_(std::move(open))
{
    auto make = [this](const QString& text, const QKeySequence& key, auto slot) {
        auto* action = new QAction(text, &window_);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        // Also in full screen, where menus and tool bars may be hidden.
        window_.addAction(action);
        return action;
    };
    nextFile_ = make(tr("&Next File"), QKeySequence(Qt::Key_PageDown), [this] { Browse(1); });
    previousFile_ = make(tr("&Previous File"), QKeySequence(Qt::Key_PageUp), [this] { Browse(-1); });
    close_ = make(tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_W), [this] { doc_.Close(); });
    fullScreen_ = make(tr("F&ull Screen"), QKeySequence(Qt::Key_F11), [this](bool on) {
        window_.setWindowState(on ? window_.windowState() | Qt::WindowFullScreen
                                  : window_.windowState() & ~Qt::WindowFullScreen);
    });
    fullScreen_->setCheckable(true);
    checkerboard_ = make(tr("C&heckerboard Background"), {}, [this](bool on) {
        view_.SetCheckerboard(on);
        settings_.Write(kView, kCheckerboard, on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    checkerboard_->setCheckable(true);
    const bool checkerboard = settings_.Read(kView, kCheckerboard) == QLatin1String("1");
    checkerboard_->setChecked(checkerboard);
    view_.SetCheckerboard(checkerboard);
    connect(&view_, &CVexoView::browseRequested, this, &CViewerActions::Browse);
    UpdateActions();
}

void CViewerActions::AddZoomInKeys(QAction& zoomIn)
{
    QList<QKeySequence> keys = zoomIn.shortcuts();
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)})
        if (!keys.contains(key))
            keys.append(key);
    zoomIn.setShortcuts(keys);
}

void CViewerActions::AddToFileMenu(QMenu& file, QAction* before)
{
    file.insertAction(before, nextFile_);
    file.insertAction(before, previousFile_);
    file.insertAction(before, close_);
    file.insertSeparator(before);
}

void CViewerActions::AddToViewMenu(QMenu& view)
{
    view.addSeparator();
    view.addAction(fullScreen_);
    view.addAction(checkerboard_);
}

QToolBar* CViewerActions::AddZoomToolBar()
{
    QToolBar* bar = window_.addToolBar(tr("Zoom"));
    bar->setObjectName(QStringLiteral("ZoomToolBar"));
    bar->addWidget(new CZoomEntry(view_, bar));
    return bar;
}

void CViewerActions::Browse(int step)
{
    if (doc_.Path().isEmpty())
        return;
    const QString next = NeighbourSvgFile(doc_.Path(), step);
    if (!next.isEmpty())
        open_(next);
}

void CViewerActions::UpdateActions()
{
    const bool hasPath = !doc_.Path().isEmpty();
    nextFile_->setEnabled(hasPath);
    previousFile_->setEnabled(hasPath);
    close_->setEnabled(hasPath);
    fullScreen_->setChecked(window_.isFullScreen());
}

}  // namespace vexo
