// vexo: the desktop viewer. `vexo [FILE]` opens the window, and the file when
// one is given.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "app/desktop_defaults.h"
#include "app/main_frame.h"
#include "app/settings.h"
#include "app/svg_part_view.h"
#include "app/vexo_doc.h"
#include "model/references.h"

int main(int argc, char* argv[])
{
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
    vexo::CVexoDoc doc(settings);
    doc.SetDesktopStyle(vexo::ReadDesktopStyle());
    vexo::CMainFrame frame(doc, settings);
    frame.show();
    if (parser.isSet(screenshotOption)) {
        const QString target = parser.value(screenshotOption);
        auto saveAndQuit = [&frame, target] {
            // Let the window paint the new state before it is grabbed.
            QTimer::singleShot(200, &frame, [&frame, target] {
                const bool saved = frame.grab().save(target);
                QApplication::exit(saved ? 0 : 1);
            });
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
    if (const QStringList files = parser.positionalArguments(); !files.isEmpty())
        frame.Open(files.first());
    return QApplication::exec();
}
