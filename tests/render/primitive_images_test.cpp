// The images a filter primitive keeps for the part view: its inputs and its
// result as the filter of the first element using it computes them.
#include <cstring>

#include "picture_probe.h"
#include "render/filter_effect.h"
#include "render/preview.h"

namespace svg {
namespace {

class PrimitiveImagesTest : public vexo_test::PictureProbe {
protected:
    void SetUp() override
    {
        // One filter pixel a device pixel, so rectangles are exact.
        CDocOptions devicePixels;
        devicePixels.filterResolutionFactor = 1;
        ASSERT_NE(Load(R"(
            <filter id='f' filterUnits='userSpaceOnUse' x='0' y='0' width='100' height='100'>
              <feOffset id='offset' dx='10' dy='0'/>
              <feGaussianBlur id='blur' stdDeviation='3'/>
            </filter>
            <filter id='colours' filterUnits='userSpaceOnUse' x='0' y='0' width='100' height='100'>
              <feColorMatrix id='alpha' in='SourceAlpha' type='saturate' values='1'/>
              <feFlood id='grey' flood-color='#808080'/>
              <feComposite id='both' in='SourceGraphic' in2='alpha' operator='in'/>
            </filter>
            <filter id='unused'><feFlood id='lonely'/></filter>
            <filter id='lent'><feFlood id='borrowed' flood-color='#0000ff'/></filter>
            <filter id='borrower' xlink:href='#lent'/>
            <rect x='20' y='20' width='40' height='40' fill='#ff0000' filter='url(#f)'/>
            <rect x='20' y='20' width='40' height='40' fill='#00ff00' filter='url(#colours)'/>
            <rect x='20' y='20' width='40' height='40' filter='url(#borrower)'/>
        )", devicePixels),
                  nullptr);
    }

    const CElemFilterPrimitive& Primitive(const std::string& id)
    {
        const CElem* elem = Find("#" + id);
        EXPECT_TRUE(elem != nullptr && elem->Class() == ElemClass::FilterPrimitive) << id;
        static const CElemFilterPrimitive none("feFlood", nullptr);
        return elem != nullptr ? static_cast<const CElemFilterPrimitive&>(*elem) : none;
    }

    std::optional<KeptPrimitiveImages> Keep(const std::string& id, double scale = 1,
                                            const CStopToken& stop = CStopToken::Never())
    {
        CRenderPass pass(nullptr, stop);
        return KeepPrimitiveImages(Primitive(id), pass, scale);
    }

    static std::uint32_t At(const CRtBitmap& bitmap, int x, int y) { return bitmap.PixelAt(x, y); }
    static int AlphaAt(const CRtBitmap& bitmap, int x, int y) { return int(bitmap.PixelAt(x, y) >> 24); }

