// The transaction, and patchtool verify, over a game folder that someone else
// can write and has prepared: links, hard links and pipes planted under the
// names the updater reads and writes. Nothing outside the folder is ever read
// into it, written, created, deleted or has its mode changed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/install_fixture.h"
#include "support/tool_run.h"

namespace {

const std::string OUTSIDE = "a file outside the game folder";

mode_t mode_of(const std::string& host)
{
    struct stat st;
    return stat(host.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool is_link(const std::string& host)
{
    struct stat st;
    return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

class PlantedNames : public UsualUpdate {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        prepare();
    }
    // The installation and the outside file afresh: a read-only file
    // elsewhere that the planted names point to.
    void prepare()
    {
        install_usual();
        std::filesystem::remove_all(outside.host("created"));
        chmod(outside.host("target").c_str(), 0644);
        write_host_file(outside.host("target"), OUTSIDE);
        EXPECT_EQ(chmod(outside.host("target").c_str(), 0444), 0);
    }
    void plant_link(const std::string& name, const std::string& to)
    {
        ASSERT_EQ(symlink(to.c_str(), f.game(name).c_str()), 0) << name;
    }
    void expect_outside_untouched()
    {
        EXPECT_EQ(read_host_file(outside.host("target")), OUTSIDE);
        EXPECT_EQ(mode_of(outside.host("target")), 0444u);
        EXPECT_FALSE(host_file_exists(outside.host("created")));
    }
    TempDir outside;
};

// The files the updater creates beside their targets are its own: whatever
// was planted under their names is removed, never written through.
TEST_F(PlantedNames, TemporaryAndSiblingFilesAreNeverWrittenThroughAPlantedName)
{
    const struct {
        const char* what;
        const char* name;
        bool hard_link_to_target;  // else a symbolic link to `to`
        const char* to;
        bool damage_second_entry;
        UpdateResult expected;
    } cases[] = {
        // The hard link shares the target's bytes: writing the staged copy
        // through it changed the target although the update then failed.
        {"<target>.tmp as a hard link to the target", "system.arc.tmp", true, "", true, UPDATE_E_DAMAGED},
        {"<target>.tmp as a dangling link", "system.arc.tmp", false, "created", false, UPDATE_OK},
        {"<target>.tmp as a link to a read-only file", "Archive/data01.arc.tmp", false, "target", false, UPDATE_OK},
        {"KXQ.hvl.new as a link", "KXQ.hvl.new", false, "target", false, UPDATE_OK},
        {"uninst.lst.new as a link", "uninst.lst.new", false, "target", false, UPDATE_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prepare();
        std::vector<FixtureEntry> payload = shipped_entries(files);
        if (c.damage_second_entry)
            payload[2].data[3] ^= 1;
        f.put_updater(payload);
        if (c.hard_link_to_target)
            ASSERT_EQ(link(f.game("system.arc").c_str(), f.game(c.name).c_str()), 0);
        else
            plant_link(c.name, outside.host(c.to));
        EXPECT_EQ(run(), c.expected);
        expect_outside_untouched();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(f.game(c.name))));
        FolderSnapshot after = f.snapshot();
        EXPECT_EQ(after["system.arc"], c.expected == UPDATE_OK ? NEW_SYSTEM : OLD_SYSTEM);
        if (c.expected == UPDATE_OK) {
            EXPECT_EQ(after["Archive/data01.arc"], NEW_DATA);
            EXPECT_FALSE(is_link(f.game("KXQ.hvl")) || is_link(f.game("uninst.lst")));
            EXPECT_NE(after["uninst.lst"].find("archive\\data01.arc"), std::string::npos);
        }
    }
}

// A target that is a link is replaced by the move; what it points to keeps
// its bytes and its read-only mode. Folders on the way are still followed:
// a player may have moved Archive to another drive behind a link.
TEST_F(PlantedNames, LinkedTargetIsReplacedAndLinkedFoldersAreFollowed)
{
    TempDir moved;
    write_host_file(moved.host("data01.arc"), OLD_DATA);
    std::filesystem::remove_all(f.game("Archive"));
    plant_link("Archive", moved.path());
    std::filesystem::remove(f.game("system.arc"));
    plant_link("system.arc", outside.host("target"));
    write_updater();
    EXPECT_EQ(run(), UPDATE_OK);
    expect_outside_untouched();
    EXPECT_FALSE(is_link(f.game("system.arc")));
    EXPECT_EQ(read_host_file(f.game("system.arc")), NEW_SYSTEM);
    EXPECT_TRUE(is_link(f.game("Archive")));
    EXPECT_EQ(read_host_file(moved.host("data01.arc")), NEW_DATA);
}

// KXQ.hvl and uninst.lst are read only as regular files. A link in their
// place fails as an unreadable list does: KXQ.hvl before anything has
// changed, uninst.lst after the commit, with the file it points to neither
// read into the new list nor touched. (A pipe is refused by the same read:
// the platform layer's tests, and the real updater under Wine.)
TEST_F(PlantedNames, ListsThatAreNotRegularFilesAreRefused)
{
    write_updater();
    TempDir elsewhere;
    write_host_file(elsewhere.host("KXQ.hvl"), read_host_file(f.game("KXQ.hvl")));
    std::filesystem::remove(f.game("KXQ.hvl"));
    plant_link("KXQ.hvl", elsewhere.host("KXQ.hvl"));
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_FAILED);
    EXPECT_EQ(f.snapshot(), before);
    EXPECT_TRUE(is_link(f.game("KXQ.hvl")));

    prepare();
    write_updater();
    write_host_file(outside.host("secret"), "PASSWORD=HUNTER2\n");
    ASSERT_EQ(chmod(outside.host("secret").c_str(), 0600), 0);
    std::filesystem::remove(f.game("uninst.lst"));
    plant_link("uninst.lst", outside.host("secret"));
    EXPECT_EQ(run(), UPDATE_E_UNINST_LIST);
    EXPECT_EQ(read_host_file(f.game("system.arc")), NEW_SYSTEM);
    EXPECT_TRUE(is_link(f.game("uninst.lst")));
    for (const auto& item : f.snapshot())
        EXPECT_EQ(item.second.find("hunter2"), std::string::npos) << item.first;
    EXPECT_EQ(read_host_file(outside.host("secret")), "PASSWORD=HUNTER2\n");
    EXPECT_EQ(mode_of(outside.host("secret")), 0600u);
}

// patchtool verify reads what the updater would: a listed file that is a
// link or a pipe is reported, not followed or waited for.
TEST_F(PlantedNames, VerifyReportsListedFilesThatAreNotRegularFiles)
{
    const std::string patchtool = built_program("tools/patchtool/patchtool");
    EXPECT_EQ(run_tool(patchtool, {"verify", f.dir()}).status, 0);

    write_host_file(outside.host("system.arc"), OLD_SYSTEM);  // the very bytes listed
    std::filesystem::remove(f.game("system.arc"));
    plant_link("system.arc", outside.host("system.arc"));
    std::filesystem::remove(f.game("Archive/data01.arc"));
    ASSERT_EQ(mkfifo(f.game("Archive/data01.arc").c_str(), 0644), 0);
    // A writer keeps the pipe open, so that even reading it as a file ends.
    const int writer = open(f.game("Archive/data01.arc").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ToolRun verify = run_tool(patchtool, {"verify", f.dir()});
    close(writer);
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find("system.arc: unreadable (not a regular file)"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("Archive\\data01.arc: unreadable (not a regular file)"), std::string::npos)
        << verify.out;
    EXPECT_NE(verify.out.find("0 of 2 records match"), std::string::npos) << verify.out;
}

}  // namespace
