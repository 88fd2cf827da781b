// Intermediate surfaces cut to what their content can touch, and group
// opacity folded into paint: each document is drawn with the shortcuts and
// without them (every group, mask and clip union over the whole clip), on
// pixels and through a recording, and the pixels must agree.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "render/effects.h"
#include "model/message_log.h"
#include "render/render.h"
#include "render/render_pass.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

class SurfaceShortcutsTest : public vexo_test::PictureProbe {
protected:
    // The document drawn onto a new 120 x 120 image through `userToDevice`,
    // straight or replayed from a recording made for that transform.
    cairo_surface_t* Draw(const Matrix& userToDevice, bool shortcuts, bool recorded)
    {
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 120);
        cairo_t* cr = cairo_create(image);
        CRenderPass pass(nullptr, CStopToken::Never());
        pass.surfaceShortcuts = shortcuts;
        if (recorded) {
            const auto picture = RecordDocument(*document_, pass, userToDevice);
            picture->Replay(cr, userToDevice);
        } else {
            DrawDocument(*document_, cr, pass, userToDevice);
        }
        cairo_destroy(cr);
        cairo_surface_flush(image);
        return image;
    }
};

const vexo_test::NamedDocument kCases[] = {
    {"overlapping shapes in a faded group",
     "<g opacity='0.5'><rect x='10.3' y='10.6' width='40' height='30' fill='blue'/>"
     "<circle cx='45.5' cy='40.2' r='20' fill='red'/></g>"},
    {"sharp miter joins reach beyond the box",
     "<g opacity='0.6'><path d='M20 80 L50 20 L52 80' fill='none' stroke='navy' stroke-width='6' "
     "stroke-miterlimit='20'/><rect x='60' y='60' width='5' height='5'/></g>"},
    {"square caps on a zero-length subpath",
     "<g opacity='0.7'><path d='M30 30 z M40 40 h0' stroke='green' stroke-width='12' stroke-linecap='square'/>"
     "<circle cx='60' cy='60' r='4'/></g>"},
    {"masked and faded",
     "<linearGradient id='lg'><stop offset='0' stop-color='#fff'/><stop offset='1' stop-color='#000'/>"
     "</linearGradient><mask id='m' maskContentUnits='objectBoundingBox'><rect width='1' height='1' "
     "fill='url(#lg)'/></mask>"
     "<g mask='url(#m)' opacity='0.8'><rect x='15.5' y='15.5' width='50' height='40' fill='teal' "
     "stroke='black' stroke-width='5'/></g>"},
    {"mask in user space over the whole canvas",
     "<mask id='m' maskUnits='userSpaceOnUse'><circle cx='50' cy='50' r='30' fill='#ccc'/></mask>"
     "<rect x='30' y='30' width='20' height='50' fill='purple' mask='url(#m)'/>"},
    {"clip union of two circles",
     "<clipPath id='c'><circle cx='35' cy='50' r='20'/><circle cx='65' cy='50' r='20'/></clipPath>"
     "<rect x='10' y='20' width='80' height='60' fill='orange' clip-path='url(#c)'/>"},
    {"clip union transformed, on a faded group",
     "<clipPath id='c' transform='rotate(20 50 50)'><rect x='20' y='20' width='30' height='30'/>"
     "<circle cx='60' cy='60' r='18'/></clipPath>"
     "<g clip-path='url(#c)' opacity='0.6'><rect x='0' y='0' width='100' height='100' fill='blue'/>"
     "<rect x='40' y='40' width='20' height='20' fill='red'/></g>"},
    {"nested clips: a union inside a soft clip",
     "<clipPath id='outer'><circle cx='50' cy='50' r='40'/></clipPath>"
     "<clipPath id='u'><rect x='10' y='10' width='40' height='40'/><rect x='45' y='45' width='40' height='40'/>"
     "</clipPath>"
     "<g clip-path='url(#outer)'><g opacity='0.5'><rect x='5' y='5' width='60' height='60' fill='green'/>"
     "<circle cx='55' cy='55' r='30' fill='maroon' clip-path='url(#u)'/></g></g>"},
    {"faded groups under a soft clip",
     "<clipPath id='c'><circle cx='50' cy='50' r='45.3'/></clipPath><g clip-path='url(#c)'>"
     "<g opacity='0.8'><rect x='0' y='0' width='60' height='60' fill='red'/><rect x='30' y='30' "
     "width='60' height='60' fill='blue'/></g></g>"},
    {"elements outside the clip and across its edge",
     "<svg x='10' y='10' width='60' height='60' viewBox='0 0 60 60'>"
     "<g opacity='0.5'><rect x='70' y='70' width='20' height='20'/><rect x='75' y='75' width='5' height='5'/></g>"
     "<g opacity='0.5'><rect x='50' y='-10' width='30' height='30' fill='red'/><circle cx='55' cy='5' "
     "r='8' fill='blue'/></g></svg>"},
    {"rotated and skewed groups",
     "<g transform='rotate(33 50 50)' opacity='0.7'><rect x='20' y='20' width='60' height='20' fill='red'/>"
     "<rect x='40' y='10' width='10' height='70' fill='blue'/></g>"
     "<g transform='skewX(40) translate(-20 60)' opacity='0.5'><rect width='30' height='20'/>"
     "<rect x='10' y='5' width='30' height='20' fill='lime'/></g>"},
    {"nested viewport with a viewBox",
     "<svg x='20' y='20' width='60' height='40' viewBox='0 0 30 20' opacity='0.6'>"
     "<rect width='20' height='15' fill='blue'/><rect x='10' y='5' width='20' height='15' fill='red'/></svg>"},
    {"use of a faded group",
     "<defs><g id='g' opacity='0.5'><rect width='20' height='20'/><circle cx='20' cy='20' r='10' "
     "fill='red'/></g></defs><use xlink:href='#g' x='30' y='30'/><use xlink:href='#g' x='70' y='10'/>"},
    {"markers reach far beyond the shape",
     "<marker id='mk' markerWidth='40' markerHeight='40' refX='0' refY='0' markerUnits='userSpaceOnUse' "
     "overflow='visible'><rect x='5' y='5' width='30' height='30' fill='red'/></marker>"
     "<g opacity='0.5'><path d='M10 10 L20 20' stroke='black' marker-end='url(#mk)'/>"
     "<rect x='10' y='10' width='5' height='5'/></g>"},
    {"a blur spreads beyond the box",
     "<filter id='f'><feGaussianBlur stdDeviation='4'/></filter>"
     "<g opacity='0.6'><rect x='30' y='30' width='20' height='20' filter='url(#f)'/>"
     "<rect x='45' y='45' width='10' height='10' fill='red'/></g>"},
    {"huge coordinates",
     "<g opacity='0.5'><rect x='-1e7' y='20' width='2e7' height='30' fill='blue'/>"
     "<rect x='40' y='-3e38' width='10' height='6e38' fill='red'/></g>"
     "<g opacity='0.5' transform='scale(1e6)'><rect width='1e-5' height='1e-5'/>"
     "<rect width='1e-4' height='5e-5' fill='green'/></g>"},
};

}  // namespace

