#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "model/document.h"
#include "base/limits.h"
#include "render/render.h"
#include "picture_probe.h"
#include "test_support.h"

using namespace svg;

namespace {

class UseTest : public vexo_test::PictureProbe {
protected:
    CElemDocument* Load(const std::string& body)
    {
        EXPECT_NE(PictureProbe::Load(body), nullptr);
        return document_;
    }

    CElem* ById(const std::string& id) { return Find("#" + id); }

    static std::size_t CountElements(const CElem& elem)
    {
        std::size_t count = 1;
        for (const CElem* child : elem.Children())
            count += CountElements(*child);
        return count;
    }

    std::size_t CountMessagesStartingWith(const std::string& prefix)
    {
        std::size_t count = 0;
        for (const std::string& message : Messages())
            count += message.starts_with(prefix) ? 1 : 0;
        return count;
    }
};

TEST_F(UseTest, SymbolWithoutSizeFillsTheUsesViewport)
{
    Load("<symbol id='s' viewBox='0 0 10 10'><rect width='5' height='5' fill='red'/></symbol>"
         "<use id='whole' xlink:href='#s'/>"
         "<use xlink:href='#s' x='60' y='60' width='20' height='20'/>");
    const CElem* copy = ById("whole")->Children()[0];
    EXPECT_TRUE(copy->graphicsElement);
    EXPECT_EQ(copy->region, (RectF{0, 0, 100, 100}));
    Paint();
    ExpectPixels({{45, 45, kRed}, {55, 55, kEmpty}, {65, 65, kRed}, {75, 75, kEmpty}});
    EXPECT_TRUE(Empty(5, 95)) << "the symbol itself is drawn only through use";
    const CElem* hit = vexo_test::HitTestAt(*document_, 65, 65);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->instanceSource, ById("s")->Children()[0]);
    EXPECT_EQ(vexo_test::HitTestAt(*document_, 75, 75), nullptr);
}

TEST_F(UseTest, UsedSvgKeepsItsOwnSizeUnlessTheUseGivesOne)
{
    Load("<defs><svg id='s' width='30' height='30'/></defs>"
         "<use id='own' xlink:href='#s'/><use id='given' xlink:href='#s' width='50'/>");
    EXPECT_EQ(ById("own")->Children()[0]->region, (RectF{0, 0, 30, 30}));
    EXPECT_EQ(ById("given")->Children()[0]->region, (RectF{0, 0, 50, 30}));
}

TEST_F(UseTest, PositionAppliesBeforeTheUsesTransform)
{
    Load("<defs><rect id='r' width='5' height='5' fill='red'/></defs>"
         "<use id='u' xlink:href='#r' x='10' transform='scale(2)'/>");
    EXPECT_EQ(ById("u")->props.transform, (Matrix{2, 0, 0, 2, 20, 0}));
    Paint();
    ExpectPixels({{25, 5, kRed}, {15, 5, kEmpty}});
}

TEST_F(UseTest, InstanceIsADeepCopyThatInheritsFromTheUse)
{
    Load("<defs><g id='g' fill='inherit'><rect id='r' width='10' height='10'/>"
         "<text>hello</text></g></defs>"
         "<use id='u' xlink:href='#g' fill='blue'/>");
    CElem* original = ById("g");
    const auto& children = ById("u")->Children();
    ASSERT_EQ(children.size(), 1u);
    const CElem* copy = children[0];
    EXPECT_EQ(copy->instanceSource, original);
    EXPECT_EQ(copy->IdAttribute(), "g");
    EXPECT_EQ(copy->line, original->line);
    EXPECT_EQ(copy->column, original->column);
    EXPECT_EQ(*copy->attributes.Value("VexoLoc"), *original->attributes.Value("VexoLoc"));
    EXPECT_EQ(copy->TextContent(), "hello");
    EXPECT_EQ(copy->Children()[0]->instanceSource, ById("r"));
    Paint();
    EXPECT_EQ(Pixel(5, 5), kBlue);
}

