#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/text_decoder.h"

using svg::CanonicalCharset;
using svg::CharsetTable;
using svg::ConvertToUtf8;
using svg::DecodeText;
using svg::DetectXmlEncoding;

namespace {

using namespace std::string_literals;

struct Sample {
    const char* charset;
    std::string bytes;
    const char* utf8;
};

// One sample per table row, chosen so that a wrong iconv set would decode it
// differently or fail (ISO-8859-6 vs windows-1256, KOI8-U vs KOI8-RU, ...).
const std::vector<Sample>& TableSamples()
{
    static const std::vector<Sample> samples{
        {"iso-8859-1", "caf\xE9", "café"},
        {"iso-8859-2", "\xB3", "ł"},
        {"iso-8859-3", "\xBB\xE6", "ğĉ"},
        {"iso-8859-4", "\xB3\xE0", "ŗā"},
        {"iso-8859-5", "\xB4\xD0", "Да"},
        {"ASMO-708", "\xD3\xE4\xC7\xE5", "سلام"},
        {"iso-8859-7", "\xD9\xEC\xDD\xE3\xE1", "Ωμέγα"},
        {"iso-8859-8", "\xF9\xEC\xE5\xED", "שלום"},
        {"iso-8859-9", "\xF0\xFD\xFE", "ğış"},
        // 87 40 is an NEC extension that plain Shift_JIS lacks.
        {"shift_jis", "\x93\xFA\x96\x7B\x87\x40", "日本①"},
        {"euc-jp", "\xC6\xFC\xCB\xDC", "日本"},
        // 8C 63 is a Unified Hangul Code syllable outside EUC-KR.
        {"ks_c_5601-1987", "\xC7\xD1\xB1\xB9\x8C\x63", "한국똠"},
        {"iso-2022-kr", "\x1B$)C\x0EGQ19\x0F", "한국"},
        {"euc-kr", "\xC7\xD1\xB1\xB9", "한국"},
        {"iso-2022-jp", "\x1B$BF|K\\\x1B(B", "日本"},
        // 81 40 exists only in GBK.
        {"gb2312", "\xD6\xD0\xCE\xC4\x81\x40", "中文丂"},
        {"iso-8859-8-i", "\xF9\xEC\xE5\xED", "שלום"},
        {"utf-8", "\xE6\x97\xA5", "日"},
        {"utf-7", "+ZeVnLA-", "日本"},
        {"unicodeFFFE", "\x65\xE5\x67\x2C", "日本"},
        {"unicode", "\xE5\x65\x2C\x67", "日本"},
        {"DOS-862", "\x99\x8C\x85\x8D", "שלום"},
        {"big5", "\xA4\xA4\xA4\xE5\xA3\xE1", "中文€"},
        {"ibm852", "\x88\xE4", "łń"},
        {"koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
        {"hz-gb-2312", "a~{VPND~}b", "a中文b"},
        {"cp866", "\x8F\xE0\xA8\xA2\xA5\xE2", "Привет"},
        {"koi8-ru", "\xAE\xA6", "ўі"},
        {"windows-874", "\xE4\xB7\xC2", "ไทย"},
        {"windows-1250", "\xB3\xF1", "łń"},
        {"windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
        {"windows-1253", "\xD9\xEC\xDD\xE3\xE1", "Ωμέγα"},
        {"windows-1255", "\xF9\xEC\xE5\xED", "שלום"},
        {"windows-1256", "\xD3\xE1\xC7\xE3", "سلام"},
        {"windows-1257", "\xE0\xEB", "ąė"},
        {"windows-1258", "\xF0", "đ"},
    };
    return samples;
}

// ASCII text in a wider Unicode form: `width` bytes per character.
std::string Widen(std::string_view ascii, std::size_t width, bool bigEndian)
{
    std::string out;
    for (const char c : ascii) {
        std::string unit(width, '\0');
        unit[bigEndian ? width - 1 : 0] = c;
        out += unit;
    }
    return out;
}

std::string Utf16Le(std::string_view ascii) { return Widen(ascii, 2, false); }
std::string Utf16Be(std::string_view ascii) { return Widen(ascii, 2, true); }
std::string Utf32Le(std::string_view ascii) { return Widen(ascii, 4, false); }
std::string Utf32Be(std::string_view ascii) { return Widen(ascii, 4, true); }

}  // namespace

TEST(TextDecoderTable, HasTheThirtySixSetsInOrderWithUniqueNames)
{
    const auto table = CharsetTable();
    ASSERT_EQ(table.size(), 36u);
    EXPECT_EQ(table.front().canonical, "iso-8859-1");
    EXPECT_EQ(table[5].canonical, "ASMO-708");
    EXPECT_EQ(table[25].canonical, "hz-gb-2312");
    EXPECT_EQ(table.back().canonical, "windows-1258");
    EXPECT_EQ(table.front().displayName, "Western European (ISO)");
    EXPECT_EQ(table[9].displayName, "Japanese (Shift-JIS)");

    std::set<std::string_view> names;
    for (const auto& info : table) {
        EXPECT_TRUE(names.insert(info.canonical).second) << info.canonical;
        EXPECT_FALSE(info.displayName.empty()) << info.canonical;
        EXPECT_EQ(info.iconvName.empty(), info.canonical == "hz-gb-2312") << info.canonical;
    }
}

TEST(TextDecoderTable, EveryRowConvertsItsSample)
{
    const auto& samples = TableSamples();
    ASSERT_EQ(samples.size(), CharsetTable().size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].charset, CharsetTable()[i].canonical);
        const auto text = ConvertToUtf8(samples[i].bytes, samples[i].charset);
        ASSERT_TRUE(text.has_value()) << samples[i].charset;
        EXPECT_EQ(*text, samples[i].utf8) << samples[i].charset;
    }
}

