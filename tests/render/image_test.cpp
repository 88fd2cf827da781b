// The `image` element on whole documents: placement with
// preserveAspectRatio, data: URLs and files, nested SVG documents and their
// cycles, opacity, bounds and hit testing, color-profile, and the messages.
#include <gtest/gtest.h>

#include <cairo.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/document.h"
#include "render/image_decode.h"
#include "render/image_fixtures.h"
#include "render/render.h"
#include "test_support.h"

using namespace svg;

namespace {

struct Color {
    int r, g, b, a;  // premultiplied
};

class ImageTest : public vexo_test::LoadTest {
protected:
    CElemDocument* Load(const std::string& svg)
    {
        NewLoad();
        return LoadText(svg, "/vexo-test/image.svg", "image.svg");
    }

    // The document drawn at 1:1 into a w x h picture; its pixel at (x, y).
    Color PixelAt(CElemDocument& document, int x, int y, int w = 40, int h = 40)
    {
        CRenderPass pass(&Current().Log(), CStopToken::Never());
        const auto picture = RecordDocument(document, pass);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* cr = cairo_create(surface);
        picture->Replay(cr, Matrix{});
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        std::uint32_t value;
        std::memcpy(&value, cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface) + x * 4,
                    4);
        cairo_surface_destroy(surface);
        return {static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                static_cast<int>(value & 0xFF), static_cast<int>(value >> 24)};
    }

    CElem* ById(CElemDocument& document, const std::string& id) { return FindIn(document, "#" + id); }

    CElemImage& ImageById(CElemDocument& document, const std::string& id)
    {
        CElem* elem = ById(document, id);
        EXPECT_TRUE(elem != nullptr && elem->Class() == ElemClass::Image);
        return *static_cast<CElemImage*>(elem);
    }
};

bool IsRed(const Color& c) { return c.r > 240 && c.g < 15 && c.b < 15 && c.a > 240; }
bool IsBlue(const Color& c) { return c.b > 240 && c.r < 15 && c.g < 15 && c.a > 240; }
bool IsGreen(const Color& c) { return c.g > 100 && c.r < 15 && c.b < 15 && c.a > 240; }
bool IsClear(const Color& c) { return c.a == 0; }

// A 2 x 1 PNG, red then blue, as a data: URL.
std::string RedBlueUrl()
{
    return "data:image/png;base64," +
           vexo_test::ToBase64(vexo_test::EncodePng(2, 1, {255, 0, 0, 255, 0, 0, 255, 255}));
}

// One image, 40 x 40 at the origin, with crisp pixels so that placement is
// read without blending.
std::string PlacedImage(const std::string& aspect, const std::string& href = RedBlueUrl())
{
    return "<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='40' height='40'>\n"
           "<image id='i' width='40' height='40' image-rendering='optimizeSpeed' preserveAspectRatio='" +
           aspect + "' xlink:href=\"" + href + "\"/></svg>";
}

}  // namespace

// --- Placement -------------------------------------------------------------------------

