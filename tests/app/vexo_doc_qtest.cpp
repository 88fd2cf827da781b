// The application document: loads on the worker thread with the settings'
// options, the signals views rely on, stop and reload, the selectors that
// write their setting and reload, and the text editor's command line.
#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <sys/stat.h>

#include "app/app_test_support.h"
#include "app/settings.h"
#include "app/text_editor.h"
#include "app/vexo_doc.h"
#include "model/document.h"
#include "model/message_log.h"
#include "model/references.h"
#include "render/render.h"

using vexo::CVexoDoc;
using vexo::CSettings;
using vexo::test::OpenAndWait;

namespace {

// A rectangle whose fill comes from a style sheet for print media only.
const QByteArray kMediaDocument =
    "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50'>\n"
    "<style media='print'>rect { fill: red }</style>\n"
    "<rect id='r' width='10' height='10' fill='blue'/>\n"
    "<text x='1' y='20'>Hello</text><text x='1' y='40'>world</text>\n"
    "</svg>";

// The red and blue of an element's solid fill.
QPair<int, int> FillOf(const svg::CElem* elem)
{
    if (elem == nullptr || !elem->props.fillBrush)
        return {-1, -1};
    return {elem->props.fillBrush->color.r, elem->props.fillBrush->color.b};
}

QString ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class VexoDocTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void init() { MakeDocument(); }
    void cleanup() { DropDocument(); }

    void loadSendsClearedThenLoaded()
    {
        QSignalSpy cleared(doc_.get(), &CVexoDoc::cleared);
        QSignalSpy loaded(doc_.get(), &CVexoDoc::loaded);
        const QString path = env_->WriteFile("a.svg", kMediaDocument);
        OpenAndWait(*doc_, path);
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(doc_->State(), svg::DocumentState::Loaded);
        QVERIFY(doc_->Root() != nullptr);
        QVERIFY(doc_->Picture() != nullptr);
        QCOMPARE(doc_->Picture()->Frame().width, 100.0f);
        QCOMPARE(doc_->CollectedText(), QString("Hello\nworld"));
        // The load wrote where it came from.
        QCOMPARE(settings_->Read("FILES", "LASTOPEN"), path);
        QCOMPARE(settings_->Read("DIR", "LASTOPEN"), QFileInfo(path).absolutePath());
    }

    void failedLoadEndsIdleWithAFatalMessage()
    {
        QSignalSpy loaded(doc_.get(), &CVexoDoc::loaded);
        OpenAndWait(*doc_, env_->WriteFile("broken.svg", "<svg><rect></svg>"));
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(doc_->State(), svg::DocumentState::Idle);
        QVERIFY(doc_->Root() == nullptr);
        QVERIFY(doc_->Log().Counts().fatal > 0);
    }

    void mediaSelectorReloadsWithPrintStyleSheets()
    {
        OpenAndWait(*doc_, env_->WriteFile("m.svg", kMediaDocument));
        QCOMPARE(FillOf(Find("#r")), qMakePair(0, 255));
        doc_->SetMedia("print");
        doc_->WaitForLoad();
        QCOMPARE(settings_->Read("MISC", "MEDIA"), QString("print"));
        QCOMPARE(FillOf(Find("#r")), qMakePair(255, 0));
    }

    void optionsWriteTheirSettings()
    {
        QVERIFY(doc_->AlternateFonts());
        QVERIFY(!doc_->RasterEffectsDisabled());
        doc_->SetAlternateFonts(false);
        doc_->SetRasterEffectsDisabled(true);
        doc_->SetLanguage("fr");
        doc_->SetFilterResolution("x2.0");
        // Nothing is open: nothing loads, and no error is reported.
        QCOMPARE(doc_->State(), svg::DocumentState::Idle);
        QCOMPARE(doc_->Log().Counts().fatal, 0);
        CSettings reread(env_->IniPath());
        QCOMPARE(reread.Read("ALTFONT", "ENABLE"), QString("0"));
        QCOMPARE(reread.Read("EFFECT", "DISABLE_RASTER"), QString("1"));
        QCOMPARE(reread.Read("MISC", "SYSTEM_LANGUAGE"), QString("fr"));
        QCOMPARE(reread.LoadOptions().filterResolutionFactor, 2.0f);
        QCOMPARE(doc_->LanguageChoices().size(), 13);
        QCOMPARE(doc_->MediaChoices().at(3), QString("print"));
    }

    void stopDuringALoadLeavesNothingLoaded()
    {
        QSignalSpy loaded(doc_.get(), &CVexoDoc::loaded);
        doc_->Open(env_->WriteFile("big.svg", vexo::test::ManyRects(30000)));
        doc_->StopLoading();
        QCoreApplication::processEvents();
        QCOMPARE(doc_->State(), svg::DocumentState::Idle);
        QVERIFY(doc_->Root() == nullptr);
        QVERIFY(doc_->Picture() == nullptr);
        QCOMPARE(loaded.count(), 0);
        // Reload brings it back.
        doc_->Reload();
        doc_->WaitForLoad();
        QCOMPARE(doc_->State(), svg::DocumentState::Loaded);
        QCOMPARE(loaded.count(), 1);
    }

