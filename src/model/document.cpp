#include "model/document.h"

#include <algorithm>

namespace svg {

CElemDocument::CElemDocument(std::string fullPath, CDocOptions options)
    : CElemContainer("svg", nullptr), path_(std::move(fullPath)), options_(std::move(options))
{
}

std::string CElemDocument::Directory() const
{
    const std::size_t slash = path_.rfind('/');
    return slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
}

void CElemDocument::IndexIds()
{
    idIndex_.clear();
    std::vector<CElem*> pending{this};
    while (!pending.empty()) {
        CElem* elem = pending.back();
        pending.pop_back();
        // emplace keeps the first element of a repeated id.
        if (!elem->IdAttribute().empty())
            idIndex_.emplace(elem->IdAttribute(), elem);
        for (CElem* child : elem->Children() | std::views::reverse)
            pending.push_back(child);
    }
    indexed_ = true;
}

CElem* CElemDocument::FindIndexedId(std::string_view idValue, bool& indexed) const
{
    indexed = indexed_;
    if (!indexed_)
        return nullptr;
    const auto it = idIndex_.find(idValue);
    return it != idIndex_.end() ? it->second : nullptr;
}

CElemDocument* DocumentList::Add(std::unique_ptr<CElemDocument> document)
{
    std::lock_guard lock(mutex_);
    documents_.push_back(std::move(document));
    return documents_.back().get();
}

CElemDocument* DocumentList::Find(const std::string& fullPath) const
{
    std::lock_guard lock(mutex_);
    for (const auto& document : documents_)
        if (document->Path() == fullPath)
            return document.get();
    return nullptr;
}

std::size_t DocumentList::Size() const
{
    std::lock_guard lock(mutex_);
    return documents_.size();
}

CElemDocument* DocumentList::At(std::size_t index) const
{
    std::lock_guard lock(mutex_);
    return index < documents_.size() ? documents_[index].get() : nullptr;
}

bool DocumentList::Contains(const CElem* root) const
{
    std::lock_guard lock(mutex_);
    return std::any_of(documents_.begin(), documents_.end(), [root](const auto& d) { return d.get() == root; });
}

CElem* FindElementAtLocation(const DocumentList& documents, int line, int column)
{
    for (std::size_t i = 0; i < documents.Size(); ++i) {
        CElemDocument* document = documents.At(i);
        std::vector<CElem*> pending{document};
        while (!pending.empty()) {
            CElem* elem = pending.back();
            pending.pop_back();
            // Clones in use instances carry their source's location; the
            // source is the element written there.
            if (elem->line == line && elem->column == column && elem->instanceSource == nullptr &&
                elem->Class() != ElemClass::String && elem->Class() != ElemClass::Comment)
                return elem;
            for (CElem* child : elem->Children() | std::views::reverse)
                pending.push_back(child);
        }
    }
    return nullptr;
}

}  // namespace svg
