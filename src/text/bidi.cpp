// FriBidi and HarfBuzz behind the bidi and character-property interface.
#include "text/bidi.h"

#include <algorithm>
#include <climits>

#include "text/shaping_libraries.h"

namespace svg {

EmbeddingResult ResolveEmbedding(std::string_view direction, std::string_view unicodeBidi)
{
    EmbeddingResult result;
    bool rightToLeft = false;
    if (direction == "rtl")
        rightToLeft = true;
    else if (!direction.empty() && direction != "ltr")
        result.invalidDirection = true;
    if (unicodeBidi == "bidi-override")
        result.code = rightToLeft ? BidiEmbedding::kRtlOverride : BidiEmbedding::kLtrOverride;
    else if (unicodeBidi == "embed")
        result.code = rightToLeft ? BidiEmbedding::kRtlEmbed : BidiEmbedding::kLtrEmbed;
    else if (!unicodeBidi.empty() && unicodeBidi != "normal")
        result.invalidUnicodeBidi = true;
    return result;
}

char32_t EmbeddingControl(int embedding)
{
    switch (embedding) {
    case BidiEmbedding::kLtrEmbed: return 0x202A;
    case BidiEmbedding::kRtlEmbed: return 0x202B;
    case BidiEmbedding::kLtrOverride: return 0x202D;
    case BidiEmbedding::kRtlOverride: return 0x202E;
    default: return 0;
    }
}

std::vector<std::uint8_t> ResolveLevels(std::u32string_view paragraph, bool rightToLeft)
{
    const std::uint8_t base = rightToLeft ? 1 : 0;
    std::vector<std::uint8_t> levels(paragraph.size(), base);
    // FriBidi counts in int; a paragraph beyond that stays at the base level.
    if (paragraph.empty() || paragraph.size() > static_cast<std::size_t>(INT_MAX))
        return levels;
    const auto length = static_cast<FriBidiStrIndex>(paragraph.size());
    const auto* text = reinterpret_cast<const FriBidiChar*>(paragraph.data());
    std::vector<FriBidiCharType> types(paragraph.size());
    std::vector<FriBidiBracketType> brackets(paragraph.size());
    std::vector<FriBidiLevel> resolved(paragraph.size());
    fribidi_get_bidi_types(text, length, types.data());
    fribidi_get_bracket_types(text, length, types.data(), brackets.data());
    FriBidiParType direction = rightToLeft ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), length, &direction, resolved.data()) == 0)
        return levels;
    // Rule L1 at the end of the line: trailing white space (and the controls
    // among it) returns to the paragraph level. A text element is one line.
    for (std::size_t i = paragraph.size(); i > 0 && FRIBIDI_IS_EXPLICIT_OR_BN_OR_WS(types[i - 1]); --i)
        resolved[i - 1] = base;
    std::transform(resolved.begin(), resolved.end(), levels.begin(),
                   [](FriBidiLevel level) { return static_cast<std::uint8_t>(level); });
    return levels;
}

std::vector<std::size_t> VisualOrder(std::span<const std::uint8_t> levels)
{
    std::vector<std::size_t> order(levels.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (levels.empty())
        return order;
    const auto [lowest, highest] = std::minmax_element(levels.begin(), levels.end());
    // "Including intermediate levels not present": down to the odd level at
    // or just above the lowest one.
    const int lowestOdd = *lowest | 1;
    // `order` is permuted in place; levels travel with their items.
    std::vector<std::uint8_t> shown(levels.begin(), levels.end());
    for (int level = *highest; level >= lowestOdd; --level) {
        for (std::size_t i = 0; i < shown.size();) {
            if (shown[i] < level) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < shown.size() && shown[end] >= level)
                ++end;
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i), order.begin() + static_cast<std::ptrdiff_t>(end));
            std::reverse(shown.begin() + static_cast<std::ptrdiff_t>(i), shown.begin() + static_cast<std::ptrdiff_t>(end));
            i = end;
        }
    }
    return order;
}

std::vector<std::size_t> VisualOrder(std::span<const CGlyph> glyphs)
{
    std::vector<std::uint8_t> levels(glyphs.size());
    std::transform(glyphs.begin(), glyphs.end(), levels.begin(), [](const CGlyph& glyph) { return glyph.bidiLevel; });
    return VisualOrder(levels);
}

char32_t MirroredChar(char32_t c)
{
    FriBidiChar mirrored = c;
    return fribidi_get_mirror_char(c, &mirrored) ? mirrored : c;
}

