// How the transaction chooses where each entry goes: shipped paths, letter
// case, Japanese names, leftovers, and payloads that would write outside the
// installation folder or onto one file twice.
#include <filesystem>

#include "path_rules/path_safety.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/install_fixture.h"

namespace {

typedef std::vector<std::string> Paths;

class UpdateNames : public TransactionFixture {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        f.put("Archive/data01.arc", "old");
        f.install({{"ARCHIVE\\Data01.arc", checksum_of("old")}});
    }
};

TEST_F(UpdateNames, CapitalsInEntryNamesFindTheShippedPathAndKeepTheInstalledOne)
{
    f.put_updater(shipped_entries({{"DATA01.ARC", "Archive\\data01.arc", "new"}}));
    ASSERT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(after["Archive/data01.arc"], "new");
    EXPECT_EQ(after["KXQ.hvl"], hash_list_file(2, {{"ARCHIVE\\Data01.arc", checksum_of("new")}}));
}

TEST_F(UpdateNames, TwoShippedRecordsWithOneFileNameUseTheFirst)
{
    f.put("Other/data01.arc", "other");
    std::vector<FixtureEntry> entries = {
        {"KXQ.hvl", hash_list_file(2, {{"Archive\\data01.arc", checksum_of("new")},
                                       {"Other\\data01.arc", checksum_of("never")}})},
        {"data01.arc", "new"}};
    f.put_updater(entries);
    ASSERT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(after["Archive/data01.arc"], "new");
    EXPECT_EQ(after["Other/data01.arc"], "other");
}

TEST_F(UpdateNames, UnlistedEntryInstallsUnderItsOwnNameUnverifiedAndUnrecorded)
{
    f.put_updater(shipped_entries({{"data01.arc", "Archive\\data01.arc", "new"}, {"readme.txt", "", "hello"}}));
    ASSERT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(after["readme.txt"], "hello");
    EXPECT_EQ(after["KXQ.hvl"], hash_list_file(2, {{"ARCHIVE\\Data01.arc", checksum_of("new")}}));
    EXPECT_EQ(after["uninst.lst"], std::string("game.exe\nkxq.hvl\narchive\\data01.arc\nreadme.txt\n") + '\0');
}

TEST_F(UpdateNames, WithoutAShippedListNothingIsVerifiedOrRecorded)
{
    f.put_updater({{"data01.arc", "unchecked"}});
    ASSERT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(after["data01.arc"], "unchecked");
    EXPECT_EQ(after["Archive/data01.arc"], "old");
    EXPECT_EQ(after["KXQ.hvl"], hash_list_file(2, {{"ARCHIVE\\Data01.arc", checksum_of("old")}}));
}

TEST_F(UpdateNames, HashListEntryIsNeverCopiedButReachesTheUninstallList)
{
    std::vector<FixtureEntry> entries = shipped_entries({{"data01.arc", "Archive\\data01.arc", "new"}});
    entries[0].name = "kxq.HVL";
    f.put_updater(entries);
    ASSERT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_NE(after["KXQ.hvl"], entries[0].data);
    EXPECT_EQ(after.count("kxq.HVL.tmp") + after.count("KXQ.hvl.tmp"), 0u);
    EXPECT_EQ(after["uninst.lst"], std::string("game.exe\nkxq.hvl\narchive\\data01.arc\n") + '\0');
}

TEST_F(UpdateNames, JapaneseNamesAreStoredAsUtf8OnDisk)
{
    // 表 is 0x95 0x5C: its trail byte is a backslash and must not split the name.
    const std::string sjis = "\x95\x5c\x8e\xa6.arc";
    f.put("\xe8\xa1\xa8\xe7\xa4\xba.arc", "old");
    f.put_updater(shipped_entries({{sjis, sjis, "new"}}));
    ASSERT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(after["\xe8\xa1\xa8\xe7\xa4\xba.arc"], "new");
}

