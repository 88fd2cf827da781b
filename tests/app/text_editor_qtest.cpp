// Which command edits a file: editors that run in a terminal get one, and
// without a terminal there is no command (the caller then says how to set
// $VISUAL).
#include <QFile>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/text_editor.h"

class TextEditorTest : public QObject {
    Q_OBJECT
private slots:
    void terminalEditorsRunInATerminal()
    {
        vexo::test::TestEnvironment env;
        const QString terminal = env.WriteFile(QStringLiteral("term.sh"), "#!/bin/sh\n");
        QFile::setPermissions(terminal, QFile::permissions(terminal) | QFileDevice::ExeOwner);
        const QByteArray savedPath = qgetenv("PATH");
        // No terminal on PATH: only $TERMINAL can give one.
        qputenv("PATH", env.Path(QStringLiteral("bin")).toLocal8Bit());

        const struct {
            const char* visual;
            bool terminalSet;
            QStringList expected;
        } kCases[] = {
            {"vi", true, {terminal, "-e", "vi", "/tmp/a b.svg"}},
            {"/usr/bin/nano -w", true, {terminal, "-e", "/usr/bin/nano", "-w", "/tmp/a b.svg"}},
            {"emacs -nw", true, {terminal, "-e", "emacs", "-nw", "/tmp/a b.svg"}},
            {"emacs", true, {"emacs", "/tmp/a b.svg"}},  // opens a window of its own
            {"gvim -f", true, {"gvim", "-f", "/tmp/a b.svg"}},
            {"vim", false, {}},
            {"kate", false, {"kate", "/tmp/a b.svg"}},
        };
        for (const auto& test : kCases) {
            qputenv("VISUAL", test.visual);
            if (test.terminalSet)
                qputenv("TERMINAL", terminal.toLocal8Bit());
            else
                qunsetenv("TERMINAL");
            QCOMPARE(vexo::TextEditorCommand(QStringLiteral("/tmp/a b.svg")), test.expected);
        }
        qunsetenv("VISUAL");
        qunsetenv("TERMINAL");
        qputenv("PATH", savedPath);
    }
};

QTEST_MAIN(TextEditorTest)
#include "text_editor_qtest.moc"
