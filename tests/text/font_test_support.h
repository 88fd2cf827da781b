// Font bytes for the text tests: the fonts the build machine installs
// (fonts-dejavu, fonts-liberation2, fonts-ipafont-gothic), and WOFF files and
// collections made from them here, so that no binary fixture is needed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>

namespace svg::test {

inline const std::string kLiberationSans = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
inline const std::string kLiberationSansBold = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";
inline const std::string kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::uint32_t ReadU32(const std::vector<std::uint8_t>& data, std::size_t at)
{
    return std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 | std::uint32_t{data[at + 2]} << 8 |
           data[at + 3];
}

inline void WriteU32(std::vector<std::uint8_t>& data, std::size_t at, std::uint32_t value)
{
    data[at] = static_cast<std::uint8_t>(value >> 24);
    data[at + 1] = static_cast<std::uint8_t>(value >> 16);
    data[at + 2] = static_cast<std::uint8_t>(value >> 8);
    data[at + 3] = static_cast<std::uint8_t>(value);
}

inline void AppendU32(std::vector<std::uint8_t>& data, std::uint32_t value)
{
    data.resize(data.size() + 4);
    WriteU32(data, data.size() - 4, value);
}

inline void AppendU16(std::vector<std::uint8_t>& data, std::uint16_t value)
{
    data.push_back(static_cast<std::uint8_t>(value >> 8));
    data.push_back(static_cast<std::uint8_t>(value));
}

inline void PadTo4(std::vector<std::uint8_t>& data)
{
    while (data.size() % 4 != 0)
        data.push_back(0);
}

// A WOFF 1.0 file holding the tables of an sfnt font, each deflated with zlib
// unless `compress` is false (or deflating does not make it smaller).
inline std::vector<std::uint8_t> MakeWoff(const std::vector<std::uint8_t>& sfnt, bool compress = true)
{
    const std::size_t tables = static_cast<std::size_t>(sfnt[4]) << 8 | sfnt[5];
    std::vector<std::uint8_t> directory;
    std::vector<std::uint8_t> data;
    const std::size_t dataStart = 44 + tables * 20;
    std::uint32_t sfntSize = static_cast<std::uint32_t>(12 + tables * 16);
    for (std::size_t i = 0; i < tables; ++i) {
        const std::size_t entry = 12 + i * 16;
        const std::uint32_t offset = ReadU32(sfnt, entry + 8);
        const std::uint32_t length = ReadU32(sfnt, entry + 12);
        std::vector<std::uint8_t> stored(sfnt.begin() + offset, sfnt.begin() + offset + length);
        if (compress) {
            uLongf packedLength = compressBound(length);
            std::vector<std::uint8_t> packed(packedLength);
            if (compress2(packed.data(), &packedLength, stored.data(), length, 9) == Z_OK && packedLength < length) {
                packed.resize(packedLength);
                stored = std::move(packed);
            }
        }
        AppendU32(directory, ReadU32(sfnt, entry));  // tag
        AppendU32(directory, static_cast<std::uint32_t>(dataStart + data.size()));
        AppendU32(directory, static_cast<std::uint32_t>(stored.size()));
        AppendU32(directory, length);
        AppendU32(directory, ReadU32(sfnt, entry + 4));  // checksum
        data.insert(data.end(), stored.begin(), stored.end());
        PadTo4(data);
        sfntSize += (length + 3) & ~3u;
    }
    std::vector<std::uint8_t> woff;
    AppendU32(woff, 0x774F4646);  // 'wOFF'
    AppendU32(woff, ReadU32(sfnt, 0));
    AppendU32(woff, static_cast<std::uint32_t>(dataStart + data.size()));
    AppendU16(woff, static_cast<std::uint16_t>(tables));
    AppendU16(woff, 0);
    AppendU32(woff, sfntSize);
    AppendU32(woff, 0x00010000);  // version 1.0
    for (int i = 0; i < 5; ++i)
        AppendU32(woff, 0);  // no metadata, no private data
    woff.insert(woff.end(), directory.begin(), directory.end());
    woff.insert(woff.end(), data.begin(), data.end());
    return woff;
}

// A TrueType collection of whole sfnt fonts: each font copied after the
// header with its table offsets moved by where it now starts. With
// `declared` above the number of fonts, the header lists that many fonts,
// the extra ones all the last font again.
inline std::vector<std::uint8_t> MakeCollection(const std::vector<std::vector<std::uint8_t>>& fonts,
                                                std::size_t declared = 0)
{
    declared = std::max(declared, fonts.size());
    std::vector<std::uint8_t> collection;
    AppendU32(collection, 0x74746366);  // 'ttcf'
    AppendU32(collection, 0x00010000);
    AppendU32(collection, static_cast<std::uint32_t>(declared));
    const std::size_t offsets = collection.size();
    collection.resize(collection.size() + declared * 4);
    for (std::size_t f = 0; f < fonts.size(); ++f) {
        PadTo4(collection);
        const std::size_t base = collection.size();
        WriteU32(collection, offsets + f * 4, static_cast<std::uint32_t>(base));
        collection.insert(collection.end(), fonts[f].begin(), fonts[f].end());
        const std::size_t tables = static_cast<std::size_t>(fonts[f][4]) << 8 | fonts[f][5];
        for (std::size_t i = 0; i < tables; ++i) {
            const std::size_t at = base + 12 + i * 16 + 8;
            WriteU32(collection, at, static_cast<std::uint32_t>(ReadU32(collection, at) + base));
        }
    }
    for (std::size_t f = fonts.size(); f < declared; ++f)
        WriteU32(collection, offsets + f * 4, ReadU32(collection, offsets + (fonts.size() - 1) * 4));
    return collection;
}

}  // namespace svg::test
