// The message pane: lines taken from the log without loss or repeats across
// loads, colours by severity, double-clicking a located message, Copy and
// Clear.
#include <QClipboard>
#include <QListWidget>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/output_wnd.h"
#include "app/settings.h"
#include "app/vexo_doc.h"
#include "model/elem.h"
#include "model/message_log.h"

using vexo::COutputWnd;
using vexo::CVexoDoc;
using vexo::CSettings;
using vexo::test::OpenAndWait;

namespace {

// `a` is reported as unsupported, with the location of its start tag.
const QByteArray kDocument =
    "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>\n"
    "<rect width='1' height='1'/>\n"
    "  <a id='anchor'><rect width='1' height='1'/></a>\n"
    "</svg>";

QStringList Lines(const QListWidget& list)
{
    QStringList lines;
    for (int row = 0; row < list.count(); ++row)
        lines.append(list.item(row)->text());
    return lines;
}

}  // namespace

class OutputWndTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void init()
    {
        MakeDocument();
        output_ = std::make_unique<COutputWnd>(*doc_);
    }

    void cleanup()
    {
        output_.reset();
        DropDocument();
    }

    void linesArriveOnceAndInColour()
    {
        svg::CMessageLog& log = doc_->Log();
        log.Add("I Opening file a.svg");
        log.Add("E bad value at 2(3)");
        output_->Poll();
        log.Add("W odd value at 4(1)");
        log.Add("F File x:can NOT open");
        output_->Poll();
        output_->Poll();
        const QListWidget& list = *output_->List();
        QCOMPARE(Lines(list), QStringList({"I Opening file a.svg", "E bad value at 2(3)", "W odd value at 4(1)",
                                           "F File x:can NOT open"}));
        QCOMPARE(list.item(0)->foreground().color(), QColor(0, 0, 0));
        QCOMPARE(list.item(1)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(list.item(2)->foreground().color(), QColor(0, 128, 0));
        QCOMPARE(list.item(3)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(list.currentRow(), 3);
        QVERIFY(list.item(3)->isSelected());
    }

    void eachLoadStartsAFreshList()
    {
        const QString path = env_->WriteFile("a.svg", kDocument);
        OpenAndWait(*doc_, path);
        output_->Poll();
        const QStringList first = Lines(*output_->List());
        QVERIFY(first.contains("W a NOT supported at 3(3)"));

        doc_->Reload();
        QCOMPARE(output_->List()->count(), 0);
        doc_->WaitForLoad();
        output_->Poll();
        QCOMPARE(Lines(*output_->List()), first);

        // A log emptied behind the pane's back is read again from its start.
        doc_->Log().Reset();
        doc_->Log().Add("I after reset");
        output_->Poll();
        QCOMPARE(Lines(*output_->List()), QStringList({"I after reset"}));
    }

    void locationsAreParsed()
    {
        int line = 0;
        int column = 0;
        QVERIFY(vexo::ParseMessageLocation("E use xlink:href=\"#x\" :Link NOT found at 12(5)", line, column));
        QCOMPARE(line, 12);
        QCOMPARE(column, 5);
        QVERIFY(vexo::ParseMessageLocation("W seen at home, then at 7(40)", line, column));
        QCOMPARE(line, 7);
        QCOMPARE(column, 40);
        QVERIFY(!vexo::ParseMessageLocation("I Opening file at.svg", line, column));
        QVERIFY(!vexo::ParseMessageLocation("E stopped at 3", line, column));
        QVERIFY(!vexo::ParseMessageLocation("E stopped at 3()", line, column));
        QVERIFY(!vexo::ParseMessageLocation("E at 99999999999(1)", line, column));
    }

    void doubleClickSelectsTheLocatedElement()
    {
        OpenAndWait(*doc_, env_->WriteFile("a.svg", kDocument));
        output_->Poll();
        const QListWidget& list = *output_->List();
        const QList<QListWidgetItem*> located = list.findItems("W a NOT supported at 3(3)", Qt::MatchExactly);
        QCOMPARE(located.size(), 1);
        output_->GoToLocation(located.first());
        QVERIFY(doc_->Selected() != nullptr);
        QCOMPARE(doc_->Selected()->IdAttribute(), std::string("anchor"));

        // A line without a location leaves the selection alone.
        doc_->SelectElement(nullptr);
        output_->GoToLocation(list.item(0));
        QCOMPARE(doc_->Selected(), nullptr);
        // So does a location where no element starts.
        doc_->Log().Add("E nowhere at 40(1)");
        output_->Poll();
        output_->GoToLocation(list.item(list.count() - 1));
        QCOMPARE(doc_->Selected(), nullptr);
    }

    void copyAndClear()
    {
        svg::CMessageLog& log = doc_->Log();
        for (const char* line : {"I one", "W two", "E three"})
            log.Add(line);
        output_->Poll();
        QListWidget& list = *output_->List();
        list.clearSelection();
        output_->CopyLines();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("I one\nW two\nE three\n"));
        list.item(2)->setSelected(true);
        list.item(0)->setSelected(true);
        output_->CopyLines();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("I one\nE three\n"));

        // Clear empties the pane only: cleared lines do not come back, new
        // ones still arrive, and the log keeps everything.
        output_->ClearLines();
        QCOMPARE(list.count(), 0);
        output_->Poll();
        QCOMPARE(list.count(), 0);
        log.Add("I four");
        output_->Poll();
        QCOMPARE(Lines(list), QStringList({"I four"}));
        QCOMPARE(log.Count(), std::size_t(4));
    }

private:
    std::unique_ptr<COutputWnd> output_;
};

QTEST_MAIN(OutputWndTest)
#include "output_wnd_qtest.moc"
