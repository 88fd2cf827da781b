#include "app/app_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>

#include "app/vexo_doc.h"

namespace vexo::test {

TestEnvironment::TestEnvironment()
{
    qputenv("VEXO_INI", IniPath().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", Path(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", Path(QStringLiteral("data")).toLocal8Bit());
    qputenv("HOME", dir_.path().toLocal8Bit());
}

QString TestEnvironment::WriteFile(const QString& name, const QByteArray& text) const
{
    const QString path = dir_.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

QByteArray ManyRects(int count)
{
    QByteArray text = "<svg xmlns='http://www.w3.org/2000/svg'>";
    for (int i = 0; i < count; ++i)
        text += "<rect width='5' height='5' fill='red'/>";
    return text + "</svg>";
}

void OpenAndWait(CVexoDoc& doc, const QString& path)
{
    doc.Open(path);
    doc.WaitForLoad();
}

QString DataPath(const QString& relative)
{
    return QStringLiteral(VEXO_TEST_DATA_DIR) + QLatin1Char('/') + relative;
}

QAction* FindAction(QWidget* window, const QString& text)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text().remove('&') == text)
            return action;
    return nullptr;
}

}  // namespace vexo::test
