// The checks the commit relies on, beside it: everything that would make a
// move or the rewrite of KXQ.hvl fail predictably is found before anything is
// replaced, so that rollback is left for what no one can foresee (a scanner's
// lock that outlasts the retries, a yanked drive). The real run and the dry
// run both make them, at the same points of the staging order.
#include "hash_list/hash_list_format.h"
#include "path_rules/list_files.h"
#include "update/transaction_steps.h"
#include "windows_text/path_buffer.h"

bool path_is_folder(const char* path)
{
    const uint32_t attributes = os_get_attributes(path);
    return attributes != OS_INVALID_ATTRIBUTES && (attributes & OS_ATTRIBUTE_DIRECTORY);
}

namespace {

// The entries that will be written, as opposed to refused or rewritten.
bool writes_file(const StagedEntry& e)
{
    return e.failure == UPDATE_OK && !is_hash_list_entry(e);
}

// KXQ.hvl was read in full and may be replaced, and neither list's ".new"
// sibling is taken by something the rewrite cannot clear away.
bool lists_rewritable(UpdateSession& s)
{
    char path[OS_PATH_SIZE];
    bool ok = true;
    if (s.installed_file.is_open()) {
        fail_list(s, UPDATE_E_FAILED, "rewrite KXQ.hvl (it ends before its last record)", HASH_LIST_NAME);
        ok = false;
    }
    if (!hash_list_replaceable(s.dir)) {
        fail_list(s, UPDATE_E_FAILED, "rewrite KXQ.hvl (it is read-only or a folder)", HASH_LIST_NAME);
        ok = false;
    }
    for (const char* list : {HASH_LIST_NAME, UNINSTALL_LIST_NAME}) {
        if (path_join(path, sizeof path, s.dir, list, LIST_REWRITE_SUFFIX) && path_is_folder(path)) {
            fail(s, UPDATE_E_FAILED, "rewrite a list (a folder stands where its new copy is written)", path);
            ok = false;
        }
    }
    return ok;
}

// No folder stands where an entry's file, or the copy of its old content,
// would be moved.
bool targets_movable(UpdateSession& s)
{
    bool ok = true;
    for (uint32_t j = 0; j < s.index.count; ++j) {
        StagedEntry& e = s.entries[j];
        if (!writes_file(e))
            continue;
        if (path_is_folder(e.target) || path_is_folder(e.kept)) {
            e.problem = "a folder stands where the file goes";
            fail_entry(s, j, UPDATE_E_FAILED, e.problem);
            ok = false;
        }
    }
    return ok;
}

// `value` in decimal, into `out` (21 bytes hold any 64-bit value).
void decimal(uint64_t value, char out[21])
{
    char digits[21];
    uint32_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    for (uint32_t i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    out[n] = '\0';
}

// Records the rewritten KXQ.hvl will have: its own and one more for every
// verified entry it does not list yet.
uint64_t records_after(UpdateSession& s)
{
    uint64_t records = s.installed.size();
    for (const StagedEntry& e : s.entries) {
        if (writes_file(e) && e.has_expected && find_installed(s.installed, e.path) < 0)
            ++records;
    }
    return records;
}

}  // namespace

bool check_before_staging(UpdateSession& s)
{
    bool ok = lists_rewritable(s) && targets_movable(s);
    const uint64_t records = records_after(s);
    // A list past the reader's own limit would be written, and from then on
    // refused by every later update and by verify.
    if (records > HASH_LIST_MAX_RECORDS) {
        fail_list(s, UPDATE_E_FAILED, "rewrite KXQ.hvl (it would pass the 262,144 records a hash list may hold)",
                  HASH_LIST_NAME);
        ok = false;
    }
    // Every staged file exists at once beside the old one, and the new list
    // beside the old list.
    s.space_needed = HASH_HEADER_SIZE + records * HASH_RECORD_V2_SIZE;
    for (uint32_t j = 0; j < s.index.count; ++j) {
        if (writes_file(s.entries[j]))
            s.space_needed += entry_size(s.index, j);
    }
    uint64_t free_bytes = 0;
    if (os_free_space(s.dir, &free_bytes) && s.space_needed > free_bytes) {
        static char step[96];
        char shortfall[21];
        decimal(s.space_needed - free_bytes, shortfall);
        if (!text_join(step, sizeof step, "find room for the staged files (", shortfall, " more bytes are needed)"))
            text_join(step, sizeof step, "find room for the staged files", nullptr);
        fail(s, UPDATE_E_FAILED, step, nullptr);
        ok = false;
    }
    return ok;
}

bool check_before_moves(UpdateSession& s)
{
    const bool lists = lists_rewritable(s);
    return targets_movable(s) && lists;
}
