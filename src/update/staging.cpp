// The staging loop: each payload entry is written beside its target as
// "<target>.tmp"; nothing in the installation folder is replaced here.
#include <cstring>

#include "windows_text/path_buffer.h"
#include "update/stop_flags.h"
#include "update/transaction_steps.h"

namespace {

// "%sをインストール中" in code page 932.
const char INSTALLING_SUFFIX[] = "\x82\xf0\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b\x92\x86";

// Status line and file bar for the new entry, then a pump. False on a stop.
bool announce_entry(UpdateSession& s, uint32_t j)
{
    char status[OS_PATH_SIZE + sizeof INSTALLING_SUFFIX];
    if (!text_join(status, sizeof status, s.entries[j].path, INSTALLING_SUFFIX))
        status[0] = '\0';
    s.progress->set_status(status);
    s.progress->set_file_position(0);
    return !pump_and_poll(s);
}

// Creates the temporary file, copies and checksums the entry into it and
// verifies it. False when the loop must stop. The file is made durable later,
// with all the others, just before the commit (see commit.cpp).
bool write_staged(UpdateSession& s, uint32_t j)
{
    StagedEntry& e = s.entries[j];
    e.staged = true;
    // A leftover of an interrupted run, or a name someone planted (a link to
    // a file elsewhere, a hard link to the target), is removed, never written
    // through.
    FileHandle tmp;
    if (!tmp.create_fresh(e.tmp)) {
        s.result = UPDATE_E_FAILED;
        return false;
    }
    ContentChecksum sum = {};
    const bool copied = copy_entry(s, j, &tmp, &sum);
    tmp.close();
    if (stop_requested() || !copied)
        return false;
    return verify_entry(s, j, sum);
}

// One iteration of the loop. True to go on with the next entry.
bool stage_entry(UpdateSession& s, uint32_t j)
{
    // Entry j's path was resolved, and checked with every other entry's, in
    // the set-up (check_all_targets).
    if (!seek_entry(s.payload, s.index, j))
        return false;
    if (!announce_entry(s, j))
        return false;
    StagedEntry& e = s.entries[j];
    e.installed_index = find_installed(s.installed, e.path);
    // The hash list travels in the payload but is rewritten, never copied.
    if (is_hash_list_entry(e))
        return true;
    if (!prepare_target(s, j) || !write_staged(s, j))
        return false;
    s.progress->set_total_position(j + 1);
    return !pump_and_poll(s);
}

}  // namespace

void stage_all(UpdateSession& s)
{
    uint32_t j = 0;
    while (j < s.index.count && !stop_requested()) {
        if (!stage_entry(s, j))
            break;
        ++j;
    }
    s.reached = j;
}
