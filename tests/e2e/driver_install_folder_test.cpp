// find_install_folder against the real registry of the Wine prefix, under a
// vendor key of its own so that it never disturbs the game's registration.
#include <gtest/gtest.h>

#include <windows.h>
#include <cstring>
#include <string>
#include "driver/install_folder.h"

namespace {

const char TEST_VENDOR[] = "UpdaterDriverTest";

class InstallFolder : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\UpdaterDriverTest"); }

    // Stores `size` bytes of `data` as the value, of type `type`.
    void set_value(DWORD type, const void* data, DWORD size)
    {
        std::string path = std::string("Software\\") + TEST_VENDOR + "\\" + PRODUCT_KEY;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, INSTALLED_FOLDER_VALUE, 0, type,
                                 static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

}  // namespace

TEST_F(InstallFolder, PlainStringValueIsTheFolder)
{
    const char folder[] = "C:\\Games\\\x83\x94\x83\x46\x83\x8B";  // Japanese folder name
    set_value(REG_SZ, folder, sizeof folder);
    char out[INSTALL_FOLDER_SIZE];
    ASSERT_TRUE(find_install_folder(out, TEST_VENDOR, PRODUCT_KEY));
    EXPECT_STREQ(out, folder);
}

TEST_F(InstallFolder, OtherTypesAndMissingKeysAreNotInstalled)
{
    char out[INSTALL_FOLDER_SIZE];
    EXPECT_FALSE(find_install_folder(out, TEST_VENDOR, PRODUCT_KEY));
    EXPECT_FALSE(find_install_folder(out, nullptr, PRODUCT_KEY));
    EXPECT_FALSE(find_install_folder(out, TEST_VENDOR, nullptr));

    const char expand[] = "%SystemDrive%\\Game";
    set_value(REG_EXPAND_SZ, expand, sizeof expand);
    EXPECT_FALSE(find_install_folder(out, TEST_VENDOR, PRODUCT_KEY));
    EXPECT_STREQ(out, "");
    const DWORD number = 1;
    set_value(REG_DWORD, &number, sizeof number);
    EXPECT_FALSE(find_install_folder(out, TEST_VENDOR, PRODUCT_KEY));
    EXPECT_FALSE(find_install_folder(out, TEST_VENDOR, "other product"));
}

TEST_F(InstallFolder, ValueTooLongForThePathBufferIsRefused)
{
    std::string longest(INSTALL_FOLDER_SIZE - 1, 'x');  // 259 bytes + NUL: fits exactly
    set_value(REG_SZ, longest.c_str(), INSTALL_FOLDER_SIZE);
    char out[INSTALL_FOLDER_SIZE];
    ASSERT_TRUE(find_install_folder(out, TEST_VENDOR, PRODUCT_KEY));
    EXPECT_EQ(std::strlen(out), INSTALL_FOLDER_SIZE - 1);

    std::string too_long(INSTALL_FOLDER_SIZE, 'y');
    set_value(REG_SZ, too_long.c_str(), INSTALL_FOLDER_SIZE + 1);
    EXPECT_FALSE(find_install_folder(out, TEST_VENDOR, PRODUCT_KEY));
}

TEST_F(InstallFolder, ValueStoredWithoutTerminatorEndsInsideTheBuffer)
{
    const char folder[] = "C:\\Game";
    set_value(REG_SZ, folder, sizeof folder - 1);  // no NUL stored
    char out[INSTALL_FOLDER_SIZE];
    std::memset(out, 'Z', sizeof out);
    ASSERT_TRUE(find_install_folder(out, TEST_VENDOR, PRODUCT_KEY));
    EXPECT_STREQ(out, folder);
}

TEST(TerminateRegistryText, EveryLengthEndsWithinTheBuffer)
{
    struct Case { const char* data; size_t data_len; size_t cap; size_t size; bool ok; size_t length; };
    const Case cases[] = {
        {"abc", 4, 8, 4, true, 3},        // stored with its NUL
        {"abc", 3, 8, 3, true, 3},        // stored without: NUL added after it
        {"", 0, 8, 0, true, 0},           // empty value
        {"abcdefgh", 8, 8, 8, false, 0},  // full buffer, no NUL: nowhere to end it
        {"abcdefg", 8, 8, 8, true, 7},    // full buffer ending in its NUL
        {"abc", 3, 8, 9, false, 0},       // more than the buffer holds
        {"ab\0cd", 5, 8, 5, true, 2},     // an inner NUL ends the text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        char buf[9];
        std::memset(buf, 'Q', sizeof buf);
        std::memcpy(buf, c.data, c.data_len);
        ASSERT_EQ(terminate_registry_text(buf, c.cap, c.size), c.ok);
        EXPECT_EQ(buf[8], 'Q');  // the byte past the capacity is never touched
        if (c.ok) {
            EXPECT_EQ(std::strlen(buf), c.length);
        }
    }
}
