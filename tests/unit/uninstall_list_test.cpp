#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "uninstall_list/text_convert.h"
#include "uninstall_list/uninstall_list.h"

namespace {

// The merge as the format describes it, with none of the shortcuts: a text
// converted only when it is well-formed UTF-8 (its byte-order mark dropped),
// every line end found by two searches over code page 932 characters, every
// candidate compared with every entry, the output grown by doubling from
// 64 KiB. Quadratic, so for small inputs only.
namespace literal {

void append(std::vector<std::string>* list, const char* entry)
{
    for (const std::string& existing : *list) {
        if (text_compare(existing.c_str(), entry) == 0)
            return;
    }
    list->push_back(entry);
}

void parse(std::vector<std::string>* main_list, std::vector<std::string>* dollar_list, const char* text)
{
    const char* p = text;
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '\0')
            break;
        const char* cr = find_char(p, '\r', TEXT_MODE_SJIS);
        const char* lf = find_char(p, '\n', TEXT_MODE_SJIS);
        const char* end = p + std::strlen(p);
        if (cr && cr < end)
            end = cr;
        if (lf && lf < end)
            end = lf;
        if (end != p) {
            std::vector<char> line(p, end);
            line.push_back('\0');
            to_lower_in_mode(line.data(), TEXT_MODE_SJIS);
            append(line[0] == '$' ? dollar_list : main_list, line.data());
        }
        p = end;
        while (*p == '\r' || *p == '\n')
            ++p;
    }
}

std::string write(const std::vector<std::string>* const* lists, size_t count)
{
    size_t capacity = 65536;
    std::unique_ptr<char[]> out(new char[capacity]);
    size_t used = 0;
    out[0] = '\0';
    for (size_t i = 0; i < count; ++i) {
        for (const std::string& entry : *lists[i]) {
            while (entry.size() + used + 2 > capacity) {
                std::unique_ptr<char[]> bigger(new char[capacity * 2]);
                std::memcpy(bigger.get(), out.get(), used + 1);
                out = std::move(bigger);
                capacity *= 2;
            }
            std::memcpy(out.get() + used, entry.c_str(), entry.size());
            used += entry.size();
            out[used++] = '\n';
            out[used] = '\0';
        }
    }
    return std::string(out.get(), used + 1);
}

// The rewritten file for `file` (its raw bytes), or "" when the merge fails.
std::string merge(const std::string& file, const std::vector<std::string>& paths)
{
    if (file.empty())
        return "";
    std::string text = file.c_str();
    if (detect_text_mode(text.c_str()) == TEXT_MODE_UTF8 && is_well_formed_utf8(text.c_str())) {
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            text.erase(0, 3);
        std::unique_ptr<uint16_t[]> wide(to_wide(nullptr, text.c_str()));
        std::unique_ptr<char[]> narrow(wide ? to_narrow(nullptr, wide.get(), TEXT_MODE_SJIS) : nullptr);
        if (!narrow)
            return "";
        text = narrow.get();
    }
    std::vector<std::string> main_list, dollar_list;
    parse(&main_list, &dollar_list, text.c_str());
    for (const std::string& path : paths) {
        std::vector<char> entry(path.begin(), path.end());
        entry.push_back('\0');
        to_lower_in_mode(entry.data(), TEXT_MODE_SJIS);
        append(&main_list, entry.data());
    }
    const std::vector<std::string>* lists[2] = {&main_list, &dollar_list};
    return write(lists, 2);
}

}  // namespace literal

std::string render(const std::string& text, const std::vector<std::string>& paths)
{
    UninstallEntryList main_list, dollar_list;
    parse_uninstall_list(&main_list, &dollar_list, text.c_str(), text.size());
    for (const std::string& path : paths) {
        std::string entry = path;
        to_lower_in_mode(&entry[0], TEXT_MODE_SJIS);
        append_if_absent(&main_list, entry);
    }
    const UninstallEntryList* lists[2] = {&main_list, &dollar_list};
    return render_uninstall_list(lists, 2);
}

