// Following the open file on disk. CFileWatcher watches one file and its
// folder (an editor that writes a temporary file and renames it over the
// original replaces the file's inode, which a watch on the file alone loses)
// and, once the events have stopped for kDebounceMs, tells whether the file
// now has other content or has gone. CReloadOnChange reloads the document
// when its file changes, keeping the zoom, the pan and the selected element
// (matched by id, else by its place in the tree) when it still exists; a
// vanished file keeps the picture and gets a message. Interface thread only.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <string>
#include <vector>

namespace svg {
class CElem;
}  // namespace svg

namespace vexo {

class CVexoDoc;
class CVexoView;

class CFileWatcher : public QObject {
    Q_OBJECT
public:
    // Saves come in bursts of events (truncate, write, close, rename).
    static constexpr int kDebounceMs = 250;

    explicit CFileWatcher(QObject* parent = nullptr);
    // Follows `path` from its current state on; empty stops watching.
    void Watch(const QString& path);
    const QString& Path() const { return path_; }

signals:
    // The file has other content (size, time or inode) than when last seen.
    void changed();
    // The file is gone; sent once until it comes back.
    void vanished();

private:
    // What tells one version of the file from another.
    struct Stamp {
        bool exists = false;
        long long sizeBytes = 0;
        long long modifiedNs = 0;
        unsigned long long inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp Read(const QString& path);
    void Settle();

    QFileSystemWatcher watcher_;
    QTimer debounce_;
    QString path_;
    Stamp last_;
};

class CReloadOnChange : public QObject {
    Q_OBJECT
public:
    CReloadOnChange(CVexoDoc& doc, CVexoView& view, QObject* parent = nullptr);
    const CFileWatcher& Watcher() const { return watcher_; }

private:
    void OnDocumentState();
    void OnChanged();
    void OnVanished();
    void OnLoaded();

    // An element's id, or else the names and child indices from the root.
    struct ElemPlace {
        std::string id;
        std::vector<std::pair<std::string, std::size_t>> steps;
    };
    static ElemPlace PlaceOf(const svg::CElem& elem);
    const svg::CElem* Find(const ElemPlace& place) const;

    CVexoDoc& doc_;
    CVexoView& view_;
    CFileWatcher watcher_;
    // Set from a change's reload until its loaded().
    bool restoring_ = false;
    float scale_ = 0;
    QPoint origin_;
    bool hadSelection_ = false;
    ElemPlace selection_;
};

}  // namespace vexo
