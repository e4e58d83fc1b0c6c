// The portable conversions natively, on the cases that matter to the updater
// and on the corners where Wine's behaviour is not the obvious one. (The
// exhaustive comparison with Wine itself is the Win32 differential test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows_text/code_page.h"
#include "platform/platform.h"

namespace {

std::vector<uint16_t> wide(uint32_t cp, const std::string& bytes, int len)
{
    uint16_t out[64];
    int n = cp_to_wide(cp, bytes.c_str(), len, out, 64);
    return std::vector<uint16_t>(out, out + (n > 0 ? n : 0));
}

std::string narrow(uint32_t cp, const std::vector<uint16_t>& units)
{
    char out[64];
    int n = cp_to_narrow(cp, units.data(), static_cast<int>(units.size()), out, 64);
    return std::string(out, n > 0 ? n : 0);
}

TEST(CodePage, ToWide)
{
    struct Case {
        uint32_t cp;
        std::string in;
        int len;
        std::vector<uint16_t> out;
    } cases[] = {
        {932, "\x83\x41\xB1" "A", 4, {0x30A2, 0xFF71, 'A'}},
        {932, "\x82\xA0", -1, {0x3042, 0}},
        {932, "\x83", 1, {0x30FB}},                     // lead byte alone: the default character
        {932, "\x83", -1, {0x30FB, 0}},                 // ...and the terminator is not its trail byte
        {932, std::string("\x81\x20", 2), 2, {0x30FB}}, // unmapped pair: one default character
        {932, "\x80\xA0\xFD", 3, {0x0080, 0xF8F0, 0xF8F1}},
        {65001, "\xE3\x82\xA2", 3, {0x30A2}},
        {65001, "\xF0\x9F\x98\x80", 4, {0xD83D, 0xDE00}},
        {65001, "\xC0\x80", 2, {0xFFFD, 0xFFFD}},
        {65001, "\xE0\x80\x41", 3, {0xFFFD, 'A'}},     // overlong: both bytes taken
        {65001, "\xF4\xA0\x80\x25", 4, {0xFFFD, 0xFFFD, '%'}},
        {65001, "\xED\xA0\x80", 3, {0xFFFD, 0xFFFD}},  // encoded surrogate
        {65001, "\x01\xE3", -1, {0x0001, 0xFFFD}},     // cut short: swallows the terminator
    };
    for (const Case& c : cases)
        EXPECT_EQ(wide(c.cp, c.in, c.len), c.out) << c.cp << " " << c.in;
}

TEST(CodePage, ToNarrow)
{
    EXPECT_EQ(narrow(932, {0x30A2, 'a', 0xFF71}), "\x83\x41" "a\xB1");
    EXPECT_EQ(narrow(932, {0x00A5, 0x4E02}), "\\?");  // best fit for the yen sign; no form at all
    EXPECT_EQ(narrow(932, {0x2252}), "\x81\xE0");     // the preferred one of duplicate codes
    EXPECT_EQ(narrow(65001, {0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
    EXPECT_EQ(narrow(65001, {0xDE00, 'a'}), "\xEF\xBF\xBD" "a");
}

TEST(CodePage, LengthsAndRoom)
{
    uint16_t w[4];
    char n[4];
    const uint16_t ka[] = {0x30A2, 0x30A2, 0};
    EXPECT_EQ(cp_to_wide(932, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(cp_to_wide(932, "abc", -1, w, 3), 0);    // no room for the terminator
    EXPECT_EQ(cp_to_wide(932, "abc", 0, w, 4), 0);
    EXPECT_EQ(cp_to_wide(1252, "abc", 3, w, 4), 0);    // only 932 and 65001
    EXPECT_EQ(cp_to_narrow(932, ka, -1, nullptr, 0), 5);
    EXPECT_EQ(cp_to_narrow(932, ka, 2, n, 3), 0);      // never half a character
    EXPECT_EQ(cp_to_wide(65001, "a\xF0\x9F\x98\x80", 5, w, 2), 2);  // Wine: a last pair may lose its low half
    EXPECT_EQ(w[1], 0xD83D);
    EXPECT_EQ(cp_to_wide(65001, "\xF0\x9F\x98\x80" "b", 5, w, 2), 0);
}

TEST(CodePage, LowerCasing)
{
    EXPECT_EQ(unicode_lower('A'), 'a');
    EXPECT_EQ(unicode_lower(0xFF21), 0xFF41);  // full-width A
    EXPECT_EQ(unicode_lower(0x0410), 0x0430);  // Cyrillic A
    EXPECT_EQ(unicode_lower(0x0100), 0x0101);
    EXPECT_EQ(unicode_lower(0x0101), 0x0101);
    EXPECT_EQ(unicode_lower(0x30A2), 0x30A2);
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"KXQ.HVL", "kxq.hvl"},
        {"\x83\x41" "A", "\x83\x41" "a"},      // the trail byte of ア is not a capital
        {"\x82\x60\x83\x9F", "\x82\x81\x83\xBF"},  // Ａ, Α -> ａ, α
        {"\x84\x40", "\x84\x70"},              // Cyrillic А -> а
        {"\x81\x20Z", "\x81\x20z"},            // an unmapped pair stays as it is
        {"AB\x83", "ab\x83"},                  // a lead byte before the terminator stays
        {"\xB1\xDF", "\xB1\xDF"},              // half-width katakana are single bytes
    };
    for (const Case& c : cases) {
        char text[32];
        std::snprintf(text, sizeof text, "%s", c.in);
        cp932_lower(text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
}

}  // namespace
