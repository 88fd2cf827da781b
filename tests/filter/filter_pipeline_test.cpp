// The filter driver on its own: what it asks the renderer for and when, how
// far a filter reaches, colour spaces of the result, stopping, and the
// progress it counts.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "filter/filter_pipeline.h"
#include "filter/pixel.h"
#include "model/document.h"
#include "model/load_context.h"
#include "test_support.h"
#include "filter_test_util.h"

using namespace svg;

namespace {

// A source graphic of opaque blue over the whole region; counts what is asked.
class CFakeSource final : public CFilterInputSource {
public:
    explicit CFakeSource(const PixelRect& rect) : source_(filter_test::SolidBitmap(rect, 0xFF0000FFu)) {}

    const CRtBitmap* SourceGraphic(const PixelRect& rect) override
    {
        ++sourceRequests;
        sourceRect = rect;
        return source_.get();
    }
    std::unique_ptr<CRtBitmap> BackgroundImage(const PixelRect& rect) override
    {
        ++backgroundRequests;
        return filter_test::SolidBitmap(rect, 0xFFFF0000u);
    }
    std::unique_ptr<CRtBitmap> FillPaint(const PixelRect& rect) override
    {
        fillRect = rect;
        return nullptr;
    }
    std::unique_ptr<CRtBitmap> StrokePaint(const PixelRect&) override { return nullptr; }
    bool DrawImage(const CElemFilterPrimitive&, const CFilterPrimitiveParams&, CRtBitmap&,
                   const PrimitiveRun&) override
    {
        return false;
    }

    int sourceRequests = 0;
    int backgroundRequests = 0;
    PixelRect sourceRect;
    PixelRect fillRect;

private:
    std::unique_ptr<CRtBitmap> source_;
};

class FilterPipelineTest : public vexo_test::LoadTest {
protected:
    // The filter `primitives` prepared in a document of its own.
    const CElemFilter& Prepare(const std::string& primitives)
    {
        NewLoad();
        LoadText("<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'><filter id='f'>" + primitives +
                 "</filter></svg>");
        const CElem* filter = Find("#f");
        EXPECT_NE(filter, nullptr);
        return static_cast<const CElemFilter&>(*filter);
    }

    // One pixel a unit over a 20 x 10 region.
    static FilterSpace Space()
    {
        FilterSpace space;
        space.bboxUser = RectF{0, 0, 20, 10};
        space.regionUser = RectF{0, 0, 20, 10};
        space.regionPx = {0, 0, 20, 10};
        space.computePx = space.regionPx;
        return space;
    }

