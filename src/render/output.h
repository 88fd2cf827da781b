// Writing a recorded picture to PNG, PDF or SVG files.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "render/render.h"

namespace svg {

struct OutputSize {
    int width = 0;   // pixels
    int height = 0;  // pixels
    // Picture units to output pixels; the picture is centred when the
    // requested size has another aspect ratio.
    double scale = 1;
    double offsetX = 0;
    double offsetY = 0;
};

// The output size for a picture frame: the frame at `zoom` by default; with
// only a width or only a height the other follows the aspect ratio; with
// both, the picture is fitted inside and centred. Sizes are at least 1 pixel
// and at most 32767 (the largest cairo image), keeping the aspect ratio.
OutputSize ComputeOutputSize(const RectF& frame, std::optional<int> width, std::optional<int> height,
                             double zoom);

enum class OutputFormat { Png, Pdf, Svg };

// By file extension (case-insensitive); null for an unknown one.
std::optional<OutputFormat> FormatFromPath(const std::string& path);

// Replays `picture` into a file of `format`, over `background` when given.
// Returns false (with `error` set) when the file cannot be written.
bool WritePicture(const CPicture& picture, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error);
// Draws a picture onto `cr`, `userToDevice` mapping the picture's units onto
// cr's current user space.
using DrawPicture = std::function<void(cairo_t* cr, const Matrix& userToDevice)>;
// The same for a picture drawn by `draw` (a document drawn straight onto the
// output, with no recording in between).
bool WriteDrawing(const DrawPicture& draw, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error);
// The same file's bytes, in memory (for the clipboard).
bool WritePictureToBytes(const CPicture& picture, OutputFormat format, const OutputSize& size,
                         const std::optional<Rgba>& background, std::string& bytes, std::string& error);

}  // namespace svg
