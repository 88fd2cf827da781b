// The user's settings: one INI file of sections and keys. Every read goes
// through Read, which writes the default of a key missing from the file back
// into it (so the file lists every setting once it has been read) and expands
// the folder macros {CURDIR}, {EXEDIR}, {DOCUMENTS} and {DESKTOP}.
//
// The file is `vexo.ini` beside the program when that file exists and is
// writable (portable use), else `vexo.ini` in the user's configuration folder
// ($XDG_CONFIG_HOME/vexo). VEXO_INI names another file, for tests and scripts.
// The file is kept in its own order and written at once on every change; only
// the user-interface thread touches it.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace svg {
struct CDocOptions;
}

namespace vexo {

class CSettings {
public:
    // Opens (not yet creating) the file at `path`.
    explicit CSettings(QString path);
    // The file chosen as described above.
    static QString DefaultPath();

    const QString& Path() const { return path_; }

    // The value of [section] key: "*" when neither the file nor the table of
    // defaults has one. Macros are expanded; at most 1024 characters.
    QString Read(const QString& section, const QString& key);
    // Read, converted like the C runtime's atoi: no number gives 0.
    int ReadInt(const QString& section, const QString& key);
    double ReadDouble(const QString& section, const QString& key);
    void Write(const QString& section, const QString& key, const QString& value);
    // Reads every key that has a default, so that a new file lists them all.
    void ReadAllDefaults();

    // The save folder (DIR/SAVE), created when missing; "*" becomes the
    // folder "save" in the user's data folder and is written back.
    QString SaveDirectory();

    // The load options of the next load, from MISC, ALTFONT and EFFECT, with
    // DEFAULT_DPI, DEFAULT_EM and DEFAULT_XHEIGHT as the unit conversion
    // defaults (clamped; 0 or no number keeps the built-in one) and
    // ALLOW_ANY_FILE (1: documents may use files outside their folder).
    svg::CDocOptions LoadOptions();

    // The recent-file list, newest first, at most kRecentFileCount entries.
    static constexpr int kRecentFileCount = 9;
    QStringList RecentFiles();
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);

    // Expands the folder macros in `value`.
    static QString ExpandMacros(QString value);

private:
    struct Entry {
        QString section;
        QString key;
        QString value;
    };
    void Load();
    void Save() const;
    // Sets the value in memory; Save writes it out.
    void Store(const QString& section, const QString& key, const QString& value);
    // The stored value, or the key's default, stored (not saved) when the
    // file lacks it; `defaultStored` tells whether it was.
    QString Lookup(const QString& section, const QString& key, bool& defaultStored);
    void StoreRecentFiles(const QStringList& files);
    const QString* Find(const QString& section, const QString& key) const;

    QString path_;
    bool loaded_ = false;
    std::vector<Entry> entries_;
};

// The filter resolution factor of a FILTER_RES value such as "x1.5": the
// number after the first character when it is greater than 0.1, else the
// default 1.5.
float ParseFilterResolution(const QString& value);

}  // namespace vexo
