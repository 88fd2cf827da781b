// Pictures that keep no recording: the document pass reports exactly what a
// recording pass reports, and each replay draws the document again, skipping
// what the clip hides, with the pixels of the recorded picture.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "picture_probe.h"
#include "render/preview.h"
#include "render/render.h"
#include "test_support.h"

using namespace svg;

namespace {

std::string Document(const std::string& body, const std::string& size = "width='120' height='120'")
{
    return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' " + size + ">" +
           body + "</svg>";
}

std::string Rects(int count)
{
    std::string body;
    for (int i = 0; i < count; ++i)
        body += "<rect x='" + std::to_string(i % 100) + "' y='" + std::to_string(i / 100) + "' width='1' height='1'/>";
    return body;
}

cairo_surface_t* Replayed(const CPicture& picture, int width, int height, const Matrix& userToDevice)
{
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(image);
    picture.Replay(cr, userToDevice);
    cairo_destroy(cr);
    cairo_surface_flush(image);
    return image;
}

// Each draws across the edges of the 40-pixel tiles, some beyond what
// their box says (markers, text, filters, backgrounds).
const vexo_test::NamedDocument kDrawnCases[] = {
    {"strokes with long miters across tile edges",
     "<path d='M10 70 L38 10 L42 70' fill='none' stroke='navy' stroke-width='6' stroke-miterlimit='20'/>"
     "<rect x='39.5' y='39.5' width='1' height='1' fill='red'/><rect x='79' y='0' width='2' height='120'/>"},
    {"rotated and skewed groups",
     "<g transform='rotate(33 60 60)'><rect x='20' y='50' width='80' height='12' fill='red'/></g>"
     "<g transform='skewX(40) translate(-20 60)'><rect width='30' height='20' fill='lime'/></g>"},
    {"nested viewport clipping its overflow",
     "<svg x='30' y='30' width='50' height='50' viewBox='0 0 10 10'><circle cx='5' cy='5' r='8' fill='teal'/>"
     "</svg>"},
    {"symbol used twice",
     "<symbol id='s' viewBox='0 0 10 10'><rect width='10' height='10' fill='orange'/></symbol>"
     "<use xlink:href='#s' x='35' y='35' width='10' height='10'/><use xlink:href='#s' x='75' y='5' "
     "width='30' height='30'/>"},
    {"markers far beyond their path",
     "<marker id='mk' markerWidth='60' markerHeight='60' markerUnits='userSpaceOnUse' overflow='visible'>"
     "<rect x='5' y='5' width='50' height='50' fill='red'/></marker>"
     "<path d='M5 5 L10 10' stroke='black' marker-end='url(#mk)'/>"},
    {"text across a tile edge",
     "<text x='30' y='45' font-size='30' fill='purple'>Wg</text>"},
    {"a blur spreading into other tiles",
     "<filter id='f'><feGaussianBlur stdDeviation='5'/></filter>"
     "<rect x='30' y='30' width='15' height='15' fill='blue' filter='url(#f)'/>"},
    {"a filter reading the background",
     "<filter id='f'><feOffset in='BackgroundImage' dx='25' dy='25'/></filter>"
     "<g enable-background='new'><rect x='5' y='5' width='30' height='30' fill='green'/>"
     "<rect x='0' y='0' width='120' height='120' filter='url(#f)' fill='none'/></g>"},
    {"pattern, clip, mask and gradient",
     "<pattern id='p' width='7' height='7' patternUnits='userSpaceOnUse'><circle cx='3' cy='3' r='3' "
     "fill='red'/></pattern><clipPath id='c'><circle cx='60' cy='60' r='35'/></clipPath>"
     "<linearGradient id='g'><stop offset='0' stop-color='#fff'/><stop offset='1' stop-color='#000'/>"
     "</linearGradient><mask id='m'><rect width='120' height='120' fill='url(#g)'/></mask>"
     "<rect x='10' y='10' width='100' height='100' fill='url(#p)' clip-path='url(#c)'/>"
     "<rect x='0' y='80' width='120' height='30' fill='black' mask='url(#m)' opacity='0.7'/>"},
    {"a group far away and one huge",
     "<g transform='translate(5000 5000)'><rect width='10' height='10'/></g>"
     "<rect x='-1e7' y='38' width='2e7' height='4' fill='blue'/>"},
};

}  // namespace

