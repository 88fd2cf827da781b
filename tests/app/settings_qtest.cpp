// The settings file: defaults written back on first read, macros, clamping
// of the numeric settings, and the recent-file list.
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/settings.h"
#include "model/document.h"
#include "values/number.h"

using vexo::CSettings;

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<vexo::test::TestEnvironment>(); }

    void firstStartWritesDefaultsAndStars()
    {
        CSettings settings(env_->IniPath());
        QVERIFY(!QFile::exists(env_->IniPath()));
        QCOMPARE(settings.Read("MISC", "SYSTEM_LANGUAGE"), QString("ja"));
        QCOMPARE(settings.Read("MISC", "FILTER_RES"), QString("x1.5"));
        QCOMPARE(settings.Read("DIR", "LASTOPEN"), QString("*"));
        const QString saveDir = settings.SaveDirectory();
        QVERIFY(saveDir.endsWith("/vexo/save"));
        QVERIFY(QDir(saveDir).exists());

        // A second reader sees exactly what the first one wrote.
        QFile file(env_->IniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.contains("[MISC]\nSYSTEM_LANGUAGE=ja\nFILTER_RES=x1.5\n"));
        QVERIFY(text.contains("[DIR]\nLASTOPEN=*\nSAVE=" + saveDir + "\n"));
        CSettings reread(env_->IniPath());
        QCOMPARE(reread.Read("DIR", "SAVE"), saveDir);
    }

    void macrosExpand()
    {
        CSettings settings(env_->IniPath());
        settings.Write("DIR", "LASTSAVE", "{DOCUMENTS}/drawings");
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(settings.Read("DIR", "LASTSAVE"), documents + "/drawings");
        settings.Write("DIR", "LASTSAVE", "{CURDIR}|{DESKTOP}");
        QCOMPARE(settings.Read("DIR", "LASTSAVE"),
                 QDir::currentPath() + "|" + QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
        settings.Write("DIR", "LASTSAVE", QString(2000, 'a'));
        QCOMPARE(settings.Read("DIR", "LASTSAVE").size(), 1024);
    }

    void numbersAreClampedOrKept()
    {
        CSettings settings(env_->IniPath());
        settings.Write("MISC", "DEFAULT_DPI", "5000");
        settings.Write("MISC", "DEFAULT_EM", "abc");
        settings.Write("MISC", "DEFAULT_XHEIGHT", "0.5");
        const svg::CDocOptions conversions = settings.LoadOptions();
        QCOMPARE(conversions.dpi, 1000.0f);
        QCOMPARE(conversions.defaultFontSize, svg::CDocOptions{}.defaultFontSize);  // no number: kept
        QCOMPARE(conversions.defaultXHeight, 1.0f);

        QCOMPARE(vexo::ParseFilterResolution("x2.0"), 2.0f);
        QCOMPARE(vexo::ParseFilterResolution("x0.05"), 1.5f);
        QCOMPARE(vexo::ParseFilterResolution("*"), 1.5f);
        settings.Write("MISC", "FILTER_RES", "x0.25");
        settings.Write("MISC", "MEDIA", "print");
        settings.Write("EFFECT", "DISABLE_RASTER", "1");
        const svg::CDocOptions options = settings.LoadOptions();
        QCOMPARE(options.filterResolutionFactor, 0.25f);
        QCOMPARE(options.media, std::string("print"));
        QVERIFY(options.rasterEffectsDisabled);
        QVERIFY(options.alternateFontsEnabled);
        QCOMPARE(options.alternateFontList, std::string("'Arial','MS UI Gothic'"));
    }

    void recentFilesKeepNineNewestFirst()
    {
        CSettings settings(env_->IniPath());
        for (int i = 0; i < 12; ++i)
            settings.AddRecentFile(QString("/tmp/file%1.svg").arg(i));
        settings.AddRecentFile("/tmp/file5.svg");
        CSettings reread(env_->IniPath());
        const QStringList files = reread.RecentFiles();
        QCOMPARE(files.size(), 9);
        QCOMPARE(files.first(), QString("/tmp/file5.svg"));
        QCOMPARE(files[1], QString("/tmp/file11.svg"));
        QCOMPARE(files.count("/tmp/file5.svg"), 1);
        reread.RemoveRecentFile("/tmp/file5.svg");
        QCOMPARE(reread.RecentFiles().size(), 8);
    }

    void keepsUnknownSectionsAndComments()
    {
        const QString path = env_->WriteFile("vexo.ini", "; mine\n[UI]\nSTATE=abc==\n[MISC]\nMEDIA=tv\n");
        CSettings settings(path);
        QCOMPARE(settings.Read("MISC", "MEDIA"), QString("tv"));
        settings.Write("MISC", "SYSTEM_LANGUAGE", "fr");
        CSettings reread(path);
        QCOMPARE(reread.Read("UI", "STATE"), QString("abc=="));
        QCOMPARE(reread.Read("MISC", "SYSTEM_LANGUAGE"), QString("fr"));
    }

private:
    std::unique_ptr<vexo::test::TestEnvironment> env_;
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "settings_qtest.moc"
