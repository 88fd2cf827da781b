#include "model/inflate.h"

#include <algorithm>

#include <zlib.h>

namespace svg {

bool IsGzip(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B;
}

bool Inflate(std::string_view compressed, std::size_t maxOutput, std::string& output)
{
    output.clear();
    z_stream stream{};
    // 15 + 32: largest window, and detect a gzip or zlib header by itself.
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    int status = Z_OK;
    std::size_t remaining = compressed.size();
    char chunk[65536];
    while (status == Z_OK) {
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
            status = Z_MEM_ERROR;
            break;
        }
        output.append(chunk, produced);
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && remaining > 0)
            status = Z_OK;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) {
        output.clear();
        return false;
    }
    return true;
}

}  // namespace svg
