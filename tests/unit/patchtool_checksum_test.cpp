#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

ToolRun checksum(const std::vector<std::string>& files)
{
    std::vector<std::string> args = {"checksum"};
    args.insert(args.end(), files.begin(), files.end());
    return run_tool(built_program("tools/patchtool/patchtool"), args);
}

TEST(PatchtoolChecksum, WorkedExamples)
{
    TempDir dir;
    const std::pair<std::string, std::string> examples[] = {
        {"", "0000000000000000"},
        {"a", "6100000061616161"},
        {"abc", "06b4500012cc2660"},
        {"\xFF", "ff000000ffffffff"},
        {std::string(8, '\xFF'), "9814fa793cc0f800"},
        {std::string(100000, '\0'), "0000000000000000"},
    };
    std::vector<std::string> files;
    std::string expected;
    for (size_t i = 0; i < sizeof examples / sizeof examples[0]; ++i) {
        const std::string path = dir.host("example" + std::to_string(i));
        write_host_file(path, examples[i].first);
        files.push_back(path);
        expected += examples[i].second + "  " + path + "\n";
    }
    const ToolRun run = checksum(files);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
}

TEST(PatchtoolChecksum, AgreesWithTheIndependentReferenceOnRandomFiles)
{
    TempDir dir;
    std::mt19937 random(20261208);
    // Sizes around the 1 MiB read size and several MiB in all.
    const size_t sizes[] = {0, 1, 2, 255, 4096, 0xFFFFF, 0x100000, 0x100001, 0x234567};
    std::vector<std::string> files;
    for (size_t size : sizes) {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        files.push_back(dir.host("random" + std::to_string(size)));
        write_host_file(files.back(), bytes);
    }
    const ToolRun ours = checksum(files);
    std::vector<std::string> args = {std::string(std::getenv("UPDATER_SOURCE_DIR")) + "/tests/tools/checksum_reference.py"};
    args.insert(args.end(), files.begin(), files.end());
    const ToolRun reference = run_tool("python3", args);
    ASSERT_EQ(reference.status, 0) << reference.err;
    EXPECT_EQ(ours.status, 0) << ours.err;
    EXPECT_EQ(ours.out, reference.out);
    EXPECT_EQ(std::count(ours.out.begin(), ours.out.end(), '\n'), static_cast<long>(files.size()));
}

TEST(PatchtoolChecksum, UnreadableFileIsReportedAfterTheOthers)
{
    TempDir dir;
    write_host_file(dir.host("a"), "a");
    write_host_file(dir.host("b"), "abc");
    const ToolRun run = checksum({dir.host("a"), dir.host("missing"), dir.host("b")});
    EXPECT_EQ(run.out, "6100000061616161  " + dir.host("a") + "\n06b4500012cc2660  " + dir.host("b") + "\n");
    EXPECT_NE(run.err.find(dir.host("missing")), std::string::npos) << run.err;
}

TEST(PatchtoolChecksum, JapaneseFileNamesAreFound)
{
    TempDir dir;
    const std::string name = dir.host("\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.arc");  // ソフト.arc
    write_host_file(name, "abc");
    const ToolRun run = checksum({name});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "06b4500012cc2660  " + name + "\n");
}

}  // namespace
