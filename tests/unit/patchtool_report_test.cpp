#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "support/payload_bytes.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

// "「ヴェルモラ」 Updater ver 1.02" in code page 932 and in UTF-8.
const std::string CAPTION_932 = "\x81\x75\x83\x94\x83\x46\x83\x8B\x83\x82\x83\x89\x81\x76 Updater ver 1.02";
const std::string CAPTION_UTF8 = "\xE3\x80\x8C\xE3\x83\xB4\xE3\x82\xA7\xE3\x83\xAB\xE3\x83\xA2\xE3\x83\xA9\xE3\x80\x8D"
                                 " Updater ver 1.02";
// "ソフト.arc": its first character's trail byte is "\".
const std::string SOFT_932 = "\x83\x5C\x83\x74\x83\x67.arc";
const std::string SOFT_UTF8 = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.arc";

class InspectTest : public ::testing::Test {
protected:
    ToolRun inspect(const std::string& bytes, bool json = true)
    {
        const std::string path = dir.host("patch.exe");
        write_host_file(path, bytes);
        std::vector<std::string> args = {"inspect"};
        if (json)
            args.push_back("--json");
        args.push_back(path);
        return run_tool(built_program("tools/patchtool/patchtool"), args);
    }
    nlohmann::json inspect_json(const std::string& bytes, int expected_status)
    {
        last = inspect(bytes);
        EXPECT_EQ(last.status, expected_status) << last.err;
        return nlohmann::json::parse(last.out);
    }
    TempDir dir;
    ToolRun last;
};

// A payload whose shipped list covers two entries correctly and one wrongly.
PayloadLayout full_payload(uint32_t form, int version)
{
    const std::string data = "archive bytes";
    const std::string soft = std::string(3000, '\x81');
    std::vector<RecordLayout> records = {{"Archive\\data01300.arc", reference_checksum(data)},
                                       {"Archive\\" + SOFT_932, reference_checksum(soft)},
                                       {"bad.arc", std::string(8, '\x55')}};
    PayloadLayout layout;
    layout.caption = CAPTION_932;
    layout.form = form;
    layout.entries = {{"KXQ.hvl", hash_list_bytes(version, records)},
                    {"DATA01300.ARC", data},
                    {SOFT_932, soft},
                    {"bad.arc", "not what the list says"},
                    {"extra.arc", "x"}};
    return layout;
}

TEST_F(InspectTest, ReportsCaptionIndexEntriesAndShippedList)
{
    const PayloadLayout layout = full_payload(128, 2);
    const nlohmann::json r = inspect_json(payload_bytes(layout), 1);  // one mismatch
    EXPECT_EQ(r.at("caption"), CAPTION_UTF8);
    EXPECT_EQ(r.at("caption_hex"), hex_of(CAPTION_932));
    EXPECT_EQ(r.at("form"), 128);
    EXPECT_EQ(r.at("count"), 5);
    EXPECT_EQ(r.at("data_base"), 0x28410 + 5 * 128);
    const nlohmann::json& entries = r.at("entries");
    ASSERT_EQ(entries.size(), 5u);
    const char* verified[] = {"unlisted", "ok", "ok", "mismatch", "unlisted"};
    uint32_t offset = 0;
    for (size_t i = 0; i < 5; ++i) {
        const EntryLayout& e = layout.entries[i];
        EXPECT_EQ(entries.at(i).at("name_hex"), hex_of(e.name));
        EXPECT_EQ(entries.at(i).at("offset"), offset);
        EXPECT_EQ(entries.at(i).at("size"), static_cast<int64_t>(e.data.size()));
        EXPECT_EQ(entries.at(i).at("checksum"), hex_of(reference_checksum(e.data)));
        EXPECT_EQ(entries.at(i).at("verified"), verified[i]) << i;
        offset += static_cast<uint32_t>(e.data.size());
    }
    EXPECT_EQ(entries.at(2).at("name"), SOFT_UTF8);
    const nlohmann::json& shipped = r.at("shipped");
    EXPECT_EQ(shipped.at("version"), 2);
    ASSERT_EQ(shipped.at("records").size(), 3u);
    EXPECT_EQ(shipped.at("records").at(1).at("path"), "Archive\\" + SOFT_UTF8);
    EXPECT_EQ(shipped.at("records").at(1).at("path_hex"), hex_of("Archive\\" + SOFT_932));
    EXPECT_EQ(shipped.at("records").at(2).at("checksum"), "5555555555555555");
    EXPECT_NE(last.err.find("bad.arc is mismatch"), std::string::npos) << last.err;
}

