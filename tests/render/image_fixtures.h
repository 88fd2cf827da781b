// Small images and profiles written with the libraries' own encoders, for
// the image tests: a PNG encoder, Base64 for data: URLs, and ICC profiles
// with linear channels.
#pragma once

#include <lcms2.h>
#include <png.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexo_test {

inline std::string SaveProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Profiles with linear channels: a value of 128 in them is sRGB 188.
inline constexpr int kLinear128InSrgb = 188;

inline std::string LinearRgbProfile()
{
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    const std::string bytes = SaveProfile(cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves));
    cmsFreeToneCurve(linear);
    return bytes;
}

inline std::string LinearGrayProfile()
{
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    const std::string bytes = SaveProfile(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    return bytes;
}

struct PngOptions {
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    bool interlaced = false;
    std::string iccProfile;
    double gamma = 0;  // written as gAMA when > 0
};

inline void AppendPng(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

// `pixels` holds width x height pixels in the colour type's layout.
inline std::string EncodePng(int width, int height, const std::vector<unsigned char>& pixels,
                             const PngOptions& options = {})
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendPng, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, options.colorType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!options.iccProfile.empty())
        png_set_iCCP(png, info, "linear", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(options.iccProfile.data()),
                     static_cast<png_uint_32>(options.iccProfile.size()));
    if (options.gamma > 0)
        png_set_gAMA(png, info, options.gamma);
    const std::size_t rowBytes = pixels.size() / static_cast<std::size_t>(height);
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y)
        rows.push_back(const_cast<png_bytep>(&pixels[static_cast<std::size_t>(y) * rowBytes]));
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A valid PNG whose header declares `width` x `height` pixels; it holds
// the data of one.
inline std::string PngDeclaring(std::uint32_t width, std::uint32_t height)
{
    std::string png = EncodePng(1, 1, {0, 0, 0, 255});
    // IHDR: length at 8, type at 12, width and height at 16 and 20, CRC of
    // type and data at 29.
    auto put = [&png](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            png[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i) & 0xFF);
    };
    put(16, width);
    put(20, height);
    put(29, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17)));
    return png;
}

inline std::string ToBase64(const std::string& bytes)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += left > 1 ? kAlphabet[group >> 6 & 63] : '=';
        out += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return out;
}

}  // namespace vexo_test
