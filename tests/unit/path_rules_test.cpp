// The path rules the updater and the builder share: which names Windows
// refuses or opens as devices, the collision key (which file Windows opens for
// a path), and the check of all an update's targets together.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "path_rules/target_rules.h"
#include "platform/windows_names.h"

namespace {

TEST(WindowsNames, RefusedCharactersAndDeviceNames)
{
    struct Case {
        const char* path;
        WindowsNameProblem problem;
    };
    const Case cases[] = {
        {"data01.arc", WINDOWS_NAME_OK},
        {"a<b", WINDOWS_NAME_CHARACTER}, {"a>b", WINDOWS_NAME_CHARACTER}, {"a:b", WINDOWS_NAME_CHARACTER},
        {"a\"b", WINDOWS_NAME_CHARACTER}, {"a|b", WINDOWS_NAME_CHARACTER}, {"a?b", WINDOWS_NAME_CHARACTER},
        {"a*b", WINDOWS_NAME_CHARACTER}, {"a\x01" "b", WINDOWS_NAME_CHARACTER}, {"a\x1f" "b", WINDOWS_NAME_CHARACTER},
        {"Archive\\a|b\\x.arc", WINDOWS_NAME_CHARACTER},
        {"\x83\x7c.arc", WINDOWS_NAME_OK},      // ポ: its trail byte is "|"
        {"\x83\x22.arc", WINDOWS_NAME_OK},      // a lead byte takes the quote as its trail byte
        {"a\x7f" "b", WINDOWS_NAME_OK},
        {"NUL", WINDOWS_NAME_DEVICE}, {"nul.txt", WINDOWS_NAME_DEVICE}, {"Archive\\NUL .arc", WINDOWS_NAME_DEVICE},
        {"NUL.", WINDOWS_NAME_DEVICE}, {"con", WINDOWS_NAME_DEVICE}, {"PRN", WINDOWS_NAME_DEVICE},
        {"aux.a.b", WINDOWS_NAME_DEVICE}, {"COM1", WINDOWS_NAME_DEVICE}, {"com9.arc", WINDOWS_NAME_DEVICE},
        {"LPT1", WINDOWS_NAME_DEVICE}, {"lpt9.x", WINDOWS_NAME_DEVICE}, {"CONIN$", WINDOWS_NAME_DEVICE},
        {"NULx", WINDOWS_NAME_OK}, {"COM0", WINDOWS_NAME_OK}, {"LPT", WINDOWS_NAME_OK}, {"xNUL", WINDOWS_NAME_OK},
        {"\x82\x6d\x82\x74\x82\x6b", WINDOWS_NAME_OK},  // ＮＵＬ in full-width letters
        // CreateFileA looks a folder named like a device up as a folder.
        {"aux\\x.arc", WINDOWS_NAME_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(windows_path_problem(c.path), c.problem) << c.path;
}

// Two spellings name one file exactly when their keys are equal.
bool one_file(const char* a, const char* a_suffix, const char* b, const char* b_suffix = nullptr)
{
    TargetKey ka, kb;
    return target_key(&ka, a, a_suffix) && target_key(&kb, b, b_suffix) && target_keys_equal(ka, kb);
}

TEST(TargetKey, SpellingsOfOneFileAndOfDifferentFiles)
{
    struct Case {
        const char* a;
        const char* b;
        bool one;
    };
    const Case cases[] = {
        {"a.arc", "a.arc.", true},
        {"a.arc", "a.arc ", true},
        {"a.arc", "a.arc. .", true},
        {"a.arc", "A.ARC", true},
        {"Archive\\x.arc", "Archive\\\\x.arc", true},
        {"Archive\\x.arc", "Archive/x.arc", true},
        {"Archive\\x.arc", ".\\Archive\\.\\x.arc", true},
        {"Archive\\x.arc", "Archive.\\x.arc", true},
        {"\x81\xe6.arc", "\x87\x9a.arc", true},   // ∵ has two codes
        {"\x82\x60.arc", "\x82\x81.arc", true},   // Ａ and ａ
        {"\x83\x9f.arc", "\x83\xbf.arc", true},   // Greek Α and α
        {"a.arc", "a.arc.tmp", false},
        {"a..b", "a.b", false},
        {"\x83\x5c.arc", "\x83/.arc", false},     // ソ against a lead byte before "/"
        {"Archive\\x.arc", "x.arc", false},
        {" a.arc", "a.arc", false},               // leading spaces stay
    };
    for (const Case& c : cases) {
        EXPECT_EQ(one_file(c.a, nullptr, c.b), c.one) << c.a << " / " << c.b;
        EXPECT_EQ(one_file(c.b, nullptr, c.a), c.one) << c.b << " / " << c.a;
    }
    // A temporary file is the target's name with ".tmp", trimmed as a whole.
    EXPECT_TRUE(one_file("Archive\\data01.arc", ".tmp", "Archive\\.\\data01.arc.tmp"));
    EXPECT_FALSE(one_file("a.arc.", ".tmp", "a.arc.tmp"));
}

TEST(TargetKey, PathsThatNameNoFileHaveNoKey)
{
    for (const char* path : {"", "Archive\\", "Archive\\.", ".", " ", ". ", "a\\ \\b", "\\"}) {
        TargetKey key;
        EXPECT_FALSE(target_key(&key, path, nullptr)) << "[" << path << "]";
    }
}

TEST(TargetRules, EveryEntryGetsTheFirstRuleItBreaks)
{
    struct Case {
        const char* what;
        std::vector<const char*> paths;
        std::vector<TargetVerdict> verdicts;
    };
    const TargetVerdict ok = {PATH_OK, 0};
    const std::string too_long(256, 'p');
    const Case cases[] = {
        {"distinct files", {"a.arc", "Archive\\a.arc", nullptr, nullptr}, {ok, ok, ok, ok}},
        {"a trailing dot", {"a.arc", "b.arc", "A.arc."}, {ok, ok, {PATH_SHARES_FILE, 0}}},
        {"a file and its temporary name", {"Archive\\a.arc.tmp", "Archive\\a.arc"}, {ok, {PATH_SHARES_FILE, 0}}},
        {"the third meets the second", {"x.arc", "a.arc", "a.arc", "a.arc "},
         {ok, ok, {PATH_SHARES_FILE, 1}, {PATH_SHARES_FILE, 1}}},
        {"list files", {"KXQ.hvl.new", "uninst.lst.NEW", ".\\KXQ.hvl", "KXQ.hvl ", "Archive\\KXQ.hvl.new"},
         {{PATH_LIST_FILE, 0}, {PATH_LIST_FILE, 0}, {PATH_LIST_FILE, 0}, {PATH_LIST_FILE, 0}, ok}},
        {"unsafe paths", {"..\\x", "NUL.arc", "a?b", "Archive\\", too_long.c_str()},
         {{PATH_LEAVES_FOLDER, 0}, {PATH_REFUSED_NAME, 0}, {PATH_REFUSED_NAME, 0}, {PATH_NAMES_FOLDER, 0},
          {PATH_TOO_LONG, 0}}},
        {"a refused entry writes nothing to meet", {"a.arc:s", "a.arc"}, {{PATH_LEAVES_FOLDER, 0}, ok}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TargetVerdict> got(c.paths.size());
        const bool all_ok = check_targets(c.paths.data(), static_cast<uint32_t>(c.paths.size()), got.data());
        bool want_ok = true;
        for (size_t j = 0; j < c.paths.size(); ++j) {
            EXPECT_EQ(got[j].problem, c.verdicts[j].problem) << j;
            EXPECT_EQ(got[j].other, c.verdicts[j].other) << j;
            want_ok = want_ok && c.verdicts[j].problem == PATH_OK;
        }
        EXPECT_EQ(all_ok, want_ok);
    }
}

}  // namespace
