// The raster decoders on small images written here with each library's own
// encoder (BMP by hand), damaged and oversized variants of them, and
// embedded colour profiles; and data: URL decoding.
#include <gtest/gtest.h>

#include <gif_lib.h>
#include <jpeglib.h>
#include <tiffio.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/elem.h"
#include "model/message_log.h"
#include "render/data_url.h"
#include "render/image_decode.h"
#include "render/image_fixtures.h"
#include "test_support.h"

using namespace svg;
using vexo_test::EncodePng;
using vexo_test::kLinear128InSrgb;
using vexo_test::LinearGrayProfile;
using vexo_test::LinearRgbProfile;
using vexo_test::PngOptions;

namespace {

struct Pixel {
    int r, g, b, a;  // premultiplied, as cairo stores them
};

Pixel PixelAt(const CRasterImage& image, int x, int y)
{
    cairo_surface_t* surface = image.Surface();
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    std::uint32_t value;
    std::memcpy(&value, row + x * 4, 4);
    return {static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 8 & 0xFF),
            static_cast<int>(value & 0xFF), static_cast<int>(value >> 24)};
}

void ExpectPixel(const CRasterImage& image, int x, int y, Pixel expected, int tolerance = 0)
{
    const Pixel p = PixelAt(image, x, y);
    EXPECT_NEAR(p.r, expected.r, tolerance) << "red at " << x << "," << y;
    EXPECT_NEAR(p.g, expected.g, tolerance) << "green at " << x << "," << y;
    EXPECT_NEAR(p.b, expected.b, tolerance) << "blue at " << x << "," << y;
    EXPECT_NEAR(p.a, expected.a, tolerance) << "alpha at " << x << "," << y;
}

// Each (x, y) pixel as expected, channel by channel within `tolerance`.
struct PixelAtXY {
    int x, y;
    Pixel expected;
};
void ExpectPixels(const CRasterImage& image, std::initializer_list<PixelAtXY> pixels, int tolerance = 0)
{
    for (const PixelAtXY& p : pixels)
        ExpectPixel(image, p.x, p.y, p.expected, tolerance);
}

std::vector<unsigned char> Repeat(int count, std::vector<unsigned char> pixel)
{
    std::vector<unsigned char> pixels;
    for (int i = 0; i < count; ++i)
        pixels.insert(pixels.end(), pixel.begin(), pixel.end());
    return pixels;
}

void PutBigEndian(std::string& bytes, std::size_t at, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * (size - 1 - i)) & 0xFF);
}

