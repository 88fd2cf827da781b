#include "model/text_decoder.h"
#include "values/scan.h"

#include <array>
#include <cerrno>
#include <cstdint>

#include <iconv.h>

namespace svg {

namespace {

// Windows names some sets after the vendor variant it actually uses
// (shift_jis is code page 932 with the NEC and IBM extensions, gb2312 is GBK,
// ...), so each row names the iconv set that decodes the same bytes the same
// way, not the one with the same name.
constexpr std::array<CharsetInfo, 36> kCharsets{{
    {"iso-8859-1",
     "ISO_8859-1:1987 ISO-8859-1 iso-ir-100 ISO_8859-1 ISO-8859-1 latin1 l1 IBM819 CP819 csISOLatin1",
     "Western European (ISO)", "ISO-8859-1"},
    {"iso-8859-2", "ISO_8859-2:1987 ISO-8859-2 iso-ir-101 ISO_8859-2 ISO-8859-2 latin2 l2 csISOLatin2",
     "Central European (ISO)", "ISO-8859-2"},
    {"iso-8859-3", "ISO_8859-3:1988 ISO-8859-3 iso-ir-109 ISO_8859-3 ISO-8859-3 latin3 l3 csISOLatin3",
     "Latin 3 (ISO)", "ISO-8859-3"},
    {"iso-8859-4", "ISO_8859-4:1988 ISO-8859-4 iso-ir-110 ISO_8859-4 ISO-8859-4 latin4 l4 csISOLatin4",
     "Baltic (ISO)", "ISO-8859-4"},
    {"iso-8859-5",
     "ISO_8859-5:1988 ISO-8859-5 iso-ir-144 ISO_8859-5 ISO-8859-5 cyrillic csISOLatinCyrillic",
     "Cyrillic (ISO)", "ISO-8859-5"},
    {"ASMO-708",
     "ISO_8859-6:1987 ISO-8859-6 iso-ir-127 ISO_8859-6 ISO-8859-6 ECMA-114 ASMO-708 arabic "
     "csISOLatinArabic",
     "Arabic (ASMO 708)", "ISO-8859-6"},
    {"iso-8859-7",
     "ISO_8859-7:1987 ISO-8859-7 iso-ir-126 ISO_8859-7 ISO-8859-7 ELOT_928 ECMA-118 greek greek8 "
     "csISOLatinGreek",
     "Greek (ISO)", "ISO-8859-7"},
    {"iso-8859-8", "ISO_8859-8:1988 ISO-8859-8 iso-ir-138 ISO_8859-8 ISO-8859-8 hebrew csISOLatinHebrew",
     "Hebrew (ISO-Visual)", "ISO-8859-8"},
    {"iso-8859-9", "ISO_8859-9:1989 ISO-8859-9 iso-ir-148 ISO_8859-9 ISO-8859-9 latin5 l5 csISOLatin5",
     "Turkish (ISO)", "ISO-8859-9"},
    {"shift_jis", "Shift_JIS Shift_JIS MS_Kanji csShiftJIS", "Japanese (Shift-JIS)", "CP932"},
    {"euc-jp", "Extended_UNIX_Code_Packed_Format_for_Japanese EUC-JP csEUCPkdFmtJapanese EUC-JP",
     "Japanese (EUC)", "EUC-JP"},
    {"ks_c_5601-1987", "KS_C_5601-1987 iso-ir-149 KS_C_5601-1989 KSC_5601 korean csKSC56011987", "Korean",
     "CP949"},
    {"iso-2022-kr", "ISO-2022-KR ISO-2022-KR csISO2022KR", "Korean (ISO)", "ISO-2022-KR"},
    {"euc-kr", "EUC-KR EUC-KR csEUCKR", "Korean (EUC)", "EUC-KR"},
    {"iso-2022-jp", "ISO-2022-JP ISO-2022-JP csISO2022JP", "Japanese (JIS)", "ISO-2022-JP"},
    {"gb2312", "GB2312 GB2312 csGB2312", "Chinese Simplified (GB2312)", "GBK"},
    {"iso-8859-8-i", "ISO_8859-8-I ISO-8859-8-I csISO88598I", "Hebrew (ISO-Logical)", "ISO-8859-8"},
    {"utf-8", "UTF-8 csUTF8", "Unicode (UTF-8)", "UTF-8"},
    {"utf-7", "UTF-7 csUTF7", "Unicode (UTF-7)", "UTF-7"},
    {"unicodeFFFE", "UTF-16BE csUTF16BE", "Unicode (Big-Endian)", "UTF-16BE"},
    {"unicode", "UTF-16LE csUTF16LE", "Unicode", "UTF-16LE"},
    {"DOS-862", "IBM862 cp862 862 csPC862LatinHebrew", "Hebrew (DOS)", "CP862"},
    {"big5", "Big5 Big5 csBig5", "Chinese Traditional (Big5)", "CP950"},
    {"ibm852", "IBM852 cp852 852 csPCp852", "Central European (DOS)", "IBM852"},
    {"koi8-r", "KOI8-R KOI8-R csKOI8R", "Cyrillic (KOI8-R)", "KOI8-R"},
    {"hz-gb-2312", "HZ-GB-2312", "Chinese Simplified (HZ)", ""},
    {"cp866", "IBM866 cp866 866 csIBM866", "Cyrillic (DOS)", "CP866"},
    // The Windows koi8-ru set has the Belarusian and Ukrainian letters of
    // KOI8-RU (0xAE is "ў"), which plain KOI8-U lacks.
    {"koi8-ru", "KOI8-U csKOI8U", "Cyrillic (KOI8-U)", "KOI8-RU"},
    {"windows-874", "windows-874 cswindows874", "Thai (Windows)", "CP874"},
    {"windows-1250", "windows-1250 cswindows1250", "Central European (Windows)", "CP1250"},
    {"windows-1251", "windows-1251 cswindows1251", "Cyrillic (Windows)", "CP1251"},
    {"windows-1253", "windows-1253 cswindows1253", "Greek (Windows)", "CP1253"},
    {"windows-1255", "windows-1255 cswindows1255", "Hebrew (Windows)", "CP1255"},
    {"windows-1256", "windows-1256 cswindows1256", "Arabic (Windows)", "CP1256"},
    {"windows-1257", "windows-1257 cswindows1257", "Baltic (Windows)", "CP1257"},
    {"windows-1258", "windows-1258 cswindows1258", "Vietnamese (Windows)", "CP1258"},
}};

constexpr std::string_view kHzCanonical = "hz-gb-2312";

// Longer than any real set name; a longer name is unknown rather than passed on.
constexpr std::size_t kMaxCharsetNameLength = 64;

bool HasAlias(std::string_view aliases, std::string_view name)
{
    while (!aliases.empty()) {
        const std::size_t blank = aliases.find(' ');
        if (aliases.substr(0, blank) == name)
            return true;
        if (blank == std::string_view::npos)
            break;
        aliases.remove_prefix(blank + 1);
    }
    return false;
}

const CharsetInfo* FindCanonical(std::string_view canonical)
{
    for (const CharsetInfo& info : kCharsets)
        if (info.canonical == canonical)
            return &info;
    return nullptr;
}

// Names reach iconv_open straight from documents. Only plain set names pass:
// a "/" would let "utf-8//IGNORE" silently drop invalid bytes, and an empty
// name would mean the process locale's set.
bool IsPlainCharsetName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxCharsetNameLength)
        return false;
    for (const char c : name) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && c != '-' && c != '_' && c != '.' && c != ':' && c != '+')
            return false;
    }
    return true;
}

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (IsOpen())
            iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd_; }

