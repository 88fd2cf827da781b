// The main view: fit and zoom arithmetic, rulers and units, the highlight,
// selection by clicking, panning, Copy, and the states without a picture.
#include <QClipboard>
#include <QScrollBar>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/settings.h"
#include "app/vexo_doc.h"
#include "app/vexo_view.h"
#include "model/message_log.h"

using vexo::CVexoView;

namespace {

// (No raw strings: moc misreads one that spans lines and holds "//".)
const QByteArray kShapes = "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50'>"
                           "<defs><rect id='unused' width='5' height='5'/></defs>"
                           "<rect id='box' x='10' y='10' width='30' height='20' fill='#f00'/>"
                           "<text x='50' y='40'>Hello</text></svg>";

const QByteArray kCentimetres = "<svg xmlns='http://www.w3.org/2000/svg' width='10cm' height='5cm' "
                                "viewBox='0 0 100 50'><rect width='100' height='50' fill='#00f'/></svg>";

// Some pixel of `image` is close to `colour`.
bool HasPixelNear(const QImage& image, QColor colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 60 && std::abs(pixel.green() - colour.green()) < 60 &&
                std::abs(pixel.blue() - colour.blue()) < 60)
                return true;
        }
    return false;
}

}  // namespace

class VexoViewTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void init()
    {
        MakeDocument();
        view_ = std::make_unique<CVexoView>(*doc_);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        SetClientSize(QSize(621, 315));
    }

    void cleanup()
    {
        view_.reset();
        DropDocument();
    }

    void fitUsesFiveSixthsOfTheAreaBesideTheRulers()
    {
        Open(kShapes);
        QCOMPARE(view_->Scale(), 5.0f);
        QCOMPARE(view_->Origin(), QPoint(21 + 50, 15 + 25));
        QCOMPARE(view_->ZoomText(), QString("Scale: 500%"));
        // The picture may scroll from just off the right edge to just off the left.
        QCOMPARE(view_->horizontalScrollBar()->minimum(), -621);
        QCOMPARE(view_->horizontalScrollBar()->maximum(), 500);
        QCOMPARE(view_->horizontalScrollBar()->pageStep(), 500);
        QCOMPARE(view_->horizontalScrollBar()->value(), -71);

        SetClientSize(QSize(321, 165));
        view_->FitWindow();
        QCOMPARE(view_->ZoomText(), QString("Scale: 250%"));
    }

    void zoomKeepsTheCentreAndScalesByOneAndAHalf()
    {
        Open(kShapes);
        view_->Scale100();
        QCOMPARE(view_->Origin(), QPoint(21, 15));
        const QPointF centre(621 / 2, 315 / 2);
        const QPointF userBefore = view_->DeviceToUser(centre);
        for (int i = 0; i < 3; ++i)
            view_->ZoomIn();
        QCOMPARE(view_->Scale(), 3.375f);
        QCOMPARE(view_->ZoomText(), QString("Scale: 337%"));
        const QPointF userAfter = view_->DeviceToUser(centre);
        QVERIFY(std::abs(userAfter.x() - userBefore.x()) <= 1 / 3.375);
        QVERIFY(std::abs(userAfter.y() - userBefore.y()) <= 1 / 3.375);
        for (int i = 0; i < 3; ++i)
            view_->ZoomOut();
        QCOMPARE(view_->Scale(), 1.0f);

        // Ctrl + click zooms about the mouse.
        const QPoint mouse(100, 200);
        const QPointF underMouse = view_->DeviceToUser(mouse);
        QTest::mouseClick(view_->viewport(), Qt::LeftButton, Qt::ControlModifier, mouse);
        QCOMPARE(view_->Scale(), 1.5f);
        QVERIFY(std::abs(view_->DeviceToUser(mouse).x() - underMouse.x()) <= 1 / 1.5);
        QTest::mouseClick(view_->viewport(), Qt::RightButton, Qt::ControlModifier, mouse);
        QCOMPARE(view_->Scale(), 1.0f);

        // The wheel zooms without Ctrl; a touchpad's small steps add up to a notch.
        const std::pair<int, float> steps[] = {{60, 1.0f}, {60, 1.5f}, {-120, 1.0f}};
        for (const auto& [delta, scale] : steps) {
            QWheelEvent wheel(mouse, view_->viewport()->mapToGlobal(mouse), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view_->viewport(), &wheel);
            QCOMPARE(view_->Scale(), scale);
        }
    }

    void rulerStepsAndDigits()
    {
        // Centimetres at 96 dpi: the step is in user units.
        const double pxPerCm = 96 / 2.54;
        const struct {
            double unitFactor;
            double scale;
            double step;
            int exponent;
        } kSteps[] = {
            {1, 1, 100, 2}, {1, 5, 10, 1}, {1, 1000, 0.5, -1}, {1, 10000, 0.05, -2}, {1 / pxPerCm, 1, pxPerCm, 0}};
        for (const auto& expected : kSteps) {
            int exponent = 99;
            const double step = vexo::RulerStep(expected.unitFactor, expected.scale, exponent);
            QVERIFY2(std::abs(step - expected.step) < 1e-9,
                     qPrintable(QString("step %1 at scale %2").arg(step).arg(expected.scale)));
            QCOMPARE(exponent, expected.exponent);
        }
        int exponent = 99;
        vexo::RulerStep(1, 0, exponent);
        QCOMPARE(exponent, 0);

        Open(kShapes);
        QCOMPARE(view_->XDigits(), 1);
        QCOMPARE(view_->CoordinateText(QPointF(12.34, 5)), QString(" 12.3px   5.0px"));
    }

    void centimetreDocumentShowsCentimetresUntilPxIsChosen()
    {
        Open(kCentimetres);
        QCOMPARE(view_->UnitX().name, QString("cm"));
        QCOMPARE(view_->UnitY().name, QString("cm"));
        QCOMPARE(view_->XDigits(), 0);
        const QPointF corner(10 * 96 / 2.54, 5 * 96 / 2.54);
        QCOMPARE(view_->CoordinateText(corner), QString("10.00cm  5.00cm"));
        view_->SetUsePxUnit(true);
        QCOMPARE(view_->UnitX().name, QString("px"));
        QCOMPARE(view_->CoordinateText(corner), QString("378.0px 189.0px"));
        QVERIFY(!view_->grab().isNull());
    }

    void highlightFollowsTheSelectionButNotDefs()
    {
        Open(kShapes);
        const svg::CElem* box = Find("#box");
        QVERIFY(box != nullptr);
        doc_->SelectElement(box);
        QVERIFY(!view_->HighlightCorners());  // nothing painted yet
        view_->grab();
        QCOMPARE(*view_->HighlightCorners(), QPolygon({{121, 90}, {271, 90}, {271, 190}, {121, 190}}));

        doc_->SelectElement(Find("#unused"));
        QVERIFY(!view_->HighlightCorners());
        doc_->SelectElement(doc_->Root());
        QCOMPARE(*view_->HighlightCorners(), QPolygon({{71, 40}, {571, 40}, {571, 290}, {71, 290}}));
        doc_->SelectElement(nullptr);
        QVERIFY(!view_->HighlightCorners());
    }

    void clickSelectsAndDragPans()
    {
        Open(kShapes);
        QSignalSpy names(view_.get(), &CVexoView::elementNameChanged);
        QTest::mouseMove(view_->viewport(), QPoint(150, 120));
        QCOMPARE(names.size(), 1);
        QCOMPARE(names.first().first().toString(), QString("rect"));

        QTest::mouseClick(view_->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 120));
        QVERIFY(doc_->Selected() != nullptr);
        QCOMPARE(doc_->Selected()->IdAttribute(), std::string("box"));

        const QPoint origin = view_->Origin();
        QTest::mousePress(view_->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QMouseEvent move(QEvent::MouseMove, QPointF(310, 195), view_->viewport()->mapToGlobal(QPointF(310, 195)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view_->viewport(), &move);
        QCOMPARE(view_->Origin(), origin + QPoint(10, -5));
        QTest::mouseRelease(view_->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(320, 190));
        QCOMPARE(view_->Origin(), origin + QPoint(20, -10));
        QCOMPARE(view_->horizontalScrollBar()->value(), -view_->Origin().x());

        // The arrow keys scroll by a line.
        const QPoint beforeKey = view_->Origin();
        QTest::keyClick(view_.get(), Qt::Key_Right);
        QCOMPARE(view_->Origin(), beforeKey - QPoint(view_->horizontalScrollBar()->singleStep(), 0));
    }

    void copyRendersEveryFormatEvenAfterTheDocumentCloses()
    {
        Open(kShapes);
        view_->Copy();
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QVERIFY(data != nullptr);
        for (const char* format : {"image/png", "image/svg+xml", "application/pdf", "text/plain"})
            QVERIFY2(data->hasFormat(format), format);
        QCOMPARE(data->text(), QString("Hello"));

        // Closing deletes the picture; formats never asked for are kept.
        doc_->Close();
        const QImage png = QImage::fromData(data->data("image/png"), "PNG");
        QCOMPARE(png.size(), QSize(100, 50));
        QCOMPARE(png.pixel(20, 20), qRgb(255, 0, 0));
        QCOMPARE(png.pixel(90, 5), qRgb(255, 255, 255));
        QCOMPARE(qvariant_cast<QImage>(data->imageData()).size(), QSize(100, 50));
        QVERIFY(data->data("image/svg+xml").contains("<svg"));
        QVERIFY(data->data("application/pdf").startsWith("%PDF"));
    }

    void statesWithoutAPicturePaintTheirMessage()
    {
        QVERIFY(HasPixelNear(view_->grab().toImage(), Qt::blue));  // "Please drop SVG file here."
        view_->ZoomIn();
        view_->FitWindow();
        view_->Copy();
        QCOMPARE(view_->Scale(), 1.0f);

        vexo::test::OpenAndWait(*doc_, env_->Path("missing.svg"));
        QVERIFY(doc_->Log().Counts().fatal > 0);
        QVERIFY(HasPixelNear(view_->grab().toImage(), Qt::red));
    }

    // Not a check: VEXO_VIEW_SCREENSHOT=out.png saves the sample drawing at fit.
    void screenshotOfTheSample()
    {
        const QByteArray path = qgetenv("VEXO_VIEW_SCREENSHOT");
        if (path.isEmpty())
            QSKIP("VEXO_VIEW_SCREENSHOT not set");
        SetClientSize(QSize(640, 480));
        vexo::test::OpenAndWait(*doc_, vexo::test::DataPath("../samples/drawing.svg"));
        doc_->SelectElement(Find("#sun-disc"));
        QVERIFY(view_->grab().save(QString::fromLocal8Bit(path)));
    }

private:
    void SetClientSize(QSize client)
    {
        const QSize frame = view_->size() - view_->viewport()->size();
        view_->resize(client + frame);
        QTRY_COMPARE(view_->viewport()->size(), client);
    }

    void Open(const QByteArray& svgText)
    {
        vexo::test::OpenAndWait(*doc_, env_->WriteFile("test.svg", svgText));
        QVERIFY(view_->Scale() > 0);
    }

    std::unique_ptr<CVexoView> view_;
};

QTEST_MAIN(VexoViewTest)
#include "vexo_view_qtest.moc"
