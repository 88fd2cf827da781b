// JPEG through libjpeg-turbo, read from memory. libjpeg reports errors by
// calling error_exit, which here leaves by longjmp; so the function that
// calls setjmp holds no object with a destructor, and DecodeJpeg's frame owns
// everything that must be released.
//
// Truncated data is a failure: libjpeg would otherwise fill the missing part
// with grey and only warn. A progressive file with a huge number of scans
// (each one re-decodes the whole picture) is refused too.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jerror.h>

#include "render/codec_libraries.h"
#include "render/raster_writer.h"

namespace svg {
namespace {

// Real progressive files have about ten scans.
constexpr int kMaxJpegScans = 1000;

// libjpeg's error and progress hooks with the jump target they leave by.
struct JpegSession {
    jpeg_error_mgr errors;  // first, so that libjpeg's pointer to it is a pointer to this
    jpeg_progress_mgr progress;
    jmp_buf jump;
};

[[noreturn]] void Abandon(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegSession*>(cinfo->err)->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level)
{
    // Level -1 is a warning; running out of data is one.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        Abandon(cinfo);
}

void OnOutput(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        Abandon(cinfo);
}

// The layout libjpeg is asked to deliver for the file's colour space.
RowLayout RequestLayout(jpeg_decompress_struct& cinfo)
{
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo.out_color_space = JCS_GRAYSCALE;
        return RowLayout::Gray;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo.out_color_space = JCS_CMYK;
        // Adobe's applications write CMYK inverted and mark the file.
        return cinfo.saw_Adobe_marker ? RowLayout::InvertedCmyk : RowLayout::Cmyk;
    default:
        cinfo.out_color_space = JCS_RGB;
        return RowLayout::Rgb;
    }
}

// `profile` receives the embedded ICC profile (malloc'ed; the caller frees
// it). No object with a destructor may live in this frame: libjpeg leaves it
// by longjmp on any error.
bool ReadJpeg(jpeg_decompress_struct* cinfo, JpegSession* session, std::string_view bytes, JOCTET** profile,
              CRasterWriter& writer)
{
    if (setjmp(session->jump))
        return false;
    // Creating clears every field but the error manager.
    jpeg_create_decompress(cinfo);
    cinfo->progress = &session->progress;
    jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    if (!writer.Begin(cinfo->image_width, cinfo->image_height))
        return false;
    const RowLayout layout = RequestLayout(*cinfo);
    unsigned int profileSize = 0;
    if (jpeg_read_icc_profile(cinfo, profile, &profileSize))
        writer.SetProfile(*profile, profileSize, layout);

    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != static_cast<JDIMENSION>(writer.Width()) ||
        cinfo->output_height != static_cast<JDIMENSION>(writer.Height()))
        return false;
    // Allocated by libjpeg's memory manager, freed with the decompressor.
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 cinfo->output_width * cinfo->output_components, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = static_cast<int>(cinfo->output_scanline);
        if (jpeg_read_scanlines(cinfo, row, 1) != 1)
            return false;
        writer.PutRow(y, row[0], layout);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

bool DecodeJpeg(std::string_view bytes, CRasterWriter& writer)
{
    jpeg_decompress_struct cinfo{};
    JpegSession session{};
    cinfo.err = jpeg_std_error(&session.errors);
    session.errors.error_exit = Abandon;
    session.errors.emit_message = OnMessage;
    session.errors.output_message = OnOutput;
    session.progress.progress_monitor = OnProgress;

    JOCTET* profile = nullptr;
    const bool decoded = ReadJpeg(&cinfo, &session, bytes, &profile, writer);
    jpeg_destroy_decompress(&cinfo);
    std::free(profile);
    return decoded;
}

}  // namespace svg