TEST_F(ImageTest, MeetSliceAndNonePlaceThePicture)
{
    // meet: 40 x 20, centred vertically.
    CElemDocument* meet = Load(PlacedImage("xMidYMid meet"));
    ASSERT_NE(meet, nullptr);
    EXPECT_TRUE(IsClear(PixelAt(*meet, 10, 5)));
    EXPECT_TRUE(IsRed(PixelAt(*meet, 10, 15)));
    EXPECT_TRUE(IsBlue(PixelAt(*meet, 30, 25)));
    EXPECT_TRUE(IsClear(PixelAt(*meet, 30, 35)));

    CElemDocument* top = Load(PlacedImage("xMinYMin"));
    EXPECT_TRUE(IsRed(PixelAt(*top, 10, 5)));
    EXPECT_TRUE(IsClear(PixelAt(*top, 10, 25)));
    CElemDocument* bottom = Load(PlacedImage("xMaxYMax meet"));
    EXPECT_TRUE(IsClear(PixelAt(*bottom, 10, 15)));
    EXPECT_TRUE(IsRed(PixelAt(*bottom, 10, 25)));

    // slice: 80 x 40 centred, clipped to the region: each colour shows 20 wide.
    CElemDocument* slice = Load(PlacedImage("xMidYMid slice"));
    EXPECT_TRUE(IsRed(PixelAt(*slice, 15, 2)));
    EXPECT_TRUE(IsBlue(PixelAt(*slice, 25, 37)));
    CElemDocument* sliceLeft = Load(PlacedImage("xMinYMid slice"));
    EXPECT_TRUE(IsRed(PixelAt(*sliceLeft, 35, 20))) << "the blue half lies beyond the region";

    CElemDocument* none = Load(PlacedImage("none"));
    EXPECT_TRUE(IsRed(PixelAt(*none, 5, 35)));
    EXPECT_TRUE(IsBlue(PixelAt(*none, 35, 5)));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ImageTest, SmoothingUnlessSpeedIsAskedFor)
{
    const std::string svg = "<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='40' height='40'>"
                            "<image width='40' height='40' preserveAspectRatio='none' xlink:href='" +
                            RedBlueUrl() + "'/></svg>";
    const Color blended = PixelAt(*Load(svg), 19, 20);
    EXPECT_GT(blended.r, 60);
    EXPECT_GT(blended.b, 60);
    EXPECT_TRUE(IsRed(PixelAt(*Load(PlacedImage("none")), 19, 20)));
}

TEST_F(ImageTest, DeferKeepsAnSvgPicturesOwnAlignment)
{
    // The picture: 20 x 10, aligned top-left on its own, all red.
    const std::string picture = "data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='20' "
                                "height='10' viewBox='0 0 20 10' preserveAspectRatio='xMinYMin'%3E%3Crect "
                                "width='20' height='10' fill='red'/%3E%3C/svg%3E";
    CElemDocument* deferred = Load(PlacedImage("defer xMaxYMax", picture));
    ASSERT_NE(deferred, nullptr);
    EXPECT_TRUE(IsRed(PixelAt(*deferred, 20, 5)));
    EXPECT_TRUE(IsClear(PixelAt(*deferred, 20, 35)));
    CElemDocument* own = Load(PlacedImage("xMaxYMax", picture));
    EXPECT_TRUE(IsClear(PixelAt(*own, 20, 5)));
    EXPECT_TRUE(IsRed(PixelAt(*own, 20, 35)));
    // A raster has no alignment of its own: `defer` is passed over.
    CElemDocument* raster = Load(PlacedImage("defer xMaxYMax"));
    EXPECT_TRUE(IsRed(PixelAt(*raster, 10, 25)));
}

TEST_F(ImageTest, MissingSizeFollowsThePictureAndZeroOrNegativeDrawsNothing)
{
    const std::string href = RedBlueUrl();
    CElemDocument* document =
        Load("<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='40' height='40'>\n"
             "<image id='h' height='20' xlink:href='" + href + "'/>\n"
             "<image id='w' x='5' width='10' xlink:href='" + href + "'/>\n"
             "<image id='n' xlink:href='" + href + "'/>\n"
             "<image id='z' width='0' height='10' xlink:href='" + href + "'/>\n"
             "<image id='neg' width='-5' height='10' xlink:href='" + href + "'/></svg>");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(ImageById(*document, "h").region, (RectF{0, 0, 40, 20}));
    EXPECT_EQ(ImageById(*document, "w").region, (RectF{5, 0, 10, 5}));
    EXPECT_EQ(ImageById(*document, "n").region, (RectF{0, 0, 2, 1}));
    EXPECT_TRUE(IsEmptyRect(ImageById(*document, "z").region));
    EXPECT_FALSE(ImageById(*document, "z").bboxParent);
    EXPECT_TRUE(IsEmptyRect(ImageById(*document, "neg").region));
    EXPECT_TRUE(HasMessage("E image width=\"-5\" :Invalid value at 6(1)"));
}

