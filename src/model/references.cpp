// Attribute look-up along the tree, the base directory of references, and
// finding the element a reference names.
#include "model/references.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/document.h"
#include "model/elem.h"
#include "model/load_context.h"
#include "values/scan.h"

namespace svg {
namespace {


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
CElem* FindIdInTree(CElem* root, std::string_view fragment)
{
    std::vector<CElem*> pending{root};
    while (!pending.empty()) {
        CElem* elem = pending.back();
        pending.pop_back();
        if (const std::string& id = elem->IdAttribute(); !id.empty() && id == fragment)
            return elem;
        for (CElem* child : elem->Children() | std::views::reverse)
            pending.push_back(child);
    }
    return nullptr;
}

struct ParsedReference {
    std::string_view file;
    std::string_view fragment;
};

ParsedReference SplitReference(std::string_view reference)
{
    reference = TrimCssSpace(reference);
    if (StartsWithNoCase(reference, "url("))
        reference = UrlContent(reference);
    const std::size_t hash = reference.find('#');
    ParsedReference parsed{reference.substr(0, hash), {}};
    if (hash != std::string_view::npos)
        parsed.fragment = reference.substr(hash + 1);
    if (parsed.fragment.starts_with('#'))
        parsed.fragment.remove_prefix(1);
    return parsed;
}

// The element `fragment` names in the tree under `root`.
CElem* FindInDocument(CElem* root, std::string_view fragment)
{
    if (root->Class() == ElemClass::Document) {
        bool indexed = false;
        CElem* found = static_cast<CElemDocument*>(root)->FindIndexedId(fragment, indexed);
        if (indexed)
            return found;
    }
    return FindIdInTree(root, fragment);
}

// The root a same-document reference searches: a use instance resolves
// references where its source was written.
CElem* SameDocumentRoot(const CElem& from)
{
    const CElem* anchor = from.instanceSource != nullptr ? from.instanceSource : &from;
    return const_cast<CElem*>(TreeRoot(anchor));
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

const std::string* CElem::GetAttribute(AttributeId attribute, bool inherited) const
{
    for (const CElem* elem = this; elem != nullptr; elem = elem->Parent()) {
        const std::string* value = elem->attributes.Value(attribute);
        if (value != nullptr && *value != "inherit")
            return value;
        if (value == nullptr && !inherited)
            return nullptr;
    }
    return nullptr;
}

const std::string& CElem::IdAttribute() const
{
    static const std::string kNone;
    if (const std::string* id = attributes.Value(AttributeId::id))
        return *id;
    if (const std::string* xmlId = attributes.Value(AttributeId::xml_id))
        return *xmlId;
    return kNone;
}

const std::string* CElem::GetColorAttribute(AttributeId attribute, bool inherited) const
{
    const std::string* value = GetAttribute(attribute, inherited);
    if (value != nullptr && TrimCssSpace(*value) == "currentColor")
        return &props.color.Str();
    return value;
}

// --- References ---------------------------------------------------------------------

bool IsSameKind(const CElem& from, const CElem& target)
{
    auto isGradient = [](const CElem& elem) {
        return elem.Id() == ElementId::linearGradient || elem.Id() == ElementId::radialGradient;
    };
    return from.Name() == target.Name() || (isGradient(from) && isGradient(target));
}

CElem* FindReference(const CElem& from, std::string_view reference, CLoadContext& context)
{
    const ParsedReference parsed = SplitReference(reference);
    if (parsed.file.empty())
        return FindInDocument(SameDocumentRoot(from), parsed.fragment);
    CDocumentSource* source = context.DocumentSource();
    CElem* root = source != nullptr ? source->LoadReferencedDocument(parsed.file, from.BaseDirectory(), &from) : nullptr;
    if (root == nullptr || parsed.fragment.empty())
        return root;
    return FindInDocument(root, parsed.fragment);
}

const CElem* FindLoadedReference(const CElem& from, std::string_view reference, const DocumentList& documents)
{
    const ParsedReference parsed = SplitReference(reference);
    if (parsed.file.empty())
        return FindInDocument(SameDocumentRoot(from), parsed.fragment);
    CElem* root = documents.Find(MakeFullPath(parsed.file, from.BaseDirectory()));
    if (root == nullptr || parsed.fragment.empty())
        return root;
    return FindInDocument(root, parsed.fragment);
}

std::string CElem::BaseDirectory() const
{
    const CElemDocument* document = Document();
    const std::string directory = document != nullptr ? document->Directory() : std::string();
    for (const CElem* elem = this; elem != nullptr; elem = elem->Parent()) {
        const std::string* base = elem->attributes.Value(AttributeId::xml_base);
        if (base != nullptr && *base != "inherit")
            return ResolveBase(directory, *base);
    }
    return directory;
}

std::string MakeFullPath(std::string_view path, std::string_view baseDirectory)
{
    namespace fs = std::filesystem;
    fs::path full(path);
    if (full.is_relative()) {
        std::error_code ignored;
        const fs::path base = baseDirectory.empty() ? fs::current_path(ignored) : fs::path(baseDirectory);
        full = base / full;
    }
    return full.lexically_normal().string();
}

}  // namespace svg
