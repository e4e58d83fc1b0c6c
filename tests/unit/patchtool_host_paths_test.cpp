// The folders a publisher names are host paths: only the paths inside a
// release or an installation follow the updater's rules.
#include <filesystem>

#include "support/install_fixture.h"
#include "support/payload_bytes.h"
#include "support/tool_run.h"

namespace {

// A new user's folder ~/リリース/andré/ci:2024 under a CI workspace whose names
// hold what Windows refuses and an emoji, more than 300 bytes deep; the
// release folder ends in a dot beside a decoy without it.
TEST(PatchtoolHostPaths, EveryCommandWorksUnderADeepFolderOfAnyName)
{
    TempDir temp;
    std::string deep = temp.path() + "/ci-2024-01-01T10:00 ?|\" \xF0\x9F\x8E\xAE";
    while (deep.size() < 300)
        deep += "/" + std::string(60, 'w');
    deep += "/\xE3\x83\xAA\xE3\x83\xAA\xE3\x83\xBC\xE3\x82\xB9/andr\xC3\xA9/ci:2024";
    const std::string release = deep + "/1.02.", game = deep + "/game", out = deep + "/update.exe";
    for (const std::string& folder : {release + "/Archive", deep + "/1.02/Archive", game + "/Archive"})
        std::filesystem::create_directories(folder);
    write_host_file(release + "/Archive/data.arc", "new data");
    write_host_file(deep + "/1.02/Archive/data.arc", "decoy");
    write_host_file(deep + "/stub.exe", std::string(4096, 'M'));
    write_host_file(game + "/Archive/data.arc", "old data");
    write_host_file(game + "/uninst.lst", "game.exe\n");
    write_host_file(game + "/KXQ.hvl", hash_list_file(2, {{"Archive\\data.arc", checksum_of("old data")}}));
    const std::pair<std::vector<std::string>, std::string> steps[] = {  // arguments, what the output says
        {{"build", "--stub", deep + "/stub.exe", "--caption", "c", "--out", out, release}, "wrote " + out},
        {{"inspect", out}, "ok"},
        {{"verify", game}, "1 of 1 records match"},
        {{"apply", "--dry-run", out, game}, "changed  Archive\\data.arc"},
        {{"apply", out, game}, "UPDATE_OK"},
        {{"checksum", game + "/Archive/data.arc"}, hex_of(checksum_of("new data"))},
    };
    for (const auto& step : steps) {
        const ToolRun run = run_tool(built_program("tools/patchtool/patchtool"), step.first);
        EXPECT_EQ(run.status, 0) << step.first[0] << "\n" << run.out << run.err;
        EXPECT_NE(run.out.find(step.second), std::string::npos) << step.first[0] << "\n" << run.out;
    }
}

}  // namespace
