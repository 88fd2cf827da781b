// TIFF through libtiff, read from memory: the first page, converted by
// libtiff's RGBA reader (which handles every photometric interpretation,
// bit depth, compression and orientation it knows). Errors and warnings are
// kept off stderr through per-file handlers, and a single allocation inside
// libtiff is bounded.

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/limits.h"
#include "render/codec_libraries.h"
#include "render/raster_writer.h"

namespace svg {
namespace {

struct TiffSource {
    const unsigned char* data;
    toff_t size;
    toff_t position;
};

TiffSource& SourceOf(thandle_t handle) { return *static_cast<TiffSource*>(handle); }

tmsize_t ReadFromMemory(thandle_t handle, void* out, tmsize_t length)
{
    TiffSource& source = SourceOf(handle);
    if (length <= 0 || source.position >= source.size)
        return 0;
    const toff_t count = std::min<toff_t>(static_cast<toff_t>(length), source.size - source.position);
    std::memcpy(out, source.data + source.position, count);
    source.position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t RefuseWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t SeekInMemory(thandle_t handle, toff_t offset, int whence)
{
    TiffSource& source = SourceOf(handle);
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = source.position;
    else if (whence == SEEK_END)
        base = source.size;
    // Beyond the end is allowed (reads there return nothing); wrapping is not.
    if (offset > ~toff_t{0} - base)
        return static_cast<toff_t>(-1);
    source.position = base + offset;
    return source.position;
}

int CloseNothing(thandle_t) { return 0; }

toff_t SizeOf(thandle_t handle) { return SourceOf(handle).size; }

int MapNothing(thandle_t, void**, toff_t*) { return 0; }

void UnmapNothing(thandle_t, void*, toff_t) {}

int Silence(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// libtiff's pixels are packed A B G R from the high byte down, with alpha
// premultiplied; the writer wants bytes R G B A with straight alpha.
void UnpackRow(unsigned char* row, int width)
{
    auto* packed = reinterpret_cast<std::uint32_t*>(row);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t abgr = packed[x];
        const unsigned alpha = TIFFGetA(abgr);
        auto straight = [alpha](unsigned channel) {
            return alpha == 0 ? 0u : std::min(255u, (channel * 255 + alpha / 2) / alpha);
        };
        unsigned char* out = row + static_cast<std::size_t>(x) * 4;
        out[0] = static_cast<unsigned char>(straight(TIFFGetR(abgr)));
        out[1] = static_cast<unsigned char>(straight(TIFFGetG(abgr)));
        out[2] = static_cast<unsigned char>(straight(TIFFGetB(abgr)));
        out[3] = static_cast<unsigned char>(alpha);
    }
}

}  // namespace

bool DecodeTiff(std::string_view bytes, CRasterWriter& writer)
{
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options)
        return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Silence, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Silence, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                        static_cast<tmsize_t>(limits::kMaxBitmapPixels) * 4);

    TiffSource source{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    // "m": no memory mapping, every read goes through ReadFromMemory.
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFClientOpenExt("image", "rm", &source, ReadFromMemory, RefuseWrite,
                                                             SeekInMemory, CloseNothing, SizeOf, MapNothing,
                                                             UnmapNothing, options.get()));
    if (!tiff)
        return false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    char reason[1024];
    if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1 || !TIFFRGBAImageOK(tiff.get(), reason))
        return false;
    if (!writer.Begin(width, height))
        return false;
    // libtiff fills one block of width x height pixels: the picture's rows
    // must follow each other without padding, as they do for ARGB32.
    if (height > 1 && writer.PictureRow(1) - writer.PictureRow(0) != static_cast<std::ptrdiff_t>(width) * 4)
        return false;

    std::uint32_t profileSize = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &profileSize, &profile) == 1)
        writer.SetProfile(profile, profileSize, RowLayout::Rgba);
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, reinterpret_cast<std::uint32_t*>(writer.PictureRow(0)),
                                   ORIENTATION_TOPLEFT, 1))
        return false;
    for (int y = 0; y < writer.Height(); ++y) {
        UnpackRow(writer.PictureRow(y), writer.Width());
        writer.PutRow(y, writer.PictureRow(y), RowLayout::Rgba);
    }
    return true;
}

}  // namespace svg
