// Preparing a tree: what every element gets, the messages of unsupported
// elements and clip-path content, xlink:href chains with their cycles and
// bounds, and stopping.
#include <gtest/gtest.h>

#include "model/document.h"
#include "test_support.h"

using namespace svg;

namespace {

using PrepareTest = vexo_test::LoadTest;

TEST_F(PrepareTest, UnsupportedElementsWarnOnceEach)
{
    CElemDocument* root = LoadText(
        "<svg>\n <a><rect width='1' height='1'/></a>\n<script/>\n<animate/>\n<cursor/><g/></svg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"W a NOT supported at 2(2)", "W script NOT supported at 3(1)",
                                                    "W animate NOT supported at 4(1)",
                                                    "W cursor NOT supported at 5(1)"}));
    EXPECT_EQ(Current().Context().Progress().elementsPrepared, 7);
    EXPECT_EQ(root->Children()[0]->Children()[0]->prepState, PrepState::Prepared);
}

TEST_F(PrepareTest, ChildrenTakeTheirParentsViewport)
{
    CElemDocument* root = LoadText("<svg width='640' height='480'><g><rect width='1' height='1'/></g></svg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Children()[0]->Children()[0]->viewport, (RectF{0, 0, 640, 480}));
}

TEST_F(PrepareTest, AStoppedLoadPreparesNothingMore)
{
    Current().Stop().RequestStop();
    EXPECT_EQ(LoadText("<svg><g><rect width='1' height='1'/></g></svg>"), nullptr);
    EXPECT_EQ(Current().Context().Progress().elementsPrepared, 0);
    EXPECT_EQ(Current().Load().Main(), nullptr);
}

TEST_F(PrepareTest, ClipPathRejectsContainersAndImages)
{
    CElemDocument* root = LoadText("<svg><clipPath><rect width='1' height='1'/><text/><use/>\n"
                                   "<g/>\n<image/><title/></clipPath></svg>");
    ASSERT_NE(root, nullptr);
    ExpectMessagesInclude({"E g illegal for clipPath's child at 2(1)", "E image illegal for clipPath's child at 3(1)",
                           "E image xlink:href NOT defined at 3(1)"});
    const CElem* clipPath = root->Children()[0];
    EXPECT_EQ(clipPath->Children()[0]->props.display, Display::Inline);  // rect
    EXPECT_EQ(clipPath->Children()[3]->props.display, Display::None);    // g
    EXPECT_EQ(clipPath->Children()[4]->props.display, Display::None);    // image
}

// Masks read their region along xlink:href, preparing each mask they reach
// from inside their own preparation.
TEST_F(PrepareTest, HrefOutcomes)
{
    LoadText("<svg xmlns:xlink='http://www.w3.org/1999/xlink'>\n"
             "<mask id='a' xlink:href='#b'/><mask id='b' x='7'/>\n"
             "<mask id='c' xlink:href='#r'/><rect id='r' width='1' height='1'/>\n"
             "<mask id='d' xlink:href='#nowhere'/>\n"
             "<mask id='e' xlink:href='#e'/></svg>");
    const auto* a = static_cast<const CElemMask*>(Find("#a"));
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(a->x);
    EXPECT_EQ(*a->x, 7);
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "E mask xlink:href=\"#r\" :NOT refer to element 'mask' at 3(1)",
                              "E mask xlink:href=\"#nowhere\" :Link NOT found at 4(1)",
                              "F mask xlink:href=\"#e\" : Cyclic reference at 5(1)",
                          }));
}

TEST_F(PrepareTest, LongHrefChainsAreCut)
{
    std::string text = "<svg xmlns:xlink='http://www.w3.org/1999/xlink'>";
    for (int i = 0; i < 600; ++i)
        text += "<mask id='m" + std::to_string(i) + "' xlink:href='#m" + std::to_string(i + 1) + "'/>";
    text += "<mask id='m600' x='5'/></svg>";
    ASSERT_NE(LoadText(text), nullptr);
    EXPECT_TRUE(HasMessagePrefix("E mask too deeply nested at"));
    EXPECT_TRUE(HasMessagePrefix("E mask xlink:href chain too long at"));
    for (const CElem* child : Current().Load().Main()->Children())
        EXPECT_EQ(child->prepState, PrepState::Prepared);
    // Close enough to the end, the chain is read to its end.
    const auto* near = static_cast<const CElemMask*>(Find("#m590"));
    ASSERT_TRUE(near->x);
    EXPECT_EQ(*near->x, 5);
    EXPECT_FALSE(static_cast<const CElemMask*>(Find("#m0"))->x);
}

}  // namespace
