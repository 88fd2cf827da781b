#include "app/vexo_doc.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>

#include "app/settings.h"
#include "model/document.h"
#include "model/elem.h"

namespace vexo {
namespace {

const QString kMisc = QStringLiteral("MISC");

QStringList SplitChoices(const QString& list)
{
    QStringList choices;
    for (const QString& entry : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        choices.append(entry.trimmed());
    return choices;
}

}  // namespace

CVexoDoc::CVexoDoc(CSettings& settings, QObject* parent) : QObject(parent), settings_(settings)
{
    settings_.ReadAllDefaults();
    alternateFonts_ = settings_.ReadInt(QStringLiteral("ALTFONT"), QStringLiteral("ENABLE")) == 1;
    rasterEffectsDisabled_ = settings_.ReadInt(QStringLiteral("EFFECT"), QStringLiteral("DISABLE_RASTER")) == 1;
}

CVexoDoc::~CVexoDoc()
{
    // Views may still hold elements; they are told before the trees go.
    selected_ = nullptr;
    job_.Close();
}

void CVexoDoc::Open(const QString& path)
{
    path_ = path;
    StartLoad();
}

void CVexoDoc::Reload() { StartLoad(); }

void CVexoDoc::StartLoad()
{
    selected_ = nullptr;
    emit cleared();
    // Stop and join the previous load before its documents are deleted.
    job_.Close();
    if (path_.isEmpty()) {
        emit stateChanged();
        return;
    }

    const QFileInfo file(path_);
    settings_.Write(QStringLiteral("DIR"), QStringLiteral("LASTOPEN"), file.absolutePath());
    settings_.Write(QStringLiteral("FILES"), QStringLiteral("LASTOPEN"), file.absoluteFilePath());
    settings_.SaveDirectory();
    svg::CDocOptions options = settings_.LoadOptions();
    options.desktop = desktop_;

    const std::uint64_t generation = ++generation_;
    completionPending_ = true;
    QPointer<CVexoDoc> self(this);
    job_.Start(path_.toStdString(), std::move(options), [self, generation](const svg::CElemDocument*) {
        // On the loading thread: hand over to the user-interface thread.
        QMetaObject::invokeMethod(
            self.data(), [self, generation] { if (self) self->OnLoadFinished(generation); },
            Qt::QueuedConnection);
    });
    emit stateChanged();
}

void CVexoDoc::OnLoadFinished(std::uint64_t generation)
{
    if (generation != generation_ || !completionPending_)
        return;  // a load that has since been stopped or replaced
    completionPending_ = false;
    job_.Wait();
    emit loaded();
    emit stateChanged();
}

void CVexoDoc::WaitForLoad()
{
    job_.Wait();
    if (completionPending_)
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    // A stopped load sends no completion notice.
    completionPending_ = false;
}

void CVexoDoc::StopLoading()
{
    completionPending_ = false;
    selected_ = nullptr;
    emit cleared();
    job_.Close();
    emit stateChanged();
}

void CVexoDoc::Close()
{
    StopLoading();
    path_.clear();
    emit stateChanged();
}

const svg::CElemDocument* CVexoDoc::Root() const
{
    const svg::DocumentList* documents = Documents();
    return documents != nullptr ? documents->Main() : nullptr;
}

const svg::DocumentList* CVexoDoc::Documents() const
{
    if (job_.Running() || job_.Load() == nullptr)
        return nullptr;
    return &job_.Load()->Documents();
}

const svg::CElem* CVexoDoc::FollowReference(const svg::CElem& from, const std::string& reference)
{
    const svg::DocumentList* documents = Documents();
    if (documents == nullptr)
        return nullptr;
    const std::size_t before = documents->Size();
    const svg::CElem* target = job_.FollowReference(from, reference);
    if (documents->Size() > before)
        emit documentsAdded();
    return target;
}

QString CVexoDoc::CollectedText() const
{
    const svg::CElemDocument* root = Root();
    if (root == nullptr)
        return {};
    // The texts as laid out, each ended by a line feed; the last one needs none.
    QString text = QString::fromStdString(root->textBuffer);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

void CVexoDoc::SelectElement(const svg::CElem* elem)
{
    selected_ = elem;
    emit elementSelected(elem);
}

// --- Options ----------------------------------------------------------------

void CVexoDoc::SetAlternateFonts(bool enabled)
{
    alternateFonts_ = enabled;
    settings_.Write(QStringLiteral("ALTFONT"), QStringLiteral("ENABLE"), enabled ? QStringLiteral("1") : QStringLiteral("0"));
    if (!path_.isEmpty())
        Reload();
    emit stateChanged();
}

void CVexoDoc::SetRasterEffectsDisabled(bool disabled)
{
    rasterEffectsDisabled_ = disabled;
    settings_.Write(QStringLiteral("EFFECT"), QStringLiteral("DISABLE_RASTER"),
                    disabled ? QStringLiteral("1") : QStringLiteral("0"));
    if (!path_.isEmpty())
        Reload();
    emit stateChanged();
}

QStringList CVexoDoc::LanguageChoices() const
{
    return SplitChoices(settings_.Read(kMisc, QStringLiteral("SYSTEM_LANGUAGE_LIST")));
}

QStringList CVexoDoc::MediaChoices() const
{
    return SplitChoices(settings_.Read(kMisc, QStringLiteral("MEDIA_LIST")));
}

QStringList CVexoDoc::FilterResolutionChoices()
{
    return {QStringLiteral("x0.25"), QStringLiteral("x0.5"), QStringLiteral("x1.0"), QStringLiteral("x1.5"),
            QStringLiteral("x2.0")};
}

QString CVexoDoc::Language() const { return settings_.Read(kMisc, QStringLiteral("SYSTEM_LANGUAGE")); }
QString CVexoDoc::Media() const { return settings_.Read(kMisc, QStringLiteral("MEDIA")); }
QString CVexoDoc::FilterResolution() const { return settings_.Read(kMisc, QStringLiteral("FILTER_RES")); }

// A selector change reloads the current file; with no file opened yet there
// is nothing to reload (a load of an empty path would only report an error).
void CVexoDoc::SetLanguage(const QString& language)
{
    settings_.Write(kMisc, QStringLiteral("SYSTEM_LANGUAGE"), language);
    Reload();
}

void CVexoDoc::SetMedia(const QString& media)
{
    settings_.Write(kMisc, QStringLiteral("MEDIA"), media);
    Reload();
}

void CVexoDoc::SetFilterResolution(const QString& resolution)
{
    settings_.Write(kMisc, QStringLiteral("FILTER_RES"), resolution);
    Reload();
}

}  // namespace vexo
