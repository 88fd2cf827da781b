#include "style/cascade.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/stop_token.h"
#include "model/conditional.h"
#include "values/scan.h"

namespace svg::css {
namespace {

constexpr const char* kXlinkNamespace = "http://www.w3.org/1999/xlink";
constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

std::string_view View(const xmlChar* text)
{
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}


bool EqualsWithCase(std::string_view a, std::string_view b, bool caseSensitive)
{
    if (caseSensitive)
        return a == b;
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return ToLowerAscii(x) == ToLowerAscii(y); });
}

// Calls `visit` for each blank-separated word of `list` until it returns true.
template <typename Visit>
bool AnyWord(std::string_view list, Visit visit)
{
    std::size_t pos = 0;
    while (pos < list.size()) {
        while (pos < list.size() && IsCssSpace(list[pos]))
            ++pos;
        std::size_t end = pos;
        while (end < list.size() && !IsCssSpace(list[end]))
            ++end;
        if (end > pos && visit(list.substr(pos, end - pos)))
            return true;
        pos = end;
    }
    return false;
}

bool ContainsWord(std::string_view list, std::string_view word, bool caseSensitive)
{
    return AnyWord(list, [&](std::string_view item) { return EqualsWithCase(item, word, caseSensitive); });
}

// "prefix:local" compared without building the string.
bool QualifiedNameIs(std::string_view prefix, std::string_view local, std::string_view name)
{
    if (prefix.empty())
        return name == local;
    return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
           name[prefix.size()] == ':' && name.ends_with(local);
}

std::string_view ElementPrefix(const xmlNode* element)
{
    return element->ns != nullptr ? View(element->ns->prefix) : std::string_view();
}

// Attributes in the XLink and XML namespaces answer to "xlink:" and "xml:"
// whatever prefix the document bound; others to their own prefix.
std::string_view AttributePrefix(const xmlAttr* attribute)
{
    if (attribute->ns == nullptr)
        return {};
    if (attribute->ns->href != nullptr) {
        if (std::strcmp(reinterpret_cast<const char*>(attribute->ns->href), kXlinkNamespace) == 0)
            return "xlink";
        if (std::strcmp(reinterpret_cast<const char*>(attribute->ns->href), kXmlNamespace) == 0)
            return "xml";
    }
    return View(attribute->ns->prefix);
}

const xmlAttr* FindAttribute(const xmlNode* element, std::string_view qualifiedName)
{
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next)
        if (QualifiedNameIs(AttributePrefix(attribute), View(attribute->name), qualifiedName))
            return attribute;
    return nullptr;
}

// The attribute's text without copying it when it is one text node, as
// parsed and as written by the cascade; otherwise assembled in `scratch`.
std::string_view AttributeValue(const xmlAttr* attribute, std::string& scratch)
{
    const xmlNode* child = attribute->children;
    if (child == nullptr)
        return {};
    if (child->next == nullptr && child->type == XML_TEXT_NODE)
        return View(child->content);
    xmlChar* text = xmlNodeListGetString(attribute->doc, child, 1);
    scratch = View(text);
    xmlFree(text);
    return scratch;
}

const xmlNode* ParentElement(const xmlNode* node)
{
    const xmlNode* parent = node->parent;
    return parent != nullptr && parent->type == XML_ELEMENT_NODE ? parent : nullptr;
}

const xmlNode* PreviousElement(const xmlNode* node)
{
    for (node = node->prev; node != nullptr; node = node->prev)
        if (node->type == XML_ELEMENT_NODE)
            return node;
    return nullptr;
}

xmlNode* FirstChildElement(xmlNode* node)
{
    for (node = node->children; node != nullptr; node = node->next)
        if (node->type == XML_ELEMENT_NODE)
            return node;
    return nullptr;
}

xmlNode* NextElement(xmlNode* node)
{
    for (node = node->next; node != nullptr; node = node->next)
        if (node->type == XML_ELEMENT_NODE)
            return node;
    return nullptr;
}

bool MatchAttributeCondition(const xmlNode* element, const CModifier& condition)
{
    const xmlAttr* attribute = FindAttribute(element, condition.name);
    if (attribute == nullptr)
        return false;
    std::string scratch;
    const std::string_view value = AttributeValue(attribute, scratch);
    const std::string_view wanted = condition.value;
    const bool caseSensitive = condition.quoted;
    switch (condition.op) {
    case AttribOperator::Present:
        return true;
    case AttribOperator::Equals:
        return EqualsWithCase(value, wanted, caseSensitive);
    case AttribOperator::Includes:
        return ContainsWord(value, wanted, caseSensitive);
    case AttribOperator::DashMatch:
        return EqualsWithCase(value, wanted, caseSensitive) ||
               (value.size() > wanted.size() && value[wanted.size()] == '-' &&
                EqualsWithCase(value.substr(0, wanted.size()), wanted, caseSensitive));
    }
    return false;
}

