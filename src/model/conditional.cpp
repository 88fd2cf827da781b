#include "model/conditional.h"

#include <algorithm>
#include <vector>

#include "model/document.h"
#include "model/elem.h"
#include "model/message_log.h"
#include "model/messages.h"
#include "values/scan.h"

namespace svg {
namespace {

// --- Feature table --------------------------------------------------------------

struct FeatureEntry {
    std::string_view name;
    // Blank-separated: feature names for a composite, element and attribute
    // names for a leaf.
    std::string_view list;
    bool allOf;
    bool composite;
};

// The SVG 1.1 feature strings (without their prefix) and what each stands for.
// #SVG-dynamic names "#Scripting", which is no entry (the leaf is "#Script"),
// so it can never pass; it fails through #Animation anyway.
constexpr FeatureEntry kFeatureTable[] = {
    // Composites.
    {"#SVG", "#SVG-static #SVG-animation #SVG-dynamic #SVGDOM", false, true},
    {"#SVGDOM", "#SVGDOM-static #SVGDOM-animation #SVGDOM-dynamic", false, true},
    {"#SVG-static",
     "#CoreAttribute #Structure #ContainerAttribute #ConditionalProcessing #Image #Style "
     "#ViewportAttribute #Shape #Text #PaintAttribute #OpacityAttribute #GraphicsAttribute "
     "#Marker #ColorProfile #Gradient #Pattern #Clip #Mask #Filter #XlinkAttribute #Font "
     "#Extensibility",
     true, true},
    {"#SVGDOM-static", "#SVG-static", true, true},
    {"#SVG-animation", "#SVG-static #Animation", true, true},
    {"#SVGDOM-animation", "#SVG-animation", true, true},
    {"#SVG-dynamic",
     "#SVG-animation #Hyperlinking #Scripting #View #Cursor #GraphicalEventsAttribute "
     "#DocumentEventsAttribute #AnimationEventsAttribute",
     true, true},
    {"#SVGDOM-dynamic", "#SVG-dynamic", true, true},

    // Leaves.
    {"#CoreAttribute", "id xml:base xml:lang xml:space", true, false},
    {"#Structure", "svg g defs desc title metadata symbol use", true, false},
    {"#BasicStructure", "svg g defs desc title metadata use", true, false},
    {"#ContainerAttribute", "enable-background", true, false},
    {"#ConditionalProcessing", "switch requiredExtensions requiredFeatures systemLanguage", true, false},
    {"#Image", "image", true, false},
    {"#Style", "style", true, false},
    {"#ViewportAttribute", "clip overflow", true, false},
    {"#Shape", "rect circle line polyline polygon ellipse path", true, false},
    {"#Text", "text tspan tref textPath altGlyph altGlyphDef altGlyphItem glyphRef", true, false},
    {"#BasicText", "text", true, false},
    {"#PaintAttribute",
     "color fill fill-rule stroke stroke-dasharray stroke-dashoffset stroke-linecap "
     "stroke-linejoin stroke-miterlimit stroke-width color-interpolation color-rendering",
     true, false},
    {"#BasicPaintAttribute",
     "color fill fill-rule stroke stroke-dasharray stroke-dashoffset stroke-linecap "
     "stroke-linejoin stroke-miterlimit stroke-width color-rendering",
     true, false},
    {"#OpacityAttribute", "opacity stroke-opacity fill-opacity", true, false},
    {"#GraphicsAttribute",
     "display image-rendering pointer-events shape-rendering text-rendering visibility", true, false},
    {"#BasicGraphicsAttribute", "display visibility", true, false},
    {"#Marker", "marker", true, false},
    {"#ColorProfile", "color-profile", true, false},
    {"#Gradient", "linearGradient radialGradient stop", true, false},
    {"#Pattern", "pattern", true, false},
    {"#Clip", "clipPath clip-path clip-rule", true, false},
    {"#BasicClip", "clipPath clip-path", true, false},
    {"#Mask", "mask", true, false},
    {"#Filter",
     "filter feBlend feColorMatrix feComponentTransfer feComposite feConvolveMatrix "
     "feDiffuseLighting feDisplacementMap feFlood feGaussianBlur feImage feMerge feMergeNode "
     "feMorphology feOffset feSpecularLighting feTile feTurbulence feDistantLight fePointLight "
     "feSpotLight feFuncR feFuncG feFuncB feFuncA",
     true, false},
    {"#BasicFilter",
     "filter feBlend feColorMatrix feComponentTransfer feComposite feFlood feGaussianBlur "
     "feImage feMerge feMergeNode feOffset feTile feFuncR feFuncG feFuncB feFuncA",
     true, false},
    {"#DocumentEventsAttribute", "onunload onabort onerror onresize onscroll onzoom", true, false},
    {"#GraphicalEventsAttribute",
     "onfocusin onfocusout onactivate onclick onmousedown onmouseup onmouseover onmousemove "
     "onmouseout onload",
     true, false},
    {"#AnimationEventsAttribute", "onbegin onend onrepeat onload", true, false},
    {"#Cursor", "cursor", true, false},
    {"#Hyperlinking", "a", true, false},
    {"#XlinkAttribute",
     "xlink:type xlink:href xlink:role xlink:arcrole xlink:title xlink:show xlink:actuate", true,
     false},
    {"#ExternalResourcesRequired", "externalResourcesRequired", true, false},
    {"#View", "view", true, false},
    {"#Script", "script", true, false},
    {"#Animation", "animate set animateMotion animateTransform animateColor mpath", true, false},
    {"#Font",
     "font font-face glyph missing-glyph hkern vkern font-face-src font-face-uri "
     "font-face-format font-face-name",
     true, false},
    {"#BasicFont", "font font-face glyph missing-glyph hkern font-face-src font-face-name", true,
     false},
    {"#Extensibility", "foreignObject", true, false},
};

static_assert(std::size(kFeatureTable) == 46);

// The attribute and element names Vexo implements; a leaf feature is supported
// when all of its names are here.
constexpr std::string_view kSupportedNames =
    "clip clip-path clip-rule color display fill fill-opacity fill-rule id opacity overflow "
    "requiredExtensions requiredFeatures stroke stroke-dasharray stroke-dashoffset "
    "stroke-linecap stroke-linejoin stroke-miterlimit stroke-opacity stroke-width "
    "systemLanguage visibility xlink:href xlink:title xml:base xml:lang xml:space circle "
    "clipPath defs desc ellipse font font-face font-face-format font-face-name font-face-src "
    "font-face-uri g glyph glyphRef hkern vkern image line linearGradient marker metadata "
    "missing-glyph path pattern polygon polyline radialGradient rect stop style svg switch "
    "symbol text textPath title tref tspan use view feBlend feColorMatrix feComponentTransfer "
    "feComposite feConvolveMatrix feDiffuseLighting feDisplacementMap feDistantLight feFlood "
    "feFuncA feFuncB feFuncG feFuncR feGaussianBlur feImage feMerge feMergeNode feMorphology "
    "feOffset enable-background fePointLight feSpecularLighting feSpotLight feTile filter mask "
    "altGlyph altGlyphDef altGlyphItem "
    // Also implemented, so the static feature set as a whole (#SVG-static) is
    // true: the turbulence primitive, colour profiles, foreignObject (drawn as
    // its fallback), the rendering hints (accepted; the renderer chooses its
    // own quality) and the descriptive XLink attributes.
    "feTurbulence color-profile foreignObject color-interpolation color-rendering "
    "image-rendering shape-rendering text-rendering pointer-events xlink:type xlink:role "
    "xlink:arcrole xlink:show xlink:actuate";

// Prefixes a feature token carries before its "#name".
constexpr std::string_view kFeaturePrefixes[] = {"http://www.w3.org/TR/SVG11/feature", "org.w3c.svg"};

// The SVG 1.0 string for a static viewer, which is what Vexo is.
constexpr std::string_view kStaticViewerFeature = "org.w3c.svg.static";

// --- Text helpers ---------------------------------------------------------------

// Non-empty pieces of `text` between white space.
std::vector<std::string_view> SplitAtSpaces(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsSpace(text[i]))
            ++i;
        if (i > start)
            tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

// Non-empty, trimmed items of a comma-separated list.
std::vector<std::string_view> SplitAtCommas(std::string_view text)
{
    std::vector<std::string_view> items;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = TrimSpace(text.substr(0, comma));
        if (!item.empty())
            items.push_back(item);
        if (comma == std::string_view::npos)
            return items;
        text.remove_prefix(comma + 1);
    }
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

// --- Feature test ---------------------------------------------------------------

const FeatureEntry* FindFeature(std::string_view name)
{
    for (const FeatureEntry& entry : kFeatureTable)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

bool IsSupportedName(std::string_view name)
{
    static const std::unordered_set<std::string_view> supported = [] {
        const std::vector<std::string_view> names = SplitAtSpaces(kSupportedNames);
        return std::unordered_set<std::string_view>(names.begin(), names.end());
    }();
    return supported.count(name) != 0;
}

// `name` as the table spells it ("#Shape"); composites list such names.
bool FeatureSupported(std::string_view name)
{
    const FeatureEntry* entry = FindFeature(name);
    if (entry == nullptr)
        return false;
    const std::vector<std::string_view> items = SplitAtSpaces(entry->list);
    if (!entry->composite)
        return std::all_of(items.begin(), items.end(), IsSupportedName);
    return entry->allOf ? std::all_of(items.begin(), items.end(), FeatureSupported)
                        : std::any_of(items.begin(), items.end(), FeatureSupported);
}

// A token as written in a document: a known prefix, then the table name. A
// bare "#name" is taken as the table name itself; any other prefix (such as an
// extension's URI) names nothing Vexo supports.
bool FeatureTokenPasses(std::string_view token)
{
    if (token == kStaticViewerFeature)
        return true;
    for (std::string_view prefix : kFeaturePrefixes) {
        if (token.size() > prefix.size() && token.substr(0, prefix.size()) == prefix &&
            token[prefix.size()] == '#')
            return FeatureSupported(token.substr(prefix.size()));
    }
    return token.front() == '#' && FeatureSupported(token);
}

std::string UserLanguages(const CElem& elem)
{
    const CElemDocument* document = elem.Document();
    return document != nullptr ? document->Options().language : CDocOptions{}.language;
}

}  // namespace

const char* ConditionalAttributeName(ConditionalAttribute which)
{
    switch (which) {
    case ConditionalAttribute::RequiredFeatures: return "requiredFeatures";
    case ConditionalAttribute::RequiredExtensions: return "requiredExtensions";
    case ConditionalAttribute::SystemLanguage: return "systemLanguage";
    }
    return "";
}

// --- ConditionalValues ----------------------------------------------------------

void CConditionalValues::Reset()
{
    std::lock_guard lock(mutex_);
    lists_ = {};
}

void CConditionalValues::Record(ConditionalAttribute which, std::string_view value)
{
    if (value.empty())
        return;
    std::lock_guard lock(mutex_);
    ValueList& list = lists_[static_cast<std::size_t>(which)];
    // Whole values are compared: "en" must still be listed after "en-US".
    if (!list.seen.emplace(value).second)
        return;
    if (!list.joined.empty())
        list.joined += ' ';
    list.joined += value;
}

std::string CConditionalValues::Get(ConditionalAttribute which) const
{
    std::lock_guard lock(mutex_);
    return lists_[static_cast<std::size_t>(which)].joined;
}

void CConditionalValues::RecordElement(const CElem& elem)
{
    if (const std::string* features = elem.GetAttribute(AttributeId::requiredFeatures, false))
        Record(ConditionalAttribute::RequiredFeatures, *features);
    if (const std::string* extensions = elem.GetAttribute(AttributeId::requiredExtensions, false))
        Record(ConditionalAttribute::RequiredExtensions, *extensions);
    if (const std::string* languages = elem.GetAttribute(AttributeId::systemLanguage, false))
        Record(ConditionalAttribute::SystemLanguage, *languages);
}

void CConditionalValues::Report(CMessageLog& log) const
{
    for (ConditionalAttribute which :
         {ConditionalAttribute::RequiredFeatures, ConditionalAttribute::RequiredExtensions,
          ConditionalAttribute::SystemLanguage}) {
        const std::string values = Get(which);
        if (!values.empty())
            log.Report(msg::kConditionalValues, ConditionalAttributeName(which), values.c_str());
    }
}

// --- Tests ----------------------------------------------------------------------

bool FeatureTest(std::string_view value)
{
    const std::vector<std::string_view> tokens = SplitAtSpaces(value);
    return !tokens.empty() && std::all_of(tokens.begin(), tokens.end(), FeatureTokenPasses);
}

bool LanguageTest(std::string_view attributeValue, std::string_view userLanguages)
{
    const std::vector<std::string_view> users = SplitAtCommas(userLanguages);
    for (std::string_view item : SplitAtCommas(attributeValue)) {
        for (std::string_view user : users) {
            if (StartsWithIgnoringCase(item, user) && (item.size() == user.size() || item[user.size()] == '-'))
                return true;
        }
    }
    return false;
}

bool PassesConditions(const CElem& elem)
{
    bool passes = true;
    if (const std::string* features = elem.GetAttribute(AttributeId::requiredFeatures, false))
        passes = FeatureTest(*features);
    // Vexo implements no extension: the URIs documents name here fail the
    // feature test.
    if (const std::string* extensions = elem.GetAttribute(AttributeId::requiredExtensions, false))
        passes = FeatureTest(*extensions) && passes;
    if (const std::string* languages = elem.GetAttribute(AttributeId::systemLanguage, false))
        passes = LanguageTest(*languages, UserLanguages(elem)) && passes;
    return passes;
}

void EvaluateConditions(CElem& elem)
{
    if (!PassesConditions(elem))
        elem.excluded = true;
    if (elem.Id() != ElementId::switch_)
        return;
    bool chosen = false;
    for (CElem* child : elem.Children()) {
        if (!child->graphicsElement)
            continue;
        if (!chosen && PassesConditions(*child))
            chosen = true;
        else
            child->excluded = true;
    }
}

const CElem* ChosenSwitchChild(const CElem& switchElement)
{
    for (const CElem* child : switchElement.Children())
        if (child->graphicsElement && !child->excluded)
            return child;
    return nullptr;
}

}  // namespace svg
