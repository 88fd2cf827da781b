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
        if (!elem->id.empty())
            idIndex_.emplace(elem->id, elem);
        const auto& children = elem->Children();
        pending.insert(pending.end(), children.rbegin(), children.rend());
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

DocumentList& DocumentList::Instance()
{
    static DocumentList list;
    return list;
}

CElemDocument* DocumentList::Add(std::unique_ptr<CElemDocument> document)
{
    std::lock_guard lock(mutex_);
    documents_.push_back(std::move(document));
    return documents_.back().get();
}

void DocumentList::Discard(const CElemDocument* document)
{
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(documents_.begin(), documents_.end(),
                                 [document](const auto& d) { return d.get() == document; });
    if (it == documents_.end())
        return;
    discarded_.push_back(std::move(*it));
    documents_.erase(it);
}

void DocumentList::Clear() { TakeAll(); }

std::vector<std::unique_ptr<CElemDocument>> DocumentList::TakeAll()
{
    std::vector<std::unique_ptr<CElemDocument>> removed;
    std::lock_guard lock(mutex_);
    removed.swap(documents_);
    for (auto& document : discarded_)
        removed.push_back(std::move(document));
    discarded_.clear();
    return removed;
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

}  // namespace svg