TEST(TextDecoderCharsetNames, AliasesMatchExactlyCanonicalNamesIgnoreCase)
{
    // Aliases are compared with case; other names pass through unchanged.
    const std::pair<const char*, const char*> kNames[] = {
        {"latin1", "iso-8859-1"},       {"csISOLatin1", "iso-8859-1"}, {"ISO-8859-1", "iso-8859-1"},
        {"MS_Kanji", "shift_jis"},      {"SHIFT_JIS", "shift_jis"},    {"UTF-16BE", "unicodeFFFE"},
        {"UNICODE", "unicode"},         {"ISO-8859-6", "ASMO-708"},    {"ISO-8859-8-I", "iso-8859-8-i"},
        {"KOI8-U", "koi8-ru"},          {"IBM862", "DOS-862"},         {"LATIN1", "LATIN1"},
        {"ms_kanji", "ms_kanji"},       {"windows-1252", "windows-1252"}};
    for (const auto& [name, canonical] : kNames)
        EXPECT_EQ(CanonicalCharset(name), canonical) << name;
}

TEST(TextDecoderConvert, AliasesAndOtherIconvNamesConvert)
{
    EXPECT_EQ(ConvertToUtf8("\x87\x40", "MS_Kanji"), "①");
    EXPECT_EQ(ConvertToUtf8("\xE9", "LATIN1"), "é");  // iconv's own name
    EXPECT_EQ(ConvertToUtf8("\x80", "windows-1252"), "€");
    EXPECT_EQ(ConvertToUtf8("", "utf-8"), "");
}

