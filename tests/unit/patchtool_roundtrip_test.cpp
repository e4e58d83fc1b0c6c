// patchtool as a publisher and a support engineer use it: build an updater
// from a folder, inspect it, apply it to an installation and verify the
// result, and the exit codes of the ways this fails.
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/little_endian.h"
#include "support/install_fixture.h"
#include "support/payload_bytes.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int code;
    std::string output;
};

Outcome patchtool(const std::string& arguments)
{
    const char* bin = std::getenv("UPDATER_BINARY_DIR");
    std::string command = std::string(bin ? bin : ".") + "/tools/patchtool/patchtool " + arguments + " 2>&1";
    Outcome out{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.output.append(buffer, n);
    int status = pclose(pipe);
    out.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string quoted(const std::string& path)
{
    return "'" + path + "'";
}

// A file of `mib` MiB written in 1 MiB blocks that differ from each other.
void write_big_file(const std::string& path, uint32_t mib)
{
    std::string block(0x100000, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 31 + (i >> 11));
    std::ofstream out(path, std::ios::binary);
    for (uint32_t k = 0; k < mib; ++k) {
        block[k % block.size()] ^= static_cast<char>(k + 1);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

bool same_file_bytes(const std::string& a, const std::string& b)
{
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::string bx(0x100000, '\0'), by(0x100000, '\0');
    while (x && y) {
        x.read(&bx[0], static_cast<std::streamsize>(bx.size()));
        y.read(&by[0], static_cast<std::streamsize>(by.size()));
        if (x.gcount() != y.gcount() || bx.compare(0, x.gcount(), by, 0, y.gcount()) != 0)
            return false;
    }
    return x.eof() && y.eof();
}

const uint64_t BIG = (static_cast<uint64_t>(1) << 32) + 100;

// Every entry under `dir` with its kind, size and modification time.
std::map<std::string, std::string> stamps(const std::string& dir)
{
    std::map<std::string, std::string> out;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
        const fs::file_status st = e.symlink_status();
        out[e.path().string()] = std::to_string(static_cast<int>(st.type())) + " " +
                                 (fs::is_regular_file(st) ? std::to_string(e.file_size()) : "") + " " +
                                 std::to_string(e.last_write_time().time_since_epoch().count());
    }
    return out;
}

class PatchtoolRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_host_file(temp.host("stub.exe"), std::string(4096, 'M'));
        fs::create_directories(temp.host("src/Archive/\xe9\x9f\xb3\xe5\xa3\xb0"));  // 音声
        fs::create_directories(temp.host("game/Archive/\xe9\x9f\xb3\xe5\xa3\xb0"));
        write_host_file(temp.host("src/system.arc"), "new system");
        write_host_file(temp.host("src/Archive/\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf.arc"), "new data");  // データ
        write_host_file(temp.host("src/Archive/\xe9\x9f\xb3\xe5\xa3\xb0/voice.arc"), "");
        write_host_file(temp.host("game/system.arc"), "old");
        write_host_file(temp.host("game/KXQ.hvl"), hash_list_file(2, {{"system.arc", checksum_of("old")}}));
        write_host_file(temp.host("game/uninst.lst"), "game.exe\n");
    }
    Outcome build(const std::string& extra = "", bool caption = true, const std::string& out = "setup.exe")
    {
        return patchtool("build --stub " + quoted(temp.host("stub.exe")) +
                         (caption ? " --caption '\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88 Updater' " : " ") + extra +
                         " --out " + quoted(temp.host(out)) + " " + quoted(temp.host("src")));
    }
    Outcome apply() { return patchtool("apply " + quoted(updater()) + " " + quoted(temp.host("game"))); }
    std::string updater() const { return temp.host("setup.exe"); }
    TempDir temp;
};

TEST_F(PatchtoolRoundTrip, BuildInspectApplyVerifyWithSubFoldersAndJapaneseNames)
{
    write_big_file(temp.host("src/Archive/big.arc"), 150);
    write_big_file(temp.host("src/Archive/\xe9\x9f\xb3\xe5\xa3\xb0/bgm.arc"), 50);
    Outcome built = build();
    ASSERT_EQ(built.code, 0) << built.output;

    Outcome inspected = patchtool("inspect --json " + quoted(updater()));
    ASSERT_EQ(inspected.code, 0) << inspected.output;
    EXPECT_NE(inspected.output.find("\"count\": 6"), std::string::npos) << inspected.output;
    EXPECT_NE(inspected.output.find("Archive\\\\\xe9\x9f\xb3\xe5\xa3\xb0\\\\bgm.arc"), std::string::npos);
    EXPECT_EQ(inspected.output.find("\"mismatch\""), std::string::npos);

    Outcome applied = apply();
    ASSERT_EQ(applied.code, 0) << applied.output;
    EXPECT_NE(applied.output.find("UPDATE_OK"), std::string::npos);
    for (const char* file : {"system.arc", "Archive/big.arc", "Archive/\xe9\x9f\xb3\xe5\xa3\xb0/bgm.arc",
                             "Archive/\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf.arc",
                             "Archive/\xe9\x9f\xb3\xe5\xa3\xb0/voice.arc"})
        EXPECT_TRUE(same_file_bytes(temp.host(std::string("src/") + file), temp.host(std::string("game/") + file)))
            << file;
    Outcome verified = patchtool("verify " + quoted(temp.host("game")));
    EXPECT_EQ(verified.code, 0) << verified.output;
    EXPECT_NE(verified.output.find("5 of 5 records match"), std::string::npos) << verified.output;

    // A changed byte on disk is one problem line naming the file.
    write_host_file(temp.host("game/system.arc"), "new systeM");
    verified = patchtool("verify " + quoted(temp.host("game")));
    EXPECT_EQ(verified.code, 1);
    EXPECT_NE(verified.output.find("system.arc: checksum mismatch"), std::string::npos) << verified.output;
    fs::remove(temp.host("game/Archive/big.arc"));
    verified = patchtool("verify " + quoted(temp.host("game")));
    EXPECT_NE(verified.output.find("Archive\\big.arc: missing"), std::string::npos) << verified.output;
}

// A rebuilt release must come out byte for byte as shipped: the same files
// made in another order, at other times, in another folder, give the same
// updater, with the entries in the order of their relative paths.
TEST_F(PatchtoolRoundTrip, SameFilesGiveTheSameBytesWhateverTheirOrderAndTimes)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"b.arc", "bee"}, {"Archive/\xe9\x9f\xb3\xe5\xa3\xb0/d.arc", "dee"}, {"z.arc", "zed"},
        {"a.arc", "ay"}, {"Archive/c.arc", "see"}};
    const char* by_path[] = {"KXQ.hvl", "c.arc", "d.arc", "a.arc", "b.arc", "z.arc"};
    std::string built[2];
    for (int round = 0; round < 2; ++round) {
        const std::string src = temp.host(round == 0 ? "first" : "second/copy");
        for (size_t k = 0; k < files.size(); ++k) {
            const auto& f = files[round == 0 ? k : files.size() - 1 - k];
            fs::create_directories(fs::path(src + "/" + f.first).parent_path());
            write_host_file(src + "/" + f.first, f.second);
            fs::last_write_time(src + "/" + f.first,
                                fs::file_time_type::clock::now() - std::chrono::hours(24 * (round * 50 + k)));
        }
        const std::string out = temp.host(round == 0 ? "one.exe" : "two.exe");
        Outcome run = patchtool("build --stub " + quoted(temp.host("stub.exe")) + " --caption C --out " + quoted(out) +
                                " " + quoted(src));
        ASSERT_EQ(run.code, 0) << run.output;
        built[round] = read_host_file(out);
    }
    EXPECT_TRUE(built[0] == built[1]);
    for (size_t j = 0; j < 6; ++j)
        EXPECT_STREQ(built[0].c_str() + 0x28410 + 128 * j, by_path[j]) << j;
}

