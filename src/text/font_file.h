// Checks on font file bytes before FreeType sees them. FreeType parses fonts robustly, but it trusts the
// sizes a header declares when it unpacks WOFF and WOFF2, and it opens a
// truncated sfnt whose tables run past the end of the data; both are refused
// here first. Pure functions of their input; no state, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace svg {

enum class FontDataStatus {
    Ok,
    NotFound,  // the file cannot be read
    TooLarge,  // the file, or what it declares to unpack to, passes a bound
    NotAFont,  // no signature of a font format
    Corrupt,   // a font signature, but the header or table directory is broken
};

enum class FontContainer { Sfnt, Collection, Woff, Woff2 };

struct FontDataCheck {
    FontDataStatus status = FontDataStatus::NotAFont;
    FontContainer container = FontContainer::Sfnt;
    int faces = 0;                    // faces to open (collections are capped)
    std::size_t unpackedBytes = 0;    // the declared unpacked size of WOFF and WOFF2
};

// Recognises the container and checks that its header and table directory
// stay inside the data and within the bounds of model/limits.h.
FontDataCheck CheckFontData(std::span<const std::uint8_t> data);

}  // namespace svg
