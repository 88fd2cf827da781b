#include "render/raster_encode.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "render/codec_libraries.h"

namespace svg {
namespace {

// Pixels of a cairo ARGB32 surface converted once into what encoders take.
class CSurfacePixels {
public:
    explicit CSurfacePixels(cairo_surface_t* image)
    {
        cairo_surface_flush(image);
        width_ = cairo_image_surface_get_width(image);
        height_ = cairo_image_surface_get_height(image);
        stride_ = cairo_image_surface_get_stride(image);
        data_ = cairo_image_surface_get_data(image);
    }
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Usable() const { return data_ != nullptr && width_ > 0 && height_ > 0; }

    // Row y as straight (not premultiplied) RGBA bytes.
    void RgbaRow(int y, unsigned char* out) const
    {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data_ + std::size_t(y) * stride_);
        for (int x = 0; x < width_; ++x) {
            const std::uint32_t argb = row[x];
            const unsigned alpha = argb >> 24;
            unsigned char* pixel = out + std::size_t(x) * 4;
            pixel[3] = static_cast<unsigned char>(alpha);
            for (int channel = 0; channel < 3; ++channel) {
                const unsigned value = (argb >> (16 - 8 * channel)) & 0xFF;
                pixel[channel] = alpha == 0 ? 0 : static_cast<unsigned char>((value * 255 + alpha / 2) / alpha);
            }
        }
    }
    // Row y as RGB bytes composed over white: premultiplied colour plus
    // white times the uncovered share.
    void RgbOverWhiteRow(int y, unsigned char* out) const
    {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data_ + std::size_t(y) * stride_);
        for (int x = 0; x < width_; ++x) {
            const std::uint32_t argb = row[x];
            const unsigned uncovered = 255 - (argb >> 24);
            for (int channel = 0; channel < 3; ++channel)
                out[std::size_t(x) * 3 + channel] =
                    static_cast<unsigned char>(((argb >> (16 - 8 * channel)) & 0xFF) + uncovered);
        }
    }
    std::vector<unsigned char> RgbaImage() const
    {
        std::vector<unsigned char> rgba(std::size_t(width_) * height_ * 4);
        for (int y = 0; y < height_; ++y)
            RgbaRow(y, rgba.data() + std::size_t(y) * width_ * 4);
        return rgba;
    }

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    const unsigned char* data_ = nullptr;
};

bool Emit(cairo_write_func_t write, void* closure, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    // cairo's write functions take an unsigned int length.
    constexpr std::size_t kChunk = 1 << 30;
    while (size > 0) {
        const std::size_t chunk = std::min(size, kChunk);
        if (write(closure, bytes, static_cast<unsigned>(chunk)) != CAIRO_STATUS_SUCCESS)
            return false;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

bool Finish(bool emitted, std::string& error)
{
    if (!emitted)
        error = "write error";
    return emitted;
}

// --- PNG ---------------------------------------------------------------------

// Drawings are mostly runs of flat colour: the "sub" filter with run-length
// deflate makes files within about a tenth of the default's size in half its
// time (by default libpng tries every filter on every row and zlib searches
// for matches at level 6).
constexpr int kPngCompressionLevel = 1;

struct PngOutput {
    cairo_write_func_t write;
    void* closure;
    bool failed = false;
};

void WritePngData(png_structp png, png_bytep data, png_size_t size)
{
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (!output->failed && !Emit(output->write, output->closure, data, size))
        output->failed = true;
}

void FlushPngData(png_structp) {}

[[noreturn]] void AbandonPng(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnorePngWarning(png_structp, png_const_charp) {}

// libpng leaves by longjmp on an error: nothing with a destructor lives in
// this frame; the caller owns the row.
bool CompressPng(const CSurfacePixels& pixels, unsigned char* row, PngOutput& output)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, AbandonPng, IgnorePngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &output, WritePngData, FlushPngData);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.Width()), static_cast<png_uint_32>(pixels.Height()), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, kPngCompressionLevel);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    for (int y = 0; y < pixels.Height() && !output.failed; ++y) {
        pixels.RgbaRow(y, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return !output.failed;
}

bool EncodePng(cairo_surface_t* image, cairo_write_func_t write, void* closure, std::string& error)
{
    const CSurfacePixels pixels(image);
    if (!pixels.Usable()) {
        error = "no pixels to write";
        return false;
    }
    std::vector<unsigned char> row(std::size_t(pixels.Width()) * 4);
    PngOutput output{write, closure};
    const bool written = CompressPng(pixels, row.data(), output);
    if (!written)
        error = output.failed ? "write error" : "PNG encoder failed";
    return written;
}

// --- JPEG --------------------------------------------------------------------

constexpr int kJpegQuality = 92;

struct JpegErrors {
    jpeg_error_mgr manager;  // first, so that libjpeg's pointer to it is a pointer to this
    jmp_buf jump;
};

[[noreturn]] void AbandonJpeg(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1); }
void IgnoreJpegMessage(j_common_ptr) {}

