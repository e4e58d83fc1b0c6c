// The text conversions and the uninst.lst merge over the real Win32 calls:
// MultiByteToWideChar / WideCharToMultiByte with code pages 932 and 65001,
// and a UTF-8 list rewritten in code page 932 through CreateFileA and
// MoveFileExA.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/temp_dir.h"
#include "uninstall_list/text_convert.h"
#include "uninstall_list/uninstall_list.h"

namespace {

std::vector<uint16_t> wide_of(const char* narrow)
{
    std::unique_ptr<uint16_t[]> wide(to_wide(nullptr, narrow));
    std::vector<uint16_t> units;
    for (size_t i = 0; wide && wide[i] != 0; ++i)
        units.push_back(wide[i]);
    return units;
}

TEST(TextConversionWin32, ToWideChoosesTheCodePageByDetection)
{
    const struct { const char* name; const char* narrow; std::vector<uint16_t> wide; } cases[] = {
        {"sjis katakana", "\x83\x41\x83\x43", {0x30A2, 0x30A4}},
        {"sjis half-width", "\xB1" "a", {0xFF71, 'a'}},
        {"utf8 katakana", "\xE3\x82\xA2\xE3\x82\xA4", {0x30A2, 0x30A4}},
        {"utf8 supplementary", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"ascii", "Data\\A.arc", {'D', 'a', 't', 'a', '\\', 'A', '.', 'a', 'r', 'c'}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.wide, wide_of(c.narrow)) << c.name;
}

TEST(TextConversionWin32, ToNarrowByMode)
{
    const uint16_t text[] = {0x30A2, 0xFF71, 'Z', 0};
    const struct { TextMode mode; std::string narrow; } cases[] = {
        {TEXT_MODE_SJIS, "\x83\x41\xB1Z"},
        {TEXT_MODE_UTF8, "\xE3\x82\xA2\xEF\xBD\xB1Z"},
        {TEXT_MODE_ASCII, "\x83\x41\xB1Z"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<char[]> narrow(to_narrow(nullptr, text, c.mode));
        ASSERT_TRUE(narrow) << c.mode;
        EXPECT_EQ(c.narrow, std::string(narrow.get())) << c.mode;
    }
}

TEST(TextConversionWin32, RoundTripThroughUtf16KeepsShiftJis)
{
    const char sjis[] = "\x83\x66\x81\x5B\x83\x5E\\\x83\x41\x83\x43.arc";
    std::unique_ptr<uint16_t[]> wide(to_wide(nullptr, sjis));
    ASSERT_TRUE(wide);
    std::unique_ptr<char[]> back(to_narrow(nullptr, wide.get(), TEXT_MODE_SJIS));
    ASSERT_TRUE(back);
    EXPECT_EQ(std::string(sjis), std::string(back.get()));
}

TEST(UninstallListWin32, Utf8ListIsRewrittenInCodePage932)
{
    TempDir dir;
    // "データ\アイ.ARC" and "セーブ" in UTF-8, CRLF ends, a "$" line first.
    write_host_file(dir.host("uninst.lst"),
                    "$Folder\r\n\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\\\xE3\x82\xA2\xE3\x82\xA4.ARC\r\n"
                    "\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96\r\n");
    const char* paths[] = {"\x83\x66\x81\x5B\x83\x5E\\\x83\x41\x83\x43.arc", "KXQ.hvl", nullptr};
    ASSERT_TRUE(merge_uninstall_list(dir.path().c_str(), paths));
    EXPECT_EQ(std::string("\x83\x66\x81\x5B\x83\x5E\\\x83\x41\x83\x43.arc\n\x83\x5A\x81\x5B\x83\x75\nkxq.hvl\n"
                          "$folder\n") + '\0',
              read_host_file(dir.host("uninst.lst")));
    EXPECT_FALSE(host_file_exists(dir.host("uninst.lst.new")));
}

TEST(UninstallListWin32, ReadOnlyListFailsAndKeepsItsContent)
{
    TempDir dir;
    write_host_file(dir.host("uninst.lst"), "Old\n");
    std::string list = dir.path() + "\\uninst.lst";
    ASSERT_TRUE(os_set_readonly(list.c_str()));
    const char* paths[] = {"new", nullptr};
    EXPECT_FALSE(merge_uninstall_list(dir.path().c_str(), paths));
    EXPECT_TRUE(os_set_normal_attributes(list.c_str()));
    EXPECT_EQ("Old\n", read_host_file(dir.host("uninst.lst")));
    EXPECT_FALSE(host_file_exists(dir.host("uninst.lst.new")));
}

}  // namespace