class DrawnAtReplayTest : public vexo_test::PictureProbe {
protected:
    // The document drawn onto a new image by a pass that skips nothing.
    cairo_surface_t* DrawnWhole(int side, const Matrix& userToDevice)
    {
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
        cairo_t* cr = cairo_create(image);
        CRenderPass pass(nullptr, CStopToken::Never());
        DrawDocument(*document_, cr, pass, userToDevice);
        cairo_destroy(cr);
        cairo_surface_flush(image);
        return image;
    }
};

// A picture drawn at each replay gives the recorded picture's pixels at the
// scale it was recorded for, and each of its tiles, which skips what its
// clip hides, gives the pixels of the same tile drawn without skipping.
TEST_F(DrawnAtReplayTest, TilesGiveThePixelsOfTheWholeDrawing)
{
    constexpr int kTile = 40;
    const Matrix scales[] = {Matrix{}, Matrix{1.37, 0, 0, 1.37, 0.3, 0.6}};
    for (const vexo_test::NamedDocument& c : kDrawnCases) {
        ASSERT_NE(Load(c.body, {}, "width='120' height='120'"), nullptr) << c.name;
        const auto recorded = Current().Record();
        CRenderPass pass(nullptr, CStopToken::Never());
        const auto drawn = PassDocument(*document_, pass, Matrix{});
        ASSERT_TRUE(drawn->DrawnAtReplay());
        ASSERT_FALSE(drawn->Empty());
        int inked = 0;
        const auto compare = [&inked](cairo_surface_t* actual, cairo_surface_t* expected) {
            inked += vexo_test::InkedPixels(expected);
            const int largest = vexo_test::LargestChannelDifference(actual, expected);
            cairo_surface_destroy(actual);
            cairo_surface_destroy(expected);
            return largest;
        };
        EXPECT_LE(compare(Replayed(*drawn, 120, 120, Matrix{}), Replayed(*recorded, 120, 120, Matrix{})), 1)
            << c.name;
        EXPECT_GT(inked, 0) << c.name;
        for (const Matrix& m : scales) {
            const int side = int(std::ceil(120 * m.m11)) + 1;
            for (int top = 0; top < side; top += kTile)
                for (int left = 0; left < side; left += kTile) {
                    const Matrix toTile{m.m11, 0, 0, m.m22, m.dx - left, m.dy - top};
                    EXPECT_LE(compare(Replayed(*drawn, kTile, kTile, toTile), DrawnWhole(kTile, toTile)), 1)
                        << c.name << ", tile at " << left << "," << top << ", at scale " << m.m11;
                }
        }
    }
}

// Messages that only drawing finds: the pass into nothing reports each one
// as the recording pass does, in the same order, and nothing more; its
// replays report nothing.
TEST(DocumentPassWithoutRecording, ReportsWhatTheRecordingPassReports)
{
    const struct {
        const char* name;
        std::string text;
    } kCases[] = {
        {"filter on a box without area",
         Document("<filter id='f'><feOffset/></filter><line x1='0' y1='5' x2='50' y2='5' stroke='black' "
                  "filter='url(#f)'/>")},
        {"marker drawing itself",
         Document("<marker id='m' overflow='visible'><path d='M0 0 L5 5' marker-end='url(#m)' stroke='black'/>"
                  "</marker><path d='M10 10 L50 50' stroke='black' marker-end='url(#m)'/>")},
        {"conditions met in a switch",
         Document("<switch><rect systemLanguage='xx' width='5' height='5'/><rect width='5' height='5'/></switch>")},
        {"many elements around faults",
         Document("<filter id='f'><feOffset/></filter><line x2='9' stroke='black' filter='url(#f)'/>" + Rects(500) +
                  "<g opacity='0.5'>" + Rects(300) + "</g><line y1='3' x2='9' y2='3' stroke='red' filter='url(#f)'/>")},
    };
    for (const auto& c : kCases) {
        vexo_test::TestLoad recording;
        ASSERT_NE(recording.LoadText(c.text), nullptr) << c.name;
        const std::size_t beforePass = recording.Messages().size();
        ASSERT_NE(recording.Load().Record(), nullptr) << c.name;
        EXPECT_GT(recording.Messages().size(), beforePass) << c.name << ": the case reports nothing while drawn";

        vexo_test::TestLoad passing;
        ASSERT_NE(passing.LoadText(c.text), nullptr) << c.name;
        const auto picture = passing.Load().Pass(Matrix{});
        ASSERT_NE(picture, nullptr) << c.name;
        EXPECT_TRUE(picture->DrawnAtReplay()) << c.name;
        EXPECT_EQ(passing.Messages(), recording.Messages()) << c.name;
        // A replay reports nothing again, however often the picture is drawn.
        for (int i = 1; i <= 3; ++i)
            cairo_surface_destroy(Replayed(*picture, 30, 30, Matrix::Scale(i, i)));
        EXPECT_EQ(passing.Messages(), recording.Messages()) << c.name << ", replayed";
    }
}

