// Element and attribute names to their ids and back.
#include <gtest/gtest.h>

#include <string>

#include "model/attribute_names.h"
#include "model/element_names.h"

using namespace svg;

namespace {

// Every listed name finds its own id, whatever it collided with in the table.
template <typename Id>
int ExpectRoundTrips(std::string_view (*nameOf)(Id), Id (*find)(std::string_view))
{
    int count = 0;
    for (int i = 1; !nameOf(static_cast<Id>(i)).empty(); ++i, ++count)
        EXPECT_EQ(static_cast<int>(find(nameOf(static_cast<Id>(i)))), i) << nameOf(static_cast<Id>(i));
    return count;
}

TEST(NamesTest, EveryNameFindsItsId)
{
    EXPECT_GT(ExpectRoundTrips(&AttributeName, &AttributeIdFromName), 200);
    EXPECT_GT(ExpectRoundTrips(&ElementName, &ElementIdFromName), 70);
}

TEST(NamesTest, NearMissesAreUnknown)
{
    struct Case {
        const char* name;
        AttributeId attribute;
    };
    for (const Case& c : {Case{"fill", AttributeId::fill}, Case{"Fill", AttributeId::Unknown},
                          Case{"fil", AttributeId::Unknown}, Case{"fill ", AttributeId::Unknown},
                          Case{"fills", AttributeId::Unknown}, Case{"", AttributeId::Unknown},
                          Case{"xlink:href", AttributeId::xlink_href}, Case{"href", AttributeId::Unknown},
                          Case{"VexoLoc", AttributeId::VexoLoc}, Case{"viewbox", AttributeId::Unknown}})
        EXPECT_EQ(AttributeIdFromName(c.name), c.attribute) << '"' << c.name << '"';
    EXPECT_EQ(ElementIdFromName("rect"), ElementId::rect);
    EXPECT_EQ(ElementIdFromName("Rect"), ElementId::Unknown);
    EXPECT_EQ(ElementIdFromName(std::string("rect\0", 5)), ElementId::Unknown);
    EXPECT_EQ(ElementIdFromName(""), ElementId::Unknown);
}

}  // namespace