TEST_F(InspectTest, ShortFormWithVersionOneList)
{
    PayloadLayout layout = full_payload(32, 1);
    layout.entries.erase(layout.entries.begin() + 3);  // drop the mismatching entry
    const nlohmann::json r = inspect_json(payload_bytes(layout), 0);
    EXPECT_EQ(r.at("form"), 32);
    EXPECT_EQ(r.at("data_base"), 0x28410 + 4 * 32);
    EXPECT_EQ(r.at("shipped").at("version"), 1);
    EXPECT_EQ(r.at("shipped").at("records").at(0).at("path"), "Archive\\data01300.arc");
    EXPECT_EQ(r.at("entries").at(1).at("verified"), "ok");
    EXPECT_EQ(r.at("entries").at(2).at("verified"), "ok");
}

TEST_F(InspectTest, NoShippedListIsNull)
{
    PayloadLayout layout;
    layout.entries = {{"a.arc", "a"}};
    const nlohmann::json r = inspect_json(payload_bytes(layout), 0);
    EXPECT_TRUE(r.at("shipped").at("version").is_null());
    EXPECT_TRUE(r.at("shipped").at("records").empty());
    EXPECT_EQ(r.at("entries").at(0).at("verified"), "unlisted");
    EXPECT_EQ(r.at("caption"), "");
}

TEST_F(InspectTest, ShippedListThatDoesNotParseIsDamaged)
{
    PayloadLayout layout;
    layout.entries = {{"KXQ.hvl", "WQX_V3__" + std::string(8, '\0')}, {"a.arc", "a"}};
    EXPECT_TRUE(inspect_json(payload_bytes(layout), 1).at("shipped").at("damaged").get<bool>());
    const ToolRun text = inspect(payload_bytes(layout), false);
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("shipped hash list: damaged"), std::string::npos) << text.out;
    layout.entries.erase(layout.entries.begin());
    EXPECT_FALSE(inspect_json(payload_bytes(layout), 0).at("shipped").at("damaged").get<bool>());
}

TEST_F(InspectTest, UnreachableEntriesAreUnreadable)
{
    PayloadLayout layout;
    layout.entries = {{"wrap.arc", "", true, 0xFFFFFFF0u, true, 32},
                    {"beyond.arc", "", true, 0, true, 1000},
                    {"fine.arc", "", true, 0, true, 0}};
    const nlohmann::json r = inspect_json(payload_bytes(layout), 1);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(r.at("entries").at(i).at("verified"), "unreadable") << i;
        EXPECT_TRUE(r.at("entries").at(i).at("checksum").is_null()) << i;
    }
    EXPECT_EQ(r.at("entries").at(0).at("offset"), 0xFFFFFFF0ll);
    EXPECT_EQ(r.at("entries").at(2).at("checksum"), "0000000000000000");
}

TEST_F(InspectTest, ShortIndexReportsTheWholeEntriesItHolds)
{
    PayloadLayout layout;
    layout.fixed_count = true;
    layout.count = 4;
    layout.entries = {{"a.arc", ""}, {"b.arc", ""}};
    const std::string bytes = payload_bytes(layout) + std::string(50, '\0');
    const nlohmann::json r = inspect_json(bytes, 1);
    EXPECT_EQ(r.at("count"), 4);
    ASSERT_EQ(r.at("entries").size(), 2u);
    EXPECT_EQ(r.at("entries").at(1).at("name"), "b.arc");
    EXPECT_NE(last.err.find("UPDATE_E_DAMAGED"), std::string::npos) << last.err;
}

