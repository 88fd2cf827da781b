// Starting the user's text editor on a file, as a process of its own.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vexo {

// The program and arguments that edit `path`: $VISUAL, else $EDITOR (split
// like a shell word list), else the desktop's default application for plain
// text through gtk-launch or gio. The path is always one argument of its own.
// An editor that runs in a terminal (vi, nano, emacs -nw ...) is started in
// a new terminal window ($TERMINAL, else x-terminal-emulator or a common
// one). Empty when no editor, or no terminal for it, can be found.
QStringList TextEditorCommand(const QString& path);

// Starts the editor detached from Vexo; false when none could be started.
bool RunTextEditor(const QString& path);

// RunTextEditor, with the message box "Could NOT run text editor" over
// `parent` when it fails.
void EditInTextEditor(QWidget* parent, const QString& path);

}  // namespace vexo
