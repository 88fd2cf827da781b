#include <gtest/gtest.h>

#include "model/conditional.h"
#include "model/document.h"
#include "model/elem.h"
#include "model/message_log.h"

using svg::CElem;
using svg::CConditionalValues;
using svg::ConditionalAttribute;
using svg::FeatureTest;
using svg::LanguageTest;

namespace {

constexpr const char* kFeature = "http://www.w3.org/TR/SVG11/feature";

std::string Feature(const std::string& name) { return kFeature + name; }

CElem* Add(CElem& parent, const char* name) { return parent.AppendChild(svg::CreateElement(name, &parent)); }

CElem* Add(CElem& parent, const char* name, const char* attribute, const char* value)
{
    CElem* child = Add(parent, name);
    child->attributes.Set(attribute, value);
    return child;
}

std::unique_ptr<svg::CElemDocument> MakeDocument(const char* languages)
{
    svg::CDocOptions options;
    options.language = languages;
    return std::make_unique<svg::CElemDocument>("/tmp/x.svg", options);
}

class ConditionalTest : public ::testing::Test {
protected:
    // The verdict that preparing the element leaves, its values recorded as
    // drawing it records them.
    bool Passes(CElem& elem)
    {
        svg::EvaluateConditions(elem);
        met.RecordElement(elem);
        return !elem.excluded;
    }

    CConditionalValues met;
};

}  // namespace

// --- Feature test ---------------------------------------------------------------

TEST_F(ConditionalTest, FeatureStringsOfImplementedFeaturesPass)
{
    EXPECT_TRUE(FeatureTest("org.w3c.svg.static"));
    EXPECT_TRUE(FeatureTest("  org.w3c.svg.static\t"));
    for (const char* name : {"#Shape", "#BasicStructure", "#Structure", "#CoreAttribute",
                             "#ConditionalProcessing", "#Gradient", "#Pattern", "#Clip", "#Mask",
                             "#Marker", "#Text", "#Font", "#BasicFilter", "#OpacityAttribute",
                             "#ViewportAttribute", "#ContainerAttribute", "#Filter",
                             "#ColorProfile", "#Extensibility", "#SVG-static", "#SVG"})
        EXPECT_TRUE(FeatureTest(Feature(name))) << name;
    EXPECT_TRUE(FeatureTest("org.w3c.svg#Shape"));
    EXPECT_TRUE(FeatureTest(Feature("#Shape") + "\n  " + Feature("#Gradient")));
}

TEST_F(ConditionalTest, FeaturesNotImplementedFail)
{
    for (const char* name : {"#Animation", "#Script", "#Hyperlinking", "#Cursor",
                             "#GraphicalEventsAttribute", "#ExternalResourcesRequired",
                             "#SVG-animation", "#SVG-dynamic", "#SVGDOM-dynamic"})
        EXPECT_FALSE(FeatureTest(Feature(name))) << name;
    // Every token must pass.
    EXPECT_FALSE(FeatureTest(Feature("#Shape") + " " + Feature("#Animation")));
}

TEST_F(ConditionalTest, EmptyValuesAndUnknownTokensFail)
{
    // Feature names are case-sensitive; a foreign namespace names no SVG
    // feature, whatever follows "#".
    for (const std::string& value : {std::string(""), std::string(" \t "), Feature("#NoSuchFeature"),
                                     std::string(kFeature), Feature("#"), std::string("Shape"), Feature("#shape"),
                                     std::string("http://example.org/ext#Shape"),
                                     std::string("org.w3c.svg.static.extra")})
        EXPECT_FALSE(FeatureTest(value)) << value;
}

// --- Language test --------------------------------------------------------------

TEST_F(ConditionalTest, LanguageMatchesWholeSubtagsOfTheUserLanguage)
{
    // (systemLanguage, user languages, passes); an empty item in the user's
    // list matches nothing.
    const struct {
        const char* attribute;
        const char* user;
        bool passes;
    } kCases[] = {{"ja-JP, en", "ja", true}, {"en", "en", true},      {"de,en-US", "fr , en", true},
                  {"EN-us", "en", true},     {"fr", "ja", false},     {"en", "en-US", false},
                  {"english", "en", false},  {"", "ja", false},       {" , ,", "ja", false},
                  {"fr", "ja,", false}};
    for (const auto& c : kCases)
        EXPECT_EQ(LanguageTest(c.attribute, c.user), c.passes) << c.attribute << " for " << c.user;
}

// --- Conditions of an element ---------------------------------------------------

TEST_F(ConditionalTest, SystemLanguageUsesTheDocumentsLanguageList)
{
    auto document = MakeDocument("fr, de");
    CElem* french = Add(*document, "rect", "systemLanguage", "fr-CA");
    CElem* japanese = Add(*document, "rect", "systemLanguage", "ja-JP, en");
    EXPECT_TRUE(Passes(*french));
    EXPECT_FALSE(Passes(*japanese));
    EXPECT_FALSE(french->excluded);
    EXPECT_TRUE(japanese->excluded);

    // Without a document the default list ("ja") applies.
    auto group = svg::CreateElement("g", nullptr);
    EXPECT_TRUE(Passes(*Add(*group, "rect", "systemLanguage", "ja-JP, en")));
    EXPECT_FALSE(Passes(*Add(*group, "rect", "systemLanguage", "fr")));
    EXPECT_FALSE(Passes(*Add(*group, "rect", "systemLanguage", "")));
}

