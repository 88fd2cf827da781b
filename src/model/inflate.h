// gzip/zlib inflation in memory, for .svgz documents. Any thread; nothing is
// shared between calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace svg {

class CStopToken;

// True for data that starts with the gzip magic bytes 1F 8B.
bool IsGzip(std::string_view bytes);

enum class InflateStatus {
    Ok,
    Corrupt,   // corrupt or truncated input
    TooLarge,  // the output would exceed the bound
    Stopped,   // the stop token was set
};

// Inflates a gzip or zlib stream (header detected automatically) into
// `output`, emptied on every failure. Succeeds only when the stream ends
// properly and its output fits in `maxOutput` bytes; tests `stop` between
// chunks of output.
InflateStatus InflateBounded(std::string_view compressed, std::size_t maxOutput, const CStopToken& stop,
                             std::string& output);

// The same, unstoppable, as a plain success.
bool Inflate(std::string_view compressed, std::size_t maxOutput, std::string& output);

}  // namespace svg
