// A disk that really fills up: the installation lies on a small tmpfs, so the
// kernel itself refuses the bytes. Staging that runs out of room fails with
// UPDATE_E_FAILED and leaves exactly the old files; a disk that fills while
// KXQ.hvl or uninst.lst is rewritten keeps that list's old bytes.
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/fault_injection.h"
#include "support/install_fixture.h"
#include "update/transaction.h"

namespace {

const uint64_t PAGE = 4096;

// A tmpfs of `kib` KiB mounted on `dir`, unmounted on destruction.
class SmallDisk {
public:
    SmallDisk(const std::string& dir, unsigned kib) : dir_(dir)
    {
        std::filesystem::create_directories(dir);
        const std::string options = "size=" + std::to_string(kib) + "k";
        mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
        error_ = mounted_ ? 0 : errno;
    }
    ~SmallDisk()
    {
        if (mounted_)
            umount2(dir_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    std::string why() const { return std::strerror(error_); }
    uint64_t free_bytes() const
    {
        struct statvfs st;
        return statvfs(dir_.c_str(), &st) == 0 ? static_cast<uint64_t>(st.f_bavail) * st.f_frsize : 0;
    }
    // Takes space with a file outside the update until `left` bytes are free.
    bool leave_free(const std::string& filler, uint64_t left) const
    {
        const uint64_t now = free_bytes();
        if (now < left)
            return false;
        write_host_file(filler, std::string(static_cast<size_t>(now - left), 'F'));
        return free_bytes() == left;
    }

private:
    std::string dir_;
    bool mounted_ = false;
    int error_ = 0;
};

std::string bytes_of(size_t n, char c)
{
    return std::string(n, c);
}

// The uninstall list of a big installation: many lines, so its rewrite
// needs more room than anything else in the update.
std::string long_uninst(size_t lines)
{
    std::string out;
    for (size_t i = 0; i < lines; ++i)
        out += "data\\file" + std::to_string(100000 + i) + ".arc\r\n";
    return out;
}

class FullDisk : public TransactionFixture {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        disk.reset(new SmallDisk(f.game(""), 1024));
        if (!disk->mounted())
            GTEST_SKIP() << "cannot mount a tmpfs here (" << disk->why() << "); needs root";
    }
    void TearDown() override
    {
        disk.reset();
        TransactionFixture::TearDown();
    }
    std::unique_ptr<SmallDisk> disk;
};

TEST_F(FullDisk, StagingThatRunsOutOfRoomChangesNothing)
{
    f.put("system.arc", "old system");
    f.put("Archive/data01.arc", "old data");
    f.install({{"system.arc", checksum_of("old system")}, {"Archive\\data01.arc", checksum_of("old data")}});
    // 64 KiB free; the second entry needs 200 KiB.
    ASSERT_TRUE(disk->leave_free(f.game("movie.dat"), 16 * PAGE));
    f.put_updater(shipped_entries({{"system.arc", "system.arc", bytes_of(8192, 's')},
                                   {"data01.arc", "Archive\\data01.arc", bytes_of(200 * 1024, 'd')}}));
    const FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_FAILED);
    EXPECT_EQ(f.snapshot(), before);
    // The room the temporary files took is given back.
    EXPECT_EQ(disk->free_bytes(), 16 * PAGE);
}

TEST_F(FullDisk, TooLittleRoomForTheNewListIsFoundBeforeAnythingChanges)
{
    // A long installed list (400 records, 100 KiB) and room for the small
    // file but not for the list's new copy: the room is counted before
    // staging, so nothing is written and nothing needs putting back.
    std::vector<FixtureRecord> records;
    for (int i = 0; i < 400; ++i)
        records.push_back({"data\\file" + std::to_string(i) + ".arc", checksum_of(std::to_string(i))});
    records.push_back({"system.arc", checksum_of("old system")});
    f.put("system.arc", "old system");
    f.install(records);
    ASSERT_TRUE(disk->leave_free(f.game("movie.dat"), 12 * PAGE));
    f.put_updater(shipped_entries({{"system.arc", "system.arc", "new system"}}));
    const FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_FAILED);
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(FullDisk, UninstallListRewriteThatRunsOutOfRoomKeepsTheOldList)
{
    // KXQ.hvl is small; uninst.lst (3000 lines, about 70 KiB) is not.
    f.put("system.arc", "old system");
    f.install({{"system.arc", checksum_of("old system")}}, long_uninst(3000));
    ASSERT_TRUE(disk->leave_free(f.game("movie.dat"), 8 * PAGE));
    f.put_updater(shipped_entries({{"system.arc", "system.arc", "new system"}}));
    const FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_UNINST_LIST);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(changed_files(before, after), (std::vector<std::string>{"KXQ.hvl", "system.arc"}));
    EXPECT_EQ(after["system.arc"], "new system");
    EXPECT_EQ(after["KXQ.hvl"], hash_list_file(2, {{"system.arc", checksum_of("new system")}}));
    EXPECT_EQ(after["uninst.lst"], before.at("uninst.lst"));
}

}  // namespace
