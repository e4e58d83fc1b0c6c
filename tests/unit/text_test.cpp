#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "uninstall_list/text_convert.h"

namespace {

// A heap copy of exactly the text and its terminator, so that a read past the
// terminator is an overflow that the sanitizer build reports.
std::unique_ptr<char[]> exact_copy(const std::string& bytes)
{
    std::unique_ptr<char[]> copy(new char[bytes.size() + 1]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    copy[bytes.size()] = '\0';
    return copy;
}

struct DetectCase {
    const char* name;
    std::string bytes;
    TextMode mode;
};

TEST(DetectTextMode, ClassifiesByTheFirstThreeSequences)
{
    const DetectCase cases[] = {
        {"empty", "", TEXT_MODE_ASCII},
        {"letters", "Data\\A.arc", TEXT_MODE_ASCII},
        {"utf8 e-acute", "\xC3\xA9", TEXT_MODE_UTF8},
        {"sjis a", "\x82\xA0", TEXT_MODE_SJIS},
        {"c0 is below c2", "\xC0\x80", TEXT_MODE_SJIS},
        {"c1 is below c2", "\xC1\xBF", TEXT_MODE_SJIS},
        {"lone continuation", "ab\x80", TEXT_MODE_SJIS},
        {"three then a stray 80", "\xC3\xA9\xC3\xA9\xC3\xA9\x80", TEXT_MODE_UTF8},
        {"two then a stray 80", "\xC3\xA9\xC3\xA9\x80", TEXT_MODE_SJIS},
        {"cut by the terminator", "\xE3\x81", TEXT_MODE_SJIS},
        {"cut by ascii", "\xE3\x81" "A", TEXT_MODE_SJIS},
        {"overlong cr passes", "\xE0\x80\x8D", TEXT_MODE_UTF8},
        {"encoded surrogate passes", "\xED\xA0\xBD", TEXT_MODE_UTF8},
        {"beyond 10ffff passes", "\xF7\xBF\xBF\xBF", TEXT_MODE_UTF8},
        {"eight-byte form", "\xFF\x80\x80\x80\x80\x80\x80\x80", TEXT_MODE_UTF8},
        {"eight-byte form cut", "\xFF\x80\x80\x80\x80\x80\x80", TEXT_MODE_SJIS},
        {"ascii between sequences", "a\xC3\xA9 b\xE3\x81\x82 c", TEXT_MODE_UTF8},
        {"sjis katakana a", "\x83\x41", TEXT_MODE_SJIS},
        {"sjis looking like utf8", "\xE0\x9F\x81" "A", TEXT_MODE_UTF8},
    };
    for (const DetectCase& c : cases) {
        auto text = exact_copy(c.bytes);
        EXPECT_EQ(c.mode, detect_text_mode(text.get())) << c.name;
    }
}

struct Utf8Case {
    const char* name;
    std::string bytes;
    uint32_t value;
    uint32_t length;
};

TEST(DecodeUtf8Sequence, DecodesWithoutValidating)
{
    const Utf8Case cases[] = {
        {"ascii", "A", 0x41, 1},
        {"terminator", "", 0, 1},
        {"two bytes", "\xC3\xA9", 0xE9, 2},
        {"three bytes", "\xE3\x82\xA2", 0x30A2, 3},
        {"four bytes", "\xF0\x9F\x98\x80", 0x1F600, 4},
        {"overlong cr", "\xE0\x80\x8D", 0x0D, 3},
        {"stray continuation takes two", "\x80\x81", 0x01, 2},
        {"continuations not checked", "\xC3" "A", 0xC1, 2},
        {"six bytes", "\xFD\xBF\xBF\xBF\xBF\xBF", 0x7FFFFFFF, 6},
        {"eight bytes keep the low 32 bits", "\xFF\x80\x80\x80\x80\x80\x81\x8D", 0x4D, 8},
        {"cut after one byte", "\xE3", 0x03, 1},
        {"cut after two bytes", "\xE3\x81", 0xC1, 2},
    };
    for (const Utf8Case& c : cases) {
        auto text = exact_copy(c.bytes);
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(c.length, decode_utf8_sequence(&value, text.get())) << c.name;
        EXPECT_EQ(c.value, value) << c.name;
        EXPECT_EQ(c.length, decode_utf8_sequence(nullptr, text.get())) << c.name;
    }
}

TEST(DecodeUtf8Sequence, LengthIsTheFirstClearBitFromTheThird)
{
    const struct { uint8_t first; uint32_t length; } cases[] = {
        {0x80, 2}, {0x8D, 2}, {0xA0, 3}, {0xBF, 8}, {0xC2, 2}, {0xDF, 2}, {0xE0, 3}, {0xEF, 3},
        {0xF0, 4}, {0xF7, 4}, {0xF8, 5}, {0xFB, 5}, {0xFC, 6}, {0xFD, 6}, {0xFE, 7}, {0xFF, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.length, utf8_sequence_length(c.first)) << std::hex << int(c.first);
}

TEST(SjisLeadByte, AcceptsExactlyTheLeadRanges)
{
    const struct { uint8_t byte; int lead; } cases[] = {
        {0x00, 0}, {0x41, 0}, {0x7F, 0}, {0x80, 0}, {0x81, 1}, {0x9F, 1}, {0xA0, 0},
        {0xB1, 0}, {0xDF, 0}, {0xE0, 1}, {0xFC, 1}, {0xFD, 0}, {0xFE, 0}, {0xFF, 1},
    };
    for (const auto& c : cases) {
        char b[2] = {static_cast<char>(c.byte), 0};
        EXPECT_EQ(c.lead, is_sjis_lead_byte(b)) << std::hex << int(c.byte);
    }
}

TEST(FullWidth, HalfWidthIsAsciiAndHalfWidthKatakana)
{
    const struct { uint32_t value; int wide; } cases[] = {
        {0x00, 0}, {0x7F, 0}, {0x80, 1}, {0x3042, 1}, {0xFF60, 1}, {0xFF61, 0},
        {0xFF71, 0}, {0xFF9F, 0}, {0xFFA0, 1}, {0x8341, 1}, {0x1F600, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.wide, is_full_width(c.value)) << std::hex << c.value;
}

struct CharCase {
    const char* name;
    std::string bytes;
    TextMode mode;
    uint32_t value;
    int wide;
    uint32_t length;
};

TEST(DecodeChar, StepsByWholeCharactersOfTheMode)
{
    const CharCase cases[] = {
        {"sjis katakana a", "\x83\x41", TEXT_MODE_SJIS, 0x8341, 1, 2},
        {"sjis half-width", "\xB1", TEXT_MODE_SJIS, 0xB1, 0, 1},
        {"sjis ff lead", "\xFF\x41", TEXT_MODE_SJIS, 0xFF41, 1, 2},
        {"sjis lead takes cr", "\x82\r", TEXT_MODE_SJIS, 0x820D, 1, 2},
        {"sjis lead before terminator", "\x83", TEXT_MODE_SJIS, 0x83, 0, 1},
        {"auto is sjis", "\x82\xA0", TEXT_MODE_AUTO, 0x82A0, 1, 2},
        {"utf8 half-width katakana", "\xEF\xBD\xB1", TEXT_MODE_UTF8, 0xFF71, 0, 3},
        {"utf8 joined pair", "\xED\xA0\xBD\xED\xB8\x80", TEXT_MODE_UTF8, 0x1F600, 1, 6},
        {"utf8 lone high", "\xED\xA0\xBD" "A", TEXT_MODE_UTF8, 0xD83D, 1, 3},
        {"utf8 high at the end", "\xED\xA0\xBD", TEXT_MODE_UTF8, 0xD83D, 1, 3},
        {"utf8 high cut short", "\xED\xA0", TEXT_MODE_UTF8, 0x360, 1, 2},
        {"utf8 ascii", "a", TEXT_MODE_UTF8, 0x61, 0, 1},
        {"ascii high byte", "\x83\x41", TEXT_MODE_ASCII, 0x83, 0, 1},
        {"unknown mode", "a", 2, 0, 0, 0},
    };
    for (const CharCase& c : cases) {
        auto text = exact_copy(c.bytes);
        uint32_t value = 0xDEADBEEF;
        int wide = 7;
        EXPECT_EQ(c.length, decode_char(&value, &wide, text.get(), c.mode)) << c.name;
        EXPECT_EQ(c.value, value) << c.name;
        EXPECT_EQ(c.wide, wide) << c.name;
        EXPECT_EQ(c.length, decode_char(nullptr, nullptr, text.get(), c.mode)) << c.name;
    }
}

struct FindCase {
    const char* name;
    std::string bytes;
    uint32_t value;
    TextMode mode;
    long offset;  // -1: not found
};

TEST(FindChar, FindsWholeCharactersOnly)
{
    const FindCase cases[] = {
        {"sjis cr after pair", "\x82\r\r", '\r', TEXT_MODE_SJIS, 2},
        {"sjis lf not inside pair", "a\x83\n", '\n', TEXT_MODE_SJIS, -1},
        {"sjis pair value", "a\x83\x41", 0x8341, TEXT_MODE_SJIS, 1},
        {"sjis trail not a letter", "\x83\x41", 'A', TEXT_MODE_SJIS, -1},
        {"sjis zero is terminator", "ab", 0, TEXT_MODE_SJIS, 2},
        {"ascii byte search", "\x83\r", '\r', TEXT_MODE_ASCII, 1},
        {"ascii zero is terminator", "abc", 0, TEXT_MODE_ASCII, 3},
        {"ascii wide value never", "abc", 0x161, TEXT_MODE_ASCII, -1},
        {"utf8 overlong cr", "x\xE0\x80\x8D\r", '\r', TEXT_MODE_UTF8, 1},
        {"utf8 code point", "a\xE3\x82\xA2", 0x30A2, TEXT_MODE_UTF8, 1},
        {"auto detects sjis", "\x82\xA0\n", '\n', TEXT_MODE_AUTO, 2},
        {"auto detects ascii", "ab\ncd", '\n', TEXT_MODE_AUTO, 2},
        {"auto detects utf8", "\xE0\x80\x8A\n", '\n', TEXT_MODE_AUTO, 0},
        {"sjis lead at the end", "ab\x83", '\n', TEXT_MODE_SJIS, -1},
        {"utf8 cut at the end", "ab\xE3\x81", 0, TEXT_MODE_UTF8, 4},
        {"unknown mode", "a\n", '\n', 5, -1},
        {"not present", "abc", 'x', TEXT_MODE_SJIS, -1},
    };
    for (const FindCase& c : cases) {
        auto text = exact_copy(c.bytes);
        const char* found = find_char(text.get(), c.value, c.mode);
        long offset = found ? static_cast<long>(found - text.get()) : -1;
        EXPECT_EQ(c.offset, offset) << c.name;
    }
}

struct LowerCase {
    const char* name;
    std::string bytes;
    std::string lowered;
};

TEST(ToLower, LowersOnlySingleByteCapitals)
{
    const LowerCase cases[] = {
        {"ascii", "Data\\A.ARC", "data\\a.arc"},
        {"bounds", "@AZ[`az{", "@az[`az{"},
        {"sjis trail stays", "\x83\x41" "A", "\x83\x41" "a"},
        {"sjis trail z stays", "\x83Z\x82\xA0" "Q", "\x83Z\x82\xA0" "q"},
        {"utf8 letters", "\xC3\x80" "BC", "\xC3\x80" "bc"},
        {"sjis read as utf8", "\xE0\x9F\x81" "A", "\xE0\x9F\x81" "a"},
        {"utf8 overlong a stays", "\xE0\x81\x81" "B", "\xE0\x81\x81" "b"},
        {"sjis lead at the end", "A\x83", "a\x83"},
        {"cut at the end is sjis", "\xC3\xA9" "A\xE3\x81", "\xC3\xA9" "a\xE3\x81"},
        {"utf8 cut at the end", "\xC3\xA9\xC3\xA9\xC3\xA9" "A\xE3\x81", "\xC3\xA9\xC3\xA9\xC3\xA9" "a\xE3\x81"},
        {"empty", "", ""},
    };
    for (const LowerCase& c : cases) {
        auto text = exact_copy(c.bytes);
        EXPECT_EQ(text.get(), to_lower(text.get())) << c.name;
        EXPECT_EQ(c.lowered, std::string(text.get())) << c.name;
    }
}

TEST(WellFormedUtf8, AcceptsOnlyCompleteShortestForms)
{
    const struct {
        const char* name;
        std::string bytes;
        bool well_formed;
    } cases[] = {
        {"empty", "", true},
        {"ascii", "Data\\a.arc\r\n", true},
        {"two, three and four bytes", "\xC3\xA9\xE3\x82\xA2\xF0\x9F\x98\x80", true},
        {"bounds", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF", true},
        {"byte-order mark", "\xEF\xBB\xBF" "a", true},
        {"half-width katakana in sjis", "\xC3\xB0\xCF\xBF\xDD\xB8\xDE", false},
        {"sjis after utf8", "\xC3\xA9\xC3\xA9\xC3\xA9\x83\x41", false},
        {"stray continuation", "\x80", false},
        {"overlong two bytes", "\xC0\x8A", false},
        {"overlong three bytes", "\xE0\x80\x8D", false},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", false},
        {"encoded surrogate", "\xED\xA0\xBD", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"five-byte form", "\xF8\x88\x80\x80\x80", false},
        {"cut by the terminator", "a\xE3\x81", false},
        {"cut by ascii", "\xE3\x81" "A", false},
    };
    for (const auto& c : cases) {
        auto text = exact_copy(c.bytes);
        EXPECT_EQ(c.well_formed, is_well_formed_utf8(text.get())) << c.name;
    }
}

TEST(TextCompare, ComparesUnsignedBytes)
{
    const struct { const char* a; const char* b; int result; } cases[] = {
        {"", "", 0}, {"abc", "abc", 0}, {"ab", "abc", -1}, {"abc", "ab", 1},
        {"a", "b", -1}, {"\x83", "a", 1}, {"a", "\xFF", -1}, {"A", "a", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, text_compare(c.a, c.b)) << c.a << " / " << c.b;
}

TEST(TextCopy, CopiesWithTheTerminator)
{
    char dst[8];
    std::memset(dst, 'x', sizeof dst);
    EXPECT_EQ(dst, text_copy(dst, "\x83\x41z"));
    EXPECT_EQ(0, std::memcmp(dst, "\x83\x41z\0xxxx", 8));
}

TEST(Settings, HoldCodePage932AndShiftJis)
{
    EXPECT_EQ(932u, ansi_code_page);
    EXPECT_EQ(932u, default_code_page);
    EXPECT_EQ(932u, get_default_code_page());
    EXPECT_EQ(TEXT_MODE_SJIS, default_text_mode);
    EXPECT_EQ(0x80000000u, TEXT_MODE_ASCII);
    EXPECT_EQ(0xFFFFFFFFu, TEXT_MODE_AUTO);
}

// Conversions go through the platform's code page layer.
TEST(Convert, SjisAndUtf8ToWide)
{
    const struct { const char* name; std::string narrow; std::vector<uint16_t> wide; } cases[] = {
        {"sjis katakana", "\x83\x41\x83\x43", {0x30A2, 0x30A4, 0}},
        {"utf8 katakana", "\xE3\x82\xA2\xE3\x82\xA4", {0x30A2, 0x30A4, 0}},
        {"ascii", "ab", {'a', 'b', 0}},
        {"empty", "", {0}},
    };
    for (const auto& c : cases) {
        std::unique_ptr<uint16_t[]> wide(to_wide(nullptr, c.narrow.c_str()));
        ASSERT_TRUE(wide) << c.name;
        for (size_t i = 0; i < c.wide.size(); ++i)
            EXPECT_EQ(c.wide[i], wide[i]) << c.name << " unit " << i;
    }
}

TEST(Convert, WideToNarrowByMode)
{
    const uint16_t katakana[] = {0x30A2, 'A', 0};
    const struct { TextMode mode; std::string narrow; } cases[] = {
        {TEXT_MODE_SJIS, "\x83\x41" "A"},
        {TEXT_MODE_UTF8, "\xE3\x82\xA2" "A"},
        {TEXT_MODE_ASCII, "\x83\x41" "A"},  // the default code page, 932
        {TEXT_MODE_AUTO, "\x83\x41" "A"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<char[]> narrow(to_narrow(nullptr, katakana, c.mode));
        ASSERT_TRUE(narrow) << c.mode;
        EXPECT_EQ(c.narrow, std::string(narrow.get())) << c.mode;
    }
}

TEST(Convert, IntoADestinationReturnsNull)
{
    uint16_t wide[4] = {1, 1, 1, 1};
    EXPECT_EQ(nullptr, to_wide(wide, "\x83\x41"));
    EXPECT_EQ(0x30A2, wide[0]);
    EXPECT_EQ(0, wide[1]);
    char narrow[4] = {1, 1, 1, 1};
    EXPECT_EQ(nullptr, to_narrow(narrow, wide, TEXT_MODE_SJIS));
    EXPECT_EQ(std::string("\x83\x41"), std::string(narrow));
}

}  // namespace
