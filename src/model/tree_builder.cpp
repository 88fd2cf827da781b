#include "model/tree_builder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>

#include "base/limits.h"
#include "model/load_context.h"
#include "model/messages.h"
#include "model/xml_reader.h"
#include "values/scan.h"

namespace svg {
namespace {

const char* ToChars(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

bool IsOnlyXmlSpace(std::string_view text) { return std::all_of(text.begin(), text.end(), IsSpace); }

// --- Building nodes ------------------------------------------------------------

class TreeBuilder {
public:
    TreeBuilder(const CStyleAttributeReader& styles, CLoadContext& context, bool releaseBuilt = false)
        : styles_(styles), context_(context), releaseBuilt_(releaseBuilt)
    {
    }

    void BuildChildren(CElem& elem, const xmlNode* node, unsigned depth)
    {
        if (node->children == nullptr)
            return;
        // libxml2 refuses deeper documents, but an XSLT result is not bounded by it.
        if (depth >= limits::kMaxElementDepth) {
            context_.Log().Report(elem, msg::kTooDeeplyNested, elem.Name().c_str());
            return;
        }
        BuildNodes(elem, node->children, depth, releaseBuilt_);
    }

    // With `release`, each node is freed once it is built: `first` and its
    // siblings then belong to no one but this call.
    void BuildNodes(CElem& parent, const xmlNode* first, unsigned depth, bool release)
    {
        const xmlNode* next = nullptr;
        for (const xmlNode* node = first; node != nullptr; node = next) {
            next = node->next;
            if (context_.StopRequested())
                return;
            ++context_.Progress().nodesVisited;
            switch (node->type) {
            case XML_ELEMENT_NODE: BuildElement(parent, node, depth); break;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE: BuildString(parent, ToChars(node->content)); break;
            case XML_ENTITY_REF_NODE: BuildEntityContent(parent, node, depth); break;
            case XML_COMMENT_NODE:
                AppendNode(parent, std::make_unique<CElemComment>(&parent, ToChars(node->content)));
                break;
            default: break;
            }
            if (release) {
                // The caller handed the nodes over: they are ours to change.
                xmlNode* built = const_cast<xmlNode*>(node);
                xmlUnlinkNode(built);
                xmlFreeNode(built);
            }
        }
    }

private:
    void AppendNode(CElem& parent, std::unique_ptr<CElem> node)
    {
        parent.AppendChild(std::move(node));
        ++context_.Progress().nodesAdded;
    }

    void BuildElement(CElem& parent, const xmlNode* node, unsigned depth)
    {
        std::unique_ptr<CElem> elem = CreateElement(QualifiedName(node), &parent);
        ReadAttributes(*elem, node, styles_);
        BuildChildren(*elem, node, depth + 1);
        AppendNode(parent, std::move(elem));
    }

    void BuildString(CElem& parent, std::string_view value)
    {
        // Inside `text` white space is significant and handled by text layout.
        const bool inText = parent.HasAncestorOrSelfNamed(ElementId::text);
        std::string text = inText ? std::string(value) : NormalizeStringText(value);
        if (text.empty() || (!inText && IsOnlyXmlSpace(text)))
            return;
        AppendNode(parent, std::make_unique<CElemString>(&parent, std::move(text)));
    }

    // The content of an entity is built straight into the element that refers
    // to it. libxml2 hangs the declaration under the reference node.
    void BuildEntityContent(CElem& parent, const xmlNode* reference, unsigned depth)
    {
        const xmlNode* declaration = reference->children;
        if (declaration == nullptr || declaration->type != XML_ENTITY_DECL)
            return;
        // Entities may refer to entities; counting each level as one more
        // element level bounds that recursion too.
        if (depth >= limits::kMaxElementDepth) {
            context_.Log().Report(parent, msg::kTooDeeplyNested, parent.Name().c_str());
            return;
        }
        // The declaration's nodes serve every reference to it: never released.
        BuildNodes(parent, declaration->children, depth + 1, false);
    }

    const CStyleAttributeReader& styles_;
    CLoadContext& context_;
    bool releaseBuilt_;
};

// --- Attributes ------------------------------------------------------------------

std::string AttributeValue(const xmlAttr* attribute)
{
    // Nearly every value is one text node: no need for libxml2 to copy it first.
    const xmlNode* only = attribute->children;
    if (only != nullptr && only->next == nullptr && only->type == XML_TEXT_NODE && only->content != nullptr)
        return ToChars(only->content);
    xmlChar* content = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute));
    std::string value = ToChars(content);
    xmlFree(content);
    return value;
}

void ReplaceQuotEntities(std::string& value)
{
    constexpr std::string_view kQuot = "&quot;";
    for (std::size_t at = value.find(kQuot); at != std::string::npos; at = value.find(kQuot, at + 1))
        value.replace(at, kQuot.size(), "\"");
}

int ParseDecimal(std::string_view text)
{
    int number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

// "line,column" as written by the XML reader.
void ReadLocation(CElem& elem, std::string_view value)
{
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos)
        return;
    elem.line = ParseDecimal(value.substr(0, comma));
    elem.column = ParseDecimal(value.substr(comma + 1));
}

}  // namespace

