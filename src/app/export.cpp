#include "app/export.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/settings.h"
#include "render/render.h"

namespace vexo {
namespace {

struct FilterEntry {
    const char* label;
    svg::OutputFormat format;
};

constexpr FilterEntry kFilters[] = {
    {"PDF document (*.pdf)", svg::OutputFormat::Pdf},
    {"SVG drawing (*.svg)", svg::OutputFormat::Svg},
    {"PostScript (*.ps)", svg::OutputFormat::Ps},
    {"Encapsulated PostScript (*.eps)", svg::OutputFormat::Eps},
    {"PNG image (*.png)", svg::OutputFormat::Png},
    {"JPEG image (*.jpg *.jpeg)", svg::OutputFormat::Jpeg},
    {"TIFF image (*.tif *.tiff)", svg::OutputFormat::Tiff},
    {"GIF image (*.gif)", svg::OutputFormat::Gif},
    {"BMP image (*.bmp)", svg::OutputFormat::Bmp},
    {"WebP image (*.webp)", svg::OutputFormat::Webp},
};

const QString kDir = QStringLiteral("DIR");
const QString kLastSave = QStringLiteral("LASTSAVE");

svg::OutputFormat FormatOfFilter(const QString& filter)
{
    for (const FilterEntry& entry : kFilters)
        if (filter == QLatin1String(entry.label))
            return entry.format;
    return kFilters[0].format;
}

// The folder and name the dialog opens with.
QString InitialPath(CSettings& settings, const QString& suggestedName)
{
    const QString last = settings.Read(kDir, kLastSave);
    if (last == QLatin1String("*") || last.isEmpty())
        return suggestedName;
    const QFileInfo info(last);
    const QString folder = info.isDir() ? last : info.absolutePath();
    return QDir(folder).filePath(suggestedName);
}

}  // namespace

QStringList ExportFilters()
{
    QStringList filters;
    for (const FilterEntry& entry : kFilters)
        filters.append(QLatin1String(entry.label));
    return filters;
}

ExportTarget ResolveExportTarget(const QString& typedPath, const QString& selectedFilter)
{
    const std::string path = typedPath.toStdString();
    if (const std::optional<svg::OutputFormat> format = svg::FormatFromPath(path))
        return {typedPath, *format};
    const QFileInfo info(typedPath);
    if (info.suffix().compare(QLatin1String("emf"), Qt::CaseInsensitive) == 0) {
        QString svgPath = typedPath;
        svgPath.chop(3);
        return {svgPath + QStringLiteral("svg"), svg::OutputFormat::Svg};
    }
    const svg::OutputFormat format = FormatOfFilter(selectedFilter);
    QString withExtension = typedPath;
    if (!withExtension.endsWith(QLatin1Char('.')))
        withExtension += QLatin1Char('.');
    return {withExtension + QLatin1String(svg::FormatExtension(format)), format};
}

std::optional<ExportTarget> AskExportTarget(QWidget* parent, CSettings& settings, const QString& suggestedName)
{
    QString filter = QLatin1String(kFilters[0].label);
    const QString typed = QFileDialog::getSaveFileName(parent, QObject::tr("Export"),
                                                       InitialPath(settings, suggestedName),
                                                       ExportFilters().join(QStringLiteral(";;")), &filter);
    if (typed.isEmpty())
        return std::nullopt;
    const ExportTarget target = ResolveExportTarget(typed, filter);
    // The dialog asked about the name typed; a changed name is asked about here.
    if (target.path != typed && QFileInfo::exists(target.path) &&
        QMessageBox::question(parent, QObject::tr("Export"),
                              QObject::tr("%1 already exists.\nDo you want to replace it?").arg(target.path)) !=
            QMessageBox::Yes)
        return std::nullopt;
    settings.Write(kDir, kLastSave, QFileInfo(target.path).absoluteFilePath());
    return target;
}

bool ExportPicture(const svg::CPicture& picture, const ExportTarget& target, QString& error)
{
    const svg::OutputSize size = svg::ComputeOutputSize(picture.Frame(), std::nullopt, std::nullopt, 1);
    std::optional<svg::Rgba> background;
    if (svg::IsRasterFormat(target.format))
        background = svg::Rgba{255, 255, 255, 255};
    std::string reason;
    if (svg::WritePicture(picture, target.path.toStdString(), target.format, size, background, reason))
        return true;
    error = QString::fromStdString(reason);
    return false;
}

bool ExportWithDialog(QWidget* parent, CSettings& settings, const svg::CPicture& picture,
                      const QString& suggestedName)
{
    const std::optional<ExportTarget> target = AskExportTarget(parent, settings, suggestedName);
    if (!target)
        return false;
    QString error;
    if (ExportPicture(picture, *target, error))
        return true;
    QMessageBox box(QMessageBox::Warning, QObject::tr("Export"), QStringLiteral("Failed to export"), QMessageBox::Ok,
                    parent);
    box.setInformativeText(target->path + QStringLiteral(": ") + error);
    box.exec();
    return false;
}

}  // namespace vexo
