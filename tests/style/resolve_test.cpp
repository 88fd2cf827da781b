// Property resolution on loaded documents: the three lookups, each property's
// values and fallbacks, paint and effect references with their messages, and
// the stroke pen.
#include <gtest/gtest.h>

#include <string>

#include "model/document.h"
#include "model/properties.h"
#include "test_support.h"
#include "text/font_context.h"

using namespace svg;

namespace {

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kRed{255, 0, 0, 255};

class ResolveTest : public vexo_test::LoadTest {
protected:
    // A 300 x 400 document; `body` follows the root's start tag on line 1, so
    // an element written after "\n" starts at column 1 of the next line.
    void Load(const std::string& body)
    {
        const std::string text =
            "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
            "width='300' height='400'>" +
            body + "</svg>";
        document_ = LoadText(text);
        ASSERT_NE(document_, nullptr);
    }

    CElem& Elem(const std::string& id)
    {
        CElem* elem = Find("#" + id);
        EXPECT_NE(elem, nullptr) << id;
        return elem != nullptr ? *elem : *document_;
    }
    const ResolvedProperties& Props(const std::string& id) { return Elem(id).props; }

    // The metrics the load's fonts give for a family at weight 400, upright.
    FaceMetrics Face(const std::string& family)
    {
        CFontContext fonts{CDocOptions{}};
        return fonts.Metrics(family, 400, FontStyle::Normal);
    }

