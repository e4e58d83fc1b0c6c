// The dry run against the real transaction: for each installation and payload
// it predicts the result the update then gives, and it changes no byte of the
// folder (not even a leftover temporary file of an earlier run). Every broken
// set-up is tried both ways on the same folder, and a real run that fails
// leaves the folder exactly as it was, lists included.
#include <filesystem>
#include <functional>

#include "platform/platform.h"
#include "support/install_fixture.h"
#include "update/dry_run.h"

namespace {

namespace fs = std::filesystem;

class DryRun : public UsualUpdate {
protected:
    UpdateResult predict() { return dry_run_update(f.updater().c_str(), f.dir().c_str(), &report); }
    DryRunReport report;
};

TEST_F(DryRun, PredictsTheRealResultAndChangesNothing)
{
    // Each case spoils the usual update or installation in one way.
    const struct {
        const char* what;
        std::function<void()> spoil;
        UpdateResult expected;
    } cases[] = {
        {"ok, with a leftover of an earlier run", [&] { f.put("system.arc.tmp", "leftover"); }, UPDATE_OK},
        {"missing KXQ.hvl", [&] { fs::remove(f.game("KXQ.hvl")); }, UPDATE_E_FAILED},
        {"a target the path rules refuse",
         [&] { f.put_updater(shipped_entries({{"evil.arc", "..\\evil.arc", "x"}})); }, UPDATE_E_DAMAGED},
        {"checksum mismatch",
         [&] {
             std::vector<FixtureEntry> entries = shipped_entries(files);
             entries[2].data[3] ^= 1;
             f.put_updater(entries);
         },
         UPDATE_E_DAMAGED},
        {"missing folder",
         [&] {
             files[1].path = "Missing\\data01.arc";
             write_updater();
         },
         UPDATE_E_FAILED},
        {"entry cut short",
         [&] {
             const std::string bytes = updater_file(shipped_entries(files));
             write_host_file(f.updater(), bytes.substr(0, bytes.size() - 5));
         },
         UPDATE_E_DAMAGED},
        {"a folder where a file goes",
         [&] {
             fs::remove(f.game("Archive/data01.arc"));
             fs::create_directories(f.game("Archive/data01.arc"));
         },
         UPDATE_E_FAILED},
        {"read-only KXQ.hvl", [&] { os_set_readonly((f.dir() + "\\KXQ.hvl").c_str()); }, UPDATE_E_FAILED},
        {"missing uninst.lst", [&] { fs::remove(f.game("uninst.lst")); }, UPDATE_E_UNINST_LIST},
        {"a folder at a staged name", [&] { fs::create_directories(f.game("Archive/data01.arc.tmp")); }, UPDATE_E_FAILED},
        {"a folder at a kept name", [&] { fs::create_directories(f.game("system.arc.prev")); }, UPDATE_E_FAILED},
        {"a folder at KXQ.hvl.new", [&] { fs::create_directories(f.game("KXQ.hvl.new")); }, UPDATE_E_FAILED},
        {"a folder at uninst.lst.new", [&] { fs::create_directories(f.game("uninst.lst.new")); }, UPDATE_E_FAILED},
        {"links planted at every name written",
         [&] {
             f.put("elsewhere", "not the game's");
             for (const char* name : {"system.arc.tmp", "system.arc.prev", "KXQ.hvl.new", "uninst.lst.new"})
                 fs::create_symlink(f.game("elsewhere"), f.game(name));
         },
         UPDATE_OK},
        {"a read-only target", [&] { os_set_readonly((f.dir() + "\\system.arc").c_str()); }, UPDATE_OK},
        {"KXQ.hvl cut short", [&] { f.put("KXQ.hvl", std::string("WQX_V2__\0\0", 10)); }, UPDATE_E_FAILED},
        {"KXQ.hvl at the limit a hash list may hold, and a new file to list",
         [&] {
             std::string list = hash_list_file(2, {});
             list.resize(16 + 0x40000 * 256, '\0');
             list[12] = 0x00, list[13] = 0x00, list[14] = 0x04;  // count 0x40000, little-endian
             for (size_t at = 16; at < list.size(); at += 256)
                 list[at] = 'x';
             f.put("KXQ.hvl", list);
             files.push_back({"fresh.arc", "fresh.arc", "a new file"});
             write_updater();
         },
         UPDATE_E_FAILED},
        {"an entry on uninst.lst",
         [&] {
             files.push_back({"uninst.lst", "UNINST.LST", "the publisher's list"});
             write_updater();
         },
         UPDATE_E_DAMAGED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        install_usual();
        write_updater();
        c.spoil();
        const FolderSnapshot before = snapshot_folder(f.temp.path());
        const UpdateResult predicted = predict();
        EXPECT_EQ(snapshot_folder(f.temp.path()), before);
        EXPECT_EQ(predicted, c.expected) << report.reason;
        EXPECT_EQ(run(), predicted);
        if (predicted != UPDATE_OK && predicted != UPDATE_E_UNINST_LIST) {
            EXPECT_EQ(snapshot_folder(f.temp.path()), before) << "a failed update changed the folder";
        }
    }
}

TEST_F(DryRun, ReportsEachTargetTheInstalledListAndTheSpace)
{
    files[1].data = OLD_DATA;                                 // already installed
    files.push_back({"fresh.arc", "Archive\\fresh.arc", "fresh"});  // not installed yet
    files.push_back({"loose.arc", "", "unlisted"});          // no shipped record
    write_updater();
    EXPECT_EQ(predict(), UPDATE_OK);
    EXPECT_TRUE(report.hash_list_loads && report.hash_list_whole && report.hash_list_replaceable);
    EXPECT_EQ(report.installed_records, 2u);
    EXPECT_TRUE(report.uninstall_list_mergeable);
    ASSERT_EQ(report.entries.size(), 5u);
    const DryRunTarget states[] = {TARGET_HASH_LIST, TARGET_CHANGED, TARGET_CURRENT, TARGET_NEW, TARGET_NEW};
    const char* targets[] = {"KXQ.hvl", "system.arc", "Archive\\data01.arc", "Archive\\fresh.arc", "loose.arc"};
    uint64_t staged = 0;
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(report.entries[i].state, states[i]) << i;
        EXPECT_EQ(report.entries[i].target, targets[i]) << i;
        EXPECT_EQ(report.entries[i].verified, i >= 1 && i <= 3) << i;
        staged += i ? report.entries[i].size : 0;
    }
    // Four staged copies and the rewritten list of three records.
    EXPECT_EQ(report.space_needed, staged + 16 + 3 * 256);
    EXPECT_TRUE(report.space_known);
    EXPECT_GT(report.space_free, 0u);
}

}  // namespace
