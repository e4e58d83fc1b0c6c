// Where each staged entry is written: the path it installs under, and the
// names it is composed into with the installation folder, which must fit 260
// bytes.
#include <cstring>

#include "path_rules/target_rules.h"
#include "update/entry_paths.h"
#include "update/transaction_steps.h"
#include "windows_text/path_buffer.h"

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

bool prepare_target(UpdateSession& s, uint32_t j)
{
    StagedEntry& e = s.entries[j];
    if (!path_join(e.tmp, sizeof e.tmp, s.dir, e.path, STAGED_SUFFIX) ||
        !path_join(e.kept, sizeof e.kept, s.dir, e.path, KEPT_SUFFIX) ||
        !path_join(e.target, sizeof e.target, s.dir, e.path)) {
        e.problem = "the path does not fit 260 bytes";
        fail_entry(s, j, UPDATE_E_FAILED, e.problem);
        return false;
    }
    return true;
}
