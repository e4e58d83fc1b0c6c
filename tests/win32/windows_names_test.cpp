// What CreateFileA, MoveFileExA and DeleteFileA do with the names the path
// rules single out, under Wine: the posix layer and the collision key are
// written to these facts, and this is where they are checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "path_rules/target_key.h"
#include "windows_text/windows_names.h"
#include "support/temp_dir.h"

namespace {

class WindowsNames : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir.path() + "\\" + name; }
    // Creates (CREATE_ALWAYS) and closes; the error, or 0.
    DWORD create(const std::string& name, DWORD disposition = CREATE_ALWAYS)
    {
        HANDLE h = CreateFileA(path(name).c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                               FILE_ATTRIBUTE_ARCHIVE, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return GetLastError();
        CloseHandle(h);
        return 0;
    }
    // Names of the files in the folder, or in its sub-folder `sub`.
    std::vector<std::string> listing(const std::string& sub = "") const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA(path(sub.empty() ? "*" : sub + "\\*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
                names.push_back(found.cFileName);
        } while (FindNextFileA(h, &found));
        FindClose(h);
        return names;
    }
    void empty_folder()
    {
        for (const std::string& name : listing("sub"))
            DeleteFileA(path("sub\\" + name).c_str());
        for (const std::string& name : listing()) {
            if (!DeleteFileA(path(name).c_str()))
                RemoveDirectoryA(path(name).c_str());
        }
    }
    TempDir dir;
};

// How the system treats one name in the folder, found by trying it: the
// error of creating it, whether a file other than the move's source is then
// in the folder, and whether a file could be moved onto it.
WindowsNameProblem observed(DWORD error, bool listed, bool moved)
{
    if (error == ERROR_INVALID_NAME)
        return WINDOWS_NAME_CHARACTER;
    // A device: whether or not it opened, no file of that name is in the
    // folder, and nothing can be moved onto it.
    if (!listed && !moved)
        return WINDOWS_NAME_DEVICE;
    return WINDOWS_NAME_OK;
}

TEST_F(WindowsNames, RefusedCharactersAndDevicesAreWhatCreateFileAMakesOfThem)
{
    std::vector<std::string> names = {"<", ">", "\"", "|", "?", "*", "NUL", "nul.txt", "NUL .arc", "NUL.",
                                      "Nul ", "con", "PRN", "aux", "AUX.a.b", "COM1", "com9.arc", "LPT1",
                                      "lpt9.x", "CONIN$", "CONOUT$", "NULx", "COM0", "LPT", "xNUL", "a.b",
                                      "\x83\x7c", "\x83\x22", "\x7f"};
    for (char c = 1; c < 0x20; ++c)
        names.push_back(std::string("a") + c);
    // ":" is left out: Wine makes a file with a colon in its name where
    // Windows opens a stream of the file before it; the posix layer refuses it.
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        empty_folder();
        ASSERT_EQ(create("incoming.tmp"), 0u);
        const DWORD error = create(name);
        bool listed = false;
        for (const std::string& found : listing())
            listed = listed || (found != "incoming.tmp");
        const bool moved = MoveFileExA(path("incoming.tmp").c_str(), path(name).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        EXPECT_EQ(windows_path_problem(name.c_str()), observed(error, listed, moved));
        if (windows_path_problem(name.c_str()) != WINDOWS_NAME_OK) {
            EXPECT_FALSE(DeleteFileA(path(name).c_str()));
        }
    }
}

TEST_F(WindowsNames, EqualKeysAreExactlyTheSpellingsThatOpenOneFile)
{
    struct Case {
        const char* a;
        const char* b;
    };
    const Case cases[] = {
        {"a.arc", "a.arc."}, {"a.arc", "a.arc "}, {"a.arc", "A.ARC"}, {"a.arc", "a.arc.tmp"},
        {"a..b", "a.b"}, {" a.arc", "a.arc"},
        {"\x81\xe6.arc", "\x87\x9a.arc"},   // ∵ has two codes
        {"\x82\x60.arc", "\x82\x81.arc"},   // Ａ and ａ
        {"\x83\x9f.arc", "\x83\xbf.arc"},   // Α and α
        {"\x87\x54.arc", "\xee\xef.arc"},   // Roman numeral one, capital and small
        {"\x83\x5c.arc", "\x83\x7c.arc"},   // ソ and ポ
        {"sub\\x.arc", "sub\\\\x.arc"}, {"sub\\x.arc", "sub/x.arc"}, {"sub\\x.arc", ".\\sub\\.\\x.arc"},
        {"sub\\x.arc", "sub.\\x.arc"}, {"sub\\x.arc", "x.arc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        empty_folder();
        ASSERT_TRUE(CreateDirectoryA(path("sub").c_str(), nullptr));
        ASSERT_EQ(create(c.a, CREATE_NEW), 0u);
        TargetKey ka, kb;
        ASSERT_TRUE(target_key(&ka, c.a, nullptr));
        ASSERT_TRUE(target_key(&kb, c.b, nullptr));
        const bool one_file = create(c.b, CREATE_NEW) == ERROR_FILE_EXISTS;
        EXPECT_EQ(target_keys_equal(ka, kb), one_file);
    }
}

}  // namespace
