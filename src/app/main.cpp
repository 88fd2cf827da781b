// vexo: the desktop viewer. `vexo [FILE]` opens the window, and the file when
// one is given.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include "app/desktop_defaults.h"
#include "app/desktop_language.h"
#include "app/main_frame.h"
#include "app/settings.h"
#include "app/svg_part_view.h"
#include "app/vexo_doc.h"
#include "model/references.h"
#include "app/vexo_view.h"
#include "base/huge_page_heap.h"

int main(int argc, char* argv[])
{
    svg::StartWithHugePageHeap(argv);
    svg::KeepLargeBlocksInHeap(64 << 20);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexo"));
    QApplication::setApplicationVersion(QStringLiteral(VEXO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("vexo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Viewer for static SVG 1.1 documents"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(QStringLiteral("settings"), QStringLiteral("Use FILE as the settings file."),
                                            QStringLiteral("FILE"));
    parser.addOption(settingsOption);
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"), QStringLiteral("Save a picture of the window to FILE once the file has loaded, then quit."),
        QStringLiteral("FILE"));
    parser.addOption(screenshotOption);
    const QCommandLineOption selectOption(
        QStringLiteral("select"),
        QStringLiteral("Select the element with id ID once the file has loaded (with --screenshot: the picture is "
                       "taken once the part view has drawn it)."),
        QStringLiteral("ID"));
    parser.addOption(selectOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The SVG or SVGZ file to open."), QStringLiteral("[file]"));
    parser.process(app);

    vexo::CSettings settings(parser.isSet(settingsOption) ? parser.value(settingsOption)
                                                         : vexo::CSettings::DefaultPath());
    // First start: documents' language tests follow the desktop's language
    // when the list offers it, rather than the list's built-in default.
    if (!QFileInfo::exists(settings.Path())) {
        const QString language = vexo::DesktopLanguage(
            settings.Read(QStringLiteral("MISC"), QStringLiteral("SYSTEM_LANGUAGE_LIST")).split(QLatin1Char(',')),
            qgetenv("LANGUAGE"), qgetenv("LANG"));
        if (!language.isEmpty())
            settings.Write(QStringLiteral("MISC"), QStringLiteral("SYSTEM_LANGUAGE"), language);
    }
    vexo::CVexoDoc doc(settings);
    doc.SetDesktopStyle(vexo::ReadDesktopStyle());
    vexo::CMainFrame frame(doc, settings);
    frame.show();
    if (parser.isSet(screenshotOption)) {
        const QString target = parser.value(screenshotOption);
        auto saveAndQuit = [&frame, target] {
            // Let the window paint the new state, and the view's tiles
            // arrive (for at most a minute), before it is grabbed.
            auto* poll = new QTimer(&frame);
            QObject::connect(poll, &QTimer::timeout, &frame, [&frame, target, poll, waitedMs = 0]() mutable {
                waitedMs += poll->interval();
                if (!frame.View()->Drawn() && waitedMs < 60000)
                    return;
                poll->stop();
                const bool saved = frame.grab().save(target);
                QApplication::exit(saved ? 0 : 1);
            });
            poll->start(200);
        };
        if (parser.positionalArguments().isEmpty())
            saveAndQuit();
        else if (parser.isSet(selectOption))
            QObject::connect(frame.PartView(), &vexo::CSvgPartView::pictureChanged, &frame, saveAndQuit);
        else
            QObject::connect(&doc, &vexo::CVexoDoc::loaded, &frame, saveAndQuit);
    }
    if (parser.isSet(selectOption)) {
        const std::string reference = "#" + parser.value(selectOption).toStdString();
        QObject::connect(&doc, &vexo::CVexoDoc::loaded, &frame, [&doc, reference] {
            if (doc.Root() != nullptr && doc.Documents() != nullptr)
                doc.SelectElement(svg::FindLoadedReference(*doc.Root(), reference, *doc.Documents()));
        });
    }
    // A screenshot is no use of the file: the recent list stays as it was.
    if (const QStringList files = parser.positionalArguments(); !files.isEmpty() && parser.isSet(screenshotOption))
        doc.Open(files.first());
    else if (!files.isEmpty())
        frame.Open(files.first());
    return QApplication::exec();
}