// libjpeg leaves by longjmp on an error: nothing with a destructor lives in
// this frame; the caller owns the row and the output buffer.
bool CompressJpeg(const CSurfacePixels& pixels, unsigned char* row, unsigned char** output, unsigned long* size)
{
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = AbandonJpeg;
    errors.manager.output_message = IgnoreJpegMessage;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, output, size);
    cinfo.image_width = static_cast<JDIMENSION>(pixels.Width());
    cinfo.image_height = static_cast<JDIMENSION>(pixels.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kJpegQuality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    for (int y = 0; y < pixels.Height(); ++y) {
        pixels.RgbOverWhiteRow(y, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool EncodeJpeg(const CSurfacePixels& pixels, cairo_write_func_t write, void* closure, std::string& error)
{
    std::vector<unsigned char> row(std::size_t(pixels.Width()) * 3);
    unsigned char* output = nullptr;
    unsigned long size = 0;
    const bool compressed = CompressJpeg(pixels, row.data(), &output, &size);
    const bool emitted = compressed && Emit(write, closure, output, size);
    std::free(output);
    if (!compressed) {
        error = "JPEG encoder failed";
        return false;
    }
    return Finish(emitted, error);
}

// --- TIFF --------------------------------------------------------------------

// libtiff writes through seekable client procedures: the file is assembled
// in memory and emitted whole.
struct TiffSink {
    std::string bytes;
    std::size_t position = 0;
};

tmsize_t TiffRead(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t TiffWrite(thandle_t handle, void* data, tmsize_t size)
{
    auto& sink = *static_cast<TiffSink*>(handle);
    if (size < 0)
        return -1;
    const std::size_t end = sink.position + static_cast<std::size_t>(size);
    if (end > sink.bytes.size())
        sink.bytes.resize(end);
    std::memcpy(sink.bytes.data() + sink.position, data, static_cast<std::size_t>(size));
    sink.position = end;
    return size;
}

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence)
{
    auto& sink = *static_cast<TiffSink*>(handle);
    std::size_t base = 0;
    if (whence == SEEK_CUR)
        base = sink.position;
    else if (whence == SEEK_END)
        base = sink.bytes.size();
    sink.position = base + static_cast<std::size_t>(offset);
    return sink.position;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<TiffSink*>(handle)->bytes.size(); }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

bool WriteTiffImage(TIFF* tiff, const CSurfacePixels& pixels)
{
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(pixels.Width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(pixels.Height()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 96.0f);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 96.0f);
    std::vector<unsigned char> row(std::size_t(pixels.Width()) * 4);
    for (int y = 0; y < pixels.Height(); ++y) {
        pixels.RgbaRow(y, row.data());
        if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) < 0)
            return false;
    }
    return true;
}

int SilenceTiff(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffOptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

bool EncodeTiff(const CSurfacePixels& pixels, cairo_write_func_t write, void* closure, std::string& error)
{
    TiffSink sink;
    // libtiff's default handlers print to standard error; these are this file's own.
    std::unique_ptr<TIFFOpenOptions, TiffOptionsFreer> options(TIFFOpenOptionsAlloc());
    if (options) {
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), SilenceTiff, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), SilenceTiff, nullptr);
    }
    TIFF* tiff = TIFFClientOpenExt("export", "w", &sink, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                   TiffMap, TiffUnmap, options.get());
    if (tiff == nullptr) {
        error = "TIFF encoder failed";
        return false;
    }
    const bool written = WriteTiffImage(tiff, pixels) && TIFFWriteDirectory(tiff) == 1;
    TIFFClose(tiff);
    if (!written) {
        error = "TIFF encoder failed";
        return false;
    }
    return Finish(Emit(write, closure, sink.bytes.data(), sink.bytes.size()), error);
}

// --- GIF ---------------------------------------------------------------------

// 255 colours from the quantizer; the last index is the transparent one.
constexpr int kGifColours = 256;
constexpr int kGifTransparentIndex = kGifColours - 1;

struct GifSink {
    cairo_write_func_t write;
    void* closure;
    bool failed = false;
};

int GifWrite(GifFileType* gif, const GifByteType* data, int length)
{
    auto& sink = *static_cast<GifSink*>(gif->UserData);
    if (sink.failed || !Emit(sink.write, sink.closure, data, static_cast<std::size_t>(length))) {
        sink.failed = true;
        return 0;
    }
    return length;
}