    std::unique_ptr<CRtBitmap> Run(const CElemFilter& filter, CFakeSource& source, const CStopToken& stop,
                                   LoadProgress* progress = nullptr, FilterKeepRequest keep = {})
    {
        return RunFilter(filter, Space(), source, FilterRunContext{stop, nullptr, progress, keep});
    }
};

TEST_F(FilterPipelineTest, StandardInputsAreMadeOnlyWhenRead)
{
    CFakeSource source(Space().computePx);
    const CElemFilter& flood = Prepare("<feFlood flood-color='#00ff00'/>");
    auto result = Run(flood, source, CStopToken::Never());
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(source.sourceRequests, 0);
    EXPECT_EQ(result->PixelAt(5, 5), 0xFF00FF00u);

    // Read twice, the background is made once.
    const CElemFilter& twice = Prepare("<feOffset in='BackgroundImage' result='a'/>"
                                       "<feComposite in='a' in2='BackgroundAlpha'/>");
    result = Run(twice, source, CStopToken::Never());
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(source.backgroundRequests, 1);
    EXPECT_EQ(result->PixelAt(5, 5), 0xFFFF0000u);
}

// The element and its paint are painted only where primitives read them: the
// subregions of their readers, grown by how far each reads around a pixel.
TEST_F(FilterPipelineTest, StandardInputsArePaintedOnlyWhereTheyAreRead)
{
    struct Case {
        const char* primitives;
        PixelRect source;
        PixelRect fill;
    };
    const Case cases[] = {
        {"<feColorMatrix x='4' y='3' width='6' height='2' type='saturate' values='0'/>", {4, 3, 6, 2}, {}},
        // A blur of 1 reads 3 pixels around, and 2 more for rounding.
        {"<feGaussianBlur stdDeviation='1' x='8' y='4' width='2' height='2'/>", {3, 0, 12, 10}, {}},
        {"<feOffset in='SourceAlpha' x='0' y='0' width='2' height='2'/>"
         "<feComposite in='SourceGraphic' in2='FillPaint' x='15' y='8' width='3' height='1'/>",
         {0, 0, 18, 9}, {15, 8, 3, 1}},
        // A later primitive whose subregion is empty reads nothing.
        {"<feMerge x='5' width='0'><feMergeNode in='SourceGraphic'/></feMerge>"
         "<feOffset in='SourceGraphic' x='1' y='1' width='1' height='1'/>",
         {0, 0, 4, 4}, {}},
        // A tile, and duplicated or wrapped edges, depend on the whole input.
        {"<feTile x='1' y='1' width='2' height='2'/>", {0, 0, 20, 10}, {}},
        {"<feConvolveMatrix order='3' kernelMatrix='0 0 0 0 1 0 0 0 0' x='1' y='1' width='2' height='2'/>",
         {0, 0, 20, 10}, {}},
        {"<feConvolveMatrix order='3' edgeMode='none' kernelMatrix='0 0 0 0 1 0 0 0 0' x='9' y='4' width='2' "
         "height='2'/>",
         {4, 0, 12, 10}, {}},
    };
    for (const Case& c : cases) {
        CFakeSource source(Space().computePx);
        ASSERT_NE(Run(Prepare(c.primitives), source, CStopToken::Never()), nullptr) << c.primitives;
        EXPECT_EQ(source.sourceRequests, 1) << c.primitives;
        EXPECT_EQ(source.sourceRect, c.source) << c.primitives;
        EXPECT_EQ(source.fillRect, c.fill) << c.primitives;
    }

    // The part view shows a kept input in full.
    CFakeSource source(Space().computePx);
    const CElemFilter& offset = Prepare("<feOffset x='1' y='1' width='2' height='2'/>");
    KeptPrimitiveImages kept;
    Run(offset, source, CStopToken::Never(), nullptr, FilterKeepRequest{offset.primitives.front(), &kept});
    EXPECT_EQ(source.sourceRect, Space().computePx);
}

// Each image is converted to the space its reader needs; the result comes
// back in sRGB, so a filter that only moves pixels changes none.
TEST_F(FilterPipelineTest, ResultsComeBackInSrgb)
{
    CFakeSource source(Space().computePx);
    auto result = Run(Prepare("<feOffset dx='0'/><feColorMatrix type='saturate' values='1'/>"), source,
                      CStopToken::Never());
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->PixelAt(3, 3), 0xFF0000FFu);
    EXPECT_EQ(source.sourceRequests, 1);
}

TEST_F(FilterPipelineTest, APrimitiveWithoutParametersGivesATransparentResult)
{
    CFakeSource source(Space().computePx);
    // The convolution is in error; the offset reads its transparent result.
    const auto transparent = [](const std::unique_ptr<CRtBitmap>& result) {
        return result == nullptr || result->PixelAt(5, 5) == 0;
    };
    EXPECT_TRUE(transparent(Run(Prepare("<feConvolveMatrix/><feOffset/>"), source, CStopToken::Never())));
    // A name that no earlier primitive gave is the previous result.
    EXPECT_TRUE(transparent(Run(Prepare("<feFlood flood-color='#ff0000'/><feConvolveMatrix/><feOffset in='none'/>"),
                                source, CStopToken::Never())));
}

TEST_F(FilterPipelineTest, ReachAddsUpAndTilesReadEverything)
{
    FilterSpace space = Space();
    space.userToPixel = Matrix::Scale(2, 2);
    // An offset of 3 units is 6 pixels; a blur of deviation 1 reaches three.
    const int offset = FilterReachPx(Prepare("<feOffset dx='3' dy='-1'/>"), space);
    const int both = FilterReachPx(Prepare("<feOffset dx='3' dy='-1'/><feGaussianBlur stdDeviation='1'/>"), space);
    EXPECT_GE(offset, 6);
    EXPECT_GE(both - offset, 6);
    EXPECT_EQ(FilterReachPx(Prepare("<feFlood/><feColorMatrix/>"), space), 0);
    EXPECT_EQ(FilterReachPx(Prepare("<feOffset/><feTile/>"), space), -1);
    EXPECT_EQ(FilterReachPx(Prepare("<feConvolveMatrix edgeMode='wrap' kernelMatrix='1 1 1 1 1 1 1 1 1'/>"), space),
              -1);
}

TEST_F(FilterPipelineTest, AStoppedRunEndsWithoutResultAndProgressCountsPrimitives)
{
    CFakeSource source(Space().computePx);
    const CElemFilter& filter = Prepare("<feFlood/><feOffset/><feGaussianBlur stdDeviation='1'/>");
    filter_test::StoppedToken stopped;
    EXPECT_EQ(Run(filter, source, stopped), nullptr);
    LoadProgress progress;
    EXPECT_NE(Run(filter, source, CStopToken::Never(), &progress), nullptr);
    EXPECT_EQ(progress.primitivesDone, 3);
}

}  // namespace
