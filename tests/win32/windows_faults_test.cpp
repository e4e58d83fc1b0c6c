// Faults that only Windows produces, met by the real transaction over the
// Win32 platform layer: a file another program holds open without delete
// sharing (MoveFileExA cannot replace it), and a read-only KXQ.hvl or
// uninst.lst (MoveFileExA refuses to replace a read-only file).
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/install_fixture.h"
#include "update/transaction.h"
#include "wine_root.h"

namespace {

const std::string OLD_SYSTEM = "old system";
const std::string OLD_DATA = "old data";
const std::string NEW_SYSTEM = "new system archive";
const std::string NEW_DATA = "new data archive";
const std::string FRESH = "a file the game did not have";
const std::string UNINST = "System.arc\r\n$Uninstaller\r\n";

enum Hold { HELD_OPEN, READ_ONLY };

struct Case {
    const char* what;
    const char* file;        // relative to the installation, "\" separators
    Hold hold;
    UpdateResult expected;
    size_t committed;        // targets in commit order that end up new
    bool hash_list_new;
};

// Targets in commit order.
const char* const TARGETS[] = {"system.arc", "Archive/data01.arc", "Archive/fresh.arc"};

class WindowsFaults : public TransactionFixture {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        f.put("system.arc", OLD_SYSTEM);
        f.put("Archive/data01.arc", OLD_DATA);
        f.install({{"system.arc", checksum_of(OLD_SYSTEM)}, {"Archive\\data01.arc", checksum_of(OLD_DATA)}}, UNINST);
        f.put_updater(shipped_entries({{"system.arc", "system.arc", NEW_SYSTEM},
                                       {"data01.arc", "Archive\\data01.arc", NEW_DATA},
                                       {"fresh.arc", "Archive\\fresh.arc", FRESH}}));
        dir = f.temp.path() + "\\game";
        before = f.snapshot();
    }
    std::string win_path(const char* relative) const { return dir + "\\" + relative; }
    UpdateResult update()
    {
        ScriptedProgress quiet;
        return run_update_from(f.updater().c_str(), dir.c_str(), quiet);
    }
    void check(const Case& c, UpdateResult result);

    std::string dir;
    FolderSnapshot before;
};

void WindowsFaults::check(const Case& c, UpdateResult result)
{
    EXPECT_EQ(result, c.expected) << update_result_name(result);
    FolderSnapshot after = f.snapshot();
    const std::string fresh[] = {NEW_SYSTEM, NEW_DATA, FRESH};
    for (size_t i = 0; i < std::size(TARGETS); ++i) {
        if (i < c.committed)
            EXPECT_EQ(after[TARGETS[i]], fresh[i]) << TARGETS[i];
        else if (before.count(TARGETS[i]))
            EXPECT_EQ(after[TARGETS[i]], before[TARGETS[i]]) << TARGETS[i];
        else
            EXPECT_EQ(after.count(TARGETS[i]), 0u) << TARGETS[i];
    }
    const std::string new_list = hash_list_file(2, {{"system.arc", checksum_of(NEW_SYSTEM)},
                                                    {"Archive\\data01.arc", checksum_of(NEW_DATA)},
                                                    {"Archive\\fresh.arc", checksum_of(FRESH)}});
    EXPECT_EQ(after["KXQ.hvl"], c.hash_list_new ? new_list : before["KXQ.hvl"]);
    EXPECT_EQ(after["uninst.lst"], UNINST) << "uninst.lst must keep its bytes";
    for (const auto& item : after) {
        const std::string& p = item.first;
        const bool leftover = (p.size() > 4 && (p.compare(p.size() - 4, 4, ".tmp") == 0 ||
                                                p.compare(p.size() - 4, 4, ".new") == 0)) ||
                              (p.size() > 5 && p.compare(p.size() - 5, 5, ".prev") == 0);
        EXPECT_FALSE(leftover) << "left behind: " << p;
    }
}

const Case HELD_CASES[] = {
    // The move onto the held file is refused, also after the retries: the
    // one before it is put back, every temporary file and kept copy goes.
    // A held KXQ.hvl refuses its rewrite after all three moves, which are
    // then undone the same way.
    {"held game file", "Archive\\data01.arc", HELD_OPEN, UPDATE_E_FAILED, 0, false},
    {"held KXQ.hvl", "KXQ.hvl", HELD_OPEN, UPDATE_E_FAILED, 0, false},
    {"held uninst.lst", "uninst.lst", HELD_OPEN, UPDATE_E_UNINST_LIST, 3, true},
};

TEST_F(WindowsFaults, FileHeldWithoutDeleteSharingIsNotReplaced)
{
    for (const Case& c : HELD_CASES) {
        SCOPED_TRACE(c.what);
        // As a running game holds its archives: readers and writers
        // admitted, but no FILE_SHARE_DELETE, so nothing may rename over it.
        HANDLE h = CreateFileA(win_path(c.file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        const UpdateResult result = update();
        CloseHandle(h);
        check(c, result);
        // The next case starts from the old installation again.
        for (const auto& item : before)
            f.put(item.first, item.second);
        std::error_code ec;
        std::filesystem::remove(f.game("Archive/fresh.arc"), ec);
        reset_stop_flags();
    }
}

const Case READ_ONLY_CASES[] = {
    // Found before anything is staged.
    {"read-only KXQ.hvl", "KXQ.hvl", READ_ONLY, UPDATE_E_FAILED, 0, false},
    {"read-only uninst.lst", "uninst.lst", READ_ONLY, UPDATE_E_UNINST_LIST, 3, true},
};

TEST_F(WindowsFaults, ReadOnlyListIsNotReplaced)
{
    if (wine_runs_as_root())
        GTEST_SKIP() << "Wine leaves the read-only attribute to Unix permissions, which root bypasses; "
                        "the unprivileged run of this test checks it";
    for (const Case& c : READ_ONLY_CASES) {
        SCOPED_TRACE(c.what);
        const std::string path = win_path(c.file);
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        const UpdateResult result = update();
        check(c, result);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const auto& item : before)
            f.put(item.first, item.second);
        std::error_code ec;
        std::filesystem::remove(f.game("Archive/fresh.arc"), ec);
        reset_stop_flags();
    }
}

}  // namespace
