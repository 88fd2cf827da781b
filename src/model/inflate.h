// gzip/zlib inflation in memory, for .svgz documents.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace svg {

// True for data that starts with the gzip magic bytes 1F 8B.
bool IsGzip(std::string_view bytes);

// Inflates a gzip or zlib stream (header detected automatically). Succeeds
// only when the stream ends properly; fails on corrupt or truncated input and
// when the output would exceed `maxOutput` bytes.
bool Inflate(std::string_view compressed, std::size_t maxOutput, std::string& output);

}  // namespace svg
