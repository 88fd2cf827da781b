#include "render/bands.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace svg {
namespace {

// Images with fewer pixels are drawn whole.
constexpr double kMinBandedPixels = 4.0 * 1024 * 1024;
// Pixels per band: enough bands that whoever is free takes the next one and
// the cores even out bands of unequal cost, few enough that the walks of the
// tree stay cheap. Bands this small also keep a filter across the whole
// picture far below the pixels a filter may compute at full resolution, so
// it is not computed coarser in one band than in the next.
constexpr double kBandPixels = 2.0 * 1024 * 1024;
constexpr int kMaxBands = 64;
constexpr int kMinBandRows = 16;
// A band's drawing may hold as much memory at once as a drawing of the
// whole picture (a filter reaching far beyond the band computes up to its
// pixel budget): so many bands at most are drawn at a time.
constexpr unsigned kMaxThreads = 4;

// The rows of each band of one image, and a cairo context over them.
class CBandRows {
public:
    CBandRows(cairo_t* cr, int bands) : bands_(bands)
    {
        cairo_surface_t* image = cairo_get_target(cr);
        data_ = cairo_image_surface_get_data(image);
        format_ = cairo_image_surface_get_format(image);
        width_ = cairo_image_surface_get_width(image);
        height_ = cairo_image_surface_get_height(image);
        stride_ = cairo_image_surface_get_stride(image);
        cairo_get_matrix(cr, &transform_);
    }

    int Count() const { return bands_; }

    void Draw(int band, const DrawBand& draw) const
    {
        const int top = Top(band);
        cairo_surface_t* rows = cairo_image_surface_create_for_data(data_ + static_cast<std::ptrdiff_t>(top) * stride_,
                                                                    format_, width_, Top(band + 1) - top, stride_);
        cairo_surface_set_device_offset(rows, 0, -top);
        cairo_t* cr = cairo_create(rows);
        cairo_set_matrix(cr, &transform_);
        struct Release {
            cairo_t* cr;
            cairo_surface_t* rows;
            ~Release()
            {
                cairo_destroy(cr);
                cairo_surface_finish(rows);
                cairo_surface_destroy(rows);
            }
        } release{cr, rows};
        draw(cr);
    }

private:
    int Top(int band) const { return static_cast<int>(static_cast<long long>(height_) * band / bands_); }

    int bands_;
    unsigned char* data_;
    cairo_format_t format_;
    int width_, height_, stride_;
    cairo_matrix_t transform_;
};

}  // namespace

int BandCount(int width, int height)
{
    const double pixels = static_cast<double>(width) * height;
    if (pixels < kMinBandedPixels)
        return 1;
    return std::clamp(static_cast<int>(pixels / kBandPixels), 1, std::min(kMaxBands, height / kMinBandRows));
}

void DrawInBands(cairo_t* cr, int bands, unsigned cores, const DrawBand& first, const DrawBand& others)
{
    cairo_surface_t* image = cairo_get_target(cr);
    if (bands <= 1 || cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_height(image) < bands) {
        first(cr);
        return;
    }
    cairo_surface_flush(image);
    const CBandRows rows(cr, bands);

    std::atomic<int> next{1};  // the first band is the calling thread's
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto drawBands = [&](bool withFirst) {
        try {
            if (withFirst)
                rows.Draw(0, first);
            for (int band = next++; band < bands; band = next++)
                rows.Draw(band, others);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
        }
    };

    std::vector<std::thread> helpers;
    const unsigned helperCount = std::min({std::max(cores, 1u), kMaxThreads, static_cast<unsigned>(bands)}) - 1;
    for (unsigned i = 0; i < helperCount; ++i) {
        try {
            helpers.emplace_back(drawBands, false);
        } catch (const std::system_error&) {
            break;  // the bands left are drawn by those running
        }
    }
    drawBands(true);
    for (std::thread& helper : helpers)
        helper.join();
    cairo_surface_mark_dirty(image);
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace svg
