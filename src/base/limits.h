// Every bound that keeps a hostile or broken document from costing unbounded
// time or memory. Each names the attack it stops; the code that hits a bound
// reports a located message and carries on without the excess.
#pragma once

#include <cstddef>

namespace svg::limits {

// A file larger than this is refused before it is read: nobody draws a 1 GiB
// SVG, and reading it would exhaust memory on small machines.
inline constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;

// Decompression bombs: a few KB of gzip can inflate to many GB. Inflation
// stops with "Inflate failed" past this size.
inline constexpr std::size_t kMaxInflatedBytes = std::size_t{256} << 20;

// Deeply nested documents: every tree walk (building, preparing, rendering) is
// recursive. libxml2 refuses documents nested deeper than this with a fatal
// "Excessive depth" error, and our own tree walks stop at the same depth, so
// no recursion can overflow the stack.
inline constexpr unsigned kMaxElementDepth = 256;

// Preparing a referenced element nests inside the preparation of the element
// that refers to it, so a long chain of references (g1 -> g2 -> ... -> g5000)
// would nest without bound and overflow the stack. Tree depth alone stays
// below kMaxElementDepth; this leaves room for a few chains of it.
inline constexpr unsigned kMaxPrepareNesting = 512;

// Real xlink:href chains are two or three links long; walking a longer one for
// every attribute look-up would make a chain of n elements cost n^2 searches.
inline constexpr std::size_t kMaxHrefChain = 64;

// Style sheets that import each other, and XSLT output that names further
// style sheets, stop after this many nested loads.
inline constexpr unsigned kMaxStyleSheetNesting = 16;

// Sheets importing each other several times over (a imports b twice, b
// imports c twice, ...) would be read an exponential number of times within
// the nesting bound; this caps the files @import reads in one load.
inline constexpr std::size_t kMaxImportedSheets = 256;

// External documents referenced from one load (images, use of other files,
// references between files): stops a chain of files referencing new files.
inline constexpr std::size_t kMaxLoadedDocuments = 256;

// Raster effects: a huge filter region, filterRes or zoom would ask for
// gigabytes per bitmap, and a filter holds several at once. A bitmap is refused
// beyond this many pixels (256 MiB at four bytes a pixel) ...
inline constexpr std::size_t kMaxBitmapPixels = std::size_t{64} << 20;
// ... or beyond this many pixels on a side, cairo's image surface limit, since
// every bitmap must be drawable through cairo.
inline constexpr int kMaxBitmapSide = 32767;

// A filter primitive's scratch planes (the rows a blur or morphology must
// read beyond its output, row-filtered before the columns are) obey a bound
// of their own: a tall input under a wide output would otherwise ask for an
// input height times an output width of pixels.
inline constexpr std::size_t kMaxFilterScratchPixels = kMaxBitmapPixels * 2;

// A huge stdDeviation makes every blurred row and column pad thousands of
// pixels of reach; beyond this many pixels the blur is spread so thin that a
// picture of any allowed size comes out transparent or flat, so larger
// deviations are clamped to it.
inline constexpr float kMaxBlurDeviationPx = 500.0f;

// A huge morphology radius makes every window cover the whole input; larger
// radii are clamped to this many pixels (a bitmap's longest side, so the
// picture cannot change) to keep window arithmetic inside an int.
inline constexpr float kMaxMorphologyRadiusPx = 32767.0f;

// A convolution kernel costs its cell count at every pixel. A kernel of more
// cells than this (e.g. order="1000") is refused ...
inline constexpr std::size_t kMaxConvolveKernelCells = 1024;
// ... and so is a convolution whose pixels times cells exceed this many
// multiply-adds (a 1024-cell kernel over a whole 8000 x 8000 picture would
// run for minutes).
inline constexpr std::size_t kMaxConvolveOperations = std::size_t{1} << 31;

// A filter region under a huge zoom or transform (x="-10000" width="100000"
// at scale 100) would need billions of pixels per intermediate image, and a
// filter holds several at once. The part of a region that is computed is
// kept within this many pixels (128 MiB an image): beyond it the filter runs
// at a coarser resolution, with a warning, and its result is scaled up.
inline constexpr std::size_t kMaxFilterPixels = std::size_t{32} << 20;
// ... and a filter's pixels times its primitives within this many, so that
// ten thousand chained primitives run at a coarser resolution rather than
// for hours.
inline constexpr std::size_t kMaxFilterWorkPixels = std::size_t{2} << 30;
// A filter with thousands of primitives costs their sum for every element
// drawn through it; primitives past this count are ignored (reported).
inline constexpr std::size_t kMaxFilterPrimitives = 1024;
// Filters inside the source of a filter (a filtered group of filtered
// shapes, an feImage of a filtered element) each hold their images while the
// inner ones run: past this depth an element is drawn unfiltered.
inline constexpr std::size_t kMaxFilterNesting = 16;
// ... and feImage multiplies them: twenty filtered elements whose feImage
// each shows the whole document would run twenty factorial filters. Filters
// run inside the pictures of feImage are bounded in one drawing; past this,
// an element drawn there through a filter is not drawn (reported once).
// Filters nested without feImage (a filtered group of filtered shapes) cost
// what the document's size says and are not counted.
inline constexpr std::size_t kMaxFiltersInPictures = 1000;

// numOctaves="1000000" would evaluate a million noise octaves per pixel and
// channel. Each octave adds half the amplitude of the previous one, so past
// this count the rest add less than 1/128 of a colour step; more are clamped.
inline constexpr int kMaxTurbulenceOctaves = 16;

// Path data and points lists: a few characters of text make a point, and one
// arc command up to 24, so a long `d` or `points` attribute could fill memory
// at 9 bytes a point. Parsing stops at this many points of one path with a
// warning; real drawings stay far below it.
inline constexpr std::size_t kMaxPathPoints = 10'000'000;

// `use` bombs: ten groups that each use the previous one ten times expand to
// ten billion elements from a few hundred bytes. Instantiation stops once a
// document holds this many elements cloned into `use` instances; every later
// `use` of that document draws nothing.
inline constexpr std::size_t kMaxUseInstanceElements = 200'000;
// A `use` inside an instance inside an instance ...: instantiation stops at
// this depth of nested instances, well before the tree walks (which recurse)
// could run out of stack.
inline constexpr unsigned kMaxUseNesting = 32;

// How deep a chain of single-child groups is looked through to fold a
// group's opacity into its one shape's colour; each faded level looks again,
// so a chain of thousands of faded groups would cost their count squared.
inline constexpr unsigned kMaxFoldedGroupDepth = 8;

// Markers inside marker content multiply: ten levels of markers on
// ten-vertex paths are ten billion instances. Drawing stops once the marker
// content drawn into one picture adds up to this many elements and path
// points; a real drawing (an arrowhead on every vertex of a long polyline)
// stays far below it.
inline constexpr std::size_t kMaxMarkerContentCost = 10'000'000;

// --- Fonts and text shaping --------------------------------------------------

// Font files (from disk or decoded from data: URLs) larger than this are
// refused before they are read or parsed: the largest real fonts (complete
// CJK collections) stay well below it, and a document naming a huge file
// would otherwise pull it whole into memory.
inline constexpr std::size_t kMaxFontFileBytes = std::size_t{64} << 20;
// WOFF and WOFF2 headers declare the size of the font they unpack to; a few KB
// could declare gigabytes (a decompression bomb), so a declared size beyond
// this is refused before anything is unpacked.
inline constexpr std::size_t kMaxUnpackedFontBytes = std::size_t{64} << 20;
// All font data one font pool holds (file bytes plus declared unpacked
// sizes): stops a document that declares thousands of distinct large fonts.
inline constexpr std::size_t kMaxFontBytesPerPool = std::size_t{512} << 20;
// A collection header may declare millions of fonts; only this many faces of
// one collection are opened.
inline constexpr std::size_t kMaxFacesPerCollection = 64;
// Faces one pool holds (system, installed and synthesised): thousands of
// @font-face rules cannot make every face look-up slow or fill memory.
inline constexpr std::size_t kMaxPoolFaces = 4096;
// Family lists are split and looked up in full for every string laid out: a
// list of ten thousand names would cost ten thousand look-ups per string.
// Names past this count are ignored.
inline constexpr std::size_t kMaxFamiliesPerList = 64;
// Each family name never seen before costs one fontconfig query; a document
// naming a new family on every element could make a load crawl. Past this many
// distinct names, unknown names count as not installed.
inline constexpr std::size_t kMaxSystemFamilyLookups = 4096;
// Glyph outlines kept per font, least recently used dropped first; and the
// points all of them may hold, so that a font of huge glyphs cannot fill
// memory through the cache.
inline constexpr std::size_t kMaxCachedOutlinesPerFont = 512;
inline constexpr std::size_t kMaxCachedOutlinePointsPerFont = std::size_t{1} << 20;
// Shaping results kept per pool, and the longest run that is kept: long runs
// are seldom repeated, and caching them would let a document fill memory.
inline constexpr std::size_t kMaxShapeCacheEntries = 8192;
inline constexpr std::size_t kMaxShapeCacheRunChars = 256;
// Face lists remembered per distinct (family list, style, weight, stretch);
// past this many the memory is dropped and rebuilt, so that a document with
// a new family list on every element cannot grow it without end.
inline constexpr std::size_t kMaxRememberedFaceLists = 1024;
// Characters shaped from one string: a text node of millions of characters
// would otherwise become millions of glyph records (hundreds of MB). The rest
// of such a string is not laid out.
inline constexpr std::size_t kMaxShapedChars = std::size_t{1} << 18;
// Font sizes in user units are clamped to this: sizes near the float range
// turn advances, sums of advances and outline transforms into infinities
// and NaNs, which would poison the geometry drawn from them.
inline constexpr float kMaxFontSize = 1e9f;

}  // namespace svg::limits
