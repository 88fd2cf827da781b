// Shared set-up for the shell's Qt tests: a private settings file, temporary
// SVG files, the settings-and-document fixture most of them start from, and
// waiting for a load to finish.
#pragma once

#include <QObject>
#include <QAction>
#include <QWidget>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "app/settings.h"
#include "app/vexo_doc.h"
#include "model/document.h"
#include "model/references.h"

namespace vexo::test {

// A temporary folder whose vexo.ini the application uses (VEXO_INI), with
// XDG folders inside it so that nothing outside is touched.
class TestEnvironment {
public:
    TestEnvironment();
    QString IniPath() const { return dir_.filePath(QStringLiteral("vexo.ini")); }
    // Writes `text` to a file of that name in the folder; returns its path.
    QString WriteFile(const QString& name, const QByteArray& text) const;
    QString Path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// A test object with a private environment, its settings and an application
// document: made in that order by MakeDocument(), dropped in reverse by
// DropDocument() (views on the document must go first).
class DocTestBase : public QObject {
protected:
    void MakeDocument()
    {
        env_ = std::make_unique<TestEnvironment>();
        settings_ = std::make_unique<CSettings>(env_->IniPath());
        doc_ = std::make_unique<CVexoDoc>(*settings_);
    }
    // The element `reference` ("#id", "file#id") names from the main document.
    const svg::CElem* Find(const std::string& reference) const
    {
        return doc_ && doc_->Root() ? svg::FindLoadedReference(*doc_->Root(), reference, *doc_->Documents()) : nullptr;
    }
    void DropDocument()
    {
        doc_.reset();
        settings_.reset();
        env_.reset();
    }

    std::unique_ptr<TestEnvironment> env_;
    std::unique_ptr<CSettings> settings_;
    std::unique_ptr<CVexoDoc> doc_;
};

// An SVG document of `count` small rectangles, slow enough to load that a
// test can stop or replace the load while it runs.
QByteArray ManyRects(int count);

// Opens `path` and waits until its load has finished and loaded() was sent.
void OpenAndWait(CVexoDoc& doc, const QString& path);

// The file of the test data folder tests/<relative>.
QString DataPath(const QString& relative);

// The window's action whose text, without its '&' marks, is `text`; null when none.
QAction* FindAction(QWidget* window, const QString& text);

}  // namespace vexo::test
