// The entry points fuzzers and the crash-reproducer test share. Each takes
// arbitrary bytes, runs one stage of the pipeline on them with a log and a
// stop token of its own, and frees everything before it returns; nothing is
// kept between calls, so any thread may call any of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexo_fuzz {

// A whole load: read, styled, built and prepared, then recorded and drawn
// into a small raster (at most kRasterSide pixels a side), so the raster
// code (effects, clipping, images) runs too. The document's folder does not
// exist: references to files find nothing.
void LoadFromBytes(const std::uint8_t* data, std::size_t size);
inline constexpr int kRasterSide = 64;

// The CSS parser: the bytes as a style sheet cascaded into a small document,
// and as a `style` attribute.
void ParseCssFromBytes(const std::uint8_t* data, std::size_t size);

// Path data and points lists: parsed with markers, then bounds, length and
// positions along the path.
void ParsePathFromBytes(const std::uint8_t* data, std::size_t size);

// The XSLT step: the bytes as an XSLT style sheet applied to a small SVG
// document, its result read back as a document.
void TransformFromBytes(const std::uint8_t* data, std::size_t size);

// The entry point a reproducer folder is replayed through: "css", "path",
// "xslt", anything else the whole load.
using EntryPoint = void (*)(const std::uint8_t*, std::size_t);
EntryPoint EntryForFolder(std::string_view folder);

}  // namespace vexo_fuzz