TEST_F(SurfaceShortcutsTest, GiveThePixelsOfThePlainDrawing)
{
    // One to one, and a fractional scale and offset that put box edges mid-pixel.
    const Matrix transforms[] = {Matrix{}, Matrix{1.13, 0, 0, 1.13, 0.37, 0.61}};
    for (const vexo_test::NamedDocument& c : kCases) {
        ASSERT_NE(Load(c.body), nullptr) << c.name;
        for (const Matrix& m : transforms)
            for (const bool recorded : {false, true}) {
                cairo_surface_t* fast = Draw(m, true, recorded);
                cairo_surface_t* plain = Draw(m, false, recorded);
                EXPECT_GT(vexo_test::InkedPixels(plain), 0) << c.name;
                EXPECT_LE(vexo_test::LargestChannelDifference(fast, plain), 1)
                    << c.name << (recorded ? ", recorded" : ", on pixels") << " at scale " << m.m11;
                cairo_surface_destroy(fast);
                cairo_surface_destroy(plain);
            }
    }
}

TEST_F(SurfaceShortcutsTest, PaintBoxCoversStrokeAndIsUnknownWhereDrawingReachesFurther)
{
    struct BoxCase {
        const char* body;
        bool known;
        RectF box;
    };
    const BoxCase cases[] = {
        {"<rect id='e' x='10' y='10' width='20' height='10' stroke='black' stroke-width='2' "
         "stroke-linejoin='round'/>",
         true, {8.585786f, 8.585786f, 22.828427f, 12.828427f}},
        {"<g id='e' transform='translate(5 5)'><rect x='10' y='10' width='20' height='10'/>"
         "<g transform='scale(2)'><rect width='1' height='1'/></g></g>",
         true, {0, 0, 30, 20}},
        {"<g id='e'><g/></g>", true, {}},
        {"<g id='e'><rect width='5' height='5'/><text>t</text></g>", false, {}},
        {"<g id='e'><image width='5' height='5'/></g>", false, {}},
        {"<marker id='m'/><path id='e' d='M0 0 L5 5' marker-end='url(#m)'/>", false, {}},
        {"<filter id='f'><feOffset/></filter><rect id='e' width='5' height='5' filter='url(#f)'/>", false, {}},
    };
    for (const BoxCase& c : cases) {
        ASSERT_NE(Load(c.body), nullptr) << c.body;
        const CElem* elem = Find("#e");
        ASSERT_NE(elem, nullptr) << c.body;
        EXPECT_EQ(elem->paintBoxKnown, c.known) << c.body;
        const std::optional<RectF> box = PaintBox(*elem);
        if (!c.known || IsEmptyRect(c.box)) {
            EXPECT_FALSE(box.has_value()) << c.body;
            continue;
        }
        ASSERT_TRUE(box.has_value()) << c.body;
        EXPECT_NEAR(box->x, c.box.x, 1e-4) << c.body;
        EXPECT_NEAR(box->y, c.box.y, 1e-4) << c.body;
        EXPECT_NEAR(box->width, c.box.width, 1e-4) << c.body;
        EXPECT_NEAR(box->height, c.box.height, 1e-4) << c.body;
    }
}