void PutLittleEndian(std::string& bytes, std::size_t at, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// Decoding must refuse at once: a picture of the declared size would be
// gigabytes, and allocating it would take far longer than this.
void ExpectRefusedQuickly(const std::string& bytes)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DecodeRasterImage(bytes), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// --- PNG -------------------------------------------------------------------------------

// The RGBA image 3 x 2: red, half-transparent green, transparent / blue, white, black.
const std::vector<unsigned char> kSixPixels{255, 0, 0,   255, 0,   255, 0,   128, 0, 0, 0, 0,
                                            0,   0, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255};

void ExpectSixPixels(const CRasterImage& image)
{
    ASSERT_EQ(image.Width(), 3);
    ASSERT_EQ(image.Height(), 2);
    ExpectPixels(image, {{0, 0, {255, 0, 0, 255}}, {1, 0, {0, 128, 0, 128}}, {2, 0, {0, 0, 0, 0}},
                         {0, 1, {0, 0, 255, 255}}, {1, 1, {255, 255, 255, 255}}, {2, 1, {0, 0, 0, 255}}});
}

// --- JPEG ------------------------------------------------------------------------------

struct JpegOptions {
    J_COLOR_SPACE colorSpace = JCS_RGB;
    int components = 3;
    std::string iccProfile;
};

std::string EncodeJpeg(int width, int height, const std::vector<unsigned char>& pixels, const JpegOptions& options = {})
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = options.components;
    cinfo.in_color_space = options.colorSpace;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (!options.iccProfile.empty())
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(options.iccProfile.data()),
                               static_cast<unsigned>(options.iccProfile.size()));
    const std::size_t rowBytes = static_cast<std::size_t>(width * options.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[cinfo.next_scanline * rowBytes]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

// --- GIF -------------------------------------------------------------------------------

int AppendGif(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<std::string*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    return length;
}

struct GifFrame {
    int width = 0;
    int height = 0;
    std::vector<GifByteType> indexes;  // rows in display order
    int transparentIndex = NO_TRANSPARENT_COLOR;
    bool interlaced = false;
};

// A four-colour table: red, green, blue, white.
std::string EncodeGif(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames)
{
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    const GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    ColorMapObject* table = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, table);
    for (const GifFrame& frame : frames) {
        GraphicsControlBlock control{};
        control.TransparentColor = frame.transparentIndex;
        GifByteType extension[4];
        const std::size_t length = EGifGCBToExtension(&control, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension);
        EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, frame.interlaced, nullptr);
        std::vector<int> order;
        if (frame.interlaced) {
            constexpr int kPasses[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
            for (const auto& pass : kPasses)
                for (int y = pass[0]; y < frame.height; y += pass[1])
                    order.push_back(y);
        } else {
            for (int y = 0; y < frame.height; ++y)
                order.push_back(y);
        }
        for (int y : order)
            EGifPutLine(gif, const_cast<GifByteType*>(&frame.indexes[static_cast<std::size_t>(y * frame.width)]),
                        frame.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(table);
    return out;
}

// --- TIFF ------------------------------------------------------------------------------

struct TiffPage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;
    std::string iccProfile;
};

std::string EncodeTiff(const std::vector<TiffPage>& pages)
{
    const std::string path = vexo_test::WriteTempFile("decode-test.tif", "");
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    for (const TiffPage& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
        const std::uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.height);
        if (!page.iccProfile.empty())
            TIFFSetField(tiff, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(page.iccProfile.size()),
                         page.iccProfile.data());
        for (int y = 0; y < page.height; ++y) {
            auto* row = const_cast<unsigned char*>(&page.rgba[static_cast<std::size_t>(y * page.width * 4)]);
            TIFFWriteScanline(tiff, row, static_cast<std::uint32_t>(y), 0);
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return vexo_test::ReadFile(path);
}

// --- BMP -------------------------------------------------------------------------------

struct BmpSpec {
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows top-down
    int bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks;    // written after the 40-byte header
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::string pixels;
};

std::string EncodeBmp(const BmpSpec& spec)
{
    const std::size_t tables = 4 * (spec.masks.size() + spec.palette.size());
    const std::size_t dataOffset = 14 + 40 + tables;
    std::string out(dataOffset, '\0');
    out[0] = 'B';
    out[1] = 'M';
    PutLittleEndian(out, 2, static_cast<std::uint32_t>(dataOffset + spec.pixels.size()), 4);
    PutLittleEndian(out, 10, static_cast<std::uint32_t>(dataOffset), 4);
    PutLittleEndian(out, 14, 40, 4);
    PutLittleEndian(out, 18, static_cast<std::uint32_t>(spec.width), 4);
    PutLittleEndian(out, 22, static_cast<std::uint32_t>(spec.height), 4);
    PutLittleEndian(out, 26, 1, 2);
    PutLittleEndian(out, 28, static_cast<std::uint32_t>(spec.bitsPerPixel), 2);
    PutLittleEndian(out, 30, spec.compression, 4);
    PutLittleEndian(out, 46, static_cast<std::uint32_t>(spec.palette.size()), 4);
    std::size_t at = 54;
    for (std::uint32_t mask : spec.masks)
        PutLittleEndian(out, (at += 4) - 4, mask, 4);
    for (std::uint32_t color : spec.palette)
        PutLittleEndian(out, (at += 4) - 4, color, 4);
    return out + spec.pixels;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

}  // namespace

// --- Format detection ----------------------------------------------------------------

TEST(ImageDecodeTest, FormatIsToldBySignatureNotName)
{
    EXPECT_EQ(SniffRasterFormat("\x89PNG\r\n\x1A\nrest"), RasterFormat::Png);
    EXPECT_EQ(SniffRasterFormat("\xFF\xD8\xFF\xE0"), RasterFormat::Jpeg);
    EXPECT_EQ(SniffRasterFormat("GIF89a"), RasterFormat::Gif);
    EXPECT_EQ(SniffRasterFormat(std::string("MM\0*", 4)), RasterFormat::Tiff);
    EXPECT_EQ(SniffRasterFormat("BM"), RasterFormat::Bmp);
    EXPECT_EQ(SniffRasterFormat("<svg/>"), RasterFormat::Unknown);
    EXPECT_EQ(DecodeRasterImage("<svg/>"), nullptr);
    EXPECT_EQ(DecodeRasterImage(""), nullptr);
}

// --- PNG -------------------------------------------------------------------------------

TEST(ImageDecodeTest, PngPixelsArePremultipliedInBothLayouts)
{
    const auto plain = DecodeRasterImage(EncodePng(3, 2, kSixPixels));
    ASSERT_NE(plain, nullptr);
    ExpectSixPixels(*plain);
    PngOptions interlaced;
    interlaced.interlaced = true;
    const auto adam7 = DecodeRasterImage(EncodePng(3, 2, kSixPixels, interlaced));
    ASSERT_NE(adam7, nullptr);
    ExpectSixPixels(*adam7);
}

TEST(ImageDecodeTest, PngGreyIsExpanded)
{
    PngOptions grey;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    const auto image = DecodeRasterImage(EncodePng(2, 1, {10, 200}, grey));
    ASSERT_NE(image, nullptr);
    ExpectPixels(*image, {{0, 0, {10, 10, 10, 255}}, {1, 0, {200, 200, 200, 255}}});
}

TEST(ImageDecodeTest, PngEmbeddedProfileAndGammaReachSrgb)
{
    PngOptions tagged;
    tagged.iccProfile = LinearRgbProfile();
    const auto rgb = DecodeRasterImage(EncodePng(1, 1, {128, 128, 128, 255}, tagged));
    ASSERT_NE(rgb, nullptr);
    ExpectPixel(*rgb, 0, 0, {kLinear128InSrgb, kLinear128InSrgb, kLinear128InSrgb, 255}, 2);

    PngOptions grey;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.iccProfile = LinearGrayProfile();
    const auto gray = DecodeRasterImage(EncodePng(1, 1, {128}, grey));
    ASSERT_NE(gray, nullptr);
    ExpectPixel(*gray, 0, 0, {kLinear128InSrgb, kLinear128InSrgb, kLinear128InSrgb, 255}, 2);

    // gAMA 1.0 without a profile: linear data, shown at the screen's gamma (2.2).
    PngOptions linear;
    linear.gamma = 1.0;
    const auto gamma = DecodeRasterImage(EncodePng(1, 1, {128, 128, 128, 255}, linear));
    ASSERT_NE(gamma, nullptr);
    EXPECT_NEAR(PixelAt(*gamma, 0, 0).r, 186, 3);
}

TEST(ImageDecodeTest, PngDamagedOrGiganticIsRefused)
{
    const std::string png = EncodePng(3, 2, kSixPixels);
    for (std::size_t cut : {png.size() - 20, png.size() / 2, std::size_t{20}, std::size_t{8}})
        EXPECT_EQ(DecodeRasterImage(png.substr(0, cut)), nullptr) << "cut at " << cut;
    std::string corrupt = png;
    corrupt[corrupt.size() / 2] ^= 0x55;
    EXPECT_EQ(DecodeRasterImage(corrupt), nullptr);

    const std::string gigantic = vexo_test::PngDeclaring(100000, 100000);
    ExpectRefusedQuickly(gigantic);
}

// --- JPEG ------------------------------------------------------------------------------

TEST(ImageDecodeTest, JpegColourGreyAndAdobeCmyk)
{
    const auto rgb = DecodeRasterImage(EncodeJpeg(16, 8, Repeat(128, {200, 100, 50})));
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->Width(), 16);
    EXPECT_EQ(rgb->Height(), 8);
    ExpectPixel(*rgb, 7, 5, {200, 100, 50, 255}, 3);

    JpegOptions grey{JCS_GRAYSCALE, 1, {}};
    const auto gray = DecodeRasterImage(EncodeJpeg(8, 8, Repeat(64, {90}), grey));
    ASSERT_NE(gray, nullptr);
    ExpectPixel(*gray, 3, 3, {90, 90, 90, 255}, 2);

    // libjpeg marks CMYK files the Adobe way, where values are stored
    // inverted: stored 0 means full ink. Full cyan and no black is cyan.
    JpegOptions cmyk{JCS_CMYK, 4, {}};
    const auto cyan = DecodeRasterImage(EncodeJpeg(8, 8, Repeat(64, {0, 255, 255, 255}), cmyk));
    ASSERT_NE(cyan, nullptr);
    ExpectPixel(*cyan, 4, 4, {0, 255, 255, 255}, 3);
}

TEST(ImageDecodeTest, JpegEmbeddedProfileReachesSrgb)
{
    JpegOptions tagged{JCS_GRAYSCALE, 1, LinearGrayProfile()};
    const auto image = DecodeRasterImage(EncodeJpeg(8, 8, Repeat(64, {128}), tagged));
    ASSERT_NE(image, nullptr);
    EXPECT_NEAR(PixelAt(*image, 2, 2).g, kLinear128InSrgb, 3);
}

TEST(ImageDecodeTest, JpegTruncatedOrGiganticIsRefused)
{
    const std::string jpeg = EncodeJpeg(16, 16, Repeat(256, {10, 20, 30}));
    EXPECT_NE(DecodeRasterImage(jpeg), nullptr);
    EXPECT_EQ(DecodeRasterImage(jpeg.substr(0, jpeg.size() - 30)), nullptr) << "missing data is not filled with grey";
    EXPECT_EQ(DecodeRasterImage(jpeg.substr(0, 100)), nullptr);

    // SOF0: marker, length (2), precision (1), height (2), width (2).
    std::string gigantic = jpeg;
    const std::size_t frame = gigantic.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    PutBigEndian(gigantic, frame + 5, 65535, 2);
    PutBigEndian(gigantic, frame + 7, 65535, 2);
    ExpectRefusedQuickly(gigantic);
}

// --- GIF -------------------------------------------------------------------------------

TEST(ImageDecodeTest, GifFirstFrameWithTransparency)
{
    GifFrame first{2, 2, {0, 1, 2, 3}, 3, false};
    GifFrame second{2, 2, {2, 2, 2, 2}, NO_TRANSPARENT_COLOR, false};
    const auto image = DecodeRasterImage(EncodeGif(3, 2, {first, second}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 3);
    ExpectPixels(*image, {{0, 0, {255, 0, 0, 255}}, {1, 0, {0, 255, 0, 255}}, {0, 1, {0, 0, 255, 255}}});
    ExpectPixel(*image, 1, 1, {0, 0, 0, 0});  // the transparent index
    ExpectPixel(*image, 2, 0, {0, 0, 0, 0});  // the screen beyond the frame
}

TEST(ImageDecodeTest, GifInterlacedRowsLandInPlace)
{
    GifFrame frame{1, 9, {0, 1, 2, 3, 0, 1, 2, 3, 0}, NO_TRANSPARENT_COLOR, true};
    const auto image = DecodeRasterImage(EncodeGif(1, 9, {frame}));
    ASSERT_NE(image, nullptr);
    ExpectPixels(*image, {{0, 1, {0, 255, 0, 255}}, {0, 4, {255, 0, 0, 255}}, {0, 7, {255, 255, 255, 255}}});
}

TEST(ImageDecodeTest, GifTruncatedOrGiganticIsRefused)
{
    const std::string gif = EncodeGif(2, 2, {GifFrame{2, 2, {0, 1, 2, 3}, NO_TRANSPARENT_COLOR, false}});
    EXPECT_EQ(DecodeRasterImage(gif.substr(0, gif.size() - 8)), nullptr);
    EXPECT_EQ(DecodeRasterImage(gif.substr(0, 13)), nullptr);
    std::string gigantic = gif;
    PutLittleEndian(gigantic, 6, 65535, 2);
    PutLittleEndian(gigantic, 8, 65535, 2);
    ExpectRefusedQuickly(gigantic);
}

// --- TIFF ------------------------------------------------------------------------------

TEST(ImageDecodeTest, TiffFirstPageWithStraightAlpha)
{
    const TiffPage first{3, 2, kSixPixels, {}};
    const TiffPage second{1, 1, {0, 0, 255, 255}, {}};
    const auto image = DecodeRasterImage(EncodeTiff({first, second}));
    ASSERT_NE(image, nullptr);
    // Half-transparent green goes through libtiff's premultiplied form and back.
    ASSERT_EQ(image->Width(), 3);
    ExpectPixel(*image, 0, 0, {255, 0, 0, 255});
    ExpectPixel(*image, 1, 0, {0, 128, 0, 128}, 1);
    ExpectPixel(*image, 2, 1, {0, 0, 0, 255});
}

TEST(ImageDecodeTest, TiffEmbeddedProfileReachesSrgb)
{
    const auto image = DecodeRasterImage(EncodeTiff({TiffPage{1, 1, {128, 128, 128, 255}, LinearRgbProfile()}}));
    ASSERT_NE(image, nullptr);
    ExpectPixel(*image, 0, 0, {kLinear128InSrgb, kLinear128InSrgb, kLinear128InSrgb, 255}, 2);
}

TEST(ImageDecodeTest, TiffTruncatedOrGiganticIsRefused)
{
    const std::string tiff = EncodeTiff({TiffPage{3, 2, kSixPixels, {}}});
    EXPECT_EQ(DecodeRasterImage(tiff.substr(0, tiff.size() / 2)), nullptr);
    EXPECT_EQ(DecodeRasterImage(tiff.substr(0, 8)), nullptr);

    // Rewrite the width and height entries of the first directory as LONGs.
    std::string gigantic = tiff;
    const std::uint32_t directory = static_cast<unsigned char>(gigantic[4]) |
                                    static_cast<unsigned char>(gigantic[5]) << 8 |
                                    static_cast<unsigned char>(gigantic[6]) << 16;
    const int entries = static_cast<unsigned char>(gigantic[directory]);
    for (int i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * static_cast<std::size_t>(i);
        const int tag =
            static_cast<unsigned char>(gigantic[entry]) | static_cast<unsigned char>(gigantic[entry + 1]) << 8;
        if (tag == TIFFTAG_IMAGEWIDTH || tag == TIFFTAG_IMAGELENGTH) {
            PutLittleEndian(gigantic, entry + 2, TIFF_LONG, 2);
            PutLittleEndian(gigantic, entry + 8, 100000, 4);
        }
    }
    ExpectRefusedQuickly(gigantic);
}

// --- BMP -------------------------------------------------------------------------------

TEST(ImageDecodeTest, BmpUncompressedDepths)
{
    // 24 bits, B G R, bottom-up, rows padded to 4 bytes: blue, white; red, green.
    BmpSpec truecolor{2, 2, 24, 0, {}, {}, Bytes({255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0})};
    const auto rgb = DecodeRasterImage(EncodeBmp(truecolor));
    ASSERT_NE(rgb, nullptr);
    ExpectPixels(*rgb, {{0, 1, {0, 0, 255, 255}}, {1, 1, {255, 255, 255, 255}}, {0, 0, {255, 0, 0, 255}},
                        {1, 0, {0, 255, 0, 255}}});

    // 1 bit, top-down: bits 1 0 1 select the second and first colours.
    BmpSpec mono{3, -1, 1, 0, {}, {0x000000, 0xFFFF00}, Bytes({0xA0, 0, 0, 0})};
    const auto bits = DecodeRasterImage(EncodeBmp(mono));
    ASSERT_NE(bits, nullptr);
    ExpectPixels(*bits, {{0, 0, {255, 255, 0, 255}}, {1, 0, {0, 0, 0, 255}}, {2, 0, {255, 255, 0, 255}}});

    // 4 bits: an index beyond the table is black, not a read past it.
    BmpSpec nibbles{2, 1, 4, 0, {}, {0xFF0000}, Bytes({0x0F, 0, 0, 0})};
    const auto four = DecodeRasterImage(EncodeBmp(nibbles));
    ASSERT_NE(four, nullptr);
    ExpectPixels(*four, {{0, 0, {255, 0, 0, 255}}, {1, 0, {0, 0, 0, 255}}});

    // 16 bits 5-6-5 through BI_BITFIELDS: pure green.
    BmpSpec highColor{1, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, Bytes({0xE0, 0x07, 0, 0})};
    const auto sixteen = DecodeRasterImage(EncodeBmp(highColor));
    ASSERT_NE(sixteen, nullptr);
    ExpectPixel(*sixteen, 0, 0, {0, 255, 0, 255});
}

TEST(ImageDecodeTest, BmpAlphaOnlyWithAnAlphaMask)
{
    // BI_RGB's fourth byte is unused: the pixel stays opaque.
    BmpSpec plain{1, 1, 32, 0, {}, {}, Bytes({0, 0, 255, 0})};
    const auto opaque = DecodeRasterImage(EncodeBmp(plain));
    ASSERT_NE(opaque, nullptr);
    ExpectPixel(*opaque, 0, 0, {255, 0, 0, 255});

    BmpSpec masked{2, 1, 32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, Bytes({0, 0, 255, 128, 0, 0, 255, 0})};
    const auto alpha = DecodeRasterImage(EncodeBmp(masked));
    ASSERT_NE(alpha, nullptr);
    ExpectPixels(*alpha, {{0, 0, {128, 0, 0, 128}}, {1, 0, {0, 0, 0, 0}}});

    // A declared alpha mask that is zero everywhere means an opaque picture.
    masked.pixels = Bytes({0, 0, 255, 0, 0, 0, 255, 0});
    const auto zeros = DecodeRasterImage(EncodeBmp(masked));
    ASSERT_NE(zeros, nullptr);
    ExpectPixel(*zeros, 1, 0, {255, 0, 0, 255});
}

TEST(ImageDecodeTest, BmpRunLengthEncoding)
{
    // RLE8, 4 x 3: bottom row a run of 3 of colour 1; next row moved 1 right,
    // then three literal pixels (padded to an even count of bytes); then the
    // end of the bitmap, leaving the top row empty.
    BmpSpec rle8{4, 3, 8, 1, {}, {0xFF0000, 0x00FF00, 0x0000FF},
                 Bytes({3, 1, 0, 0, 0, 2, 1, 0, 0, 3, 2, 0, 1, 0, 0, 1})};
    const auto image = DecodeRasterImage(EncodeBmp(rle8));
    ASSERT_NE(image, nullptr);
    ExpectPixels(*image, {{0, 2, {0, 255, 0, 255}}, {2, 2, {0, 255, 0, 255}}, {3, 2, {0, 0, 0, 0}},
                          {0, 1, {0, 0, 0, 0}}, {1, 1, {0, 0, 255, 255}}, {2, 1, {255, 0, 0, 255}},
                          {3, 1, {0, 255, 0, 255}}, {0, 0, {0, 0, 0, 0}}});

    // RLE4: a run of 3 alternating colours 1 and 2.
    BmpSpec rle4{3, 1, 4, 2, {}, {0, 0xFF0000, 0x00FF00}, Bytes({3, 0x12, 0, 1})};
    const auto nibbles = DecodeRasterImage(EncodeBmp(rle4));
    ASSERT_NE(nibbles, nullptr);
    ExpectPixels(*nibbles, {{0, 0, {255, 0, 0, 255}}, {1, 0, {0, 255, 0, 255}}, {2, 0, {255, 0, 0, 255}}});
}

TEST(ImageDecodeTest, BmpBrokenOrGiganticIsRefused)
{
    BmpSpec truecolor{2, 2, 24, 0, {}, {}, std::string(16, '\x7F')};
    const std::string bmp = EncodeBmp(truecolor);
    EXPECT_NE(DecodeRasterImage(bmp), nullptr);
    EXPECT_EQ(DecodeRasterImage(bmp.substr(0, bmp.size() - 1)), nullptr) << "pixel data cut short";
    EXPECT_EQ(DecodeRasterImage(bmp.substr(0, 30)), nullptr) << "header cut short";

    BmpSpec rle{4, 4, 8, 1, {}, {0xFF}, Bytes({3, 0, 0, 0})};
    EXPECT_EQ(DecodeRasterImage(EncodeBmp(rle)), nullptr) << "RLE data ends before the end of the bitmap";
    BmpSpec topDownRle{4, -4, 8, 1, {}, {0xFF}, Bytes({0, 1})};
    EXPECT_EQ(DecodeRasterImage(EncodeBmp(topDownRle)), nullptr);
    BmpSpec scatteredMask{1, 1, 16, 3, {0x0505, 0x00F0, 0x000A}, {}, Bytes({0, 0, 0, 0})};
    EXPECT_EQ(DecodeRasterImage(EncodeBmp(scatteredMask)), nullptr);

    BmpSpec gigantic{100000, 100000, 24, 0, {}, {}, std::string(16, '\0')};
    ExpectRefusedQuickly(EncodeBmp(gigantic));
    BmpSpec lowest{1, INT32_MIN, 24, 0, {}, {}, std::string(4, '\0')};
    EXPECT_EQ(DecodeRasterImage(EncodeBmp(lowest)), nullptr);
}

// --- data: URLs --------------------------------------------------------------------------

TEST(DataUrlTest, Base64PaddingAddsNoBytes)
{
    // Padding may be left out and adds no NUL byte; white space may stand anywhere.
    const std::pair<const char*, const char*> kDecoded[] = {
        {"QUJD", "ABC"}, {"QUI=", "AB"}, {"QQ==", "A"}, {"QUI", "AB"}, {" Q U\n\tJ D\r\n QQ = = ", "ABCA"}, {"", ""}};
    std::string out;
    for (const auto& [text, bytes] : kDecoded) {
        EXPECT_TRUE(DecodeBase64(text, out)) << text;
        EXPECT_EQ(out, bytes) << text;
    }

    EXPECT_FALSE(DecodeBase64("QU*D", out));
    EXPECT_FALSE(DecodeBase64("QQ==QUJD", out)) << "data after the padding";
    EXPECT_FALSE(DecodeBase64("QUJDQ", out)) << "six bits are no byte";
}

TEST(DataUrlTest, PercentEscapesOnly)
{
    std::string out;
    EXPECT_TRUE(DecodePercent("%3Csvg%20a='1e+2'%2f%3E", out));
    EXPECT_EQ(out, "<svg a='1e+2'/>") << "+ stays: it is a space only in form data";
    EXPECT_FALSE(DecodePercent("100%", out));
    EXPECT_FALSE(DecodePercent("%4", out));
    EXPECT_FALSE(DecodePercent("%zz", out));
}

TEST(DataUrlTest, HeaderAndMessages)
{
    const auto image = CreateElement("image", nullptr);
    image->line = 3;
    image->column = 5;
    CMessageLog log;
    auto reported = [&log](const std::string& line) { return vexo_test::HasLine(log, line); };

    auto png = DecodeDataUrl(*image, "IMAGE/PNG;base64,QUJD", log);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->kind, DataKind::Png);
    EXPECT_EQ(png->bytes, "ABC");
    // A parameter before base64 does not hide it.
    auto svgText = DecodeDataUrl(*image, "image/svg+xml;charset=utf-8;base64,PHN2Zy8+", log);
    ASSERT_TRUE(svgText);
    EXPECT_EQ(svgText->kind, DataKind::Svg);
    EXPECT_EQ(svgText->bytes, "<svg/>");
    auto untyped = DecodeDataUrl(*image, ",%3Csvg/%3E", log);
    ASSERT_TRUE(untyped);
    EXPECT_EQ(untyped->kind, DataKind::Text);
    EXPECT_EQ(untyped->bytes, "<svg/>");
    EXPECT_EQ(log.Count(), 0u);

    EXPECT_FALSE(DecodeDataUrl(*image, "image/png;base64", log));
    EXPECT_TRUE(reported("E image xlink:href not found mimetype at 3(5)"));
    EXPECT_FALSE(DecodeDataUrl(*image, "text/html,<b>", log));
    EXPECT_TRUE(reported("E image xlink:href unsupported mimetype 'text/html' at 3(5)"));
    EXPECT_FALSE(DecodeDataUrl(*image, "image/png;base64,QU$D", log));
    EXPECT_TRUE(reported("E image xlink:href invalid base64 data at 3(5)"));
    EXPECT_FALSE(DecodeDataUrl(*image, "image/svg+xml,%3Csvg%", log));
    EXPECT_TRUE(reported("E image xlink:href invalid URL encoding data at 3(5)"));
}
