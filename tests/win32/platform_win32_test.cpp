// The Win32 platform layer under Wine: the flags it passes show in what the
// system then allows (sharing, read-only, folders, seek limits), and the
// conversions and lower-casing of the ANSI code page work on real text.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"
#include "win32/wine_root.h"

namespace {

class PlatformWin32 : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir.path() + "\\" + name; }
    bool make(const char* name, const char* bytes)
    {
        OsHandle h = os_create_write(path(name).c_str());
        if (h == OS_INVALID_HANDLE)
            return false;
        uint32_t n = static_cast<uint32_t>(std::strlen(bytes));
        bool ok = os_write(h, bytes, n) == n;
        os_close(h);
        return ok;
    }
    void TearDown() override
    {
        for (const char* name : {"ro", "a", "b"})
            SetFileAttributesA(path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    TempDir dir;
};

TEST_F(PlatformWin32, ReadOnlyAttributeRefusesCreateMoveAndDelete)
{
    ASSERT_TRUE(make("ro", "keep"));
    ASSERT_TRUE(make("a", "new"));
    ASSERT_TRUE(os_set_readonly(path("ro").c_str()));
    EXPECT_EQ(GetFileAttributesA(path("ro").c_str()) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(os_get_attributes(path("ro").c_str()) & OS_ATTRIBUTE_READONLY, OS_ATTRIBUTE_READONLY);
    if (!wine_runs_as_root()) {  // Wine leaves these to Unix permissions
        OsHandle h = os_create_write(path("ro").c_str());
        EXPECT_EQ(h, OS_INVALID_HANDLE);
        if (h != OS_INVALID_HANDLE)
            os_close(h);
        EXPECT_FALSE(os_move_replace(path("a").c_str(), path("ro").c_str()));
        EXPECT_FALSE(os_delete_file(path("ro").c_str()));
    }
    ASSERT_TRUE(os_set_normal_attributes(path("ro").c_str()));
    EXPECT_EQ(os_get_attributes(path("ro").c_str()) & OS_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(os_move_replace(path("a").c_str(), path("ro").c_str()));
    EXPECT_EQ(os_get_attributes(path("a").c_str()), OS_INVALID_ATTRIBUTES);
}

TEST_F(PlatformWin32, SharingFlagsAdmitReadersOnly)
{
    ASSERT_TRUE(make("a", "x"));
    OsHandle reader = os_open_read(path("a").c_str());
    ASSERT_NE(reader, OS_INVALID_HANDLE);
    OsHandle second = os_open_read(path("a").c_str());
    EXPECT_NE(second, OS_INVALID_HANDLE);
    EXPECT_EQ(os_create_write(path("a").c_str()), OS_INVALID_HANDLE);
    EXPECT_FALSE(os_delete_file(path("a").c_str()));
    os_close(second);
    os_close(reader);
    OsHandle writer = os_create_write(path("a").c_str());
    ASSERT_NE(writer, OS_INVALID_HANDLE);
    EXPECT_EQ(os_open_read(path("a").c_str()), OS_INVALID_HANDLE);
    os_close(writer);
}

// A staged file is reopened only to be flushed: OPEN_EXISTING keeps its
// bytes, holds it alone, and makes no file where there is none.
TEST_F(PlatformWin32, OpenForWritingKeepsTheFileAndHoldsItAlone)
{
    ASSERT_TRUE(make("a", "abc"));
    OsHandle writer = os_open_write(path("A").c_str());
    ASSERT_NE(writer, OS_INVALID_HANDLE);
    EXPECT_EQ(os_open_read(path("a").c_str()), OS_INVALID_HANDLE);
    EXPECT_TRUE(os_flush(writer));
    EXPECT_EQ(os_size(writer), 3u);
    os_close(writer);
    EXPECT_EQ(os_open_write(path("b").c_str()), OS_INVALID_HANDLE);
    EXPECT_EQ(os_get_attributes(path("b").c_str()), OS_INVALID_ATTRIBUTES);
    ASSERT_TRUE(CreateDirectoryA(path("sub").c_str(), nullptr));
    EXPECT_EQ(os_open_write(path("sub").c_str()), OS_INVALID_HANDLE);
    EXPECT_TRUE(RemoveDirectoryA(path("sub").c_str()));
}

// CREATE_NEW takes no name that exists in any spelling; the regular read
// opens a file, and neither a folder nor a device such as the "NUL" that
// Windows finds in every folder.
TEST_F(PlatformWin32, CreateNewAndRegularReadTakeTheNameItself)
{
    ASSERT_TRUE(make("a", "keep"));
    EXPECT_EQ(os_create_new(path("A").c_str()), OS_INVALID_HANDLE);
    OsHandle reader = os_open_read_regular(path("a").c_str());
    EXPECT_NE(reader, OS_INVALID_HANDLE);
    os_close(reader);
    ASSERT_TRUE(CreateDirectoryA(path("sub").c_str(), nullptr));
    EXPECT_EQ(os_open_read_regular(path("sub").c_str()), OS_INVALID_HANDLE);
    EXPECT_TRUE(RemoveDirectoryA(path("sub").c_str()));
    OsHandle device = os_open_read(path("NUL").c_str());
    ASSERT_NE(device, OS_INVALID_HANDLE) << "the plain open reaches the device";
    os_close(device);
    EXPECT_EQ(os_open_read_regular(path("NUL").c_str()), OS_INVALID_HANDLE);
}

TEST_F(PlatformWin32, FoldersAndSeekLimits)
{
    ASSERT_TRUE(CreateDirectoryA(path("sub").c_str(), nullptr));
    EXPECT_EQ(os_get_attributes(path("sub").c_str()) & OS_ATTRIBUTE_DIRECTORY, OS_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(os_open_read(path("sub").c_str()), OS_INVALID_HANDLE);
    EXPECT_FALSE(os_delete_file(path("sub").c_str()));
    ASSERT_TRUE(make("a", "abc"));
    EXPECT_FALSE(os_move_replace(path("a").c_str(), path("sub").c_str()));
    OsHandle h = os_open_read(path("A").c_str());  // names match without regard to case
    ASSERT_NE(h, OS_INVALID_HANDLE);
    EXPECT_EQ(os_size(h), 3u);
    EXPECT_EQ(os_seek(h, 0x7FFFFFFFu), 0x7FFFFFFFu);
    EXPECT_EQ(os_seek(h, 0x80000000u), OS_INVALID_POSITION);
    os_close(h);
    EXPECT_EQ(os_size(OS_INVALID_HANDLE), OS_INVALID_FILE_SIZE);
    EXPECT_TRUE(RemoveDirectoryA(path("sub").c_str()));
}

TEST_F(PlatformWin32, FreeSpaceOfAnExistingFolderOnly)
{
    ASSERT_TRUE(CreateDirectoryA(path("space").c_str(), nullptr));
    uint64_t free_bytes = 0;
    EXPECT_TRUE(os_free_space(path("space").c_str(), &free_bytes));
    EXPECT_GT(free_bytes, 0u);
    EXPECT_FALSE(os_free_space(path("missing").c_str(), &free_bytes));
    EXPECT_TRUE(RemoveDirectoryA(path("space").c_str()));
}

TEST_F(PlatformWin32, OwnPathFitsOrFails)
{
    char buf[OS_PATH_SIZE];
    uint32_t n = os_own_path(buf, sizeof buf);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::strlen(buf), n);
    EXPECT_NE(std::string(buf).find("platform_win32_test"), std::string::npos);
    EXPECT_EQ(os_own_path(buf, n), 0u);  // a cut-off path is a failure
    EXPECT_EQ(buf[0], '\0');
}

TEST_F(PlatformWin32, ConversionsAndLowerCasingOfTheAnsiCodePage)
{
    // "アップデート" in code page 932 -> UTF-16 -> UTF-8 and back.
    const char sjis[] = "\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67";
    uint16_t wide[16];
    ASSERT_EQ(os_to_wide(CODE_PAGE_932, sjis, -1, nullptr, 0), 7);
    ASSERT_EQ(os_to_wide(CODE_PAGE_932, sjis, -1, wide, 16), 7);
    EXPECT_EQ(wide[0], 0x30A2);
    EXPECT_EQ(wide[6], 0);
    char utf8[32];
    ASSERT_EQ(os_to_narrow(CODE_PAGE_UTF8, wide, -1, utf8, sizeof utf8), 19);
    EXPECT_STREQ(utf8, "\xE3\x82\xA2\xE3\x83\x83\xE3\x83\x97\xE3\x83\x87\xE3\x83\xBC\xE3\x83\x88");
    char back[16];
    ASSERT_EQ(os_to_narrow(CODE_PAGE_932, wide, -1, back, sizeof back), 13);
    EXPECT_STREQ(back, sjis);

    // The trail byte 0x41 of "ア" is not a capital; full-width "Ａ" lowers to "ａ".
    char text[] = "\x83\x41" "A\x82\x60" "B";
    os_ansi_lower(text);
    EXPECT_STREQ(text, "\x83\x41" "a\x82\x81" "b");
}

}  // namespace