TEST(DocumentPassWithoutRecording, BigDocumentsAloneGoWithoutRecording)
{
    const struct {
        const char* name;
        std::string body;
        std::size_t limit;
        std::size_t counted;
    } kCounts[] = {
        {"shapes, text and images in groups",
         "<g><rect width='1' height='1'/><g><text>t</text><image width='1' height='1'/></g></g><circle r='1'/>", 10, 4},
        {"containers and paint servers draw nothing of their own",
         "<defs><linearGradient id='g'><stop/></linearGradient></defs><g><g/></g><svg/>", 10, 0},
        {"counting stops past the limit", Rects(50), 7, 8},
    };
    for (const auto& c : kCounts) {
        vexo_test::TestLoad load;
        const CElemDocument* document = load.LoadText(Document(c.body));
        ASSERT_NE(document, nullptr) << c.name;
        EXPECT_EQ(CountDrawnElements(*document, c.limit), c.counted) << c.name;
    }

    for (const std::size_t count : {kMaxRecordedElements, kMaxRecordedElements + 1}) {
        vexo_test::TestLoad load;
        const CElemDocument* document = load.LoadText(Document(Rects(int(count))));
        ASSERT_NE(document, nullptr);
        const bool big = count > kMaxRecordedElements;
        EXPECT_EQ(KeepsRecording(*document), !big) << count;
        const auto picture = load.Load().MakePicture();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->DrawnAtReplay(), big) << count;
        EXPECT_EQ(picture->Recording() == nullptr, big) << count;
    }
}


// An element too big to record is previewed without a recording: replayed,
// it gives the pixels of its preview drawn straight, and framed again (copy,
// export) it keeps drawing the same.
TEST_F(DrawnAtReplayTest, BigPreviewsAreDrawnAtReplay)
{
    std::string body = "<g id='big' transform='translate(3 4)'>" + Rects(int(kMaxRecordedElements)) +
                       "<circle cx='50' cy='150' r='20' fill='red' stroke='black' stroke-width='4'/></g>";
    ASSERT_NE(Load(body, {}, "width='200' height='200'"), nullptr);
    const CElem* big = Find("#big");
    ASSERT_NE(big, nullptr);
    for (const bool axisMode : {false, true}) {
        CRenderPass pass(nullptr, CStopToken::Never());
        std::optional<PreviewRecording> preview = RecordPreview(*big, pass, axisMode);
        ASSERT_TRUE(preview.has_value());
        ASSERT_TRUE(preview->picture->DrawnAtReplay());
        ASSERT_EQ(InkBounds(*preview->picture), preview->extent);
        const Matrix toImage{2, 0, 0, 2, -2 * preview->extent.x, -2 * preview->extent.y};
        cairo_surface_t* direct = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 220, 220);
        cairo_t* cr = cairo_create(direct);
        const cairo_matrix_t m = ToCairo(toImage);
        cairo_transform(cr, &m);
        {
            CCanvas canvas(cr);
            canvas.InheritCtm(toImage);
            CRenderPass plain(nullptr, CStopToken::Never());
            RenderArgs args(plain);
            ASSERT_TRUE(DrawPreview(*big, canvas, args, axisMode));
        }
        cairo_destroy(cr);
        cairo_surface_flush(direct);
        const std::unique_ptr<CPicture> reframed = preview->picture->Reframed({1, 2, 3, 4});
        EXPECT_EQ(reframed->Frame(), (RectF{1, 2, 3, 4}));
        const CPicture* pictures[] = {preview->picture.get(), reframed.get()};
        for (const CPicture* picture : pictures) {
            cairo_surface_t* replayed = Replayed(*picture, 220, 220, toImage);
            EXPECT_EQ(vexo_test::LargestChannelDifference(replayed, direct), 0)
                << (axisMode ? "in its own space" : "in its parent's");
            EXPECT_GT(vexo_test::InkedPixels(direct), 1000);
            cairo_surface_destroy(replayed);
        }
        cairo_surface_destroy(direct);
    }
}
