// Where each staged entry is written: the path it installs under, checked
// for the whole payload before anything is created, and composed with the
// installation folder into paths that fit 260 bytes.
#include <cstring>

#include "windows_text/path_buffer.h"
#include "update/entry_paths.h"
#include "update/transaction_steps.h"

void resolve_entry(UpdateSession& s, uint32_t j)
{
    StagedEntry& e = s.entries[j];
    const HashRecord* record = entry_install_path(s.index, s.shipped, j, e.path);
    e.has_expected = record != nullptr;
    if (record)
        std::memcpy(e.expected, record->checksum, sizeof e.expected);
    s.names[j] = e.path;
}

bool is_hash_list_entry(const StagedEntry& e)
{
    return is_hash_list_path(e.path);
}

bool check_all_targets(UpdateSession& s)
{
    for (uint32_t j = 0; j < s.index.count; ++j)
        resolve_entry(s, j);
    std::vector<TargetVerdict> verdicts;
    if (check_payload_targets(s.index, s.shipped, &verdicts))
        return true;
    s.result = UPDATE_E_DAMAGED;
    return false;
}

bool prepare_target(UpdateSession& s, uint32_t j)
{
    StagedEntry& e = s.entries[j];
    if (!path_join(e.tmp, sizeof e.tmp, s.dir, e.path, ".tmp") ||
        !path_join(e.target, sizeof e.target, s.dir, e.path)) {
        s.result = UPDATE_E_FAILED;
        return false;
    }
    return true;
}
