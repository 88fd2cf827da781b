#include "app/folder_browser.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace vexo {
namespace {

// Names as file managers order them: runs of digits by their value ("img9"
// before "img10"), the rest case-insensitively, and names that differ only
// in case or leading zeros by their code points, so that the order is total.
// (Qt's collator needs ICU for numbers; not every build has it.)
int CompareNames(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            // Without leading zeros, the longer run is the greater number.
            QStringView digitsA = QStringView(a).mid(i, endA - i);
            QStringView digitsB = QStringView(b).mid(j, endB - j);
            while (digitsA.size() > 1 && digitsA.front() == u'0')
                digitsA = digitsA.mid(1);
            while (digitsB.size() > 1 && digitsB.front() == u'0')
                digitsB = digitsB.mid(1);
            if (digitsA.size() != digitsB.size())
                return digitsA.size() < digitsB.size() ? -1 : 1;
            if (const int compared = digitsA.compare(digitsB); compared != 0)
                return compared;
            i = endA;
            j = endB;
            continue;
        }
        const QChar charA = a[i].toCaseFolded();
        const QChar charB = b[j].toCaseFolded();
        if (charA != charB)
            return charA < charB ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}

bool IsSvgName(const QString& name)
{
    return name.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".svgz"), Qt::CaseInsensitive);
}

}  // namespace

QStringList SvgFilesIn(const QString& folder)
{
    QDir dir(folder);
    QStringList names;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        if (IsSvgName(entry.fileName()))
            names.append(entry.fileName());
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return CompareNames(a, b) < 0; });
    QStringList paths;
    for (const QString& name : names)
        paths.append(dir.absoluteFilePath(name));
    return paths;
}

QString NeighbourSvgFile(const QString& path, int step)
{
    const QFileInfo current(path);
    const QString self = current.absoluteFilePath();
    QStringList files = SvgFilesIn(current.absolutePath());
    files.removeAll(self);
    if (files.isEmpty() || step == 0)
        return {};
    // Where the current file sorts among the others (it may have gone).
    const QString name = current.fileName();
    const auto before = [&name](const QString& other) { return CompareNames(QFileInfo(other).fileName(), name) < 0; };
    const int position = int(std::count_if(files.begin(), files.end(), before));
    const int count = int(files.size());
    // `position` is the first file after; the one before is position - 1.
    const int index = step > 0 ? position + step - 1 : position + step;
    return files[((index % count) + count) % count];
}

}  // namespace vexo
