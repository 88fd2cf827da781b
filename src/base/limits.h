// Every bound that keeps a hostile or broken document from costing unbounded
// time or memory. Each names the attack it stops; the code that hits a bound
// reports a located message and carries on without the excess.
#pragma once

#include <cstddef>

namespace svg::limits {

// --- Reading files ------------------------------------------------------------

// Every file a load reads is refused before a byte is read when it is larger
// than the bound of its kind, so a document naming a huge file (or a device
// such as /dev/zero, which is refused anyway) cannot pull it into memory.
// Documents: the largest real drawings (maps, plans) are tens of megabytes;
// their parsed tree takes several times the file's size.
inline constexpr std::size_t kMaxDocumentFileBytes = std::size_t{256} << 20;
// Raster images: a 16k x 16k uncompressed TIFF is 1 GiB, but decoded pictures
// are bounded separately; real image files stay far below this.
inline constexpr std::size_t kMaxImageFileBytes = std::size_t{256} << 20;
// CSS files, linked or imported: real sheets are kilobytes.
inline constexpr std::size_t kMaxStyleSheetFileBytes = std::size_t{16} << 20;
// XSLT sheets and the documents XSLT document() reads.
inline constexpr std::size_t kMaxXsltFileBytes = std::size_t{64} << 20;
// ICC profiles are a few kilobytes to a few megabytes.
inline constexpr std::size_t kMaxColorProfileFileBytes = std::size_t{64} << 20;
// Files are read in chunks of this size, and the stop token is tested
// between chunks: stopping a load that reads a big file on a slow disk or
// network share ends the read at once.
inline constexpr std::size_t kReadChunkBytes = std::size_t{1} << 20;
// Files a load could not read because they lie outside the folders it may
// read from are remembered (for the viewer's bar) up to this many.
inline constexpr std::size_t kMaxRememberedRefusedFiles = 64;

// Decompression bombs: a few KB of gzip can inflate to many GB. Inflation
// stops past this size, with a message naming the bound.
inline constexpr std::size_t kMaxInflatedBytes = std::size_t{256} << 20;

// Deeply nested documents: every tree walk (building, preparing, rendering) is
// recursive. The XML reader refuses documents whose elements nest deeper than
// this, and our own tree walks stop at the same depth, so no recursion can
// overflow the stack.
inline constexpr unsigned kMaxElementDepth = 256;

// --- XML entities and XSLT ------------------------------------------------------

// Entity bombs ("billion laughs"): ten entities that each name the previous
// one ten times expand a few hundred bytes into gigabytes. The XML reader
// lifts libxml2's own size limits so that real big files load (maps with
// multi-megabyte paths), and counts entity expansions itself instead: the
// text all entity references of one document expand to, nested references
// counted at every level, may not exceed this ...
inline constexpr std::size_t kMaxEntityExpansionBytes = std::size_t{32} << 20;
// ... and an entity may name entities naming entities ... at most this deep
// (also ends entities that name each other in a loop before the parser's
// recursion through them grows the stack).
inline constexpr unsigned kMaxEntityNesting = 40;

// Runaway XSLT: a template calling itself twice per call runs 2^n calls for
// depth n. A transform stops with an error after this many instructions ...
inline constexpr unsigned long kMaxXsltSteps = 5'000'000;
// ... or this many XPath operations (an expression such as //*//*//*//* costs
// the document's node count to the fourth power in one instruction) ...
inline constexpr unsigned long kMaxXsltXPathSteps = 50'000'000;
// ... or when its templates nest deeper than this (each level takes C stack
// inside libxslt) ...
inline constexpr int kMaxXsltTemplateDepth = 3000;
// ... or hold more than this many variables at once ...
inline constexpr int kMaxXsltVariables = 15000;
// ... or hold more than this much memory at once (a string or tree fragment
// doubled at every step reaches gigabytes in thirty steps), its serialised
// result included; a result larger than kMaxDocumentFileBytes is refused too.
inline constexpr std::size_t kMaxXsltMemoryBytes = std::size_t{512} << 20;

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

// Groups with opacity, masks and clip unions nested in one another each hold
// an intermediate surface until the outermost is composited: two hundred
// nested faded groups over a 4000-pixel output would hold gigabytes. Past
// this many pixels open at once (512 MiB), a nested group's opacity fades
// each of its parts instead, and a nested mask or clip union draws nothing.
// The outermost surface is always allowed: it is at most the output's size.
inline constexpr std::size_t kMaxOpenLayerPixels = std::size_t{128} << 20;

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

// --- Output ----------------------------------------------------------------------

// A picture written as pixels (vexo-render's PNG, the viewer's copy) larger
// than this is scaled down to fit, with a warning: a root of 1e9 user units,
// or a large zoom on a small drawing, would otherwise ask for a 32767 x 32767
// image (4 GiB) and minutes of drawing.
inline constexpr std::size_t kMaxOutputPixels = std::size_t{256} << 20;

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
// Characters whose last-resort font (a fontconfig search by character) is
// remembered; text of many scripts would otherwise grow the memory without
// end. Past this many it is dropped and rebuilt.
inline constexpr std::size_t kMaxRememberedCharFonts = 4096;
// Characters shaped from one string: a text node of millions of characters
// would otherwise become millions of glyph records (hundreds of MB). The rest
// of such a string is not laid out.
inline constexpr std::size_t kMaxShapedChars = std::size_t{1} << 18;
// Font sizes in user units are clamped to this: sizes near the float range
// turn advances, sums of advances and outline transforms into infinities
// and NaNs, which would poison the geometry drawn from them.
inline constexpr float kMaxFontSize = 1e9f;
// Spans of different fonts in one text chunk are each shaped over the whole
// chunk, so that kerning and joining cross their boundaries; a chunk of
// thousands of one-character spans would be shaped thousands of times. Past
// this many characters shaped for one chunk (runs times length), each run is
// shaped alone.
inline constexpr std::size_t kMaxChunkReshapeChars = 16384;
// A glyph of an SVG font may be drawn from its child content, which may hold
// text set in the same font: each nesting multiplies the glyphs drawn. Glyph
// content is drawn at most this deep inside glyph content, and at most this
// many times in one drawing.
inline constexpr unsigned kMaxGlyphContentNesting = 4;
inline constexpr std::size_t kMaxGlyphContentDraws = 100'000;
// Characters laid out for one text element, its tspan and tref content
// included: a text node of megabytes would become millions of glyphs and
// outlines. The rest of such a text is not laid out.
inline constexpr std::size_t kMaxTextChars = std::size_t{1} << 18;

// --- Part view ----------------------------------------------------------------

// Selecting element after element while each drawing is slow to notice its
// stop request (one huge path, one large filter primitive) would leave a
// thread per click still running: past this many, a new selection first
// waits for the oldest to end.
inline constexpr std::size_t kMaxStoppingPreviews = 4;

// --- Printing -------------------------------------------------------------------

// A picture millions of units wide printed at its natural size would take
// millions of pages (and as many rendered page images): the page grid stops
// at this many pages a side.
inline constexpr int kMaxPrintPagesPerSide = 1000;
// Each printed page is rendered into an image at the printer's resolution; a
// large paper at 1200 dpi would ask for half a gigabyte. Pages are rendered
// at a lower resolution beyond this many pixels (and at most 300 dpi).
inline constexpr std::size_t kMaxPrintPagePixels = std::size_t{48} << 20;
inline constexpr double kMaxPrintRasterDpi = 300;

// Rendered tiles the viewer keeps around the visible ones: panning over a
// huge picture at a high zoom would otherwise keep every tile ever seen
// (256 x 256 x 4 bytes each). The farthest from the view go first.
inline constexpr std::size_t kMaxViewTiles = 384;

}  // namespace svg::limits