int BidiClass(char32_t c)
{
    switch (fribidi_get_bidi_type(c)) {
    case FRIBIDI_TYPE_LTR: return 1;
    case FRIBIDI_TYPE_RTL: return 2;
    case FRIBIDI_TYPE_AN: return 3;
    case FRIBIDI_TYPE_EN: return 4;
    case FRIBIDI_TYPE_AL: return 5;
    case FRIBIDI_TYPE_NSM: return 6;
    case FRIBIDI_TYPE_CS: return 7;
    case FRIBIDI_TYPE_ES: return 8;
    case FRIBIDI_TYPE_ET: return 9;
    case FRIBIDI_TYPE_BN: return 10;
    case FRIBIDI_TYPE_SS: return 11;
    case FRIBIDI_TYPE_WS: return 12;
    case FRIBIDI_TYPE_BS: return 13;
    case FRIBIDI_TYPE_RLO: return 14;
    case FRIBIDI_TYPE_RLE: return 15;
    case FRIBIDI_TYPE_LRO: return 16;
    case FRIBIDI_TYPE_LRE: return 17;
    case FRIBIDI_TYPE_PDF:
    case FRIBIDI_TYPE_PDI: return 18;
    default: return 0;
    }
}

namespace {

hb_unicode_general_category_t Category(char32_t c)
{
    return hb_unicode_general_category(hb_unicode_funcs_get_default(), c);
}

}  // namespace

std::string_view GeneralCategoryName(char32_t c)
{
    // Indexed by hb_unicode_general_category_t, whose order is fixed.
    static constexpr std::string_view kNames[] = {"Cc", "Cf", "Cn", "Co", "Cs", "Ll", "Lm", "Lo", "Lt", "Lu",
                                                  "Mc", "Me", "Mn", "Nd", "Nl", "No", "Pc", "Pd", "Pe", "Pf",
                                                  "Pi", "Po", "Ps", "Sc", "Sk", "Sm", "So", "Zl", "Zp", "Zs"};
    const auto index = static_cast<std::size_t>(Category(c));
    return index < std::size(kNames) ? kNames[index] : "Cn";
}

bool IsCursiveScript(char32_t c)
{
    switch (hb_unicode_script(hb_unicode_funcs_get_default(), c)) {
    case HB_SCRIPT_ARABIC:
    case HB_SCRIPT_SYRIAC:
    case HB_SCRIPT_NKO:
    case HB_SCRIPT_MONGOLIAN:
    case HB_SCRIPT_MANDAIC:
    case HB_SCRIPT_PHAGS_PA:
    case HB_SCRIPT_MANICHAEAN:
    case HB_SCRIPT_PSALTER_PAHLAVI:
    case HB_SCRIPT_HANIFI_ROHINGYA:
    case HB_SCRIPT_SOGDIAN: return true;
    default: return false;
    }
}

bool IsMarkCategory(char32_t c)
{
    const hb_unicode_general_category_t category = Category(c);
    return category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
           category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK || category == HB_UNICODE_GENERAL_CATEGORY_FORMAT;
}

bool IsCombining(char32_t c)
{
    const hb_unicode_general_category_t category = Category(c);
    return category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
           category == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK ||
           category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

unsigned CombiningClass(char32_t c)
{
    return static_cast<unsigned>(hb_unicode_combining_class(hb_unicode_funcs_get_default(), c));
}

bool IsWhiteSpace(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
        return true;
    const hb_unicode_general_category_t category = Category(c);
    return category == HB_UNICODE_GENERAL_CATEGORY_SPACE_SEPARATOR ||
           category == HB_UNICODE_GENERAL_CATEGORY_LINE_SEPARATOR ||
           category == HB_UNICODE_GENERAL_CATEGORY_PARAGRAPH_SEPARATOR;
}

char JoiningType(char32_t c)
{
    switch (fribidi_get_joining_type(c)) {
    case FRIBIDI_JOINING_TYPE_R: return 'R';
    case FRIBIDI_JOINING_TYPE_D: return 'D';
    case FRIBIDI_JOINING_TYPE_C: return 'C';
    case FRIBIDI_JOINING_TYPE_L: return 'L';
    case FRIBIDI_JOINING_TYPE_T: return 'T';
    default: return 'U';
    }
}

CharProps LookupCharProps(char32_t c) { return {BidiClass(c), GeneralCategoryName(c)}; }

}  // namespace svg
