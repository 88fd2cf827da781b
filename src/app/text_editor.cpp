#include "app/text_editor.h"

#include <QCoreApplication>
#include <QFileInfo>
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

// Editors that draw in a terminal: started without one they end at once,
// unseen.
bool IsTerminalEditor(const QStringList& command)
{
    static const QStringList kTerminalEditors = {
        QStringLiteral("vi"),  QStringLiteral("vim"),    QStringLiteral("nvim"),   QStringLiteral("nano"),
        QStringLiteral("pico"), QStringLiteral("micro"), QStringLiteral("joe"),    QStringLiteral("jed"),
        QStringLiteral("ne"),  QStringLiteral("mcedit"), QStringLiteral("hx"),     QStringLiteral("helix"),
        QStringLiteral("kak"), QStringLiteral("vis"),    QStringLiteral("ed"),     QStringLiteral("ex"),
        QStringLiteral("mg"),  QStringLiteral("zile"),   QStringLiteral("emacsclient")};
    const QString program = QFileInfo(command.first()).fileName();
    if (program == QLatin1String("emacs") || program == QLatin1String("emacsclient"))
        return command.contains(QStringLiteral("-nw")) || command.contains(QStringLiteral("-t")) ||
               command.contains(QStringLiteral("--no-window-system")) || command.contains(QStringLiteral("-tty"));
    return kTerminalEditors.contains(program);
}

// The command that runs a program in a new terminal window, up to the
// program itself: $TERMINAL, else the desktop's terminal (Debian's
// x-terminal-emulator), else a common one. Empty when none is installed.
QStringList TerminalPrefix()
{
    if (const QStringList terminal = QProcess::splitCommand(QString::fromLocal8Bit(qgetenv("TERMINAL")));
        !terminal.isEmpty() && !QStandardPaths::findExecutable(terminal.first()).isEmpty())
        return terminal + QStringList{QStringLiteral("-e")};
    const std::pair<const char*, const char*> kTerminals[] = {
        {"x-terminal-emulator", "-e"}, {"gnome-terminal", "--"}, {"konsole", "-e"},
        {"xfce4-terminal", "-x"},      {"kitty", ""},            {"alacritty", "-e"},
        {"xterm", "-e"}};
    for (const auto& [name, flag] : kTerminals) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (program.isEmpty())
            continue;
        QStringList prefix{program};
        if (*flag != 0)
            prefix.append(QString::fromLatin1(flag));
        return prefix;
    }
    return {};
}

// $VISUAL, else $EDITOR, as a word list; empty when neither is set.
QStringList EditorVariable()
{
    for (const char* variable : {"VISUAL", "EDITOR"})
        if (QStringList command = QProcess::splitCommand(QString::fromLocal8Bit(qgetenv(variable)));
            !command.isEmpty())
            return command;
    return {};
}

}  // namespace

QStringList TextEditorCommand(const QString& path)
{
    if (QStringList command = EditorVariable(); !command.isEmpty()) {
        command.append(path);
        if (!IsTerminalEditor(command))
            return command;
        const QStringList terminal = TerminalPrefix();
        return terminal.isEmpty() ? QStringList() : terminal + command;
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
    if (!path.isEmpty() && RunTextEditor(path))
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Vexo"), QStringLiteral("Could NOT run text editor"),
                    QMessageBox::Ok, parent);
    if (const QStringList editor = EditorVariable(); !editor.isEmpty() && IsTerminalEditor(editor))
        box.setInformativeText(
            QCoreApplication::translate("vexo", "%1 runs in a terminal, and no terminal program was found. "
                                                "Set $VISUAL to a graphical editor (for example VISUAL=gedit) "
                                                "or $TERMINAL to your terminal program.")
                .arg(editor.first()));
    else if (editor.isEmpty())
        box.setInformativeText(QCoreApplication::translate(
            "vexo", "No editor is set and the desktop has none for text files. Set $VISUAL to your editor."));
    box.exec();
}

}  // namespace vexo
