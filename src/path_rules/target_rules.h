// Which files an update may write: every entry's target and its temporary
// file ("<target>.tmp") must be a file inside the installation folder that no
// other entry writes and that is not one of the lists the engine rewrites.
// The updater checks a payload with check_targets before it creates anything;
// patchtool's builder refuses, and its inspect flags, what it refuses.
#pragma once
#include <cstdint>
#include "path_rules/path_safety.h"
#include "path_rules/target_key.h"

// The two files one entry writes, as keys.
struct EntryTarget {
    TargetKey target;  // the path
    TargetKey tmp;     // the path + ".tmp"
};

// What is wrong with `path` as the target of one entry, alone: path_problem,
// then PATH_TOO_LONG, PATH_NAMES_FOLDER and PATH_LIST_FILE (a key equal to
// KXQ.hvl, KXQ.hvl.new or uninst.lst.new in the installation's root). *out is
// filled when the result is PATH_OK.
PathProblem target_problem(const char* path, EntryTarget* out);
// One entry's target or temporary file is the other's target or temporary file.
bool targets_overlap(const EntryTarget& a, const EntryTarget& b);

struct TargetVerdict {
    PathProblem problem;
    uint32_t other;  // for PATH_SHARES_FILE: the earlier entry it meets
};
// verdicts[j] := the problem of paths[j] (count paths, in index order; a null
// path is an entry that writes nothing, such as the shipped hash list, and is
// always PATH_OK): target_problem, else PATH_SHARES_FILE with the first
// earlier entry it overlaps. True when every verdict is PATH_OK.
bool check_targets(const char* const* paths, uint32_t count, TargetVerdict* verdicts);
