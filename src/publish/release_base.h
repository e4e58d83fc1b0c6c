// Incremental and cumulative patches: the earlier releases a patch is built
// against, and which of the new release's files must ship. A file ships when
// it is new to, or differs from, any base, so one patch brings every base
// release up to date; a file every base already has with the same bytes is
// left out. Because the updater creates no folders, a shipped file whose
// folder a base release lacks would fail the whole update for its players.
// Paths are code page 932 with "\" and compare as the updater compares them.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include "publish/payload_builder.h"

struct BaseFile {
    std::string path;                 // relative path
    std::array<uint8_t, 8> checksum;  // content checksum, stored byte order
};

// A relative path's collision key (path_rules/target_key.h) as a hashable
// text: the file Windows opens for it, however it is spelt. Empty when the
// path names no file; "" is also the key of the top folder.
typedef std::u16string BaseKey;

struct ReleaseBase {
    std::string shown;                 // the path the publisher gave, for messages
    bool is_folder = false;            // a release folder: its folders are known for certain
    std::vector<BaseFile> files;
    // Built once by the loaders, so that each new file costs one lookup
    // whatever the size of the base.
    std::unordered_map<BaseKey, size_t> file_by_key;  // the first of files with that key
    std::unordered_set<BaseKey> folder_keys;          // folders it has below the top; for a
                                                      // hash list, those its records lie in
};

// A released or installed KXQ.hvl (version 1 or 2) at `path`. False with
// *message when it is not a regular file, cannot be read or is no hash list.
bool load_base_list(const std::string& path, ReleaseBase* base, std::string* message);
// A release folder from its listing (each file's relative `path` and
// `source`; every folder below the top): checksums every file, reporting bytes
// done through `progress` (may be null). False with *message when a file is
// not a regular file or cannot be read.
bool load_base_folder(const std::vector<BuilderFile>& files, const std::vector<std::string>& folders,
                      BuilderProgress progress, void* context, ReleaseBase* base, std::string* message);

enum ShipReason {
    SHIP_NEW,       // some base lacks the file, and none has it with other bytes
    SHIP_CHANGED,   // some base has it with other bytes
    SHIP_UNCHANGED  // every base has it with these bytes: left out
};

struct PlannedFile {
    ShipReason reason = SHIP_NEW;
    uint64_t size = 0;
};

struct ShipPlan {
    std::vector<PlannedFile> files;    // one per source file, in the same order
    size_t shipped_count = 0;
    uint64_t shipped_bytes = 0;        // the shipped files' sizes added up
    std::vector<std::string> warnings; // folders that a hash list base gives no sign of
};

// "new", "changed" or "unchanged".
const char* ship_reason_text(ShipReason reason);
// Decides for every source file whether it ships and why; with no bases every
// file is new. Checksums the sources only when there are bases (progress as
// above). BUILD_REFUSED with *message naming the file when a source is larger
// than an updater can carry (whether or not it would ship), or naming the
// folder when a shipped file's folder is missing from a base release folder;
// BUILD_FAILED when a source is not a regular file or cannot be read; BUILD_OK
// otherwise (warnings in plan->warnings).
BuildStatus plan_shipment(const std::vector<BuilderFile>& files, const std::vector<ReleaseBase>& bases,
                          BuilderProgress progress, void* context, ShipPlan* plan, std::string* message);
// The files of `files` that ship under `plan`, in their order.
std::vector<BuilderFile> shipped_files(const std::vector<BuilderFile>& files, const ShipPlan& plan);