TEST_F(ImageTest, OpacityFadesThePictureOnce)
{
    CElemDocument* document = Load("<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='40' height='40'>"
                                   "<image width='40' height='40' opacity='0.5' preserveAspectRatio='none' "
                                   "xlink:href='" + RedBlueUrl() + "'/></svg>");
    ASSERT_NE(document, nullptr);
    EXPECT_NEAR(PixelAt(*document, 2, 20).a, 128, 2);
}

TEST_F(ImageTest, BoundsAreTheRegionAndHitsNeedThePicture)
{
    CElemDocument* document = Load("<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='40' height='40'>"
                                   "<image id='i' x='10' y='10' width='20' height='20' transform='translate(5,0)' "
                                   "xlink:href='" + RedBlueUrl() + "'/></svg>");
    ASSERT_NE(document, nullptr);
    CElemImage& image = ImageById(*document, "i");
    ASSERT_TRUE(image.bboxParent);
    EXPECT_EQ(*image.bboxParent, (RectF{15, 10, 20, 20}));
    EXPECT_EQ(image.viewport, (RectF{0, 0, 2, 1}));
    // The picture fills y 15..25 of the region 10..30, shifted right by 5.
    EXPECT_EQ(vexo_test::HitTestAt(image, 20, 20), &image);
    EXPECT_EQ(vexo_test::HitTestAt(image, 20, 12), nullptr);
    EXPECT_EQ(vexo_test::HitTestAt(image, 12, 20), nullptr);
}

// --- References and messages ---------------------------------------------------------

TEST_F(ImageTest, BadReferencesAreReported)
{
    const std::string gigantic =
        "data:image/png;base64," + vexo_test::ToBase64(vexo_test::PngDeclaring(100000, 100000));
    CElemDocument* document =
        Load("<svg xmlns:xlink='http://www.w3.org/1999/xlink'>\n"
             "<image width='4' height='4'/>\n"
             "<image width='4' height='4' xlink:href='data:text/html,%3Cb%3E'/>\n"
             "<image width='4' height='4' xlink:href='data:image/png;base64'/>\n"
             "<image width='4' height='4' xlink:href='data:image/png;base64,iVBORw0KGgo*'/>\n"
             "<image width='4' height='4' xlink:href='data:image/png;base64,iVBORw0KGgoAAAAN'/>\n"
             "<image width='4' height='4' xlink:href='" + gigantic + "'/>\n"
             "<image width='4' height='4' xlink:href='http://example.com/a.png'/>\n"
             "<image width='4' height='4' xlink:href='missing.png'/>\n"
             "<image width='4' height='4' xlink:href='#nowhere'/></svg>");
    ASSERT_NE(document, nullptr);
    ExpectMessagesInclude(
        {"E image xlink:href NOT defined at 2(1)", "E image xlink:href unsupported mimetype 'text/html' at 3(1)",
         "E image xlink:href not found mimetype at 4(1)", "E image xlink:href invalid base64 data at 5(1)",
         "E image file 'data:image/png;base64,...' can NOT open at 6(1)",
         "E image file 'data:image/png;base64,...' can NOT open at 7(1)",
         "E image xlink:href invalid path 'http://example.com/a.png' at 8(1)", "I Loading Image file 'missing.png'",
         "E image file 'missing.png' can NOT open at 9(1)", "E image file '#nowhere' can NOT open at 10(1)"});
}

TEST_F(ImageTest, UntypedDataIsToldByItsContent)
{
    const std::string png = vexo_test::EncodePng(2, 1, {255, 0, 0, 255, 0, 0, 255, 255});
    CElemDocument* raster = Load(PlacedImage("none", "data:;base64," + vexo_test::ToBase64(png)));
    ASSERT_NE(raster, nullptr);
    EXPECT_TRUE(IsRed(PixelAt(*raster, 5, 20)));
    const std::string untypedSvg = "data:,%3Csvg xmlns='http://www.w3.org/2000/svg' width='4' height='4'%3E"
                                   "%3Crect width='4' height='4' fill='blue'/%3E%3C/svg%3E";
    CElemDocument* svg = Load(PlacedImage("none", untypedSvg));
    EXPECT_TRUE(IsBlue(PixelAt(*svg, 20, 20)));
}

