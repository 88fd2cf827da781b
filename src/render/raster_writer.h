// Shared by the image format decoders (decode_*.cpp): CRasterWriter, the
// picture being decoded, a premultiplied cairo ARGB32 surface filled row by
// row from the decoder's own pixel layout, converting through the image's
// embedded ICC profile to sRGB on the way. Each decoder returns false for
// data it cannot decode completely; the writer's picture is then dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "render/codec_libraries.h"
#include "render/image_decode.h"

namespace svg {

// Pixel layouts of decoded rows, 8 bits a channel, alpha not premultiplied.
enum class RowLayout {
    Gray,
    Rgb,
    Rgba,
    Cmyk,
    InvertedCmyk,  // CMYK stored as 255 - value, as Adobe's JPEG files do
};

class CRasterWriter {
public:
    CRasterWriter() = default;
    ~CRasterWriter();
    CRasterWriter(const CRasterWriter&) = delete;
    CRasterWriter& operator=(const CRasterWriter&) = delete;

    // Allocates a transparent picture of width x height pixels. False, with
    // nothing allocated, for a size of 0 or one beyond the bounds of limits.h.
    bool Begin(std::uint64_t width, std::uint64_t height);
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Rows later put in `layout` are converted from the profile to sRGB. A
    // profile that cannot be read, or whose colour space does not fit the
    // layout, is ignored: the pixels are then taken as sRGB.
    void SetProfile(const void* icc, std::size_t size, RowLayout layout);

    // Converts one row of Width() pixels from `layout` into row y. `source`
    // may be the picture's own row y when the layout has 4 bytes a pixel.
    void PutRow(int y, const unsigned char* source, RowLayout layout);

    // The picture's memory: row y, 4 bytes a pixel, for decoders that decode
    // in place and then PutRow each row onto itself.
    unsigned char* PictureRow(int y);
    // Every row, for libraries that fill the whole picture in one call.
    unsigned char** PictureRows();

    // The finished picture; the writer is empty afterwards.
    std::shared_ptr<const CRasterImage> Finish();

private:
    cairo_surface_t* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    cmsHTRANSFORM transform_ = nullptr;
    RowLayout transformLayout_ = RowLayout::Rgb;
    std::vector<unsigned char> convertedRow_;
    std::vector<unsigned char*> rows_;
};

// The format decoders: true when `bytes` was decoded completely into `writer`.
bool DecodePng(std::string_view bytes, CRasterWriter& writer);
bool DecodeJpeg(std::string_view bytes, CRasterWriter& writer);
bool DecodeGif(std::string_view bytes, CRasterWriter& writer);
bool DecodeTiff(std::string_view bytes, CRasterWriter& writer);
bool DecodeBmp(std::string_view bytes, CRasterWriter& writer);

}  // namespace svg