TEST_F(PatchtoolRoundTrip, ApplyExitsWithTheLowByteOfEachFailure)
{
    ASSERT_EQ(build("--index-form 32 --hash-list v1").code, 0);
    const std::string good = read_host_file(updater());
    struct Case {
        const char* what;
        void (*spoil)(const TempDir&, std::string* updater);
        int code;
    };
    const Case cases[] = {
        {"installed hash list missing", [](const TempDir& t, std::string*) { fs::remove(t.host("game/KXQ.hvl")); }, 4},
        {"damaged entry", [](const TempDir&, std::string* u) { (*u)[u->size() - 1] ^= 1; }, 1},
        {"too many entries",
         [](const TempDir&, std::string* u) { store_u32le(reinterpret_cast<uint8_t*>(&(*u)[0x28400 + 12]), 257); }, 2},
        {"sub-folder missing", [](const TempDir& t, std::string*) { fs::remove_all(t.host("game/Archive")); }, 4},
        {"uninstall list missing", [](const TempDir& t, std::string*) { fs::remove(t.host("game/uninst.lst")); }, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(temp.host("game"));
        SetUp();
        std::string bytes = good;
        c.spoil(temp, &bytes);
        write_host_file(updater(), bytes);
        Outcome applied = apply();
        EXPECT_EQ(applied.code, c.code) << applied.output;
    }
}

TEST_F(PatchtoolRoundTrip, DryRunSaysWhatApplyWouldDoAndExitsAsItWould)
{
    ASSERT_EQ(build().code, 0);
    fs::remove_all(temp.host("game/Archive/\xe9\x9f\xb3\xe5\xa3\xb0"));
    const Outcome dry = patchtool("apply --dry-run " + quoted(updater()) + " " + quoted(temp.host("game")));
    for (const char* want : {"changed  system.arc", "new      Archive\\\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf.arc",
                             "KXQ.hvl:    version 2, 1 records", "uninst.lst: can be updated",
                             "FAILS    Archive\\\xe9\x9f\xb3\xe5\xa3\xb0\\voice.arc: the folder "
                             "Archive\\\xe9\x9f\xb3\xe5\xa3\xb0 is missing"})
        EXPECT_NE(dry.output.find(want), std::string::npos) << want << "\n" << dry.output;
    EXPECT_EQ(dry.code, 4) << dry.output;
    EXPECT_EQ(apply().code, dry.code);
}

TEST_F(PatchtoolRoundTrip, BuildAndVerifyShowProgressOnATerminalOnly)
{
    ASSERT_EQ(build().code, 0);
    ASSERT_EQ(apply().code, 0);
    const std::string tool = built_program("tools/patchtool/patchtool");
    const std::vector<std::string> verify = {"verify", temp.host("game")};
    const std::vector<std::string> build_against = {"build", "--base", temp.host("game"), "--stub",
                                                    temp.host("stub.exe"), "--caption", "C", "--out", temp.host("again.exe"),
                                                    temp.host("src")};
    // Redrawn in place: carriage return and erase-line before each state.
    const ToolRun verified = run_tool_on_terminal(tool, verify);
    EXPECT_EQ(verified.status, 0);
    EXPECT_NE(verified.out.find("\r\033[Kverifying ["), std::string::npos) << verified.out;
    const ToolRun rebuilt = run_tool_on_terminal(tool, build_against);
    EXPECT_EQ(rebuilt.status, 2) << rebuilt.out;  // nothing to ship against the installed files
    EXPECT_NE(rebuilt.out.find("\r\033[Kchecksumming "), std::string::npos) << rebuilt.out;
    EXPECT_NE(rebuilt.out.find("\r\033[Kcomparing with the bases ["), std::string::npos) << rebuilt.out;
    // Into a pipe or a file nothing of it is written.
    for (const std::vector<std::string>& args : {verify, build_against})
        EXPECT_EQ(run_tool(tool, args).err.find("\033[K"), std::string::npos) << args[0];
}

// No wrong answer: every broken set-up fails the build, and the dry run,
// which writes nothing, exits as the build does.
TEST_F(PatchtoolRoundTrip, BrokenSetUpsFailTheBuildAndItsDryRunAlike)
{
    struct Case {
        const char* what;
        void (*spoil)(const TempDir&);
        std::string extra;
        int code;
        std::string out = "setup.exe";
        bool caption = true;
    };
    const Case cases[] = {
        {"two files with one name",
         [](const TempDir& t) { write_host_file(t.host("src/Archive/SYSTEM.ARC"), "x"); }, "", 2},
        {"a name code page 932 cannot hold",
         [](const TempDir& t) { write_host_file(t.host("src/\xf0\x9f\x98\x80.arc"), "x"); }, "", 2},
        {"a stub past 0x28000",
         [](const TempDir& t) { write_host_file(t.host("stub.exe"), std::string(0x28001, 'M')); }, "", 2},
        {"a caption code page 932 cannot hold", [](const TempDir&) {}, "--caption '\xf0\x9f\x98\x80'", 2},
        {"a signed stub",
         [](const TempDir& t) {
             std::string stub(4096, 'M');
             set_certificate_directory(&stub, 3584, 512);
             write_host_file(t.host("stub.exe"), stub);
         }, "", 2},
        {"a name too long for the 32-byte entry",
         [](const TempDir& t) { write_host_file(t.host("src/sixteen_chars.arc"), "x"); }, "--index-form 32", 2},
        // Sparse: 4 GiB + 100 bytes, whose low 32 bits alone say 100.
        {"a file of 4 GiB + 100 bytes", [](const TempDir& t) { fs::resize_file(t.host("src/system.arc"), BIG); }, "", 2},
        {"a file of 3 GiB", [](const TempDir& t) { fs::resize_file(t.host("src/system.arc"), 3ull << 30); }, "", 2},
        {"more than 2 GiB in all",
         [](const TempDir& t) {
             fs::resize_file(t.host("src/system.arc"), 1ull << 30);
             write_host_file(t.host("src/second.arc"), "");
             fs::resize_file(t.host("src/second.arc"), 1ull << 30);
         }, "", 2},
        {"a stub of 4 GiB + 100 bytes", [](const TempDir& t) { fs::resize_file(t.host("stub.exe"), BIG); }, "", 2},
        {"a missing stub", [](const TempDir& t) { fs::remove(t.host("stub.exe")); }, "", 2},
        {"a stub that is a folder",
         [](const TempDir& t) { fs::remove(t.host("stub.exe")), fs::create_directory(t.host("stub.exe")); }, "", 2},
        {"no --caption", [](const TempDir&) {}, "", 2, "setup.exe", false},
        {"no folder for --out", [](const TempDir&) {}, "", 2, "none/setup.exe"},
        {"--out a folder", [](const TempDir&) {}, "", 2, "game"},
        {"--out the stub", [](const TempDir&) {}, "", 2, "stub.exe"},
        {"--out a --base list", [](const TempDir&) {}, "--base " + quoted(temp.host("game/KXQ.hvl")), 2, "game/KXQ.hvl"},
        {"--out a source file", [](const TempDir&) {}, "", 2, "src/system.arc"},
        {"--out whose temporary name is a source file",
         [](const TempDir& t) { write_host_file(t.host("src/extra.tmp"), "x"); }, "", 2, "src/extra"},
        // What the updater itself would install over another file, or refuse
        // (the path rules' own tests hold every form of either).
        {"a file and its temporary name",
         [](const TempDir& t) { write_host_file(t.host("src/system.arc.tmp"), "x"); }, "", 2},
        {"two paths on one file", [](const TempDir& t) { write_host_file(t.host("src/SYSTEM.ARC. "), "x"); }, "", 2},
        {"a name Windows refuses", [](const TempDir& t) { write_host_file(t.host("src/a?b.arc"), "x"); }, "", 2},
        {"the player's uninstall list", [](const TempDir& t) { write_host_file(t.host("src/UNINST.LST"), "x"); }, "", 2},
    };
    for (const Case& c : cases) {
        for (const char* mode : {"", "--dry-run "}) {
            SCOPED_TRACE(std::string(c.what) + " " + mode);
            fs::remove_all(temp.path());
            fs::create_directories(temp.path());
            SetUp();
            c.spoil(temp);
            const std::map<std::string, std::string> before = stamps(temp.path());
            Outcome built = build(mode + c.extra, c.caption, c.out);
            EXPECT_EQ(built.code, c.code) << built.output;
            EXPECT_EQ(stamps(temp.path()), before);  // nothing written, no input overwritten
        }
    }
}

TEST_F(PatchtoolRoundTrip, ChecksumAndVerifySeeTheWholeSizeOfAFile)
{
    // Sparse, 4 GiB + 100 bytes of zeros: read as 100 bytes it would pass as
    // the checksum of 100 zero bytes, which is eight zero bytes.
    write_host_file(temp.host("game/big.arc"), "");
    fs::resize_file(temp.host("game/big.arc"), BIG);
    Outcome summed = patchtool("checksum " + quoted(temp.host("game/big.arc")));
    EXPECT_NE(summed.output.find("4294967396 bytes"), std::string::npos) << summed.output;
    write_host_file(temp.host("game/KXQ.hvl"), hash_list_file(2, {{"big.arc", std::string(8, '\0')}}));
    Outcome verified = patchtool("verify " + quoted(temp.host("game")));
    EXPECT_EQ(verified.code, 1) << verified.output;
    EXPECT_NE(verified.output.find("big.arc: 4294967396 bytes"), std::string::npos) << verified.output;
}

// verify judges the records as the prune does: a folder is present, and a
// record the updater would not write is reported without being followed, its
// control characters escaped.
TEST_F(PatchtoolRoundTrip, VerifyCountsFoldersAndFollowsNoRecordOutsideTheFolder)
{
    // A file outside whose checksum the record has: following the record would call it a match.
    write_host_file(temp.host("secret.txt"), "secret");
    write_host_file(temp.host("game/KXQ.hvl"), hash_list_file(2, {{"system.arc", checksum_of("old")},
                                                                  {"Archive", std::string(8, 'x')},
                                                                  {"", std::string(8, 'y')},
                                                                  {"..\\secret.txt", checksum_of("secret")},
                                                                  {"NUL", checksum_of("")},
                                                                  {"\x1b[2J\x1b]0;x\x07gone.arc", checksum_of("")}}));
    Outcome verified = patchtool("verify " + quoted(temp.host("game")));
    EXPECT_EQ(verified.code, 1);
    for (const char* want : {"..\\secret.txt: not followed: the path leaves the installation folder",
                             "NUL: not followed", "\\x1b[2J\\x1b]0;x\\x07gone.arc: not followed",
                             "3 of 6 records match"})
        EXPECT_NE(verified.output.find(want), std::string::npos) << want << "\n" << verified.output;
    EXPECT_EQ(verified.output.find('\x1b'), std::string::npos) << verified.output;
}

TEST_F(PatchtoolRoundTrip, ApplyAndItsDryRunShowControlCharactersEscaped)
{
    // Code page 932 0x80 is U+0080, a C1 control a terminal may act on; the
    // updater itself takes it as an ordinary character.
    write_host_file(updater(), updater_file({{"a\x80" "b.arc", "b"}}));
    for (const char* mode : {"apply --dry-run ", "apply "}) {
        Outcome applied = patchtool(mode + quoted(updater()) + " " + quoted(temp.host("game")));
        EXPECT_EQ(applied.code, 0) << applied.output;
        EXPECT_NE(applied.output.find("a\\u0080b.arc"), std::string::npos) << applied.output;
        EXPECT_EQ(applied.output.find("\xc2\x80"), std::string::npos) << applied.output;
    }
}

// Safe on a shared machine: a pipe where a file is expected is an error at
// once, never a wait for a writer; a link inside a release or base folder is
// refused by its name.
TEST_F(PatchtoolRoundTrip, PipesAndLinksWhereFilesAreExpectedAreRefusedAtOnce)
{
    ASSERT_EQ(mkfifo(temp.host("pipe").c_str(), 0600), 0);
    fs::create_directory_symlink(temp.host("src/Archive"), temp.host("game/linked"));
    const std::string pipe = quoted(temp.host("pipe")), game = quoted(temp.host("game"));
    const std::string build = "build --caption C --out " + quoted(updater()) + " ";
    const std::string stub = "--stub " + quoted(temp.host("stub.exe")) + " ", src = " " + quoted(temp.host("src"));
    const std::pair<std::string, std::string> cases[] = {
        {"checksum " + pipe, "pipe"}, {"inspect " + pipe, "pipe"}, {"apply --dry-run " + pipe + " " + game, "pipe"},
        {build + "--stub " + pipe + src, "pipe"}, {build + stub + "--base " + pipe + src, "pipe"},
        {build + stub + game, "game/linked"}, {build + stub + "--base " + game + src, "game/linked"}};
    for (const auto& c : cases) {
        const Outcome run = patchtool(c.first);
        EXPECT_NE(run.code, 0) << c.first;
        EXPECT_NE(run.output.find(temp.host(c.second)), std::string::npos) << c.first << "\n" << run.output;
    }
}

}  // namespace
