#include "model/load_context.h"

#include <algorithm>
#include <utility>

#include "base/limits.h"
#include "model/resource_file.h"

namespace svg {

CLoadContext::CLoadContext(CMessageLog& log, const CStopToken& stop, CDocOptions options)
    : log_(log), stop_(stop), options_(std::move(options))
{
    for (const std::string& directory : options_.fileAccess.allowedDirectories)
        if (!directory.empty())
            readableFolders_.push_back(CanonicalFolder(directory));
}

void CLoadContext::SetMainDocumentPath(const std::string& fullPath)
{
    if (!mainFolder_.empty())
        return;
    const std::size_t slash = fullPath.rfind('/');
    mainFolder_ = CanonicalFolder(slash == std::string::npos ? std::string(".") : fullPath.substr(0, slash + 1));
    readableFolders_.insert(readableFolders_.begin(), mainFolder_);
}

void CLoadContext::NoteRefusedFile(const std::string& fullPath)
{
    std::lock_guard lock(refusedMutex_);
    if (refusedFiles_.size() >= limits::kMaxRememberedRefusedFiles ||
        std::find(refusedFiles_.begin(), refusedFiles_.end(), fullPath) != refusedFiles_.end())
        return;
    refusedFiles_.push_back(fullPath);
}

std::vector<std::string> CLoadContext::RefusedFiles() const
{
    std::lock_guard lock(refusedMutex_);
    return refusedFiles_;
}

SharedText CLoadContext::ShareText(std::string_view text)
{
    // Documents repeat a handful of families and colours; one that spells
    // thousands of them gets a copy each past that many.
    constexpr std::size_t kMaxSharedTexts = 4096;
    if (const auto found = sharedTexts_.find(text); found != sharedTexts_.end())
        return found->second;
    SharedText shared(text);
    if (sharedTexts_.size() < kMaxSharedTexts)
        sharedTexts_.emplace(shared.Str(), shared);
    return shared;
}

std::shared_ptr<const StrokePen> CLoadContext::SharePen(StrokePen pen)
{
    // Strokes come in runs of equal pens (a group's, a drawing tool's
    // style): the last few pens made are enough to find most of them.
    for (const std::shared_ptr<const StrokePen>& recent : recentPens_)
        if (recent && *recent == pen)
            return recent;
    auto shared = std::make_shared<const StrokePen>(std::move(pen));
    recentPens_[nextPen_] = shared;
    nextPen_ = (nextPen_ + 1) % recentPens_.size();
    return shared;
}

}  // namespace svg
