// Where a staged entry may be written: inside the installation folder, on a
// target no other staged entry uses, through paths that fit 260 bytes.
#include "path_rules/path_safety.h"
#include "platform/path_buffer.h"
#include "update/transaction_steps.h"

namespace {

// Entry j's target or temporary file is one an earlier staged entry uses:
// the later move would replace the earlier file, or clean-up would delete it.
bool shares_target(const UpdateSession& s, uint32_t j)
{
    const char* path = s.entries[j].path;
    for (uint32_t i = 0; i < j; ++i) {
        const StagedEntry& other = s.entries[i];
        if (!other.staged)
            continue;
        if (paths_name_one_file(path, nullptr, other.path, nullptr) ||
            paths_name_one_file(path, ".tmp", other.path, nullptr) ||
            paths_name_one_file(path, nullptr, other.path, ".tmp"))
            return true;
    }
    return false;
}

}  // namespace

bool prepare_target(UpdateSession& s, uint32_t j)
{
    StagedEntry& e = s.entries[j];
    if (path_escapes_folder(e.path) || shares_target(s, j)) {
        s.result = UPDATE_E_DAMAGED;
        return false;
    }
    if (!path_join(e.tmp, sizeof e.tmp, s.dir, e.path, ".tmp") ||
        !path_join(e.target, sizeof e.target, s.dir, e.path)) {
        s.result = UPDATE_E_FAILED;
        return false;
    }
    return true;
}
