#include "render/output.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace svg {
namespace {

constexpr int kMaxSide = 32767;

// PDF measures in points; the picture's units are CSS pixels at 96 dpi.
constexpr double kPointsPerPixel = 72.0 / 96.0;

}  // namespace

OutputSize ComputeOutputSize(const RectF& frame, std::optional<int> width, std::optional<int> height, double zoom)
{
    const double frameWidth = frame.width > kEmptyEpsilon ? frame.width : 100;
    const double frameHeight = frame.height > kEmptyEpsilon ? frame.height : 100;
    if (!(zoom > 0) || !std::isfinite(zoom))
        zoom = 1;
    double scale = zoom;
    double outWidth = frameWidth * zoom;
    double outHeight = frameHeight * zoom;
    if (width && height) {
        scale = std::min(*width / frameWidth, *height / frameHeight);
        outWidth = *width;
        outHeight = *height;
    } else if (width) {
        scale = *width / frameWidth;
        outWidth = *width;
        outHeight = frameHeight * scale;
    } else if (height) {
        scale = *height / frameHeight;
        outHeight = *height;
        outWidth = frameWidth * scale;
    }
    // Keep within cairo's image size, shrinking both sides alike.
    const double shrink = std::min({1.0, kMaxSide / outWidth, kMaxSide / outHeight});
    scale *= shrink;
    outWidth *= shrink;
    outHeight *= shrink;

    OutputSize size;
    size.width = std::clamp(static_cast<int>(std::lround(outWidth)), 1, kMaxSide);
    size.height = std::clamp(static_cast<int>(std::lround(outHeight)), 1, kMaxSide);
    size.scale = scale;
    size.offsetX = (size.width - frameWidth * scale) / 2 - frame.x * scale;
    size.offsetY = (size.height - frameHeight * scale) / 2 - frame.y * scale;
    return size;
}

std::optional<OutputFormat> FormatFromPath(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return std::nullopt;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "png")
        return OutputFormat::Png;
    if (extension == "pdf")
        return OutputFormat::Pdf;
    if (extension == "svg")
        return OutputFormat::Svg;
    return std::nullopt;
}

namespace {

// Draws the picture into a surface of `format` whose bytes go to `write`.
bool WritePictureToStream(const DrawPicture& draw, cairo_write_func_t write, void* closure, OutputFormat format,
                          const OutputSize& size, const std::optional<Rgba>& background, std::string& error)
{
    cairo_surface_t* surface = nullptr;
    double unit = 1;  // output units per output pixel
    switch (format) {
    case OutputFormat::Png:
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
        break;
    case OutputFormat::Pdf:
        unit = kPointsPerPixel;
        surface = cairo_pdf_surface_create_for_stream(write, closure, size.width * unit, size.height * unit);
        break;
    case OutputFormat::Svg:
        surface = cairo_svg_surface_create_for_stream(write, closure, size.width, size.height);
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
        break;
    }
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, unit, unit);
    if (background) {
        cairo_set_source_rgba(cr, background->r / 255.0, background->g / 255.0, background->b / 255.0,
                              background->a / 255.0);
        cairo_paint(cr);
    }
    draw(cr, Matrix{size.scale, 0, 0, size.scale, size.offsetX, size.offsetY});
    cairo_destroy(cr);

    cairo_status_t status = cairo_surface_status(surface);
    if (status == CAIRO_STATUS_SUCCESS && format == OutputFormat::Png)
        status = cairo_surface_write_to_png_stream(surface, write, closure);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length)
{
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                                     : CAIRO_STATUS_WRITE_ERROR;
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

DrawPicture Replaying(const CPicture& picture)
{
    return [&picture](cairo_t* cr, const Matrix& userToDevice) { picture.Replay(cr, userToDevice); };
}

}  // namespace

bool WritePicture(const CPicture& picture, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error)
{
    return WriteDrawing(Replaying(picture), path, format, size, background, error);
}

bool WriteDrawing(const DrawPicture& draw, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    bool written = WritePictureToStream(draw, WriteToFile, file, format, size, background, error);
    if (std::fclose(file) != 0 && written) {
        error = std::strerror(errno);
        written = false;
    }
    return written;
}

bool WritePictureToBytes(const CPicture& picture, OutputFormat format, const OutputSize& size,
                         const std::optional<Rgba>& background, std::string& bytes, std::string& error)
{
    bytes.clear();
    return WritePictureToStream(Replaying(picture), AppendToString, &bytes, format, size, background, error);
}

}  // namespace svg
