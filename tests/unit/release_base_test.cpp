// Which files a patch built against earlier releases ships, and the folder
// check that keeps it from failing for the players of one of them.
#include <filesystem>

#include "publish/release_base.h"
#include "support/install_fixture.h"

namespace {

class ReleaseBaseTest : public ::testing::Test {
protected:
    // A source file of the new release: `relative` with "\", bytes on disk.
    BuilderFile source(const std::string& relative, const std::string& bytes)
    {
        const std::string host = temp.host("src" + std::to_string(files.size()));
        write_host_file(host, bytes);
        BuilderFile f = {relative.substr(relative.rfind('\\') + 1), relative, host};
        files.push_back(f);
        return f;
    }
    // A hash list base holding `records`.
    ReleaseBase list_base(const std::vector<FixtureRecord>& records, uint32_t version = 2)
    {
        const std::string host = temp.host("base" + std::to_string(++lists) + ".hvl");
        write_host_file(host, hash_list_file(version, records));
        ReleaseBase base;
        base.shown = host;
        std::string problem;
        EXPECT_TRUE(load_base_list(host, &base, &problem)) << problem;
        return base;
    }
    BuildStatus plan(const std::vector<ReleaseBase>& bases)
    {
        return plan_shipment(files, bases, nullptr, nullptr, &result, &message);
    }
    TempDir temp;
    std::vector<BuilderFile> files;
    int lists = 0;
    ShipPlan result;
    std::string message;
};

TEST_F(ReleaseBaseTest, AFileShipsWhenNewToOrChangedFromAnyBase)
{
    source("same.arc", "same");
    source("Archive\\changed.arc", "v3 bytes");
    source("Archive\\added_in_v2.arc", "v2 bytes");
    source("Archive\\brand_new.arc", "v3 only");
    const ReleaseBase v1 = list_base({{"same.arc", checksum_of("same")},
                                      {"ARCHIVE\\Changed.ARC", checksum_of("v1 bytes")}});
    const ReleaseBase v2 = list_base({{"same.arc", checksum_of("same")},
                                      {"Archive/changed.arc", checksum_of("v3 bytes")},
                                      {"Archive\\added_in_v2.arc", checksum_of("v2 bytes")}});
    ASSERT_EQ(plan({v1, v2}), BUILD_OK) << message;
    const ShipReason want[] = {SHIP_UNCHANGED, SHIP_CHANGED, SHIP_NEW, SHIP_NEW};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(result.files[i].reason, want[i]) << files[i].path;
    EXPECT_EQ(result.shipped_count, 3u);
    EXPECT_EQ(result.shipped_bytes, 8u + 8u + 7u);
    const std::vector<BuilderFile> shipped = shipped_files(files, result);
    ASSERT_EQ(shipped.size(), 3u);
    EXPECT_EQ(shipped[0].path, "Archive\\changed.arc");
}

TEST_F(ReleaseBaseTest, AFolderMissingFromAnyBaseFolderIsRefused)
{
    source("Movie\\Intro\\op.mpg", "movie");
    ReleaseBase with_movie;
    with_movie.shown = "v2";
    std::string problem;
    ASSERT_TRUE(load_base_folder({}, {"movie", "Movie\\intro"}, nullptr, nullptr, &with_movie, &problem));
    ReleaseBase without;
    without.shown = "v1";
    ASSERT_TRUE(load_base_folder({}, {"Movie"}, nullptr, nullptr, &without, &problem));
    ASSERT_EQ(plan({with_movie}), BUILD_OK) << message;
    // One release without the folder is enough: its players' update would fail.
    EXPECT_EQ(plan({with_movie, without}), BUILD_REFUSED);
    EXPECT_NE(message.find("Movie\\Intro"), std::string::npos) << message;
    EXPECT_NE(message.find("v1"), std::string::npos) << message;
}

TEST_F(ReleaseBaseTest, AHashListBaseOnlyWarnsOfAFolderNoRecordUses)
{
    source("Archive\\Voice\\a.arc", "a");
    source("Archive\\Voice\\b.arc", "b");
    source("Save\\c.dat", "c");
    // A version 1 list: its records' folders and their parents count as there.
    const ReleaseBase base = list_base({{"Archive\\Voice\\old.arc", checksum_of("old")}}, 1);
    ASSERT_EQ(plan({base}), BUILD_OK) << message;
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("folder Save"), std::string::npos) << result.warnings[0];

    write_host_file(temp.host("not-a-list"), "WQX_V3__ not a list");
    ReleaseBase bad;
    EXPECT_FALSE(load_base_list(temp.host("not-a-list"), &bad, &message));
    EXPECT_FALSE(load_base_list(temp.host("missing.hvl"), &bad, &message));
}

// No wrong answer: a base record is matched by the updater's collision key,
// so the other code page 932 code of one character (0x879A for 0x81E6) is the
// same file in the same folder.
TEST_F(ReleaseBaseTest, ARecordSpeltWithTheOtherCodeOfACharacterIsTheSameFile)
{
    source("\x87\x9A\\same.arc", "same");
    source("\x87\x9A\\new.arc", "new");
    ASSERT_EQ(plan({list_base({{"\x81\xE6\\same.arc", checksum_of("same")}})}), BUILD_OK) << message;
    EXPECT_EQ(result.files[0].reason, SHIP_UNCHANGED);
    EXPECT_EQ(result.files[1].reason, SHIP_NEW);
    EXPECT_TRUE(result.warnings.empty()) << result.warnings[0];
}

// A file grown by exactly 4 GiB has the low 32 bits of its size, and here the
// checksum, of the listed one; it is refused by name, never left out.
TEST_F(ReleaseBaseTest, AFileTooBigForAnUpdaterIsRefusedEvenWhenTheBaseListsIt)
{
    const BuilderFile big = source("big.arc", "");
    std::filesystem::resize_file(big.source, (1ull << 32) + 29);
    ASSERT_EQ(plan({list_base({{"big.arc", checksum_of(std::string(29, '\0'))}})}), BUILD_REFUSED);
    EXPECT_EQ(message.find("big.arc is 4294967325 bytes"), 0u) << message;
}

}  // namespace