private:
    iconv_t cd_;
};

// Runs one iconv call to completion, doubling `out` whenever it fills (so the
// total copying stays linear). Null `in` flushes the shift state. False on an
// invalid or incomplete input sequence.
bool RunIconv(iconv_t cd, char** in, std::size_t* inLeft, std::string& out, std::size_t& outUsed)
{
    for (;;) {
        char* outPtr = out.data() + outUsed;
        std::size_t outLeft = out.size() - outUsed;
        const std::size_t result = iconv(cd, in, inLeft, &outPtr, &outLeft);
        outUsed = static_cast<std::size_t>(outPtr - out.data());
        if (result != static_cast<std::size_t>(-1))
            return true;
        if (errno != E2BIG)
            return false;
        out.resize(out.size() * 2);
    }
}

// A handle per call: iconv_t carries shift state and must not be shared
// between threads.
std::optional<std::string> ConvertWithIconv(std::string_view bytes, const std::string& iconvName)
{
    if (!IsPlainCharsetName(iconvName))
        return std::nullopt;
    IconvHandle converter("UTF-8", iconvName.c_str());
    if (!converter.IsOpen())
        return std::nullopt;

    std::string out(bytes.size() + bytes.size() / 2 + 16, '\0');
    std::size_t outUsed = 0;
    // iconv's interface is not const-correct; it only reads the input.
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    if (!RunIconv(converter.Get(), &in, &inLeft, out, outUsed) ||
        !RunIconv(converter.Get(), nullptr, nullptr, out, outUsed))
        return std::nullopt;
    out.resize(outUsed);
    return out;
}

