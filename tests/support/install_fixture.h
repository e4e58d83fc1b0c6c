// Building game installations and updater files for tests, byte by byte and
// independently of the payload builder, so damaged layouts can be made too.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "result/update_result.h"
#include "support/scripted_progress.h"
#include "support/temp_dir.h"

// The 8 stored bytes of the content checksum of `data`.
std::string checksum_of(const std::string& data);

struct FixtureRecord {
    std::string path;       // code page 932, "\" separators
    std::string checksum;   // 8 bytes
};
// A hash list file: 16-byte header (magic of `version`, reserved, count) and records.
std::string hash_list_file(uint32_t version, const std::vector<FixtureRecord>& records, uint32_t reserved = 0);

struct FixtureEntry {
    std::string name;   // code page 932, stored in the index name field
    std::string data;
};
// An updater file: zero image to 0x28000, caption, header, index of `form`
// (128 or 32), data back to back from offset 0. `count` overrides the header's
// count when nonzero.
std::string updater_file(const std::vector<FixtureEntry>& entries, uint32_t form = 128, uint32_t count = 0);

// A file of the update: the index name, the shipped path ("" = no shipped
// record) and its bytes.
struct FixtureFile {
    std::string name;
    std::string path;
    std::string data;
};
// The usual payload: "KXQ.hvl" first (version 2, one record per file with a
// path), then the files in order.
std::vector<FixtureEntry> shipped_entries(const std::vector<FixtureFile>& files);

// Every file under `host_dir` (recursive): relative "/" path -> bytes.
typedef std::map<std::string, std::string> FolderSnapshot;
FolderSnapshot snapshot_folder(const std::string& host_dir);
// Relative paths that differ between two snapshots (added, removed or changed).
std::vector<std::string> changed_files(const FolderSnapshot& before, const FolderSnapshot& after);

// A temporary folder holding an installation ("game/") and an updater file
// ("setup.exe") beside it. Host paths are UTF-8 with "/".
struct InstallFixture {
    TempDir temp;
    std::string dir() const;       // the installation folder as the engine gets it
    std::string updater() const;   // the updater file
    std::string game(const std::string& relative) const;   // host path inside game/
    void put(const std::string& relative, const std::string& bytes) const;  // makes parents
    void put_updater(const std::vector<FixtureEntry>& entries, uint32_t form = 128) const;
    // Installed KXQ.hvl (version 2) and a non-empty uninst.lst.
    void install(const std::vector<FixtureRecord>& records, const std::string& uninst = "game.exe\n") const;
    FolderSnapshot snapshot() const { return snapshot_folder(game("")); }
};

// Runs the transaction over an InstallFixture with a scripted view, with both
// stop flags and the fault hook reset before and after every test.
class TransactionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    UpdateResult run();
    InstallFixture f;
    ScriptedProgress view;
};

// The installation most transaction tests start from: system.arc and
// Archive\data01.arc listed in KXQ.hvl and a one-line uninst.lst, and in
// `files` the update that replaces both.
class UsualUpdate : public TransactionFixture {
protected:
    static inline const std::string OLD_SYSTEM = "old system";
    static inline const std::string OLD_DATA = "old data";
    static inline const std::string NEW_SYSTEM = "new system archive";
    static inline const std::string NEW_DATA = "new data archive, a little longer";
    static inline const std::string UNINST = "game.exe\n";
    void SetUp() override;
    // The installation and `files` afresh, whatever an earlier case left.
    void install_usual();
    void write_updater() { f.put_updater(shipped_entries(files)); }
    std::vector<FixtureFile> files;
};
