// Setting up filters: the filter element's units, region and filterRes, the
// primitives it inherits through xlink:href, `in` and `in2` resolved to
// standard inputs and earlier results, the primitives' subregions and colour
// spaces, and the messages of every primitive's attributes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/limits.h"
#include "model/document.h"
#include "test_support.h"

using namespace svg;

namespace {

class FilterSetupTest : public vexo_test::LoadTest {
protected:
    // A document whose body is `body`, on lines from 2 on.
    CElemDocument* LoadBody(const std::string& body)
    {
        return LoadText("<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                        "width='100' height='100'>\n" +
                        body + "</svg>");
    }
    const CElemFilter& Filter(const std::string& id)
    {
        const CElem* elem = Find("#" + id);
        EXPECT_NE(elem, nullptr);
        EXPECT_EQ(elem->Class(), ElemClass::Filter);
        return static_cast<const CElemFilter&>(*elem);
    }
    const CElemFilterPrimitive& Primitive(const std::string& id)
    {
        const CElem* elem = Find("#" + id);
        EXPECT_NE(elem, nullptr);
        EXPECT_EQ(elem->Class(), ElemClass::FilterPrimitive);
        return static_cast<const CElemFilterPrimitive&>(*elem);
    }
};

FilterInputRef Previous() { return {}; }
FilterInputRef Standard(FilterInput input) { return {FilterInputRef::Kind::Standard, input, -1}; }
FilterInputRef Result(int index) { return {FilterInputRef::Kind::Result, FilterInput::SourceGraphic, index}; }

TEST_F(FilterSetupTest, UnitsAndRegion)
{
    ASSERT_NE(LoadBody("<filter id='box' x='-5%' width='2'><feFlood/></filter>\n"
                       "<filter id='user' filterUnits='userSpaceOnUse' primitiveUnits='objectBoundingBox' x='10%' "
                       "y='5' width='50%' height='20'><feFlood/></filter>\n"
                       "<filter id='bad' filterUnits='strokeWidth' primitiveUnits='nonsense'><feFlood/></filter>"),
              nullptr);
    const CElemFilter& box = Filter("box");
    EXPECT_EQ(box.units, Units::ObjectBoundingBox);
    EXPECT_EQ(box.primitiveUnits, Units::UserSpaceOnUse);
    EXPECT_FLOAT_EQ(*box.x, -0.05f);
    EXPECT_FLOAT_EQ(*box.width, 2);
    EXPECT_FALSE(box.y);
    const CElemFilter& user = Filter("user");
    EXPECT_EQ(user.units, Units::UserSpaceOnUse);
    EXPECT_EQ(user.primitiveUnits, Units::ObjectBoundingBox);
    EXPECT_FLOAT_EQ(*user.x, 10);  // of the 100-wide viewport
    EXPECT_FLOAT_EQ(*user.width, 50);
    EXPECT_FLOAT_EQ(*user.height, 20);
    EXPECT_TRUE(HasMessage("E filter filterUnits=\"strokeWidth\" :Invalid value at 4(1)"));
    EXPECT_TRUE(HasMessage("E filter primitiveUnits=\"nonsense\" :Invalid value at 4(1)"));
    EXPECT_EQ(Filter("bad").units, Units::ObjectBoundingBox);
}

TEST_F(FilterSetupTest, SizesAndResolutionsThatDisableTheFilter)
{
    ASSERT_NE(LoadBody("<filter id='zero' width='0'><feFlood/></filter>\n"
                       "<filter id='negative' height='-1'><feFlood/></filter>\n"
                       "<filter id='res0' filterRes='0'><feFlood/></filter>\n"
                       "<filter id='res' filterRes='100'><feFlood/></filter>\n"
                       "<filter id='res2' filterRes='30 40'><feFlood/></filter>\n"
                       "<filter id='resBad' filterRes='30 40 50'><feFlood/></filter>"),
              nullptr);
    EXPECT_TRUE(Filter("zero").disabled);
    EXPECT_TRUE(HasMessage("E filter width=\"0\" must be positive value at 2(1)"));
    EXPECT_TRUE(Filter("negative").disabled);
    EXPECT_TRUE(HasMessage("E filter height=\"-1\" must be positive value at 3(1)"));
    EXPECT_TRUE(Filter("res0").disabled);
    // One number sets both directions.
    EXPECT_EQ(Filter("res").resolutionX, 100.0f);
    EXPECT_EQ(Filter("res").resolutionY, 100.0f);
    EXPECT_EQ(Filter("res2").resolutionY, 40.0f);
    EXPECT_FALSE(Filter("resBad").disabled);
    EXPECT_FALSE(Filter("resBad").resolutionX);
    EXPECT_TRUE(HasMessage("E filter filterRes=\"30 40 50\" :Invalid value at 7(1)"));
}

// SVG: a filter inherits the primitives of the filter it references only
// when it has none of its own; attributes it lacks come along the chain.
TEST_F(FilterSetupTest, PrimitivesComeAlongXlinkHrefOnlyWhenAFilterHasNone)
{
    ASSERT_NE(LoadBody("<filter id='base' filterUnits='userSpaceOnUse' x='1'><feFlood id='f1'/><feOffset/></filter>\n"
                       "<filter id='empty' xlink:href='#base'/>\n"
                       "<filter id='own' xlink:href='#base'><feTile id='own1'/></filter>\n"
                       "<filter id='second' xlink:href='#empty'/>"),
              nullptr);
    const CElemFilter& base = Filter("base");
    ASSERT_EQ(base.primitives.size(), 2u);
    EXPECT_EQ(Filter("empty").primitives, base.primitives);
    EXPECT_EQ(Filter("second").primitives, base.primitives);
    EXPECT_EQ(Filter("empty").units, Units::UserSpaceOnUse);
    EXPECT_FLOAT_EQ(*Filter("second").x, 1);
    ASSERT_EQ(Filter("own").primitives.size(), 1u);
    EXPECT_EQ(Filter("own").primitives[0], &Primitive("own1"));
}

TEST_F(FilterSetupTest, CyclesAlongXlinkHrefAreReportedAndEnd)
{
    ASSERT_NE(LoadBody("<filter id='a' xlink:href='#b'/>\n<filter id='b' xlink:href='#a'/>\n"
                       "<filter id='self' xlink:href='#self'/>\n"
                       "<rect width='10' height='10' filter='url(#a)'/>"),
              nullptr);
    EXPECT_TRUE(Filter("a").primitives.empty());
    EXPECT_TRUE(Filter("b").primitives.empty());
    EXPECT_TRUE(HasMessage("F filter xlink:href=\"#a\" : Cyclic reference at 3(1)"));
    EXPECT_TRUE(HasMessage("F filter xlink:href=\"#self\" : Cyclic reference at 4(1)"));
    // An element drawn through a filter without primitives is not drawn.
    EXPECT_NE(Current().Record(), nullptr);
}

TEST_F(FilterSetupTest, InputsResolveToStandardInputsAndTheClosestEarlierResult)
{
    ASSERT_NE(LoadBody("<filter id='f'>"
                       "<feFlood id='p0' result='a' in='b'/>"
                       "<feFlood id='p1' result='b'/>"
                       "<feBlend id='p2' in=' SourceAlpha ' in2='a'/>"
                       "<feFlood id='p3' result='a'/>"
                       "<feComposite id='p4' in='a' in2='unknown' result=''/>"
                       "<feMerge id='p5'><feMergeNode id='n0' in='b'/><feMergeNode id='n1'/>"
                       "<feMergeNode id='n2' in='BackgroundImage'/></feMerge>"
                       "<feOffset id='p6' in='StrokePaint' in2='FillPaint'/>"
                       "</filter>"),
              nullptr);
    // A name used before any primitive gave it is the previous result.
    EXPECT_EQ(Primitive("p0").in, Previous());
    EXPECT_EQ(Primitive("p2").in, Standard(FilterInput::SourceAlpha));
    EXPECT_EQ(Primitive("p2").in2, Result(0));
    // The closest earlier result of that name wins.
    EXPECT_EQ(Primitive("p4").in, Result(3));
    EXPECT_EQ(Primitive("p4").in2, Previous());
    EXPECT_EQ(Primitive("n0").in, Result(1));
    EXPECT_EQ(Primitive("n1").in, Previous());
    EXPECT_EQ(Primitive("n2").in, Standard(FilterInput::BackgroundImage));
    EXPECT_EQ(Primitive("p6").in, Standard(FilterInput::StrokePaint));
    EXPECT_EQ(Primitive("p6").in2, Standard(FilterInput::FillPaint));
    EXPECT_TRUE(Filter("f").readsBackground);
    // Merge nodes are not primitives of the filter.
    EXPECT_EQ(Filter("f").primitives.size(), 7u);
}

TEST_F(FilterSetupTest, SubregionsInBothUnitsAndColourSpaces)
{
    ASSERT_NE(LoadBody("<filter id='f' color-interpolation-filters='sRGB'>"
                       "<feFlood id='a' x='10%' y='5' width='0.5'/>\n"
                       "<feFlood id='b' color-interpolation-filters='linearRGB' width='-5' height='0'/>\n"
                       "<feFlood id='c' color-interpolation-filters='bogus'/>"
                       "</filter>"),
              nullptr);
    const CElemFilterPrimitive& a = Primitive("a");
    EXPECT_FLOAT_EQ(a.x->userUnits, 10);
    EXPECT_FLOAT_EQ(a.x->fraction, 0.1f);
    EXPECT_FLOAT_EQ(a.y->fraction, 5);
    EXPECT_FLOAT_EQ(a.width->In(Units::ObjectBoundingBox), 0.5f);
    EXPECT_FALSE(a.height);
    EXPECT_EQ(a.colorSpace, ColorInterpolation::SRGB);  // inherited from the filter
    const CElemFilterPrimitive& b = Primitive("b");
    EXPECT_TRUE(b.emptySubregion);
    EXPECT_EQ(b.colorSpace, ColorInterpolation::LinearRGB);
    EXPECT_TRUE(HasMessage("E feFlood width=\"-5\" must be positive value at 3(1)"));
    EXPECT_TRUE(HasMessage("E feFlood height=\"0\" must be positive value at 3(1)"));
    EXPECT_TRUE(HasMessage("E feFlood color-interpolation-filters=\"bogus\" :invalid at 4(1)"));
}

TEST_F(FilterSetupTest, PrimitivesPastTheBoundAreIgnored)
{
    std::string primitives;
    for (std::size_t i = 0; i < limits::kMaxFilterPrimitives + 5; ++i)
        primitives += "<feOffset dx='1'/>";
    ASSERT_NE(LoadBody("<filter id='f'>" + primitives + "</filter>"), nullptr);
    EXPECT_EQ(Filter("f").primitives.size(), limits::kMaxFilterPrimitives);
    EXPECT_TRUE(HasMessage("W filter has more than 1024 primitives; the rest are ignored at 2(1)"));
}

// Each case: a primitive on line 3 and the message its attributes give.
struct MessageCase {
    const char* primitive;
    const char* message;
};

TEST_F(FilterSetupTest, EachPrimitiveSaysWhatItCannotUse)
{
    const MessageCase cases[] = {
        {"<feBlend mode='hue'/>", "E feBlend mode=\"hue\" Unknown at 3(1)"},
        {"<feComposite operator='plus'/>", "E feComposite operator=\"plus\" Unknown at 3(1)"},
        {"<feComposite operator='arithmetic' k1='x'/>", "E feComposite k1=\"x\" :Invalid value at 3(1)"},
        {"<feColorMatrix type='sepia'/>", "E feColorMatrix type=\"sepia\" Unknown at 3(1)"},
        {"<feColorMatrix values='1 2 3'/>", "W feColorMatrix type=matrix needs 20 values"},
        {"<feColorMatrix type='saturate' values=''/>", "W feColorMatrix type=typeSaturate needs 1 values"},
        {"<feColorMatrix type='hueRotate' values='1 2'/>", "W feColorMatrix type=typeHueRotate needs 1 values"},
        {"<feComponentTransfer><feFuncR type='curve'/></feComponentTransfer>",
         "E feFuncR type=\"curve\" Unknown at 3(22)"},
        {"<feComponentTransfer><feFuncA type='linear' slope='1px'/></feComponentTransfer>",
         "E feFuncA slope=\"1px\" :Invalid value at 3(22)"},
        {"<feFlood flood-color='nocolour'/>", "E feFlood flood-color=\"nocolour\" :Invalid value at 3(1)"},
        {"<feOffset dx='5%'/>", "E feOffset dx=\"5%\" :Invalid value at 3(1)"},
        {"<feGaussianBlur stdDeviation='-1'/>", "E feGaussianBlur stdDeviation MUST be positive value at 3(1)"},
        {"<feGaussianBlur stdDeviation='1 2 3'/>", "E feGaussianBlur stdDeviation=\"1 2 3\" :Invalid value at 3(1)"},
        {"<feMorphology/>", "W feMorphology radius NOT specified. (using 0) at 3(1)"},
        {"<feMorphology radius='-2'/>", "E feMorphology radius=\"-2\" must be positive value at 3(1)"},
        {"<feMorphology operator='open' radius='1'/>", "E feMorphology operator=\"open\" Unknown at 3(1)"},
        {"<feConvolveMatrix/>", "E feConvolveMatrix kernelMatrix NOT found at 3(1)"},
        {"<feConvolveMatrix kernelMatrix='1 2'/>",
         "E feConvolveMatrix Num of kernelMatrix elements must equals to order.x * order.y at 3(1)"},
        {"<feConvolveMatrix order='1000' kernelMatrix='1'/>", "E feConvolveMatrix order=\"1000\" too large at 3(1)"},
        {"<feConvolveMatrix order='2.5' kernelMatrix='1'/>", "E feConvolveMatrix order=\"2.5\" :Invalid value at 3(1)"},
        {"<feConvolveMatrix kernelMatrix='1 1 1 1 1 1 1 1 1' targetX='3'/>",
         "E feConvolveMatrix targetX=\"3\" :Invalid value at 3(1)"},
        {"<feConvolveMatrix kernelMatrix='1 1 1 1 1 1 1 1 1' divisor='0'/>",
         "E feConvolveMatrix divisor=\"0\" :Invalid value at 3(1)"},
        {"<feConvolveMatrix kernelMatrix='1 1 1 1 1 1 1 1 1' edgeMode='mirror'/>",
         "E feConvolveMatrix operator=\"mirror\" Unknown at 3(1)"},
        {"<feConvolveMatrix kernelMatrix='1 1 1 1 1 1 1 1 1' kernelUnitLength='0'/>",
         "E feConvolveMatrix kernelUnitLength MUST be positive value at 3(1)"},
        {"<feDisplacementMap xChannelSelector='X'/>", "E feDisplacementMap xChannelSelector MUST be R/G/B/A at 3(1)"},
        {"<feDisplacementMap yChannelSelector='r'/>", "E feDisplacementMap yChannelSelector MUST be R/G/B/A at 3(1)"},
        {"<feDiffuseLighting>\n<desc/></feDiffuseLighting>", "W desc Unknown for Lighting Source at 4(1)"},
        {"<feDiffuseLighting/>", "E feDiffuseLighting Light Source NOT found at 3(1)"},
        {"<feSpecularLighting specularExponent='0.5'><feDistantLight/></feSpecularLighting>",
         "E feSpecularLighting specularExponent must be >=1.0 at 3(1)"},
        {"<feSpecularLighting kernelUnitLength='-1'><feDistantLight/></feSpecularLighting>",
         "E feSpecularLighting kernelUnitLength MUST be positive value at 3(1)"},
        {"<feTurbulence stitchTiles='yes'/>", "E feTurbulence stitchTiles=\"yes\" Unknown at 3(1)"},
        {"<feTurbulence type='perlin'/>", "E feTurbulence type=\"perlin\" Unknown at 3(1)"},
        {"<feTurbulence baseFrequency='-0.1'/>", "E feTurbulence baseFrequency=\"-0.1\" :Invalid value at 3(1)"},
        {"<feImage/>", "E feImage xlink:href=\"\" NOT found at 3(1)"},
        {"<feImage xlink:href='#nowhere'/>", "E feImage feImage xlink:href=\"#nowhere\" :Link NOT found at 3(1)"},
        {"<feImage xlink:href='missing.png'/>",
         "E feImage feImage xlink:href=\"missing.png\" :can NOT open at 3(1)"},
    };
    for (const MessageCase& c : cases) {
        NewLoad();
        ASSERT_NE(LoadBody(std::string("<filter>\n") + c.primitive + "</filter>"), nullptr) << c.primitive;
        EXPECT_TRUE(HasMessage(c.message)) << c.primitive << "\n" << testing::PrintToString(Messages());
    }
}

TEST_F(FilterSetupTest, UsablePrimitivesSayNothing)
{
    ASSERT_NE(LoadBody("<filter><feBlend mode='multiply'/><feComposite operator='arithmetic' k1='1' k2='.5'/>"
                       "<feColorMatrix type='saturate' values='0.5'/><feFlood flood-color='currentColor'/>"
                       "<feComponentTransfer><feFuncR type='table' tableValues='0 1'/></feComponentTransfer>"
                       "<feGaussianBlur stdDeviation='1 2'/><feMorphology radius='1'/>"
                       "<feConvolveMatrix order='3 1' kernelMatrix='1 2 1' preserveAlpha='true'/>"
                       "<feDisplacementMap scale='3' xChannelSelector='R'/>"
                       "<feSpecularLighting specularExponent='20'><fePointLight x='1' y='2' z='3'/>"
                       "</feSpecularLighting><feDiffuseLighting><feSpotLight limitingConeAngle='0.5rad'/>"
                       "</feDiffuseLighting><feTurbulence baseFrequency='0.1 0.2' numOctaves='3'/>"
                       "<feTile/><feOffset dx='1e3'/><feMerge><feMergeNode/></feMerge></filter>"),
              nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

}  // namespace
