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

#include "model/loading_job.h"

namespace svg {
class CElem;
class CElemDocument;
class CPicture;
}  // namespace svg

namespace vexo {

class Settings;

class CVexoDoc : public QObject {
    Q_OBJECT
public:
    explicit CVexoDoc(Settings& settings, QObject* parent = nullptr);
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

    // --- State -----------------------------------------------------------
    const QString& Path() const { return path_; }
    svg::DocumentState State() const { return job_.State(); }
    bool Loading() const { return job_.Running(); }
    // The recorded picture; null until a load has completed.
    const svg::CPicture* Picture() const { return job_.Picture(); }
    // The main document's root; null unless loaded.
    svg::CElemDocument* Root() const;
    // The text of every `text` element, in document order, one per line.
    QString CollectedText() const;
    Settings& AppSettings() { return settings_; }

    // --- Selection -------------------------------------------------------
    svg::CElem* Selected() const { return selected_; }
    // Selects `elem` (or nothing) everywhere: sends elementSelected().
    void SelectElement(svg::CElem* elem);

signals:
    void cleared();
    void loaded();
    void elementSelected(svg::CElem* elem);
    // The path, the state or an option changed: menus and tool bars update.
    void stateChanged();

private:
    void StartLoad();
    void OnLoadFinished(std::uint64_t generation);

    Settings& settings_;
    svg::LoadingJob job_;
    QString path_;
    svg::CElem* selected_ = nullptr;
    bool alternateFonts_ = true;
    bool rasterEffectsDisabled_ = false;
    // Tells a late completion notice of an abandoned load from the current one.
    std::uint64_t generation_ = 0;
    bool completionPending_ = false;
};

}  // namespace vexo