// The reader bounds nesting, so no tree walk can overflow the stack: ten
// thousand nested groups are refused with a located message, and the
// deepest nesting it accepts, every level faded, draws.
TEST_F(SurfaceShortcutsTest, DeeplyNestedFadedGroupsAreBounded)
{
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "<g opacity='0.99'><rect width='100' height='100' fill='blue'/>";
    for (int i = 0; i < 10000; ++i)
        deep += "</g>";
    EXPECT_EQ(Load(deep), nullptr);
    EXPECT_TRUE(Current().HasMessagePrefix("F Elements nested more than 256 deep at 1("))
        << ::testing::PrintToString(Current().Messages());

    std::string accepted;
    for (int i = 0; i < 250; ++i)
        accepted += "<g opacity='0.99'><rect x='" + std::to_string(i * 0.2) + "' width='50' height='50' fill='blue'/>";
    for (int i = 0; i < 250; ++i)
        accepted += "</g>";
    ASSERT_NE(Load(accepted), nullptr);
    cairo_surface_t* fast = Draw(Matrix{}, true, false);
    cairo_surface_t* plain = Draw(Matrix{}, false, false);
    EXPECT_LE(vexo_test::LargestChannelDifference(fast, plain), 1);
    EXPECT_GT(vexo_test::InkedPixels(fast), 0);
    cairo_surface_destroy(fast);
    cairo_surface_destroy(plain);
}

// Nested layers are held against a bound of open pixels: past it a faded
// group's opacity fades each of its parts, and a nested mask or clip union
// draws nothing; either is said once, and nothing stays held.
TEST_F(SurfaceShortcutsTest, NestedLayersPastTheirBoundFadeTheirPartsOrDrawNothing)
{
    const struct {
        const char* defs;
        const char* level;
        const char* message;
        int centreAlpha;
    } cases[] = {
        {"", "<g opacity='0.5'><rect width='100' height='100' fill='blue'/>",
         "W g layers nested beyond 0 MB: its opacity fades each of its parts at 1(", 128},
        {"<mask id='m'><rect width='100' height='100' fill='white'/></mask>",
         "<g mask='url(#m)'><rect x='10' width='90' height='100' fill='blue'/>",
         "W g layers nested beyond 0 MB: not drawn at 1(", 255},
        {"<clipPath id='u'><rect width='50' height='100'/><rect x='50' width='50' height='100'/></clipPath>",
         "<g clip-path='url(#u)'><rect x='10' width='90' height='100' fill='blue'/>",
         "W g layers nested beyond 0 MB: not drawn at 1(", 255},
    };
    for (const auto& c : cases) {
        std::string body = c.defs;
        for (int i = 0; i < 5; ++i)
            body += c.level;
        for (int i = 0; i < 5; ++i)
            body += "</g>";
        ASSERT_NE(Load(body), nullptr) << c.level;
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 120);
        cairo_t* cr = cairo_create(image);
        CMessageLog log;
        CRenderPass pass(&log, CStopToken::Never());
        // Below one layer of about 100 x 100: the outermost is allowed anyway.
        pass.layers.bound = 5000;
        DrawDocument(*document_, cr, pass, Matrix{});
        cairo_destroy(cr);
        EXPECT_EQ(pass.layers.openPixels, 0u);
        const std::vector<std::string> messages = log.EntriesFrom(0);
        ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
        EXPECT_EQ(messages[0].rfind(c.message, 0), 0u) << messages[0];
        EXPECT_NEAR(vexo_test::PremultipliedArgb(image, 50, 50) >> 24, c.centreAlpha, 1) << c.level;
        cairo_surface_destroy(image);
    }
}