TEST_F(InspectTest, TooManyEntriesStillListsTheFirst256)
{
    PayloadLayout layout;
    layout.form = 32;
    for (int i = 0; i < 257; ++i)
        layout.entries.push_back({"f" + std::to_string(i), "z"});
    const nlohmann::json r = inspect_json(payload_bytes(layout), 1);
    EXPECT_EQ(r.at("count"), 257);
    EXPECT_EQ(r.at("data_base"), 0x28410 + 257 * 32);
    ASSERT_EQ(r.at("entries").size(), 256u);
    EXPECT_EQ(r.at("entries").at(255).at("name"), "f255");
    EXPECT_NE(last.err.find("UPDATE_E_TOO_MANY_ENTRIES"), std::string::npos) << last.err;
}

TEST_F(InspectTest, NotAnUpdaterIsRefusedWithAMessage)
{
    for (const std::string& bytes : {std::string("MZ tiny"), std::string(0x28400, '\0')}) {
        const ToolRun run = inspect(bytes);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("not an updater"), std::string::npos) << run.err;
    }
    const ToolRun missing = run_tool(built_program("tools/patchtool/patchtool"), {"inspect", dir.host("none.exe")});
    EXPECT_NE(missing.err.find("no such file"), std::string::npos) << missing.err;
}

TEST_F(InspectTest, TextFormShowsTheSameFacts)
{
    const ToolRun run = inspect(payload_bytes(full_payload(128, 2)), false);
    EXPECT_EQ(run.status, 1);
    for (const std::string& want : {CAPTION_UTF8, std::string("128-byte entries"), SOFT_UTF8,
                                    std::string("mismatch"), std::string("version 2, 3 records")})
        EXPECT_NE(run.out.find(want), std::string::npos) << want << "\n" << run.out;
}

// Signing appends a certificate table behind the payload, 8-byte aligned, and
// records it in the image's headers; the entries must read as before, and
// only a table that cannot have been appended to this payload is damage.
TEST_F(InspectTest, CertificateTableBehindThePayload)
{
    PayloadLayout layout = full_payload(128, 2);
    layout.entries.erase(layout.entries.begin() + 3);  // drop the mismatching entry
    const std::string unsigned_bytes = payload_bytes(layout);
    const uint32_t end = static_cast<uint32_t>(unsigned_bytes.size());
    const uint32_t table_at = (end + 7) & ~7u;
    struct Case {
        const char* what;
        uint32_t offset, size;
        uint32_t appended;  // bytes after the payload: padding and table
        int status;
        const char* complaint;
    };
    const Case cases[] = {
        {"unsigned image", 0, 0, 0, 0, nullptr},
        {"signed", table_at, 1512, table_at - end + 1512, 0, nullptr},
        {"table inside the payload", end - 16, 16, 0, 1, "begins inside the payload"},
        {"table past the end", table_at, 1512, table_at - end + 100, 1, "runs past the end of the file"},
        // The signature covers neither the table nor what follows it.
        {"bytes after the table", table_at, 1512, table_at - end + 1512 + 8, 1, "8 bytes follow the certificate table"},
        {"empty table", table_at, 0, table_at - end, 1, "is empty"},
    };
    const nlohmann::json plain = inspect_json(unsigned_bytes, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = unsigned_bytes + std::string(c.appended, '\x30');
        set_certificate_directory(&bytes, c.offset, c.size);
        const nlohmann::json r = inspect_json(bytes, c.status);
        if (c.offset == 0) {
            EXPECT_TRUE(r.at("signature").is_null());
        } else {
            EXPECT_EQ(r.at("signature").at("offset"), c.offset);
            EXPECT_EQ(r.at("signature").at("size"), c.size);
        }
        ASSERT_EQ(r.at("entries").size(), plain.at("entries").size());
        for (size_t i = 0; i < plain.at("entries").size(); ++i) {
            EXPECT_EQ(r.at("entries").at(i).at("checksum"), plain.at("entries").at(i).at("checksum")) << i;
            EXPECT_EQ(r.at("entries").at(i).at("verified"), plain.at("entries").at(i).at("verified")) << i;
        }
        if (c.complaint) {
            EXPECT_NE(last.err.find(c.complaint), std::string::npos) << last.err;
        }
    }
    EXPECT_TRUE(plain.at("signature").is_null());  // no PE headers at all
}

