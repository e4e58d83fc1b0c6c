#include "path_rules/target_rules.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include "path_rules/list_files.h"

namespace {

// An entry installed as one of these would be overwritten by the list
// rewrites after the commit, or would replace a list itself (".\KXQ.hvl",
// "KXQ.hvl." are KXQ.hvl on Windows): the installed hash list with the
// shipped one, or the player's uninstall list, with every line only the
// player had, before the merge could keep them.
bool is_list_file(const TargetKey& key)
{
    TargetKey list;
    for (const char* name : {HASH_LIST_NAME, UNINSTALL_LIST_NAME}) {
        for (const char* suffix : {static_cast<const char*>(nullptr), LIST_REWRITE_SUFFIX}) {
            if (target_key(&list, name, suffix) && target_keys_equal(key, list))
                return true;
        }
    }
    return false;
}

// Any of a's three files is one of b's.
bool keys_meet(const EntryTarget& a, const EntryTarget& b)
{
    const TargetKey* const mine[] = {&a.target, &a.tmp, &a.kept};
    const TargetKey* const theirs[] = {&b.target, &b.tmp, &b.kept};
    for (const TargetKey* x : mine) {
        for (const TargetKey* y : theirs) {
            if (target_keys_equal(*x, *y))
                return true;
        }
    }
    return false;
}

// Entry i's keys were made: it has no problem of its own.
bool has_keys(const TargetVerdict& v)
{
    return v.problem == PATH_OK || v.problem == PATH_SHARES_FILE;
}

}  // namespace

PathProblem target_problem(const char* path, EntryTarget* out)
{
    const PathProblem problem = path_problem(path);
    if (problem != PATH_OK)
        return problem;
    // The longer sibling decides whether the path fits.
    if (std::strlen(path) + sizeof KEPT_SUFFIX > OS_PATH_SIZE)
        return PATH_TOO_LONG;
    if (!target_key(&out->target, path, nullptr) || !target_key(&out->tmp, path, STAGED_SUFFIX) ||
        !target_key(&out->kept, path, KEPT_SUFFIX))
        return PATH_NAMES_FOLDER;
    return is_list_file(out->target) ? PATH_LIST_FILE : PATH_OK;
}

bool targets_overlap(const EntryTarget& a, const EntryTarget& b)
{
    return keys_meet(a, b);
}

bool check_targets(const char* const* paths, uint32_t count, TargetVerdict* verdicts)
{
    std::vector<EntryTarget> targets(count);
    bool all_ok = true;
    for (uint32_t j = 0; j < count; ++j) {
        verdicts[j] = TargetVerdict{PATH_OK, 0};
        if (!paths[j])
            continue;
        verdicts[j].problem = target_problem(paths[j], &targets[j]);
        for (uint32_t i = 0; i < j && verdicts[j].problem == PATH_OK; ++i) {
            // An entry with a problem of its own writes nothing to compare with.
            if (paths[i] && has_keys(verdicts[i]) && targets_overlap(targets[i], targets[j]))
                verdicts[j] = TargetVerdict{PATH_SHARES_FILE, i};
        }
        all_ok = all_ok && verdicts[j].problem == PATH_OK;
    }
    return all_ok;
}
