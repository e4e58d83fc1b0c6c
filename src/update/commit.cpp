// The real run's folder: the staged files are written here, and the commit
// replaces the targets so that a failure at any point can put every old file
// back. Each target's old content is first kept under "<target>.prev" (a
// hard link where the volume has them, so the target never goes missing;
// moved aside otherwise), then the verified staged file is moved over it.
// Only after the last move has KXQ.hvl been rewritten are the kept copies
// dropped. A failed move, or a failed rewrite of KXQ.hvl, moves every kept
// copy back in reverse order; both lists then stay as they were.
#include "path_rules/list_files.h"
#include "uninstall_list/uninstall_list.h"
#include "update/retry.h"
#include "update/transaction_steps.h"

namespace {

// The attributes the game's tools may rely on: read-only, hidden, system.
const uint32_t KEPT_ATTRIBUTES = OS_ATTRIBUTE_READONLY | OS_ATTRIBUTE_HIDDEN | OS_ATTRIBUTE_SYSTEM;

bool is_file(uint32_t attributes)
{
    return attributes != OS_INVALID_ATTRIBUTES && !(attributes & OS_ATTRIBUTE_DIRECTORY);
}

// Every staged file reaches the disk before the first move makes any of them
// a game file, so that a power cut after a reported success cannot leave an
// empty or torn game file. Flushing here rather than as each file is written
// lets the system write one file out while the next one is being copied.
bool flush_staged(UpdateSession& s)
{
    for (const StagedEntry& e : s.entries) {
        if (!e.staged)
            continue;
        FileHandle tmp;
        if (!tmp.open_write(e.tmp) || !tmp.flush()) {
            fail(s, UPDATE_E_FAILED, "write the staged file to the disk", e.tmp);
            return false;
        }
    }
    return true;
}

// The old content under e.kept, so that it can be put back.
bool keep_old_content(UpdateSession& s, StagedEntry& e)
{
    e.old_attributes = os_get_attributes(e.target);
    if (!is_file(e.old_attributes)) {
        e.keep = KEPT_NONE;
        return true;
    }
    if (os_hard_link(e.target, e.kept)) {
        e.keep = KEPT_LINKED;
        return true;
    }
    if (with_retries(s, [&] { return os_move_replace(e.target, e.kept); })) {
        e.keep = KEPT_MOVED;
        return true;
    }
    fail(s, UPDATE_E_FAILED, "keep the old content of the target", e.target);
    return false;
}

// A read-only game file refuses the replacing move: its own attribute is
// cleared and the move tried once more. Clearing only after a refusal keeps a
// target that is a link from having the file it points to changed.
bool move_over_target(const StagedEntry& e, uint32_t* error)
{
    if (os_move_replace(e.tmp, e.target))
        return true;
    *error = os_last_error();
    const uint32_t attributes = os_get_attributes(e.target);
    if (attributes == OS_INVALID_ATTRIBUTES || !(attributes & OS_ATTRIBUTE_READONLY))
        return false;
    if (os_set_normal_attributes(e.target) && os_move_replace(e.tmp, e.target))
        return true;
    *error = os_last_error();
    return false;
}

bool replace_target(UpdateSession& s, StagedEntry& e)
{
    // A target held without delete sharing is waited for before its old
    // content is kept: the kept name could not be removed again while held.
    const bool free = with_retries(s, [&] { return os_file_replaceable(e.target); });
    if (free && !keep_old_content(s, e))
        return false;
    if (free && with_retries_of(s, [&](uint32_t* error) { return move_over_target(e, error); })) {
        e.moved = true;
        return true;
    }
    fail(s, UPDATE_E_FAILED, "replace the target with the staged file", e.target);
    return false;
}

// Entry e as it was before the commit: its old content back under its name
// (with the attributes it had), or the new file gone where there was none.
void put_back(UpdateSession& s, StagedEntry& e)
{
    bool ok = true;
    if (e.keep == KEPT_NONE) {
        if (e.moved)
            ok = with_retries(s, [&] { return os_delete_file(e.target); });
    } else if (e.keep == KEPT_LINKED && !e.moved) {
        os_delete_file(e.kept);  // the target is still the old file itself
    } else {
        ok = with_retries(s, [&] { return os_move_replace(e.kept, e.target); });
        if (ok && (e.old_attributes & KEPT_ATTRIBUTES))
            os_set_attributes(e.target, e.old_attributes);
    }
    if (!ok)
        fail(s, UPDATE_E_FAILED, "put the old content back", e.target);
    e.moved = false;
    e.keep = KEPT_NONE;
}

void roll_back(UpdateSession& s)
{
    for (size_t j = s.entries.size(); j-- > 0;) {
        StagedEntry& e = s.entries[j];
        if (e.moved || e.keep != KEPT_NONE)
            put_back(s, e);
    }
}

// The update stands: the old contents are no longer needed.
void drop_kept(UpdateSession& s)
{
    for (StagedEntry& e : s.entries) {
        if (e.keep == KEPT_NONE)
            continue;
        os_set_normal_attributes(e.kept);
        if (!os_delete_file(e.kept))
            s.progress->failure("remove the kept old content", e.kept, os_last_error());
        e.keep = KEPT_NONE;
    }
}

class RealFolder : public FolderSink {
public:
    void clear_leftover(UpdateSession&, StagedEntry& e) override
    {
        if (!is_file(os_get_attributes(e.kept)))
            return;
        // An earlier run stopped in its commit. Where it had moved the old
        // content aside and not back, that copy is the game's file.
        if (os_get_attributes(e.target) == OS_INVALID_ATTRIBUTES) {
            os_move_replace(e.kept, e.target);
            return;
        }
        os_set_normal_attributes(e.kept);
        os_delete_file(e.kept);
    }

    bool open_staged(UpdateSession& s, StagedEntry& e) override
    {
        // A leftover of an interrupted run, or a name someone planted (a link
        // to a file elsewhere, a hard link to the target), is removed, never
        // written through.
        return with_retries(s, [&] { return tmp_.create_fresh(e.tmp); });
    }

    bool write_staged(const uint8_t* data, uint32_t n) override { return tmp_.write(data, n) == n; }

    void close_staged(UpdateSession&, StagedEntry&, const ContentChecksum&) override { tmp_.close(); }

    void commit(UpdateSession& s) override
    {
        if (!flush_staged(s))
            return;
        for (StagedEntry& e : s.entries) {
            if (e.staged && !replace_target(s, e)) {
                roll_back(s);
                return;
            }
        }
        if (!with_retries(s, [&] { return write_back(s.dir, s.installed_file, s.installed_header, s.installed); })) {
            fail_list(s, UPDATE_E_FAILED, "rewrite KXQ.hvl", HASH_LIST_NAME);
            roll_back(s);
            return;
        }
        drop_kept(s);
        prune_missing(s.dir);
        // names holds every entry's path, the hash list's own included, so the
        // uninstaller learns of it too.
        if (merge_uninstall_list(s.dir, s.names.data()))
            s.result = UPDATE_OK;
        else
            fail_list(s, UPDATE_E_UNINST_LIST, "merge the new files into uninst.lst", UNINSTALL_LIST_NAME);
    }

    void clean_up(UpdateSession& s) override
    {
        // After a full commit these are gone; after a stop or a failure this
        // removes every temporary file, a half-written one included.
        for (const StagedEntry& e : s.entries) {
            if (e.staged)
                os_delete_file(e.tmp);
        }
    }

private:
    FileHandle tmp_;
};

}  // namespace

FolderSink& real_folder()
{
    static RealFolder folder;
    return folder;
}
