// The update transaction end to end over a real folder: every outcome it can
// report, with the exact state of the installation folder afterwards.
#include <filesystem>

#include "platform/fault_injection.h"
#include "platform/little_endian.h"
#include "platform/platform.h"
#include "support/install_fixture.h"
#include "update/transaction.h"

namespace {

typedef std::vector<std::string> Paths;

class UpdateOutcome : public UsualUpdate {
protected:
    std::string updated_list() const
    {
        return hash_list_file(2, {{"system.arc", checksum_of(NEW_SYSTEM)},
                                  {"Archive\\data01.arc", checksum_of(NEW_DATA)}});
    }
};

TEST_F(UpdateOutcome, CommitsEveryFileAndRewritesBothLists)
{
    write_updater();
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(changed_files(before, after), (Paths{"Archive/data01.arc", "KXQ.hvl", "system.arc", "uninst.lst"}));
    EXPECT_EQ(after["system.arc"], NEW_SYSTEM);
    EXPECT_EQ(after["Archive/data01.arc"], NEW_DATA);
    EXPECT_EQ(after["KXQ.hvl"], updated_list());
    EXPECT_EQ(after["uninst.lst"], std::string("game.exe\nkxq.hvl\nsystem.arc\narchive\\data01.arc\n") + '\0');
}

TEST_F(UpdateOutcome, MissingInstalledListFailsBeforeAnythingElse)
{
    write_updater();
    std::filesystem::remove(f.game("KXQ.hvl"));
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_FAILED);
    EXPECT_EQ(f.snapshot(), before);
    EXPECT_TRUE(view.calls().empty());
}

TEST_F(UpdateOutcome, VersionOneInstalledListFails)
{
    write_updater();
    f.put("KXQ.hvl", hash_list_file(1, {{"system.arc", checksum_of(OLD_SYSTEM)}}));
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_FAILED);
    EXPECT_EQ(f.snapshot(), before);
    EXPECT_TRUE(view.calls().empty());
}

TEST_F(UpdateOutcome, UnusablePayloadLeavesTheFolderUntouched)
{
    struct Case {
        const char* what;
        size_t keep;            // bytes of the updater file kept (0: no file at all)
        UpdateResult expected;
    };
    const Case cases[] = {
        {"no updater file", 0, UPDATE_E_DAMAGED},
        {"shorter than the archive header offset", 0x28000, UPDATE_E_DAMAGED},
        {"exactly the header offset, no header", 0x28400, UPDATE_E_DAMAGED},
        {"index cut short", 0x28410 + 100, UPDATE_E_DAMAGED},
    };
    FolderSnapshot before = f.snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = updater_file(shipped_entries(files));
        std::filesystem::remove(f.updater());
        if (c.keep)
            write_host_file(f.updater(), bytes.substr(0, c.keep));
        EXPECT_EQ(run(), c.expected);
        EXPECT_EQ(f.snapshot(), before);
    }
}

TEST_F(UpdateOutcome, ShippedListThatDoesNotParseIsDamageBeforeAnythingIsStaged)
{
    // Which lists do not parse is the loader's to say; here, that the update
    // stops before its first step.
    std::vector<FixtureEntry> entries = shipped_entries(files);
    entries[0].data.replace(0, 8, "WQX_V3__");
    f.put_updater(entries);
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_DAMAGED);
    EXPECT_EQ(f.snapshot(), before);
    EXPECT_TRUE(view.calls().empty());
}

TEST_F(UpdateOutcome, MoreThan256EntriesIsRefused)
{
    std::string bytes = updater_file(shipped_entries(files), 128, 257);
    write_host_file(f.updater(), bytes);
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_TOO_MANY_ENTRIES);
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(UpdateOutcome, EntryReadShortDeletesEveryTemporaryFile)
{
    std::string bytes = updater_file(shipped_entries(files));
    write_host_file(f.updater(), bytes.substr(0, bytes.size() - 5));  // the last entry loses 5 bytes
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_DAMAGED);
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(UpdateOutcome, EntryThatCannotBeReachedIsDamage)
{
    std::string bytes = updater_file(shipped_entries(files));
    // Entry 2's offset field: 0x28410 + 2 * 128 + 96. Past 2 GiB the seek fails.
    store_u32le(reinterpret_cast<uint8_t*>(&bytes[0x28410 + 2 * 128 + 96]), 0x90000000u);
    write_host_file(f.updater(), bytes);
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_DAMAGED);
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(UpdateOutcome, ChecksumMismatchDeletesEveryTemporaryFile)
{
    std::vector<FixtureEntry> entries = shipped_entries(files);
    entries[2].data[3] ^= 1;  // data01.arc no longer matches its shipped record
    f.put_updater(entries);
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_DAMAGED);
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(UpdateOutcome, MissingSubFolderIsNeverCreated)
{
    files[1].path = "Missing\\data01.arc";
    write_updater();
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_FAILED);
    EXPECT_EQ(f.snapshot(), before);
    EXPECT_FALSE(host_file_exists(f.game("Missing")));
}

