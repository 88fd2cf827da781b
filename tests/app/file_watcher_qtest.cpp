// Reloading on change: the ways editors save (in place, write to a
// temporary file and rename, several writes in a burst), the view and
// selection kept across the reload, and a vanished file.
#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <cstdio>

#include "app/app_test_support.h"
#include "app/file_watcher.h"
#include "app/vexo_view.h"
#include "model/elem.h"

using vexo::CReloadOnChange;
using vexo::CVexoDoc;
using vexo::CVexoView;

namespace {

QByteArray Drawing(const char* fill)
{
    return QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='400' height='300'>"
                      "<rect id='box' x='10' y='10' width='30' height='20' fill='") +
           fill + "'/><g><circle cx='100' cy='100' r='20'/></g></svg>";
}

bool WriteAll(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

}  // namespace

class FileWatcherTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void init()
    {
        MakeDocument();
        view_ = std::make_unique<CVexoView>(*doc_);
        view_->resize(640, 480);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        follower_ = std::make_unique<CReloadOnChange>(*doc_, *view_);
        path_ = env_->WriteFile("drawing.svg", Drawing("red"));
        vexo::test::OpenAndWait(*doc_, path_);
        QCOMPARE(follower_->Watcher().Path(), path_);
    }

    void cleanup()
    {
        follower_.reset();
        view_.reset();
        DropDocument();
    }

    void savesReloadOnceKeepingTheView_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("select");
        QTest::newRow("in place") << "in place" << "#box";
        QTest::newRow("temporary file renamed over") << "rename" << "#box";
        QTest::newRow("burst of writes") << "burst" << "#box";
        // No id: found again by its place in the tree.
        QTest::newRow("element without id") << "rename" << "circle";
    }

    void savesReloadOnceKeepingTheView()
    {
        QFETCH(QString, how);
        QFETCH(QString, select);
        view_->ZoomIn();
        view_->ZoomIn();
        view_->SetScaleAndOrigin(view_->Scale(), view_->Origin() + QPoint(-37, 12));
        const float scale = view_->Scale();
        const QPoint origin = view_->Origin();
        doc_->SelectElement(Selectable(select));
        QVERIFY(doc_->Selected() != nullptr);

        QSignalSpy loads(doc_.get(), &CVexoDoc::loaded);
        if (how == "in place") {
            QVERIFY(WriteAll(path_, Drawing("green")));
        } else if (how == "rename") {
            const QString temporary = env_->Path("drawing.svg.tmp");
            QVERIFY(WriteAll(temporary, Drawing("green")));
            QVERIFY(std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path_).constData()) == 0);
        } else {
            for (const char* fill : {"blue", "yellow", "green"}) {
                QVERIFY(WriteAll(path_, Drawing(fill)));
                QTest::qWait(20);
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 1, 5000);
        doc_->WaitForLoad();
        QTest::qWait(2 * CFileWatcherDebounceMs());
        QCOMPARE(loads.size(), 1);

        QCOMPARE(*Selectable("#box")->GetAttribute(svg::AttributeId::fill, false), std::string("green"));
        QCOMPARE(view_->Scale(), scale);
        QCOMPARE(view_->Origin(), origin);
        QVERIFY(doc_->Selected() == Selectable(select));

        // The watch goes on after a rename: the next save reloads too.
        QVERIFY(WriteAll(path_, Drawing("black")));
        QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 2, 5000);
    }

    void aBrokenSaveThenAGoodOneStillKeepsTheView()
    {
        view_->ZoomIn();
        const float scale = view_->Scale();
        const QPoint origin = view_->Origin();
        QSignalSpy loads(doc_.get(), &CVexoDoc::loaded);
        QVERIFY(WriteAll(path_, "<svg xmlns='http://www.w3.org/2000/svg'><rect"));
        QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 1, 5000);
        doc_->WaitForLoad();
        QVERIFY(doc_->Picture() == nullptr);
        QVERIFY(WriteAll(path_, Drawing("green")));
        QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 2, 5000);
        doc_->WaitForLoad();
        QCOMPARE(view_->Scale(), scale);
        QCOMPARE(view_->Origin(), origin);
    }

    void vanishedFileKeepsThePictureWithAMessage()
    {
        QSignalSpy loads(doc_.get(), &CVexoDoc::loaded);
        QVERIFY(QFile::remove(path_));
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromStdString(doc_->Log().LogText()).contains("has gone"), 5000);
        QVERIFY(doc_->Picture() != nullptr);
        QCOMPARE(loads.size(), 0);

        // It comes back: reloaded.
        QVERIFY(WriteAll(path_, Drawing("green")));
        QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 1, 5000);
    }

    void anotherFileIsWatchedAfterOpen()
    {
        const QString other = env_->WriteFile("other.svg", Drawing("blue"));
        vexo::test::OpenAndWait(*doc_, other);
        QCOMPARE(follower_->Watcher().Path(), other);
        QSignalSpy loads(doc_.get(), &CVexoDoc::loaded);
        QVERIFY(WriteAll(path_, Drawing("green")));  // the old file: ignored
        QTest::qWait(3 * CFileWatcherDebounceMs());
        QCOMPARE(loads.size(), 0);
    }

private:
    static int CFileWatcherDebounceMs() { return vexo::CFileWatcher::kDebounceMs; }

    // "#id", or the first element of that name.
    const svg::CElem* Selectable(const QString& what) const
    {
        if (what.startsWith('#'))
            return Find(what.toStdString());
        for (const svg::CElem* group : doc_->Root()->Children())
            for (const svg::CElem* child : group->Children())
                if (child->Name() == what.toStdString())
                    return child;
        return nullptr;
    }

    std::unique_ptr<CVexoView> view_;
    std::unique_ptr<CReloadOnChange> follower_;
    QString path_;
};

QTEST_MAIN(FileWatcherTest)
#include "file_watcher_qtest.moc"
