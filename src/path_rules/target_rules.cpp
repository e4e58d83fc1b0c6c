#include "path_rules/target_rules.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include "path_rules/list_files.h"

namespace {

const char TEMPORARY_SUFFIX[] = ".tmp";

// An entry installed as one of these would be overwritten by the list
// rewrites after the commit, or would replace the installed list itself
// (".\KXQ.hvl", "KXQ.hvl." are KXQ.hvl on Windows) with the shipped one.
bool is_list_file(const TargetKey& key)
{
    TargetKey list;
    if (target_key(&list, HASH_LIST_NAME, nullptr) && target_keys_equal(key, list))
        return true;
    for (const char* name : {HASH_LIST_NAME, UNINSTALL_LIST_NAME}) {
        if (target_key(&list, name, LIST_REWRITE_SUFFIX) && target_keys_equal(key, list))
            return true;
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
    if (std::strlen(path) + sizeof TEMPORARY_SUFFIX > OS_PATH_SIZE)
        return PATH_TOO_LONG;
    if (!target_key(&out->target, path, nullptr) || !target_key(&out->tmp, path, TEMPORARY_SUFFIX))
        return PATH_NAMES_FOLDER;
    return is_list_file(out->target) ? PATH_LIST_FILE : PATH_OK;
}

bool targets_overlap(const EntryTarget& a, const EntryTarget& b)
{
    return target_keys_equal(a.target, b.target) || target_keys_equal(a.target, b.tmp) ||
           target_keys_equal(a.tmp, b.target) || target_keys_equal(a.tmp, b.tmp);
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