TEST_F(UpdateNames, ReadOnlyLeftoverTemporaryFileIsOverwritten)
{
    f.put("Archive/data01.arc.tmp", "leftover");
    ASSERT_TRUE(os_set_readonly((f.dir() + "\\Archive\\data01.arc.tmp").c_str()));
    f.put_updater(shipped_entries({{"data01.arc", "Archive\\data01.arc", "new"}}));
    ASSERT_EQ(run(), UPDATE_OK);
    FolderSnapshot after = f.snapshot();
    EXPECT_EQ(after["Archive/data01.arc"], "new");
    EXPECT_EQ(after.count("Archive/data01.arc.tmp"), 0u);
}

TEST_F(UpdateNames, LeftoverOfAnEntryNeverReachedStays)
{
    f.put("b.arc.tmp", "leftover");
    std::vector<FixtureEntry> entries = shipped_entries({{"a.arc", "a.arc", "a"}, {"b.arc", "b.arc", "b"}});
    entries[1].data = "A";  // a.arc is damaged: b.arc is never reached
    f.put_updater(entries);
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_DAMAGED);
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(UpdateNames, PathTooLongForTheTemporaryFileFailsWithoutWriting)
{
    // The longest path a record holds (247 bytes) under a file name the index holds.
    const std::string name(95, 'n');
    std::string path;
    while (path.size() + name.size() < 247)
        path += "d\\";
    path = path.substr(0, 247 - name.size()) + name;
    ASSERT_EQ(path.size(), 247u);
    f.put_updater(shipped_entries({{name, path, "x"}}));
    FolderSnapshot before = f.snapshot();
    EXPECT_EQ(run(), UPDATE_E_FAILED);
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(UpdateNames, PathsLeavingTheFolderAreDamageAndCreateNothing)
{
    struct Case {
        const char* path;
        const char* name;   // the file name that finds it in the shipped list
    };
    const Case cases[] = {
        {"..\\evil.arc", "evil.arc"}, {"../evil.arc", "evil.arc"}, {"Archive\\..\\..\\evil.arc", "evil.arc"},
        {"\\evil.arc", "evil.arc"}, {"/evil.arc", "evil.arc"}, {"\\\\server\\share\\evil.arc", "evil.arc"},
        {"C:\\evil.arc", "evil.arc"}, {"C:evil.arc", "evil.arc"}, {"evil.arc:stream", "evil.arc:stream"},
        {"..", ".."}, {"Archive\\.. \\..\\evil.arc", "evil.arc"}, {"Archive\\...\\evil.arc", "evil.arc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        reset_stop_flags();
        // As a shipped path, and as the name of an entry the shipped list does not know.
        const std::vector<FixtureEntry> variants[] = {
            shipped_entries({{"a.arc", "a.arc", "a"}, {c.name, c.path, "evil"}}),
            {{"a.arc", "a"}, {c.path, "evil"}},
        };
        for (const std::vector<FixtureEntry>& entries : variants) {
            f.put_updater(entries);
            FolderSnapshot before = snapshot_folder(f.temp.path());
            EXPECT_EQ(run(), UPDATE_E_DAMAGED);
            EXPECT_EQ(changed_files(before, snapshot_folder(f.temp.path())), Paths{});
        }
    }
}

// Two entries on one file, an entry on a list's sibling (rewritten after the
// commit) or on a name Windows refuses: damage, before anything is created.
TEST_F(UpdateNames, TargetsTheRulesRefuseAreDamageAndCreateNothing)
{
    struct Case {
        const char* what;
        std::vector<FixtureEntry> entries;
    };
    std::vector<Case> cases = {
        {"same name in other letters", {{"a.arc", "1"}, {"A.ARC", "2"}}},
        {"a target that is an earlier temporary file", {{"a.arc", "1"}, {"a.arc.tmp", "2"}}},
        {"a temporary file that is an earlier target", {{"a.arc.tmp", "1"}, {"a.arc", "2"}}},
        {"one shipped path for two entries",
         shipped_entries({{"data01.arc", "Archive\\data01.arc", "1"}, {"DATA01.arc", "Archive\\data01.arc", "1"}})},
        {"the two separators", {{"KXQ.hvl", hash_list_file(2, {{"Archive/data01.arc", checksum_of("1")},
                                                               {"Archive\\x.arc", checksum_of("2")}})},
                                {"data01.arc", "1"}, {"x.arc", "2"}, {"Archive\\data01.arc", "3"}}},
        // Windows drops trailing dots and spaces and "." components, and
        // compares the characters, not their codes.
        {"a trailing dot", {{"a.arc", "1"}, {"a.arc.", "2"}}},
        {"a '.' component in a temporary file",
         {{"KXQ.hvl", hash_list_file(2, {{"Archive\\data01.arc", checksum_of("1")},
                                          {"Archive\\.\\data01.arc.tmp", checksum_of("2")}})},
          {"data01.arc", "1"}, {"data01.arc.tmp", "2"}}},
        {"a doubled separator", {{"KXQ.hvl", hash_list_file(2, {{"Archive\\x.arc", checksum_of("1")}})},
                                 {"x.arc", "1"}, {"Archive\\\\x.arc", "2"}}},
        {"two codes of one character", {{"\x81\xe6.arc", "1"}, {"\x87\x9a.arc", "2"}}},
        {"full-width letters in two cases", {{"\x82\x60.arc", "1"}, {"\x82\x81.arc", "2"}}},
    };
    for (const char* name : {"KXQ.hvl.new", "UNINST.LST.new", "KXQ.hvl.", "NUL.arc", "com1", "a|b.arc", "a\x1b.arc"})
        cases.push_back({name, {{"a.arc", "a"}, {name, "entry"}}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_stop_flags();
        f.put_updater(c.entries);
        FolderSnapshot before = f.snapshot();
        fault_reset();
        EXPECT_EQ(run(), UPDATE_E_DAMAGED);
        EXPECT_EQ(changed_files(before, f.snapshot()), Paths{});
        EXPECT_EQ(fault_count(FAULT_CREATE_WRITE), 0u) << "refused before anything is created";
    }
}

TEST_F(UpdateNames, RepeatedHashListEntriesDoNotCountAsOneTarget)
{
    std::vector<FixtureEntry> entries = shipped_entries({{"data01.arc", "Archive\\data01.arc", "new"}});
    entries.push_back(entries[0]);
    f.put_updater(entries);
    EXPECT_EQ(run(), UPDATE_OK);
    EXPECT_EQ(f.snapshot()["Archive/data01.arc"], "new");
}

TEST(PathSafety, SeparatorsDriveAndParentComponents)
{
    struct Case {
        const char* path;
        bool escapes;
    };
    const Case cases[] = {
        {"system.arc", false},
        {"Archive\\data01.arc", false},
        {"Archive/data01.arc", false},
        {"a..b\\..c\\d..", false},
        {".\\system.arc", false},
        {"", false},
        {"\x95\x5c..\\x.arc", false},  // 表.. : the 0x5C is a trail byte
        {"\x83\x5c\\x.arc", false},     // ソ then a real separator
        {"..", true},
        {"..\\x", true},
        {"a\\..", true},
        {"a/../../x", true},
        {"\\x", true},
        {"/x", true},
        {"c:x", true},
        {"x:", true},
        {"a\\. .\\x", true},
        {"a\\....\\x", true},
        {"\x95\x5c\\..\\x", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(path_escapes_folder(c.path), c.escapes) << c.path;
}

TEST(PathSafety, SlashesBecomeBackslashesButTrailBytesStay)
{
    char out[16];
    ASSERT_TRUE(path_with_backslashes(out, sizeof out, "a/b\\c/\x95\x5c/"));
    EXPECT_STREQ(out, "a\\b\\c\\\x95\x5c\\");
    EXPECT_FALSE(path_with_backslashes(out, 4, "abcd"));
    EXPECT_STREQ(out, "");
    EXPECT_TRUE(path_with_backslashes(out, 5, "abcd"));
}

}  // namespace
