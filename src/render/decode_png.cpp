// PNG through libpng, read from memory. libpng reports errors by longjmp, so
// the function that calls setjmp holds no object with a destructor: every
// resource lives in DecodePng's frame (the writer, the libpng structures)
// and is released there whichever way ReadPng returns.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "base/limits.h"
#include "render/raster_writer.h"

namespace svg {
namespace {

struct PngSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->position)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->position, length);
    source->position += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void OnWarning(png_structp, png_const_charp) {}

// Every pixel becomes 8-bit RGBA, the layout of the picture's own rows.
void RequestRgba8(png_structp png, png_infop info)
{
    const int colorType = png_get_color_type(png, info);
    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
}

// An embedded profile is converted through lcms2; without one (or with the
// sRGB chunk) a gAMA chunk corrects the image's gamma to the screen's.
void RequestColorManagement(png_structp png, png_infop info, CRasterWriter& writer)
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize) != 0) {
        writer.SetProfile(profile, profileSize, RowLayout::Rgba);
        return;
    }
    int intent = 0;
    double fileGamma = 0;
    if (png_get_sRGB(png, info, &intent) == 0 && png_get_gAMA(png, info, &fileGamma) != 0 && fileGamma > 0)
        png_set_gamma(png, PNG_DEFAULT_sRGB, fileGamma);
}

// No object with a destructor may live in this frame: libpng leaves it by
// longjmp on any error.
bool ReadPng(png_structp png, png_infop info, CRasterWriter& writer)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, limits::kMaxBitmapSide, limits::kMaxBitmapSide);
    png_read_info(png, info);
    if (!writer.Begin(png_get_image_width(png, info), png_get_image_height(png, info)))
        return false;
    RequestRgba8(png, info);
    RequestColorManagement(png, info, writer);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(writer.Width()) * 4)
        return false;
    png_read_image(png, writer.PictureRows());
    for (int y = 0; y < writer.Height(); ++y)
        writer.PutRow(y, writer.PictureRow(y), RowLayout::Rgba);
    return true;
}

}  // namespace

bool DecodePng(std::string_view bytes, CRasterWriter& writer)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngSource source{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    png_set_read_fn(png, &source, ReadFromMemory);
    const bool decoded = ReadPng(png, info, writer);
    png_destroy_read_struct(&png, &info, nullptr);
    return decoded;
}

}  // namespace svg
