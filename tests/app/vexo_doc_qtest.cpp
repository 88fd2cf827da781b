// The application document: loads on the worker thread with the settings'
// options, the signals views rely on, stop and reload, the selectors that
// write their setting and reload, and the text editor's command line.
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

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

// The red and blue of the rectangle's solid fill.
QPair<int, int> FillOf(CVexoDoc& doc, const char* id)
{
    const svg::CElem* rect = svg::FindLoadedReference(*doc.Root(), std::string("#") + id, *doc.Documents());
    if (rect == nullptr || !rect->props.fillBrush)
        return {-1, -1};
    return {rect->props.fillBrush->color.r, rect->props.fillBrush->color.b};
}

QString ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class VexoDocTest : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<vexo::test::TestEnvironment>(); }

    void loadSendsClearedThenLoaded()
    {
        CSettings settings(env_->IniPath());
        CVexoDoc doc(settings);
        QSignalSpy cleared(&doc, &CVexoDoc::cleared);
        QSignalSpy loaded(&doc, &CVexoDoc::loaded);
        const QString path = env_->WriteFile("a.svg", kMediaDocument);
        OpenAndWait(doc, path);
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(doc.State(), svg::DocumentState::Loaded);
        QVERIFY(doc.Root() != nullptr);
        QVERIFY(doc.Picture() != nullptr);
        QCOMPARE(doc.Picture()->Frame().width, 100.0f);
        QCOMPARE(doc.CollectedText(), QString("Hello\nworld"));
        // The load wrote where it came from.
        QCOMPARE(settings.Read("FILES", "LASTOPEN"), path);
        QCOMPARE(settings.Read("DIR", "LASTOPEN"), QFileInfo(path).absolutePath());
    }

    void failedLoadEndsIdleWithAFatalMessage()
    {
        CSettings settings(env_->IniPath());
        CVexoDoc doc(settings);
        QSignalSpy loaded(&doc, &CVexoDoc::loaded);
        OpenAndWait(doc, env_->WriteFile("broken.svg", "<svg><rect></svg>"));
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(doc.State(), svg::DocumentState::Idle);
        QVERIFY(doc.Root() == nullptr);
        QVERIFY(doc.Log().Counts().fatal > 0);
    }

    void mediaSelectorReloadsWithPrintStyleSheets()
    {
        CSettings settings(env_->IniPath());
        CVexoDoc doc(settings);
        OpenAndWait(doc, env_->WriteFile("m.svg", kMediaDocument));
        QCOMPARE(FillOf(doc, "r"), qMakePair(0, 255));
        doc.SetMedia("print");
        doc.WaitForLoad();
        QCOMPARE(settings.Read("MISC", "MEDIA"), QString("print"));
        QCOMPARE(FillOf(doc, "r"), qMakePair(255, 0));
    }

    void optionsWriteTheirSettings()
    {
        CSettings settings(env_->IniPath());
        CVexoDoc doc(settings);
        QVERIFY(doc.AlternateFonts());
        QVERIFY(!doc.RasterEffectsDisabled());
        doc.SetAlternateFonts(false);
        doc.SetRasterEffectsDisabled(true);
        doc.SetLanguage("fr");
        doc.SetFilterResolution("x2.0");
        // Nothing is open: nothing loads, and no error is reported.
        QCOMPARE(doc.State(), svg::DocumentState::Idle);
        QCOMPARE(doc.Log().Counts().fatal, 0);
        CSettings reread(env_->IniPath());
        QCOMPARE(reread.Read("ALTFONT", "ENABLE"), QString("0"));
        QCOMPARE(reread.Read("EFFECT", "DISABLE_RASTER"), QString("1"));
        QCOMPARE(reread.Read("MISC", "SYSTEM_LANGUAGE"), QString("fr"));
        QCOMPARE(reread.LoadOptions().filterResolutionFactor, 2.0f);
        QCOMPARE(doc.LanguageChoices().size(), 13);
        QCOMPARE(doc.MediaChoices().at(3), QString("print"));
    }

    void stopDuringALoadLeavesNothingLoaded()
    {
        CSettings settings(env_->IniPath());
        CVexoDoc doc(settings);
        QByteArray big = "<svg xmlns='http://www.w3.org/2000/svg'>";
        for (int i = 0; i < 30000; ++i)
            big += "<rect width='5' height='5' fill='red'/>";
        big += "</svg>";
        QSignalSpy loaded(&doc, &CVexoDoc::loaded);
        doc.Open(env_->WriteFile("big.svg", big));
        doc.StopLoading();
        QCoreApplication::processEvents();
        QCOMPARE(doc.State(), svg::DocumentState::Idle);
        QVERIFY(doc.Root() == nullptr);
        QVERIFY(doc.Picture() == nullptr);
        QCOMPARE(loaded.count(), 0);
        // Reload brings it back.
        doc.Reload();
        doc.WaitForLoad();
        QCOMPARE(doc.State(), svg::DocumentState::Loaded);
        QCOMPARE(loaded.count(), 1);
    }

    void aSecondOpenReplacesTheFirst()
    {
        CSettings settings(env_->IniPath());
        CVexoDoc doc(settings);
        QSignalSpy loaded(&doc, &CVexoDoc::loaded);
        doc.Open(env_->WriteFile("one.svg", kMediaDocument));
        const QString second = env_->WriteFile("two.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='7' height='7'/>");
        OpenAndWait(doc, second);
        QCoreApplication::processEvents();
        QCOMPARE(doc.Path(), second);
        QCOMPARE(doc.Picture()->Frame().width, 7.0f);
        QCOMPARE(doc.Documents()->Size(), std::size_t{1});
        QVERIFY(loaded.count() >= 1);
    }

    void selectionIsSentAndClearedByALoad()
    {
        CSettings settings(env_->IniPath());
        CVexoDoc doc(settings);
        OpenAndWait(doc, env_->WriteFile("s.svg", kMediaDocument));
        QSignalSpy selected(&doc, &CVexoDoc::elementSelected);
        const svg::CElem* rect = svg::FindLoadedReference(*doc.Root(), "#r", *doc.Documents());
        doc.SelectElement(rect);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(doc.Selected(), rect);
        doc.Reload();
        QVERIFY(doc.Selected() == nullptr);
        doc.WaitForLoad();
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

private:
    std::unique_ptr<vexo::test::TestEnvironment> env_;
};

QTEST_MAIN(VexoDocTest)
#include "vexo_doc_qtest.moc"
