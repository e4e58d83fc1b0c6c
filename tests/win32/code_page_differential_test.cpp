// Under Wine, the portable code page 932 / UTF-8 conversions and lower-casing
// against the real MultiByteToWideChar, WideCharToMultiByte, LCMapStringW,
// IsDBCSLeadByteEx and the Win32 os_ansi_lower: every one- and two-byte
// sequence, every UTF-16 unit and surrogate pair, long UTF-8 sequences, and
// random whole strings. A mismatch is reported with its input, both results
// and the total count.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "windows_text/ansi_char.h"
#include "windows_text/code_page.h"

namespace {

struct Mismatches {
    uint64_t count = 0;
    uint64_t compared = 0;
    std::string first;
    void add(const std::string& what)
    {
        if (++count <= 8)
            first += "  " + what + "\n";
    }
    std::string report() const
    {
        return std::to_string(count) + " of " + std::to_string(compared) + " differ; first:\n" + first;
    }
};

std::string hex_bytes(const char* p, int n)
{
    std::string out;
    char b[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned>(static_cast<unsigned char>(p[i])));
        out += b;
    }
    return out.empty() ? "(none)" : out;
}

std::string hex_units(const uint16_t* p, int n)
{
    std::string out;
    char b[8];
    for (int i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%04X ", static_cast<unsigned>(p[i]));
        out += b;
    }
    return out.empty() ? "(none)" : out;
}

// One MultiByteToWideChar call both ways, with a length query first; then a
// destination one unit short, which must fail alike.
void compare_to_wide(Mismatches* m, uint32_t cp, const char* src, int len, int shown)
{
    ++m->compared;
    uint16_t real[64], ours[64];
    int real_need = MultiByteToWideChar(cp, 0, src, len, nullptr, 0);
    int our_need = cp_to_wide(cp, src, len, nullptr, 0);
    int real_short = 0, our_short = 0;
    for (int room : {real_need - 1, real_need - 2, real_need / 2}) {
        if (room < 1 || real_short != our_short)
            continue;
        real_short = MultiByteToWideChar(cp, 0, src, len, reinterpret_cast<WCHAR*>(real), room);
        our_short = cp_to_wide(cp, src, len, ours, room);
    }
    int real_n = MultiByteToWideChar(cp, 0, src, len, reinterpret_cast<WCHAR*>(real), 64);
    int our_n = cp_to_wide(cp, src, len, ours, 64);
    bool same = real_need == our_need && real_n == our_n && real_short == our_short &&
                std::memcmp(real, ours, sizeof(uint16_t) * (real_n > 0 ? real_n : 0)) == 0;
    if (!same)
        m->add("cp " + std::to_string(cp) + " len " + std::to_string(len) + " [" + hex_bytes(src, shown) +
               "] needed " + std::to_string(real_need) + "/" + std::to_string(our_need) + " short " +
               std::to_string(real_short) + "/" + std::to_string(our_short) +
               "] real " + std::to_string(real_n) + ": " + hex_units(real, real_n > 0 ? real_n : 0) + " ours " +
               std::to_string(our_n) + ": " + hex_units(ours, our_n > 0 ? our_n : 0));
}

void compare_to_narrow(Mismatches* m, uint32_t cp, const uint16_t* src, int len, int shown)
{
    ++m->compared;
    char real[256], ours[256];
    const WCHAR* w = reinterpret_cast<const WCHAR*>(src);
    int real_need = WideCharToMultiByte(cp, 0, w, len, nullptr, 0, nullptr, nullptr);
    int our_need = cp_to_narrow(cp, src, len, nullptr, 0);
    int real_short = 0, our_short = 0;
    for (int room : {real_need - 1, real_need - 2, real_need / 2}) {
        if (room < 1 || real_short != our_short)
            continue;
        real_short = WideCharToMultiByte(cp, 0, w, len, real, room, nullptr, nullptr);
        our_short = cp_to_narrow(cp, src, len, ours, room);
    }
    int real_n = WideCharToMultiByte(cp, 0, w, len, real, sizeof real, nullptr, nullptr);
    int our_n = cp_to_narrow(cp, src, len, ours, sizeof ours);
    bool same = real_need == our_need && real_n == our_n && real_short == our_short &&
                std::memcmp(real, ours, real_n > 0 ? real_n : 0) == 0;
    if (!same)
        m->add("cp " + std::to_string(cp) + " len " + std::to_string(len) + " [" + hex_units(src, shown) +
               "] needed " + std::to_string(real_need) + "/" + std::to_string(our_need) + " short " +
               std::to_string(real_short) + "/" + std::to_string(our_short) +
               "] real " + std::to_string(real_n) + ": " + hex_bytes(real, real_n > 0 ? real_n : 0) + " ours " +
               std::to_string(our_n) + ": " + hex_bytes(ours, our_n > 0 ? our_n : 0));
}

