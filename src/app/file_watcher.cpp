#include "app/file_watcher.h"

#include <QFileInfo>
#include <sys/stat.h>

#include "app/vexo_doc.h"
#include "app/vexo_view.h"
#include "model/document.h"
#include "model/messages.h"
#include "model/references.h"

namespace vexo {

// --- CFileWatcher ----------------------------------------------------------------

CFileWatcher::CFileWatcher(QObject* parent) : QObject(parent)
{
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &CFileWatcher::Settle);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &debounce_, qOverload<>(&QTimer::start));
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &debounce_, qOverload<>(&QTimer::start));
}

void CFileWatcher::Watch(const QString& path)
{
    debounce_.stop();
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    path_ = path;
    last_ = Read(path);
    if (path.isEmpty())
        return;
    watcher_.addPath(QFileInfo(path).absolutePath());
    if (last_.exists)
        watcher_.addPath(path);
}

CFileWatcher::Stamp CFileWatcher::Read(const QString& path)
{
    struct stat status {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {true, static_cast<long long>(status.st_size),
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec,
            static_cast<unsigned long long>(status.st_ino)};
}

void CFileWatcher::Settle()
{
    const Stamp now = Read(path_);
    // A rename over the file ends the watch on the old inode: watch the new one.
    if (now.exists && !watcher_.files().contains(path_))
        watcher_.addPath(path_);
    if (now == last_)
        return;
    const bool wasThere = last_.exists;
    last_ = now;
    if (now.exists)
        emit changed();
    else if (wasThere)
        emit vanished();
}

// --- CReloadOnChange ----------------------------------------------------------------

CReloadOnChange::CReloadOnChange(CVexoDoc& doc, CVexoView& view, QObject* parent)
    : QObject(parent), doc_(doc), view_(view)
{
    connect(&doc_, &CVexoDoc::stateChanged, this, &CReloadOnChange::OnDocumentState);
    connect(&doc_, &CVexoDoc::loaded, this, &CReloadOnChange::OnLoaded);
    connect(&watcher_, &CFileWatcher::changed, this, &CReloadOnChange::OnChanged);
    connect(&watcher_, &CFileWatcher::vanished, this, &CReloadOnChange::OnVanished);
    OnDocumentState();
}

void CReloadOnChange::OnDocumentState()
{
    if (doc_.Path() == watcher_.Path())
        return;
    watcher_.Watch(doc_.Path());
    restoring_ = false;  // another file: its own view
}

void CReloadOnChange::OnChanged()
{
    // A load of the new version that is still running keeps the view it
    // was asked to keep.
    if (!restoring_ && doc_.Picture() != nullptr && !doc_.Loading()) {
        scale_ = view_.Scale();
        origin_ = view_.Origin();
        hadSelection_ = doc_.Selected() != nullptr;
        if (hadSelection_)
            selection_ = PlaceOf(*doc_.Selected());
        restoring_ = true;
    }
    doc_.Reload();
}

void CReloadOnChange::OnVanished()
{
    doc_.Log().Report(svg::msg::kFileVanished, qUtf8Printable(QFileInfo(watcher_.Path()).fileName()));
}

void CReloadOnChange::OnLoaded()
{
    // A half-written save may not load: the view waits for the next one.
    if (!restoring_ || doc_.Picture() == nullptr)
        return;
    restoring_ = false;
    view_.SetScaleAndOrigin(scale_, origin_);
    if (hadSelection_)
        if (const svg::CElem* elem = Find(selection_))
            doc_.SelectElement(elem);
}

CReloadOnChange::ElemPlace CReloadOnChange::PlaceOf(const svg::CElem& elem)
{
    ElemPlace place;
    place.id = elem.IdAttribute();
    for (const svg::CElem* step = &elem; step->Parent() != nullptr; step = step->Parent()) {
        std::size_t index = 0;
        for (const svg::CElem* sibling : step->Parent()->Children()) {
            if (sibling == step)
                break;
            ++index;
        }
        place.steps.insert(place.steps.begin(), {step->Name(), index});
    }
    return place;
}

const svg::CElem* CReloadOnChange::Find(const ElemPlace& place) const
{
    const svg::CElemDocument* root = doc_.Root();
    if (root == nullptr)
        return nullptr;
    if (!place.id.empty())
        return svg::FindLoadedReference(*root, "#" + place.id, *doc_.Documents());
    const svg::CElem* elem = root;
    for (const auto& [name, index] : place.steps) {
        if (index >= elem->ChildCount())
            return nullptr;
        const svg::CElem* child = *std::next(elem->Children().begin(), std::ptrdiff_t(index));
        if (child->Name() != name)
            return nullptr;
        elem = child;
    }
    return elem;
}

}  // namespace vexo
