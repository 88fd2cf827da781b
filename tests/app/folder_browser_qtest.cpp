// Next and previous SVG file of a folder: name order, wrapping, other files
// and folders skipped, and a current file that has gone.
#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/folder_browser.h"

class FolderBrowserTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        for (const char* name : {"b.svg", "A.SVG", "c.svgz", "img10.svg", "img9.svg", "notes.txt", "x.svg.bak",
                                 "z.png", "svg"})
            env_.WriteFile(QString::fromLatin1(name), "<svg/>");
        QVERIFY(QDir(Folder()).mkdir(QStringLiteral("folder.svg")));
    }

    void filesInNameOrder()
    {
        QStringList names;
        for (const QString& path : vexo::SvgFilesIn(Folder()))
            names.append(QFileInfo(path).fileName());
        QCOMPARE(names, QStringList({"A.SVG", "b.svg", "c.svgz", "img9.svg", "img10.svg"}));
    }

    void neighbours()
    {
        const struct {
            const char* from;
            int step;
            const char* expected;
        } kCases[] = {
            {"A.SVG", 1, "b.svg"},
            {"b.svg", 1, "c.svgz"},
            {"img9.svg", 1, "img10.svg"},   // digits by value
            {"img10.svg", 1, "A.SVG"},      // wraps at the end
            {"A.SVG", -1, "img10.svg"},     // and at the start
            {"c.svgz", -1, "b.svg"},
            {"A.SVG", 2, "c.svgz"},
            {"notes.txt", 1, "A.SVG"},  // from a file that is not an SVG: by its name
            {"notes.txt", -1, "img10.svg"},
            {"bb.svg", 1, "c.svgz"},        // a file that has gone
            {"bb.svg", -1, "b.svg"},
            {"zz.svg", 1, "A.SVG"},
        };
        for (const auto& test : kCases) {
            const QString next = vexo::NeighbourSvgFile(env_.Path(QString::fromLatin1(test.from)), test.step);
            QVERIFY2(QFileInfo(next).fileName() == QLatin1String(test.expected),
                     qPrintable(QString("%1 %2: %3").arg(test.from).arg(test.step).arg(next)));
        }
    }

    void aLoneFileHasNoNeighbour()
    {
        vexo::test::TestEnvironment lone;
        const QString path = lone.WriteFile(QStringLiteral("only.svg"), "<svg/>");
        QCOMPARE(vexo::NeighbourSvgFile(path, 1), QString());
        QCOMPARE(vexo::NeighbourSvgFile(path, -1), QString());
    }

private:
    QString Folder() const { return QFileInfo(env_.Path(QStringLiteral("x"))).absolutePath(); }

    vexo::test::TestEnvironment env_;
};

QTEST_MAIN(FolderBrowserTest)
#include "folder_browser_qtest.moc"