class UninstallList : public ::testing::Test {
protected:
    void SetUp() override { fault_reset(); }
    void TearDown() override
    {
        fault_reset();
        os_set_normal_attributes(list_path().c_str());
    }
    std::string list_path() const { return dir.path() + "\\uninst.lst"; }
    std::string host_list() const { return dir.host("uninst.lst"); }
    bool merge(const std::vector<std::string>& paths)
    {
        std::vector<const char*> array;
        for (const std::string& p : paths)
            array.push_back(p.c_str());
        array.push_back(nullptr);
        return merge_uninstall_list(dir.path().c_str(), array.data());
    }
    TempDir dir;
};

struct MergeCase {
    const char* name;
    std::string file;
    std::vector<std::string> paths;
    std::string written;  // without the final NUL
};

const std::vector<std::string> DATA_AB = {"data\\a.arc", "data\\b.arc"};

TEST_F(UninstallList, MergesAndNormalises)
{
    // "ﾃｰﾏｿﾝｸﾞ" in code page 932 looks like three UTF-8 sequences: the list
    // is converted only when the whole of it is well-formed UTF-8.
    const std::string theme = "\xC3\xB0\xCF\xBF\xDD\xB8\xDE";
    const std::string data_932 = "\x83\x66\x81\x5B\x83\x5E";  // "データ"
    const std::string cut_cr = "\x82\xA0\n\xC3\xA9\xC3\xA9\xC3\xA9\xE0\x8D";
    const MergeCase cases[] = {
        {"lf", "Data\\A.arc\nsave\n", DATA_AB, "data\\a.arc\nsave\ndata\\b.arc\n"},
        {"crlf", "Data\\A.arc\r\nsave\r\n", DATA_AB, "data\\a.arc\nsave\ndata\\b.arc\n"},
        {"cr", "Data\\A.arc\rsave\r", DATA_AB, "data\\a.arc\nsave\ndata\\b.arc\n"},
        {"mixed ends", "a\r\r\n\nb\n\rc", {}, "a\nb\nc\n"},
        {"dollar lines last", "$Dir1\n$dir0\nfile\n", {"New"}, "file\nnew\n$dir1\n$dir0\n"},
        {"case duplicates", "Save\nother\nSAVE\nsave\n", {}, "save\nother\n"},
        {"leading blanks", "  \tfile\n\t$d\n", {}, "file\n$d\n"},
        {"trailing blanks kept", "file \nfile\nfile\t\n", {}, "file \nfile\nfile\t\n"},
        {"empty and blank lines", "\n   \n\t\nfile\n\n \t\r\n", {}, "file\n"},
        {"sjis trail bytes stay", "\x83\x41\x83Z.DAT\n", {}, "\x83\x41\x83Z.dat\n"},
        {"sjis lead takes lf", "\x83\nX\n", {}, "\x83\nx\n"},
        {"sjis trail after utf8-like bytes stays", "\x82\xA0\n\xE0\x9F\x81" "A\n", {}, "\x82\xA0\n\xE0\x9F\x81" "A\n"},
        {"one nul byte", std::string("\0", 1), {"A"}, "a\n"},
        {"after the first nul", std::string("keep\n\0lost\n", 11), {}, "keep\n"},
        {"payload listed in other case", "Data\\A.arc\n", {"DATA\\A.ARC", "new", "NEW"}, "data\\a.arc\nnew\n"},
        {"payload dollar is main", "x\n$d\n", {"$Pay"}, "x\n$pay\n$d\n"},
        {"payload not trimmed", "x\n", {" y"}, "x\n y\n"},
        {"no payload", "B\nA\nb\n", {}, "b\na\n"},
        {"last line without end", "a\nb", {}, "a\nb\n"},
        {"overlong cr is sjis and stays", "\x82\xA0x\n\xE0\x80\x8D" "abc\n", {}, "\x82\xA0x\n\xE0\x80\x8D" "abc\n"},
        {"overlong lf is sjis and stays", "\x82\xA0\nab\xE0\x80\x8A" "cd\n", {}, "\x82\xA0\nab\xE0\x80\x8A" "cd\n"},
        {"half-width katakana first", theme + "\\A.arc\n" + data_932 + "\\\x83\x41\x83\x43.ARC\n", {},
         theme + "\\a.arc\n" + data_932 + "\\\x83\x41\x83\x43.arc\n"},
        {"utf8 with a byte-order mark", "\xEF\xBB\xBF" "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF.ARC\nSave\n", {},
         data_932 + ".arc\nsave\n"},
        {"a byte-order mark alone", "\xEF\xBB\xBF", {"A"}, "a\n"},
        {"payload path lowered as sjis", "x\n", {"\xE0\x9F\x81" "A"}, "x\n\xE0\x9F\x81" "A\n"},
        {"sequence cut by the end is no cr", cut_cr, {}, cut_cr + "\n"},
    };
    for (const MergeCase& c : cases) {
        write_host_file(host_list(), c.file);
        ASSERT_TRUE(merge(c.paths)) << c.name;
        std::string expected = c.written + std::string("\0", 1);
        EXPECT_EQ(expected, read_host_file(host_list())) << c.name;
        EXPECT_EQ(expected, literal::merge(c.file, c.paths)) << c.name;
        EXPECT_FALSE(host_file_exists(dir.host("uninst.lst.new"))) << c.name;
    }
}

