// The one staging order. The real run and the dry run both walk it; what
// they do to the folder at each step is their sink's business (real_folder
// writes, the dry run's sink predicts).
#include "checksum/checksum_read.h"
#include "path_rules/target_rules.h"
#include "update/stop_flags.h"
#include "update/transaction_steps.h"
#include "windows_text/path_buffer.h"

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

// Each chunk read from the payload goes to the sink, moves the file bar and
// pumps the dialog.
class StagingCopy : public ChunkSink {
public:
    StagingCopy(UpdateSession& s, uint64_t size) : s_(s), size_(size) {}
    bool take(const uint8_t* data, uint32_t n) override
    {
        if (!s_.sink->write_staged(data, n)) {
            write_failed = true;
            return false;
        }
        done_ += n;
        // done * 65535 / size, truncated: a finished file stands at 65535.
        s_.progress->set_file_position(static_cast<uint32_t>(done_ * FILE_PROGRESS_MAX / size_));
        return !pump_and_poll(s_);
    }
    bool write_failed = false;

private:
    UpdateSession& s_;
    uint64_t size_;
    uint64_t done_ = 0;
};

// Creates the staged file, copies and checksums the entry into it and
// verifies it. False when the loop must stop (or, in the dry run, this entry
// is done with).
bool write_staged(UpdateSession& s, uint32_t j)
{
    StagedEntry& e = s.entries[j];
    e.staged = true;
    if (!s.sink->open_staged(s, e)) {
        fail_entry(s, j, UPDATE_E_FAILED, "create the staged file");
        return false;
    }
    ContentChecksum sum = {};
    StagingCopy copy(s, entry_size(s.index, j));
    const ChunkReadResult read = read_and_checksum(s.payload, entry_size(s.index, j), s.buffer, &sum, &copy);
    s.sink->close_staged(s, e, sum);
    if (stop_requested())
        return false;
    if (copy.write_failed) {
        fail_entry(s, j, UPDATE_E_FAILED, "write the staged file");
        return false;
    }
    if (read != CHUNK_READ_OK) {
        fail_entry(s, j, UPDATE_E_DAMAGED, "read the entry from the updater (its data is cut short)");
        return false;
    }
    if (!verify_entry(s, j, sum)) {
        fail_entry(s, j, UPDATE_E_DAMAGED, "verify the staged file (its bytes do not match the shipped checksum)");
        return false;
    }
    s.progress->entry_staged(e.target);
    return true;
}

// One iteration of the loop. True to go on with the next entry.
bool stage_entry(UpdateSession& s, uint32_t j)
{
    StagedEntry& e = s.entries[j];
    if (e.failure != UPDATE_OK)  // refused by the target rules (dry run only)
        return true;
    if (!seek_entry(s.payload, s.index, j)) {
        fail_entry(s, j, UPDATE_E_DAMAGED, "reach the entry's data in the updater");
        return false;
    }
    if (!announce_entry(s, j))
        return false;
    e.installed_index = find_installed(s.installed, e.path);
    // The hash list travels in the payload but is rewritten, never copied.
    if (is_hash_list_entry(e))
        return true;
    if (!prepare_target(s, j) || !write_staged(s, j))
        return false;
    s.progress->set_total_position(j + 1);
    return !pump_and_poll(s);
}

// Entries in index order until one fails or a flag stops the loop; the dry
// run goes on past a failed entry. s.reached = the number staged and verified.
void stage_all(UpdateSession& s)
{
    uint32_t j = 0;
    while (j < s.index.count && !stop_requested()) {
        if (!stage_entry(s, j) && (!s.keep_going || stop_requested()))
            break;
        ++j;
    }
    s.reached = j;
}

// Every entry's path, checked with every other's before anything is created:
// a refused target is a damaged payload.
bool check_all_targets(UpdateSession& s)
{
    std::vector<const char*> paths(s.index.count);
    for (uint32_t j = 0; j < s.index.count; ++j) {
        resolve_entry(s, j);
        paths[j] = is_hash_list_entry(s.entries[j]) ? nullptr : s.entries[j].path;
    }
    std::vector<TargetVerdict> verdicts(s.index.count);
    if (check_targets(paths.data(), s.index.count, verdicts.data()))
        return true;
    for (uint32_t j = 0; j < s.index.count; ++j) {
        if (verdicts[j].problem != PATH_OK) {
            s.entries[j].problem = path_problem_text(verdicts[j].problem);
            fail_entry(s, j, UPDATE_E_DAMAGED, s.entries[j].problem);
        }
    }
    return false;
}

}  // namespace

void run_staging_order(UpdateSession& s)
{
    if (!check_all_targets(s) && !s.keep_going)
        return;
    // Every name the entries write must fit before anything is written.
    for (uint32_t j = 0; j < s.index.count; ++j) {
        StagedEntry& e = s.entries[j];
        if (e.failure == UPDATE_OK && !is_hash_list_entry(e) && !prepare_target(s, j) && !s.keep_going)
            return;
    }
    if (!check_before_staging(s) && !s.keep_going)
        return;
    for (StagedEntry& e : s.entries) {
        if (e.failure == UPDATE_OK && !is_hash_list_entry(e))
            s.sink->clear_leftover(s, e);
    }
    stage_all(s);
    std::vector<uint8_t>().swap(s.buffer);
    // The real run gets here with every entry staged, or not at all; the dry
    // run looks at the commit whatever came before.
    if (!stop_requested() && (s.keep_going || !s.failed)) {
        if (check_before_moves(s) || s.keep_going)
            s.sink->commit(s);
    }
    s.sink->clean_up(s);
}
