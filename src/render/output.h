// Writing a recorded picture to files: the vector formats PDF, SVG,
// PostScript and EPS through cairo's surfaces, and the raster formats PNG,
// JPEG, TIFF, GIF, BMP and WebP through raster_encode.h. The picture is
// replayed on the calling thread; nothing is shared between calls.
#pragma once

#include <cairo.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "render/render.h"

namespace svg {

class CMessageLog;

struct OutputSize {
    int width = 0;   // pixels
    int height = 0;  // pixels
    // Picture units to output pixels; the picture is centred when the
    // requested size has another aspect ratio.
    double scale = 1;
    double offsetX = 0;
    double offsetY = 0;
    // The size asked for, in pixels, when it did not fit the pixel budget
    // and was scaled down to width x height; 0 when it fitted.
    double requestedWidth = 0;
    double requestedHeight = 0;

    bool Reduced() const { return requestedWidth > 0; }
};

// The output size for a picture frame: the frame at `zoom` by default; with
// only a width or only a height the other follows the aspect ratio; with
// both, the picture is fitted inside and centred. Sizes are at least 1 pixel;
// a size of more than limits::kMaxOutputPixels pixels, or more than 32767 on
// a side (the largest cairo image), is scaled down to fit, keeping the
// aspect ratio, and says what was asked for.
OutputSize ComputeOutputSize(const RectF& frame, std::optional<int> width, std::optional<int> height,
                             double zoom);

// Reports that `size` was scaled down to fit the pixel budget, when it was.
void ReportReducedOutput(const OutputSize& size, CMessageLog& log);

enum class OutputFormat { Png, Pdf, Svg, Ps, Eps, Jpeg, Tiff, Gif, Bmp, Webp };

// By file extension, in any case (.png, .pdf, .svg, .ps, .eps, .jpg, .jpeg,
// .tif, .tiff, .gif, .bmp, .webp); null for an unknown one or none.
std::optional<OutputFormat> FormatFromPath(std::string_view path);
// By a format name as the extensions above spell it ("png", "JPEG", "tif").
std::optional<OutputFormat> FormatFromName(std::string_view name);
// The usual extension, without the dot: "png", "jpg", "tif".
const char* FormatExtension(OutputFormat format);
// Formats made of pixels (the others are vector formats).
bool IsRasterFormat(OutputFormat format);

// Replays `picture` into a file of `format`, over `background` when given.
// Returns false (with `error` set) when the file cannot be written.
bool WritePicture(const CPicture& picture, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error);
// The same file's bytes, in memory (for the clipboard).
bool WritePictureToBytes(const CPicture& picture, OutputFormat format, const OutputSize& size,
                         const std::optional<Rgba>& background, std::string& bytes, std::string& error);
// The same bytes handed to `write` as they are made (standard output).
bool WritePictureToStream(const CPicture& picture, cairo_write_func_t write, void* closure, OutputFormat format,
                          const OutputSize& size, const std::optional<Rgba>& background, std::string& error);

// Draws a picture onto `cr`, `userToDevice` mapping the picture's units onto
// cr's current user space.
using DrawPicture = std::function<void(cairo_t* cr, const Matrix& userToDevice)>;
// WritePicture and WritePictureToStream for a picture drawn by `draw` (a
// document drawn straight onto the output, with no recording in between).
bool WriteDrawing(const DrawPicture& draw, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error);
bool WriteDrawingToStream(const DrawPicture& draw, cairo_write_func_t write, void* closure, OutputFormat format,
                          const OutputSize& size, const std::optional<Rgba>& background, std::string& error);

}  // namespace svg
