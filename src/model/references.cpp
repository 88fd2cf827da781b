// Attribute look-up along the tree and the xlink:href chain, the preparation
// traversal, and reference resolution with cycle detection. An element whose
// preparation state is "being prepared" when a reference reaches it closes a
// reference cycle: the reference is reported and not followed.
#include <algorithm>
#include <string>
#include <vector>

#include "model/document.h"
#include "model/elem.h"
#include "model/limits.h"
#include "model/loader.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "values/scan.h"

namespace svg {
namespace {

using limits::kMaxHrefChain;
using limits::kMaxPrepareNesting;

thread_local unsigned prepareNesting = 0;

struct NestingGuard {
    NestingGuard() { ++prepareNesting; }
    ~NestingGuard() { --prepareNesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i])
            return false;
    }
    return true;
}

// The reference inside "url(...)", without blanks and quotes around it.
// Without a closing parenthesis the rest of the text is taken.
std::string_view UrlContent(std::string_view text)
{
    text = TrimCssSpace(text.substr(4));
    if (!text.empty() && (text.front() == '"' || text.front() == '\'')) {
        const std::size_t close = text.find(text.front(), 1);
        return text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    }
    return TrimCssSpace(text.substr(0, text.find(')')));
}

const CElem* TreeRoot(const CElem* elem)
{
    while (elem->Parent() != nullptr)
        elem = elem->Parent();
    return elem;
}

