// The update predicted without changing anything, for a support desk that
// must know what an updater would do to one player's installation. It runs the
// transaction's own set-up and per-entry checks (resolving, target rules,
// reading and checksumming every entry) but writes nowhere: no temporary file,
// no move, no list rewritten, and no leftover of an earlier run removed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "result/update_result.h"

enum DryRunTarget {
    TARGET_NEW,        // no file at the target yet
    TARGET_CHANGED,    // a file there with other bytes
    TARGET_CURRENT,    // a file there with exactly the entry's bytes
    TARGET_HASH_LIST,  // the shipped hash list: rewritten into KXQ.hvl, never copied
    TARGET_UNKNOWN     // not found out: the entry fails before its bytes are known
};

struct DryRunEntry {
    std::string name;       // index name, code page 932
    std::string target;     // relative path it installs under, code page 932
    uint32_t size = 0;
    bool verified = false;  // the shipped list gives its checksum and the bytes match it
    DryRunTarget state = TARGET_UNKNOWN;
    UpdateResult failure = UPDATE_OK;  // what the real run would end with at this entry
    std::string problem;    // why it fails, "" when it does not (code page 932 paths)
};

struct DryRunReport {
    bool hash_list_exists = false;       // dir\KXQ.hvl is there
    bool hash_list_loads = false;        // ... and is a version-2 list
    bool hash_list_whole = false;        // ... read in full, so the commit can rewrite it
    bool hash_list_replaceable = false;  // ... neither read-only nor a folder
    uint32_t installed_records = 0;
    bool payload_read = false;           // index and shipped list read
    bool uninstall_list_mergeable = false;
    bool space_known = false;
    uint64_t space_free = 0;             // on the installation's file system
    uint64_t space_needed = 0;           // staged copies and the new KXQ.hvl, all at once
    std::vector<DryRunEntry> entries;    // index order; empty when the payload is unreadable
    UpdateResult result = UPDATE_E_DAMAGED;  // what run_update_from would return
    std::string reason;                  // why, when result is not UPDATE_OK
};

// Predicts run_update_from(payload_path, dir) for a run that nobody cancels,
// fills `report` and returns report->result. Every entry is examined, also
// after the first failure; the result is the first failure in the order the
// real run meets them (installed list, payload, entries, commit). What it
// cannot foresee: permissions and locks that refuse a write, and a disk that
// fills up through other programs meanwhile.
UpdateResult dry_run_update(const char* payload_path, const char* dir, DryRunReport* report);