TEST_F(ImageTest, FilesResolveAgainstTheDocumentAndXmlBase)
{
    vexo_test::WriteTempFile("files/pics/red-blue.png", vexo_test::EncodePng(2, 1, {255, 0, 0, 255, 0, 0, 255, 255}));
    const std::string path = vexo_test::WriteTempFile(
        "files/doc.svg", "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                         "width='40' height='40'>"
                         "<image id='a' width='40' height='20' xlink:href='pics/red-blue.png'/>"
                         "<g xml:base='pics/'><image id='b' y='20' width='40' height='20' "
                         "xlink:href='red-blue.png'/></g></svg>");
    CElemDocument* document = LoadDocument(path);
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(ImageById(*document, "a").raster);
    EXPECT_TRUE(ImageById(*document, "b").raster);
    EXPECT_TRUE(HasMessage("I Loading Image file 'pics/red-blue.png'"));
    EXPECT_TRUE(IsBlue(PixelAt(*document, 30, 30)));
}

TEST_F(ImageTest, UseInstancesShareTheSourcePicture)
{
    vexo_test::WriteTempFile("shared/p.png", vexo_test::EncodePng(1, 1, {0, 0, 255, 255}));
    const std::string path = vexo_test::WriteTempFile(
        "shared/doc.svg", "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'>"
                          "<image id='i' width='4' height='4' xlink:href='p.png'/>"
                          "<use id='u1' xlink:href='#i'/><use id='u2' xlink:href='#i'/></svg>");
    CElemDocument* document = LoadDocument(path);
    ASSERT_NE(document, nullptr);
    const CElemImage& source = ImageById(*document, "i");
    ASSERT_TRUE(source.raster);
    for (const char* use : {"u1", "u2"}) {
        const CElem* instance = ById(*document, use)->Children()[0];
        ASSERT_EQ(instance->Class(), ElemClass::Image);
        EXPECT_EQ(static_cast<const CElemImage*>(instance)->raster, source.raster);
    }
    EXPECT_EQ(CountMessages("I Loading Image file 'p.png'"), 1);
}

// --- SVG pictures ------------------------------------------------------------------------

TEST_F(ImageTest, SvgFilesCompressedOrNotAndFragments)
{
    const std::string green = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
                              "<rect width='10' height='10' fill='green'/></svg>";
    vexo_test::WriteTempFile("nested/green.svg", green);
    vexo_test::WriteTempFile("nested/green.svgz", vexo_test::Gzip(green));
    const std::string path = vexo_test::WriteTempFile(
        "nested/doc.svg", "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                          "width='40' height='40'>"
                          "<defs><rect id='r' width='10' height='10' fill='blue'/></defs>"
                          "<image width='20' height='20' xlink:href='green.svg'/>"
                          "<image x='20' width='20' height='20' xlink:href='green.svgz'/>"
                          "<image y='20' width='20' height='20' xlink:href='#r'/></svg>");
    CElemDocument* document = LoadDocument(path);
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(IsGreen(PixelAt(*document, 10, 10)));
    EXPECT_TRUE(IsGreen(PixelAt(*document, 30, 10)));
    // The fragment's picture is its viewport, the document's 40 x 40, with
    // the rectangle in its top-left quarter.
    EXPECT_TRUE(IsBlue(PixelAt(*document, 2, 22)));
    EXPECT_TRUE(IsClear(PixelAt(*document, 12, 32)));
}

TEST_F(ImageTest, PercentageSizedDocumentFillsTheImage)
{
    const std::string picture = "data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='100%25' "
                                "height='100%25' viewBox='0 0 2 1'%3E%3Crect width='2' height='1' fill='blue'/%3E"
                                "%3C/svg%3E";
    CElemDocument* document = Load(PlacedImage("none", picture));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(ImageById(*document, "i").viewport, (RectF{0, 0, 2, 1}));
    EXPECT_TRUE(IsBlue(PixelAt(*document, 2, 2)));
    EXPECT_TRUE(IsBlue(PixelAt(*document, 37, 37)));
}