// Depth-first, parents before children: the first element in document order
// whose test passes.
template <typename Test>
CElem* FindInTree(CElem* root, Test test)
{
    std::vector<CElem*> pending{root};
    while (!pending.empty()) {
        CElem* elem = pending.back();
        pending.pop_back();
        if (test(*elem))
            return elem;
        const auto& children = elem->Children();
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return nullptr;
}

// Gradients may take stops and attributes from either gradient kind; every
// other reference must name an element of its own kind.
bool IsGradient(const CElem& elem)
{
    return elem.Id() == ElementId::linearGradient || elem.Id() == ElementId::radialGradient;
}

bool IsSameKind(const CElem& a, const CElem& b)
{
    return a.Name() == b.Name() || (IsGradient(a) && IsGradient(b));
}

std::string Directory(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

// xml:base resolved against the document's directory: an absolute path or URL
// replaces it, a relative one is appended. file: URLs become paths so that
// the loader can open them.
std::string ResolveBase(const std::string& documentDirectory, std::string_view base)
{
    constexpr std::string_view kFileScheme = "file://";
    if (StartsWithNoCase(base, kFileScheme))
        base.remove_prefix(kFileScheme.size());
    const bool absolute = base.starts_with('/') || base.find("://") != std::string_view::npos;
    return Directory(absolute ? std::string(base) : documentDirectory + std::string(base));
}

}  // namespace

// --- Attributes -------------------------------------------------------------------

const std::string* CElem::GetAttribute(std::string_view name, bool inherited) const
{
    for (const CElem* elem = this; elem != nullptr; elem = elem->Parent()) {
        const std::string* value = elem->attributes.Value(name);
        if (value != nullptr && *value != "inherit")
            return value;
        if (value == nullptr && !inherited)
            return nullptr;
    }
    return nullptr;
}

const std::string* CElem::GetAttributeVia(std::string_view name, bool inherited)
{
    // A chain of prepared elements that loops back on itself is not caught by
    // the preparation state; the visited list ends it.
    std::vector<const CElem*> visited;
    for (CElem* elem = this; elem != nullptr; elem = elem->FollowHref()) {
        if (std::find(visited.begin(), visited.end(), elem) != visited.end())
            return nullptr;
        if (visited.size() == kMaxHrefChain) {
            ReportMessage("E %s xlink:href chain too long at %d(%d)", Name().c_str(), line, column);
            return nullptr;
        }
        visited.push_back(elem);
        if (const std::string* value = elem->GetAttribute(name, inherited))
            return value;
    }
    return nullptr;
}

// --- Preparation --------------------------------------------------------------------

bool CElem::Prepare()
{
    if (StopRequested())
        return false;
    if (prepState == PrepState::Prepared)
        return true;
    // Reached again through a reference cycle that its caller did not check.
    if (prepState == PrepState::BeingPrepared)
        return false;
    // Left unprepared: the tree traversal prepares it later from a shallower level.
    if (prepareNesting >= kMaxPrepareNesting) {
        ReportMessage("E %s too deeply nested at %d(%d)", Name().c_str(), line, column);
        return false;
    }
    const NestingGuard nesting;

    prepState = PrepState::BeingPrepared;
    ++LoadProgress::Instance().elementsPrepared;
    ResolveProperties(*this);
    if (parent_ != nullptr) {
        viewport = parent_->viewport;
        region = parent_->region;
    }
    if (!Setup()) {
        prepState = PrepState::Prepared;
        return false;
    }
    // A clipping path is made of shapes, text and use only; containers and
    // images inside one are reported.
    std::vector<CElem*> illegalClipChildren;
    if (Class() == ElemClass::ClipPath) {
        for (CElem* child : children_) {
            if (child->graphicsElement && !child->IsA(ElemClass::Shape) && child->Id() != ElementId::use) {
                ReportMessage("E %s illegal for clipPath's child at %d(%d)", child->Name().c_str(),
                              child->line, child->column);
                illegalClipChildren.push_back(child);
            }
        }
    }
    for (CElem* child : children_) {
        if (!child->Prepare()) {
            prepState = PrepState::Prepared;
            return false;
        }
    }
    // After the children resolved their own properties, which would otherwise
    // overwrite it: the clipping path ignores these children.
    for (CElem* child : illegalClipChildren)
        child->props.display = Display::None;
    prepState = PrepState::Prepared;
    return true;
}

// --- References ---------------------------------------------------------------------

CElem* CElem::FindReference(std::string_view reference, const CDocOptions* options)
{
    reference = TrimCssSpace(reference);
    if (StartsWithNoCase(reference, "url("))
        reference = UrlContent(reference);

    const std::size_t hash = reference.find('#');
    const std::string_view file = reference.substr(0, hash);
    std::string_view fragment = hash == std::string_view::npos ? std::string_view() : reference.substr(hash + 1);
    if (fragment.starts_with('#'))
        fragment.remove_prefix(1);

    CElem* root = nullptr;
    if (file.empty()) {
        // A use instance resolves references where its source was written.
        const CElem* anchor = instanceSource != nullptr ? instanceSource : this;
        root = const_cast<CElem*>(TreeRoot(anchor));
    } else {
        const CElemDocument* document = Document();
        const CDocOptions defaults;
        const CDocOptions& loadOptions = options ? *options : document ? document->Options() : defaults;
        root = LoadDocument(file, BaseDirectory(), loadOptions);
        if (root == nullptr || fragment.empty())
            return root;
    }
    if (root->Class() == ElemClass::Document) {
        bool indexed = false;
        CElem* found = static_cast<CElemDocument*>(root)->FindIndexedId(fragment, indexed);
        if (indexed)
            return found;
    }
    return FindInTree(root, [fragment](const CElem& elem) { return !elem.id.empty() && elem.id == fragment; });
}

CElem* CElem::FollowHref()
{
    const std::string* href = GetAttribute("xlink:href", false);
    if (href == nullptr)
        return nullptr;
    CElem* target = FindReference(*href);
    if (target == nullptr) {
        ReportMessage("E %s xlink:href=\"%s\" :Link NOT found at %d(%d)", Name().c_str(), href->c_str(), line,
                      column);
        return nullptr;
    }
    if (target->prepState == PrepState::BeingPrepared) {
        ReportMessage("F %s xlink:href=\"%s\" : Cyclic reference at %d(%d)", Name().c_str(), href->c_str(), line,
                      column);
        return nullptr;
    }
    if (target->prepState == PrepState::NotPrepared && !target->Prepare())
        return nullptr;
    if (!IsSameKind(*this, *target)) {
        ReportMessage("E %s xlink:href=\"%s\" :NOT refer to element '%s' at %d(%d)", Name().c_str(),
                      href->c_str(), Name().c_str(), line, column);
        return nullptr;
    }
    return target;
}

std::string CElem::BaseDirectory() const
{
    const CElemDocument* document = Document();
    const std::string directory = document != nullptr ? document->Directory() : std::string();
    for (const CElem* elem = this; elem != nullptr; elem = elem->Parent()) {
        const std::string* base = elem->attributes.Value("xml:base");
        if (base != nullptr && *base != "inherit")
            return ResolveBase(directory, *base);
    }
    return directory;
}

CElem* FindElementAtLocation(int line, int column)
{
    const std::string location = std::to_string(line) + "," + std::to_string(column);
    DocumentList& documents = DocumentList::Instance();
    for (std::size_t i = 0; i < documents.Size(); ++i) {
        CElemDocument* document = documents.At(i);
        if (document == nullptr)
            break;
        CElem* found = FindInTree(document, [&location](const CElem& elem) {
            const std::string* value = elem.GetAttribute("VexoLoc", false);
            return value != nullptr && *value == location;
        });
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

}  // namespace svg
