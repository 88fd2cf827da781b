// The raster codecs (libjpeg, giflib, libtiff, libwebp) and lcms2, each
// opened when the first image of its kind is read or written: a document
// without raster images never loads them (base/lazy_library.h). libpng is
// linked as usual; cairo needs it anyway.
#pragma once

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <gif_lib.h>
#include <jpeglib.h>
#include <lcms2.h>
#include <tiffio.h>
#include <webp/encode.h>

#include "base/lazy_library.h"
#include "base/library_sonames.h"

namespace svg {

inline constinit CLazyLibrary jpegLibrary{soname::kJpeg};
inline constinit CLazyLibrary gifLibrary{soname::kGif};
inline constinit CLazyLibrary tiffLibrary{soname::kTiff};
inline constinit CLazyLibrary webpLibrary{soname::kWebp};
inline constinit CLazyLibrary lcms2Library{soname::kLcms2};

VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_CreateCompress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_CreateDecompress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_destroy_compress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_destroy_decompress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_finish_compress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_finish_decompress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_mem_dest);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_mem_src);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_read_header);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_read_icc_profile);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_read_scanlines);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_save_markers);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_set_defaults);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_set_quality);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_start_compress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_start_decompress);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_std_error);
VEXO_LAZY_FUNCTION(jpegLibrary, jpeg_write_scanlines);

VEXO_LAZY_FUNCTION(gifLibrary, DGifCloseFile);
VEXO_LAZY_FUNCTION(gifLibrary, DGifExtensionToGCB);
VEXO_LAZY_FUNCTION(gifLibrary, DGifGetExtension);
VEXO_LAZY_FUNCTION(gifLibrary, DGifGetExtensionNext);
VEXO_LAZY_FUNCTION(gifLibrary, DGifGetImageDesc);
VEXO_LAZY_FUNCTION(gifLibrary, DGifGetLine);
VEXO_LAZY_FUNCTION(gifLibrary, DGifGetRecordType);
VEXO_LAZY_FUNCTION(gifLibrary, DGifOpen);
VEXO_LAZY_FUNCTION(gifLibrary, EGifCloseFile);
VEXO_LAZY_FUNCTION(gifLibrary, EGifGCBToExtension);
VEXO_LAZY_FUNCTION(gifLibrary, EGifOpen);
VEXO_LAZY_FUNCTION(gifLibrary, EGifPutExtension);
VEXO_LAZY_FUNCTION(gifLibrary, EGifPutImageDesc);
VEXO_LAZY_FUNCTION(gifLibrary, EGifPutLine);
VEXO_LAZY_FUNCTION(gifLibrary, EGifPutScreenDesc);
VEXO_LAZY_FUNCTION(gifLibrary, EGifSetGifVersion);
VEXO_LAZY_FUNCTION(gifLibrary, GifFreeMapObject);
VEXO_LAZY_FUNCTION(gifLibrary, GifMakeMapObject);
VEXO_LAZY_FUNCTION(gifLibrary, GifQuantizeBuffer);

VEXO_LAZY_FUNCTION(tiffLibrary, TIFFClientOpenExt);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFClose);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFDefaultStripSize);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFGetField);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFOpenOptionsAlloc);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFOpenOptionsFree);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFOpenOptionsSetErrorHandlerExtR);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFOpenOptionsSetMaxSingleMemAlloc);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFOpenOptionsSetWarningHandlerExtR);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFRGBAImageOK);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFReadRGBAImageOriented);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFSetField);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFWriteDirectory);
VEXO_LAZY_FUNCTION(tiffLibrary, TIFFWriteScanline);

VEXO_LAZY_FUNCTION(webpLibrary, WebPEncodeLosslessRGBA);
VEXO_LAZY_FUNCTION(webpLibrary, WebPFree);

VEXO_LAZY_FUNCTION(lcms2Library, cmsCloseProfile);
VEXO_LAZY_FUNCTION(lcms2Library, cmsCreateTransform);
VEXO_LAZY_FUNCTION(lcms2Library, cmsCreate_sRGBProfile);
VEXO_LAZY_FUNCTION(lcms2Library, cmsDeleteTransform);
VEXO_LAZY_FUNCTION(lcms2Library, cmsDoTransform);
VEXO_LAZY_FUNCTION(lcms2Library, cmsFormatterForColorspaceOfProfile);
VEXO_LAZY_FUNCTION(lcms2Library, cmsGetColorSpace);
VEXO_LAZY_FUNCTION(lcms2Library, cmsOpenProfileFromMem);

}  // namespace svg
