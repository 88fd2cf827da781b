#include "app/desktop_language.h"

#include <QRegularExpression>

namespace vexo {
namespace {

// "de_AT.UTF-8@euro" -> "de"; "pt-BR" -> "pt".
QString LanguageOf(QString locale)
{
    locale = locale.trimmed();
    const qsizetype end = locale.indexOf(QRegularExpression(QStringLiteral("[_.@-]")));
    return (end < 0 ? locale : locale.left(end)).toLower();
}

}  // namespace

QString DesktopLanguage(const QStringList& choices, const QByteArray& languageVariable, const QByteArray& langVariable)
{
    QStringList candidates = QString::fromLocal8Bit(languageVariable).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    candidates.append(QString::fromLocal8Bit(langVariable));
    for (const QString& candidate : candidates) {
        const QString language = LanguageOf(candidate);
        if (language.isEmpty() || language == QLatin1String("c") || language == QLatin1String("posix"))
            continue;
        for (const QString& choice : choices)
            if (choice.trimmed().compare(language, Qt::CaseInsensitive) == 0)
                return choice.trimmed();
    }
    return {};
}

}  // namespace vexo
