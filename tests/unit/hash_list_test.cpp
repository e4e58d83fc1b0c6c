#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "hash_list/hash_list.h"
#include "hash_list/name_compare.h"
#include "payload/payload.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "result/update_result.h"
#include "support/payload_bytes.h"
#include "support/temp_dir.h"
#include "update/shipped_list.h"

namespace {

const std::string SUM_A("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
const std::string SUM_B("\x11\x12\x13\x14\x15\x16\x17\x18", 8);
const std::string SUM_C("\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8", 8);

std::string path_of(const HashRecord& r)
{
    return std::string(r.path, strnlen(r.path, sizeof r.path));
}
std::string sum_of(const HashRecord& r)
{
    return std::string(reinterpret_cast<const char*>(r.checksum), 8);
}
const uint8_t* raw(const std::string& s)
{
    return reinterpret_cast<const uint8_t*>(s.data());
}

class HashListTest : public ::testing::Test {
protected:
    void TearDown() override { fault_reset(); }
    std::string list_file() const { return dir.host("KXQ.hvl"); }
    void install(const std::string& bytes) { write_host_file(list_file(), bytes); }
    bool load() { return load_installed(dir.path().c_str(), file, &header, &list); }
    TempDir dir;
    FileHandle file;
    HashListHeader header;
    HashList list;
};

TEST_F(HashListTest, LoadRefusesMissingAndVersionOneAndForeignLists)
{
    EXPECT_FALSE(load());
    for (const std::string& bytes : {hash_list_bytes(1, {{"a.arc", SUM_A}}), std::string("WQX_V3__") + std::string(8, '\0')}) {
        install(bytes);
        EXPECT_FALSE(load());
        EXPECT_FALSE(file.is_open());
    }
}

TEST_F(HashListTest, LoadRefusesADirectoryTooLongForThePath)
{
    const std::string long_dir(255, 'd');
    EXPECT_FALSE(load_installed(long_dir.c_str(), file, &header, &list));
    EXPECT_FALSE(file.is_open());
}

TEST_F(HashListTest, ShortHeaderLoadsEmptyAndKeepsTheFileOpen)
{
    install(std::string(10, 'z'));
    EXPECT_TRUE(load());
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(file.is_open());
    // The rewrite through the same object then fails and leaves the 10 bytes.
    upsert(&list, -1, "a.arc", raw(SUM_A));
    EXPECT_FALSE(write_back(dir.path().c_str(), file, header, list));
    EXPECT_EQ(read_host_file(list_file()), std::string(10, 'z'));
}

TEST_F(HashListTest, FullLoadClosesAndKeepsRecordsAndTheirTrailingBytes)
{
    std::string bytes = hash_list_bytes(2, {{"Archive\\data01300.arc", SUM_A}, {"system.arc", SUM_B}}, 7);
    bytes[16 + 100] = 'q';  // after the terminator: passes through
    install(bytes + "trailing junk");
    ASSERT_TRUE(load());
    EXPECT_FALSE(file.is_open());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(path_of(list[0]), "Archive\\data01300.arc");
    EXPECT_EQ(list[0].path[100], 'q');
    EXPECT_EQ(sum_of(list[1]), SUM_B);
    EXPECT_EQ(u32_at(std::string(reinterpret_cast<char*>(header.bytes), 16), 8), 7u);
}

TEST_F(HashListTest, ShortRecordsAreZeroFilledAndKeepTheFileOpen)
{
    std::string bytes = hash_list_bytes(2, {{"one.arc", SUM_A}, {"two.arc", SUM_B}, {"three.arc", SUM_C}});
    install(bytes.substr(0, 16 + 256 + 100));
    ASSERT_TRUE(load());
    EXPECT_TRUE(file.is_open());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(path_of(list[1]), "two.arc");
    EXPECT_EQ(sum_of(list[1]), std::string(8, '\0'));
}

// A count is bounded before anything is allocated: above HASH_LIST_MAX_RECORDS
// the list is refused at once, even when a sparse file holds every record (a
// count of 0x01000000 used to take gigabytes, and records * 256 wrapped to 0
// in 32 bits, so the zeros counted as read in full). Below it, a count the
// file cannot back still loads what is there and keeps the file open.
TEST_F(HashListTest, CountsAreBoundedBeforeAnythingIsAllocated)
{
    const struct {
        const char* what;
        uint32_t count;
        uint64_t sparse_size;  // 0: just the header and one record
        bool loads;
    } cases[] = {
        {"count 0xFFFFFFFF, one record", 0xFFFFFFFFu, 0, false},
        {"one record more than the limit, all present", HASH_LIST_MAX_RECORDS + 1,
         16 + (uint64_t(HASH_LIST_MAX_RECORDS) + 1) * 256, false},
        {"count 0x01000000 in a sparse file just under 4 GiB", 0x01000000u, 0xFFFFFFF0u, false},
        {"the limit itself, one record present", HASH_LIST_MAX_RECORDS, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        install(hash_list_bytes(2, {{"one.arc", SUM_A}}, 0, c.count));
        if (c.sparse_size)
            std::filesystem::resize_file(list_file(), c.sparse_size);
        EXPECT_EQ(load(), c.loads);
        EXPECT_EQ(file.is_open(), c.loads);
        EXPECT_EQ(list.size(), c.loads ? 1u : 0u);
        file.close();
    }

    // The prune reads the list again and leaves one it refuses as it is.
    install(hash_list_bytes(2, {{"gone.arc", SUM_A}}, 0, HASH_LIST_MAX_RECORDS + 1));
    std::filesystem::resize_file(list_file(), 16 + (uint64_t(HASH_LIST_MAX_RECORDS) + 1) * 256);
    prune_missing(dir.path().c_str());
    EXPECT_EQ(std::filesystem::file_size(list_file()), 16 + (uint64_t(HASH_LIST_MAX_RECORDS) + 1) * 256);

    // patchtool's in-memory parse: version-1 records, every one present.
    std::string v1 = hash_list_bytes(1, {}, 0, HASH_LIST_MAX_RECORDS + 1);
    v1.resize(16 + (size_t(HASH_LIST_MAX_RECORDS) + 1) * 64, '\0');
    HashList parsed;
    int version = 0;
    EXPECT_FALSE(parse_hash_list(reinterpret_cast<const uint8_t*>(v1.data()), static_cast<uint32_t>(v1.size()),
                                 &parsed, &version));
    EXPECT_TRUE(parsed.empty());
}

TEST_F(HashListTest, WriteBackKeepsReservedDropsTrailingBytesAndAppendsInOrder)
{
    install(hash_list_bytes(2, {{"Archive\\Old.arc", SUM_A}}, 7) + "tail");
    ASSERT_TRUE(load());
    const int32_t found = find_installed(list, "archive\\old.ARC");
    ASSERT_EQ(found, 0);
    upsert(&list, found, "archive\\old.arc", raw(SUM_B));
    upsert(&list, find_installed(list, "new1.arc"), "new1.arc", raw(SUM_C));
    upsert(&list, find_installed(list, "Archive\\new2.arc"), "Archive\\new2.arc", raw(SUM_A));
    ASSERT_TRUE(write_back(dir.path().c_str(), file, header, list));
    EXPECT_EQ(read_host_file(list_file()),
              hash_list_bytes(2, {{"Archive\\Old.arc", SUM_B}, {"new1.arc", SUM_C}, {"Archive\\new2.arc", SUM_A}}, 7));
    EXPECT_FALSE(host_file_exists(dir.host("KXQ.hvl.new")));
}

TEST_F(HashListTest, EmptyListCoveredByAnUpdateHoldsOneRecordPerFile)
{
    install(hash_list_bytes(2, {}));
    ASSERT_TRUE(load());
    EXPECT_FALSE(file.is_open());
    EXPECT_TRUE(list.empty());
    upsert(&list, find_installed(list, "a.arc"), "a.arc", raw(SUM_A));
    ASSERT_TRUE(write_back(dir.path().c_str(), file, header, list));
    EXPECT_EQ(read_host_file(list_file()), hash_list_bytes(2, {{"a.arc", SUM_A}}));
}

TEST_F(HashListTest, ReadOnlyListIsNotReplaced)
{
    const std::string before = hash_list_bytes(2, {{"a.arc", SUM_A}});
    install(before);
    ASSERT_TRUE(load());
    ASSERT_TRUE(os_set_readonly(list_file().c_str()));
    upsert(&list, -1, "b.arc", raw(SUM_B));
    EXPECT_FALSE(write_back(dir.path().c_str(), file, header, list));
    EXPECT_EQ(read_host_file(list_file()), before);
    EXPECT_FALSE(host_file_exists(dir.host("KXQ.hvl.new")));
    EXPECT_NE(os_get_attributes(list_file().c_str()) & OS_ATTRIBUTE_READONLY, 0u);
}

TEST_F(HashListTest, ShortOrFailedWritesLeaveTheOldListWhole)
{
    const std::string before = hash_list_bytes(2, {{"a.arc", SUM_A}, {"b.arc", SUM_B}});
    struct Fault {
        FaultOperation op;
        uint32_t nth;
        FaultEffect effect;
    };
    const Fault faults[] = {{FAULT_WRITE, 1, FAULT_SHORT}, {FAULT_WRITE, 2, FAULT_SHORT}, {FAULT_WRITE, 2, FAULT_FAIL},
                            {FAULT_FLUSH, 1, FAULT_FAIL},  {FAULT_MOVE, 1, FAULT_FAIL},  {FAULT_CREATE_WRITE, 1, FAULT_FAIL}};
    for (const Fault& f : faults) {
        install(before);
        FileHandle handle;
        HashList loaded;
        ASSERT_TRUE(load_installed(dir.path().c_str(), handle, &header, &loaded));
        upsert(&loaded, -1, "c.arc", raw(SUM_C));
        fault_reset();
        fault_arm(f.op, f.nth, f.effect);
        EXPECT_FALSE(write_back(dir.path().c_str(), handle, header, loaded)) << f.op << "/" << f.nth;
        EXPECT_TRUE(fault_fired());
        fault_reset();
        EXPECT_EQ(read_host_file(list_file()), before) << f.op << "/" << f.nth;
        EXPECT_FALSE(host_file_exists(dir.host("KXQ.hvl.new"))) << f.op;
        prune_missing(dir.path().c_str());  // both records missing: rewrites the list
        EXPECT_EQ(u32_at(read_host_file(list_file()), 12), 0u);
    }
}

TEST_F(HashListTest, PruneDropsMissingFilesKeepsFoldersAndEmptyPaths)
{
    write_host_file(dir.host("here.arc"), "x");
    std::filesystem::create_directory(dir.host("Archive"));
    write_host_file(dir.host("Archive/in.arc"), "y");
    install(hash_list_bytes(2, {{"here.arc", SUM_A}, {"gone.arc", SUM_B}, {"Archive", SUM_C},
                                {"ARCHIVE\\IN.ARC", SUM_A}, {"", SUM_B}, {"Archive\\gone.arc", SUM_C}}, 7));
    prune_missing(dir.path().c_str());
    EXPECT_EQ(read_host_file(list_file()),
              hash_list_bytes(2, {{"here.arc", SUM_A}, {"Archive", SUM_C}, {"ARCHIVE\\IN.ARC", SUM_A}, {"", SUM_B}}, 7));
}

TEST_F(HashListTest, PruneKeepsVersionOneAndPathsTooLongToCompose)
{
    write_host_file(dir.host("here.arc"), "x");
    const std::string long_path(247, 'p');  // dir + "\" + this cannot fit 260 bytes
    install(hash_list_bytes(1, {{"gone.arc", SUM_A}, {"here.arc", SUM_B}}, 3) + "xx");
    prune_missing(dir.path().c_str());
    EXPECT_EQ(read_host_file(list_file()), hash_list_bytes(1, {{"here.arc", SUM_B}}, 3));

    install(hash_list_bytes(2, {{long_path, SUM_A}, {"gone.arc", SUM_B}}));
    prune_missing(dir.path().c_str());
    EXPECT_EQ(read_host_file(list_file()), hash_list_bytes(2, {{long_path, SUM_A}}));
}

TEST_F(HashListTest, PruneNeverFollowsARecordTheUpdaterWouldNotWriteAndKeepsIt)
{
    const std::vector<RecordLayout> unsafe = {{"..\\..\\etc\\gone", SUM_A}, {"\\gone.arc", SUM_B},
                                              {"C:\\gone.arc", SUM_C}, {"NUL", SUM_A}, {"a?b", SUM_B}};
    install(hash_list_bytes(2, {{"gone.arc", SUM_C}}));
    fault_reset();
    prune_missing(dir.path().c_str());
    const uint32_t queries_of_one_record = fault_count(FAULT_GET_ATTRIBUTES);

    std::vector<RecordLayout> records = unsafe;
    records.push_back({"gone.arc", SUM_C});
    install(hash_list_bytes(2, records));
    fault_reset();
    prune_missing(dir.path().c_str());
    EXPECT_EQ(read_host_file(list_file()), hash_list_bytes(2, unsafe));
    EXPECT_EQ(fault_count(FAULT_GET_ATTRIBUTES), queries_of_one_record) << "only gone.arc is looked up";
}

TEST_F(HashListTest, PruneLeavesUnreadableOrProtectedListsAlone)
{
    const std::vector<std::string> lists = {std::string(12, 'z'), std::string("WQX_V9__") + std::string(8, '\0'),
                                            hash_list_bytes(2, {{"gone.arc", SUM_A}}, 0, 2)};
    for (const std::string& bytes : lists) {
        install(bytes);
        prune_missing(dir.path().c_str());
        EXPECT_EQ(read_host_file(list_file()), bytes);
    }
    const std::string protected_list = hash_list_bytes(2, {{"gone.arc", SUM_A}});
    install(protected_list);
    ASSERT_TRUE(os_set_readonly(list_file().c_str()));
    prune_missing(dir.path().c_str());
    EXPECT_EQ(read_host_file(list_file()), protected_list);
    EXPECT_FALSE(host_file_exists(dir.host("KXQ.hvl.new")));
}

// --- the shipped list ---

class ShippedTest : public ::testing::Test {
protected:
    HashList load(const PayloadLayout& layout, int* version)
    {
        const std::string path = dir.host("updater.exe");
        write_host_file(path, payload_bytes(layout));
        FileHandle payload;
        PayloadIndex index;
        EXPECT_EQ(open_payload(payload, path.c_str(), &index), UPDATE_OK);
        return load_shipped(payload, index, version);
    }
    TempDir dir;
};

TEST_F(ShippedTest, FindsTheFirstEntryNamedLikeTheHashList)
{
    const std::string v2 = hash_list_bytes(2, {{"Archive\\data01300.arc", SUM_A}});
    PayloadLayout layout;
    layout.entries = {{"other.arc", "zz"}, {"kxq.HVL", v2}, {"KXQ.hvl", hash_list_bytes(2, {})}};
    int version = 0;
    HashList shipped = load(layout, &version);
    EXPECT_EQ(version, 2);
    ASSERT_EQ(shipped.size(), 1u);
    EXPECT_EQ(path_of(shipped[0]), "Archive\\data01300.arc");
}

TEST_F(ShippedTest, VersionOneRecordsAreWidened)
{
    std::string v1 = hash_list_bytes(1, {{"Archive\\data01300.arc", SUM_A}, {std::string(56, 'u'), SUM_B}});
    PayloadLayout layout;
    layout.form = 32;
    layout.entries = {{"KXQ.hvl", v1}};
    int version = 0;
    HashList shipped = load(layout, &version);
    EXPECT_EQ(version, 1);
    ASSERT_EQ(shipped.size(), 2u);
    HashRecord expected;
    std::memset(&expected, 0, sizeof expected);
    std::strcpy(expected.path, "Archive\\data01300.arc");
    std::memcpy(expected.checksum, SUM_A.data(), 8);
    EXPECT_EQ(std::memcmp(&shipped[0], &expected, sizeof expected), 0);
    // An unterminated 56-byte path stops at its field.
    EXPECT_EQ(path_of(shipped[1]), std::string(56, 'u'));
    EXPECT_EQ(sum_of(shipped[1]), SUM_B);
}

TEST_F(ShippedTest, EveryProblemGivesAnEmptyList)
{
    // The version tells "no list" (0), which installs under bare names, from
    // a list there but not whole, which is damage.
    const std::string good = hash_list_bytes(2, {{"a.arc", SUM_A}});
    struct Case {
        const char* what;
        std::vector<EntryLayout> entries;
        int version;
    };
    const Case cases[] = {
        {"no entry", {{"a.arc", "x"}}, 0},
        {"folder in front", {{"Data\\KXQ.hvl", good}}, 0},
        {"unreachable first, good second", {{"KXQ.hvl", "", true, 0xFFFFFFF0u}, {"KXQ.hvl", good}},
         SHIPPED_UNREADABLE},
        {"short header", {{"KXQ.hvl", good.substr(0, 15)}}, SHIPPED_UNREADABLE},
        {"other magic", {{"KXQ.hvl", "WQX_V3__" + good.substr(8)}}, SHIPPED_UNREADABLE},
        {"short records", {{"KXQ.hvl", good.substr(0, 200)}}, SHIPPED_UNREADABLE},
        {"count beyond the file", {{"KXQ.hvl", hash_list_bytes(2, {{"a.arc", SUM_A}}, 0, 0x01000000)}},
         SHIPPED_UNREADABLE},
        {"a list of no records is still a list", {{"KXQ.hvl", hash_list_bytes(1, {})}}, 1},
    };
    for (const Case& c : cases) {
        PayloadLayout layout;
        layout.entries = c.entries;
        int version = 9;
        EXPECT_TRUE(load(layout, &version).empty()) << c.what;
        EXPECT_EQ(version, c.version) << c.what;
    }
}

TEST_F(ShippedTest, CountDecidesNotTheEntrySize)
{
    // The entry claims 16 bytes, but the header's count reads on into the next entry.
    const std::string list = hash_list_bytes(2, {{"a.arc", SUM_A}});
    PayloadLayout layout;
    layout.entries = {{"KXQ.hvl", list.substr(0, 16), false, 0, false, 0}, {"rest", list.substr(16)}};
    int version = 0;
    HashList shipped = load(layout, &version);
    ASSERT_EQ(shipped.size(), 1u);
    EXPECT_EQ(path_of(shipped[0]), "a.arc");
}

TEST(ParseHashList, AcceptsBothVersionsAndRefusesDamage)
{
    HashList records;
    int version = 0;
    const std::string v1 = hash_list_bytes(1, {{"a.arc", SUM_A}}) + "trailing";
    ASSERT_TRUE(parse_hash_list(raw(v1), static_cast<uint32_t>(v1.size()), &records, &version));
    EXPECT_EQ(version, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(sum_of(records[0]), SUM_A);
    const std::string v2 = hash_list_bytes(2, {{"a.arc", SUM_A}, {"b.arc", SUM_B}});
    ASSERT_TRUE(parse_hash_list(raw(v2), static_cast<uint32_t>(v2.size()), &records, &version));
    EXPECT_EQ(version, 2);
    EXPECT_EQ(records.size(), 2u);
    for (uint32_t size : {0u, 15u, static_cast<uint32_t>(v2.size() - 1)}) {
        EXPECT_FALSE(parse_hash_list(raw(v2), size, &records, &version)) << size;
        EXPECT_TRUE(records.empty());
    }
    const std::string foreign = "WQX_V1__" + v2.substr(8);
    EXPECT_FALSE(parse_hash_list(raw(foreign), static_cast<uint32_t>(foreign.size()), &records, &version));
}

// --- lookups ---

HashList records_of(const std::vector<std::string>& paths)
{
    HashList out;
    for (const std::string& p : paths)
        upsert(&out, -1, p.c_str(), raw(SUM_A));
    return out;
}

struct ShippedMatch {
    const char* entry;
    std::vector<std::string> paths;
    int expected;  // index of the matching record, -1 for none
};

TEST(FindShipped, MatchesByFileNameAndExtensionOnly)
{
    const ShippedMatch cases[] = {
        {"DATA01300.ARC", {"Archive\\data01300.arc"}, 0},
        {"data01300.arc", {"Archive\\other.arc", "data01300.arc", "Archive\\data01300.arc"}, 1},
        {"a.arc", {"x/y/a.arc"}, 0},
        {"a.arc", {"C:a.arc"}, 0},
        {"a.arc", {"Archive\\ba.arc", "a.arc.bak"}, -1},
        // 0x83 0x5C is one character whose trail byte equals "\".
        {"\x83\x5C.arc", {"Archive\\\x83\x5C.arc"}, 0},
        {".arc", {"\x83\x5C.arc"}, -1},
        // A full-width capital matches its small letter.
        {"\x82\x60.arc", {"\x82\x81.arc"}, 0},
        {"a.arc", {}, -1},
    };
    for (const ShippedMatch& c : cases) {
        HashList shipped = records_of(c.paths);
        const HashRecord* found = find_shipped(shipped, c.entry);
        if (c.expected < 0)
            EXPECT_EQ(found, nullptr) << c.entry;
        else
            EXPECT_EQ(found, &shipped[static_cast<size_t>(c.expected)]) << c.entry;
    }
}

TEST(FindShipped, UnterminatedPathStopsAtItsField)
{
    HashList shipped(1);
    std::memset(shipped[0].path, 'a', sizeof shipped[0].path);
    std::memset(shipped[0].checksum, 'b', 8);
    EXPECT_EQ(find_shipped(shipped, std::string(248, 'a').c_str()), &shipped[0]);
    EXPECT_EQ(find_shipped(shipped, (std::string(248, 'a') + "bb").c_str()), nullptr);
}

TEST(FindInstalled, ComparesWholePathsWithoutLetterCase)
{
    HashList list = records_of({"system.arc", "ARCHIVE\\Data01300.arc", "Archive\\data01300.arc"});
    EXPECT_EQ(find_installed(list, "archive\\data01300.ARC"), 1);
    EXPECT_EQ(find_installed(list, "data01300.arc"), -1);
    EXPECT_EQ(find_installed(HashList(), "system.arc"), -1);
    EXPECT_EQ(find_installed(list, std::string(300, 'x').c_str()), -1);
}

TEST(Upsert, ReplacesTheChecksumOrAppendsAZeroFilledRecord)
{
    HashList list = records_of({"ARCHIVE\\a.arc"});
    upsert(&list, 0, "archive\\a.arc", raw(SUM_B));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(path_of(list[0]), "ARCHIVE\\a.arc");
    EXPECT_EQ(sum_of(list[0]), SUM_B);
    upsert(&list, -1, "b.arc", raw(SUM_C));
    ASSERT_EQ(list.size(), 2u);
    HashRecord expected;
    std::memset(&expected, 0, sizeof expected);
    std::strcpy(expected.path, "b.arc");
    std::memcpy(expected.checksum, SUM_C.data(), 8);
    EXPECT_EQ(std::memcmp(&list[1], &expected, sizeof expected), 0);
}

TEST(NameCompare, FoldsCapitalsAndRefusesNamesThatDoNotFit)
{
    char out[260];
    ASSERT_TRUE(lower_name_copy(out, "KXQ.HVL"));
    EXPECT_STREQ(out, "kxq.hvl");
    EXPECT_TRUE(names_equal("KXQ.HVL", "kxq.hvl"));
    EXPECT_FALSE(names_equal("kxq.hvl", "kxq.hvl2"));
    // A trail byte in the capital range is not folded on its own: 0x83 0x41 is one character.
    ASSERT_TRUE(lower_name_copy(out, "\x83\x41"));
    EXPECT_STREQ(out, "\x83\x41");
    EXPECT_TRUE(lower_name_copy(out, std::string(259, 'A').c_str()));
    EXPECT_FALSE(lower_name_copy(out, std::string(260, 'A').c_str()));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(names_equal(std::string(300, 'a').c_str(), std::string(300, 'a').c_str()));
}

}  // namespace
