// The commit: only reached when every entry is staged and verified.
#include "uninstall_list/uninstall_list.h"
#include "update/transaction_steps.h"

namespace {

// Every staged file reaches the disk before the first move makes any of them
// a game file, so that a power cut after a reported success cannot leave an
// empty or torn game file. Flushing here rather than as each file is written
// lets the system write one file out while the next one is being copied;
// each flush then mostly waits for what is already on its way.
bool flush_staged(UpdateSession& s)
{
    for (const StagedEntry& e : s.entries) {
        if (!e.staged)
            continue;
        FileHandle tmp;
        if (!tmp.open_write(e.tmp) || !tmp.flush())
            return false;
    }
    return true;
}

// A read-only game file refuses the replacing move: its own attribute is
// cleared and the move tried once more. Clearing only after a refusal keeps a
// target that is a link from having the file it points to changed (Wine
// applies SetFileAttributesA through a link, Windows to the link itself; the
// move replaces the link either way).
bool replace_target(const StagedEntry& e)
{
    if (os_move_replace(e.tmp, e.target))
        return true;
    const uint32_t attributes = os_get_attributes(e.target);
    if (attributes == OS_INVALID_ATTRIBUTES || !(attributes & OS_ATTRIBUTE_READONLY))
        return false;
    return os_set_normal_attributes(e.target) && os_move_replace(e.tmp, e.target);
}

// Moves in index order; the first failure ends the commit and the files moved
// before it stay (there is nothing to roll back to).
bool move_staged(UpdateSession& s)
{
    for (const StagedEntry& e : s.entries) {
        if (e.staged && !replace_target(e))
            return false;
    }
    return true;
}

}  // namespace

void commit_all(UpdateSession& s)
{
    if (!flush_staged(s) || !move_staged(s)) {
        s.result = UPDATE_E_FAILED;
        return;
    }
    if (!write_back(s.dir, s.installed_file, s.installed_header, s.installed)) {
        s.result = UPDATE_E_FAILED;
        return;
    }
    prune_missing(s.dir);
    // names holds every entry's path, the hash list's own included, so the
    // uninstaller learns of it too.
    s.result = merge_uninstall_list(s.dir, s.names.data()) ? UPDATE_OK : UPDATE_E_UNINST_LIST;
}

void clean_up(UpdateSession& s)
{
    // After a full commit these are gone; after a stop this removes every
    // temporary file, a half-written one included.
    for (const StagedEntry& e : s.entries) {
        if (e.staged)
            os_delete_file(e.tmp);
    }
}