bool MatchPseudoClass(const xmlNode* element, const CModifier& pseudo)
{
    if (pseudo.name == "first-child")
        return PreviousElement(element) == nullptr;
    if (pseudo.name == "lang") {
        // Only the element's own attribute counts, not an inherited language.
        const xmlAttr* lang = FindAttribute(element, "lang");
        if (lang == nullptr)
            lang = FindAttribute(element, "xml:lang");
        std::string scratch;
        return lang != nullptr && LanguageTest(AttributeValue(lang, scratch), pseudo.value);
    }
    return false;  // :before, :after, :hover ... never hold in a static picture
}

bool MatchNamedAttribute(const xmlNode* element, const char* name, std::string_view wanted, bool asWord)
{
    const xmlAttr* attribute = FindAttribute(element, name);
    if (attribute == nullptr)
        return false;
    std::string scratch;
    const std::string_view value = AttributeValue(attribute, scratch);
    return asWord ? ContainsWord(value, wanted, true) : value == wanted;
}

// --- The index of rulesets by their subject ---------------------------------------------

// Each ruleset is filed under one key of its subject compound: an id, else a
// class, else an element name, else with the universal ones. An element then
// need only be matched against the rulesets filed under its own id, classes
// and name, and the universal ones.
class CRuleIndex {
public:
    explicit CRuleIndex(const CRulesets& rulesets)
    {
        const std::vector<CRuleset>& items = rulesets.Items();
        for (std::uint32_t i = 0; i < items.size(); ++i)
            File(items[i].selector.compounds.back(), i);
    }

    // The candidates for `element` in cascade order, highest precedence first.
    void Candidates(const xmlNode* element, std::string& scratch, std::vector<std::uint32_t>& out) const
    {
        out.assign(universal_.begin(), universal_.end());
        Append(byElement_, ElementName(element, scratch), out);
        std::string valueScratch;
        if (const xmlAttr* id = FindAttribute(element, "id"))
            Append(byId_, AttributeValue(id, valueScratch), out);
        if (const xmlAttr* classes = FindAttribute(element, "class"))
            AnyWord(AttributeValue(classes, valueScratch), [&](std::string_view word) {
                Append(byClass_, word, out);
                return false;
            });
        // Rulesets are sorted by ascending precedence: the highest index wins.
        std::sort(out.begin(), out.end(), std::greater<>());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }

private:
    using Buckets = std::unordered_map<std::string_view, std::vector<std::uint32_t>>;

    void File(const CSimpleSelector& subject, std::uint32_t index)
    {
        for (const CModifier& modifier : subject.modifiers)
            if (modifier.kind == ModifierKind::Id) {
                byId_[modifier.name].push_back(index);
                return;
            }
        for (const CModifier& modifier : subject.modifiers)
            if (modifier.kind == ModifierKind::Class) {
                byClass_[modifier.name].push_back(index);
                return;
            }
        if (subject.element != "*")
            byElement_[subject.element].push_back(index);
        else
            universal_.push_back(index);
    }

    static void Append(const Buckets& buckets, std::string_view key, std::vector<std::uint32_t>& out)
    {
        const auto found = buckets.find(key);
        if (found != buckets.end())
            out.insert(out.end(), found->second.begin(), found->second.end());
    }

    static std::string_view ElementName(const xmlNode* element, std::string& scratch)
    {
        const std::string_view prefix = ElementPrefix(element);
        if (prefix.empty())
            return View(element->name);
        scratch.assign(prefix);
        scratch += ':';
        scratch += View(element->name);
        return scratch;
    }

    Buckets byId_;
    Buckets byClass_;
    Buckets byElement_;
    std::vector<std::uint32_t> universal_;
};

// --- Writing declarations -----------------------------------------------------------------

// One element's visit: which properties this sheet has set on it so far, and
// whether by an important declaration.
struct AppliedMap {
    std::uint64_t set = 0;
    std::uint64_t important = 0;
};