TEST_F(UseTest, MissingTargetIsReported)
{
    CElemDocument* document = Load("<use xlink:href='#nothing'/>");
    EXPECT_TRUE(HasMessagePrefix("E use xlink:href=\"#nothing\" :Link NOT found at 1("));
    EXPECT_TRUE(document->Children()[0]->Children().empty());
}

TEST_F(UseTest, UseOfItsOwnAncestorIsCyclicAndDrawsNothing)
{
    Load("<g id='g'><rect width='10' height='10' fill='red'/><use id='u' xlink:href='#g' x='50'/></g>");
    EXPECT_TRUE(HasMessagePrefix("F use xlink:href=\"#g\" : Cyclic reference at 1("));
    EXPECT_TRUE(ById("u")->Children().empty());
    Paint();
    ExpectPixels({{5, 5, kRed}, {55, 5, kEmpty}});
}

TEST_F(UseTest, GroupsUsingEachOtherThroughCopiesStop)
{
    // The originals see each other half-prepared once; the copies made for
    // the last use are prepared afresh and must be caught by their ancestry.
    CElemDocument* document = Load("<defs><g id='a'><use xlink:href='#b'/></g><g id='b'><use xlink:href='#a'/></g>"
                                   "</defs><use xlink:href='#a'/><use xlink:href='#b'/>");
    EXPECT_TRUE(HasMessagePrefix("F use xlink:href=\"#a\" : Cyclic reference at "));
    EXPECT_TRUE(HasMessagePrefix("F use xlink:href=\"#b\" : Cyclic reference at "));
    EXPECT_LT(CountElements(*document), 30u);
}

TEST_F(UseTest, ExponentialUseBombStopsAtTheInstanceBudget)
{
    // Ten levels of ten uses of the level below: 10^10 rectangles if expanded.
    std::string body = "<defs><rect id='l0' width='1' height='1'/>";
    for (int level = 1; level <= 10; ++level) {
        body += "<g id='l" + std::to_string(level) + "'>";
        for (int i = 0; i < 10; ++i)
            body += "<use xlink:href='#l" + std::to_string(level - 1) + "'/>";
        body += "</g>";
    }
    body += "</defs><use xlink:href='#l10'/>";

    const auto start = std::chrono::steady_clock::now();
    CElemDocument* document = Load(body);
    Paint();
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_LT(elapsed, std::chrono::seconds(20));
    EXPECT_LE(CountElements(*document), limits::kMaxUseInstanceElements + 200);
    const std::size_t reports = CountMessagesStartingWith("E use xlink:href=\"#l");
    EXPECT_GE(reports, 1u);
    EXPECT_LE(reports, 101u) << "once per use of the document, not once per copy";
    EXPECT_TRUE(HasMessagePrefix("E use xlink:href=\"#l9\" :Too many instances at "));
}

TEST_F(UseTest, InstancesNestAtMostThirtyTwoDeep)
{
    std::string body = "<defs><rect id='g0' width='1' height='1'/>";
    for (int level = 1; level <= 40; ++level)
        body += "<g id='g" + std::to_string(level) + "'><use xlink:href='#g" + std::to_string(level - 1) +
                "'/></g>";
    body += "</defs>";
    Load(body);
    // In the expansion of g33 the copy of g1's use is the 33rd nested one; each
    // deeper group stops one use further out: g1's to g8's uses, once each.
    EXPECT_TRUE(HasMessagePrefix("E use xlink:href=\"#g0\" :Too many instances at "));
    EXPECT_TRUE(HasMessagePrefix("E use xlink:href=\"#g7\" :Too many instances at "));
    EXPECT_EQ(CountMessagesStartingWith("E use xlink:href="), 8u);
}

TEST_F(UseTest, UseInClipPathMayOnlyNameShapes)
{
    Load("<defs><g id='g'><rect width='10' height='10'/></g><rect id='r' width='10' height='10'/></defs>"
         "<clipPath><use id='group' xlink:href='#g'/><use id='shape' xlink:href='#r'/></clipPath>");
    EXPECT_TRUE(HasMessagePrefix("E g illegal for use of clipPath's child at 1("));
    EXPECT_EQ(ById("group")->Children()[0]->props.display, Display::None);
    EXPECT_NE(ById("shape")->Children()[0]->props.display, Display::None);
}

}  // namespace
