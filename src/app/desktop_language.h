// The desktop's language for documents' systemLanguage tests: the first
// entry of $LANGUAGE (a colon list), else $LANG, whose language ("de" of
// "de_AT.UTF-8") is one of `choices`. Empty when none is, or for the C and
// POSIX locales. Used on the first start only, so that a user's later choice
// stands.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vexo {

QString DesktopLanguage(const QStringList& choices, const QByteArray& languageVariable, const QByteArray& langVariable);

}  // namespace vexo