void compare_lower(Mismatches* m, const char* text)
{
    ++m->compared;
    char real[64], ours[64];
    std::strcpy(real, text);
    std::strcpy(ours, text);
    os_ansi_lower(real);
    cp932_lower(ours);
    if (std::strcmp(real, ours) != 0 || std::strlen(real) != std::strlen(text))
        m->add("[" + hex_bytes(text, static_cast<int>(std::strlen(text))) + "] real " +
               hex_bytes(real, static_cast<int>(std::strlen(real))) + " ours " +
               hex_bytes(ours, static_cast<int>(std::strlen(ours))));
}

TEST(CodePageDifferential, RunsInCodePage932)
{
    ASSERT_EQ(GetACP(), 932u) << "the tests must run in the Japanese locale";
}

TEST(CodePageDifferential, LeadBytesAndLowerCaseUnits)
{
    Mismatches m;
    for (int b = 0; b < 256; ++b) {
        ++m.compared;
        if ((IsDBCSLeadByteEx(932, static_cast<BYTE>(b)) != 0) != cp932_is_lead_byte(static_cast<uint8_t>(b)) ||
            (IsDBCSLeadByteEx(932, static_cast<BYTE>(b)) != 0) != ansi_lead_byte(static_cast<uint8_t>(b)))
            m.add("lead byte " + std::to_string(b));
    }
    for (uint32_t u = 0; u < 0x10000; ++u) {
        ++m.compared;
        WCHAR in = static_cast<WCHAR>(u), out = 0;
        int n = LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_LOWERCASE, &in, 1, &out, 1);
        if (n != 1 || out != unicode_lower(static_cast<uint16_t>(u)))
            m.add("lower " + hex_units(reinterpret_cast<uint16_t*>(&in), 1) + " real " +
                  hex_units(reinterpret_cast<uint16_t*>(&out), 1));
    }
    EXPECT_EQ(m.count, 0u) << m.report();
}

TEST(CodePageDifferential, EveryOneAndTwoByteSequence)
{
    for (uint32_t cp : {CODE_PAGE_932, CODE_PAGE_UTF8}) {
        Mismatches m;
        for (int a = 0; a < 256; ++a) {
            char one[2] = {static_cast<char>(a), 0};
            compare_to_wide(&m, cp, one, 1, 1);
            compare_to_wide(&m, cp, one, -1, 2);
            for (int b = 0; b < 256; ++b) {
                char two[3] = {static_cast<char>(a), static_cast<char>(b), 0};
                compare_to_wide(&m, cp, two, 2, 2);
                compare_to_wide(&m, cp, two, -1, 3);
            }
        }
        EXPECT_EQ(m.count, 0u) << "code page " << cp << ": " << m.report();
    }
}

TEST(CodePageDifferential, LongUtf8Sequences)
{
    Mismatches m;
    for (int a = 0xC0; a < 0x100; ++a)
        for (int b = 0; b < 256; ++b)
            for (int c = 0; c < 256; ++c) {
                char s[3] = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
                compare_to_wide(&m, CODE_PAGE_UTF8, s, 3, 3);
            }
    // Four bytes: every first byte that can start one, continuation bytes and
    // their neighbours in the rest.
    for (int a = 0xF0; a < 0xF8; ++a)
        for (int b = 0x7F; b <= 0xC0; ++b)
            for (int c = 0x7F; c <= 0xC0; c += 3)
                for (int d = 0x7F; d <= 0xC0; d += 3) {
                    char s[4] = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                                 static_cast<char>(d)};
                    compare_to_wide(&m, CODE_PAGE_UTF8, s, 4, 4);
                }
    EXPECT_EQ(m.count, 0u) << m.report();
}

TEST(CodePageDifferential, EveryUnitAndSurrogatePair)
{
    for (uint32_t cp : {CODE_PAGE_932, CODE_PAGE_UTF8}) {
        Mismatches m;
        for (uint32_t u = 0; u < 0x10000; ++u) {
            uint16_t one[2] = {static_cast<uint16_t>(u), 0};
            compare_to_narrow(&m, cp, one, 1, 1);
            compare_to_narrow(&m, cp, one, -1, 2);
            uint16_t then_a[2] = {static_cast<uint16_t>(u), 'A'};
            compare_to_narrow(&m, cp, then_a, 2, 2);
        }
        for (uint32_t hi = 0xD800; hi < 0xDC00; ++hi)
            for (uint32_t lo = 0xDC00; lo < 0xE000; lo += (cp == CODE_PAGE_UTF8 ? 1 : 7)) {
                uint16_t pair[2] = {static_cast<uint16_t>(hi), static_cast<uint16_t>(lo)};
                compare_to_narrow(&m, cp, pair, 2, 2);
            }
        EXPECT_EQ(m.count, 0u) << "code page " << cp << ": " << m.report();
    }
}