    static bool SamePixels(const CRtBitmap& a, const CRtBitmap& b)
    {
        if (!(a.Rect() == b.Rect()))
            return false;
        for (int y = 0; y < a.Height(); ++y)
            if (std::memcmp(a.Row(y), b.Row(y), std::size_t(a.Width()) * kBytesPerPixel) != 0)
                return false;
        return true;
    }
};

TEST_F(PrimitiveImagesTest, TheBlurKeepsTheOffsetResultAsItsInputAndItsBlurredResult)
{
    const std::optional<KeptPrimitiveImages> offset = Keep("offset");
    const std::optional<KeptPrimitiveImages> blur = Keep("blur");
    ASSERT_TRUE(offset && blur);
    ASSERT_TRUE(offset->result && blur->in && blur->result);
    EXPECT_EQ(blur->in2, nullptr);  // a blur reads one input
    EXPECT_TRUE(SamePixels(*blur->in, *offset->result));
    EXPECT_EQ(blur->in->Rect(), (PixelRect{0, 0, 100, 100}));
    // The offset's input is the rectangle where it is drawn; its result is moved.
    ASSERT_NE(offset->in, nullptr);
    EXPECT_EQ(At(*offset->in, 20, 40), 0xFFFF0000u);
    EXPECT_EQ(At(*offset->result, 20, 40), 0u);
    EXPECT_EQ(At(*offset->result, 30, 40), 0xFFFF0000u);
    // Blurred: the hard edge at x = 30 turns soft, the middle stays solid.
    EXPECT_EQ(AlphaAt(*blur->in, 30, 40), 255);
    EXPECT_EQ(AlphaAt(*blur->in, 29, 40), 0);
    EXPECT_GT(AlphaAt(*blur->result, 29, 40), 40);
    EXPECT_LT(AlphaAt(*blur->result, 30, 40), 215);
    EXPECT_EQ(At(*blur->result, 50, 40), 0xFFFF0000u);
}

TEST_F(PrimitiveImagesTest, ImagesAreInTheDevicePixelsAsked)
{
    const std::optional<KeptPrimitiveImages> blur = Keep("blur", 2);
    ASSERT_TRUE(blur && blur->in && blur->result);
    EXPECT_EQ(blur->in->Rect(), (PixelRect{0, 0, 200, 200}));
    EXPECT_EQ(AlphaAt(*blur->in, 60, 80), 255);
    EXPECT_EQ(AlphaAt(*blur->in, 59, 80), 0);
}

// Images are shown as sRGB whatever space the primitive works in, and an
// alpha-only input shows black at its alpha.
TEST_F(PrimitiveImagesTest, ImagesAreSrgbAndAlphaOnlyInputsShowNoColour)
{
    const std::optional<KeptPrimitiveImages> grey = Keep("grey");
    ASSERT_TRUE(grey && grey->result);
    EXPECT_EQ(grey->in, nullptr);
    EXPECT_NEAR(int((At(*grey->result, 50, 50) >> 8) & 0xFF), 0x80, 1);

    const std::optional<KeptPrimitiveImages> alpha = Keep("alpha");
    ASSERT_TRUE(alpha && alpha->in);
    EXPECT_EQ(At(*alpha->in, 50, 50), 0xFF000000u);
    EXPECT_EQ(At(*alpha->in, 10, 10), 0u);

    const std::optional<KeptPrimitiveImages> both = Keep("both");
    ASSERT_TRUE(both && both->in && both->in2 && both->result);
    EXPECT_EQ(At(*both->in, 50, 50), 0xFF00FF00u);
    EXPECT_EQ(At(*both->result, 50, 50), 0xFF00FF00u);
    EXPECT_EQ(At(*both->result, 10, 10), 0u);
}

struct UserCase {
    const char* id;
    bool hasImages;
};

TEST_F(PrimitiveImagesTest, OnlyPrimitivesOfAFilterInUseKeepImages)
{
    for (const UserCase& c : {UserCase{"blur", true}, UserCase{"lonely", false},
                              // A filter that takes its primitives through xlink:href runs them.
                              UserCase{"borrowed", true}}) {
        const std::optional<KeptPrimitiveImages> kept = Keep(c.id);
        EXPECT_EQ(kept.has_value(), c.hasImages) << c.id;
    }
    const std::optional<KeptPrimitiveImages> borrowed = Keep("borrowed");
    ASSERT_TRUE(borrowed && borrowed->result);
    EXPECT_EQ(At(*borrowed->result, 40, 40), 0xFF0000FFu);
}

TEST_F(PrimitiveImagesTest, AStoppedPassOrAnUnusableScaleKeepsNothing)
{
    CStopToken stop;
    stop.RequestStop();
    EXPECT_FALSE(Keep("blur", 1, stop).has_value());
    EXPECT_FALSE(Keep("blur", 0).has_value());
    EXPECT_FALSE(Keep("blur", std::nan("")).has_value());
}

// The part view's entry hands the same images over, shared.
TEST_F(PrimitiveImagesTest, ThePreviewEntryGivesTheKeptImages)
{
    CRenderPass pass(nullptr, CStopToken::Never());
    const std::optional<PrimitiveImages> images = ComputePrimitiveImages(Primitive("blur"), pass, 1);
    ASSERT_TRUE(images && images->in && images->result);
    EXPECT_EQ(images->in2, nullptr);
    CRenderPass again(nullptr, CStopToken::Never());
    EXPECT_FALSE(ComputePrimitiveImages(Primitive("lonely"), again, 1).has_value());
}

}  // namespace
}  // namespace svg