TEST_F(UpdateOutcome, FaultWhileStagingFailsAndDeletesTemporaryFiles)
{
    struct Case {
        FaultOperation op;
        FaultEffect effect;
        UpdateResult expected;
    };
    const Case cases[] = {
        {FAULT_WRITE, FAULT_SHORT, UPDATE_E_FAILED},
        {FAULT_WRITE, FAULT_FAIL, UPDATE_E_FAILED},
        {FAULT_FLUSH, FAULT_FAIL, UPDATE_E_FAILED},
        {FAULT_CREATE_WRITE, FAULT_FAIL, UPDATE_E_FAILED},
    };
    write_updater();
    FolderSnapshot before = f.snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "operation " << c.op << " effect " << c.effect);
        reset_stop_flags();
        fault_reset();
        // The second of its kind: the first staged file is through, the second fails.
        fault_arm(c.op, 2, c.effect);
        EXPECT_EQ(run(), c.expected);
        EXPECT_TRUE(fault_fired());
        fault_reset();
        EXPECT_EQ(f.snapshot(), before);
    }
}

TEST_F(UpdateOutcome, ReadOnlyGameFileIsReplacedByTheCommit)
{
    write_updater();
    ASSERT_TRUE(os_set_readonly((f.dir() + "\\Archive\\data01.arc").c_str()));
    EXPECT_EQ(run(), UPDATE_OK);
    EXPECT_EQ(f.snapshot()["Archive/data01.arc"], NEW_DATA);
    EXPECT_EQ(os_get_attributes((f.dir() + "\\Archive\\data01.arc").c_str()) & OS_ATTRIBUTE_READONLY, 0u);
}

TEST_F(UpdateOutcome, RewrittenListsKeepTheirHiddenAndSystemAttributes)
{
    write_updater();
    const std::string list = f.dir() + "\\KXQ.hvl";
    const std::string uninst = f.dir() + "\\uninst.lst";
    const uint32_t hidden_system = OS_ATTRIBUTE_HIDDEN | OS_ATTRIBUTE_SYSTEM;
    if (!os_set_attributes(list.c_str(), hidden_system) || !os_set_attributes(uninst.c_str(), OS_ATTRIBUTE_HIDDEN))
        GTEST_SKIP() << "this file system keeps no extended attributes";
    EXPECT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(after["KXQ.hvl"], updated_list());
    EXPECT_NE(after["uninst.lst"], UNINST + '\0');
    EXPECT_EQ(os_get_attributes(list.c_str()), OS_ATTRIBUTE_ARCHIVE | hidden_system);
    EXPECT_EQ(os_get_attributes(uninst.c_str()), OS_ATTRIBUTE_ARCHIVE | OS_ATTRIBUTE_HIDDEN);
}

TEST_F(UpdateOutcome, WithoutItsOwnPathTheUpdaterReadsSetupExeInTheCurrentFolder)
{
    write_updater();  // f.updater() is setup.exe beside the installation
    const std::filesystem::path was = std::filesystem::current_path();
    std::filesystem::current_path(f.temp.path());
    fault_arm(FAULT_OWN_PATH, 1, FAULT_FAIL);
    const UpdateResult result = run_update(f.dir().c_str(), view);
    const bool fired = fault_fired();
    std::filesystem::current_path(was);
    EXPECT_TRUE(fired);
    EXPECT_EQ(result, UPDATE_OK);
    EXPECT_EQ(f.snapshot()["system.arc"], NEW_SYSTEM);
}

TEST_F(UpdateOutcome, MissingUninstallListStillCommitsAndRewritesTheHashList)
{
    write_updater();
    std::filesystem::remove(f.game("uninst.lst"));
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_UNINST_LIST);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(changed_files(before, after), (Paths{"Archive/data01.arc", "KXQ.hvl", "system.arc"}));
    EXPECT_EQ(after["KXQ.hvl"], updated_list());
}

TEST_F(UpdateOutcome, PayloadOfOnlyTheHashListUpdatesTheLists)
{
    files.clear();
    write_updater();
    std::filesystem::remove(f.game("system.arc"));  // its record is pruned
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(changed_files(before, after), (Paths{"KXQ.hvl", "uninst.lst"}));
    EXPECT_EQ(after["KXQ.hvl"], hash_list_file(2, {{"Archive\\data01.arc", checksum_of(OLD_DATA)}}));
    EXPECT_EQ(after["uninst.lst"], std::string("game.exe\nkxq.hvl\n") + '\0');
}

TEST_F(UpdateOutcome, EmptyEntryIsCommittedAsAnEmptyFile)
{
    files.push_back({"empty.arc", "empty.arc", ""});
    write_updater();
    EXPECT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    ASSERT_EQ(after.count("empty.arc"), 1u);
    EXPECT_EQ(after["empty.arc"], "");
    std::string list = after["KXQ.hvl"];
    ASSERT_EQ(list.size(), 16u + 3 * 256);
    EXPECT_EQ(list.substr(16 + 2 * 256 + 248, 8), std::string(8, '\0'));
}

TEST_F(UpdateOutcome, ThirtyTwoByteIndexFormWorksAlike)
{
    f.put_updater(shipped_entries(files), 32);
    EXPECT_EQ(run(), UPDATE_OK);
    EXPECT_EQ(f.snapshot()["KXQ.hvl"], updated_list());
}

}  // namespace
