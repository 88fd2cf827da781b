#include "model/inflate.h"

#include <algorithm>

#include <zlib.h>

#include "base/stop_token.h"

namespace svg {

bool IsGzip(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B;
}

InflateStatus InflateBounded(std::string_view compressed, std::size_t maxOutput, const CStopToken& stop,
                             std::string& output)
{
    output.clear();
    z_stream stream{};
    // 15 + 32: largest window, and detect a gzip or zlib header by itself.
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return InflateStatus::Corrupt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    int status = Z_OK;
    InflateStatus result = InflateStatus::Corrupt;  // unless the loop says otherwise
    std::size_t remaining = compressed.size();
    char chunk[65536];
    while (status == Z_OK) {
        if (stop.StopRequested()) {
            result = InflateStatus::Stopped;
            break;
        }
        if (stream.avail_in == 0) {
            if (remaining == 0)
                break;  // input ended before the stream did
            const auto take = static_cast<uInt>(std::min<std::size_t>(remaining, 1u << 30));
            stream.avail_in = take;
            remaining -= take;
        }
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = sizeof chunk - stream.avail_out;
        if (output.size() + produced > maxOutput) {
            result = InflateStatus::TooLarge;
            break;
        }
        output.append(chunk, produced);
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && remaining > 0)
            status = Z_OK;
    }
    inflateEnd(&stream);
    if (status == Z_STREAM_END && result == InflateStatus::Corrupt)
        return InflateStatus::Ok;  // the stream ended and nothing else went wrong
    output.clear();
    return result;
}

bool Inflate(std::string_view compressed, std::size_t maxOutput, std::string& output)
{
    return InflateBounded(compressed, maxOutput, CStopToken::Never(), output) == InflateStatus::Ok;
}

}  // namespace svg
