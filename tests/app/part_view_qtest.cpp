// The part view: the fit and guide-line arithmetic, the element drawn alone
// on the pane's own thread (hand-over, cancel by a new selection, a reload
// while it draws), the commands' states, and Copy/Export of the element at
// its natural size in every format, with the format chosen by extension.
#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QToolBar>
#include <QtTest>
#include <regex>

#include "app/app_test_support.h"
#include "app/export.h"
#include "app/part_view_layout.h"
#include "app/svg_part_view.h"
#include "render/render.h"

using vexo::CSvgPartView;
using vexo::LayOutPartView;
using vexo::PartViewLayout;

namespace {

// A blue 30 x 20 rectangle moved by its transform, a green circle, an empty
// group, a filter primitive and a heavy group that takes a while to draw.
QByteArray PartDocument(int heavyCount)
{
    QByteArray text =
        "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='100'>"
        "<filter id='f'><feFlood id='flood' flood-color='red'/></filter>"
        "<rect id='r' x='10' y='10' width='30' height='20' fill='blue' transform='translate(100 50)'/>"
        "<circle id='c' cx='50' cy='50' r='10' fill='lime'/>"
        "<g id='empty'/>"
        "<g id='heavy'>";
    for (int i = 0; i < heavyCount; ++i)
        text += "<circle cx='" + QByteArray::number(i % 200) + "' cy='" + QByteArray::number(i % 97) +
                "' r='40' fill='none' stroke='black' stroke-width='3' stroke-dasharray='0.5 0.5'/>";
    return text + "</g></svg>";
}

QColor PixelAt(QWidget* widget, QPoint point) { return widget->grab().toImage().pixelColor(point); }

}  // namespace

class PartViewTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void layoutFitsAndCentresTheFrame_data()
    {
        QTest::addColumn<QSize>("pane");
        QTest::addColumn<QRectF>("extent");
        QTest::addColumn<double>("fitScale");
        QTest::addColumn<QRectF>("guides");  // left, top, right, bottom as a rectangle
        // The draw area is the pane less 40 left, 20 right, 20 top, 10 bottom: 400 x 200 here.
        QTest::newRow("square, centred across") << QSize(460, 230) << QRectF(0, 0, 100, 100) << 2.0
                                                << QRectF(140, 20, 200, 200);
        QTest::newRow("wide, centred down") << QSize(460, 230) << QRectF(10, 20, 200, 50) << 2.0
                                            << QRectF(40, 70, 400, 100);
        QTest::newRow("exact fit") << QSize(460, 230) << QRectF(-5, -5, 40, 20) << 10.0 << QRectF(40, 20, 400, 200);
        QTest::newRow("tiny but not degenerate") << QSize(460, 230) << QRectF(0, 0, 1.0 / 1024, 1.0 / 1024) << 204800.0
                                                 << QRectF(140, 20, 200, 200);
    }
    void layoutFitsAndCentresTheFrame()
    {
        QFETCH(QSize, pane);
        QFETCH(QRectF, extent);
        QFETCH(double, fitScale);
        QFETCH(QRectF, guides);
        const svg::RectF frame{float(extent.x()), float(extent.y()), float(extent.width()), float(extent.height())};
        const std::optional<PartViewLayout> layout = LayOutPartView(pane, frame);
        QVERIFY(layout);
        QVERIFY(qFuzzyCompare(layout->fitScale, fitScale));
        QCOMPARE(QRectF(QPointF(layout->left, layout->top), QPointF(layout->right, layout->bottom)), guides);
        // The frame's corners land on the guide lines, and map back.
        const QPointF corner = layout->UserToPane(QPointF(frame.Right(), frame.Bottom()), frame);
        QVERIFY(std::abs(corner.x() - layout->right) < 1e-6 && std::abs(corner.y() - layout->bottom) < 1e-6);
        const QPointF back = layout->PaneToUser(QPointF(123, 45), frame);
        const QPointF again = layout->UserToPane(back, frame);
        QVERIFY(std::abs(again.x() - 123) < 1e-6 && std::abs(again.y() - 45) < 1e-6);
    }

    void nothingToFrameGivesNoLayout()
    {
        const std::pair<QSize, svg::RectF> cases[] = {
            {QSize(460, 230), svg::RectF{0, 0, 0, 10}},                  // no width
            {QSize(460, 230), svg::RectF{0, 0, 10, 1e-8f}},              // below 2^-23
            {QSize(460, 230), svg::RectF{0, 0, std::nanf(""), 10}},      // not a number
            {QSize(60, 200), svg::RectF{0, 0, 10, 10}},                  // no room left across
            {QSize(200, 30), svg::RectF{0, 0, 10, 10}},                  // nor down
        };
        for (const auto& [pane, extent] : cases)
            QVERIFY(!LayOutPartView(pane, extent));
    }

    void labelsNameTheEdgesAndKeepApart()
    {
        // A frame 1 unit wide fitted to 2 pixels: its x labels would overlap.
        const std::optional<PartViewLayout> narrow = LayOutPartView(QSize(460, 230), svg::RectF{3, 0, 1, 100});
        QVERIFY(narrow);
        QCOMPARE(narrow->leftLabel.text, QStringLiteral("3"));
        QCOMPARE(narrow->rightLabel.text, QStringLiteral("4"));
        QVERIFY(narrow->rightLabel.anchor.x() - narrow->leftLabel.anchor.x() >= vexo::kMinXLabelSpacing);
        QVERIFY(narrow->rightLabel.anchor.x() > narrow->right);  // the right one stays by its line
        // A flat frame: the y labels move apart; with the axis up they show -y.
        const std::optional<PartViewLayout> flat = LayOutPartView(QSize(460, 230), svg::RectF{0, -80, 400, 1}, true);
        QVERIFY(flat);
        QVERIFY(flat->bottomLabel.anchor.y() - flat->topLabel.anchor.y() >= vexo::kMinYLabelSpacing);
        QCOMPARE(flat->topLabel.text, QStringLiteral("80"));
        QCOMPARE(flat->bottomLabel.text, QStringLiteral("79"));
    }

    void labelAndStatusTexts()
    {
        const std::pair<double, const char*> labels[] = {
            {0, "0"}, {-0.001, "0"}, {12.5, "12.5"}, {3.14159, "3.14"}, {-2, "-2"}, {100.1, "100.1"}, {0.999, "1"},
        };
        for (const auto& [value, text] : labels)
            QCOMPARE(vexo::GuideLabelText(value), QString::fromLatin1(text));
        QCOMPARE(vexo::PartViewCoordinateText(QPointF(10, 20.24), false), QStringLiteral("X= 10.0 Y= 20.2"));
        QCOMPARE(vexo::PartViewCoordinateText(QPointF(-1234.56, 20), true), QStringLiteral("X=-1234.6 Y=-20.0"));
    }

    void exportFormatFollowsTheTypedExtension()
    {
        const QString pdfFilter = vexo::ExportFilters().first();
        const QString pngFilter = vexo::ExportFilters().filter(QStringLiteral("PNG")).first();
        const std::tuple<const char*, QString, const char*, svg::OutputFormat> cases[] = {
            {"/t/a.png", pdfFilter, "/t/a.png", svg::OutputFormat::Png},
            {"/t/a.PNG", pdfFilter, "/t/a.PNG", svg::OutputFormat::Png},   // capitals decide as well
            {"/t/a.JpEg", pngFilter, "/t/a.JpEg", svg::OutputFormat::Jpeg},
            {"/t/a.webp", pdfFilter, "/t/a.webp", svg::OutputFormat::Webp},
            {"/t/a.EMF", pngFilter, "/t/a.svg", svg::OutputFormat::Svg},   // the metafile's stand-in
            {"/t/a", pngFilter, "/t/a.png", svg::OutputFormat::Png},       // the filter's extension
            {"/t/a.", pdfFilter, "/t/a.pdf", svg::OutputFormat::Pdf},
            {"/t/a.txt", pdfFilter, "/t/a.txt.pdf", svg::OutputFormat::Pdf},
            {"/t.png/a", pdfFilter, "/t.png/a.pdf", svg::OutputFormat::Pdf},  // a folder's dot is no extension
        };
        for (const auto& [typed, filter, path, format] : cases) {
            const vexo::ExportTarget target = vexo::ResolveExportTarget(QString::fromLatin1(typed), filter);
            QCOMPARE(target.path, QString::fromLatin1(path));
            QVERIFY2(target.format == format, typed);
        }
    }

    void init()
    {
        MakeDocument();
        view_ = std::make_unique<CSvgPartView>(*doc_, *settings_);
        view_->resize(460, 300);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    }
    void cleanup()
    {
        view_.reset();
        DropDocument();
    }

    void aSelectedElementIsDrawnAloneAndFitted()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("part.svg"), PartDocument(3)));
        QSignalSpy drawn(view_.get(), &CSvgPartView::pictureChanged);
        doc_->SelectElement(Find("#r"));
        QCOMPARE(view_->Selected(), Find("#r"));
        QVERIFY(drawn.wait(5000));
        QVERIFY(view_->HasPicture());
        // The rectangle after its transform.
        QVERIFY(view_->Extent());
        QCOMPARE(view_->Extent()->x, 110.f);
        QCOMPARE(view_->Extent()->width, 30.f);
        QVERIFY(view_->CopyAction()->isEnabled() && view_->ExportAction()->isEnabled());
        QVERIFY(view_->DrawingToolBar()->isVisible() && !view_->ImageToolBar()->isVisible());
        QWidget* canvas = view_->Canvas();
        const QPoint middle(canvas->width() / 2 + 20 - 10, canvas->height() / 2 + 5);
        QCOMPARE(PixelAt(canvas, middle), QColor(Qt::blue));
        QCOMPARE(PixelAt(canvas, QPoint(5, canvas->height() - 3)), QColor(Qt::white));
        // Checker: light grey squares of 15 pixels beside white ones.
        view_->CheckerAction()->trigger();
        QVERIFY(view_->Checker());
        QCOMPARE(PixelAt(canvas, QPoint(20, 5)), QColor(192, 192, 192));
        QCOMPARE(PixelAt(canvas, QPoint(5, 5)), QColor(Qt::white));
        // The status bar follows the pointer in user units.
        QSignalSpy coordinates(view_.get(), &CSvgPartView::coordinatesChanged);
        const std::optional<PartViewLayout> layout = LayOutPartView(canvas->size(), *view_->Extent());
        QVERIFY(layout);
        QTest::mouseMove(canvas, layout->UserToPane(QPointF(125, 70), *view_->Extent()).toPoint());
        QTRY_VERIFY(!coordinates.isEmpty());
        QVERIFY2(coordinates.last().first().toString().startsWith(QStringLiteral("X=125.")),
                 qPrintable(coordinates.last().first().toString()));
    }

    void axisModeDrawsWithoutTheTransform()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("part.svg"), PartDocument(3)));
        QSignalSpy drawn(view_.get(), &CSvgPartView::pictureChanged);
        doc_->SelectElement(Find("#r"));
        QVERIFY(drawn.wait(5000));
        view_->AxisAction()->trigger();
        QVERIFY(view_->AxisMode());
        QCOMPARE(view_->Extent()->x, 10.f);
        QVERIFY(!view_->HasPicture());  // dropped, drawn again
        QVERIFY(drawn.wait(5000));
        QVERIFY(view_->HasPicture());
    }

    void elementsWithoutAFrameShowTheBackgroundOnly()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("part.svg"), PartDocument(3)));
        for (const char* id : {"#empty", "#flood"}) {
            doc_->SelectElement(Find(id));
            QTest::qWait(50);
            QVERIFY(!view_->HasPicture());
            QVERIFY(!view_->CopyAction()->isEnabled() && !view_->ExportAction()->isEnabled());
            QCOMPARE(PixelAt(view_->Canvas(), QPoint(view_->Canvas()->width() / 2, 40)), QColor(Qt::white));
        }
        // A primitive whose filter keeps no images: the image tool bar, every image command off.
        QVERIFY(view_->ImageToolBar()->isVisible() && !view_->DrawingToolBar()->isVisible());
        for (auto kind : {CSvgPartView::ImageKind::In, CSvgPartView::ImageKind::In2, CSvgPartView::ImageKind::Result})
            QVERIFY(!view_->ImageAction(kind)->isEnabled());
    }

    void aNewSelectionCancelsTheRunningDrawingAtOnce()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("heavy.svg"), PartDocument(40000)));
        QSignalSpy drawn(view_.get(), &CSvgPartView::pictureChanged);
        doc_->SelectElement(Find("#heavy"));
        QVERIFY(view_->Rendering());
        QTest::qWait(30);
        QVERIFY2(view_->Rendering(), "the heavy group should still be drawing");
        QElapsedTimer timer;
        timer.start();
        doc_->SelectElement(Find("#c"));
        // The window never waits for the stopped drawing (a generous bound: it returns at once).
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(drawn.wait(5000));
        QCOMPARE(drawn.count(), 1);  // the heavy drawing was never handed over
        QVERIFY(view_->HasPicture());
        QCOMPARE(view_->Extent()->width, 20.f);
        QCOMPARE(PixelAt(view_->Canvas(), QPoint(view_->Canvas()->width() / 2 + 10, view_->Canvas()->height() / 2 + 5)),
                 QColor(Qt::green));
    }

    void aReloadWhileDrawingStopsTheDrawingFirst()
    {
        const QString path = env_->WriteFile(QStringLiteral("heavy.svg"), PartDocument(40000));
        vexo::test::OpenAndWait(*doc_, path);
        doc_->SelectElement(Find("#heavy"));
        QVERIFY(view_->Rendering());
        // The documents go while the drawing reads them: it must be joined first.
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("part.svg"), PartDocument(3)));
        QVERIFY(!view_->Rendering());
        QCOMPARE(view_->Selected(), nullptr);
        QVERIFY(!view_->HasPicture());
    }

    void exportWritesTheElementAtItsNaturalSizeInEveryFormat()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("part.svg"), PartDocument(3)));
        QSignalSpy drawn(view_.get(), &CSvgPartView::pictureChanged);
        doc_->SelectElement(Find("#r"));
        QVERIFY(drawn.wait(5000));
        // 30 x 20 units: 30 x 20 pixels, blue over white.
        for (const char* name : {"e.png", "e.JPG", "e.bmp", "e.gif", "e.tif", "e.webp"}) {
            const QString path = env_->Path(QString::fromLatin1(name));
            QString error;
            QVERIFY2(view_->ExportTo(path, error), qPrintable(error));
            const QImage image(path);
            QVERIFY2(!image.isNull(), name);
            QCOMPARE(image.size(), QSize(30, 20));
            const QColor middle = image.pixelColor(15, 10);
            QVERIFY2(middle.red() < 10 && middle.green() < 10 && middle.blue() > 240, name);
        }
        // 30 x 20 pixels are 22.5 x 15 points.
        const std::pair<const char*, const char*> vectors[] = {
            {"e.pdf", R"(/MediaBox \[ ?0 0 22\.5 15 ?\])"},
            {"e.svg", R"(<svg[^>]* width="30(px|pt)?" height="20(px|pt)?")"},
            {"e.emf", R"(<svg[^>]* width="30(px|pt)?" height="20(px|pt)?")"},
            {"e.ps", R"(%%DocumentMedia: \S+ 23 15 )"},
        };
        for (const auto& [name, pattern] : vectors) {
            const QString typed = env_->Path(QString::fromLatin1(name));
            QString error;
            QVERIFY2(view_->ExportTo(typed, error), qPrintable(error));
            QFile file(vexo::ResolveExportTarget(typed, {}).path);
            QVERIFY2(file.open(QIODevice::ReadOnly), name);
            const std::string bytes = file.readAll().toStdString();
            QVERIFY2(std::regex_search(bytes, std::regex(pattern)), (std::string(name) + ": " + bytes.substr(0, 300)).c_str());
        }
    }

    void copyPutsThePictureOnTheClipboard()
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile(QStringLiteral("part.svg"), PartDocument(3)));
        QSignalSpy drawn(view_.get(), &CSvgPartView::pictureChanged);
        doc_->SelectElement(Find("#c"));
        QVERIFY(drawn.wait(5000));
        view_->CopyAction()->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data != nullptr);
        for (const char* type : {"image/png", "image/svg+xml", "application/pdf"})
            QVERIFY2(data->hasFormat(QLatin1String(type)), type);
        const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
        QCOMPARE(png.size(), QSize(20, 20));
    }

private:
    std::unique_ptr<CSvgPartView> view_;
};

QTEST_MAIN(PartViewTest)
#include "part_view_qtest.moc"
