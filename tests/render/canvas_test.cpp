#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <initializer_list>

#include "base/limits.h"
#include "model/message_log.h"
#include "render/canvas.h"
#include "render/output.h"
#include "picture_probe.h"

using namespace svg;

namespace {

Rgba PixelAt(cairo_surface_t* surface, int x, int y) { return vexo_test::StraightPixel(surface, x, y); }

// A closed figure through `corners`, added to `path`.
void AddPolygon(CGraphicsPath& path, std::initializer_list<PointF> corners)
{
    path.StartFigure(*corners.begin());
    for (auto corner = corners.begin() + 1; corner != corners.end(); ++corner)
        path.AddLine(*corner);
    path.CloseFigure();
}

struct Surface {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    ~Surface() { cairo_surface_destroy(surface); }
};

constexpr Rgba kRed{255, 0, 0, 255};

}  // namespace

TEST(Canvas, RestoreBringsBackTransformAndCtmTogether)
{
    Surface image;
    CCanvas canvas(image.surface);
    const int outer = canvas.Save();
    ASSERT_TRUE(canvas.MultiplyTransform(Matrix::Scale(4, 4)));
    canvas.Save();
    ASSERT_TRUE(canvas.MultiplyTransform(Matrix::Translate(1, 0)));
    EXPECT_EQ(canvas.Ctm(), (Matrix{4, 0, 0, 4, 4, 0}));
    canvas.Restore(outer);  // also discards the inner state
    EXPECT_EQ(canvas.Ctm(), Matrix{});
    cairo_matrix_t m;
    cairo_get_matrix(canvas.Cairo(), &m);
    EXPECT_EQ(FromCairo(m), Matrix{});
    EXPECT_DOUBLE_EQ(canvas.DeviceScaleX(), 1);
}

TEST(Canvas, SingularTransformsAreRefusedAndLeaveTheContextUsable)
{
    Surface image;
    CCanvas canvas(image.surface);
    EXPECT_FALSE(canvas.MultiplyTransform(Matrix::Scale(0, 1)));
    EXPECT_FALSE(canvas.MultiplyTransform(Matrix{std::nan(""), 0, 0, 1, 0, 0}));
    EXPECT_TRUE(canvas.Usable());
    canvas.FillRect({0, 0, 20, 20}, kRed);
    EXPECT_EQ(PixelAt(image.surface, 10, 10), kRed);
}

TEST(Canvas, SaveGuardBalancesEarlyReturns)
{
    Surface image;
    CCanvas canvas(image.surface);
    {
        const CCanvasSaveGuard guard(canvas);
        canvas.IntersectClip(RectF{0, 0, 5, 5});
        canvas.MultiplyTransform(Matrix::Scale(2, 2));
    }
    canvas.FillRect({0, 0, 20, 20}, kRed);
    EXPECT_EQ(PixelAt(image.surface, 15, 15), kRed);  // the clip did not leak
}

TEST(Canvas, ClipAndFillRuleAndDashes)
{
    Surface image;
    CCanvas canvas(image.surface);
    CGraphicsPath ring;
    ring.fillRule = FillRule::EvenOdd;
    AddPolygon(ring, {{0, 0}, {20, 0}, {20, 20}, {0, 20}});
    AddPolygon(ring, {{5, 5}, {15, 5}, {15, 15}, {5, 15}});
    canvas.Fill(ring, kRed);
    EXPECT_EQ(PixelAt(image.surface, 2, 2), kRed);
    EXPECT_EQ(PixelAt(image.surface, 10, 10).a, 0);  // the even-odd hole

    Surface dashed;
    CCanvas pen(dashed.surface);
    CGraphicsPath line;
    line.StartFigure({0, 10});
    line.AddLine({20, 10});
    StrokePen stroke;
    stroke.color = kRed;
    stroke.width = 2;
    stroke.dashes = {4, 4};  // user units: on 0..4, off 4..8, on 8..12
    pen.Stroke(line, stroke);
    EXPECT_EQ(PixelAt(dashed.surface, 2, 10), kRed);
    EXPECT_EQ(PixelAt(dashed.surface, 6, 10).a, 0);
    EXPECT_EQ(PixelAt(dashed.surface, 10, 10), kRed);

    stroke.dashes = {4, -1};  // invalid: drawn solid, and cairo keeps working
    pen.Stroke(line, stroke);
    EXPECT_EQ(PixelAt(dashed.surface, 6, 10), kRed);
    EXPECT_TRUE(pen.Usable());
}

TEST(Canvas, HugeCoordinatesAreClampedInsteadOfWrapping)
{
    Surface image;
    CCanvas canvas(image.surface);
    CGraphicsPath wide;
    AddPolygon(wide, {{-1e12f, 0}, {1e12f, 0}, {1e12f, 20}, {-1e12f, 20}});
    canvas.Fill(wide, kRed);
    EXPECT_EQ(PixelAt(image.surface, 10, 10), kRed);
}

TEST(Canvas, GroupOpacityCompositesOnce)
{
    Surface image;
    CCanvas canvas(image.surface);
    canvas.BeginGroup();
    canvas.FillRect({0, 0, 20, 20}, kRed);
    canvas.FillRect({0, 0, 20, 20}, kRed);  // overlapping paint inside the group
    canvas.EndGroup(0.5);
    EXPECT_NEAR(PixelAt(image.surface, 10, 10).a, 128, 1);
}

