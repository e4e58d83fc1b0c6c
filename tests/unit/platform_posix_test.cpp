// The posix platform layer against the Windows behaviour it stands in for:
// path mapping, case-insensitive resolution, Japanese names on disk as UTF-8,
// read-only files, sharing among handles, seek limits, the fault hook, and
// names planted by someone else (links, pipes) taken as the names themselves.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/fault_injection.h"
#include "platform/host_path.h"
#include "platform/host_root.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

// "アップデート" in code page 932 and in UTF-8.
const char KATAKANA_932[] = "\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67";
const char KATAKANA_UTF8[] = "\xE3\x82\xA2\xE3\x83\x83\xE3\x83\x97\xE3\x83\x87\xE3\x83\xBC\xE3\x83\x88";
// "ソ" ends in 0x5C, the byte of "\": it must not split the name.
const char SO_932[] = "\x83\x5C";
const char SO_UTF8[] = "\xE3\x82\xBD";

class PlatformPosix : public ::testing::Test {
protected:
    void SetUp() override { fault_reset(); }
    void TearDown() override { fault_reset(); }
    // A path as the core writes it: the folder, then "\" and the name.
    std::string win(const std::string& name) const { return dir.path() + "\\" + name; }
    bool write_file(const std::string& path, const std::string& bytes)
    {
        OsHandle h = os_create_write(path.c_str());
        if (h == OS_INVALID_HANDLE)
            return false;
        bool ok = os_write(h, bytes.data(), static_cast<uint32_t>(bytes.size())) == bytes.size();
        os_close(h);
        return ok;
    }
    std::string read_file(const std::string& path)
    {
        OsHandle h = os_open_read(path.c_str());
        if (h == OS_INVALID_HANDLE)
            return "<unopenable>";
        char buf[256];
        uint32_t n = os_read(h, buf, sizeof buf);
        os_close(h);
        return std::string(buf, n);
    }
    TempDir dir;
};

