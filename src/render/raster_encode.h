// Raster image encoders for exported pictures: a premultiplied cairo ARGB32
// image surface in, the bytes of a PNG, JPEG, TIFF, GIF, BMP or WebP file out,
// handed to a cairo write function as they are made (a file, a string,
// standard output). PNG, TIFF and WebP keep the alpha channel; GIF keeps
// pixels that are at least half opaque and makes the others its transparent
// colour; JPEG and BMP have no alpha, so their pixels are composed over
// white. Colours are sRGB, 8 bits a channel.
//
// No shared state: encoders may run on several threads at once. A failure
// (the library refused, the write function failed) returns false with a
// short reason; the bytes written until then are incomplete.
#pragma once

#include <cairo.h>

#include <string>

namespace svg {

enum class RasterEncoding { Png, Jpeg, Tiff, Gif, Bmp, Webp };

bool EncodeRaster(cairo_surface_t* image, RasterEncoding encoding, cairo_write_func_t write, void* closure,
                  std::string& error);

}  // namespace svg
