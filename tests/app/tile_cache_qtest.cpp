// The main view's tiles: which tiles cover an area, stale generations,
// trimming, and through the view: a pan renders only the tiles that come
// into view, a zoom while tiles render keeps none of the old scale.
#include <QScrollBar>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/picture_clipboard.h"
#include "app/tile_cache.h"
#include "app/vexo_view.h"
#include "render/render.h"

using vexo::CTileCache;
using vexo::CVexoView;
using vexo::TileKey;

namespace {

std::vector<TileKey> Sorted(std::vector<TileKey> keys)
{
    std::sort(keys.begin(), keys.end());
    return keys;
}

QImage Tile(QColor colour)
{
    QImage image(CTileCache::kTileSizePx, CTileCache::kTileSizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// A 2000 x 2000 picture of stripes, so that every tile differs.
QByteArray Stripes()
{
    QByteArray text = "<svg xmlns='http://www.w3.org/2000/svg' width='2000' height='2000'>";
    for (int i = 0; i < 100; ++i)
        text += QByteArray("<rect x='") + QByteArray::number(i * 20) + "' width='10' height='2000' fill='#" +
                (i % 2 ? "c00" : "0c0") + "' transform='rotate(" + QByteArray::number(i) + " 1000 1000)'/>";
    return text + "</svg>";
}

// More elements than a picture keeps a recording of: drawn at each replay.
// Rectangles with wide mitred strokes across tile edges, in moved and
// scaled groups, and `filtered` some blurred.
QByteArray ManyRects(bool filtered)
{
    QByteArray text = "<svg xmlns='http://www.w3.org/2000/svg' width='600' height='600'>"
                      "<filter id='f'><feGaussianBlur stdDeviation='6'/></filter>";
    const int count = int(svg::kMaxRecordedElements) + 1;
    for (int i = 0; i < count; i += 100) {
        text += "<g transform='translate(" + QByteArray::number(i % 7) + ".5) scale(1." + QByteArray::number(i % 3) +
                ")'" +
                (filtered && i % 2000 == 0 ? " filter='url(#f)'" : "") + ">";
        for (int j = i; j < std::min(count, i + 100); ++j)
            text += "<rect x='" + QByteArray::number((j * 37) % 590) + "' y='" + QByteArray::number((j * 53) % 590) +
                    "' width='6' height='4' fill='#" + QByteArray::number(0x100000 + (j * 7919) % 0xEFFFFF, 16) +
                    "' stroke='black' stroke-width='1.5' stroke-miterlimit='9'/>";
        text += "</g>";
    }
    return text + "</svg>";
}

}  // namespace

class TileCacheTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void coveringTiles()
    {
        const struct {
            QRect area;
            std::vector<TileKey> keys;
        } kCases[] = {
            {QRect(), {}},
            {QRect(0, 0, 256, 256), {{0, 0}}},
            {QRect(0, 0, 257, 256), {{0, 0}, {1, 0}}},
            {QRect(255, 255, 2, 2), {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
            // Left of and above the picture's origin: floor, not truncation.
            {QRect(-1, -256, 1, 1), {{-1, -1}}},
            {QRect(-300, 10, 600, 10), {{-2, 0}, {-1, 0}, {0, 0}, {1, 0}}},
        };
        for (const auto& test : kCases)
            QCOMPARE(Sorted(CTileCache::Covering(test.area)), Sorted(test.keys));
        // The middle of the view comes first.
        QCOMPARE(CTileCache::Covering(QRect(0, 0, 256 * 5, 256 * 3)).front(), TileKey({2, 1}));
    }

    void staleTilesAreRefused()
    {
        CTileCache cache;
        const std::uint64_t first = cache.Reset(1);
        QVERIFY(cache.Insert(first, {0, 0}, Tile(Qt::red)));
        const std::uint64_t second = cache.Reset(1.5f);
        QVERIFY(second != first);
        QCOMPARE(cache.Size(), std::size_t(0));
        QVERIFY(!cache.Insert(first, {1, 0}, Tile(Qt::red)));
        QVERIFY(cache.Find({1, 0}) == nullptr);
        QVERIFY(cache.Insert(second, {1, 0}, Tile(Qt::green)));
        QCOMPARE(cache.Missing(QRect(0, 0, 512, 256)), std::vector<TileKey>({{0, 0}}));
    }

    void trimKeepsTheVisibleTilesAndDropsTheFarthest()
    {
        CTileCache cache;
        const std::uint64_t generation = cache.Reset(1);
        for (int column = -5; column <= 5; ++column)
            cache.Insert(generation, {column, 0}, Tile(Qt::blue));
        const QRect area(0, 0, 512, 256);  // tiles 0 and 1
        cache.Trim(area, 5);
        QCOMPARE(cache.Size(), std::size_t(5));
        for (const TileKey kept : {TileKey{-1, 0}, TileKey{0, 0}, TileKey{1, 0}, TileKey{2, 0}})
            QVERIFY(cache.Find(kept) != nullptr);
        QVERIFY(cache.Find({5, 0}) == nullptr && cache.Find({-5, 0}) == nullptr);
        // Visible tiles stay even past the bound.
        cache.Trim(area, 0);
        QVERIFY(cache.Find({0, 0}) != nullptr && cache.Find({1, 0}) != nullptr);
        QCOMPARE(cache.Size(), std::size_t(2));
    }

    void panRendersOnlyTheTilesThatComeIntoView()
    {
        OpenView(Stripes());
        // The tiles of the first scale are finished before the count starts.
        QTRY_VERIFY(view_->TilesComplete() && view_->TileRenderer().Idle());
        const int before = view_->TileRenderer().TilesRendered();
        view_->Scale100();
        QCOMPARE(view_->Origin(), QPoint(21, 15));
        QTRY_VERIFY(view_->TilesComplete());
        // Picture pixels 0 ... 490 x 0 ... 496 are visible: two by two tiles.
        QCOMPARE(view_->TileRenderer().TilesRendered() - before, 4);

        view_->horizontalScrollBar()->setValue(view_->horizontalScrollBar()->value() + 256);
        QCOMPARE(view_->Origin(), QPoint(21 - 256, 15));
        QTRY_VERIFY(view_->TilesComplete());
        QCOMPARE(view_->TileRenderer().TilesRendered() - before, 6);  // column 2 of rows 0 and 1
        QCOMPARE(view_->Tiles().Size(), std::size_t(6));

        // Back again: nothing to render.
        view_->horizontalScrollBar()->setValue(view_->horizontalScrollBar()->value() - 256);
        view_->viewport()->repaint();
        QVERIFY(view_->TilesComplete());
        QCOMPARE(view_->TileRenderer().TilesRendered() - before, 6);
    }

    void zoomWhileRenderingKeepsOnlyTilesOfTheNewScale()
    {
        OpenView(Stripes());
        view_->Scale100();
        for (int i = 0; i < 4; ++i) {
            view_->ZoomIn();
            // Paint now: tiles of this scale are asked for and in work when
            // the next zoom comes.
            view_->viewport()->repaint();
        }
        view_->ZoomOut();
        view_->viewport()->repaint();
        QTRY_VERIFY_WITH_TIMEOUT(view_->TilesComplete(), 20000);
        QTRY_VERIFY(view_->TileRenderer().Idle());
        QCoreApplication::processEvents();

        // Every tile held is the picture at the final scale.
        const float scale = view_->Scale();
        QCOMPARE(view_->Tiles().Scale(), scale);
        QVERIFY(view_->Tiles().Size() > 0);
        ForEachHeldTile(scale, [](TileKey key, const QImage& tile, const QImage& expected) {
            QVERIFY2(tile == expected, qPrintable(QString("tile %1,%2").arg(key.column).arg(key.row)));
        });
    }

    // Tiles are pieces of one picture: put side by side they give the same
    // pixels as the whole view drawn at once, blurs across tile edges and
    // pictures drawn again for their scale (filters) included.
    void tilesMatchTheWholePicture_data()
    {
        QTest::addColumn<QByteArray>("svg");
        QTest::addColumn<float>("scale");
        QTest::addColumn<bool>("drawnAtReplay");
        QTest::newRow("stripes at 1") << Stripes() << 1.0f << false;
        QTest::newRow("stripes at 0.7") << Stripes() << 0.7f << false;
        const QByteArray blurred = "<svg xmlns='http://www.w3.org/2000/svg' width='600' height='600'>"
                                   "<filter id='f'><feGaussianBlur stdDeviation='12'/></filter>"
                                   "<rect x='200' y='200' width='150' height='150' fill='blue' filter='url(#f)'/>"
                                   "<circle cx='256' cy='256' r='40' fill='red' filter='url(#f)'/></svg>";
        QTest::newRow("blur at 1") << blurred << 1.0f << false;
        QTest::newRow("blur at 1.5") << blurred << 1.5f << false;
        QTest::newRow("many rectangles at 1") << ManyRects(false) << 1.0f << true;
        QTest::newRow("many rectangles at 0.83") << ManyRects(false) << 0.83f << true;
        QTest::newRow("many rectangles, some blurred, at 1.5") << ManyRects(true) << 1.5f << true;
    }

    void tilesMatchTheWholePicture()
    {
        QFETCH(QByteArray, svg);
        QFETCH(float, scale);
        QFETCH(bool, drawnAtReplay);
        OpenView(svg);
        const svg::CPicture& picture = *doc_->Picture();
        QCOMPARE(picture.DrawnAtReplay(), drawnAtReplay);
        const QImage whole = vexo::ReplayPicture(picture, QSize(512, 512), svg::Matrix{scale, 0, 0, scale, 0, 0},
                                                 Qt::transparent);
        int worstDifference = 0;
        for (const TileKey key : CTileCache::Covering(QRect(0, 0, 512, 512))) {
            const QRect rect = CTileCache::TileRect(key);
            const QImage tile = vexo::ReplayPicture(
                picture, rect.size(), svg::Matrix{scale, 0, 0, scale, -double(rect.x()), -double(rect.y())},
                Qt::transparent);
            for (int y = 0; y < rect.height(); ++y)
                for (int x = 0; x < rect.width(); ++x) {
                    const QRgb a = tile.pixel(x, y);
                    const QRgb b = whole.pixel(rect.x() + x, rect.y() + y);
                    worstDifference = std::max({worstDifference, std::abs(qRed(a) - qRed(b)),
                                                std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                                                std::abs(qAlpha(a) - qAlpha(b))});
                }
        }
        QVERIFY2(worstDifference <= 2, qPrintable(QString("worst channel difference %1").arg(worstDifference)));
    }

    // Filters are drawn again for each replay: their tiles come in blocks,
    // one replay for many tiles, cut without seams.
    void filteredPicturesRenderInBlocks()
    {
        OpenView("<svg xmlns='http://www.w3.org/2000/svg' width='600' height='600'>"
                 "<filter id='f'><feGaussianBlur stdDeviation='12'/></filter>"
                 "<rect x='100' y='100' width='350' height='350' fill='blue' filter='url(#f)'/></svg>");
        QVERIFY(doc_->Picture()->HasRasterEffects());
        view_->ZoomTo(1.5f);
        view_->viewport()->repaint();
        QTRY_VERIFY_WITH_TIMEOUT(view_->TilesComplete(), 20000);
        QTRY_VERIFY(view_->TileRenderer().Idle());
        QCoreApplication::processEvents();
        QVERIFY(view_->TileRenderer().TilesRendered() < int(view_->Tiles().Size()));
        const int checked = ForEachHeldTile(1.5f, [](TileKey key, const QImage& tile, const QImage& expected) {
            int worst = 0;
            for (int y = 0; y < tile.height(); ++y)
                for (int x = 0; x < tile.width(); ++x)
                    worst = std::max(worst, std::abs(qAlpha(tile.pixel(x, y)) - qAlpha(expected.pixel(x, y))));
            QVERIFY2(worst <= 2, qPrintable(QString("tile %1,%2: %3").arg(key.column).arg(key.row).arg(worst)));
        });
        QVERIFY(checked > 0);
    }

    void cleanup()
    {
        view_.reset();
        DropDocument();
    }

private:
    void OpenView(const QByteArray& svgText)
    {
        MakeDocument();
        view_ = std::make_unique<CVexoView>(*doc_);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        const QSize frame = view_->size() - view_->viewport()->size();
        view_->resize(QSize(512, 512) + frame);
        QTRY_COMPARE(view_->viewport()->size(), QSize(512, 512));
        vexo::test::OpenAndWait(*doc_, env_->WriteFile("test.svg", svgText));
    }

    // Calls `check` with each tile the view holds and the picture replayed
    // for that tile at `scale`; returns how many there were.
    template <typename Check>
    int ForEachHeldTile(float scale, Check check) const
    {
        int held = 0;
        for (const TileKey key : CTileCache::Covering(QRect(-4096, -4096, 16384, 16384))) {
            const QImage* tile = view_->Tiles().Find(key);
            if (tile == nullptr)
                continue;
            const QRect rect = CTileCache::TileRect(key);
            const svg::Matrix toTile{scale, 0, 0, scale, -double(rect.x()), -double(rect.y())};
            check(key, *tile, vexo::ReplayPicture(*doc_->Picture(), rect.size(), toTile, Qt::transparent));
            ++held;
        }
        return held;
    }

    std::unique_ptr<CVexoView> view_;
};

QTEST_MAIN(TileCacheTest)
#include "tile_cache_qtest.moc"
