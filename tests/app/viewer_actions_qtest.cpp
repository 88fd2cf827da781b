// The daily-viewing commands in the main window: more zoom keys, the zoom
// entry, next and previous file of the folder, Close, the checkerboard, and
// the load summary that menu hints do not wipe.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/main_frame.h"
#include "app/vexo_view.h"
#include "app/zoom_entry.h"

using vexo::CMainFrame;
using vexo::test::FindAction;

namespace {

const QByteArray kDocument = "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50'>"
                             "<rect x='10' y='10' width='30' height='20' fill='blue'/></svg>";

}  // namespace

class ViewerActionsTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void init()
    {
        MakeDocument();
        frame_ = std::make_unique<CMainFrame>(*doc_, *settings_);
        frame_->resize(900, 600);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        for (const char* name : {"b.svg", "a.svg", "c.svgz.txt", "c.svg"})
            env_->WriteFile(QString::fromLatin1(name), kDocument);
        vexo::test::OpenAndWait(*doc_, env_->Path("a.svg"));
    }

    void cleanup()
    {
        frame_.reset();
        DropDocument();
    }

    void zoomKeys()
    {
        for (const QKeyCombination key : {Qt::CTRL | Qt::Key_Equal, Qt::CTRL | Qt::Key_Plus}) {
            const float before = frame_->View()->Scale();
            QTest::keyClick(frame_.get(), key.key(), key.keyboardModifiers());
            QCOMPARE(frame_->View()->Scale(), before * 1.5f);
        }
    }

    void zoomEntry()
    {
        const struct {
            const char* text;
            double percent;  // 0: refused
        } kCases[] = {{"150", 150}, {" 33.5 % ", 33.5}, {"250%", 250}, {"", 0},
                      {"abc", 0},   {"0", 0},           {"-20%", 0},  {"nan", 0}};
        for (const auto& test : kCases) {
            const std::optional<double> parsed = vexo::ParseZoomPercent(QString::fromLatin1(test.text));
            QCOMPARE(parsed.value_or(0), test.percent);
        }

        auto* entry = frame_->findChild<vexo::CZoomEntry*>();
        QVERIFY(entry != nullptr);
        entry->lineEdit()->selectAll();
        QTest::keyClicks(entry->lineEdit(), "250");
        QTest::keyClick(entry->lineEdit(), Qt::Key_Return);
        QCOMPARE(frame_->View()->Scale(), 2.5f);
        QCOMPARE(entry->lineEdit()->text(), QString("250%"));
        // A zoom by other means shows in the entry; a refused entry shows it again.
        frame_->View()->ZoomIn();
        QCOMPARE(entry->lineEdit()->text(), QString("375%"));
        entry->lineEdit()->setText("zoom!");
        QTest::keyClick(entry->lineEdit(), Qt::Key_Return);
        QCOMPARE(frame_->View()->Scale(), 3.75f);
        QCOMPARE(entry->lineEdit()->text(), QString("375%"));
    }

    void pageKeysBrowseTheFolder()
    {
        const struct {
            Qt::Key key;
            const char* expected;
        } kSteps[] = {{Qt::Key_PageDown, "b.svg"}, {Qt::Key_PageDown, "c.svg"}, {Qt::Key_PageDown, "a.svg"},
                      {Qt::Key_PageUp, "c.svg"}};
        for (const auto& step : kSteps) {
            QTest::keyClick(frame_.get(), step.key);
            QCOMPARE(QFileInfo(doc_->Path()).fileName(), QString::fromLatin1(step.expected));
            doc_->WaitForLoad();
        }
        // The mouse's back button goes back too.
        QTest::mouseClick(frame_->View()->viewport(), Qt::BackButton, Qt::NoModifier, QPoint(50, 50));
        QCOMPARE(QFileInfo(doc_->Path()).fileName(), QString("b.svg"));
        doc_->WaitForLoad();
    }

    void closeAndCheckerboard()
    {
        QAction* checkerboard = FindAction(frame_.get(), "Checkerboard Background");
        QVERIFY(checkerboard != nullptr);
        checkerboard->trigger();
        QVERIFY(frame_->View()->Checkerboard());
        QCOMPARE(settings_->Read("VIEW", "CHECKERBOARD"), QString("1"));

        QTest::keyClick(frame_.get(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(doc_->Path().isEmpty());
        QVERIFY(doc_->Picture() == nullptr);
    }

    void summaryOutlivesMenuHints()
    {
        QCOMPARE(frame_->SummaryPane()->text(), QString("No Errors"));
        frame_->statusBar()->showMessage("Opens a file");
        frame_->statusBar()->clearMessage();
        QCOMPARE(frame_->SummaryPane()->text(), QString("No Errors"));
    }

private:
    std::unique_ptr<CMainFrame> frame_;
};

QTEST_MAIN(ViewerActionsTest)
#include "viewer_actions_qtest.moc"