    // Stop, Open, Reload and Close return at once whatever the document
    // does: a FIFO it names is refused before it is opened, and a transform
    // that never ends is abandoned to the reaper.
    void hostileDocumentsCanBeStoppedReloadedAndClosedInQuickSuccession()
    {
        const QString fifo = env_->Path("pipe.svg");
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        env_->WriteFile("loop.xsl",
                        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                        "<xsl:template match='/'><svg><xsl:call-template name='r'/></svg></xsl:template>"
                        "<xsl:template name='r'><xsl:param name='n' select='0'/><xsl:if test='$n &lt; 60'>"
                        "<xsl:call-template name='r'><xsl:with-param name='n' select='$n + 1'/></xsl:call-template>"
                        "<xsl:call-template name='r'><xsl:with-param name='n' select='$n + 1'/></xsl:call-template>"
                        "</xsl:if></xsl:template></xsl:stylesheet>");
        const QString runaway = env_->WriteFile("runaway.svg", "<?xml-stylesheet type='text/xsl' href='loop.xsl'?><svg/>");
        const QString namesFifo = env_->WriteFile(
            "fifo-user.svg", "<svg xmlns:xlink='http://www.w3.org/1999/xlink'><image width='1' height='1' "
                             "xlink:href='pipe.svg'/><use xlink:href='pipe.svg#a'/></svg>");
        QSignalSpy loaded(doc_.get(), &CVexoDoc::loaded);
        for (int round = 0; round < 3; ++round) {
            doc_->Open(runaway);
            doc_->StopLoading();
            doc_->Reload();
            doc_->Open(fifo);
            doc_->Open(runaway);
            doc_->Close();
            QCoreApplication::processEvents();
            QCOMPARE(doc_->State(), svg::DocumentState::Idle);
        }
        QCOMPARE(loaded.count(), 0);
        OpenAndWait(*doc_, namesFifo);
        QCOMPARE(doc_->State(), svg::DocumentState::Loaded);
        const std::string refused = "F File '" + fifo.toStdString() + "' is not a regular file: NOT read at 1(";
        const std::vector<std::string> messages = doc_->Log().EntriesFrom(0);
        QVERIFY(std::any_of(messages.begin(), messages.end(),
                            [&refused](const std::string& line) { return line.rfind(refused, 0) == 0; }));
        OpenAndWait(*doc_, fifo);
        QCOMPARE(doc_->State(), svg::DocumentState::Idle);
    }

    void aSecondOpenReplacesTheFirst()
    {
        QSignalSpy loaded(doc_.get(), &CVexoDoc::loaded);
        doc_->Open(env_->WriteFile("one.svg", kMediaDocument));
        const QString second = env_->WriteFile("two.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='7' height='7'/>");
        OpenAndWait(*doc_, second);
        QCoreApplication::processEvents();
        QCOMPARE(doc_->Path(), second);
        QCOMPARE(doc_->Picture()->Frame().width, 7.0f);
        QCOMPARE(doc_->Documents()->Size(), std::size_t{1});
        QVERIFY(loaded.count() >= 1);
    }

    void selectionIsSentAndClearedByALoad()
    {
        OpenAndWait(*doc_, env_->WriteFile("s.svg", kMediaDocument));
        QSignalSpy selected(doc_.get(), &CVexoDoc::elementSelected);
        const svg::CElem* rect = Find("#r");
        doc_->SelectElement(rect);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(doc_->Selected(), rect);
        doc_->Reload();
        QVERIFY(doc_->Selected() == nullptr);
        doc_->WaitForLoad();
    }

    void textEditorGetsThePathAsOneArgument()
    {
        qputenv("VISUAL", "my-editor --wait");
        QCOMPARE(vexo::TextEditorCommand("/tmp/a b.svg"),
                 QStringList({"my-editor", "--wait", "/tmp/a b.svg"}));

        // A real run: the editor script records its arguments.
        const QString script = env_->WriteFile("editor.sh", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n");
        QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);
        qputenv("VISUAL", script.toLocal8Bit());
        QVERIFY(vexo::RunTextEditor("/tmp/with space.svg"));
        QTRY_COMPARE(ReadText(script + ".args"), QString("/tmp/with space.svg|"));

        qputenv("VISUAL", "/nonexistent/editor");
        QVERIFY(!vexo::RunTextEditor("/tmp/x.svg"));
        qunsetenv("VISUAL");
    }

};

QTEST_MAIN(VexoDocTest)
#include "vexo_doc_qtest.moc"
