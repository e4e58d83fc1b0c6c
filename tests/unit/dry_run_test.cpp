// The dry run against the real transaction: for each installation and payload
// it predicts the result the update then gives, and it changes no byte of the
// folder (not even a leftover temporary file of an earlier run).
#include <filesystem>

#include "platform/platform.h"
#include "support/install_fixture.h"
#include "update/dry_run.h"

namespace {

const std::string OLD_SYSTEM = "old system";
const std::string OLD_DATA = "old data";
const std::string NEW_SYSTEM = "new system archive";
const std::string NEW_DATA = "new data archive, a little longer";

class DryRun : public TransactionFixture {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        f.put("system.arc", OLD_SYSTEM);
        f.put("Archive/data01.arc", OLD_DATA);
        f.install({{"system.arc", checksum_of(OLD_SYSTEM)}, {"Archive\\data01.arc", checksum_of(OLD_DATA)}});
    }
    UpdateResult predict() { return dry_run_update(f.updater().c_str(), f.dir().c_str(), &report); }
    DryRunReport report;
};

std::vector<FixtureFile> usual_files()
{
    return {{"system.arc", "system.arc", NEW_SYSTEM}, {"data01.arc", "Archive\\data01.arc", NEW_DATA}};
}

TEST_F(DryRun, PredictsTheRealResultAndChangesNothing)
{
    struct Case {
        const char* what;
        void (*prepare)(const InstallFixture&);
        UpdateResult expected;
    };
    const Case cases[] = {
        {"ok, with a leftover of an earlier run",
         [](const InstallFixture& in) {
             in.put_updater(shipped_entries(usual_files()));
             in.put("system.arc.tmp", "leftover");
         },
         UPDATE_OK},
        {"missing KXQ.hvl",
         [](const InstallFixture& in) {
             in.put_updater(shipped_entries(usual_files()));
             std::filesystem::remove(in.game("KXQ.hvl"));
         },
         UPDATE_E_FAILED},
        {"unsafe path",
         [](const InstallFixture& in) { in.put_updater(shipped_entries({{"evil.arc", "..\\evil.arc", "x"}})); },
         UPDATE_E_DAMAGED},
        {"collision",
         [](const InstallFixture& in) {
             in.put_updater(shipped_entries(
                 {{"data01.arc", "Archive\\data01.arc", "1"}, {"DATA01.arc", "Archive\\data01.arc", "1"}}));
         },
         UPDATE_E_DAMAGED},
        {"checksum mismatch",
         [](const InstallFixture& in) {
             std::vector<FixtureEntry> entries = shipped_entries(usual_files());
             entries[2].data[3] ^= 1;
             in.put_updater(entries);
         },
         UPDATE_E_DAMAGED},
        {"missing folder",
         [](const InstallFixture& in) {
             in.put_updater(shipped_entries({{"system.arc", "system.arc", "s"}, {"x.arc", "Missing\\x.arc", "x"}}));
         },
         UPDATE_E_FAILED},
        {"entry cut short",
         [](const InstallFixture& in) {
             const std::string bytes = updater_file(shipped_entries(usual_files()));
             write_host_file(in.updater(), bytes.substr(0, bytes.size() - 5));
         },
         UPDATE_E_DAMAGED},
        {"a folder where a file goes",
         [](const InstallFixture& in) {
             in.put_updater(shipped_entries(usual_files()));
             std::filesystem::remove(in.game("Archive/data01.arc"));
             std::filesystem::create_directories(in.game("Archive/data01.arc"));
         },
         UPDATE_E_FAILED},
        {"read-only KXQ.hvl",
         [](const InstallFixture& in) {
             in.put_updater(shipped_entries(usual_files()));
             os_set_readonly((in.dir() + "\\KXQ.hvl").c_str());
         },
         UPDATE_E_FAILED},
        {"missing uninst.lst",
         [](const InstallFixture& in) {
             in.put_updater(shipped_entries(usual_files()));
             std::filesystem::remove(in.game("uninst.lst"));
         },
         UPDATE_E_UNINST_LIST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(f.temp.path());
        std::filesystem::create_directories(f.temp.path());
        SetUp();
        c.prepare(f);
        const FolderSnapshot before = snapshot_folder(f.temp.path());
        const UpdateResult predicted = predict();
        EXPECT_EQ(snapshot_folder(f.temp.path()), before);
        EXPECT_EQ(predicted, c.expected) << report.reason;
        EXPECT_EQ(run(), predicted);
        os_set_normal_attributes((f.dir() + "\\KXQ.hvl").c_str());
    }
}

TEST_F(DryRun, ReportsEachTargetTheInstalledListAndTheSpace)
{
    std::vector<FixtureFile> files = usual_files();
    files[1].data = OLD_DATA;                                 // already installed
    files.push_back({"fresh.arc", "Archive\\fresh.arc", "fresh"});  // not installed yet
    files.push_back({"loose.arc", "", "unlisted"});          // no shipped record
    f.put_updater(shipped_entries(files));
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
