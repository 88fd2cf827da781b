// Format detection, and CRasterWriter: the picture every decoder fills.
#include "render/image_decode.h"

#include "base/limits.h"
#include "render/raster_writer.h"

namespace svg {
namespace {

bool StartsWith(std::string_view bytes, std::string_view signature)
{
    return bytes.substr(0, signature.size()) == signature;
}

int BytesPerPixel(RowLayout layout)
{
    switch (layout) {
    case RowLayout::Gray: return 1;
    case RowLayout::Rgb: return 3;
    case RowLayout::Rgba:
    case RowLayout::Cmyk:
    case RowLayout::InvertedCmyk: return 4;
    }
    return 4;
}

// The lcms2 pixel format of `layout` for a profile of `space`; 0 when the
// profile does not describe such pixels.
cmsUInt32Number InputFormat(cmsColorSpaceSignature space, RowLayout layout)
{
    switch (space) {
    case cmsSigRgbData:
        return layout == RowLayout::Rgb ? TYPE_RGB_8 : layout == RowLayout::Rgba ? TYPE_RGBA_8 : 0;
    case cmsSigGrayData:
        if (layout == RowLayout::Gray)
            return TYPE_GRAY_8;
        // Grey pixels expanded to RGBA (PNG, TIFF): the grey is the first
        // channel, the other three are skipped.
        return layout == RowLayout::Rgba ? COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3) : 0;
    case cmsSigCmykData:
        return layout == RowLayout::Cmyk ? TYPE_CMYK_8 : layout == RowLayout::InvertedCmyk ? TYPE_CMYK_8_REV : 0;
    default: return 0;
    }
}

struct Rgba8 {
    unsigned r, g, b, a;
};

// A pixel of `layout` taken as sRGB (CMYK by the naive formula).
Rgba8 Uncorrected(const unsigned char* p, RowLayout layout)
{
    switch (layout) {
    case RowLayout::Gray: return {p[0], p[0], p[0], 255};
    case RowLayout::Rgb: return {p[0], p[1], p[2], 255};
    case RowLayout::Rgba: return {p[0], p[1], p[2], p[3]};
    case RowLayout::Cmyk:
        return {(255u - p[0]) * (255u - p[3]) / 255, (255u - p[1]) * (255u - p[3]) / 255,
                (255u - p[2]) * (255u - p[3]) / 255, 255};
    case RowLayout::InvertedCmyk:
        return {p[0] * unsigned{p[3]} / 255, p[1] * unsigned{p[3]} / 255, p[2] * unsigned{p[3]} / 255, 255};
    }
    return {0, 0, 0, 0};
}

unsigned Premultiply(unsigned channel, unsigned alpha) { return (channel * alpha + 127) / 255; }

std::uint32_t ToCairoPixel(const Rgba8& p)
{
    return p.a << 24 | Premultiply(p.r, p.a) << 16 | Premultiply(p.g, p.a) << 8 | Premultiply(p.b, p.a);
}

}  // namespace

RasterFormat SniffRasterFormat(std::string_view bytes)
{
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n"))
        return RasterFormat::Png;
    if (StartsWith(bytes, "\xFF\xD8\xFF"))
        return RasterFormat::Jpeg;
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a"))
        return RasterFormat::Gif;
    if (StartsWith(bytes, std::string_view("II*\0", 4)) || StartsWith(bytes, std::string_view("MM\0*", 4)))
        return RasterFormat::Tiff;
    if (StartsWith(bytes, "BM"))
        return RasterFormat::Bmp;
    return RasterFormat::Unknown;
}

std::shared_ptr<const CRasterImage> DecodeRasterImage(std::string_view bytes)
{
    CRasterWriter writer;
    bool decoded = false;
    switch (SniffRasterFormat(bytes)) {
    case RasterFormat::Png: decoded = DecodePng(bytes, writer); break;
    case RasterFormat::Jpeg: decoded = DecodeJpeg(bytes, writer); break;
    case RasterFormat::Gif: decoded = DecodeGif(bytes, writer); break;
    case RasterFormat::Tiff: decoded = DecodeTiff(bytes, writer); break;
    case RasterFormat::Bmp: decoded = DecodeBmp(bytes, writer); break;
    case RasterFormat::Unknown: break;
    }
    return decoded ? writer.Finish() : nullptr;
}

// --- CRasterWriter -----------------------------------------------------------------

CRasterWriter::~CRasterWriter()
{
    if (transform_ != nullptr)
        cmsDeleteTransform(transform_);
    if (surface_ != nullptr)
        cairo_surface_destroy(surface_);
}

bool CRasterWriter::Begin(std::uint64_t width, std::uint64_t height)
{
    if (surface_ != nullptr || width == 0 || height == 0)
        return false;
    const std::uint64_t maxSide = limits::kMaxBitmapSide;
    if (width > maxSide || height > maxSide || width * height > limits::kMaxBitmapPixels)
        return false;
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
        return false;
    }
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    return true;
}

void CRasterWriter::SetProfile(const void* icc, std::size_t size, RowLayout layout)
{
    if (transform_ != nullptr || icc == nullptr || size == 0 || surface_ == nullptr)
        return;
    cmsHPROFILE source = cmsOpenProfileFromMem(icc, static_cast<cmsUInt32Number>(size));
    if (source == nullptr)
        return;
    const cmsUInt32Number format = InputFormat(cmsGetColorSpace(source), layout);
    if (format != 0) {
        cmsHPROFILE sRgb = cmsCreate_sRGBProfile();
        transform_ = cmsCreateTransform(source, format, sRgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
        cmsCloseProfile(sRgb);
    }
    cmsCloseProfile(source);
    if (transform_ != nullptr) {
        transformLayout_ = layout;
        convertedRow_.resize(static_cast<std::size_t>(width_) * 3);
    }
}

unsigned char* CRasterWriter::PictureRow(int y)
{
    return cairo_image_surface_get_data(surface_) +
           static_cast<std::size_t>(y) * static_cast<std::size_t>(cairo_image_surface_get_stride(surface_));
}

unsigned char** CRasterWriter::PictureRows()
{
    rows_.resize(static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y)
        rows_[static_cast<std::size_t>(y)] = PictureRow(y);
    return rows_.data();
}

void CRasterWriter::PutRow(int y, const unsigned char* source, RowLayout layout)
{
    const unsigned char* managed = nullptr;
    if (transform_ != nullptr && layout == transformLayout_) {
        cmsDoTransform(transform_, source, convertedRow_.data(), static_cast<cmsUInt32Number>(width_));
        managed = convertedRow_.data();
    }
    auto* out = reinterpret_cast<std::uint32_t*>(PictureRow(y));
    const int step = BytesPerPixel(layout);
    // Pixel x is read completely before it is written, so `source` may be `out`.
    for (int x = 0; x < width_; ++x) {
        Rgba8 pixel = Uncorrected(source + static_cast<std::size_t>(x) * step, layout);
        if (managed != nullptr) {
            const unsigned char* rgb = managed + static_cast<std::size_t>(x) * 3;
            pixel = {rgb[0], rgb[1], rgb[2], pixel.a};
        }
        out[x] = ToCairoPixel(pixel);
    }
}

std::shared_ptr<const CRasterImage> CRasterWriter::Finish()
{
    if (surface_ == nullptr)
        return nullptr;
    cairo_surface_mark_dirty(surface_);
    auto image = std::make_shared<const CRasterImage>(surface_);
    surface_ = nullptr;
    return image;
}

}  // namespace svg
