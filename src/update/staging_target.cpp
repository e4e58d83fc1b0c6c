// Where a staged entry may be written: inside the installation folder, on a
// target no other staged entry uses, through paths that fit 260 bytes.
#include "platform/path_buffer.h"
#include "update/name_compare.h"
#include "update/path_safety.h"
#include "update/transaction_steps.h"

namespace {

// a + a_suffix and b + b_suffix name the same file: "/" and "\" are one
// separator and letters compare after the engine's lower-casing. Texts that
// do not fit a path are never equal (such an entry fails its own length test).
bool same_file(const char* a, const char* a_suffix, const char* b, const char* b_suffix)
{
    char joined[OS_PATH_SIZE];
    char left[OS_PATH_SIZE];
    char right[OS_PATH_SIZE];
    if (!text_join(joined, sizeof joined, a, a_suffix) ||
        !path_with_backslashes(left, sizeof left, joined))
        return false;
    if (!text_join(joined, sizeof joined, b, b_suffix) ||
        !path_with_backslashes(right, sizeof right, joined))
        return false;
    return names_equal(left, right);
}

// Entry j's target or temporary file is one an earlier staged entry uses:
// the later move would replace the earlier file, or clean-up would delete it.
bool shares_target(const UpdateSession& s, uint32_t j)
{
    const char* path = s.entries[j].path;
    for (uint32_t i = 0; i < j; ++i) {
        const StagedEntry& other = s.entries[i];
        if (!other.staged)
            continue;
        if (same_file(path, nullptr, other.path, nullptr) ||
            same_file(path, ".tmp", other.path, nullptr) ||
            same_file(path, nullptr, other.path, ".tmp"))
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