struct GifMapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// The picture in palette indices with its exact colours, when its visible
// pixels have at most 255 of them (drawings usually do: flat fills keep
// their colour instead of the quantizer's five bits a channel). False when
// there are more.
bool ExactPaletteForGif(const CSurfacePixels& pixels, std::vector<GifByteType>& indices, ColorMapObject& map)
{
    std::unordered_map<std::uint32_t, GifByteType> palette;
    std::vector<unsigned char> row(std::size_t(pixels.Width()) * 4);
    indices.assign(std::size_t(pixels.Width()) * pixels.Height(), kGifTransparentIndex);
    for (int y = 0; y < pixels.Height(); ++y) {
        pixels.RgbaRow(y, row.data());
        for (int x = 0; x < pixels.Width(); ++x) {
            const unsigned char* rgba = row.data() + x * 4;
            if (rgba[3] < 128)
                continue;
            const std::uint32_t key = std::uint32_t(rgba[0]) << 16 | std::uint32_t(rgba[1]) << 8 | rgba[2];
            auto [entry, added] = palette.try_emplace(key, static_cast<GifByteType>(palette.size()));
            if (added) {
                if (palette.size() > std::size_t(kGifTransparentIndex))
                    return false;
                map.Colors[entry->second] = GifColorType{rgba[0], rgba[1], rgba[2]};
            }
            indices[std::size_t(y) * pixels.Width() + x] = entry->second;
        }
    }
    return true;
}

// The picture in palette indices, with its colour map; false when the
// quantizer fails.
bool QuantizeForGif(const CSurfacePixels& pixels, std::vector<GifByteType>& indices, ColorMapObject& map)
{
    const std::size_t count = std::size_t(pixels.Width()) * pixels.Height();
    std::vector<GifByteType> red(count), green(count), blue(count);
    std::vector<bool> transparent(count);
    std::vector<unsigned char> row(std::size_t(pixels.Width()) * 4);
    for (int y = 0; y < pixels.Height(); ++y) {
        pixels.RgbaRow(y, row.data());
        for (int x = 0; x < pixels.Width(); ++x) {
            const std::size_t i = std::size_t(y) * pixels.Width() + x;
            red[i] = row[x * 4];
            green[i] = row[x * 4 + 1];
            blue[i] = row[x * 4 + 2];
            transparent[i] = row[x * 4 + 3] < 128;
        }
    }
    int colours = kGifColours - 1;
    indices.assign(count, 0);
    if (GifQuantizeBuffer(static_cast<unsigned>(pixels.Width()), static_cast<unsigned>(pixels.Height()), &colours,
                          red.data(), green.data(), blue.data(), indices.data(), map.Colors) != GIF_OK)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if (transparent[i])
            indices[i] = kGifTransparentIndex;
    return true;
}

bool WriteGif(GifFileType* gif, const CSurfacePixels& pixels, const std::vector<GifByteType>& indices,
              ColorMapObject* map)
{
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, pixels.Width(), pixels.Height(), 8, 0, map) != GIF_OK)
        return false;
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.TransparentColor = kGifTransparentIndex;
    GifByteType extension[4];
    const std::size_t length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK)
        return false;
    if (EGifPutImageDesc(gif, 0, 0, pixels.Width(), pixels.Height(), false, nullptr) != GIF_OK)
        return false;
    for (int y = 0; y < pixels.Height(); ++y) {
        auto* line = const_cast<GifByteType*>(indices.data() + std::size_t(y) * pixels.Width());
        if (EGifPutLine(gif, line, pixels.Width()) != GIF_OK)
            return false;
    }
    return true;
}

bool EncodeGif(const CSurfacePixels& pixels, cairo_write_func_t write, void* closure, std::string& error)
{
    error = "GIF encoder failed";
    // GIF sizes are 16-bit.
    if (pixels.Width() > 0xFFFF || pixels.Height() > 0xFFFF)
        return false;
    std::unique_ptr<ColorMapObject, GifMapDeleter> map(GifMakeMapObject(kGifColours, nullptr));
    if (!map)
        return false;
    std::vector<GifByteType> indices;
    if (!ExactPaletteForGif(pixels, indices, *map) && !QuantizeForGif(pixels, indices, *map))
        return false;
    GifSink sink{write, closure};
    int status = 0;
    GifFileType* gif = EGifOpen(&sink, GifWrite, &status);
    if (gif == nullptr)
        return false;
    const bool written = WriteGif(gif, pixels, indices, map.get());
    const bool closed = EGifCloseFile(gif, &status) == GIF_OK;
    if (sink.failed) {
        error = "write error";
        return false;
    }
    if (!written || !closed)
        return false;
    error.clear();
    return true;
}

