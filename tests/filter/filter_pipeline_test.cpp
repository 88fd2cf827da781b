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

    const CRtBitmap* SourceGraphic() override
    {
        ++sourceRequests;
        return source_.get();
    }
    std::unique_ptr<CRtBitmap> BackgroundImage(const PixelRect& rect) override
    {
        ++backgroundRequests;
        return filter_test::SolidBitmap(rect, 0xFFFF0000u);
    }
    std::unique_ptr<CRtBitmap> FillPaint(const PixelRect&) override { return nullptr; }
    std::unique_ptr<CRtBitmap> StrokePaint(const PixelRect&) override { return nullptr; }
    bool DrawImage(const CElemFilterPrimitive&, const CFilterPrimitiveParams&, CRtBitmap&,
                   const PrimitiveRun&) override
    {
        return false;
    }

    int sourceRequests = 0;
    int backgroundRequests = 0;

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
