// The application's document: the path of the current file, the loading
// thread, the loaded documents and their recorded picture, and the commands
// that start, repeat or stop loads and change the settings loads depend on.
//
// Views follow it through three signals, sent on the user-interface thread:
// cleared() when a load starts or the document closes (drop every reference
// to elements), loaded() when a load has ended (rebuild; the picture and tree
// are there unless it failed), elementSelected() when an element is to be
// selected everywhere. Elements stay valid from loaded() until cleared().
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

#include "model/message_log.h"
#include "pipeline/loading_job.h"

namespace svg {
class CElem;
class CElemDocument;
class CPicture;
}  // namespace svg

namespace vexo {

class CSettings;

class CVexoDoc : public QObject {
    Q_OBJECT
public:
    explicit CVexoDoc(CSettings& settings, QObject* parent = nullptr);
    ~CVexoDoc() override;

    // --- Loading ---------------------------------------------------------
    // Opens `path` (Open, recent files, command line, drop): stops a running
    // load, stores the path and starts loading it. The result arrives later
    // through loaded().
    void Open(const QString& path);
    // Loads the stored path again.
    void Reload();
    // Stops a running load and deletes what was loaded.
    void StopLoading();
    // StopLoading, then forget the path.
    void Close();
    // Waits until the running load has ended and its loaded() has been sent;
    // for tests and scripts.
    void WaitForLoad();

    // --- Options (each writes its setting and reloads) --------------------
    bool AlternateFonts() const { return alternateFonts_; }
    void SetAlternateFonts(bool enabled);
    bool RasterEffectsDisabled() const { return rasterEffectsDisabled_; }
    void SetRasterEffectsDisabled(bool disabled);
    // Entries of MISC/SYSTEM_LANGUAGE_LIST and MISC/MEDIA_LIST, and the
    // filter resolutions "x0.25" ... "x2.0".
    QStringList LanguageChoices() const;
    QStringList MediaChoices() const;
    static QStringList FilterResolutionChoices();
    QString Language() const;
    QString Media() const;
    QString FilterResolution() const;
    void SetLanguage(const QString& language);
    void SetMedia(const QString& media);
    void SetFilterResolution(const QString& resolution);
    // Files outside the document's folder: allowed for every document (the
    // MISC/ALLOW_ANY_FILE setting), or for the current path only, until
    // another file is opened. Each reloads.
    bool AlwaysAllowAnyFile() const;
    void SetAlwaysAllowAnyFile(bool allow);
    bool AnyFileAllowedForThisDocument() const { return anyFileAllowedHere_; }
    void AllowAnyFileForThisDocument();
    // The files the last completed load did not read because they lie
    // outside the document's folder; empty while loading.
    QStringList RefusedFiles() const;

    // --- State -----------------------------------------------------------
    const QString& Path() const { return path_; }
    svg::DocumentState State() const { return job_.State(); }
    bool Loading() const { return job_.Running(); }
    // The recorded picture; null until a load has completed.
    const svg::CPicture* Picture() const { return job_.Picture(); }
    // The main document's root; null unless loaded.
    const svg::CElemDocument* Root() const;
    // Every document of the last load, main document first; null unless loaded.
    const svg::DocumentList* Documents() const;
    // The element `reference` names from `from`, loading a document that no
    // load has read yet into the current one (documentsAdded() then tells the
    // views). Null when nothing is found or a load is running.
    const svg::CElem* FollowReference(const svg::CElem& from, const std::string& reference);
    // The messages of the current load, which the loading thread appends to;
    // the shell adds its own (export and print failures) to the same list.
    svg::CMessageLog& Log() { return log_; }
    const svg::CMessageLog& Log() const { return log_; }
    // The running load's progress counters; null without a load.
    const svg::LoadProgress* Progress() const { return job_.Progress(); }
    // The desktop's colours and fonts that documents may name; set by the
    // application before the first load.
    void SetDesktopStyle(svg::DesktopStyle desktop) { desktop_ = std::move(desktop); }
    // The text of every `text` element, in document order, one per line.
    QString CollectedText() const;
    CSettings& AppSettings() { return settings_; }

    // --- Selection -------------------------------------------------------
    const svg::CElem* Selected() const { return selected_; }
    // Selects `elem` (or nothing) everywhere: sends elementSelected().
    void SelectElement(const svg::CElem* elem);

signals:
    void cleared();
    void loaded();
    void elementSelected(const svg::CElem* elem);
    // Following a reference loaded one more document into the current load.
    void documentsAdded();
    // The path, the state or an option changed: menus and tool bars update.
    void stateChanged();

private:
    void StartLoad();
    void OnLoadFinished(std::uint64_t generation);

    CSettings& settings_;
    svg::CMessageLog log_;
    svg::CLoadingJob job_{log_};
    svg::DesktopStyle desktop_;
    QString path_;
    const svg::CElem* selected_ = nullptr;
    bool alternateFonts_ = true;
    bool rasterEffectsDisabled_ = false;
    bool anyFileAllowedHere_ = false;
    // Tells a late completion notice of an abandoned load from the current one.
    std::uint64_t generation_ = 0;
    bool completionPending_ = false;
};

}  // namespace vexo