TEST_F(UninstallList, Utf8FileIsWrittenInCodePage932)
{
    // "データ\アイ.ARC" in UTF-8, then an ASCII line.
    write_host_file(host_list(), "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\\\xE3\x82\xA2\xE3\x82\xA4.ARC\nSave\n");
    ASSERT_TRUE(merge({"\x83\x41.arc"}));
    EXPECT_EQ(std::string("\x83\x66\x81\x5B\x83\x5E\\\x83\x41\x83\x43.arc\nsave\n\x83\x41.arc\n") + '\0',
              read_host_file(host_list()));
}

TEST_F(UninstallList, LongLinesAndPathsStayWhole)
{
    std::string line(2000, 'X');
    std::string path = "dir\\" + std::string(1500, 'p');
    write_host_file(host_list(), line + "\n" + "$" + line + "\r\n");
    ASSERT_TRUE(merge({path}));
    std::string lowered(2000, 'x');
    EXPECT_EQ(lowered + "\n" + path + "\n$" + lowered + "\n" + std::string("\0", 1), read_host_file(host_list()));
}

TEST_F(UninstallList, TextPast64KibIsWrittenWhole)
{
    std::string file, expected;
    for (int i = 0; i < 12000; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "Archive\\Data%05d.arc\n", i);
        file += line;
        for (char* p = line; *p; ++p)
            *p = static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p + 0x20 : *p);
        expected += line;
    }
    ASSERT_GT(expected.size(), 131072u);
    write_host_file(host_list(), file);
    ASSERT_TRUE(merge({}));
    EXPECT_EQ(expected + std::string("\0", 1), read_host_file(host_list()));
}

TEST_F(UninstallList, MissingOrEmptyFileFails)
{
    EXPECT_FALSE(merge({"a"}));
    EXPECT_FALSE(host_file_exists(host_list()));
    write_host_file(host_list(), "");
    EXPECT_FALSE(merge({"a"}));
    EXPECT_EQ("", read_host_file(host_list()));
    EXPECT_FALSE(host_file_exists(dir.host("uninst.lst.new")));
}

TEST_F(UninstallList, FolderTooLongForThePathFails)
{
    std::string folder = dir.path() + "\\" + std::string(800, 'd');
    const char* paths[] = {"a", nullptr};
    EXPECT_FALSE(merge_uninstall_list(folder.c_str(), paths));
}

TEST_F(UninstallList, ReadOnlyListFailsAndKeepsItsContent)
{
    write_host_file(host_list(), "Old\n");
    ASSERT_TRUE(os_set_readonly(list_path().c_str()));
    EXPECT_FALSE(merge({"new"}));
    EXPECT_EQ("Old\n", read_host_file(host_list()));
    EXPECT_FALSE(host_file_exists(dir.host("uninst.lst.new")));
}