TEST_F(ImageTest, DocumentsFromDataUrlsHaveNoDirectory)
{
    const std::string picture = "data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' "
                                "xmlns:xlink='http://www.w3.org/1999/xlink' width='4' height='4'%3E%3Cimage "
                                "width='4' height='4' xlink:href='x.png'/%3E%3C/svg%3E";
    ASSERT_NE(Load(PlacedImage("none", picture)), nullptr);
    EXPECT_TRUE(HasMessagePrefix("E image xlink:href invalid path 'x.png' at 1("));
}

TEST_F(ImageTest, SelfReferenceIsReportedAndDrawnOnce)
{
    // Red strip on top; below it the document shows itself at half size.
    const std::string path = vexo_test::WriteTempFile(
        "cycle/self.svg", "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                          "width='40' height='40'>\n"
                          "<rect width='40' height='10' fill='red'/>\n"
                          "<image y='20' width='40' height='20' xlink:href='self.svg'/></svg>");
    CElemDocument* document = LoadDocument(path);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(CountMessages("F image xlink:href=\"self.svg\" : Cyclic reference at 3(1)"), 1);
    EXPECT_TRUE(IsRed(PixelAt(*document, 20, 22))) << "the inner copy's strip";
    EXPECT_TRUE(IsClear(PixelAt(*document, 20, 31))) << "no copy inside the copy";
}

TEST_F(ImageTest, DocumentsShowingEachOtherStop)
{
    const std::string header = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                               "width='40' height='40'>\n";
    vexo_test::WriteTempFile("pair/b.svg", header + "<image width='40' height='40' xlink:href='a.svg'/></svg>");
    const std::string a = vexo_test::WriteTempFile(
        "pair/a.svg", header + "<image width='40' height='40' xlink:href='b.svg'/></svg>");
    CElemDocument* document = LoadDocument(a);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(CountMessages("F image xlink:href=\"a.svg\" : Cyclic reference at 2(1)"), 1);
    PixelAt(*document, 0, 0);
}

// --- Colour profiles -------------------------------------------------------------------

TEST_F(ImageTest, ColorProfileOpensThroughLcms)
{
    const std::string profile = "data:application/vnd.iccprofile;base64," +
                                vexo_test::ToBase64(vexo_test::LinearRgbProfile());
    CElemDocument* document =
        Load("<svg xmlns:xlink='http://www.w3.org/1999/xlink'>\n"
             "<color-profile id='good' name='linear' xlink:href='" + profile + "'/>\n"
             "<color-profile xlink:href='missing.icc'/>\n"
             "<color-profile xlink:href='data:application/vnd.iccprofile,not%20a%20profile'/>\n"
             "<color-profile xlink:href='ftp://example.com/p.icc'/>\n"
             "<rect id='r' width='1' height='1'/>\n"
             "<image width='4' height='4' color-profile='url(#r)' xlink:href='" + RedBlueUrl() + "'/>\n"
             "<image width='4' height='4' color-profile='url(#good)' xlink:href='" + RedBlueUrl() + "'/></svg>");
    ASSERT_NE(document, nullptr);
    const CElem* good = ById(*document, "good");
    ASSERT_EQ(good->Class(), ElemClass::ColorProfile);
    EXPECT_TRUE(static_cast<const CElemColorProfile*>(good)->colorTransform);
    ExpectMessages({"E color-profile xlink:href=\"missing.icc\" open failed at 3(1)",
                    "E color-profile xlink:href=\"data:application/vnd.iccprofile,...\" open failed at 4(1)",
                    "E color-profile xlink:href=\"ftp://example.com/p.icc\" invalid path at 5(1)",
                    "E image filter=\"#r\" :Link NOT refer to 'color-profile' at 7(1)"});
}
