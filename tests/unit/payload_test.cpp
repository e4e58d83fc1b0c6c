#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "payload/payload.h"
#include "payload/payload_format.h"
#include "support/payload_bytes.h"
#include "support/temp_dir.h"

namespace {

class PayloadTest : public ::testing::Test {
protected:
    std::string write(const std::string& bytes)
    {
        const std::string path = dir.host("updater.exe");
        write_host_file(path, bytes);
        return path;
    }
    UpdateResult open(const std::string& bytes)
    {
        return open_payload(file, write(bytes).c_str(), &index);
    }
    TempDir dir;
    FileHandle file;
    PayloadIndex index;
};

std::string with_header(uint32_t count, const std::string& magic)
{
    std::string out(0x28400, '\0');
    std::string header = magic;
    header.resize(12, '\0');
    for (int i = 0; i < 4; ++i)
        header += static_cast<char>((count >> (8 * i)) & 0xFF);
    return out + header;
}

struct FailureCase {
    const char* what;
    std::string bytes;
    UpdateResult expected;
};

TEST_F(PayloadTest, EveryFailureRow)
{
    const FailureCase cases[] = {
        {"shorter than the caption", std::string(0x27000, '\0'), UPDATE_E_DAMAGED},
        {"caption but no header", std::string(0x28000 + 1023, '\0'), UPDATE_E_DAMAGED},
        {"exactly 0x28400 bytes", std::string(0x28400, '\0'), UPDATE_E_DAMAGED},
        {"15 header bytes", std::string(0x28400 + 15, '\0'), UPDATE_E_DAMAGED},
        {"index one byte short", with_header(2, "ZEPHAN ARC20") + std::string(255, '\0'), UPDATE_E_DAMAGED},
        {"32-byte index short", with_header(3, "") + std::string(95, '\0'), UPDATE_E_DAMAGED},
        {"257, right magic", with_header(257, "ZEPHAN ARC20") + std::string(257 * 128, '\0'),
         UPDATE_E_TOO_MANY_ENTRIES},
        {"257, wrong magic", with_header(257, "") + std::string(257 * 32, '\0'), UPDATE_E_TOO_MANY_ENTRIES},
        {"257, no index at all", with_header(257, "ZEPHAN ARC20"), UPDATE_E_TOO_MANY_ENTRIES},
        {"count all ones", with_header(0xFFFFFFFFu, "xyz"), UPDATE_E_TOO_MANY_ENTRIES},
    };
    for (const FailureCase& c : cases) {
        FileHandle f;
        PayloadIndex got;
        got.count = 99;
        EXPECT_EQ(open_payload(f, write(c.bytes).c_str(), &got), c.expected) << c.what;
        EXPECT_EQ(got.count, 0u) << c.what;
    }
}

TEST_F(PayloadTest, MissingFileIsDamaged)
{
    EXPECT_EQ(open_payload(file, dir.host("absent.exe").c_str(), &index), UPDATE_E_DAMAGED);
}

TEST_F(PayloadTest, CountZeroIsAnEmptyIndex)
{
    ASSERT_EQ(open(with_header(0, "ZEPHAN ARC20")), UPDATE_OK);
    EXPECT_EQ(index.count, 0u);
    EXPECT_EQ(index.form, 128u);
    EXPECT_EQ(index.data_base, 0x28410u);
}

TEST_F(PayloadTest, Count256WithWrongMagicIsThe32ByteForm)
{
    ASSERT_EQ(open(with_header(256, "ZEPHAN ARC21") + std::string(256 * 32, '\0')), UPDATE_OK);
    EXPECT_EQ(index.count, 256u);
    EXPECT_EQ(index.form, 32u);
    EXPECT_EQ(index.data_base, 0x28410u + 256u * 32u);
}

TEST_F(PayloadTest, Count256WithRightMagicIsThe128ByteForm)
{
    ASSERT_EQ(open(with_header(256, "ZEPHAN ARC20") + std::string(256 * 128, '\0')), UPDATE_OK);
    EXPECT_EQ(index.form, 128u);
    EXPECT_EQ(index.data_base, 0x28410u + 256u * 128u);
}

void expect_entries_readable(FileHandle& file, const PayloadIndex& index, const PayloadLayout& layout)
{
    ASSERT_EQ(index.count, layout.entries.size());
    uint32_t running = 0;
    for (uint32_t j = 0; j < index.count; ++j) {
        const EntryLayout& e = layout.entries[j];
        char name[97];
        entry_name(index, j, name);
        EXPECT_EQ(std::string(name), e.name);
        EXPECT_EQ(entry_offset(index, j), running);
        EXPECT_EQ(entry_size(index, j), e.data.size());
        ASSERT_TRUE(seek_entry(file, index, j));
        std::string got(e.data.size(), '\0');
        if (!got.empty()) {
            EXPECT_EQ(file.read(&got[0], static_cast<uint32_t>(got.size())), got.size());
        }
        EXPECT_EQ(got, e.data) << name;
        running += static_cast<uint32_t>(e.data.size());
    }
}

TEST_F(PayloadTest, BothFormsReadNamesOffsetsSizesAndData)
{
    for (uint32_t form : {128u, 32u}) {
        PayloadLayout layout;
        layout.form = form;
        layout.entries = {{"KXQ.hvl", "hash list"}, {"data01300.arc", std::string(5000, 'x')},
                        {"empty.arc", ""}, {"\x83\x5C\x83\x74\x83\x67.arc", "soft"}};
        FileHandle f;
        PayloadIndex got;
        ASSERT_EQ(open_payload(f, write(payload_bytes(layout)).c_str(), &got), UPDATE_OK) << form;
        EXPECT_EQ(got.form, form);
        EXPECT_EQ(got.data_base, 0x28410u + 4u * form);
        expect_entries_readable(f, got, layout);
    }
}

TEST_F(PayloadTest, NameFillingItsWholeFieldStopsAtTheFieldWidth)
{
    PayloadLayout layout;
    layout.entries = {{std::string(96, 'N'), "abc"}};
    ASSERT_EQ(open(payload_bytes(layout)), UPDATE_OK);
    char name[97];
    std::memset(name, 'Z', sizeof name);
    entry_name(index, 0, name);
    EXPECT_EQ(std::string(name), std::string(96, 'N'));
    EXPECT_EQ(entry_size(index, 0), 3u);

    PayloadLayout small;
    small.form = 32;
    small.entries = {{std::string(16, 'S'), "abcd"}};
    FileHandle f;
    PayloadIndex got;
    ASSERT_EQ(open_payload(f, write(payload_bytes(small)).c_str(), &got), UPDATE_OK);
    entry_name(got, 0, name);
    // The offset field right behind the name must not leak into it.
    EXPECT_EQ(std::string(name), std::string(16, 'S'));
}

TEST_F(PayloadTest, OffsetWrappingPast4GiBIsUnreachable)
{
    PayloadLayout layout;
    layout.entries = {{"wrap.arc", "", true, 0xFFFFFFF0u, true, 16}, {"ok.arc", "data"}};
    ASSERT_EQ(open(payload_bytes(layout)), UPDATE_OK);
    uint32_t position = 0;
    EXPECT_FALSE(entry_position(index, 0, &position));
    EXPECT_FALSE(seek_entry(file, index, 0));
    ASSERT_TRUE(entry_position(index, 1, &position));
    EXPECT_EQ(position, index.data_base);
    EXPECT_TRUE(seek_entry(file, index, 1));
}

TEST_F(PayloadTest, OffsetBeyond2GiBCannotBeSought)
{
    PayloadLayout layout;
    layout.entries = {{"far.arc", "", true, 0x80000000u, true, 1}};
    ASSERT_EQ(open(payload_bytes(layout)), UPDATE_OK);
    EXPECT_FALSE(seek_entry(file, index, 0));
}

TEST_F(PayloadTest, SalvageKeepsWhatADamagedIndexHolds)
{
    PayloadLayout layout;
    layout.fixed_count = true;
    layout.count = 5;
    layout.entries = {{"a.arc", "A"}, {"b.arc", "B"}};
    std::string bytes = payload_bytes(layout);
    bytes.resize(bytes.size() - 2 + 10);  // two whole entries and part of a third
    PayloadSalvage salvage;
    EXPECT_EQ(open_payload_salvage(file, write(bytes).c_str(), &index, &salvage), UPDATE_E_DAMAGED);
    EXPECT_TRUE(salvage.header_read);
    EXPECT_EQ(salvage.declared_count, 5u);
    EXPECT_EQ(salvage.data_base, 0x28410u + 5u * 128u);
    EXPECT_EQ(index.count, 2u);
    char name[97];
    entry_name(index, 1, name);
    EXPECT_STREQ(name, "b.arc");
}

TEST_F(PayloadTest, SalvageOfTooManyEntriesReadsTheFirst256)
{
    PayloadLayout layout;
    layout.form = 32;
    for (int i = 0; i < 257; ++i)
        layout.entries.push_back({"e" + std::to_string(i), "x"});
    PayloadSalvage salvage;
    EXPECT_EQ(open_payload_salvage(file, write(payload_bytes(layout)).c_str(), &index, &salvage),
              UPDATE_E_TOO_MANY_ENTRIES);
    EXPECT_EQ(salvage.declared_count, 257u);
    EXPECT_EQ(index.count, 256u);
    EXPECT_EQ(index.data_base, 0x28410u + 257u * 32u);
    char name[97];
    entry_name(index, 255, name);
    EXPECT_STREQ(name, "e255");
}

TEST_F(PayloadTest, SalvageWithoutHeaderReportsNothing)
{
    PayloadSalvage salvage;
    EXPECT_EQ(open_payload_salvage(file, write(std::string(0x28400, '\0')).c_str(), &index, &salvage),
              UPDATE_E_DAMAGED);
    EXPECT_FALSE(salvage.header_read);
    EXPECT_EQ(index.count, 0u);
}

TEST_F(PayloadTest, CaptionIsReadFromItsBlock)
{
    PayloadLayout layout;
    layout.caption = "\x81\x75Title\x81\x76 Updater ver 1.02";
    char caption[1024];
    ASSERT_TRUE(load_caption_from(write(payload_bytes(layout)).c_str(), caption));
    EXPECT_EQ(std::string(caption), layout.caption);
}

TEST_F(PayloadTest, CaptionFailsWhenTheBlockIsIncomplete)
{
    char caption[1024];
    std::memset(caption, 'x', sizeof caption);
    EXPECT_FALSE(load_caption_from(write(std::string(0x28000 + 1023, 'c')).c_str(), caption));
    EXPECT_EQ(caption[0], '\0');
    EXPECT_FALSE(load_caption_from(write(std::string(0x27FFF, 'c')).c_str(), caption));
    EXPECT_FALSE(load_caption_from(dir.host("absent.exe").c_str(), caption));
}

TEST_F(PayloadTest, CaptionWithoutTerminatorEndsInsideTheBlock)
{
    char caption[1024];
    std::string image(0x28000, '\0');
    ASSERT_TRUE(load_caption_from(write(image + std::string(1024, 'A')).c_str(), caption));
    EXPECT_EQ(std::string(caption), std::string(1023, 'A'));

    // A double-byte character cut by the terminator is dropped whole.
    std::string block(1022, 'B');
    block += "\x82\xA0";
    ASSERT_TRUE(load_caption_from(write(image + block).c_str(), caption));
    EXPECT_EQ(std::string(caption), std::string(1022, 'B'));
}

}  // namespace