TEST(TextDecoderConvert, UnknownOrUnsafeNamesGiveNothing)
{
    EXPECT_EQ(ConvertToUtf8("abc", "no-such-set"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8("abc", ""), std::nullopt);  // would be the locale's set
    EXPECT_EQ(ConvertToUtf8("a\xFF", "utf-8//IGNORE"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8("abc", std::string(200, 'A')), std::nullopt);
}

TEST(TextDecoderConvert, InvalidBytesGiveNothing)
{
    EXPECT_EQ(ConvertToUtf8("ok\xFF", "utf-8"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8("\xED\xA0\x80", "utf-8"), std::nullopt);  // a surrogate
    EXPECT_EQ(ConvertToUtf8("\xE6\x97", "utf-8"), std::nullopt);      // truncated
    EXPECT_EQ(ConvertToUtf8("\x93", "shift_jis"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8("\x65", "unicode"), std::nullopt);  // half a unit
    EXPECT_EQ(ConvertToUtf8("\xA1", "iso-8859-8"), std::nullopt);
}

TEST(TextDecoderConvert, HzEscapesAndErrors)
{
    EXPECT_EQ(ConvertToUtf8("~~ ~{VP~}~\nx", "hz-gb-2312"), "~ 中x");
    EXPECT_EQ(ConvertToUtf8("~{VPND", "HZ-GB-2312"), "中文");  // unterminated GB mode
    EXPECT_EQ(ConvertToUtf8("~x", "hz-gb-2312"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8("~", "hz-gb-2312"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8("~{V~}", "hz-gb-2312"), std::nullopt);  // half a pair
    EXPECT_EQ(ConvertToUtf8("~{V\n~}", "hz-gb-2312"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8("\xD6\xD0", "hz-gb-2312"), std::nullopt);  // not 7-bit
    EXPECT_EQ(ConvertToUtf8("~{~~~}", "hz-gb-2312"), std::nullopt);
}

TEST(TextDecoderConvert, LargeInputConvertsInLinearTime)
{
    // 10 MB of two-byte characters: output is 1.5 times the input, so the
    // buffer has to grow several times along the way.
    std::string latin1(10u << 20, '\xE9');
    const auto start = std::chrono::steady_clock::now();
    const auto text = ConvertToUtf8(latin1, "iso-8859-1");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->size(), 2 * latin1.size());
    EXPECT_EQ(text->substr(text->size() - 2), "é");
    EXPECT_LT(elapsed, std::chrono::seconds(5));

    std::string hz = "~{";
    for (int i = 0; i < (1 << 20); ++i)
        hz += "VP";
    const auto chinese = ConvertToUtf8(hz, "hz-gb-2312");
    ASSERT_TRUE(chinese.has_value());
    EXPECT_EQ(chinese->size(), 3u << 20);
}

TEST(TextDecoderConvert, ConcurrentCallsDoNotInterfere)
{
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (std::size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&failures, t] {
            const Sample& sample = TableSamples()[t * 4];
            for (int i = 0; i < 200; ++i)
                if (ConvertToUtf8(sample.bytes, sample.charset) != sample.utf8)
                    ++failures[t];
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const int count : failures)
        EXPECT_EQ(count, 0);
}

TEST(TextDecoderDecodeText, CharsetRuleInUtf8WithOrWithoutMarkIsSkipped)
{
    EXPECT_EQ(DecodeText("@charset \"iso-8859-1\";a{x:\xE9}"), "a{x:é}");
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF@charset \"windows-1251\";\xCF"), "П");
    EXPECT_EQ(DecodeText("@charset \"MS_Kanji\";\x93\xFA"), "日");
    // Only at the very start, and only when complete.
    EXPECT_EQ(DecodeText(" @charset \"iso-8859-1\";\xE9"), std::nullopt);
    EXPECT_EQ(DecodeText("@charset \"iso-8859-1\"\xE9", "iso-8859-1"), "@charset \"iso-8859-1\"é");
    EXPECT_EQ(DecodeText("@charset 'iso-8859-1';"), "@charset 'iso-8859-1';");
}

TEST(TextDecoderDecodeText, CharsetRuleNamingAnUnknownSetGivesNothing)
{
    EXPECT_EQ(DecodeText("@charset \"bogus\";a{}"), std::nullopt);
    EXPECT_EQ(DecodeText("@charset \"\";a{}"), std::nullopt);
    EXPECT_EQ(DecodeText("@charset \"utf-8//IGNORE\";\xFF"), std::nullopt);
}

TEST(TextDecoderDecodeText, CharsetRuleInUtf16AndUtf32ChoosesThatForm)
{
    const std::string rule = "@charset \"whatever\";";
    EXPECT_EQ(DecodeText(Utf16Le(rule + "a{}")), "a{}");
    EXPECT_EQ(DecodeText("\xFF\xFE" + Utf16Le(rule + "b{}")), "b{}");
    EXPECT_EQ(DecodeText(Utf16Be(rule + "c{}")), "c{}");
    EXPECT_EQ(DecodeText("\xFE\xFF" + Utf16Be(rule + "d{}")), "d{}");
    EXPECT_EQ(DecodeText(Utf32Le(rule + "e{}")), "e{}");
    EXPECT_EQ(DecodeText("\xFF\xFE\0\0"s + Utf32Le(rule + "f{}")), "f{}");
    EXPECT_EQ(DecodeText(Utf32Be(rule + "g{}")), "g{}");
    EXPECT_EQ(DecodeText("\0\0\xFE\xFF"s + Utf32Be(rule + "h{}")), "h{}");
}

TEST(TextDecoderDecodeText, MarkAloneChoosesTheSetAndIsSkipped)
{
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" "a{}", "iso-8859-1"), "a{}");
    EXPECT_EQ(DecodeText("\xFF\xFE" + Utf16Le("a{}")), "a{}");
    EXPECT_EQ(DecodeText("\xFE\xFF" + Utf16Be("a{}")), "a{}");
    EXPECT_EQ(DecodeText("\xFF\xFE\0\0"s + Utf32Le("a{}")), std::nullopt);
    EXPECT_EQ(DecodeText("\0\0\xFE\xFF"s + Utf32Be("a{}")), std::nullopt);
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"), "");
}

TEST(TextDecoderDecodeText, OtherwiseTheDefaultApplies)
{
    EXPECT_EQ(DecodeText("a{x:\xC3\xA9}"), "a{x:é}");
    EXPECT_EQ(DecodeText("a{x:\xE9}"), std::nullopt);
    EXPECT_EQ(DecodeText("a{x:\xE9}", "latin1"), "a{x:é}");
    EXPECT_EQ(DecodeText("a{}", "no-such-set"), std::nullopt);
    EXPECT_EQ(DecodeText(""), "");
}

TEST(TextDecoderXmlEncoding, ByteOrderMarks)
{
    std::size_t bom = 99;
    EXPECT_EQ(DetectXmlEncoding("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"latin1\"?>", &bom), "utf-8");
    EXPECT_EQ(bom, 3u);
    EXPECT_EQ(DetectXmlEncoding("\xFF\xFE<\0"s, &bom), "UTF-16LE");
    EXPECT_EQ(bom, 2u);
    EXPECT_EQ(DetectXmlEncoding("\xFE\xFF\0<"s, &bom), "UTF-16BE");
    EXPECT_EQ(bom, 2u);
    EXPECT_EQ(DetectXmlEncoding("\xFF\xFE\0\0<\0\0\0"s, &bom), "");
    EXPECT_EQ(DetectXmlEncoding("\0\0\xFE\xFF"s, &bom), "");
}

TEST(TextDecoderXmlEncoding, Declaration)
{
    std::size_t bom = 99;
    EXPECT_EQ(DetectXmlEncoding("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><svg/>", &bom), "ISO-8859-1");
    EXPECT_EQ(bom, 0u);
    EXPECT_EQ(DetectXmlEncoding("<?xml version='1.0'\n  encoding = 'Shift_JIS' ?>", &bom), "Shift_JIS");
    EXPECT_EQ(DetectXmlEncoding("<?xml version=\"1.0\"?><svg encoding=\"x\"/>", &bom), "utf-8");
    EXPECT_EQ(DetectXmlEncoding("<?xml version=\"1.0\" standalone=\"yes\"?>", &bom), "utf-8");
    EXPECT_EQ(DetectXmlEncoding("<?xml-stylesheet encoding=\"x\"?>", &bom), "utf-8");
    EXPECT_EQ(DetectXmlEncoding("<svg/>", &bom), "utf-8");
    EXPECT_EQ(DetectXmlEncoding("", nullptr), "utf-8");
    EXPECT_EQ(DetectXmlEncoding("<?xml encoding=\"unterminated", nullptr), "utf-8");
}

TEST(TextDecoderXmlEncoding, Utf16DeclarationWithoutMarkGivesItsByteOrder)
{
    std::size_t bom = 99;
    EXPECT_EQ(DetectXmlEncoding(Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"), &bom), "UTF-16LE");
    EXPECT_EQ(bom, 0u);
    EXPECT_EQ(DetectXmlEncoding(Utf16Be("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"), &bom), "UTF-16BE");
}