TEST(CodePageDifferential, LowerCasingOfEveryOneAndTwoByteText)
{
    Mismatches m;
    for (int a = 1; a < 256; ++a) {
        char one[2] = {static_cast<char>(a), 0};
        compare_lower(&m, one);
        for (int b = 1; b < 256; ++b) {
            char two[3] = {static_cast<char>(a), static_cast<char>(b), 0};
            compare_lower(&m, two);
        }
    }
    EXPECT_EQ(m.count, 0u) << m.report();
}

// Bytes that make conversions interesting: ASCII capitals and "\", lead bytes,
// trail-only bytes, half-width katakana, the single bytes 932 maps outside JIS,
// UTF-8 first and continuation bytes.
const uint8_t ALPHABET[] = {'A', 'z', '\\', ' ', 0x80, 0x81, 0x82, 0x83, 0x88, 0x9F, 0xA0, 0xB1, 0xDF,
                            0xE0, 0xE3, 0xED, 0xEF, 0xF0, 0xF4, 0xFA, 0xFC, 0xFD, 0xFF, 0x40, 0x5C,
                            0x60, 0x7F, 0x8D, 0x9E, 0xBF, 0xC2, 0xC3, 0x41, 0x5A, 0x00};

TEST(CodePageDifferential, RandomWholeStrings)
{
    std::mt19937 rng(932);
    Mismatches m;
    for (int round = 0; round < 200000; ++round) {
        char s[41];
        int len = static_cast<int>(rng() % 40) + 1;
        for (int i = 0; i < len; ++i)
            s[i] = static_cast<char>(rng() % 3 ? ALPHABET[rng() % sizeof ALPHABET] : rng() % 256);
        s[len] = 0;
        for (uint32_t cp : {CODE_PAGE_932, CODE_PAGE_UTF8}) {
            compare_to_wide(&m, cp, s, len, len);    // NUL bytes inside an explicit length too
            compare_to_wide(&m, cp, s, -1, static_cast<int>(std::strlen(s)) + 1);
        }
        compare_lower(&m, s);
        uint16_t w[41];
        for (int i = 0; i < len; ++i) {
            uint32_t pick = rng() % 8;
            w[i] = static_cast<uint16_t>(pick == 0 ? 0xD800 + rng() % 0x800 : pick == 1 ? rng() % 0x80
                                                                                          : rng() % 0x10000);
        }
        w[len] = 0;
        for (uint32_t cp : {CODE_PAGE_932, CODE_PAGE_UTF8}) {
            compare_to_narrow(&m, cp, w, len, len);
        }
    }
    EXPECT_EQ(m.count, 0u) << m.report();
}

TEST(CodePageDifferential, ParameterRules)
{
    uint16_t w[4];
    char n[4];
    const uint16_t wide_a[] = {'a', 0};
    struct Case {
        const char* what;
        int real;
        int ours;
    } cases[] = {
        {"empty source", MultiByteToWideChar(932, 0, "a", 0, reinterpret_cast<WCHAR*>(w), 4), cp_to_wide(932, "a", 0, w, 4)},
        {"null source", MultiByteToWideChar(932, 0, nullptr, 1, reinterpret_cast<WCHAR*>(w), 4), cp_to_wide(932, nullptr, 1, w, 4)},
        {"negative room", MultiByteToWideChar(932, 0, "a", 1, reinterpret_cast<WCHAR*>(w), -1), cp_to_wide(932, "a", 1, w, -1)},
        {"too small", MultiByteToWideChar(65001, 0, "abc", 3, reinterpret_cast<WCHAR*>(w), 2), cp_to_wide(65001, "abc", 3, w, 2)},
        {"narrow empty", WideCharToMultiByte(932, 0, reinterpret_cast<const WCHAR*>(wide_a), 0, n, 4, nullptr, nullptr), cp_to_narrow(932, wide_a, 0, n, 4)},
        {"narrow split pair", WideCharToMultiByte(932, 0, L"\x30A2", 1, n, 1, nullptr, nullptr), cp_to_narrow(932, reinterpret_cast<const uint16_t*>(L"\x30A2"), 1, n, 1)},
        {"terminated", WideCharToMultiByte(65001, 0, reinterpret_cast<const WCHAR*>(wide_a), -1, n, 4, nullptr, nullptr), cp_to_narrow(65001, wide_a, -1, n, 4)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.real, c.ours) << c.what;
}

}  // namespace