TEST_F(UninstallList, FailedOrShortWriteKeepsTheOldList)
{
    const struct { const char* name; FaultOperation op; FaultEffect effect; } cases[] = {
        {"create fails", FAULT_CREATE_WRITE, FAULT_FAIL},
        {"write fails", FAULT_WRITE, FAULT_FAIL},
        {"write is short", FAULT_WRITE, FAULT_SHORT},
        {"flush fails", FAULT_FLUSH, FAULT_FAIL},
        {"move fails", FAULT_MOVE, FAULT_FAIL},
    };
    for (const auto& c : cases) {
        write_host_file(host_list(), "Old\nlines\n");
        fault_reset();
        fault_arm(c.op, 1, c.effect);
        EXPECT_FALSE(merge({"new"})) << c.name;
        EXPECT_TRUE(fault_fired()) << c.name;
        fault_reset();
        EXPECT_EQ("Old\nlines\n", read_host_file(host_list())) << c.name;
        EXPECT_FALSE(host_file_exists(dir.host("uninst.lst.new"))) << c.name;
    }
}

TEST_F(UninstallList, ShortReadFailsAndKeepsEveryEntry)
{
    write_host_file(host_list(), "first\nsecond\n");  // 13 bytes: 6 arrive
    fault_arm(FAULT_READ, 1, FAULT_SHORT);
    EXPECT_FALSE(merge({"new"}));
    EXPECT_TRUE(fault_fired());
    EXPECT_EQ("first\nsecond\n", read_host_file(host_list()));
}

TEST_F(UninstallList, FailedReadFailsTheMerge)
{
    write_host_file(host_list(), "first\n");
    fault_arm(FAULT_READ, 1, FAULT_FAIL);
    EXPECT_FALSE(merge({"new"}));
    EXPECT_EQ("first\n", read_host_file(host_list()));
}

TEST_F(UninstallList, StaleSiblingIsReplaced)
{
    write_host_file(host_list(), "a\n");
    write_host_file(dir.host("uninst.lst.new"), "stale stale stale\n");
    ASSERT_TRUE(merge({"b"}));
    EXPECT_EQ(std::string("a\nb\n\0", 5), read_host_file(host_list()));
    EXPECT_FALSE(host_file_exists(dir.host("uninst.lst.new")));
}

TEST(UninstallEntryList, FirstOccurrenceWins)
{
    UninstallEntryList list;
    EXPECT_TRUE(append_if_absent(&list, "b"));
    EXPECT_TRUE(append_if_absent(&list, "a"));
    EXPECT_FALSE(append_if_absent(&list, "b"));
    EXPECT_TRUE(append_if_absent(&list, "B"));  // no folding here
    EXPECT_TRUE(append_if_absent(&list, "b "));
    const std::vector<std::string> expected = {"b", "a", "B", "b "};
    EXPECT_EQ(expected, std::vector<std::string>(list.entries.begin(), list.entries.end()));
}

TEST(UninstallEntryList, EntriesStayReadableAsTheListGrows)
{
    // Enough entries to fill several blocks and grow the table many times,
    // and one entry larger than a block.
    UninstallEntryList list;
    const std::string huge(300000, 'h');
    for (int i = 0; i < 40000; ++i)
        ASSERT_TRUE(append_if_absent(&list, "entry\\" + std::to_string(i) + std::string(i % 17, 'x')));
    ASSERT_TRUE(append_if_absent(&list, huge));
    ASSERT_TRUE(append_if_absent(&list, ""));
    for (int i = 0; i < 40000; ++i)
        ASSERT_FALSE(append_if_absent(&list, "entry\\" + std::to_string(i) + std::string(i % 17, 'x')));
    EXPECT_FALSE(append_if_absent(&list, huge));
    EXPECT_FALSE(append_if_absent(&list, ""));
    ASSERT_EQ(40002u, list.entries.size());
    for (int i = 0; i < 40000; i += 997)
        EXPECT_EQ("entry\\" + std::to_string(i) + std::string(i % 17, 'x'), list.entries[i]);
    EXPECT_EQ(huge, list.entries[40000]);
    EXPECT_EQ("", list.entries[40001]);
}

