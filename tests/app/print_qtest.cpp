// Printing without a printer: the page-count, tiling and fitting arithmetic,
// whole documents printed through QPrinter into PDF files whose pages are
// counted and rasterised back (poppler's pdftoppm and pdftotext), margins
// larger than the paper, an empty picture, the PRINT keys and the page
// set-up's margins that must not drift.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/page_setup_dialog.h"
#include "app/print_job.h"
#include "app/print_layout.h"
#include "render/render.h"

using vexo::PageGrid;
using vexo::PageMetrics;
using vexo::PrintSettings;

namespace {

// 96 dpi, a page of 800 x 1000 pixels, no margins unless given (hundredths of a millimetre).
PageMetrics Page96(int margin = 0)
{
    PageMetrics metrics;
    metrics.pageWidth = 800;
    metrics.pageHeight = 1000;
    metrics.marginLeft = metrics.marginTop = metrics.marginRight = metrics.marginBottom = margin;
    return metrics;
}

// Rasterised PDF pages are close to the colours drawn, not exact.
bool Near(const QColor& actual, Qt::GlobalColor expected)
{
    const QColor want(expected);
    const bool near = std::abs(actual.red() - want.red()) <= 8 && std::abs(actual.green() - want.green()) <= 8 &&
                      std::abs(actual.blue() - want.blue()) <= 8;
    if (!near)
        qWarning() << "colour" << actual.name() << "expected" << want.name();
    return near;
}

// Runs a poppler tool; empty when it is missing or fails.
QByteArray RunTool(const QString& tool, const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return {};
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

// A document twice as wide as tall: its left half red, its right half blue.
QByteArray HalvesDocument(int width, int height)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' width='" + QByteArray::number(width) + "' height='" +
           QByteArray::number(height) + "' title='Halves'>"
           "<rect width='50%' height='100%' fill='red'/><rect x='50%' width='50%' height='100%' fill='blue'/></svg>";
}

}  // namespace

class PrintTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void marginsAndPrintableArea()
    {
        QCOMPARE(vexo::MarginPx(1500, 96), 56);  // 56.69, truncated
        QCOMPARE(vexo::MarginPx(2540, 600), 600);
        QCOMPARE(vexo::MarginPx(0, 1200), 0);
        PageMetrics metrics = Page96(2540);  // an inch each side
        metrics.offsetX = 10;
        metrics.offsetY = 20;
        QCOMPARE(vexo::PrintableRect(metrics), QRect(86, 76, 800 - 192, 1000 - 192));
    }

    void pageCounts_data()
    {
        QTest::addColumn<int>("margin");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<bool>("fit");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("1.5 printable widths: two pages side by side") << 0 << 1200.0 << 500.0 << false << 2 << 1;
        QTest::newRow("exactly one page") << 0 << 800.0 << 1000.0 << false << 1 << 1;
        QTest::newRow("a hair more") << 0 << 800.5 << 1000.0 << false << 2 << 1;
        QTest::newRow("tall") << 0 << 10.0 << 2500.0 << false << 1 << 3;
        QTest::newRow("margins shrink the page") << 2540 << 700.0 << 900.0 << false << 2 << 2;
        QTest::newRow("fitted, whatever the size") << 0 << 50000.0 << 3000.0 << true << 1 << 1;
        QTest::newRow("an empty picture: decorations only") << 0 << 0.0 << 0.0 << false << 1 << 1;
        QTest::newRow("a huge picture stops at the bound") << 0 << 1e12 << 10.0 << false << 1000 << 1;
        QTest::newRow("margins larger than the paper") << 100000 << 100.0 << 100.0 << false << 0 << 0;
        QTest::newRow("margins larger than the paper, fitted") << 100000 << 100.0 << 100.0 << true << 0 << 0;
        QTest::newRow("margins meeting in the middle") << 10584 << 100.0 << 100.0 << false << 0 << 0;
    }
    void pageCounts()
    {
        QFETCH(int, margin);
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(bool, fit);
        QFETCH(int, columns);
        QFETCH(int, rows);
        const PageGrid grid = vexo::CountPages(Page96(margin), width, height, fit);
        QCOMPARE(grid.columns, columns);
        QCOMPARE(grid.rows, rows);
    }

    void tilesAndFittedPagesArePlaced()
    {
        const PageMetrics metrics = Page96(2540);  // printable 608 x 808 from (96, 96)
        const PageGrid grid{2, 3};
        const std::tuple<int, int, int> tiles[] = {{1, 0, 0}, {2, 1, 0}, {3, 0, 1}, {6, 1, 2}};
        for (const auto& [page, column, row] : tiles) {
            QCOMPARE(vexo::TileOf(page, grid).column, column);
            QCOMPARE(vexo::TileOf(page, grid).row, row);
        }
        // Page 4 (column 1, row 1) shows the picture from (608, 808) at the printable corner.
        const vexo::PagePlacement tile = vexo::PlacePage(metrics, grid, 4, 1200, 2000, false);
        QCOMPARE(tile.origin, QPointF(96 - 608, 96 - 808));
        QCOMPARE(tile.scaleX, 1.0);
        QCOMPARE(tile.clip, QRectF(96, 96, 608, 808));
        // At 600 dpi a user unit is 6.25 dots.
        PageMetrics fine = metrics;
        fine.dpiX = fine.dpiY = 600;
        QCOMPARE(vexo::PlacePage(fine, grid, 1, 10, 10, false).scaleY, 6.25);
        // Fitted: the picture fills the printable width (the narrower fit), keeping its aspect ratio.
        const vexo::PagePlacement fitted = vexo::PlacePage(metrics, {1, 1}, 1, 1216, 400, true);
        QCOMPARE(fitted.scaleX, 0.5);
        QCOMPARE(fitted.scaleY, 0.5);
        QCOMPARE(fitted.clip, QRectF(96, 96, 608, 200));
    }

    void printSettingsRoundTrip()
    {
        PrintSettings defaults = vexo::ReadPrintSettings(*settings_);
        QCOMPARE(defaults.paper, QPageSize::A4);
        QCOMPARE(defaults.orientation, QPageLayout::Portrait);
        PrintSettings chosen = defaults;
        chosen.paper = QPageSize::Letter;
        chosen.orientation = QPageLayout::Landscape;
        chosen.fit = true;
        chosen.marginLeft = 1;
        chosen.marginBottom = 2541;
        chosen.title = chosen.pageFrame = chosen.viewportFrame = true;
        chosen.pageNumber = false;
        vexo::WritePrintSettings(*settings_, chosen);
        QCOMPARE(settings_->ReadInt(QStringLiteral("PRINT"), QStringLiteral("ORIENTATION")), 2);
        QCOMPARE(settings_->ReadInt(QStringLiteral("PRINT"), QStringLiteral("PAPERSIZE")), 1);  // the printer's code
        QVERIFY(vexo::ReadPrintSettings(*settings_) == chosen);
        // Values no dialog writes read as something usable.
        settings_->Write(QStringLiteral("PRINT"), QStringLiteral("PAPERSIZE"), QStringLiteral("-7"));
        settings_->Write(QStringLiteral("PRINT"), QStringLiteral("MARGIN.TOP"), QStringLiteral("-300"));
        QCOMPARE(vexo::ReadPrintSettings(*settings_).paper, QPageSize::A4);
        QCOMPARE(vexo::ReadPrintSettings(*settings_).marginTop, 0);
    }

    void marginsDoNotDriftThroughThePageSetup_data()
    {
        QTest::addColumn<bool>("inches");
        QTest::newRow("millimetres") << false;
        QTest::newRow("inches") << true;
    }
    void marginsDoNotDriftThroughThePageSetup()
    {
        QFETCH(bool, inches);
        PrintSettings start;
        start.useInches = inches;
        start.marginLeft = 1501;  // 15.01 mm, 0.591 in
        start.marginTop = 1;
        QPrinter printer;
        for (int round = 0; round < 5; ++round) {
            vexo::CSvgPageSetupDialog dialog(start, nullptr, printer);
            const PrintSettings choices = dialog.Choices();
            QCOMPARE(choices.marginLeft, 1501);
            QCOMPARE(choices.marginTop, 1);
            start = choices;
        }
        // A changed margin is stored in hundredths of a millimetre.
        vexo::CSvgPageSetupDialog dialog(start, nullptr, printer);
        dialog.MarginBox(2)->setValue(inches ? 1.0 : 25.4);
        QCOMPARE(dialog.Choices().marginRight, 2540);
        dialog.FitButton()->setChecked(true);
        QVERIFY(dialog.Choices().fit);
    }

    void init()
    {
        MakeDocument();
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setOutputFormat(QPrinter::PdfFormat);
        pdfPath_ = env_->Path(QStringLiteral("out.pdf"));
        printer_->setOutputFileName(pdfPath_);
    }
    void cleanup()
    {
        printer_.reset();
        DropDocument();
    }

    void aWideDocumentIsTiledOverTwoPages()
    {
        // A4 less 15 mm margins is 180 mm (680 CSS pixels) wide: 1000 pixels take two pages.
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("wide.svg"), HalvesDocument(1000, 400)));
        PrintSettings print;
        print.title = true;
        vexo::ApplyToPrinter(print, *printer_);
        QCOMPARE(vexo::PrintPages(*printer_, {doc_->Picture(), QStringLiteral("Halves")}, print, false), 2);
        QVERIFY(QFile::exists(pdfPath_));
        const QByteArray info = RunTool(QStringLiteral("pdfinfo"), {pdfPath_});
        if (info.isEmpty())
            QSKIP("poppler-utils is not installed");
        QVERIFY2(info.contains("Pages:           2"), info.constData());
        const QByteArray text = RunTool(QStringLiteral("pdftotext"), {pdfPath_, QStringLiteral("-")});
        QVERIFY2(text.contains("Page: 1 / 2") && text.contains("Page: 2 / 2") && text.contains("Halves"),
                 text.constData());
        // 20 dpi: a page is 165 x 234 pixels, the margin 12. Page 1 starts red,
        // page 2 (from x = 680 of 1000) blue, and its printable area ends
        // where the picture does (at 320 of its 680 pixels).
        const QImage first = Rasterise(1);
        const QImage second = Rasterise(2);
        QVERIFY(std::abs(first.width() - 165) <= 1 && first.height() == 234);
        QVERIFY(Near(first.pixelColor(20, 30), Qt::red));
        QVERIFY(Near(first.pixelColor(140, 30), Qt::blue));
        QVERIFY(Near(first.pixelColor(20, 100), Qt::white));  // below the picture
        QVERIFY(Near(second.pixelColor(20, 30), Qt::blue));
        QVERIFY(Near(second.pixelColor(90, 30), Qt::white));
        QVERIFY(Near(first.pixelColor(5, 30), Qt::white));  // the margin stays empty
    }

    void aFittedDocumentFillsOnePage()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("wide.svg"), HalvesDocument(5000, 2000)));
        PrintSettings print;
        print.fit = true;
        print.pageNumber = false;
        vexo::ApplyToPrinter(print, *printer_);
        QCOMPARE(vexo::PrintPages(*printer_, {doc_->Picture(), {}}, print, false), 1);
        if (RunTool(QStringLiteral("pdfinfo"), {pdfPath_}).isEmpty())
            QSKIP("poppler-utils is not installed");
        QVERIFY(RunTool(QStringLiteral("pdftotext"), {pdfPath_, QStringLiteral("-")}).trimmed().isEmpty());
        // 180 mm wide, 72 mm tall from the 15 mm margin: at 20 dpi x 12..153, y 12..68.
        const QImage page = Rasterise(1);
        QVERIFY(Near(page.pixelColor(15, 15), Qt::red));
        QVERIFY(Near(page.pixelColor(150, 60), Qt::blue));
        QVERIFY(Near(page.pixelColor(150, 75), Qt::white));
        QVERIFY(Near(page.pixelColor(158, 40), Qt::white));
    }

    void marginsLargerThanThePaperPrintNothing()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("wide.svg"), HalvesDocument(100, 100)));
        for (bool fit : {false, true}) {
            PrintSettings print;
            print.fit = fit;
            print.marginLeft = print.marginRight = 20000;  // 40 cm of margins on A4
            vexo::ApplyToPrinter(print, *printer_);
            QCOMPARE(vexo::PrintPages(*printer_, {doc_->Picture(), {}}, print, false), 0);
        }
        QCOMPARE(vexo::PrintPages(*printer_, {nullptr, {}}, PrintSettings{}, false), 0);
    }

    void anEmptyPicturePrintsItsDecorations()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("empty.svg"),
                                                       "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'/>"));
        QVERIFY(doc_->Picture() != nullptr);
        PrintSettings print;
        print.pageFrame = print.viewportFrame = true;
        vexo::ApplyToPrinter(print, *printer_);
        QCOMPARE(vexo::PrintPages(*printer_, {doc_->Picture(), {}}, print, false), 1);
        const QByteArray text = RunTool(QStringLiteral("pdftotext"), {pdfPath_, QStringLiteral("-")});
        if (text.isEmpty())
            QSKIP("poppler-utils is not installed");
        QVERIFY2(text.contains("Page: 1 / 1"), text.constData());
    }

    void aPageRangePrintsThosePages()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("tall.svg"), HalvesDocument(100, 3000)));
        PrintSettings print;
        vexo::ApplyToPrinter(print, *printer_);
        printer_->setPrintRange(QPrinter::PageRange);
        printer_->setFromTo(2, 9);  // three pages in all
        QCOMPARE(vexo::PrintPages(*printer_, {doc_->Picture(), {}}, print, false), 2);
        const QByteArray text = RunTool(QStringLiteral("pdftotext"), {pdfPath_, QStringLiteral("-")});
        if (text.isEmpty())
            QSKIP("poppler-utils is not installed");
        QVERIFY2(!text.contains("Page: 1 / 3") && text.contains("Page: 2 / 3") && text.contains("Page: 3 / 3"),
                 text.constData());
    }

private:
    // Page `page` of the PDF at 20 dpi.
    QImage Rasterise(int page) const
    {
        const QString prefix = env_->Path(QStringLiteral("page"));
        const QString number = QString::number(page);
        RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"),
                                             QStringLiteral("-singlefile"), QStringLiteral("-f"), number,
                                             QStringLiteral("-l"), number, pdfPath_, prefix});
        return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<QPrinter> printer_;
    QString pdfPath_;
};

QTEST_MAIN(PrintTest)
#include "print_qtest.moc"
