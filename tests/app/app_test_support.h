// Shared set-up for the shell's Qt tests: a private settings file, temporary
// SVG files, and waiting for a load to finish.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace vexo {
class CVexoDoc;
}

namespace vexo::test {

// A temporary folder whose vexo.ini the application uses (VEXO_INI), with
// XDG folders inside it so that nothing outside is touched.
class TestEnvironment {
public:
    TestEnvironment();
    QString IniPath() const { return dir_.filePath(QStringLiteral("vexo.ini")); }
    // Writes `text` to a file of that name in the folder; returns its path.
    QString WriteFile(const QString& name, const QByteArray& text) const;
    QString Path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// Opens `path` and waits until its load has finished and loaded() was sent.
void OpenAndWait(CVexoDoc& doc, const QString& path);

// The file of the test data folder tests/<relative>.
QString DataPath(const QString& relative);

}  // namespace vexo::test
