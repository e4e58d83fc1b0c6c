// The working state of one update transaction and its steps, in the one order
// both the real run and the dry run walk: set-up, the checks that can be made
// before anything is written, staging (each entry written beside its target
// as "<target>.tmp" while it is checksummed, then verified), the checks the
// commit relies on, and the commit (old contents kept, staged files moved
// over their targets, KXQ.hvl rewritten, kept copies dropped, uninst.lst
// merged) or its rollback. Internal to the engine; run_update (transaction.h)
// and dry_run_update (dry_run.h) are the public entries.
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

// The file progress bar's range.
const uint32_t FILE_PROGRESS_MAX = 0xFFFF;

// How a target's old content waits while the commit runs, so that a failed
// commit can put it back.
enum KeptCopy : uint8_t {
    KEPT_NONE,    // there was no file at the target: rolling back removes the new one
    KEPT_LINKED,  // "<target>.prev" is a hard link to it: the target never went missing
    KEPT_MOVED,   // it was moved aside to "<target>.prev" (a volume without hard links)
};

struct StagedEntry {
    char path[OS_PATH_SIZE];     // relative path it installs under (its names[] slot)
    char tmp[OS_PATH_SIZE];      // "%s\%s.tmp"
    char target[OS_PATH_SIZE];   // "%s\%s"
    char kept[OS_PATH_SIZE];     // "%s\%s.prev"
    bool has_expected;           // the shipped list gives its checksum
    uint8_t expected[8];
    int32_t installed_index;     // find_installed result, or -1
    bool staged;                 // a temporary file may exist
    bool moved;                  // the staged file has replaced the target
    KeptCopy keep;
    uint32_t old_attributes;     // the target's, before the commit touched it
    UpdateResult failure;        // UPDATE_OK, or what the run ends with at this entry
    const char* problem;         // why, in a few words (static text)
};

struct UpdateSession;

// Where the staging order's changes to the installation folder go. The real
// run's sink makes them; the dry run's sink predicts each one from what is
// there and changes nothing. Both are driven by the same steps.
struct FolderSink {
    // A kept copy that an interrupted earlier run left of this entry is put
    // back (its target is missing) or removed.
    virtual void clear_leftover(UpdateSession& s, StagedEntry& e) = 0;
    // Creates e.tmp fresh for writing. False (with e.problem) when it cannot.
    virtual bool open_staged(UpdateSession& s, StagedEntry& e) = 0;
    // One chunk of the staged file. False on a short write.
    virtual bool write_staged(const uint8_t* data, uint32_t n) = 0;
    // The staged file is complete and its checksum is `sum`.
    virtual void close_staged(UpdateSession& s, StagedEntry& e, const ContentChecksum& sum) = 0;
    // Every entry is staged and the checks before the moves passed.
    virtual void commit(UpdateSession& s) = 0;
    // After a stop or a failure: the staged files go.
    virtual void clean_up(UpdateSession& s) = 0;

protected:
    ~FolderSink() = default;
};

struct UpdateSession {
    const char* dir = nullptr;
    ProgressView* progress = nullptr;
    FolderSink* sink = nullptr;
    // The dry run examines every entry; the real run stops at the first failure.
    bool keep_going = false;
    bool failed = false;
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
    uint64_t space_needed = 0;         // the staged files and the new KXQ.hvl, all at once
};

// A step failed: the first failure decides the result; the progress view
// hears of it with the system's error of the moment. `path` may be null.
void fail(UpdateSession& s, UpdateResult code, const char* step, const char* path);
// The same for a step on one of the lists in the installation's root.
void fail_list(UpdateSession& s, UpdateResult code, const char* step, const char* list);
// The same for entry j, which also keeps what went wrong for the dry run.
void fail_entry(UpdateSession& s, uint32_t j, UpdateResult code, const char* step);
// One pump call; a stop answer sets window_closed. True when either flag is set.
bool pump_and_poll(UpdateSession& s);

// Opens the payload, loads the shipped list, sets the progress ranges (one
// pump) and allocates the per-entry state. False (result set) when the
// payload cannot be used.
bool set_up(UpdateSession& s, const char* payload_path);
// The steps from the target rules to the commit, through s.sink. Entries
// whose target the rules refuse are marked and, in the dry run, passed over.
void run_staging_order(UpdateSession& s);

// Entry j's path: the first shipped record with its file name (and that
// record's checksum), else the entry's own name; also its names[] slot.
void resolve_entry(UpdateSession& s, uint32_t j);
// The entry is the shipped hash list, which is rewritten, never copied.
bool is_hash_list_entry(const StagedEntry& e);
// Builds entry j's tmp, target and kept names, failing with UPDATE_E_FAILED
// when they do not fit 260 bytes.
bool prepare_target(UpdateSession& s, uint32_t j);
// Compares the staged checksum with the expected one and records it in the
// installed list. False on a mismatch.
bool verify_entry(UpdateSession& s, uint32_t j, const ContentChecksum& sum);

// The checks the commit relies on (commit_checks.cpp), made by both runs: before staging,
// the room on the volume and the hash list's limit; before staging and again
// before the first move, that nothing in the folder will refuse the moves or
// the rewrite of KXQ.hvl. False (failure recorded) when one fails.
bool check_before_staging(UpdateSession& s);
// A folder (or a link to one) stands at `path`, where a file is to go.
bool path_is_folder(const char* path);
bool check_before_moves(UpdateSession& s);

// The real run's folder: stages, commits with rollback, cleans up.
FolderSink& real_folder();