TEST_F(InspectTest, FlagsEveryEntryTheUpdaterWouldRefuseToWrite)
{
    PayloadLayout layout;
    layout.entries = {{"KXQ.hvl", hash_list_bytes(2, {{"Archive\\a.arc", reference_checksum("a")}})},
                      {"a.arc", "a"},
                      {"Archive\\A.ARC.", "2"},      // unlisted: installs under its name, onto Archive\a.arc
                      {"uninst.lst.new", "3"},
                      {"nul.txt", "4"},
                      {"fine.arc", "5"}};
    const nlohmann::json r = inspect_json(payload_bytes(layout), 1);
    const nlohmann::json& entries = r.at("entries");
    for (size_t i : {0u, 1u, 5u})
        EXPECT_TRUE(entries.at(i).at("problem").is_null()) << i;
    EXPECT_EQ(entries.at(2).at("problem").at("rule").get<std::string>(), "shares-file");
    EXPECT_EQ(entries.at(2).at("problem").at("entry"), 1);
    EXPECT_EQ(entries.at(3).at("problem").at("rule").get<std::string>(), "list-file");
    EXPECT_TRUE(entries.at(3).at("problem").at("entry").is_null());
    EXPECT_EQ(entries.at(4).at("problem").at("rule").get<std::string>(), "refused-name");
    EXPECT_NE(last.err.find("refuses entry uninst.lst.new"), std::string::npos) << last.err;

    const ToolRun text = inspect(payload_bytes(layout), false);
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("refused: names on Windows the same file as another entry, or that entry's "
                            "temporary or kept copy (entry 1, a.arc)"), std::string::npos) << text.out;
}

TEST_F(InspectTest, ControlCharactersInNamesAreShownEscaped)
{
    PayloadLayout layout;
    layout.caption = "caption\x1b[2J";
    layout.entries = {{"KXQ.hvl", hash_list_bytes(2, {{"\x1b]0;x\x07.arc", reference_checksum("a")}})},
                      {"\x1b]0;x\x07.arc", "a"}, {"a\x80" "b.arc", "b"}};
    const ToolRun run = inspect(payload_bytes(layout), false);
    for (const std::string& raw : {std::string("\x1b"), std::string("\x07"), std::string("\xc2\x80")}) {
        EXPECT_EQ(run.out.find(raw), std::string::npos) << run.out;
        EXPECT_EQ(run.err.find(raw), std::string::npos) << run.err;
    }
    for (const std::string& shown : {std::string("caption\\x1b[2J"), std::string("\\x1b]0;x\\x07.arc"),
                                     std::string("a\\u0080b.arc")})
        EXPECT_NE(run.out.find(shown), std::string::npos) << shown << "\n" << run.out;
    // The JSON report carries the same names, escaped as JSON escapes them.
    const nlohmann::json r = inspect_json(payload_bytes(layout), run.status);
    EXPECT_EQ(last.out.find("\xc2\x80"), std::string::npos) << last.out;
    EXPECT_EQ(r.at("entries").at(2).at("name"), "a\xc2\x80" "b.arc");
}

TEST(PatchtoolCommandLine, HelpAndUsageLines)
{
    const std::string tool = built_program("tools/patchtool/patchtool");
    const ToolRun help = run_tool(tool, {"help", "inspect"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("inspect [--json] FILE"), std::string::npos);
    EXPECT_EQ(run_tool(tool, {"checksum", "--help"}).status, 0);
    // A command's help lists each option with what it does; a usage error
    // names the command and shows its usage line.
    const ToolRun build_help = run_tool(tool, {"build", "--help"});
    EXPECT_EQ(build_help.status, 0);
    EXPECT_NE(build_help.out.find("--index-form"), std::string::npos) << build_help.out;
    EXPECT_NE(build_help.out.find("names up to 95 bytes"), std::string::npos) << build_help.out;
    const ToolRun bad_value = run_tool(tool, {"build", "--index-form", "64", "--stub", "s", "--out", "o", "src"});
    EXPECT_NE(bad_value.err.find("patchtool build: --index-form"), std::string::npos) << bad_value.err;
    EXPECT_NE(bad_value.err.find("usage: patchtool build"), std::string::npos) << bad_value.err;
}

}  // namespace