bool IsGbByte(unsigned char b)
{
    return b >= 0x21 && b <= 0x7E;
}

// HZ (RFC 1843) is 7-bit GB2312: "~{" enters GB mode, "~}" leaves it, "~~"
// is "~" and "~" before a line feed joins two lines. In GB mode each byte
// pair is a GB2312 code with the high bits cleared, so setting them gives
// EUC-CN, which glibc decodes. glibc has no HZ converter of its own.
std::optional<std::string> HzToEucCn(std::string_view hz)
{
    std::string euc;
    euc.reserve(hz.size());
    bool gbMode = false;
    std::size_t i = 0;
    while (i < hz.size()) {
        const auto lead = static_cast<unsigned char>(hz[i]);
        if (lead == '~') {
            if (i + 1 >= hz.size())
                return std::nullopt;
            const char escaped = hz[i + 1];
            i += 2;
            if (gbMode && escaped == '}')
                gbMode = false;
            else if (!gbMode && escaped == '{')
                gbMode = true;
            else if (!gbMode && escaped == '~')
                euc += '~';
            else if (gbMode || escaped != '\n')
                return std::nullopt;
            continue;
        }
        if (!gbMode) {
            if (lead >= 0x80)
                return std::nullopt;
            euc += static_cast<char>(lead);
            ++i;
            continue;
        }
        if (i + 1 >= hz.size())
            return std::nullopt;
        const auto trail = static_cast<unsigned char>(hz[i + 1]);
        if (!IsGbByte(lead) || !IsGbByte(trail))
            return std::nullopt;
        euc += static_cast<char>(lead | 0x80);
        euc += static_cast<char>(trail | 0x80);
        i += 2;
    }
    return euc;
}

// How the characters of an `@charset` rule are laid out in bytes.
struct UnitLayout {
    std::size_t width;  // bytes per code unit: 1, 2 or 4
    bool bigEndian;
};

constexpr UnitLayout kBytes{1, false};

std::optional<std::uint32_t> ReadUnit(std::string_view bytes, std::size_t pos, UnitLayout layout)
{
    if (pos + layout.width > bytes.size())
        return std::nullopt;
    std::uint32_t unit = 0;
    for (std::size_t k = 0; k < layout.width; ++k) {
        const std::size_t index = layout.bigEndian ? pos + k : pos + layout.width - 1 - k;
        unit = (unit << 8) | static_cast<unsigned char>(bytes[index]);
    }
    return unit;
}

struct CharsetRule {
    std::string name;
    std::size_t end;  // byte offset just after the ";"
};

// Matches `@charset "name";` at `start`. Non-ASCII characters in the name
// become "?" so that the name is unknown rather than mangled into another.
std::optional<CharsetRule> MatchCharsetRule(std::string_view bytes, std::size_t start, UnitLayout layout)
{
    std::size_t pos = start;
    for (const char expected : std::string_view("@charset \"")) {
        if (ReadUnit(bytes, pos, layout) != static_cast<std::uint32_t>(expected))
            return std::nullopt;
        pos += layout.width;
    }
    CharsetRule rule;
    for (;;) {
        const std::optional<std::uint32_t> unit = ReadUnit(bytes, pos, layout);
        if (!unit)
            return std::nullopt;
        pos += layout.width;
        if (*unit == '"')
            break;
        rule.name += *unit < 0x80 ? static_cast<char>(*unit) : '?';
    }
    if (ReadUnit(bytes, pos, layout) != std::uint32_t{';'})
        return std::nullopt;
    rule.end = pos + layout.width;
    return rule;
}

struct UnicodeForm {
    std::string_view charset;
    std::string_view mark;
    UnitLayout layout;
};

// UTF-32 first: its little-endian mark begins with the UTF-16 one.
constexpr std::array<UnicodeForm, 4> kUnicodeForms{{
    {"UTF-32BE", std::string_view("\x00\x00\xFE\xFF", 4), {4, true}},
    {"UTF-32LE", std::string_view("\xFF\xFE\x00\x00", 4), {4, false}},
    {"unicodeFFFE", "\xFE\xFF", {2, true}},
    {"unicode", "\xFF\xFE", {2, false}},
}};

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct DetectedCharset {
    std::string charset;  // empty: a set nothing can decode
    std::size_t skip;
};