// Sizes past the pixel budget (256 Mi pixels) or cairo's 32767 a side are
// scaled down with the aspect ratio kept, and say what was asked for.
TEST(OutputSize, PixelBudgetScalesDownAndSaysSo)
{
    struct Case {
        const char* what;
        RectF frame;
        std::optional<int> width;
        double zoom;
        int expectedWidth;
        int expectedHeight;
        double requestedWidth;  // 0: not reduced
    };
    const Case cases[] = {
        {"fits", {0, 0, 16384, 16384}, std::nullopt, 1, 16384, 16384, 0},
        {"a huge root", {0, 0, 1e9f, 1e9f}, std::nullopt, 1, 16384, 16384, 1e9},
        {"a large zoom", {0, 0, 200, 100}, std::nullopt, 1000, 23170, 11585, 200000},
        {"one side past cairo's limit", {0, 0, 40000, 10}, std::nullopt, 1, 32767, 8, 40000},
        {"a width asked for", {0, 0, 2, 1}, 30000, 1, 23170, 11585, 30000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OutputSize size = ComputeOutputSize(c.frame, c.width, std::nullopt, c.zoom);
        EXPECT_EQ(size.width, c.expectedWidth);
        EXPECT_EQ(size.height, c.expectedHeight);
        EXPECT_LE(std::size_t(size.width) * std::size_t(size.height), limits::kMaxOutputPixels);
        EXPECT_DOUBLE_EQ(size.requestedWidth, c.requestedWidth);
        CMessageLog log;
        ReportReducedOutput(size, log);
        EXPECT_EQ(log.Count(), c.requestedWidth > 0 ? 1u : 0u);
    }
    CMessageLog log;
    ReportReducedOutput(ComputeOutputSize({0, 0, 200, 100}, std::nullopt, std::nullopt, 1000), log);
    EXPECT_EQ(log.Entry(0), "W Picture of 200000x100000 pixels reduced to 23170x11585: more than 256 megapixels");
}

TEST(OutputSize, DefaultsWidthOnlyAndFitting)
{
    const RectF frame{0, 0, 200, 100};
    OutputSize size = ComputeOutputSize(frame, std::nullopt, std::nullopt, 1);
    EXPECT_EQ(size.width, 200);
    EXPECT_EQ(size.height, 100);
    size = ComputeOutputSize(frame, 300, std::nullopt, 1);
    EXPECT_EQ(size.height, 150);
    EXPECT_DOUBLE_EQ(size.scale, 1.5);
    size = ComputeOutputSize(frame, 100, 100, 1);  // fitted and centred
    EXPECT_DOUBLE_EQ(size.scale, 0.5);
    EXPECT_DOUBLE_EQ(size.offsetY, 25);
    EXPECT_FALSE(size.Reduced());
    EXPECT_EQ(FormatFromPath("a.PNG"), OutputFormat::Png);
    EXPECT_EQ(FormatFromPath("a.pdf"), OutputFormat::Pdf);
    EXPECT_EQ(FormatFromPath("a.jpg"), OutputFormat::Jpeg);
    EXPECT_FALSE(FormatFromPath("a.emf"));
}

TEST(Canvas, ClipOnWholePixelsOnlyForPixelAlignedRectangles)
{
    struct Case {
        const char* what;
        double scale;  // of the ctm, before the clip
        RectF clip;    // in user units; empty: no clip
        bool circle;
        bool expected;
    };
    const Case cases[] = {
        {"no clip", 1, {}, false, true},
        {"whole pixels", 1, {2, 3, 10, 5}, false, true},
        {"half a pixel", 1, {2.5f, 3, 10, 5}, false, false},
        {"whole pixels after scaling", 2, {1.5f, 0.5f, 4, 2}, false, true},
        {"a fraction after scaling", 2, {1.25f, 0, 4, 2}, false, false},
        {"a curve", 1, {}, true, false},
    };
    for (const Case& c : cases) {
        Surface image;
        CCanvas canvas(image.surface);
        canvas.MultiplyTransform(Matrix::Scale(c.scale, c.scale));
        if (c.circle) {
            CGraphicsPath circle;
            circle.StartFigure({10, 5});
            circle.AddBezier({10, 8}, {8, 10}, {5, 10});
            circle.AddLine({5, 5});
            circle.CloseFigure();
            canvas.IntersectClip(circle, FillRule::NonZero);
        } else if (c.clip.width > 0) {
            canvas.IntersectClip(c.clip);
        }
        EXPECT_EQ(canvas.ClipOnWholePixels(), c.expected) << c.what;
    }
}

TEST(Canvas, PaintAlphaFadesFillsAndStrokes)
{
    Surface image;
    CCanvas canvas(image.surface);
    canvas.SetPaintAlpha(0.5);
    CGraphicsPath square;
    AddPolygon(square, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    canvas.Fill(square, kRed);
    StrokePen pen;
    pen.color = kRed;
    pen.width = 2;
    CGraphicsPath line;
    line.StartFigure({12, 15});
    line.AddLine({20, 15});
    canvas.Stroke(line, pen);
    EXPECT_NEAR(PixelAt(image.surface, 5, 5).a, 128, 1);
    EXPECT_NEAR(PixelAt(image.surface, 15, 15).a, 128, 1);

    // A group fades its composite, not its content a second time.
    canvas.BeginGroup();
    EXPECT_EQ(canvas.PaintAlpha(), 1);
    canvas.FillRect({0, 16, 4, 4}, kRed);
    canvas.EndGroup(0.5);
    EXPECT_EQ(canvas.PaintAlpha(), 0.5);
    EXPECT_NEAR(PixelAt(image.surface, 2, 18).a, 64, 1);
}
