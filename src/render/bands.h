// Draws one large raster picture on several cores. The image's rows are cut
// into horizontal bands; each band is drawn through a cairo image surface of
// its own over the same pixels, whose device offset puts the band where it
// belongs. Every band sees the transform and the pixel grid of the whole
// image (effects computed in device pixels fall on the same pixels); only
// its clip differs. How the rows are cut is chosen by the caller from the
// image and the document (BandCount, and FiltersWorthBands in
// filter_effect.h), never from how many cores draw them, so the pixels are
// the same whoever draws which band.
//
// Only a large image is cut. Each band walks the tree again, and threads
// drawing with cairo share its process-wide pools of clips and patterns
// (lock-free stacks that every save, clip and fill goes through), so on a
// picture of small shapes a second thread gains little; the pixels to fill
// grow with the image while those costs do not.
//
// The first band is drawn on the calling thread by `first`, the pass that
// reports, which must see every element. The others are drawn by `others`,
// a silent drawing that may skip what its band's clip hides, on the calling
// thread and on helpers, each taking the next band nobody has taken yet, so
// that a band dense with work does not leave a core idle.
#pragma once

#include <cairo.h>

#include <functional>

namespace svg {

// Draws onto `cr`, whose target is one band (its clip) of the image.
using DrawBand = std::function<void(cairo_t* cr)>;

// How many bands an image of `width` x `height` pixels is cut into: 1 for
// all but large images.
int BandCount(int width, int height);

// Draws onto the image surface that `cr` targets, with cr's transform, in
// `bands` bands (BandCount, or 1 to draw it whole), on up to `cores` threads (counting the
// calling one; four at most); any other target is drawn by `first` alone.
// cr's clip is not carried over. The first exception thrown by a band's
// drawing is rethrown here once every thread has finished; that band's rows
// are left as far as they were drawn.
void DrawInBands(cairo_t* cr, int bands, unsigned cores, const DrawBand& first, const DrawBand& others);

}  // namespace svg