DetectedCharset DetectStyleSheetCharset(std::string_view bytes, std::string_view defaultCharset)
{
    const std::size_t utf8Mark = bytes.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
    if (std::optional<CharsetRule> rule = MatchCharsetRule(bytes, utf8Mark, kBytes))
        return {std::move(rule->name), rule->end};
    for (const UnicodeForm& form : kUnicodeForms) {
        const std::size_t mark = bytes.starts_with(form.mark) ? form.mark.size() : 0;
        if (std::optional<CharsetRule> rule = MatchCharsetRule(bytes, mark, form.layout))
            return {std::string(form.charset), rule->end};
    }
    if (utf8Mark != 0)
        return {"utf-8", utf8Mark};
    for (const UnicodeForm& form : kUnicodeForms) {
        if (!bytes.starts_with(form.mark))
            continue;
        if (form.layout.width == 4)
            return {"", 0};
        // The mark is skipped like the UTF-8 one: left in, it would become
        // part of the first selector.
        return {std::string(form.charset), form.mark.size()};
    }
    return {std::string(defaultCharset), 0};
}

// The `encoding` pseudo-attribute of an XML declaration, in single or double
// quotes; empty when there is none.
std::string ReadDeclaredEncoding(std::string_view declaration)
{
    constexpr std::string_view kName = "encoding";
    for (std::size_t at = declaration.find(kName); at != std::string_view::npos;
         at = declaration.find(kName, at + 1)) {
        if (at == 0 || !svg::IsSpace(declaration[at - 1]))
            continue;
        std::size_t pos = at + kName.size();
        while (pos < declaration.size() && svg::IsSpace(declaration[pos]))
            ++pos;
        if (pos >= declaration.size() || declaration[pos] != '=')
            continue;
        ++pos;
        while (pos < declaration.size() && svg::IsSpace(declaration[pos]))
            ++pos;
        if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\''))
            continue;
        const std::size_t close = declaration.find(declaration[pos], pos + 1);
        if (close == std::string_view::npos)
            return {};
        return std::string(declaration.substr(pos + 1, close - pos - 1));
    }
    return {};
}

}  // namespace

std::span<const CharsetInfo> CharsetTable()
{
    return kCharsets;
}

std::string CanonicalCharset(std::string_view name)
{
    for (const CharsetInfo& info : kCharsets)
        if (svg::EqualsIgnoringCase(info.canonical, name) || HasAlias(info.aliases, name))
            return std::string(info.canonical);
    return std::string(name);
}

std::optional<std::string> ConvertToUtf8(std::string_view bytes, std::string_view charset)
{
    const std::string canonical = CanonicalCharset(charset);
    if (canonical == kHzCanonical) {
        const std::optional<std::string> euc = HzToEucCn(bytes);
        return euc ? ConvertWithIconv(*euc, "EUC-CN") : std::nullopt;
    }
    const CharsetInfo* info = FindCanonical(canonical);
    return ConvertWithIconv(bytes, info ? std::string(info->iconvName) : canonical);
}

std::optional<std::string> DecodeText(std::string_view bytes, std::string_view defaultCharset)
{
    const DetectedCharset detected = DetectStyleSheetCharset(bytes, defaultCharset);
    if (detected.charset.empty())
        return std::nullopt;
    return ConvertToUtf8(bytes.substr(detected.skip), detected.charset);
}

std::string DetectXmlEncoding(std::string_view bytes, std::size_t* bomLength)
{
    std::size_t markLength = 0;
    std::string encoding = "utf-8";
    if (bytes.starts_with(kUtf8Mark)) {
        markLength = kUtf8Mark.size();
    } else if (bytes.starts_with(kUnicodeForms[0].mark) || bytes.starts_with(kUnicodeForms[1].mark)) {
        markLength = 4;
        encoding.clear();
    } else if (bytes.starts_with("\xFE\xFF")) {
        markLength = 2;
        encoding = "UTF-16BE";
    } else if (bytes.starts_with("\xFF\xFE")) {
        markLength = 2;
        encoding = "UTF-16LE";
    } else if (bytes.starts_with(std::string_view("<\0?\0", 4))) {
        // A declaration laid out like this can only be UTF-16 of this byte
        // order, whatever it says; "UTF-16" alone would be read big-endian.
        encoding = "UTF-16LE";
    } else if (bytes.starts_with(std::string_view("\0<\0?", 4))) {
        encoding = "UTF-16BE";
    } else if (bytes.starts_with("<?xml") && bytes.size() > 5 && svg::IsSpace(bytes[5])) {
        const std::size_t end = bytes.find("?>");
        std::string declared = ReadDeclaredEncoding(bytes.substr(0, end));
        if (!declared.empty())
            encoding = std::move(declared);
    }
    if (bomLength)
        *bomLength = markLength;
    return encoding;
}

}  // namespace svg
