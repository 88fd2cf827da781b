#include "style/css_font_face.h"

namespace svg::css {

std::string CCssFontFace::IdentityKey() const
{
    // The unicode range counts: subset fonts of one family, style and weight
    // differ only in it, and each subset is needed.
    std::string key = family + '\0' + std::to_string(styleBits) + ',' + std::to_string(weightMask) + ',' +
                      std::to_string(variantBits);
    for (const svg::UnicodeRange& range : unicodeRanges)
        key += ',' + std::to_string(range.first) + '-' + std::to_string(range.last);
    return key;
}

bool CCssFontPool::Add(CCssFontFace face)
{
    if (!keys_.insert(face.IdentityKey()).second)
        return false;
    faces_.push_back(std::move(face));
    return true;
}

}  // namespace svg::css