TEST_F(PlatformPosix, BackslashSeparatesFoldersAndJapaneseNamesAreStoredAsUtf8)
{
    ASSERT_EQ(mkdir(dir.host("Archive").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(win("Archive\\" + std::string(KATAKANA_932) + ".arc"), "abc"));
    EXPECT_EQ(read_host_file(dir.host(std::string("Archive/") + KATAKANA_UTF8 + ".arc")), "abc");

    ASSERT_TRUE(write_file(win(std::string(SO_932) + "x.txt"), "so"));
    EXPECT_TRUE(host_file_exists(dir.host(std::string(SO_UTF8) + "x.txt")));
    EXPECT_EQ(read_file(win(std::string(SO_932) + "x.txt")), "so");
}

TEST_F(PlatformPosix, ExistingComponentsMatchWithoutRegardToCase)
{
    ASSERT_EQ(mkdir(dir.host("Archive").c_str(), 0755), 0);
    write_host_file(dir.host("Archive/Data01300.ARC"), "old");
    EXPECT_EQ(read_file(win("ARCHIVE\\data01300.arc")), "old");
    EXPECT_EQ(os_get_attributes(win("archive").c_str()), OS_ATTRIBUTE_DIRECTORY);

    // Rewriting through another spelling replaces the existing file, as one
    // Windows folder would, instead of creating a second one beside it.
    ASSERT_TRUE(write_file(win("archive\\DATA01300.arc"), "new"));
    EXPECT_EQ(read_host_file(dir.host("Archive/Data01300.ARC")), "new");
    EXPECT_FALSE(host_file_exists(dir.host("archive")));

    // A missing last component is created under the name given.
    ASSERT_TRUE(write_file(win("ARCHIVE\\Fresh.Bin"), "x"));
    EXPECT_TRUE(host_file_exists(dir.host("Archive/Fresh.Bin")));
}

TEST_F(PlatformPosix, FullWidthAndGreekLettersFoldLikeWindows)
{
    // Full-width "Ａ" (0x82 0x60) and "ａ" (0x82 0x81); Greek "Σ" (0x83 0xB0) and "σ" (0xCF 0x83 in UTF-8).
    write_host_file(dir.host("\xEF\xBD\x81\xCF\x83.txt"), "folded");
    EXPECT_EQ(read_file(win("\x82\x60\x83\xB0.TXT")), "folded");
    std::string host;
    ASSERT_TRUE(host_path(win("\x82\x60\x83\xB0.TXT").c_str(), &host));
    EXPECT_EQ(host, dir.host("\xEF\xBD\x81\xCF\x83.txt"));
}

TEST_F(PlatformPosix, ExactNameWinsOverCaseInsensitiveOnes)
{
    write_host_file(dir.host("file.txt"), "lower");
    write_host_file(dir.host("FILE.txt"), "upper");
    EXPECT_EQ(read_file(win("FILE.txt")), "upper");
    EXPECT_EQ(read_file(win("file.txt")), "lower");
    EXPECT_EQ(read_file(win("File.TXT")), "upper");  // first in byte order
}

TEST_F(PlatformPosix, PathsOfMaxPathOrMoreAreRefused)
{
    std::string name(OS_PATH_SIZE, 'a');
    const std::string too_long = win(name).substr(0, OS_PATH_SIZE);
    EXPECT_EQ(os_create_write(too_long.c_str()), OS_INVALID_HANDLE);
    EXPECT_EQ(os_get_attributes(""), OS_INVALID_ATTRIBUTES);
}

TEST_F(PlatformPosix, NamesWindowsRefusesOrOpensAsDevicesAreNoFile)
{
    ASSERT_TRUE(write_file(win("incoming.tmp"), "new"));
    for (const char* name : {"a<b", "a>b", "a\"b", "a|b", "a?b", "a*b", "a:b", "a\x01" "b", "a\x1f" "b",
                             "NUL", "nul.txt", "NUL .arc", "COM1", "lpt9.x"}) {
        SCOPED_TRACE(name);
        // Even a file of that name put there by other means is not reached.
        write_host_file(dir.host(name), "planted");
        EXPECT_EQ(os_create_write(win(name).c_str()), OS_INVALID_HANDLE);
        EXPECT_EQ(os_open_read(win(name).c_str()), OS_INVALID_HANDLE);
        EXPECT_EQ(os_get_attributes(win(name).c_str()), OS_INVALID_ATTRIBUTES);
        EXPECT_FALSE(os_move_replace(win("incoming.tmp").c_str(), win(name).c_str()));
        EXPECT_FALSE(os_delete_file(win(name).c_str()));
        EXPECT_EQ(read_host_file(dir.host(name)), "planted");
    }
    // A trail byte "|" (ポ) is part of its character; a folder named like a
    // device on the way is looked up like any other, as CreateFileA does.
    EXPECT_TRUE(write_file(win("\x83\x7c.arc"), "po"));
    ASSERT_EQ(mkdir(dir.host("aux").c_str(), 0755), 0);
    EXPECT_TRUE(write_file(win("aux\\x.arc"), "x"));
}

TEST_F(PlatformPosix, TrailingDotsAndSpacesAreDroppedAsWindowsDropsThem)
{
    ASSERT_EQ(mkdir(dir.host("sub").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(win("t1. ."), "1"));
    EXPECT_EQ(read_host_file(dir.host("t1")), "1");
    EXPECT_EQ(read_file(win("T1 ")), "1");
    // A folder on the way loses one trailing dot, and no space.
    ASSERT_TRUE(write_file(win("sub.\\y"), "y"));
    EXPECT_EQ(read_host_file(dir.host("sub/y")), "y");
    EXPECT_EQ(os_create_write(win("sub \\z").c_str()), OS_INVALID_HANDLE);
    EXPECT_EQ(os_create_write(win("sub..\\z").c_str()), OS_INVALID_HANDLE);
    // Nor does a folder of dots only become "..", which CreateFileA refuses outright.
    EXPECT_EQ(os_create_write(win("sub\\...\\z").c_str()), OS_INVALID_HANDLE);
    EXPECT_FALSE(host_file_exists(dir.host("z")));
}

TEST_F(PlatformPosix, ReadOnlyFilesRefuseCreateMoveAndDelete)
{
    ASSERT_TRUE(write_file(win("locked.dat"), "keep"));
    ASSERT_TRUE(write_file(win("incoming.tmp"), "new"));
    ASSERT_TRUE(os_set_readonly(win("locked.dat").c_str()));
    EXPECT_EQ(os_get_attributes(win("locked.dat").c_str()), OS_ATTRIBUTE_ARCHIVE | OS_ATTRIBUTE_READONLY);

    EXPECT_EQ(os_create_write(win("locked.dat").c_str()), OS_INVALID_HANDLE);
    EXPECT_FALSE(os_move_replace(win("incoming.tmp").c_str(), win("locked.dat").c_str()));
    EXPECT_FALSE(os_delete_file(win("locked.dat").c_str()));
    EXPECT_EQ(read_host_file(dir.host("locked.dat")), "keep");
    EXPECT_TRUE(host_file_exists(dir.host("incoming.tmp")));

    ASSERT_TRUE(os_set_normal_attributes(win("LOCKED.DAT").c_str()));
    EXPECT_EQ(os_get_attributes(win("locked.dat").c_str()), OS_ATTRIBUTE_ARCHIVE);
    EXPECT_TRUE(os_move_replace(win("incoming.tmp").c_str(), win("locked.dat").c_str()));
    EXPECT_EQ(read_host_file(dir.host("locked.dat")), "new");
    EXPECT_FALSE(host_file_exists(dir.host("incoming.tmp")));
}

TEST_F(PlatformPosix, ReadOnlySourceMovesAndMissingFilesFail)
{
    ASSERT_TRUE(write_file(win("a.tmp"), "a"));
    ASSERT_TRUE(os_set_readonly(win("a.tmp").c_str()));
    EXPECT_TRUE(os_move_replace(win("a.tmp").c_str(), win("a").c_str()));
    EXPECT_EQ(os_get_attributes(win("a").c_str()), OS_ATTRIBUTE_ARCHIVE | OS_ATTRIBUTE_READONLY);
    EXPECT_FALSE(os_move_replace(win("missing").c_str(), win("b").c_str()));
    EXPECT_FALSE(os_delete_file(win("missing").c_str()));
    EXPECT_FALSE(os_set_normal_attributes(win("missing").c_str()));
    EXPECT_EQ(os_get_attributes(win("missing").c_str()), OS_INVALID_ATTRIBUTES);
    EXPECT_EQ(os_open_read(win("missing").c_str()), OS_INVALID_HANDLE);
}

// OPEN_EXISTING for writing keeps the bytes (a staged file is reopened only
// to be flushed) and is refused where CREATE_ALWAYS would be, and on no file.
TEST_F(PlatformPosix, OpenForWritingKeepsAnExistingFileWhole)
{
    ASSERT_TRUE(write_file(win("staged.tmp"), "staged bytes"));
    OsHandle h = os_open_write(win("STAGED.TMP").c_str());
    ASSERT_NE(h, OS_INVALID_HANDLE);
    EXPECT_EQ(os_open_read(win("staged.tmp").c_str()), OS_INVALID_HANDLE);  // held exclusively
    EXPECT_TRUE(os_flush(h));
    os_close(h);
    EXPECT_EQ(read_host_file(dir.host("staged.tmp")), "staged bytes");

    EXPECT_EQ(os_open_write(win("missing.tmp").c_str()), OS_INVALID_HANDLE);
    EXPECT_FALSE(host_file_exists(dir.host("missing.tmp")));
    ASSERT_TRUE(os_set_readonly(win("staged.tmp").c_str()));
    EXPECT_EQ(os_open_write(win("staged.tmp").c_str()), OS_INVALID_HANDLE);
    ASSERT_EQ(mkdir(dir.host("sub").c_str(), 0755), 0);
    EXPECT_EQ(os_open_write(win("sub").c_str()), OS_INVALID_HANDLE);
    OsHandle reader = os_open_read(win("staged.tmp").c_str());
    ASSERT_TRUE(os_set_normal_attributes(win("staged.tmp").c_str()));
    EXPECT_EQ(os_open_write(win("staged.tmp").c_str()), OS_INVALID_HANDLE);  // another handle holds it
    os_close(reader);
}

TEST_F(PlatformPosix, FoldersAreNeitherOpenedReplacedNorDeleted)
{
    ASSERT_EQ(mkdir(dir.host("sub").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(win("f"), "f"));
    EXPECT_EQ(os_open_read(win("sub").c_str()), OS_INVALID_HANDLE);
    EXPECT_EQ(os_create_write(win("sub").c_str()), OS_INVALID_HANDLE);
    EXPECT_FALSE(os_move_replace(win("f").c_str(), win("sub").c_str()));
    EXPECT_FALSE(os_delete_file(win("sub").c_str()));
    EXPECT_TRUE(host_file_exists(dir.host("f")));
}

TEST_F(PlatformPosix, MoveChangesCaseOfTheSameFile)
{
    ASSERT_TRUE(write_file(win("readme.txt"), "r"));
    ASSERT_TRUE(os_move_replace(win("readme.txt").c_str(), win("README.TXT").c_str()));
    EXPECT_TRUE(host_file_exists(dir.host("README.TXT")));
    EXPECT_FALSE(host_file_exists(dir.host("readme.txt")));
    // The new name is taken after conversion: the trail byte 0x5C of "ソ" is no separator.
    ASSERT_TRUE(write_file(win(std::string("a") + SO_932), "so"));
    ASSERT_TRUE(os_move_replace(win(std::string("a") + SO_932).c_str(), win(std::string("A") + SO_932).c_str()));
    EXPECT_EQ(read_host_file(dir.host(std::string("A") + SO_UTF8)), "so");
}

TEST_F(PlatformPosix, SharingRulesHoldAmongHandles)
{
    ASSERT_TRUE(write_file(win("s"), "shared"));
    OsHandle reader = os_open_read(win("s").c_str());
    ASSERT_NE(reader, OS_INVALID_HANDLE);
    OsHandle second = os_open_read(win("S").c_str());
    EXPECT_NE(second, OS_INVALID_HANDLE);  // FILE_SHARE_READ admits readers
    EXPECT_EQ(os_create_write(win("s").c_str()), OS_INVALID_HANDLE);
    EXPECT_FALSE(os_delete_file(win("s").c_str()));
    EXPECT_FALSE(os_move_replace(win("s").c_str(), win("t").c_str()));
    os_close(second);
    os_close(reader);

    OsHandle writer = os_create_write(win("s").c_str());
    ASSERT_NE(writer, OS_INVALID_HANDLE);
    EXPECT_EQ(os_open_read(win("s").c_str()), OS_INVALID_HANDLE);
    os_close(writer);
    EXPECT_TRUE(os_delete_file(win("s").c_str()));
}

TEST_F(PlatformPosix, SeekSizeAndAccessFollowTheHandle)
{
    ASSERT_TRUE(write_file(win("n"), "0123456789"));
    OsHandle h = os_open_read(win("n").c_str());
    ASSERT_NE(h, OS_INVALID_HANDLE);
    EXPECT_EQ(os_size(h), 10u);
    EXPECT_EQ(os_seek(h, 4), 4u);
    char buf[8] = {0};
    EXPECT_EQ(os_read(h, buf, 8), 6u);
    EXPECT_EQ(std::string(buf, 6), "456789");
    EXPECT_EQ(os_seek(h, 1000), 1000u);  // past the end is allowed
    EXPECT_EQ(os_read(h, buf, 8), 0u);
    EXPECT_EQ(os_seek(h, 0x7FFFFFFFu), 0x7FFFFFFFu);
    EXPECT_EQ(os_seek(h, 0x80000000u), OS_INVALID_POSITION);
    EXPECT_EQ(os_seek(h, 0xFFFFFFFEu), OS_INVALID_POSITION);
    EXPECT_EQ(os_write(h, "x", 1), 0u);  // opened for reading only
    EXPECT_FALSE(os_flush(h));
    os_close(h);

    EXPECT_EQ(os_size(h), OS_INVALID_FILE_SIZE);  // closed: refused, not dereferenced
    EXPECT_EQ(os_read(h, buf, 1), 0u);
    EXPECT_EQ(os_seek(OS_INVALID_HANDLE, 0), OS_INVALID_POSITION);
    os_close(h);
}

TEST_F(PlatformPosix, OwnPathIsThisProgramInCodePage932)
{
    char path[OS_PATH_SIZE];
    uint32_t n = os_own_path(path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::string(path).size(), n);
    EXPECT_NE(std::string(path).find("platform_posix_test"), std::string::npos);
    OsHandle h = os_open_read(path);
    EXPECT_NE(h, OS_INVALID_HANDLE);
    os_close(h);
    EXPECT_EQ(os_own_path(path, n), 0u);  // no room for the terminator: no truncated path
}

TEST_F(PlatformPosix, HiddenAndSystemLiveInTheExtendedAttributeWineReads)
{
    ASSERT_TRUE(write_file(win("list"), "x"));
    const uint32_t hidden_system = OS_ATTRIBUTE_HIDDEN | OS_ATTRIBUTE_SYSTEM;
    if (!os_set_attributes(win("list").c_str(), hidden_system | OS_ATTRIBUTE_READONLY))
        GTEST_SKIP() << "this file system keeps no extended attributes";
    char text[16] = {};
    ASSERT_EQ(getxattr(dir.host("list").c_str(), "user.DOSATTRIB", text, sizeof text - 1), 3);
    EXPECT_STREQ(text, "0x6");
    EXPECT_EQ(os_get_attributes(win("list").c_str()), OS_ATTRIBUTE_ARCHIVE | hidden_system | OS_ATTRIBUTE_READONLY);
    ASSERT_TRUE(os_set_attributes(win("list").c_str(), OS_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(os_get_attributes(win("list").c_str()), OS_ATTRIBUTE_ARCHIVE | OS_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(os_set_normal_attributes(win("list").c_str()));
    EXPECT_EQ(os_get_attributes(win("list").c_str()), OS_ATTRIBUTE_ARCHIVE);
    EXPECT_LT(getxattr(dir.host("list").c_str(), "user.DOSATTRIB", text, sizeof text), 0);
}

// A link to a folder is a folder, as on Windows: nothing is moved onto it.
// (A link to a file is replaced as the link itself: the planted-name tests.)
TEST_F(PlatformPosix, NothingIsMovedOntoALinkToAFolder)
{
    TempDir outside;
    ASSERT_EQ(symlink(outside.path().c_str(), dir.host("folder_link").c_str()), 0);
    ASSERT_TRUE(write_file(win("staged.tmp"), "new"));
    EXPECT_FALSE(os_move_replace(win("staged.tmp").c_str(), win("folder_link").c_str()));
    EXPECT_NE(os_get_attributes(win("folder_link").c_str()) & OS_ATTRIBUTE_DIRECTORY, 0u);
}

// CREATE_NEW fails on every name that exists in any form, a dangling link
// included, and follows none: nothing appears or changes where a link points.
TEST_F(PlatformPosix, CreateNewTakesNoNameThatExists)
{
    TempDir outside;
    write_host_file(outside.host("kept"), "outside");
    write_host_file(dir.host("Existing.TMP"), "mine");
    ASSERT_EQ(symlink(outside.host("absent").c_str(), dir.host("dangling").c_str()), 0);
    ASSERT_EQ(symlink(outside.host("kept").c_str(), dir.host("to_file").c_str()), 0);
    ASSERT_EQ(link(outside.host("kept").c_str(), dir.host("hard").c_str()), 0);
    for (const char* name : {"existing.tmp", "dangling", "to_file", "hard"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(os_create_new(win(name).c_str()), OS_INVALID_HANDLE);
    }
    EXPECT_FALSE(host_file_exists(outside.host("absent")));
    EXPECT_EQ(read_host_file(outside.host("kept")), "outside");
    EXPECT_EQ(read_host_file(dir.host("Existing.TMP")), "mine");
}

// Lists and verified files are read only as regular files: a link, a pipe, a
// folder or a device fails at once, never waiting for a writer. Folders on
// the way are followed, links included. Reopening a staged file for its flush
// is refused the same way.
TEST_F(PlatformPosix, RegularReadRefusesLinksPipesAndFoldersWithoutWaiting)
{
    TempDir moved;
    write_host_file(dir.host("plain"), "plain");
    write_host_file(moved.host("data.arc"), "moved data");
    ASSERT_EQ(symlink(moved.path().c_str(), dir.host("Archive").c_str()), 0);
    ASSERT_EQ(symlink(dir.host("plain").c_str(), dir.host("link").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.host("device").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.host("pipe").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(dir.host("sub").c_str(), 0755), 0);

    OsHandle h = os_open_read_regular(win("archive\\DATA.arc").c_str());
    ASSERT_NE(h, OS_INVALID_HANDLE);
    char buf[16];
    EXPECT_EQ(os_read(h, buf, sizeof buf), 10u);
    os_close(h);
    for (const char* name : {"link", "device", "pipe", "sub", "missing"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(os_open_read_regular(win(name).c_str()), OS_INVALID_HANDLE);
    }
    EXPECT_EQ(os_open_write(win("pipe").c_str()), OS_INVALID_HANDLE);
    EXPECT_EQ(os_open_write(win("link").c_str()), OS_INVALID_HANDLE);
}

// A registered host folder is used as Linux spells it, however deep; only
// the path inside it follows the rules, and the 260 bytes count the marker
// and that path.
TEST_F(PlatformPosix, HostFolderIsSpelledAsGivenAndOnlyThePathInsideFollowsTheRules)
{
    const std::string host = dir.host(std::string(250, 'd') + "/ci:2024 ?|\" 1.02.");
    std::string seam;
    ASSERT_TRUE(std::filesystem::create_directories(host) && os_host_root(host, &seam));
    write_host_file(host + "/Data.arc", "d");
    const std::pair<std::string, std::string> cases[] = {
        {seam, host},
        {seam + ".tmp", host + ".tmp"},
        {seam + "\\data.arc.", host + "/Data.arc"},
        {seam + "\\" + std::string(254, 'x'), host + "/" + std::string(254, 'x')},
        {seam + "\\" + std::string(255, 'x'), "<none>"},
        {seam + "\\a:b", "<none>"},
        {"\x01" "999\\data.arc", "<none>"},  // no folder registered under it
    };
    for (const auto& c : cases) {
        std::string resolved;
        EXPECT_EQ(host_path(c.first.c_str(), &resolved) ? resolved : "<none>", c.second) << c.first;
    }
}

// The case-insensitive lookup reads each folder once and keeps what it read
// only while the folder is unchanged: the layer's own creates, moves and
// deletes, and anyone else's changes, all show in the next lookup.
TEST_F(PlatformPosix, CaseInsensitiveLookupFollowsEveryChangeOfTheFolder)
{
    auto resolved = [&](const std::string& name) {
        std::string host;
        return host_path(win(name).c_str(), &host) ? host.substr(dir.path().size() + 1) : std::string("<none>");
    };
    write_host_file(dir.host("Data.ARC"), "d");
    // A folder last changed long ago: what is read of it now can be kept.
    const struct timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.path().c_str(), long_ago, 0), 0);
    EXPECT_EQ(resolved("data.arc"), "Data.ARC");

    // The layer's own changes show even where the folder's time would not
    // (it is set back after each one here).
    auto set_back = [&] { ASSERT_EQ(utimensat(AT_FDCWD, dir.path().c_str(), long_ago, 0), 0); };
    ASSERT_TRUE(write_file(win("NEW.bin"), "n"));
    set_back();
    EXPECT_EQ(resolved("new.BIN"), "NEW.bin");
    ASSERT_TRUE(os_move_replace(win("new.bin").c_str(), win("Moved.bin").c_str()));
    set_back();
    EXPECT_EQ(resolved("new.bin"), "new.bin");
    EXPECT_EQ(resolved("MOVED.BIN"), "Moved.bin");
    ASSERT_TRUE(os_delete_file(win("moved.bin").c_str()));
    set_back();
    EXPECT_EQ(resolved("moved.bin"), "moved.bin");
    OsHandle h = os_create_new(win("Fresh.bin").c_str());
    os_close(h);
    set_back();
    EXPECT_EQ(resolved("FRESH.BIN"), "Fresh.bin");

    ASSERT_EQ(utimensat(AT_FDCWD, dir.path().c_str(), long_ago, 0), 0);
    EXPECT_EQ(resolved("other.txt"), "other.txt");
    write_host_file(dir.host("OTHER.txt"), "written by someone else");
    EXPECT_EQ(resolved("other.txt"), "OTHER.txt");
    ASSERT_EQ(unlink(dir.host("Data.ARC").c_str()), 0);
    EXPECT_EQ(resolved("DATA.arc"), "DATA.arc");
}

TEST_F(PlatformPosix, FaultHookFailsTheArmedOperationOnce)
{
    ASSERT_TRUE(write_file(win("w"), "abc"));
    EXPECT_EQ(fault_count(FAULT_CREATE_WRITE), 1u);
    EXPECT_EQ(fault_count(FAULT_WRITE), 1u);
    EXPECT_EQ(fault_count(FAULT_ANY), 2u);

    fault_arm(FAULT_WRITE, 2, FAULT_FAIL);
    OsHandle h = os_create_write(win("w").c_str());
    ASSERT_NE(h, OS_INVALID_HANDLE);
    EXPECT_EQ(os_write(h, "ab", 2), 2u);
    EXPECT_FALSE(fault_fired());
    EXPECT_EQ(os_write(h, "cd", 2), 0u);
    EXPECT_TRUE(fault_fired());
    EXPECT_EQ(os_write(h, "ef", 2), 2u);  // once only
    os_close(h);
    EXPECT_EQ(read_host_file(dir.host("w")), "abef");
}

TEST_F(PlatformPosix, FaultHookShortensTransfersAndCanStayFailing)
{
    fault_arm(FAULT_WRITE, 1, FAULT_SHORT);
    OsHandle h = os_create_write(win("s").c_str());
    ASSERT_NE(h, OS_INVALID_HANDLE);
    EXPECT_EQ(os_write(h, "abcdef", 6), 3u);
    os_close(h);
    EXPECT_EQ(read_host_file(dir.host("s")), "abc");

    fault_arm(FAULT_READ, 1, FAULT_SHORT);
    h = os_open_read(win("s").c_str());
    char buf[4];
    EXPECT_EQ(os_read(h, buf, 4), 2u);
    os_close(h);

    fault_arm(FAULT_ANY, 2, FAULT_FAIL_FROM_THEN_ON);
    EXPECT_NE(os_get_attributes(win("s").c_str()), OS_INVALID_ATTRIBUTES);
    EXPECT_FALSE(os_delete_file(win("s").c_str()));
    EXPECT_FALSE(os_set_normal_attributes(win("s").c_str()));
    EXPECT_EQ(os_open_read(win("s").c_str()), OS_INVALID_HANDLE);
    fault_disarm();
    EXPECT_TRUE(os_delete_file(win("s").c_str()));
}

TEST_F(PlatformPosix, FaultHookReachesMovesAndFlushes)
{
    ASSERT_TRUE(write_file(win("a"), "a"));
    fault_arm(FAULT_MOVE, 1, FAULT_FAIL);
    EXPECT_FALSE(os_move_replace(win("a").c_str(), win("b").c_str()));
    EXPECT_TRUE(os_move_replace(win("a").c_str(), win("b").c_str()));
    fault_arm(FAULT_FLUSH, 1, FAULT_FAIL);
    OsHandle h = os_create_write(win("c").c_str());
    EXPECT_FALSE(os_flush(h));
    EXPECT_TRUE(os_flush(h));
    os_close(h);
}

TEST_F(PlatformPosix, FreeSpaceIsAskedOfTheFolderAsWindowsNamesIt)
{
    ASSERT_EQ(mkdir(dir.host("Archive").c_str(), 0755), 0);
    write_host_file(dir.host("Archive/a.arc"), "a");
    uint64_t free_bytes = 0;
    ASSERT_TRUE(os_free_space(win("ARCHIVE").c_str(), &free_bytes));
    EXPECT_GT(free_bytes, 0u);
    EXPECT_FALSE(os_free_space(win("missing").c_str(), &free_bytes));
    EXPECT_FALSE(os_free_space(win("Archive\\a.arc").c_str(), &free_bytes));
}

}  // namespace
