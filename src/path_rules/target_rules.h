// Which files an update may write: every entry's target, its temporary file
// ("<target>.tmp") and the name its old content is kept under during the
// commit ("<target>.prev") must be files inside the installation folder that
// no other entry writes and that are not one of the lists the engine keeps.
// The updater checks a payload with check_targets before it creates anything;
// patchtool's builder refuses, and its inspect flags, what it refuses.
#pragma once
#include <cstdint>
#include "path_rules/path_safety.h"
#include "path_rules/target_key.h"

// The siblings of a target: where it is staged, and where its old content
// waits until the hash list is rewritten, so that a failed commit can put it
// back.
const char STAGED_SUFFIX[] = ".tmp";
const char KEPT_SUFFIX[] = ".prev";

// The three files one entry writes, as keys.
struct EntryTarget {
    TargetKey target;  // the path
    TargetKey tmp;     // the path + ".tmp"
    TargetKey kept;    // the path + ".prev"
};

// What is wrong with `path` as the target of one entry, alone: path_problem,
// then PATH_TOO_LONG, PATH_NAMES_FOLDER and PATH_LIST_FILE (a key equal to
// KXQ.hvl, uninst.lst or their ".new" siblings in the installation's root). *out is
// filled when the result is PATH_OK.
PathProblem target_problem(const char* path, EntryTarget* out);
// One entry's target or one of its siblings is the other's target or sibling.
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
