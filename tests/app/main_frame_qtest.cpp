// The main window as a user drives it: opening a file fits it, the zoom
// commands and the zoom pane, the selectors that write their setting and
// reload, stop and reload, drop, the recent-file list, and a picture on
// every tool bar button.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/main_frame.h"
#include "app/print_job.h"
#include "app/svg_part_view.h"
#include "app/settings.h"
#include "app/vexo_doc.h"
#include "app/vexo_view.h"
#include "model/document.h"
#include "model/references.h"

using vexo::CMainFrame;
using vexo::test::FindAction;
using vexo::CVexoDoc;
using vexo::CSettings;

namespace {

const QByteArray kDocument =
    "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50'>"
    "<style media='print'>rect { fill: red }</style>"
    "<rect id='r' x='10' y='10' width='30' height='20' fill='blue'/></svg>";

}  // namespace

class MainFrameTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void init()
    {
        MakeDocument();
        frame_ = std::make_unique<CMainFrame>(*doc_, *settings_);
        frame_->resize(900, 600);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void cleanup()
    {
        frame_.reset();
        DropDocument();
    }

    void openFitsAndZoomsWithTheZoomPane()
    {
        frame_->Open(env_->WriteFile("a.svg", kDocument));
        doc_->WaitForLoad();
        vexo::CVexoView* view = frame_->View();
        const QSize client = view->viewport()->size();
        const float expected = std::min((client.height() - 15) / 50.0f / 1.2f, (client.width() - 21) / 100.0f / 1.2f);
        QCOMPARE(view->Scale(), expected);
        FindAction(frame_.get(), "Scale 100%")->trigger();
        QCOMPARE(frame_->ZoomPane()->text(), QString("Scale: 100%"));
        for (int i = 0; i < 3; ++i)
            FindAction(frame_.get(), "Zoom In")->trigger();
        QCOMPARE(frame_->ZoomPane()->text(), QString("Scale: 337%"));
        QVERIFY(frame_->windowTitle().startsWith("a.svg"));
        QVERIFY(FindAction(frame_.get(), "Copy")->isEnabled());
    }

    void selectorsShowTheSettingsAndReload()
    {
        QCOMPARE(frame_->LanguageSelector()->currentText(), QString("ja"));
        QCOMPARE(frame_->MediaSelector()->currentText(), QString("screen"));
        QCOMPARE(frame_->FilterResolutionSelector()->currentText(), QString("x1.5"));
        QCOMPARE(frame_->FilterResolutionSelector()->count(), 5);

        frame_->Open(env_->WriteFile("m.svg", kDocument));
        doc_->WaitForLoad();
        QSignalSpy loaded(doc_.get(), &CVexoDoc::loaded);
        QComboBox* media = frame_->MediaSelector();
        emit media->activated(media->findText("print"));
        doc_->WaitForLoad();
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(settings_->Read("MISC", "MEDIA"), QString("print"));
        const svg::CElem* rect = Find("#r");
        QCOMPARE(int(rect->props.fillBrush->color.r), 255);
        // The Option menu's Media entries follow.
        QAction* print = FindAction(frame_.get(), "print");
        QVERIFY(print != nullptr && print->isChecked());
    }

    void stopAndReloadFollowTheState()
    {
        QAction* reload = FindAction(frame_.get(), "Reload SVG File");
        QAction* stop = FindAction(frame_.get(), "Stop loading");
        QVERIFY(!reload->isEnabled());
        QVERIFY(!stop->isEnabled());
        QCOMPARE(reload->shortcut(), QKeySequence(Qt::Key_F5));
        frame_->Open(env_->WriteFile("big.svg", vexo::test::ManyRects(30000)));
        QVERIFY(reload->isEnabled());
        QVERIFY(stop->isEnabled());
        stop->trigger();
        QCOMPARE(doc_->State(), svg::DocumentState::Idle);
        QVERIFY(!stop->isEnabled());
        reload->trigger();
        doc_->WaitForLoad();
        QCOMPARE(doc_->State(), svg::DocumentState::Loaded);
    }

    void aBarOffersTheFilesOutsideTheDocumentsFolder()
    {
        env_->WriteFile("styles/s.css", "rect { fill: red }");
        const QString path = env_->WriteFile(
            "home/doc.svg", "<?xml-stylesheet href='../styles/s.css'?>" + kDocument);
        QAction* always = FindAction(frame_.get(), "Always allow files outside the document's folder");
        QVERIFY(always != nullptr && !always->isChecked());

        frame_->Open(path);
        doc_->WaitForLoad();
        QVERIFY(frame_->FileAccessBar()->isVisible());
        QCOMPARE(doc_->RefusedFiles(), QStringList{env_->Path("styles/s.css")});
        QCOMPARE(int(Find("#r")->props.fillBrush->color.b), 255);

        // Allowed for this document: it reloads with the sheet, and the bar goes.
        frame_->AllowFilesButton()->click();
        doc_->WaitForLoad();
        QVERIFY(!frame_->FileAccessBar()->isVisible());
        QCOMPARE(int(Find("#r")->props.fillBrush->color.r), 255);
        QVERIFY(!always->isChecked());
        QCOMPARE(settings_->Read("MISC", "ALLOW_ANY_FILE"), QString("0"));

        // Another document starts confined again ...
        frame_->Open(env_->WriteFile("home/other.svg", "<?xml-stylesheet href='../styles/s.css'?>" + kDocument));
        doc_->WaitForLoad();
        QVERIFY(frame_->FileAccessBar()->isVisible());
        // ... unless the setting allows every document.
        always->trigger();
        doc_->WaitForLoad();
        QCOMPARE(settings_->Read("MISC", "ALLOW_ANY_FILE"), QString("1"));
        QVERIFY(always->isChecked());
        QVERIFY(!frame_->FileAccessBar()->isVisible());
        QVERIFY(doc_->RefusedFiles().isEmpty());
    }

    void everyToolBarButtonHasAPictureWithoutAnIconTheme()
    {
        // A bare desktop: no theme can be found (an empty search list would
        // mean the system's folders again).
        const QStringList searchPaths = QIcon::themeSearchPaths();
        const QString themeName = QIcon::themeName();
        QIcon::setThemeSearchPaths({env_->Path(QStringLiteral("no-icons"))});
        QIcon::setThemeName(QStringLiteral("none"));
        CMainFrame bare(*doc_, *settings_);
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(themeName);

        auto* toolBar = bare.findChild<QToolBar*>(QStringLiteral("StandardToolBar"));
        QVERIFY(toolBar != nullptr);
        for (QAction* action : toolBar->actions()) {
            if (!action->isSeparator())
                QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
        }
    }

    void dropOpensTheFirstLocalFileAndRemembersIt()
    {
        const QString path = env_->WriteFile("dropped.svg", kDocument);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        // A drop is only delivered where a drag has entered.
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame_.get(), &drop);
        doc_->WaitForLoad();
        QCOMPARE(doc_->Path(), path);
        QCOMPARE(settings_->RecentFiles().first(), path);
    }

    void settingsFileHoldsTheDefaultsAfterStart()
    {
        CSettings reread(env_->IniPath());
        QFile file(env_->IniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const char* line : {"SYSTEM_LANGUAGE_LIST=ar,de,el,en,eo,es,fr,ja,ko,la,ms,ru,zh", "ENABLE=1",
                                 "FONTS='Arial','MS UI Gothic'", "DISABLE_RASTER=0", "FILTER_RES=x1.5"})
            QVERIFY2(text.contains(line), line);
    }

    void fileMenuExportsAndPrintsTheLoadedDocument()
    {
        for (const char* text : {"Export...", "Print...", "Print Preview..."})
            QVERIFY2(!FindAction(frame_.get(), text)->isEnabled(), text);
        QCOMPARE(frame_->CurrentPrintSource().picture, nullptr);
        frame_->Open(env_->WriteFile("t.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10' "
                                              "title='From the attribute'><title>From the element</title></svg>"));
        doc_->WaitForLoad();
        for (const char* text : {"Export...", "Print...", "Print Preview...", "Page Setup..."})
            QVERIFY2(FindAction(frame_.get(), text)->isEnabled(), text);
        const vexo::PrintSource source = frame_->CurrentPrintSource();
        QVERIFY(source.picture != nullptr);
        QCOMPARE(source.title, QString("From the attribute"));
    }

    void selectingInTheTreeShowsThePartInThePartView()
    {
        frame_->Open(env_->WriteFile("p.svg", kDocument));
        doc_->WaitForLoad();
        QSignalSpy drawn(frame_->PartView(), &vexo::CSvgPartView::pictureChanged);
        doc_->SelectElement(Find("#r"));
        QVERIFY(drawn.wait(5000));
        QVERIFY(frame_->PartView()->HasPicture());
        QCOMPARE(frame_->PartView()->Extent()->width, 30.f);
    }

private:
    std::unique_ptr<CMainFrame> frame_;
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_qtest.moc"
