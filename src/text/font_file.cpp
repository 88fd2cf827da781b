// Font container checks. All multi-byte values are big-endian; every read is
// checked against the data size first.
#include "text/font_file.h"

#include <algorithm>

#include "base/limits.h"

namespace svg {
namespace {

constexpr std::uint32_t Tag(char a, char b, char c, char d)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8 | static_cast<unsigned char>(d);
}

constexpr std::uint32_t kTrueType = 0x00010000;
constexpr std::uint32_t kOpenTypeCff = Tag('O', 'T', 'T', 'O');
constexpr std::uint32_t kAppleTrueType = Tag('t', 'r', 'u', 'e');
constexpr std::uint32_t kCollection = Tag('t', 't', 'c', 'f');
constexpr std::uint32_t kWoff = Tag('w', 'O', 'F', 'F');
constexpr std::uint32_t kWoff2 = Tag('w', 'O', 'F', '2');

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
    bool Has(std::size_t offset, std::size_t length) const
    {
        return offset <= data_.size() && length <= data_.size() - offset;
    }
    std::uint32_t U32(std::size_t offset) const
    {
        if (!Has(offset, 4))
            return 0;
        return std::uint32_t{data_[offset]} << 24 | std::uint32_t{data_[offset + 1]} << 16 |
               std::uint32_t{data_[offset + 2]} << 8 | data_[offset + 3];
    }
    std::uint16_t U16(std::size_t offset) const
    {
        if (!Has(offset, 2))
            return 0;
        return static_cast<std::uint16_t>(data_[offset] << 8 | data_[offset + 1]);
    }
    std::size_t Size() const { return data_.size(); }

private:
    std::span<const std::uint8_t> data_;
};

bool IsSfntVersion(std::uint32_t version)
{
    return version == kTrueType || version == kOpenTypeCff || version == kAppleTrueType;
}

// The offset table at `start` and every table it lists lie inside the data.
bool SfntDirectoryFits(const Reader& reader, std::size_t start)
{
    if (!reader.Has(start, 12) || !IsSfntVersion(reader.U32(start)))
        return false;
    const std::size_t tables = reader.U16(start + 4);
    if (tables == 0 || !reader.Has(start + 12, tables * 16))
        return false;
    for (std::size_t i = 0; i < tables; ++i) {
        const std::size_t entry = start + 12 + i * 16;
        if (!reader.Has(reader.U32(entry + 8), reader.U32(entry + 12)))
            return false;
    }
    return true;
}

FontDataCheck Result(FontDataStatus status, FontContainer container, int faces = 0, std::size_t unpacked = 0)
{
    return {status, container, faces, unpacked};
}

FontDataCheck CheckCollection(const Reader& reader)
{
    const std::size_t declared = reader.U32(8);
    if (!reader.Has(0, 12) || declared == 0)
        return Result(FontDataStatus::Corrupt, FontContainer::Collection);
    const std::size_t faces = std::min(declared, limits::kMaxFacesPerCollection);
    if (!reader.Has(12, faces * 4))
        return Result(FontDataStatus::Corrupt, FontContainer::Collection);
    for (std::size_t i = 0; i < faces; ++i)
        if (!SfntDirectoryFits(reader, reader.U32(12 + i * 4)))
            return Result(FontDataStatus::Corrupt, FontContainer::Collection);
    return Result(FontDataStatus::Ok, FontContainer::Collection, static_cast<int>(faces));
}

// WOFF 1.0: the header's length is the data's, the declared sfnt size is
// bounded, and every table (compressed in the file, inflated in the sfnt)
// fits where it is declared to.
FontDataCheck CheckWoff(const Reader& reader)
{
    constexpr std::size_t kHeaderBytes = 44;
    constexpr std::size_t kEntryBytes = 20;
    if (!reader.Has(0, kHeaderBytes) || reader.U32(8) != reader.Size())
        return Result(FontDataStatus::Corrupt, FontContainer::Woff);
    const std::size_t sfntBytes = reader.U32(16);
    if (sfntBytes > limits::kMaxUnpackedFontBytes)
        return Result(FontDataStatus::TooLarge, FontContainer::Woff);
    const std::size_t tables = reader.U16(12);
    if (tables == 0 || !reader.Has(kHeaderBytes, tables * kEntryBytes))
        return Result(FontDataStatus::Corrupt, FontContainer::Woff);
    std::size_t unpacked = 12 + tables * 16;
    for (std::size_t i = 0; i < tables; ++i) {
        const std::size_t entry = kHeaderBytes + i * kEntryBytes;
        const std::size_t compressed = reader.U32(entry + 8);
        const std::size_t original = reader.U32(entry + 12);
        if (!reader.Has(reader.U32(entry + 4), compressed) || compressed > original)
            return Result(FontDataStatus::Corrupt, FontContainer::Woff);
        unpacked += (original + 3) & ~std::size_t{3};
        if (unpacked > sfntBytes)
            return Result(FontDataStatus::Corrupt, FontContainer::Woff);
    }
    return Result(FontDataStatus::Ok, FontContainer::Woff, 1, sfntBytes);
}

// WOFF2 declares its sfnt size too; the rest of its directory is variable
// length and is checked by FreeType, which caps what it unpacks as well.
FontDataCheck CheckWoff2(const Reader& reader)
{
    constexpr std::size_t kHeaderBytes = 48;
    if (!reader.Has(0, kHeaderBytes) || reader.U32(8) != reader.Size() || reader.U16(12) == 0)
        return Result(FontDataStatus::Corrupt, FontContainer::Woff2);
    const std::size_t sfntBytes = reader.U32(16);
    if (sfntBytes > limits::kMaxUnpackedFontBytes)
        return Result(FontDataStatus::TooLarge, FontContainer::Woff2);
    const int faces = reader.U32(4) == kCollection ? static_cast<int>(limits::kMaxFacesPerCollection) : 1;
    return Result(FontDataStatus::Ok, FontContainer::Woff2, faces, sfntBytes);
}

}  // namespace

FontDataCheck CheckFontData(std::span<const std::uint8_t> data)
{
    const Reader reader(data);
    if (data.size() > limits::kMaxFontFileBytes)
        return Result(FontDataStatus::TooLarge, FontContainer::Sfnt);
    if (!reader.Has(0, 4))
        return Result(FontDataStatus::NotAFont, FontContainer::Sfnt);
    const std::uint32_t signature = reader.U32(0);
    if (IsSfntVersion(signature)) {
        const bool fits = SfntDirectoryFits(reader, 0);
        return Result(fits ? FontDataStatus::Ok : FontDataStatus::Corrupt, FontContainer::Sfnt, fits ? 1 : 0);
    }
    if (signature == kCollection)
        return CheckCollection(reader);
    if (signature == kWoff)
        return CheckWoff(reader);
    if (signature == kWoff2)
        return CheckWoff2(reader);
    return Result(FontDataStatus::NotAFont, FontContainer::Sfnt);
}

}  // namespace svg