TEST_F(ConditionalTest, ExtensionsFailAndEveryValueIsRecordedAfterAFailure)
{
    auto document = MakeDocument("ja");
    CElem* extended = Add(*document, "rect", "requiredExtensions", "http://example.org/SVGExtensionXYZ/1.0");
    EXPECT_FALSE(Passes(*extended));
    EXPECT_TRUE(extended->excluded);

    met.Reset();
    CElem* rect = Add(*document, "rect", "requiredFeatures", Feature("#Animation").c_str());
    rect->attributes.Set("requiredExtensions", "http://example.org/x");
    rect->attributes.Set("systemLanguage", "ja");
    EXPECT_FALSE(Passes(*rect));
    EXPECT_EQ(met.Get(ConditionalAttribute::RequiredFeatures), Feature("#Animation"));
    EXPECT_EQ(met.Get(ConditionalAttribute::RequiredExtensions), "http://example.org/x");
    EXPECT_EQ(met.Get(ConditionalAttribute::SystemLanguage), "ja");
}

TEST_F(ConditionalTest, InheritTakesTheParentsValueButNothingIsInheritedOtherwise)
{
    auto document = MakeDocument("ja");
    CElem* group = Add(*document, "g", "systemLanguage", "fr");
    CElem* inheriting = Add(*group, "rect", "systemLanguage", "inherit");
    CElem* plain = Add(*group, "rect");
    EXPECT_FALSE(Passes(*inheriting));
    EXPECT_TRUE(Passes(*plain));
    EXPECT_FALSE(plain->excluded);
}

// --- switch ---------------------------------------------------------------------

TEST_F(ConditionalTest, SwitchChoosesTheFirstPassingGraphicsChild)
{
    auto document = MakeDocument("ja");
    CElem* choice = Add(*document, "switch");
    CElem* title = Add(*choice, "title");
    CElem* first = Add(*choice, "rect", "systemLanguage", "fr");
    CElem* second = Add(*choice, "g", "requiredFeatures", "org.w3c.svg.static");
    CElem* third = Add(*choice, "circle");
    svg::EvaluateConditions(*choice);
    EXPECT_EQ(svg::ChosenSwitchChild(*choice), second);
    EXPECT_TRUE(first->excluded);
    EXPECT_FALSE(second->excluded);
    EXPECT_TRUE(third->excluded);
    EXPECT_FALSE(title->excluded);
}

TEST_F(ConditionalTest, SwitchWithoutAPassingChildChoosesNone)
{
    auto document = MakeDocument("ja");
    CElem* choice = Add(*document, "switch");
    CElem* english = Add(*choice, "text", "systemLanguage", "en");
    CElem* german = Add(*choice, "text", "systemLanguage", "de");
    svg::EvaluateConditions(*choice);
    EXPECT_EQ(svg::ChosenSwitchChild(*choice), nullptr);
    EXPECT_TRUE(english->excluded);
    EXPECT_TRUE(german->excluded);
}

// --- Values met -----------------------------------------------------------------

TEST_F(ConditionalTest, ValuesMetAreListedOnceComparedWhole)
{
    auto document = MakeDocument("ja");
    for (int i = 0; i < 10; ++i)
        Passes(*Add(*document, "rect", "requiredFeatures", "org.w3c.svg.static"));
    EXPECT_EQ(met.Get(ConditionalAttribute::RequiredFeatures), "org.w3c.svg.static");

    met.Record(ConditionalAttribute::SystemLanguage, "en-US");
    met.Record(ConditionalAttribute::SystemLanguage, "en");
    met.Record(ConditionalAttribute::SystemLanguage, "en-US");
    met.Record(ConditionalAttribute::SystemLanguage, "");
    EXPECT_EQ(met.Get(ConditionalAttribute::SystemLanguage), "en-US en");
}

TEST_F(ConditionalTest, ReportListsOnlyAttributesWithValues)
{
    svg::CMessageLog log;
    met.Report(log);
    EXPECT_EQ(log.Count(), 0u);

    met.Record(ConditionalAttribute::SystemLanguage, "en");
    met.Record(ConditionalAttribute::RequiredFeatures, "org.w3c.svg.static");
    met.Record(ConditionalAttribute::SystemLanguage, "ja-JP, fr");
    met.Report(log);
    const std::vector<std::string> expected = {
        "I \"requiredFeatures\" found 'org.w3c.svg.static'",
        "I \"systemLanguage\" found 'en ja-JP, fr'",
    };
    EXPECT_EQ(log.EntriesFrom(0), expected);

    met.Reset();
    EXPECT_EQ(met.Get(ConditionalAttribute::SystemLanguage), "");
}