TEST(ParseUninstallList, StopsAtTheFirstNulAndSplitsGroups)
{
    UninstallEntryList main_list, dollar_list;
    const char text[] = "A\n$B\n\0C\n";
    parse_uninstall_list(&main_list, &dollar_list, text, sizeof text - 1);
    EXPECT_EQ(std::vector<std::string>{"a"}, std::vector<std::string>(main_list.entries.begin(), main_list.entries.end()));
    EXPECT_EQ(std::vector<std::string>{"$b"},
              std::vector<std::string>(dollar_list.entries.begin(), dollar_list.entries.end()));
}

TEST(RenderUninstallList, EmptyListsGiveOneNul)
{
    UninstallEntryList a, b;
    const UninstallEntryList* lists[2] = {&a, &b};
    EXPECT_EQ(std::string("\0", 1), render_uninstall_list(lists, 2));
}

// Random texts from pieces that reach every rule: blanks, each line end,
// "$", letters of both cases, Shift-JIS pairs (with trail bytes that look like
// capitals or line ends), valid and overlong UTF-8, surrogate forms, stray bytes.
std::string random_text(std::mt19937* rng, bool utf8_only)
{
    static const char* const pieces[] = {
        "a", "A", "b", "B", "z", "Z", "\\", ".", " ", "\t", "\r", "\n", "\r\n", "$",
        "\xC3\xA9", "\xE3\x82\xA2", "\xF0\x9F\x98\x80", "\xED\xA0\xBD\xED\xB8\x80", "\xE0\x80\x8D",
        "\xE0\x80\x8A", "\xE0\x9F\x81", "\xEF\xBD\xB1",
        // Not UTF-8 from here on.
        "\x83\x41", "\x83Z", "\x82\xA0", "\x83", "\x80", "\xB1", "\xFF", "\xC0\x8A", "\xE3\x81", "\xFE",
    };
    const size_t utf8_count = 22;
    std::uniform_int_distribution<size_t> length(0, 40);
    std::uniform_int_distribution<size_t> pick(0, utf8_only ? utf8_count - 1 : sizeof pieces / sizeof pieces[0] - 1);
    std::string text;
    for (size_t i = length(*rng); i > 0; --i)
        text += pieces[pick(*rng)];
    return text;
}

std::vector<std::string> random_paths(std::mt19937* rng)
{
    std::vector<std::string> paths;
    std::uniform_int_distribution<int> count(0, 3);
    for (int i = count(*rng); i > 0; --i) {
        std::string path = random_text(rng, false);
        paths.push_back(path.substr(0, path.find_first_of("\r\n")));
    }
    return paths;
}

TEST(UninstallListEquivalence, ParseMatchesTheLiteralMerge)
{
    std::mt19937 rng(20240611);
    for (int i = 0; i < 4000; ++i) {
        std::string text = random_text(&rng, false);
        std::vector<std::string> paths = random_paths(&rng);
        // The literal merge converts a UTF-8 file; compare before that step.
        std::vector<std::string> main_list, dollar_list;
        literal::parse(&main_list, &dollar_list, text.c_str());
        for (const std::string& path : paths) {
            std::string entry = path;
            to_lower_in_mode(&entry[0], TEXT_MODE_SJIS);
            literal::append(&main_list, entry.c_str());
        }
        const std::vector<std::string>* lists[2] = {&main_list, &dollar_list};
        ASSERT_EQ(literal::write(lists, 2), render(text, paths)) << "case " << i;
    }
}

TEST_F(UninstallList, MergeMatchesTheLiteralMergeOnRandomFiles)
{
    std::mt19937 rng(777);
    for (int i = 0; i < 120; ++i) {
        std::string file = random_text(&rng, i % 2 == 0) + "x";
        std::vector<std::string> paths = random_paths(&rng);
        write_host_file(host_list(), file);
        std::string expected = literal::merge(file, paths);
        ASSERT_FALSE(expected.empty());
        ASSERT_TRUE(merge(paths)) << "case " << i;
        ASSERT_EQ(expected, read_host_file(host_list())) << "case " << i;
    }
}

}  // namespace
