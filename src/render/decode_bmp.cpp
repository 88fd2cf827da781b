// BMP, read by hand (no system library decodes it): the OS/2 core header
// and the Windows headers from 40 to 124 bytes; 1, 4 and 8 bits a pixel with
// a colour table, 16 and 32 with bit masks (BI_RGB, BI_BITFIELDS,
// BI_ALPHABITFIELDS), 24 plain; RLE8 and RLE4 compression. Embedded JPEG or
// PNG data and colour profiles are not read.
//
// Every read goes through ByteReader, which checks the offset against the
// data; a header that does not fit, pixel data that ends early, or masks that
// make no sense fail the decode. Sizes are computed in 64 bits.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "render/raster_writer.h"

namespace svg {
namespace {

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;

class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool Has(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::uint8_t U8(std::uint64_t offset) const
    {
        return Has(offset, 1) ? static_cast<std::uint8_t>(bytes_[offset]) : 0;
    }
    std::uint16_t U16(std::uint64_t offset) const
    {
        return static_cast<std::uint16_t>(U8(offset) | U8(offset + 1) << 8);
    }
    std::uint32_t U32(std::uint64_t offset) const
    {
        return static_cast<std::uint32_t>(U16(offset)) | static_cast<std::uint32_t>(U16(offset + 2)) << 16;
    }
    std::int32_t I32(std::uint64_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
    const unsigned char* At(std::uint64_t offset) const
    {
        return reinterpret_cast<const unsigned char*>(bytes_.data()) + offset;
    }

private:
    std::string_view bytes_;
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// One channel's bit mask: where it sits and how wide it is.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    // 0..255; `absent` when the mask is empty.
    unsigned Read(std::uint32_t pixel, unsigned absent) const
    {
        if (mask == 0)
            return absent;
        const std::uint32_t value = (pixel & mask) >> shift;
        if (bits >= 8)
            return value >> (bits - 8);
        return value * 255 / ((1u << bits) - 1);
    }
};

struct BmpHeader {
    std::uint64_t dataOffset = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    bool topDown = false;
    unsigned bitsPerPixel = 0;
    std::uint32_t compression = kRgb;
    std::array<Channel, 4> channels;  // red, green, blue, alpha
    std::vector<Rgb> palette;
};

// False for a mask whose bits are not one contiguous run.
bool MakeChannel(std::uint32_t mask, Channel& channel)
{
    channel = {};
    if (mask == 0)
        return true;
    channel.mask = mask;
    channel.shift = std::countr_zero(mask);
    channel.bits = std::popcount(mask);
    return std::countr_one(mask >> channel.shift) == channel.bits;
}

// The masks of 16, 24 and 32 bits a pixel: from the header, or the defaults
// of BI_RGB (5-5-5, and 8-8-8 with a fourth byte unused).
bool ReadMasks(const ByteReader& in, std::uint32_t headerSize, BmpHeader& header)
{
    std::array<std::uint32_t, 4> masks{};
    if (header.compression == kBitfields || header.compression == kAlphaBitfields) {
        // Version 2 headers and later hold the masks; after a 40-byte header
        // they follow it, three of them, or four with BI_ALPHABITFIELDS.
        const std::uint64_t at = kFileHeaderSize + kInfoHeaderSize;
        const bool alphaFollows = headerSize >= 56 || header.compression == kAlphaBitfields;
        for (int i = 0; i < (alphaFollows ? 4 : 3); ++i)
            masks[static_cast<std::size_t>(i)] = in.U32(at + 4 * static_cast<std::uint64_t>(i));
    } else if (header.bitsPerPixel == 16) {
        masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else {
        masks = {0xFF0000, 0x00FF00, 0x0000FF, 0};
    }
    for (std::size_t i = 0; i < 4; ++i)
        if (!MakeChannel(masks[i], header.channels[i]))
            return false;
    return true;
}

void ReadPalette(const ByteReader& in, std::uint64_t offset, std::uint64_t entrySize, std::uint32_t colorsUsed,
                 BmpHeader& header)
{
    if (header.bitsPerPixel > 8)
        return;
    const std::uint64_t full = std::uint64_t{1} << header.bitsPerPixel;
    std::uint64_t count = colorsUsed != 0 ? std::min<std::uint64_t>(colorsUsed, full) : full;
    // The table cannot reach into the pixels; missing entries stay black.
    if (header.dataOffset > offset)
        count = std::min(count, (header.dataOffset - offset) / entrySize);
    header.palette.resize(full);
    for (std::uint64_t i = 0; i < count && in.Has(offset + i * entrySize, 3); ++i) {
        const std::uint64_t at = offset + i * entrySize;
        header.palette[i] = {in.U8(at + 2), in.U8(at + 1), in.U8(at)};
    }
}

bool ValidDepth(const BmpHeader& header)
{
    switch (header.compression) {
    case kRgb:
        return header.bitsPerPixel == 1 || header.bitsPerPixel == 4 || header.bitsPerPixel == 8 ||
               header.bitsPerPixel == 16 || header.bitsPerPixel == 24 || header.bitsPerPixel == 32;
    case kRle8: return header.bitsPerPixel == 8 && !header.topDown;
    case kRle4: return header.bitsPerPixel == 4 && !header.topDown;
    case kBitfields:
    case kAlphaBitfields: return header.bitsPerPixel == 16 || header.bitsPerPixel == 32;
    default: return false;
    }
}

bool ReadHeader(const ByteReader& in, BmpHeader& header)
{
    if (!in.Has(0, kFileHeaderSize + 4))
        return false;
    header.dataOffset = in.U32(10);
    const std::uint32_t headerSize = in.U32(kFileHeaderSize);
    if (!in.Has(kFileHeaderSize, headerSize))
        return false;
    std::uint32_t colorsUsed = 0;
    std::uint64_t paletteEntrySize = 4;
    if (headerSize == kCoreHeaderSize) {
        header.width = in.U16(18);
        header.height = in.U16(20);
        header.bitsPerPixel = in.U16(24);
        paletteEntrySize = 3;
    } else if (headerSize >= kInfoHeaderSize) {
        const std::int64_t width = in.I32(18);
        const std::int64_t height = in.I32(22);
        if (width <= 0 || height == 0)
            return false;
        header.width = static_cast<std::uint64_t>(width);
        header.topDown = height < 0;
        header.height = static_cast<std::uint64_t>(height < 0 ? -height : height);
        header.bitsPerPixel = in.U16(28);
        header.compression = in.U32(30);
        colorsUsed = in.U32(46);
    } else {
        return false;
    }
    if (!ValidDepth(header))
        return false;
    if (header.bitsPerPixel > 8 && !ReadMasks(in, headerSize, header))
        return false;

    std::uint64_t paletteOffset = kFileHeaderSize + headerSize;
    if (headerSize == kInfoHeaderSize && header.compression == kBitfields)
        paletteOffset += 12;
    if (headerSize == kInfoHeaderSize && header.compression == kAlphaBitfields)
        paletteOffset += 16;
    ReadPalette(in, paletteOffset, paletteEntrySize, colorsUsed, header);
    return true;
}

std::uint32_t OpaquePixel(const Rgb& color)
{
    return 0xFF000000u | std::uint32_t{color.r} << 16 | std::uint32_t{color.g} << 8 | color.b;
}

// --- Uncompressed rows -------------------------------------------------------------

std::uint32_t PackedPixel(const unsigned char* row, std::uint64_t x, unsigned bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 16: return row[x * 2] | static_cast<std::uint32_t>(row[x * 2 + 1]) << 8;
    case 24: return row[x * 3] | static_cast<std::uint32_t>(row[x * 3 + 1]) << 8 |
                    static_cast<std::uint32_t>(row[x * 3 + 2]) << 16;
    default:
        return row[x * 4] | static_cast<std::uint32_t>(row[x * 4 + 1]) << 8 |
               static_cast<std::uint32_t>(row[x * 4 + 2]) << 16 | static_cast<std::uint32_t>(row[x * 4 + 3]) << 24;
    }
}

unsigned PaletteIndex(const unsigned char* row, std::uint64_t x, unsigned bitsPerPixel)
{
    const std::uint64_t bit = x * bitsPerPixel;
    const unsigned byte = row[bit / 8];
    const unsigned shift = 8 - bitsPerPixel - static_cast<unsigned>(bit % 8);
    return byte >> shift & ((1u << bitsPerPixel) - 1);
}

// Some writers leave a declared alpha mask all zero; such a picture is opaque.
bool AnyAlpha(const ByteReader& in, const BmpHeader& header, std::uint64_t stride)
{
    const Channel& alpha = header.channels[3];
    if (alpha.mask == 0)
        return false;
    for (std::uint64_t y = 0; y < header.height; ++y) {
        const unsigned char* row = in.At(header.dataOffset + y * stride);
        for (std::uint64_t x = 0; x < header.width; ++x)
            if (PackedPixel(row, x, header.bitsPerPixel) & alpha.mask)
                return true;
    }
    return false;
}

bool DecodeUncompressed(const ByteReader& in, const BmpHeader& header, CRasterWriter& writer)
{
    const std::uint64_t stride = (header.width * header.bitsPerPixel + 31) / 32 * 4;
    if (!in.Has(header.dataOffset, stride * header.height))
        return false;
    const bool indexed = header.bitsPerPixel <= 8;
    const bool useAlpha = !indexed && AnyAlpha(in, header, stride);
    std::vector<unsigned char> rgba(header.width * 4);
    for (std::uint64_t fileRow = 0; fileRow < header.height; ++fileRow) {
        const unsigned char* row = in.At(header.dataOffset + fileRow * stride);
        for (std::uint64_t x = 0; x < header.width; ++x) {
            unsigned char* out = &rgba[x * 4];
            if (indexed) {
                const Rgb& color = header.palette[PaletteIndex(row, x, header.bitsPerPixel)];
                out[0] = color.r;
                out[1] = color.g;
                out[2] = color.b;
                out[3] = 255;
                continue;
            }
            const std::uint32_t pixel = PackedPixel(row, x, header.bitsPerPixel);
            out[0] = static_cast<unsigned char>(header.channels[0].Read(pixel, 0));
            out[1] = static_cast<unsigned char>(header.channels[1].Read(pixel, 0));
            out[2] = static_cast<unsigned char>(header.channels[2].Read(pixel, 0));
            out[3] = static_cast<unsigned char>(useAlpha ? header.channels[3].Read(pixel, 255) : 255);
        }
        const std::uint64_t y = header.topDown ? fileRow : header.height - 1 - fileRow;
        writer.PutRow(static_cast<int>(y), rgba.data(), RowLayout::Rgba);
    }
    return true;
}

// --- RLE ---------------------------------------------------------------------------------

// Runs and literal groups of palette indexes, rows from the bottom up;
// pixels that no run reaches stay transparent. Each command reads at least
// two bytes and draws at most 255 pixels, so the work is bounded by the
// data's size.
class RleDecoder {
public:
    RleDecoder(const ByteReader& in, const BmpHeader& header, CRasterWriter& writer)
        : in_(in), header_(header), writer_(writer), nibbles_(header.compression == kRle4)
    {
    }

    bool Run()
    {
        std::uint64_t at = header_.dataOffset;
        while (row_ < header_.height) {
            if (!in_.Has(at, 2))
                return false;
            const unsigned count = in_.U8(at);
            const unsigned code = in_.U8(at + 1);
            at += 2;
            if (count > 0) {
                for (unsigned i = 0; i < count; ++i)
                    Put(nibbles_ ? (i % 2 == 0 ? code >> 4 : code & 0x0F) : code);
                continue;
            }
            switch (code) {
            case 0:  // end of line
                x_ = 0;
                ++row_;
                break;
            case 1: return true;  // end of bitmap
            case 2:               // move right and up
                if (!in_.Has(at, 2))
                    return false;
                x_ += in_.U8(at);
                row_ += in_.U8(at + 1);
                at += 2;
                break;
            default: {  // `code` indexes stored as they are, padded to a 16-bit boundary
                const std::uint64_t length = nibbles_ ? (code + 1) / 2 : code;
                if (!in_.Has(at, length))
                    return false;
                for (unsigned i = 0; i < code; ++i) {
                    const unsigned byte = in_.U8(at + (nibbles_ ? i / 2 : i));
                    Put(nibbles_ ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
                }
                at += length + length % 2;
                break;
            }
            }
        }
        return true;
    }

private:
    void Put(unsigned index)
    {
        if (x_ < header_.width && row_ < header_.height) {
            const int y = static_cast<int>(header_.height - 1 - row_);
            reinterpret_cast<std::uint32_t*>(writer_.PictureRow(y))[x_] = OpaquePixel(header_.palette[index]);
        }
        ++x_;
    }

    const ByteReader& in_;
    const BmpHeader& header_;
    CRasterWriter& writer_;
    bool nibbles_;
    std::uint64_t x_ = 0;
    std::uint64_t row_ = 0;
};

}  // namespace

bool DecodeBmp(std::string_view bytes, CRasterWriter& writer)
{
    const ByteReader in(bytes);
    BmpHeader header;
    if (!ReadHeader(in, header) || !writer.Begin(header.width, header.height))
        return false;
    if (header.compression == kRle8 || header.compression == kRle4)
        return RleDecoder(in, header, writer).Run();
    return DecodeUncompressed(in, header, writer);
}

}  // namespace svg
