// Export: writing a picture to a file chosen in a save dialog, for the whole
// document (File menu) and for the part view's element. The dialog offers
// the vector formats PDF, SVG and PostScript (standing in for the metafile)
// and the raster formats PNG, JPEG, TIFF, GIF, BMP and WebP; the format
// follows the name's extension in any case, and a name without a known
// extension takes the chosen filter's. The folder of the last export is kept
// in DIR/LASTSAVE. User-interface thread only.
#pragma once

#include <QString>
#include <optional>

#include "render/output.h"

class QWidget;

namespace svg {
class CPicture;
}

namespace vexo {

class CSettings;

// The save dialog's filters, one per format, in the order offered.
QStringList ExportFilters();

struct ExportTarget {
    QString path;
    svg::OutputFormat format = svg::OutputFormat::Pdf;
};

// The file and format for a name typed in the dialog with `selectedFilter`
// chosen: a known extension in any case decides; ".emf" (the metafile the
// vector formats replace) becomes ".svg"; any other name gets the filter's
// extension appended.
ExportTarget ResolveExportTarget(const QString& typedPath, const QString& selectedFilter);

// Asks for the file (with the overwrite prompt, again when the name had to
// be changed), starting in DIR/LASTSAVE's folder with `suggestedName`, and
// stores the chosen path in DIR/LASTSAVE. Null when the user cancels.
std::optional<ExportTarget> AskExportTarget(QWidget* parent, CSettings& settings, const QString& suggestedName);

// Writes `picture` at its natural size (one pixel a user unit) over its
// frame: raster formats composed over white, vector formats as they are.
// False with `error` set when the file cannot be written.
bool ExportPicture(const svg::CPicture& picture, const ExportTarget& target, QString& error);

// Ask, write and tell: the message box "Failed to export" on failure.
// True when a file was written.
bool ExportWithDialog(QWidget* parent, CSettings& settings, const svg::CPicture& picture,
                      const QString& suggestedName);

}  // namespace vexo
