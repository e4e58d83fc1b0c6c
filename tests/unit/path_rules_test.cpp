// The path rules the updater and the builder share: the paths that have no
// collision key, and the check of all an update's targets together. Which
// spellings name one file, and which names Windows refuses, are checked
// against the real calls under Wine (tests/win32/windows_names_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "path_rules/target_rules.h"

namespace {

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
    const std::string too_long(255, 'p');
    const Case cases[] = {
        {"distinct files", {"a.arc", "Archive\\a.arc", nullptr, nullptr}, {ok, ok, ok, ok}},
        {"a trailing dot", {"a.arc", "b.arc", "A.arc."}, {ok, ok, {PATH_SHARES_FILE, 0}}},
        {"a file and its temporary name", {"Archive\\a.arc.tmp", "Archive\\a.arc"}, {ok, {PATH_SHARES_FILE, 0}}},
        {"a file and its kept copy", {"a.arc", "A.arc.PREV"}, {ok, {PATH_SHARES_FILE, 0}}},
        {"the third meets the second", {"x.arc", "a.arc", "a.arc", "a.arc "},
         {ok, ok, {PATH_SHARES_FILE, 1}, {PATH_SHARES_FILE, 1}}},
        {"list files", {"KXQ.hvl.new", "uninst.lst.NEW", ".\\KXQ.hvl", "KXQ.hvl ", "Archive\\KXQ.hvl.new", "UNINST.LST."},
         {{PATH_LIST_FILE, 0}, {PATH_LIST_FILE, 0}, {PATH_LIST_FILE, 0}, {PATH_LIST_FILE, 0}, ok, {PATH_LIST_FILE, 0}}},
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
