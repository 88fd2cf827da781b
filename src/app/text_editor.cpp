#include "app/text_editor.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

namespace vexo {
namespace {

// The desktop id (e.g. "org.gnome.gedit.desktop") of the default text/plain
// handler, asked of xdg-mime; empty when there is none.
QString DefaultTextApplication()
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return {};
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!query.waitForFinished(3000) || query.exitCode() != 0)
        return {};
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

}  // namespace

QStringList TextEditorCommand(const QString& path)
{
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        QStringList command = QProcess::splitCommand(QString::fromLocal8Bit(qgetenv(variable)));
        if (!command.isEmpty()) {
            command.append(path);
            return command;
        }
    }
    const QString desktopId = DefaultTextApplication();
    if (desktopId.isEmpty())
        return {};
    if (const QString gtkLaunch = QStandardPaths::findExecutable(QStringLiteral("gtk-launch")); !gtkLaunch.isEmpty())
        return {gtkLaunch, desktopId, path};
    if (const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio")); !gio.isEmpty()) {
        const QString desktopFile =
            QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
        if (!desktopFile.isEmpty())
            return {gio, QStringLiteral("launch"), desktopFile, path};
    }
    return {};
}

bool RunTextEditor(const QString& path)
{
    QStringList command = TextEditorCommand(path);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command, QCoreApplication::applicationDirPath());
}

void EditInTextEditor(QWidget* parent, const QString& path)
{
    if (path.isEmpty() || !RunTextEditor(path))
        QMessageBox::warning(parent, QStringLiteral("Vexo"), QStringLiteral("Could NOT run text editor"));
}

}  // namespace vexo