// --- BMP ---------------------------------------------------------------------

void PutLittleEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A 24-bit BMP with a BITMAPINFOHEADER, rows bottom-up, each padded to four
// bytes, at 96 dpi (3780 pixels a metre).
bool EncodeBmp(const CSurfacePixels& pixels, cairo_write_func_t write, void* closure, std::string& error)
{
    const std::size_t rowBytes = (std::size_t(pixels.Width()) * 3 + 3) & ~std::size_t{3};
    const std::uint64_t imageBytes = std::uint64_t(rowBytes) * pixels.Height();
    constexpr std::uint32_t kHeaderBytes = 14 + 40;
    if (imageBytes + kHeaderBytes > 0xFFFFFFFFu) {
        error = "picture too large for BMP";
        return false;
    }
    std::vector<unsigned char> header;
    header.push_back('B');
    header.push_back('M');
    PutLittleEndian(header, static_cast<std::uint32_t>(imageBytes + kHeaderBytes), 4);
    PutLittleEndian(header, 0, 4);
    PutLittleEndian(header, kHeaderBytes, 4);
    PutLittleEndian(header, 40, 4);
    PutLittleEndian(header, static_cast<std::uint32_t>(pixels.Width()), 4);
    PutLittleEndian(header, static_cast<std::uint32_t>(pixels.Height()), 4);
    PutLittleEndian(header, 1, 2);   // planes
    PutLittleEndian(header, 24, 2);  // bits a pixel
    PutLittleEndian(header, 0, 4);   // BI_RGB
    PutLittleEndian(header, static_cast<std::uint32_t>(imageBytes), 4);
    PutLittleEndian(header, 3780, 4);
    PutLittleEndian(header, 3780, 4);
    PutLittleEndian(header, 0, 4);
    PutLittleEndian(header, 0, 4);
    if (!Emit(write, closure, header.data(), header.size()))
        return Finish(false, error);
    std::vector<unsigned char> rgb(std::size_t(pixels.Width()) * 3);
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = pixels.Height() - 1; y >= 0; --y) {
        pixels.RgbOverWhiteRow(y, rgb.data());
        for (int x = 0; x < pixels.Width(); ++x) {
            row[x * 3] = rgb[x * 3 + 2];
            row[x * 3 + 1] = rgb[x * 3 + 1];
            row[x * 3 + 2] = rgb[x * 3];
        }
        if (!Emit(write, closure, row.data(), row.size()))
            return Finish(false, error);
    }
    return true;
}

// --- WebP --------------------------------------------------------------------

// WebP's largest side.
constexpr int kMaxWebpSide = 16383;

// Lossless: drawings have flat colours and sharp edges, which lossy WebP blurs.
bool EncodeWebp(const CSurfacePixels& pixels, cairo_write_func_t write, void* closure, std::string& error)
{
    if (pixels.Width() > kMaxWebpSide || pixels.Height() > kMaxWebpSide) {
        error = "picture too large for WebP (16383 pixels a side)";
        return false;
    }
    const std::vector<unsigned char> rgba = pixels.RgbaImage();
    std::uint8_t* output = nullptr;
    const std::size_t size =
        WebPEncodeLosslessRGBA(rgba.data(), pixels.Width(), pixels.Height(), pixels.Width() * 4, &output);
    if (size == 0 || output == nullptr) {
        WebPFree(output);
        error = "WebP encoder failed";
        return false;
    }
    const bool emitted = Emit(write, closure, output, size);
    WebPFree(output);
    return Finish(emitted, error);
}

}  // namespace

bool EncodeRaster(cairo_surface_t* image, RasterEncoding encoding, cairo_write_func_t write, void* closure,
                  std::string& error)
{
    if (encoding == RasterEncoding::Png)
        return EncodePng(image, write, closure, error);
    const CSurfacePixels pixels(image);
    if (!pixels.Usable()) {
        error = "no picture to encode";
        return false;
    }
    switch (encoding) {
    case RasterEncoding::Png: break;
    case RasterEncoding::Jpeg: return EncodeJpeg(pixels, write, closure, error);
    case RasterEncoding::Tiff: return EncodeTiff(pixels, write, closure, error);
    case RasterEncoding::Gif: return EncodeGif(pixels, write, closure, error);
    case RasterEncoding::Bmp: return EncodeBmp(pixels, write, closure, error);
    case RasterEncoding::Webp: return EncodeWebp(pixels, write, closure, error);
    }
    return false;
}

}  // namespace svg
