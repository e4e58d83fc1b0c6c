// patchtool's one exit-code rule, command by command: 2 for a usage error or
// input refused before any work, 1 for a failure of the work itself.
#include <filesystem>
#include <iterator>
#include <sstream>

#include "support/install_fixture.h"
#include "support/tool_run.h"

namespace {

TEST(PatchtoolExitCodes, UsageAndRefusedInputExitTwoFailedWorkExitsOne)
{
    TempDir temp;
    const std::string missing = temp.host("missing"), folder = temp.host("folder"), file = temp.host("file");
    const std::string damaged = temp.host("damaged.exe"), game = temp.host("game"), big = temp.host("big");
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(game);
    write_host_file(file, "not an updater");
    write_host_file(big, "");
    std::filesystem::resize_file(big, (static_cast<uint64_t>(1) << 32) + 1);
    write_host_file(damaged, updater_file({{"a.arc", "a"}}, 128, 2));
    write_host_file(game + "/KXQ.hvl", hash_list_file(2, {{"a.arc", checksum_of("a")}}));
    const std::string options = " --caption c --out " + temp.host("out.exe"), build = "build --stub " + file + options;
    const std::pair<std::string, int> cases[] = {  // arguments split at spaces, exit code
        {"", 2}, {"no-such-command", 2}, {"help no-such-command", 2},
        {"checksum", 2}, {"checksum " + missing, 2}, {"checksum " + folder, 2}, {"checksum " + big, 2},
        {"inspect --bogus " + file, 2}, {"inspect " + missing, 2}, {"inspect " + file, 2}, {"inspect " + damaged, 1},
        {"verify " + missing, 2}, {"verify " + file, 2}, {"verify " + game, 1},
        {build, 2}, {build + " " + missing, 2}, {build + " --base " + missing + " " + folder, 2},
        {build + " --base " + file + " " + folder, 2}, {"build --stub " + missing + options + " " + folder, 2},
        {"build --index-form 64 --stub " + file + options + " " + folder, 2}, {"apply " + damaged, 2},
    };
    for (const auto& c : cases) {
        std::istringstream words(c.first);
        const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
        const ToolRun run = run_tool(built_program("tools/patchtool/patchtool"), args);
        EXPECT_EQ(run.status, c.second) << c.first << "\n" << run.err;
        EXPECT_FALSE(run.out.empty() && run.err.empty()) << c.first;  // always says why
    }
}

}  // namespace
