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

// Moves in index order; the first failure ends the commit and the files moved
// before it stay (there is nothing to roll back to).
bool move_staged(UpdateSession& s)
{
    for (const StagedEntry& e : s.entries) {
        if (!e.staged)
            continue;
        // A read-only game file would refuse the replacing move.
        os_set_normal_attributes(e.target);
        if (!os_move_replace(e.tmp, e.target))
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
