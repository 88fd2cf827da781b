#include "model/doc_options.h"

namespace svg {

const SystemFont* DesktopStyle::FindSystemFont(std::string_view keyword) const
{
    for (const SystemFont& font : systemFonts)
        if (font.keyword == keyword)
            return &font;
    return nullptr;
}

bool DesktopStyle::SetSystemFont(std::string_view keyword, std::string family, int sizePx, bool bold, bool italic)
{
    for (SystemFont& font : systemFonts) {
        if (font.keyword != keyword)
            continue;
        font.family = std::move(family);
        font.sizePx = sizePx;
        font.bold = bold;
        font.italic = italic;
        return true;
    }
    return false;
}

}  // namespace svg
