#include "app/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <algorithm>
#include <cstdlib>

#include "model/document.h"
#include "values/number.h"

namespace vexo {
namespace {

constexpr int kMaxValueLength = 1024;

struct Default {
    const char* section;
    const char* key;
    const char* value;
};

constexpr Default kDefaults[] = {
    {"MISC", "SYSTEM_LANGUAGE", "ja"},
    {"MISC", "SYSTEM_LANGUAGE_LIST", "ar,de,el,en,eo,es,fr,ja,ko,la,ms,ru,zh"},
    {"MISC", "MEDIA", "screen"},
    {"MISC", "MEDIA_LIST", "braille,embossed,handheld,print,projection,screen,speech,tty,tv"},
    {"MISC", "NOCLIP_TOPLEVEL_VP", "0"},
    {"MISC", "FILTER_RES", "x1.5"},
    {"MISC", "DEFAULT_DPI", "96"},
    {"MISC", "DEFAULT_EM", "15.5"},
    {"MISC", "DEFAULT_XHEIGHT", "5.0"},
    // 1: documents may use any local file, not only those in their folder.
    {"MISC", "ALLOW_ANY_FILE", "0"},
    {"ALTFONT", "ENABLE", "1"},
    {"ALTFONT", "FONTS", "'Arial','MS UI Gothic'"},
    {"EFFECT", "DISABLE_RASTER", "0"},
    {"PRINT", "USEINCHES", "0"},
    {"PRINT", "PAPERSIZE", "0"},
    {"PRINT", "ORIENTATION", "1"},
    {"PRINT", "FITSIZE", "0"},
    {"PRINT", "DRAW.PAGE_FRAME", "0"},
    {"PRINT", "DRAW.VIEWPORT_FRAME", "0"},
    {"PRINT", "DRAW.TITLE", "0"},
    {"PRINT", "DRAW.PAGE_NO", "1"},
    {"PRINT", "MARGIN.LEFT", "1500"},
    {"PRINT", "MARGIN.TOP", "1500"},
    {"PRINT", "MARGIN.RIGHT", "1500"},
    {"PRINT", "MARGIN.BOTTOM", "1500"},
};

QString DefaultFor(const QString& section, const QString& key)
{
    for (const Default& entry : kDefaults) {
        if (section == QLatin1String(entry.section) && key == QLatin1String(entry.key))
            return QString::fromUtf8(entry.value);
    }
    return QStringLiteral("*");
}

QString RecentKey(int index) { return QStringLiteral("FILE%1").arg(index + 1); }

}  // namespace

CSettings::CSettings(QString path) : path_(std::move(path)) {}

QString CSettings::DefaultPath()
{
    if (const QByteArray overridden = qgetenv("VEXO_INI"); !overridden.isEmpty())
        return QString::fromLocal8Bit(overridden);
    const QFileInfo portable(QCoreApplication::applicationDirPath() + QStringLiteral("/vexo.ini"));
    if (portable.exists() && portable.isWritable())
        return portable.absoluteFilePath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vexo/vexo.ini");
}

QString CSettings::ExpandMacros(QString value)
{
    if (!value.contains(QLatin1Char('{')))
        return value;
    value.replace(QStringLiteral("{CURDIR}"), QDir::currentPath());
    value.replace(QStringLiteral("{EXEDIR}"), QCoreApplication::applicationDirPath());
    value.replace(QStringLiteral("{DOCUMENTS}"),
                  QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    value.replace(QStringLiteral("{DESKTOP}"), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    return value;
}

void CSettings::Load()
{
    loaded_ = true;
    entries_.clear();
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    QString section;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || section.isEmpty())
            continue;
        const QString key = line.left(equals).trimmed();
        Store(section, key, line.mid(equals + 1).trimmed());
    }
}

void CSettings::Save() const
{
    const QFileInfo info(path_);
    QDir().mkpath(info.absolutePath());
    // Written whole through a temporary file, so a crash never leaves half a file.
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(&file);
    // Sections in the order first met, keys in the order written.
    QStringList sections;
    for (const Entry& entry : entries_) {
        if (!sections.contains(entry.section))
            sections.append(entry.section);
    }
    for (const QString& section : sections) {
        out << '[' << section << "]\n";
        for (const Entry& entry : entries_) {
            if (entry.section == section)
                out << entry.key << '=' << entry.value << '\n';
        }
        out << '\n';
    }
    out.flush();
    file.commit();
}

const QString* CSettings::Find(const QString& section, const QString& key) const
{
    for (const Entry& entry : entries_) {
        if (entry.section == section && entry.key == key)
            return &entry.value;
    }
    return nullptr;
}

void CSettings::Store(const QString& section, const QString& key, const QString& value)
{
    for (Entry& entry : entries_) {
        if (entry.section == section && entry.key == key) {
            entry.value = value;
            return;
        }
    }
    entries_.push_back({section, key, value});
}

QString CSettings::Lookup(const QString& section, const QString& key, bool& defaultStored)
{
    if (!loaded_)
        Load();
    const QString* stored = Find(section, key);
    if (stored != nullptr && *stored != QLatin1String("*"))
        return *stored;
    QString value = DefaultFor(section, key);
    defaultStored = stored == nullptr || *stored != value;
    if (defaultStored)
        Store(section, key, value);
    return value;
}

QString CSettings::Read(const QString& section, const QString& key)
{
    bool defaultStored = false;
    const QString value = Lookup(section, key, defaultStored);
    if (defaultStored)
        Save();
    return ExpandMacros(value).left(kMaxValueLength);
}

int CSettings::ReadInt(const QString& section, const QString& key)
{
    return std::atoi(Read(section, key).toUtf8().constData());
}

double CSettings::ReadDouble(const QString& section, const QString& key)
{
    return std::atof(Read(section, key).toUtf8().constData());
}

void CSettings::Write(const QString& section, const QString& key, const QString& value)
{
    if (!loaded_)
        Load();
    Store(section, key, value);
    Save();
}

void CSettings::ReadAllDefaults()
{
    // One write of the file for all of them.
    bool anyStored = false;
    for (const Default& entry : kDefaults) {
        bool defaultStored = false;
        Lookup(QString::fromLatin1(entry.section), QString::fromLatin1(entry.key), defaultStored);
        anyStored = anyStored || defaultStored;
    }
    if (anyStored)
        Save();
}

QString CSettings::SaveDirectory()
{
    QString directory = Read(QStringLiteral("DIR"), QStringLiteral("SAVE"));
    if (directory == QLatin1String("*")) {
        directory = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/vexo/save");
        Write(QStringLiteral("DIR"), QStringLiteral("SAVE"), directory);
    }
    QDir().mkpath(directory);
    return directory;
}

float ParseFilterResolution(const QString& value)
{
    constexpr float kDefault = 1.5f;
    if (value.size() < 2 || value == QLatin1String("*"))
        return kDefault;
    const double factor = std::atof(value.mid(1).toUtf8().constData());
    return factor > 0.1 ? static_cast<float>(factor) : kDefault;
}

svg::CDocOptions CSettings::LoadOptions()
{
    svg::CDocOptions options;
    const QString misc = QStringLiteral("MISC");
    options.media = Read(misc, QStringLiteral("MEDIA")).toStdString();
    options.language = Read(misc, QStringLiteral("SYSTEM_LANGUAGE")).toStdString();
    options.rasterEffectsDisabled = ReadInt(QStringLiteral("EFFECT"), QStringLiteral("DISABLE_RASTER")) == 1;
    options.alternateFontsEnabled = ReadInt(QStringLiteral("ALTFONT"), QStringLiteral("ENABLE")) == 1;
    options.alternateFontList = Read(QStringLiteral("ALTFONT"), QStringLiteral("FONTS")).toStdString();
    options.noClipTopLevelViewport = ReadInt(misc, QStringLiteral("NOCLIP_TOPLEVEL_VP")) != 0;
    options.filterResolutionFactor = ParseFilterResolution(Read(misc, QStringLiteral("FILTER_RES")));
    options.fileAccess.allowAnyFile = ReadInt(misc, QStringLiteral("ALLOW_ANY_FILE")) == 1;
    // Unit conversion, clamped; 0 is also what a value without a number
    // reads as: it keeps the default.
    if (const double dpi = ReadDouble(misc, QStringLiteral("DEFAULT_DPI")); dpi != 0)
        options.dpi = static_cast<float>(std::clamp(dpi, 10.0, 1000.0));
    if (const double em = ReadDouble(misc, QStringLiteral("DEFAULT_EM")); em != 0)
        options.defaultFontSize = static_cast<float>(std::clamp(em, 1.0, 400.0));
    if (const double ex = ReadDouble(misc, QStringLiteral("DEFAULT_XHEIGHT")); ex != 0)
        options.defaultXHeight = static_cast<float>(std::clamp(ex, 1.0, 400.0));
    return options;
}

QStringList CSettings::RecentFiles()
{
    if (!loaded_)
        Load();
    QStringList files;
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString* path = Find(QStringLiteral("RECENT"), RecentKey(i));
        if (path != nullptr && !path->isEmpty())
            files.append(*path);
    }
    return files;
}

void CSettings::AddRecentFile(const QString& path)
{
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    StoreRecentFiles(files);
}

void CSettings::RemoveRecentFile(const QString& path)
{
    QStringList files = RecentFiles();
    if (files.removeAll(path) > 0)
        StoreRecentFiles(files);
}

void CSettings::StoreRecentFiles(const QStringList& files)
{
    const QString section = QStringLiteral("RECENT");
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString key = RecentKey(i);
        const QString value = i < files.size() ? files[i] : QString();
        if (!value.isEmpty() || Find(section, key) != nullptr)
            Store(section, key, value);
    }
    Save();
}

}  // namespace vexo