void ApplyDeclarations(xmlNode* element, const CDeclarations& declarations, AppliedMap& applied,
                       CImportantProperties& importantSoFar)
{
    // Within a rule the last declaration of a property wins: walking them
    // backwards lets the first one met take the property, as rules of higher
    // precedence do.
    for (auto it = declarations.rbegin(); it != declarations.rend(); ++it) {
        const CDeclaration& declaration = *it;
        // CSS sets properties only: `width`, `d`, `id` or `transform` in a
        // sheet must not change geometry or references.
        if (declaration.property < 0)
            continue;
        const std::uint64_t bit = std::uint64_t{1} << declaration.property;
        if (applied.set & bit) {
            // A rule of higher precedence in this sheet set it already; only an
            // important declaration beats a normal one.
            if (!declaration.important || (applied.important & bit))
                continue;
        } else if (!declaration.important && importantSoFar.Has(element, declaration.property)) {
            continue;  // an earlier sheet's important declaration stands
        }
        if (xmlSetProp(element, BAD_CAST declaration.name.c_str(), BAD_CAST declaration.value.c_str()) == nullptr)
            continue;
        applied.set |= bit;
        if (declaration.important) {
            applied.important |= bit;
            importantSoFar.Set(element, declaration.property);
        }
    }
}

}  // namespace

bool CImportantProperties::Has(const xmlNode* element, int property) const
{
    if (bits_.empty())
        return false;
    const auto found = bits_.find(element);
    return found != bits_.end() && (found->second & (std::uint64_t{1} << property)) != 0;
}

void CImportantProperties::Set(const xmlNode* element, int property)
{
    bits_[element] |= std::uint64_t{1} << property;
}

bool matchCompound(const xmlNode* element, const CSimpleSelector& compound)
{
    if (compound.element != "*" && !QualifiedNameIs(ElementPrefix(element), View(element->name), compound.element))
        return false;
    for (const CModifier& modifier : compound.modifiers) {
        bool holds = false;
        switch (modifier.kind) {
        case ModifierKind::Class:
            holds = MatchNamedAttribute(element, "class", modifier.name, true);
            break;
        case ModifierKind::Id:
            holds = MatchNamedAttribute(element, "id", modifier.name, false);
            break;
        case ModifierKind::Pseudo:
            holds = MatchPseudoClass(element, modifier);
            break;
        case ModifierKind::Attrib:
            holds = MatchAttributeCondition(element, modifier);
            break;
        }
        if (!holds)
            return false;
    }
    return true;
}

bool matchSelector(const xmlNode* element, const CSelector& selector)
{
    std::size_t k = selector.compounds.size();
    if (k == 0 || !matchCompound(element, selector.compounds[--k]))
        return false;
    const xmlNode* current = element;
    while (k > 0) {
        const CSimpleSelector& compound = selector.compounds[--k];
        switch (selector.combinators[k]) {
        case '>':
            current = ParentElement(current);
            break;
        case '+':
            current = PreviousElement(current);
            break;
        default:
            current = ParentElement(current);
            while (current != nullptr && !matchCompound(current, compound))
                current = ParentElement(current);
            break;
        }
        if (current == nullptr || !matchCompound(current, compound))
            return false;
    }
    return true;
}

void applySheet(const CRulesets& rulesets, xmlDoc* document, CImportantProperties& important, const CStopToken& stop)
{
    xmlNode* root = document != nullptr ? xmlDocGetRootElement(document) : nullptr;
    if (root == nullptr || rulesets.Size() == 0)
        return;
    const CRuleIndex index(rulesets);
    const std::vector<CRuleset>& items = rulesets.Items();
    std::vector<std::uint32_t> candidates;
    std::string nameScratch;

    // Document order without recursion: an XSLT result may nest deeper than
    // the stack allows.
    xmlNode* element = root;
    while (element != nullptr) {
        if (stop.StopRequested())
            return;
        index.Candidates(element, nameScratch, candidates);
        AppliedMap applied;
        for (const std::uint32_t candidate : candidates) {
            if (stop.StopRequested())
                return;
            const CRuleset& ruleset = items[candidate];
            if (matchSelector(element, ruleset.selector))
                ApplyDeclarations(element, *ruleset.declarations, applied, important);
        }

        if (xmlNode* child = FirstChildElement(element)) {
            element = child;
            continue;
        }
        while (element != root && NextElement(element) == nullptr)
            element = element->parent;
        element = element == root ? nullptr : NextElement(element);
    }
}

}  // namespace svg::css
