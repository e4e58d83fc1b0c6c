// patchtool apply killed outright (SIGKILL: no clean-up of any kind) at many
// moments of an update, as a crash or a power switch would stop it: every
// game file is then present and wholly old or wholly new, a kept copy of an
// old file is that whole file, KXQ.hvl and uninst.lst are whole, and running
// the update again completes it.
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "support/install_fixture.h"
#include "support/tool_run.h"

extern char** environ;

namespace {

const int KILLS = 30;

std::string pattern(size_t n, uint32_t seed)
{
    std::string out(n, '\0');
    uint32_t x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>(x >> 24);
    }
    return out;
}

struct Target {
    const char* host;
    std::string old_bytes;  // "" = the game does not have it yet
    std::string new_bytes;
};

// Starts `argv` with its output on /dev/null; the process id, or -1.
pid_t start(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, or 128 + signal.
int finish(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Polls until `path` has `size` bytes or the process `pid` has ended.
void wait_for_size(const std::string& path, uint64_t size, pid_t pid)
{
    for (int i = 0; i < 100000; ++i) {
        std::error_code ec;
        if (std::filesystem::file_size(path, ec) == size && !ec)
            return;
        siginfo_t info = {};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
            return;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

class CrashConsistency : public TransactionFixture {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        targets = {
            {"system.arc", pattern(300000, 1), pattern(3 << 20, 2)},
            {"Archive/data01.arc", pattern(200000, 3), pattern(2 << 20, 4)},
            {"Archive/data02.arc", pattern(1000, 5), pattern(1 << 20, 6)},
            {"Archive/fresh.arc", "", pattern(70000, 7)},
        };
        std::vector<FixtureRecord> records;
        std::string uninst;
        for (int i = 0; i < 200; ++i) {
            records.push_back({"movie\\clip" + std::to_string(i) + ".dat", checksum_of(std::to_string(i))});
            f.put("movie/clip" + std::to_string(i) + ".dat", std::to_string(i));
            uninst += "Movie\\clip" + std::to_string(i) + ".dat\r\n";
        }
        std::vector<FixtureFile> files;
        for (const Target& t : targets) {
            std::string path = t.host;
            std::replace(path.begin(), path.end(), '/', '\\');
            if (!t.old_bytes.empty()) {
                f.put(t.host, t.old_bytes);
                records.push_back({path, checksum_of(t.old_bytes)});
            }
            files.push_back({path.substr(path.rfind('\\') + 1), path, t.new_bytes});
        }
        f.install(records, uninst);
        f.put_updater(shipped_entries(files));
        before = f.snapshot();
        patchtool = built_program("tools/patchtool/patchtool");
    }

    void restore()
    {
        std::filesystem::remove_all(f.game(""));
        for (const auto& [path, bytes] : before)
            f.put(path, bytes);
    }
    std::vector<std::string> apply_args() const { return {patchtool, "apply", f.updater(), f.dir()}; }
    void check_whole(const FolderSnapshot& after, const FolderSnapshot& done) const;

    std::vector<Target> targets;
    FolderSnapshot before;
    std::string patchtool;
};

void CrashConsistency::check_whole(const FolderSnapshot& after, const FolderSnapshot& done) const
{
    for (const Target& t : targets) {
        auto it = after.find(t.host);
        const bool is_new = it != after.end() && it->second == t.new_bytes;
        const bool is_old = t.old_bytes.empty() ? it == after.end() : it != after.end() && it->second == t.old_bytes;
        EXPECT_TRUE(is_new || is_old) << t.host << " is torn";
        // A kept copy the commit had not yet dropped is the whole old file.
        auto kept = after.find(std::string(t.host) + ".prev");
        if (kept != after.end())
            EXPECT_EQ(kept->second, t.old_bytes) << t.host << ".prev is not its old content";
    }
    for (const char* list : {"KXQ.hvl", "uninst.lst"}) {
        auto it = after.find(list);
        ASSERT_NE(it, after.end()) << list << " is gone";
        EXPECT_TRUE(it->second == before.at(list) || it->second == done.at(list)) << list << " is neither old nor new";
    }
}

TEST_F(CrashConsistency, KilledAnywhereLeavesWholeFilesAndARerunCompletes)
{
    // A clean run: the finished folder, and how long a run takes here, to
    // spread the kills over it.
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(finish(start(apply_args())), 0);
    const auto clean = std::chrono::steady_clock::now() - t0;
    const FolderSnapshot done = f.snapshot();
    for (const Target& t : targets)
        ASSERT_EQ(done.at(t.host), t.new_bytes) << t.host;

    std::mt19937 rng(20261209);
    int interrupted = 0;
    int in_commit = 0;  // kills after the first move and before uninst.lst was replaced
    for (int k = 0; k < KILLS; ++k) {
        restore();
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(clean);
        const double share = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        const pid_t pid = start(apply_args());
        ASSERT_GT(pid, 0);
        // Even kills are spread over the whole run; odd ones wait for the
        // commit to begin (the first target has its new size) and land in
        // the moves and list rewrites that follow.
        auto delay = span * (k + share) / KILLS;
        if (k % 2 == 1) {
            wait_for_size(f.game(targets[0].host), targets[0].new_bytes.size(), pid);
            delay = span * share / 10;
        }
        std::this_thread::sleep_for(delay);
        kill(pid, SIGKILL);
        interrupted += finish(pid) == 128 + SIGKILL;

        SCOPED_TRACE("kill " + std::to_string(k) + " after " + std::to_string(delay.count()) + " us");
        const FolderSnapshot after = f.snapshot();
        check_whole(after, done);
        int fresh = 0;
        for (const Target& t : targets)
            fresh += after.count(t.host) && after.at(t.host) == t.new_bytes;
        in_commit += fresh > 0 && after.at("uninst.lst") == before.at("uninst.lst");

        // The next run starts from scratch and finishes the job.
        ASSERT_EQ(finish(start(apply_args())), 0);
        EXPECT_EQ(finish(start({patchtool, "verify", f.dir()})), 0);
        EXPECT_EQ(f.snapshot(), done);
    }
    std::printf("%d of %d runs killed before they ended, %d of them in the commit\n", interrupted, KILLS, in_commit);
    EXPECT_GT(interrupted, KILLS / 2);
    EXPECT_GT(in_commit, 0) << "no kill landed in the commit";
}

}  // namespace