// --- Public interface -------------------------------------------------------------

void BuildTree(CElem& root, const xmlNode* rootNode, const CStyleAttributeReader& styles, CLoadContext& context)
{
    ReadAttributes(root, rootNode, styles);
    TreeBuilder(styles, context).BuildChildren(root, rootNode, 0);
}

void BuildTreeReleasing(CElem& root, xmlNode* rootNode, const CStyleAttributeReader& styles, CLoadContext& context)
{
    ReadAttributes(root, rootNode, styles);
    TreeBuilder(styles, context, true).BuildChildren(root, rootNode, 0);
}

CStreamedTreeBuilder::CStreamedTreeBuilder(CElem& root, const CStyleAttributeReader& styles, CLoadContext& context)
    : root_(root), styles_(styles), context_(context)
{
}

CStreamedTreeBuilder::~CStreamedTreeBuilder() = default;

void CStreamedTreeBuilder::ElementStarted(xmlNode* node, const XmlStartTagAttributes& attributes, int line,
                                          int column)
{
    // A stopped load ends the parse itself; every start is matched by an
    // end, so the open elements stay in step until then.
    if (abandoned_)
        return;
    ++context_.Progress().nodesVisited;
    if (!started_) {
        started_ = true;
        ReadAttributes(root_, attributes, styles_, {line, column});
        open_.push_back(&root_);
        return;
    }
    if (open_.empty())
        return;
    std::unique_ptr<CElem> elem = CreateElement(QualifiedName(node), open_.back());
    ReadAttributes(*elem, attributes, styles_, {line, column});
    open_.push_back(open_.back()->AppendChild(std::move(elem)));
    ++context_.Progress().nodesAdded;
}

void CStreamedTreeBuilder::TakeContent(xmlNode* parent)
{
    if (abandoned_ || open_.empty() || parent->children == nullptr)
        return;
    TreeBuilder(styles_, context_).BuildNodes(*open_.back(), parent->children,
                                               static_cast<unsigned>(open_.size()), true);
}

void CStreamedTreeBuilder::ElementEnded(xmlNode*)
{
    if (!open_.empty())
        open_.pop_back();
}

namespace {

// Fills elem.attributes from `count` attributes that `forEach` hands over as
// (qualified name, value): first everything except `style` and `font`, then
// `font` and `style`, whose properties override what the first pass stored.
template <class ForEachAttribute>
void ReadAttributesFrom(CElem& elem, std::size_t count, const ForEachAttribute& forEach,
                        const CStyleAttributeReader& styles, std::optional<std::pair<int, int>> location)
{
    elem.attributes.Reserve(count + (location ? 1 : 0));
    std::optional<std::string> font;
    std::optional<std::string> style;
    std::optional<std::string> href;
    forEach([&](const std::string& name, std::string value) {
        if (name == "style" || name == "font") {
            (name == "style" ? style : font) = std::move(value);
            return;
        }
        ReplaceQuotEntities(value);
        if (name == "href") {
            href = std::move(value);
            return;
        }
        if (name == "VexoLoc")
            ReadLocation(elem, value);
        elem.attributes.Set(name, std::move(value));
    });
    // SVG 2 and browsers take a plain href as the link, ahead of xlink:href;
    // everything that follows links reads xlink:href only.
    if (href)
        elem.attributes.Set(AttributeId::xlink_href, std::move(*href));
    if (location) {
        elem.line = location->first;
        elem.column = location->second;
        elem.attributes.Set(AttributeId::VexoLoc,
                            std::to_string(location->first) + ',' + std::to_string(location->second));
    }
    // `font` before `style`: a style declaration beats any attribute, whatever
    // order the two were written in.
    if (font)
        styles.ReadFont(*font, elem.attributes);
    if (style)
        styles.ReadStyle(*style, elem.attributes);
}

}  // namespace

void ReadAttributes(CElem& elem, const xmlNode* node, const CStyleAttributeReader& styles,
                    std::optional<std::pair<int, int>> location)
{
    std::size_t count = 0;
    for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next)
        ++count;
    ReadAttributesFrom(
        elem, count,
        [node](const auto& take) {
            for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next)
                take(QualifiedName(attribute), AttributeValue(attribute));
        },
        styles, location);
}

void ReadAttributes(CElem& elem, const XmlStartTagAttributes& attributes, const CStyleAttributeReader& styles,
                    std::pair<int, int> location)
{
    ReadAttributesFrom(
        elem, static_cast<std::size_t>(attributes.count),
        [&attributes](const auto& take) {
            for (int i = 0; i < attributes.count; ++i)
                take(attributes.Name(i), std::string(attributes.Value(i)));
        },
        styles, location);
}

std::string NormalizeStringText(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    bool inRun = false;
    for (const char c : text) {
        if (c == '\n')
            continue;
        if (c == ' ' || c == '\t') {
            inRun = true;
            continue;
        }
        if (inRun && !result.empty())
            result += ' ';
        inRun = false;
        result += c;
    }
    return result;
}

}  // namespace svg
