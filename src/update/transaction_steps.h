// The working state of one update transaction and its phases: set-up, staging
// (write each entry beside its target as "<target>.tmp" while checksumming it,
// then verify), commit (move the staged files over their targets, rewrite
// KXQ.hvl, prune it, merge uninst.lst) and clean-up. Internal to the engine;
// run_update (transaction.h) is the public entry.
#pragma once
#include <cstdint>
#include <vector>
#include "checksum/checksum.h"
#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "platform/file_handle.h"
#include "platform/platform.h"
#include "result/update_result.h"
#include "update/progress.h"

// One 1 MiB chunk: the granularity of copying, checksumming and pumping.
const uint32_t COPY_CHUNK_SIZE = 0x100000;
// The file progress bar's range.
const uint32_t FILE_PROGRESS_MAX = 0xFFFF;

struct StagedEntry {
    char path[OS_PATH_SIZE];     // relative path it installs under (its names[] slot)
    char tmp[OS_PATH_SIZE];      // "%s\%s.tmp"
    char target[OS_PATH_SIZE];   // "%s\%s"
    bool has_expected;           // the shipped list gives its checksum
    uint8_t expected[8];
    int32_t installed_index;     // find_installed result, or -1
    bool staged;                 // a temporary file may exist
};

struct UpdateSession {
    const char* dir = nullptr;
    ProgressView* progress = nullptr;
    UpdateResult result = UPDATE_E_DAMAGED;
    FileHandle installed_file;
    HashListHeader installed_header = {};
    HashList installed;
    FileHandle payload;
    PayloadIndex index;
    HashList shipped;
    std::vector<StagedEntry> entries;  // one per index entry
    std::vector<const char*> names;    // count + 1 slots, null-terminated
    std::vector<uint8_t> buffer;       // the copy buffer
    uint32_t reached = 0;              // entries fully staged (j)
};

// True when the user cancelled or the dialog was closed.
bool stop_requested();
// One pump call; a stop answer sets window_closed. True when either flag is set.
bool pump_and_poll(UpdateSession& s);

// Opens the payload, loads the shipped list, sets the progress ranges (one
// pump) and allocates the per-entry state. False (result set) when the
// payload cannot be used.
bool set_up(UpdateSession& s, const char* payload_path);
// Stages entries in index order until one fails or a flag stops the loop;
// s.reached = the number staged and verified.
void stage_all(UpdateSession& s);
// Copies entry j's bytes from the payload into `tmp` chunk by chunk, feeding
// `sum`, with file progress and a pump after each chunk; a null `tmp` only
// reads and checksums (the dry run). True when all bytes were copied; false
// on a short read (result unchanged), a short write (UPDATE_E_FAILED) or a stop.
bool copy_entry(UpdateSession& s, uint32_t j, FileHandle* tmp, ContentChecksum* sum);
// Compares the staged checksum with the expected one and records it in the
// installed list. False on a mismatch (result unchanged).
bool verify_entry(UpdateSession& s, uint32_t j, const ContentChecksum& sum);
// Entry j's path: the first shipped record with its file name (and that
// record's checksum), else the entry's own name; also its names[] slot.
void resolve_entry(UpdateSession& s, uint32_t j);
// The entry is the shipped hash list, which is rewritten, never copied.
bool is_hash_list_entry(const StagedEntry& e);
// Resolves every entry and checks all their targets together
// (check_targets): a path outside the folder or Windows refuses, two entries
// on one file, or an entry on one of the lists is UPDATE_E_DAMAGED (false),
// before anything is created.
bool check_all_targets(UpdateSession& s);
// Builds entry j's tmp and target, failing with UPDATE_E_FAILED when they do
// not fit 260 bytes.
bool prepare_target(UpdateSession& s, uint32_t j);

// Moves every staged file into place, rewrites and prunes KXQ.hvl and merges
// uninst.lst; sets s.result.
void commit_all(UpdateSession& s);
// Deletes every staged temporary file (results ignored).
void clean_up(UpdateSession& s);
