// Patches built against earlier releases, as a publisher ships them over
// three releases: v2 against v1's installed list, then one cumulative v3 built
// against the lists of both, which brings an installation of either release to
// exactly the v3 files.
#include <algorithm>
#include <filesystem>
#include <map>

#include <nlohmann/json.hpp>

#include "support/install_fixture.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;

const std::string VOICE = "Voice";

const FolderSnapshot V1 = {{"system.arc", "v1 system"},
                           {"Archive/data01.arc", "v1 data01"},
                           {"Archive/" + VOICE + "/voice.arc", "v1 voice"}};

FolderSnapshot with(FolderSnapshot tree, const FolderSnapshot& changes)
{
    for (const auto& change : changes)
        tree[change.first] = change.second;
    return tree;
}

const FolderSnapshot V2 = with(V1, {{"system.arc", "v2 system"}, {"Archive/data02.arc", "v2 data02"}});
const FolderSnapshot V3 = with(V2, {{"system.arc", "v3 system"},
                                    {"Archive/data01.arc", "v3 data01"},
                                    {"Archive/" + VOICE + "/voice2.arc", "v3 voice2"}});

// The game's own files of an installation: everything but its two lists.
FolderSnapshot game_files(const std::string& dir)
{
    FolderSnapshot files = snapshot_folder(dir);
    files.erase("KXQ.hvl");
    files.erase("uninst.lst");
    return files;
}

class ReleaseHistory : public ::testing::Test {
protected:
    void write_tree(const std::string& dir, const FolderSnapshot& tree)
    {
        for (const auto& file : tree) {
            fs::create_directories(fs::u8path(temp.host(dir + "/" + file.first)).parent_path());
            write_host_file(temp.host(dir + "/" + file.first), file.second);
        }
    }
    // An installation of v1 as its installer leaves it.
    void install_v1(const std::string& dir)
    {
        write_tree(dir, V1);
        std::vector<FixtureRecord> records;
        for (const auto& file : V1) {
            std::string path = file.first;
            std::replace(path.begin(), path.end(), '/', '\\');
            records.push_back({path, checksum_of(file.second)});
        }
        write_host_file(temp.host(dir + "/KXQ.hvl"), hash_list_file(2, records));
        // The installer lists every file it put there for the uninstaller.
        std::string uninst = "game.exe\r\n";
        for (const FixtureRecord& r : records)
            uninst += r.path + "\r\n";
        write_host_file(temp.host(dir + "/uninst.lst"), uninst);
    }
    ToolRun patchtool(const std::vector<std::string>& args)
    {
        return run_tool(built_program("tools/patchtool/patchtool"), args);
    }
    ToolRun build(const std::string& tree, const std::vector<std::string>& bases, const std::string& out,
                  const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {"build", "--stub", temp.host("stub.exe"), "--caption", "history",
                                         "--out", temp.host(out)};
        for (const std::string& base : bases) {
            args.push_back("--base");
            args.push_back(temp.host(base));
        }
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(temp.host(tree));
        return patchtool(args);
    }
    // Applies `patch` to the installation `dir`, which must then hold exactly
    // `tree`, list every file in KXQ.hvl with its checksum and in uninst.lst.
    void expect_brought_to(const std::string& patch, const std::string& dir, const FolderSnapshot& tree)
    {
        const ToolRun applied = patchtool({"apply", temp.host(patch), temp.host(dir)});
        ASSERT_EQ(applied.status, 0) << applied.out << applied.err;
        EXPECT_EQ(game_files(temp.host(dir)), tree);
        const ToolRun verified = patchtool({"verify", temp.host(dir)});
        EXPECT_EQ(verified.status, 0) << verified.out;
        const std::string all = std::to_string(tree.size());
        EXPECT_NE(verified.out.find(all + " of " + all + " records match"), std::string::npos) << verified.out;
        const std::string uninst = read_host_file(temp.host(dir + "/uninst.lst"));
        for (const auto& file : tree) {
            std::string line = file.first;
            std::replace(line.begin(), line.end(), '/', '\\');
            std::transform(line.begin(), line.end(), line.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
            EXPECT_NE(uninst.find("\n" + line + "\n"), std::string::npos) << line;
        }
    }
    TempDir temp;
};

TEST_F(ReleaseHistory, CumulativePatchBringsEitherEarlierReleaseToTheLatest)
{
    write_host_file(temp.host("stub.exe"), std::string(4096, 'M'));
    write_tree("v2", V2);
    write_tree("v3", V3);
    install_v1("game-v1");
    install_v1("game-v2");
    const ToolRun v2_built = build("v2", {"game-v1/KXQ.hvl"}, "v2.exe");
    ASSERT_EQ(v2_built.status, 0) << v2_built.err;
    EXPECT_NE(v2_built.out.find("ships 2 of 4 files"), std::string::npos) << v2_built.out;
    expect_brought_to("v2.exe", "game-v2", V2);
    const std::vector<std::string> lists = {"game-v1/KXQ.hvl", "game-v2/KXQ.hvl"};

    // The dry run names what ships and why, and writes nothing.
    const ToolRun dry = build("v3", lists, "v3.exe", {"--dry-run", "--json"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_FALSE(host_file_exists(temp.host("v3.exe")));
    const nlohmann::json plan = nlohmann::json::parse(dry.out);
    std::map<std::string, std::string> reasons;
    for (const nlohmann::json& f : plan.at("files"))
        reasons[f.at("path").get<std::string>()] = f.at("reason").get<std::string>();
    const std::map<std::string, std::string> want = {{"system.arc", "changed"},
                                                     {"Archive\\data01.arc", "changed"},
                                                     {"Archive\\data02.arc", "new"},  // new to v1
                                                     {"Archive\\" + VOICE + "\\voice2.arc", "new"}};
    EXPECT_EQ(reasons, want);
    EXPECT_EQ(plan.at("unchanged").size(), 1u);
    EXPECT_EQ(plan.at("total_size"), 9 + 9 + 9 + 9);

    ASSERT_EQ(build("v3", lists, "v3.exe").status, 0);
    const ToolRun inspected = patchtool({"inspect", "--json", temp.host("v3.exe")});
    EXPECT_EQ(nlohmann::json::parse(inspected.out).at("shipped").at("records").size(), 4u);
    expect_brought_to("v3.exe", "game-v1", V3);
    expect_brought_to("v3.exe", "game-v2", V3);

    // Against its own release folder nothing would ship: refused, not built.
    const ToolRun empty = build("v3", {"v3"}, "none.exe");
    EXPECT_EQ(empty.status, 2);
    EXPECT_NE(empty.err.find("nothing to ship"), std::string::npos) << empty.err;
    EXPECT_FALSE(host_file_exists(temp.host("none.exe")));
}

}  // namespace
