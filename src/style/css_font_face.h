// The records of CSS @font-face rules: what a style sheet declares about
// downloadable fonts, kept for the font pool that installs them. One
// CCssFontPool per loaded document, filled while its style sheets are parsed
// and read-only afterwards; nothing here opens a font.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "values/syntax.h"

namespace svg::css {

struct CCssFontFaceSrc {
    bool local = false;
    std::string name;    // local(): the font's name; otherwise the URL, quotes removed
    std::string format;  // the first format() hint, quotes removed; empty when none
};

struct CCssFontFace {
    std::string family;
    // Bit sets, 0 when the descriptor is absent. Style: normal 1, italic 2,
    // oblique 4. Weight: bit n / 100 - 1 for weight n (normal 8, bold 0x40).
    // Variant: normal 1, small-caps 2.
    std::uint32_t styleBits = 0;
    std::uint32_t weightMask = 0;
    std::uint32_t variantBits = 0;
    std::string stretch;
    // The unicode-range descriptor; empty when absent (every character).
    std::vector<svg::UnicodeRange> unicodeRanges;
    std::vector<CCssFontFaceSrc> sources;
    // The sheet that declared the rule: relative URLs resolve against it.
    std::string sheetPath;
    bool installed = false;

    // Equal for two rules with the same family, style, weight, variant and
    // unicode range: the later one declares nothing new.
    std::string IdentityKey() const;
};

class CCssFontPool {
public:
    // Appends `face` unless an equal one is already held; false when dropped.
    bool Add(CCssFontFace face);
    const std::vector<CCssFontFace>& Faces() const { return faces_; }
    std::vector<CCssFontFace>& Faces() { return faces_; }

private:
    std::vector<CCssFontFace> faces_;
    std::unordered_set<std::string> keys_;  // IdentityKey of every held face
};

}  // namespace svg::css
