// The first start's language from $LANGUAGE and $LANG.
#include <QtTest>

#include "app/desktop_language.h"

class DesktopLanguageTest : public QObject {
    Q_OBJECT
private slots:
    void languageFromTheEnvironment()
    {
        const QStringList choices = {"ar", "de", "el", "en", "ja", "zh"};
        const struct {
            const char* language;
            const char* lang;
            const char* expected;
        } kCases[] = {
            {"", "de_AT.UTF-8", "de"},
            {"", "en_GB.UTF-8@euro", "en"},
            {"fr:de:en", "ja_JP.UTF-8", "de"},  // $LANGUAGE's first listed language
            {"fr_FR", "zh_CN.UTF-8", "zh"},     // none listed there: $LANG
            {"", "fr_FR.UTF-8", ""},            // not a choice: the setting stays
            {"", "C.UTF-8", ""},
            {"", "POSIX", ""},
            {"", "", ""},
            {"pt-BR:EL", "", "el"},
        };
        for (const auto& test : kCases)
            QCOMPARE(vexo::DesktopLanguage(choices, test.language, test.lang), QString::fromLatin1(test.expected));
    }
};

QTEST_MAIN(DesktopLanguageTest)
#include "desktop_language_qtest.moc"