    CElemDocument* document_ = nullptr;
};

// --- Fonts --------------------------------------------------------------------------

TEST_F(ResolveTest, FontSizeKeywordsUnitsAndRelativeValues)
{
    Load("<text id='t' font-size='20' font-family='DejaVu Sans'>"
         "<tspan id='pct' font-size='150%'/><tspan id='larger' font-size='larger'/>"
         "<tspan id='smaller' font-size='smaller'/><tspan id='em' font-size='2em'/>"
         "<tspan id='ex' font-size='1ex'/><tspan id='pt' font-size='12pt'/><tspan id='in' font-size='1in'/>"
         "<tspan id='kw' font-size='x-large'/><tspan id='bad' font-size='big'/>"
         "<tspan id='negative' font-size='-5'/><tspan id='none'/></text>");
    ExpectProps(&ResolvedProperties::fontSize, {{"t", 20}, {"pct", 30}, {"larger", 24}, {"smaller", 20 / 1.2f},
                                                {"em", 40}});
    const FaceMetrics face = Face("DejaVu Sans");
    ExpectProps(&ResolvedProperties::fontSize, {{"ex", face.xHeight / face.unitsPerEm * 20}, {"pt", 16}, {"in", 96},
                                                {"kw", 23.3f}, {"bad", 20}, {"negative", 20}, {"none", 20}});
    EXPECT_FLOAT_EQ(document_->props.fontSize, 15.5f);
}

TEST_F(ResolveTest, HeightsComeFromTheFace)
{
    Load("<text id='t' font-size='20' font-family='Liberation Serif'/>");
    const FaceMetrics face = Face("Liberation Serif");
    EXPECT_FLOAT_EQ(Props("t").xHeight, face.xHeight * 20 / face.unitsPerEm);
    EXPECT_FLOAT_EQ(Props("t").capHeight, face.capHeight * 20 / face.unitsPerEm);
    EXPECT_GT(Props("t").capHeight, Props("t").xHeight);
}

TEST_F(ResolveTest, FontWeights)
{
    Load("<g id='g' font-weight='900'><text id='bolder' font-weight='bolder'/></g>"
         "<text id='odd' font-weight='550'/><text id='abc' font-weight='abc'/>"
         "<text id='zero' font-weight='0'/><text id='huge' font-weight='1000'/><text id='tiny' font-weight='50'/>"
         "<g font-weight='300'><text id='beyond' font-weight='1500'/></g>"
         "<g font-weight='100'><text id='lighter' font-weight='lighter'/></g>"
         "<g font-weight='bold'><text id='step' font-weight='bolder'/><text id='normal' font-weight='normal'/></g>"
         "<text id='up' font-weight='bolder'/><text id='down' font-weight='lighter'/>"
         "<g font-weight='600'><text id='lighter600' font-weight='lighter'/></g>");
    // "beyond" has no valid weight, so the parent's stays; bolder and lighter
    // step along CSS's table, not by 100.
    ExpectProps(&ResolvedProperties::fontWeight,
                {{"bolder", 900}, {"odd", 550}, {"abc", 400}, {"zero", 400}, {"huge", 900}, {"tiny", 100},
                 {"beyond", 300}, {"lighter", 100}, {"step", 900}, {"up", 700}, {"down", 100}, {"lighter600", 400},
                 {"normal", 400}});
}

TEST_F(ResolveTest, FontStretchIsMonotonicAndStepsAlongItsScale)
{
    Load("<text id='condensed' font-stretch='condensed'/><text id='semi' font-stretch='semi-condensed'/>"
         "<text id='expanded' font-stretch='expanded'/><text id='semiExp' font-stretch='semi-expanded'/>"
         "<text id='wider' font-stretch='wider'/>"
         "<g font-stretch='ultra-condensed'><text id='narrowest' font-stretch='narrower'/></g>"
         "<g font-stretch='ultra-expanded'><text id='widest' font-stretch='wider'/></g>"
         "<g font-stretch='condensed'><text id='narrower' font-stretch='narrower'/></g>");
    EXPECT_LT(Props("condensed").fontStretch, Props("semi").fontStretch);
    EXPECT_LT(Props("semiExp").fontStretch, Props("expanded").fontStretch);
    ExpectProps(&ResolvedProperties::fontStretch, {{"condensed", 0.75f}, {"wider", 1.125f}, {"narrowest", 0.5f},
                                                   {"widest", 2.0f}, {"narrower", 0.625f}});
}

TEST_F(ResolveTest, FontSizeAdjustScalesByTheFaceAndDoesNotCompound)
{
    Load("<g id='g' font-family='DejaVu Sans' font-size='20' font-size-adjust='0.5'>"
         "<text id='t'><tspan id='s'/></text><text id='pct' font-size-adjust='50%'/>"
         "<text id='off' font-size-adjust='none'/></g>");
    const FaceMetrics face = Face("DejaVu Sans");
    const float adjusted = 0.5f * face.unitsPerEm / face.xHeight * 20;
    EXPECT_FLOAT_EQ(Props("g").fontSize, adjusted);
    EXPECT_FLOAT_EQ(Props("g").xHeight, 10);  // the point of the property: x-height = adjust x size
    EXPECT_NEAR(Props("t").fontSize, adjusted, 1e-4);
    EXPECT_NEAR(Props("s").fontSize, adjusted, 1e-4);
    EXPECT_NEAR(Props("pct").fontSize, adjusted, 1e-4);
    EXPECT_FLOAT_EQ(Props("off").fontSize, 20);
}

// --- The three lookups --------------------------------------------------------------

TEST_F(ResolveTest, ParentResolvedValuesAreOverriddenByOwnOnes)
{
    Load("<g font-style='italic' fill-rule='evenodd' visibility='hidden'>"
         "<text id='normal' font-style='normal' fill-rule='nonzero'/><text id='kept' font-style='slanted'/>"
         "<rect width='1' height='1' id='inherited'/><rect width='1' height='1' id='visible' visibility='visible'/></g>");
    ExpectProps(&ResolvedProperties::fontStyle, {{"normal", FontStyle::Normal}, {"kept", FontStyle::Italic},
                                                 {"inherited", FontStyle::Italic}});
    EXPECT_EQ(Props("normal").fillRule, FillRule::NonZero);
    EXPECT_EQ(Props("inherited").fillRule, FillRule::EvenOdd);
    EXPECT_EQ(Props("inherited").visibility, Visibility::Hidden);
    EXPECT_EQ(Props("visible").visibility, Visibility::Visible);
}

TEST_F(ResolveTest, InheritTakesTheParentsResolvedValueOnce)
{
    Load("<g font-size='150%' font-weight='bolder' font-family='serif'>"
         "<text id='t' font-size='inherit' font-weight='inherit' font-family='inherit'/></g>");
    EXPECT_FLOAT_EQ(Props("t").fontSize, 15.5f * 1.5f);
    EXPECT_EQ(Props("t").fontWeight, 700) << "400 bolder, once";
    EXPECT_EQ(Props("t").fontFamily, "serif");
}

// Families and colours are held once per distinct text, whichever element
// wrote it; inheriting, repeating the parent's text or an unusable colour
// keeps the parent's copy.
TEST_F(ResolveTest, RepeatedFamiliesAndColoursShareOneCopy)
{
    Load("<g id='g' font-family='serif' color='blue'>"
         "<rect width='1' height='1' id='sameAsParent' font-family='serif' color='blue'/>"
         "<rect width='1' height='1' id='sans1' font-family='sans-serif' color='red'/>"
         "<rect width='1' height='1' id='badColour' color='nonsense'/>"
         "<rect width='1' height='1' id='current' color='currentColor'/></g>"
         "<rect width='1' height='1' id='sans2' font-family='sans-serif' color='red' fill='currentColor'/>"
         "<rect width='1' height='1' id='plain'/><rect width='1' height='1' id='spaced' font-family='serif '/>");
    struct Case {
        const char* a;
        const char* b;
        bool sameFamily;
        bool sameColour;
    };
    for (const Case& c : {Case{"g", "sameAsParent", true, true}, Case{"sans1", "sans2", true, true},
                          Case{"g", "badColour", true, true}, Case{"g", "current", true, true},
                          Case{"g", "spaced", true, false}, Case{"plain", "sans1", false, false},
                          Case{"g", "sans1", false, false}}) {
        EXPECT_EQ(Props(c.a).fontFamily.SameCopy(Props(c.b).fontFamily), c.sameFamily) << c.a << " " << c.b;
        EXPECT_EQ(Props(c.a).color.SameCopy(Props(c.b).color), c.sameColour) << c.a << " " << c.b;
    }
    struct Values {
        const char* id;
        const char* family;
        const char* colour;
    };
    for (const Values& v : {Values{"sameAsParent", "serif", "blue"}, Values{"sans2", "sans-serif", "red"},
                            Values{"badColour", "serif", "blue"}, Values{"plain", "", "rgb(0,0,0)"},
                            Values{"spaced", "serif", "rgb(0,0,0)"}}) {
        EXPECT_EQ(Props(v.id).fontFamily.Str(), v.family) << v.id;
        EXPECT_EQ(Props(v.id).color.Str(), v.colour) << v.id;
    }
    // currentColor hands out the shared text itself.
    EXPECT_EQ(Elem("sans2").GetColorAttribute(AttributeId::fill, false), &Props("sans2").color.Str());
    EXPECT_TRUE(Props("plain").color.SameCopy(InitialColorText()));
}

TEST_F(ResolveTest, InheritedTextIsParsedInTheElementsOwnContext)
{
    Load("<g id='g' fill-opacity='50%' stroke='red' stroke-width='1em' font-size='10'>"
         "<rect width='1' height='1' id='r' font-size='20'/></g>");
    EXPECT_FLOAT_EQ(Props("r").fillOpacity, 0.5f);
    ASSERT_TRUE(Props("r").fillBrush);
    EXPECT_EQ(Props("r").fillBrush->color.a, 127);
    EXPECT_FLOAT_EQ(Props("g").strokeWidth, 10);
    EXPECT_FLOAT_EQ(Props("r").strokeWidth, 20);
}

TEST_F(ResolveTest, OwnValuesAreNotInherited)
{
    Load("<g id='g' opacity='0.5' overflow='visible' transform='translate(5)'>"
         "<rect width='1' height='1' id='plain'/><rect width='1' height='1' id='explicit' opacity='inherit' overflow='inherit'/>"
         "<rect width='1' height='1' id='unknown' overflow='sideways'/></g>");
    EXPECT_FLOAT_EQ(Props("g").opacity, 0.5f);
    EXPECT_FLOAT_EQ(Props("plain").opacity, 1);
    EXPECT_EQ(Props("plain").overflow, Overflow::Hidden);
    EXPECT_TRUE(Props("plain").transform.IsIdentity());
    EXPECT_FLOAT_EQ(Props("explicit").opacity, 0.5f);
    EXPECT_EQ(Props("explicit").overflow, Overflow::Visible);
    EXPECT_EQ(Props("unknown").overflow, Overflow::Hidden);
}

TEST_F(ResolveTest, InheritedOverflowIsTheParentsAsCssComputesIt)
{
    // Without a value of its own the root and a group are visible, a nested
    // svg, a symbol or a marker hidden; an inherited "inherit" passes on.
    Load("<marker id='inRoot' overflow='inherit'/>"
         "<g><marker id='inGroup' overflow='inherit'/></g>"
         "<svg><marker id='inSvg' overflow='inherit'/></svg>"
         "<g overflow='scroll'><g overflow='inherit'><marker id='twice' overflow='inherit'/></g></g>"
         "<symbol><marker id='inSymbol' overflow=' inherit'/></symbol>");
    EXPECT_EQ(Props("inRoot").overflow, Overflow::Visible);
    EXPECT_EQ(Props("inGroup").overflow, Overflow::Visible);
    EXPECT_EQ(Props("inSvg").overflow, Overflow::Hidden);
    EXPECT_EQ(Props("twice").overflow, Overflow::Scroll);
    EXPECT_EQ(Props("inSymbol").overflow, Overflow::Hidden);
}

TEST_F(ResolveTest, OpacitiesAreClampedAndNotFoldedIntoPaint)
{
    Load("<rect width='1' height='1' id='big' opacity='150%'/><rect width='1' height='1' id='negative' opacity='-1'/><rect width='1' height='1' id='bad' opacity='half'/>"
         "<rect width='1' height='1' id='length' opacity='0.1mm'/><rect width='1' height='1' id='trailing' opacity='0.1 0.2'/>"
         "<rect width='1' height='1' id='r' fill='red' stroke='red' opacity='0.5' fill-opacity='0.5' stroke-opacity='0.2'/>");
    ExpectProps(&ResolvedProperties::opacity, {{"big", 1}, {"negative", 0}, {"bad", 1}});
    EXPECT_FLOAT_EQ(Props("length").opacity, 1);  // a number, not a length
    EXPECT_FLOAT_EQ(Props("trailing").opacity, 1);
    // Group opacity fades fill and stroke together later; the paint keeps its own.
    const ResolvedProperties& props = Props("r");
    EXPECT_FLOAT_EQ(props.opacity, 0.5f);
    ASSERT_TRUE(props.fillBrush && props.strokePen);
    EXPECT_EQ(props.fillBrush->color, (Rgba{255, 0, 0, 127}));
    EXPECT_EQ(props.strokePen->color, (Rgba{255, 0, 0, 51}));
}

TEST_F(ResolveTest, LinearRgbKeepsTranslucentPaintTranslucent)
{
    Load("<rect width='1' height='1' id='r' fill='#804020' fill-opacity='0.5' color-interpolation='linearRGB'/>"
         "<rect width='1' height='1' id='fast' color-rendering='optimizeSpeed' color-interpolation='linearRGB'/>");
    EXPECT_EQ(Props("r").colorInterpolation, ColorInterpolation::LinearRGB);
    EXPECT_EQ(Props("r").fillBrush->color, (Rgba{0x80, 0x40, 0x20, 127}));
    EXPECT_EQ(Props("fast").colorRendering, ColorRendering::OptimizeSpeed);
    EXPECT_EQ(Props("fast").colorInterpolation, ColorInterpolation::SRGB);
}

TEST_F(ResolveTest, InvalidColorRenderingValuesAreReported)
{
    Load("\n<rect width='1' height='1' color-rendering='best' color-interpolation='CIELab'/>");
    ExpectMessagesInclude(
        {"E rect color-rendering=\"best\" :invalid at 2(1)", "E rect color-interpolation=\"CIELab\" :invalid at 2(1)"});
}

TEST_F(ResolveTest, DisplayCodes)
{
    Load("<g id='none' display='none'><rect width='1' height='1' id='child'/><rect width='1' height='1' id='bogus' display='bogus'/></g>"
         "<rect width='1' height='1' id='block' display='block'/><rect width='1' height='1' id='caption' display='table-caption'/>");
    EXPECT_EQ(Props("none").display, Display::None);
    EXPECT_EQ(static_cast<int>(Display::None), 16);
    ExpectProps(&ResolvedProperties::display, {{"child", Display::None}, {"bogus", Display::Inline},
                                               {"block", Display::Block}});
    EXPECT_EQ(static_cast<int>(Props("caption").display), 15);
}

TEST_F(ResolveTest, DisplayNoneDoesNotReachTheContentOfClipPathsMasksAndPatterns)
{
    Load("<g display='none'>"
         "<clipPath id='clip' display='none'><rect width='1' height='1' id='clipped'/>"
         "<rect width='1' height='1' id='off' display='none'/></clipPath>"
         "<mask id='mask'><rect width='1' height='1' id='masking'/></mask>"
         "<pattern id='pattern' display='none'><rect width='1' height='1' id='tile'/></pattern></g>");
    ExpectProps(&ResolvedProperties::display, {{"clip", Display::Inline}, {"clipped", Display::Inline},
                                               {"off", Display::None}, {"masking", Display::Inline},
                                               {"tile", Display::Inline}});
}

// --- transform ----------------------------------------------------------------------

TEST_F(ResolveTest, TransformAppliesOnlyWhereAllowedAndMustParse)
{
    Load("\n<text id='t' transform='translate(10,20)'><tspan id='s' transform='scale(2)'/></text>"
         "\n<rect width='1' height='1' id='bad' transform='rotate(30 50)'/>"
         "<svg id='inner' transform='translate(5)'/><symbol id='sym' transform='scale(2)'/>");
    EXPECT_EQ(Props("t").transform, Matrix::Translate(10, 20));
    EXPECT_EQ(Props("inner").transform, Matrix::Translate(5, 0));
    EXPECT_TRUE(Props("sym").transform.IsIdentity());
    EXPECT_TRUE(Props("s").transform.IsIdentity());
    EXPECT_TRUE(HasMessage("W transform can NOT apply to tspan :Invalid value at 2(43)"));
    EXPECT_TRUE(Props("bad").transform.IsIdentity());
    EXPECT_TRUE(HasMessage("E rect transform=\"rotate(30 50)\" :Invalid value at 3(1)"));
}

// --- color and currentColor ---------------------------------------------------------

TEST_F(ResolveTest, CurrentColorIsTheResolvedColor)
{
    Load("<g color='red'><rect width='1' height='1' id='r' fill='currentColor' stroke='currentColor'/>"
         "<g id='self' color='currentColor'><rect width='1' height='1' id='deep' fill='currentColor'/></g>"
         "<rect width='1' height='1' id='bogus' color='nonsense' fill='currentColor'/>"
         "<rect width='1' height='1' id='blue' color='blue' fill='url(#missing) currentColor'/></g>"
         "<g fill='currentColor'><rect width='1' height='1' id='late' color='#00ff00'/></g>");
    EXPECT_EQ(Props("r").fillBrush->color, kRed);
    EXPECT_EQ(Props("r").strokePen->color, kRed);
    EXPECT_EQ(Props("self").color, "red");
    EXPECT_EQ(Props("deep").fillBrush->color, kRed);
    EXPECT_EQ(Props("bogus").fillBrush->color, kRed);
    EXPECT_EQ(Props("blue").fillBrush->color, (Rgba{0, 0, 255, 255}));
    // An inherited currentColor means the inheriting element's colour.
    EXPECT_EQ(Props("late").fillBrush->color, (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(*Elem("late").GetColorAttribute(AttributeId::fill, true), "#00ff00");
    EXPECT_EQ(Elem("late").GetColorAttribute(AttributeId::stroke, true), nullptr);
}

// --- Paint --------------------------------------------------------------------------

TEST_F(ResolveTest, FillAndStrokeDefaults)
{
    Load("<rect width='1' height='1' id='r'/><rect width='1' height='1' id='none' fill='none' stroke='none'/><rect width='1' height='1' id='bad' fill='nocolour'/>");
    EXPECT_EQ(Props("r").fillBrush->color, kBlack);
    EXPECT_FALSE(Props("r").strokePen);
    EXPECT_FLOAT_EQ(Props("r").strokeWidth, 1);
    EXPECT_FALSE(Props("none").fillBrush);
    EXPECT_EQ(Props("bad").fillBrush->color, kBlack);
}

TEST_F(ResolveTest, MissingPaintServersFallBack)
{
    Load("\n<rect width='1' height='1' id='fill' fill='url(#missing) red'/>"
         "\n<rect width='1' height='1' id='stroke' stroke='url(#missing)'/>"
         "\n<rect width='1' height='1' id='strokeFallback' stroke='url(#missing) red'/>"
         "\n<rect width='1' height='1' id='fillNoFallback' fill='url(#missing)'/>"
         "\n<rect width='1' height='1' id='fillNone' fill='url(#missing) none'/>");
    EXPECT_TRUE(HasMessage("E rect fill=\"url(#missing) red\" :Link NOT found at 2(1)"));
    EXPECT_EQ(Props("fill").fillBrush->color, kRed);
    EXPECT_EQ(Props("fill").fillPaintServer, nullptr);
    EXPECT_TRUE(HasMessage("E rect stroke=\"url(#missing)\" :Link NOT found at 3(1)"));
    EXPECT_FALSE(Props("stroke").strokePen);
    EXPECT_EQ(Props("strokeFallback").strokePen->color, kRed);
    // Without a fallback a broken reference paints nothing, as with stroke.
    EXPECT_FALSE(Props("fillNoFallback").fillBrush);
    EXPECT_FALSE(Props("fillNone").fillBrush);
}

TEST_F(ResolveTest, PaintServersAreFound)
{
    Load("<linearGradient id='lg'/><pattern id='p'/>"
         "<rect width='1' height='1' id='r' fill=\"url('#lg')\" stroke='url(#p) none' stroke-width='3'/>"
         "<rect width='1' height='1' id='fallback' fill='url(#lg) red'/>");
    EXPECT_EQ(Props("r").fillPaintServer, &Elem("lg"));
    EXPECT_FALSE(Props("r").fillBrush);  // the server paints; no solid colour stands in
    EXPECT_EQ(Props("r").strokePaintServer, &Elem("p"));
    // The server strokes with the pen's geometry; "none" leaves nothing if it cannot.
    ASSERT_TRUE(Props("r").strokePen);
    EXPECT_EQ(Props("r").strokePen->color.a, 0);
    EXPECT_FLOAT_EQ(Props("r").strokePen->width, 3);
    EXPECT_EQ(Props("fallback").fillBrush->color, kRed);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ResolveTest, PaintReferencesToOtherElementsAreRejected)
{
    Load("\n<rect width='1' height='1' id='target'/>"
         "\n<circle id='c' fill='url(#target) red' stroke='url(#target)'/>");
    ExpectMessagesInclude({"E circle fill=\"url(circle)\" :NOT refer to paint element at 3(1)",
                           "E circle stroke=\"url(circle)\" :NOT refer to paint element at 3(1)"});
    EXPECT_EQ(Props("c").fillPaintServer, nullptr);
    EXPECT_EQ(Props("c").strokePaintServer, nullptr);
    EXPECT_EQ(Props("c").fillBrush->color, kRed);
    EXPECT_FALSE(Props("c").strokePen);
}

TEST_F(ResolveTest, CyclicPaintReferencesAreReported)
{
    Load("\n<linearGradient id='lg'>"
         "\n<stop id='s' fill='url(#lg)' stroke='url(#lg)'/></linearGradient>");
    ExpectMessagesInclude({"E stop fill=\"url(#lg)\" : Cyclic reference at 3(1)",
                           "F linearGradient stroke=\"url(#lg)\" : Cyclic reference at 3(1)"});
    EXPECT_EQ(Props("s").fillPaintServer, nullptr);
    EXPECT_EQ(Props("s").strokePaintServer, nullptr);
    EXPECT_FALSE(Props("s").fillBrush);
    EXPECT_FALSE(Props("s").strokePen);
}

TEST_F(ResolveTest, InheritedReferenceToItselfPaintsOnlyItsFallback)
{
    // The group names the rect, which is no server; the rect inherits a
    // reference to itself, a cycle.
    Load("\n<g fill='url(#r)'><rect id='r' width='1' height='1'/></g>"
         "\n<g fill='url(#f) red'><rect id='f' width='1' height='1'/></g>");
    EXPECT_TRUE(HasMessage("E rect fill=\"url(#r)\" : Cyclic reference at 2(19)"));
    EXPECT_FALSE(Props("r").fillBrush);
    EXPECT_EQ(Props("f").fillBrush->color, kRed);
}

TEST_F(ResolveTest, CharacterDataTakesItsElementsPaintWithoutNewMessages)
{
    Load("<text id='t' fill='url(#missing) red' opacity='0.5'>abc</text>");
    const CElem& text = Elem("t");
    ASSERT_EQ(text.Children().size(), 1u);
    const ResolvedProperties& characters = text.Children()[0]->props;
    EXPECT_EQ(characters.fillBrush->color, kRed);
    EXPECT_FLOAT_EQ(characters.opacity, 1);
    EXPECT_EQ(Current().Log().Counts().errors, 1);  // the text's missing link only
}

// --- mask, filter, clip-path --------------------------------------------------------

TEST_F(ResolveTest, MaskReferences)
{
    Load("\n<mask id='m'>"
         "\n<rect width='1' height='1' id='cycle' mask='url(#m)'/></mask>"
         "\n<rect width='1' height='1' id='ok' mask='url(#m)'/>"
         "\n<rect width='1' height='1' id='wrong' mask='url(#ok)'/>"
         "\n<rect width='1' height='1' id='missing' mask='url(#nothing)'/>"
         "\n<rect width='1' height='1' id='none' mask='none'/>");
    EXPECT_EQ(Props("ok").mask, &Elem("m"));
    EXPECT_EQ(Props("cycle").mask, nullptr);
    EXPECT_EQ(Props("none").mask, nullptr);
    ExpectMessages({"F rect mask=\"url(#m)\" : Cyclic reference at 3(1)",
                    "E rect mask=\"url(#ok)\" :Link NOT refer to 'mask' at 5(1)",
                    "E rect mask=\"url(#nothing)\" :Link NOT found at 6(1)"});
}

TEST_F(ResolveTest, MasksMaskingEachOtherCloseALoopThatIsBroken)
{
    // m1 is done before m2 is reached, so only m2's reference sees the loop.
    Load("\n<mask id='m1' mask='url(#m2)'/>"
         "\n<mask id='m2' mask='url(#m1)'/>"
         "\n<mask id='m3' mask='url(#m1)'/>");
    EXPECT_EQ(Props("m1").mask, &Elem("m2"));
    EXPECT_EQ(Props("m2").mask, nullptr);
    EXPECT_EQ(Props("m3").mask, &Elem("m1"));  // leads into the loop, not back to itself
    ExpectMessages({"F mask mask=\"url(#m1)\" : Cyclic reference at 3(1)"});
}

TEST_F(ResolveTest, CyclesNameThePropertyThatClosesThem)
{
    // Each loop goes through a use or a second element; the message names
    // the property, not xlink:href.
    Load("\n<mask id='m'><use xlink:href='#g'/></mask>"
         "\n<g id='g' mask='url(#m)'><rect width='1' height='1'/></g>"
         "\n<clipPath id='a' clip-path='url(#b)'><rect width='1' height='1'/></clipPath>"
         "\n<clipPath id='b' clip-path='url(#a)'><rect width='1' height='1'/></clipPath>"
         "\n<rect width='1' height='1' clip-path='url(#a)'/>");
    EXPECT_EQ(Props("a").clipPath, &Elem("b"));
    EXPECT_EQ(Props("b").clipPath, nullptr);  // the loop is broken where it closes
    ExpectMessages({"F g mask=\"url(#m)\" : Cyclic reference at 3(1)",
                    "F clipPath clip-path=\"url(#a)\" : Cyclic reference at 5(1)"});
}

TEST_F(ResolveTest, FilterReferences)
{
    Load("\n<filter id='f'><feFlood/></filter>"
         "\n<rect width='1' height='1' id='ok' filter='url(#f)'/>"
         "\n<rect width='1' height='1' id='wrong' filter='url(#ok)'/>"
         "\n<rect width='1' height='1' id='missing' filter='url(#nothing)'/>");
    EXPECT_EQ(Props("ok").filter, &Elem("f"));
    EXPECT_FALSE(Props("ok").filterFailed);
    EXPECT_TRUE(Props("wrong").filterFailed);
    EXPECT_TRUE(HasMessage("E rect filter=\"url(#ok)\" :Link NOT refer to 'filter' at 4(1)"));
    EXPECT_TRUE(Props("missing").filterFailed);
    EXPECT_TRUE(HasMessage("E rect filter=\"url(#nothing)\" :Link NOT found at 5(1)"));
}

TEST_F(ResolveTest, ClipPathReferences)
{
    Load("\n<clipPath id='c'><rect width='1' height='1' id='self' clip-path='url(#c)'/></clipPath>"
         "\n<rect width='1' height='1' id='ok' clip-path='url(#c)'/>"
         "\n<rect width='1' height='1' id='wrong' clip-path='url(#ok)'/><rect width='1' height='1' id='missing' clip-path='url(#nothing)'/>");
    ExpectProps(&ResolvedProperties::clipPath, {{"ok", &Elem("c")}, {"wrong", nullptr}, {"missing", nullptr}});
    // A clip path clipped by itself would never finish drawing.
    EXPECT_EQ(Props("self").clipPath, nullptr);
    ExpectMessages({"F rect clip-path=\"url(#c)\" : Cyclic reference at 2(18)"});
}

// --- Stroke pen ---------------------------------------------------------------------

TEST_F(ResolveTest, StrokeWidths)
{
    Load("<g stroke='black'><rect height='1' id='pct' stroke-width='10%'/><rect height='1' id='negative' stroke-width='-2'/>"
         "<rect height='1' id='zero' stroke-width='0'/><rect height='1' id='mm' stroke-width='2.54cm'/></g>");
    EXPECT_NEAR(Props("pct").strokeWidth, 35.355f, 1e-3);
    EXPECT_FLOAT_EQ(Props("negative").strokeWidth, 1);
    EXPECT_FLOAT_EQ(Props("zero").strokeWidth, 0);
    EXPECT_FALSE(Props("zero").strokePen);
    EXPECT_FLOAT_EQ(Props("mm").strokePen->width, 96);
}

TEST_F(ResolveTest, StrokeCapsJoinsAndMiters)
{
    Load("<g stroke='black'><rect width='1' height='1' id='plain'/>"
         "<rect width='1' height='1' id='round' stroke-linecap='round' stroke-linejoin='round' stroke-miterlimit='10'/>"
         "<rect width='1' height='1' id='square' stroke-linecap='square' stroke-linejoin='bevel'/>"
         "<rect width='1' height='1' id='odd' stroke-linecap='pointy' stroke-linejoin='curly' stroke-miterlimit='x'/>"
         "<rect width='1' height='1' id='mm' stroke-miterlimit='5mm'/><rect width='1' height='1' id='pct' stroke-miterlimit='20%'/></g>");
    // A miter limit is a ratio, not a length: units make it invalid.
    const struct {
        const char* id;
        LineCap cap;
        LineJoin join;
        float miterLimit;
    } kPens[] = {{"plain", LineCap::Butt, LineJoin::Miter, 4},   {"round", LineCap::Round, LineJoin::Round, 10},
                 {"square", LineCap::Square, LineJoin::Bevel, 4}, {"odd", LineCap::Butt, LineJoin::Miter, 4},
                 {"mm", LineCap::Butt, LineJoin::Miter, 4},       {"pct", LineCap::Butt, LineJoin::Miter, 4}};
    for (const auto& pen : kPens) {
        ASSERT_TRUE(Props(pen.id).strokePen) << pen.id;
        EXPECT_EQ(Props(pen.id).strokePen->cap, pen.cap) << pen.id;
        EXPECT_EQ(Props(pen.id).strokePen->join, pen.join) << pen.id;
        EXPECT_FLOAT_EQ(Props(pen.id).strokePen->miterLimit, pen.miterLimit) << pen.id;
    }
}

// Equal pens are one object; any difference, dashes and their offset
// included, makes a pen of its own.
TEST_F(ResolveTest, EqualPensAreShared)
{
    Load("<g stroke='black' stroke-width='2'><rect width='1' height='1' id='a'/><rect width='1' height='1' id='b'/>"
         "<rect width='1' height='1' id='wide' stroke-width='3'/>"
         "<rect width='1' height='1' id='dashed' stroke-dasharray='1 2'/>"
         "<rect width='1' height='1' id='dashed2' stroke-dasharray='1,2'/>"
         "<rect width='1' height='1' id='offset' stroke-dasharray='1 2' stroke-dashoffset='1'/>"
         "<rect width='1' height='1' id='round' stroke-linejoin='round'/>"
         "<rect width='1' height='1' id='red' stroke='red'/>"
         "<rect width='1' height='1' id='faded' stroke-opacity='0.5'/></g>"
         "<rect width='1' height='1' id='far' stroke='black' stroke-width='2'/>");
    const struct {
        const char* a;
        const char* b;
        bool shared;
    } kCases[] = {{"a", "b", true},           {"a", "far", true},       {"dashed", "dashed2", true},
                  {"a", "wide", false},       {"a", "dashed", false},   {"dashed", "offset", false},
                  {"a", "round", false},      {"a", "red", false},      {"a", "faded", false}};
    for (const auto& c : kCases) {
        ASSERT_TRUE(Props(c.a).strokePen && Props(c.b).strokePen) << c.a << " " << c.b;
        EXPECT_EQ(Props(c.a).strokePen == Props(c.b).strokePen, c.shared) << c.a << " " << c.b;
        EXPECT_EQ(*Props(c.a).strokePen == *Props(c.b).strokePen, c.shared) << c.a << " " << c.b;
    }
}

TEST_F(ResolveTest, DashesAreInUserUnits)
{
    using Dashes = std::vector<float>;
    Load("<g stroke='black'><rect width='1' height='1' id='single' stroke-dasharray='5'/>"
         "<rect height='1' id='odd' stroke-width='4' stroke-linecap='square' stroke-dasharray='5,3 2' stroke-dashoffset='2'/>"
         "<rect width='1' height='1' id='pct' stroke-dasharray='10%, 1'/>"
         "<rect width='1' height='1' id='negative' stroke-dasharray='5 -1'/><rect width='1' height='1' id='zero' stroke-dasharray='0 0'/>"
         "<rect width='1' height='1' id='none' stroke-dasharray='none' stroke-dashoffset='3'/></g>");
    EXPECT_EQ(Props("single").strokePen->dashes, (Dashes{5, 5}));
    EXPECT_EQ(Props("odd").strokePen->dashes, (Dashes{5, 3, 2, 5, 3, 2}));
    EXPECT_FLOAT_EQ(Props("odd").strokePen->dashOffset, 2);
    ASSERT_EQ(Props("pct").strokePen->dashes.size(), 2u);
    EXPECT_NEAR(Props("pct").strokePen->dashes[0], 35.355f, 1e-3);
    EXPECT_TRUE(Props("negative").strokePen->dashes.empty());
    EXPECT_TRUE(Props("zero").strokePen->dashes.empty());
    EXPECT_TRUE(Props("none").strokePen->dashes.empty());
    EXPECT_FLOAT_EQ(Props("none").strokePen->dashOffset, 0);
}

}  // namespace
