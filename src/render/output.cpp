#include "render/output.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo-svg.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/limits.h"
#include "model/message_log.h"
#include "model/messages.h"
#include "render/raster_encode.h"

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
    // Keep within cairo's image size and the pixel budget, shrinking both
    // sides alike.
    const double budget = std::sqrt(static_cast<double>(limits::kMaxOutputPixels) / (outWidth * outHeight));
    const double shrink = std::min({1.0, kMaxSide / outWidth, kMaxSide / outHeight, budget});
    OutputSize size;
    if (shrink < 1) {
        size.requestedWidth = outWidth;
        size.requestedHeight = outHeight;
    }
    scale *= shrink;
    outWidth *= shrink;
    outHeight *= shrink;

    size.width = std::clamp(static_cast<int>(std::lround(outWidth)), 1, kMaxSide);
    size.height = std::clamp(static_cast<int>(std::lround(outHeight)), 1, kMaxSide);
    size.scale = scale;
    size.offsetX = (size.width - frameWidth * scale) / 2 - frame.x * scale;
    size.offsetY = (size.height - frameHeight * scale) / 2 - frame.y * scale;
    return size;
}

void ReportReducedOutput(const OutputSize& size, CMessageLog& log)
{
    if (size.Reduced())
        log.Report(msg::kPictureReduced, size.requestedWidth, size.requestedHeight, size.width, size.height,
                   limits::kMaxOutputPixels >> 20);
}

namespace {

struct FormatName {
    const char* name;
    OutputFormat format;
};

// The first name of each format is its usual extension.
constexpr FormatName kFormatNames[] = {
    {"png", OutputFormat::Png},   {"pdf", OutputFormat::Pdf},   {"svg", OutputFormat::Svg},
    {"ps", OutputFormat::Ps},     {"eps", OutputFormat::Eps},   {"jpg", OutputFormat::Jpeg},
    {"jpeg", OutputFormat::Jpeg}, {"tif", OutputFormat::Tiff},  {"tiff", OutputFormat::Tiff},
    {"gif", OutputFormat::Gif},   {"bmp", OutputFormat::Bmp},   {"webp", OutputFormat::Webp},
};

}  // namespace

std::optional<OutputFormat> FormatFromName(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const FormatName& entry : kFormatNames)
        if (lower == entry.name)
            return entry.format;
    return std::nullopt;
}

std::optional<OutputFormat> FormatFromPath(std::string_view path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::nullopt;
    return FormatFromName(path.substr(dot + 1));
}

const char* FormatExtension(OutputFormat format)
{
    for (const FormatName& entry : kFormatNames)
        if (entry.format == format)
            return entry.name;
    return "";
}

bool IsRasterFormat(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Pdf:
    case OutputFormat::Svg:
    case OutputFormat::Ps:
    case OutputFormat::Eps: return false;
    default: return true;
    }
}

namespace {

RasterEncoding EncodingOf(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Jpeg: return RasterEncoding::Jpeg;
    case OutputFormat::Tiff: return RasterEncoding::Tiff;
    case OutputFormat::Gif: return RasterEncoding::Gif;
    case OutputFormat::Bmp: return RasterEncoding::Bmp;
    case OutputFormat::Webp: return RasterEncoding::Webp;
    default: return RasterEncoding::Png;
    }
}

// A surface of `format` whose bytes go to `write`, `size` pixels large in
// its own units (`unit` output units a pixel).
cairo_surface_t* CreateSurface(OutputFormat format, cairo_write_func_t write, void* closure, const OutputSize& size,
                               double& unit)
{
    unit = 1;
    cairo_surface_t* surface = nullptr;
    switch (format) {
    case OutputFormat::Pdf:
        unit = kPointsPerPixel;
        return cairo_pdf_surface_create_for_stream(write, closure, size.width * unit, size.height * unit);
    case OutputFormat::Ps:
    case OutputFormat::Eps:
        unit = kPointsPerPixel;
        surface = cairo_ps_surface_create_for_stream(write, closure, size.width * unit, size.height * unit);
        cairo_ps_surface_set_eps(surface, format == OutputFormat::Eps);
        return surface;
    case OutputFormat::Svg:
        surface = cairo_svg_surface_create_for_stream(write, closure, size.width, size.height);
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
        return surface;
    default: return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
    }
}

}  // namespace

bool WritePictureToStream(const CPicture& picture, cairo_write_func_t write, void* closure, OutputFormat format,
                          const OutputSize& size, const std::optional<Rgba>& background, std::string& error)
{
    const DrawPicture replay = [&picture](cairo_t* cr, const Matrix& userToDevice) {
        picture.Replay(cr, userToDevice);
    };
    return WriteDrawingToStream(replay, write, closure, format, size, background, error);
}

bool WriteDrawingToStream(const DrawPicture& draw, cairo_write_func_t write, void* closure, OutputFormat format,
                          const OutputSize& size, const std::optional<Rgba>& background, std::string& error)
{
    double unit = 1;
    cairo_surface_t* surface = CreateSurface(format, write, closure, size, unit);
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
    bool encoded = true;
    if (status == CAIRO_STATUS_SUCCESS && IsRasterFormat(format))
        encoded = EncodeRaster(surface, EncodingOf(format), write, closure, error);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        return false;
    }
    return encoded;
}

namespace {

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

}  // namespace

bool WritePicture(const CPicture& picture, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error)
{
    const DrawPicture replay = [&picture](cairo_t* cr, const Matrix& userToDevice) {
        picture.Replay(cr, userToDevice);
    };
    return WriteDrawing(replay, path, format, size, background, error);
}

bool WriteDrawing(const DrawPicture& draw, const std::string& path, OutputFormat format, const OutputSize& size,
                  const std::optional<Rgba>& background, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    bool written = WriteDrawingToStream(draw, WriteToFile, file, format, size, background, error);
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
    return WritePictureToStream(picture, AppendToString, &bytes, format, size, background, error);
}

}  // namespace svg
