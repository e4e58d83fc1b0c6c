#include "update/dry_run.h"

#include "hash_list/hash_list_format.h"
#include "windows_text/path_buffer.h"
#include "uninstall_list/uninstall_list.h"
#include "update/entry_paths.h"
#include "update/transaction_steps.h"

namespace {

// The dialog's part in a run nobody watches: nothing shown, never stopped.
class QuietProgress : public ProgressView {
public:
    void set_status(const char*) override {}
    void set_file_range(uint32_t) override {}
    void set_file_position(uint32_t) override {}
    void set_total_range(uint32_t) override {}
    void set_total_position(uint32_t) override {}
    int pump() override { return 0; }
};

// Keeps the first failure: the real run stops at it, so it is the result.
void fail(DryRunReport* report, UpdateResult code, const std::string& reason)
{
    if (report->result != UPDATE_OK)
        return;
    report->result = code;
    report->reason = reason;
}

void check_installed_list(UpdateSession& s, DryRunReport* report)
{
    char path[OS_PATH_SIZE];
    report->hash_list_exists = path_join(path, sizeof path, s.dir, HASH_LIST_NAME) &&
                               os_get_attributes(path) != OS_INVALID_ATTRIBUTES;
    report->hash_list_loads = load_installed(s.dir, s.installed_file, &s.installed_header, &s.installed);
    // The load leaves the list open when it stopped short; the commit then
    // refuses to rewrite it.
    report->hash_list_whole = report->hash_list_loads && !s.installed_file.is_open();
    report->hash_list_replaceable = hash_list_replaceable(s.dir);
    report->installed_records = static_cast<uint32_t>(s.installed.size());
    if (!report->hash_list_loads)
        fail(report, UPDATE_E_FAILED,
             report->hash_list_exists ? "KXQ.hvl is not a version 2 hash list" : "there is no KXQ.hvl");
}

// The folder a staged file is created in exists: the updater creates none.
bool parent_folder_exists(const char* file)
{
    const char* name = path_file_part(file);
    if (name == file)
        return true;
    std::string folder(file, static_cast<size_t>(name - file) - 1);
    const uint32_t attributes = os_get_attributes(folder.c_str());
    return attributes != OS_INVALID_ATTRIBUTES && (attributes & OS_ATTRIBUTE_DIRECTORY);
}

// What the commit's move would do to the file at the target.
DryRunTarget target_state(UpdateSession& s, const StagedEntry& e, const ContentChecksum& sum)
{
    // Read as the lists are read: a planted pipe must not make the dry run
    // wait, nor a link make it read a file elsewhere. Such a name is replaced.
    FileHandle file;
    if (!file.open_read_regular(e.target))
        return os_get_attributes(e.target) == OS_INVALID_ATTRIBUTES ? TARGET_NEW : TARGET_CHANGED;
    ContentChecksum there = {};
    const uint32_t size = file.size();
    for (uint32_t done = 0; done < size;) {
        const uint32_t chunk = size - done < COPY_CHUNK_SIZE ? size - done : COPY_CHUNK_SIZE;
        if (file.read(s.buffer.data(), chunk) != chunk)
            return TARGET_CHANGED;
        checksum_update(&there, s.buffer.data(), chunk);
        done += chunk;
    }
    return checksum_equal(there, sum) ? TARGET_CURRENT : TARGET_CHANGED;
}

// The staging loop's steps for entry j, in its order, with the writing left
// out. On a failure entry->failure and entry->problem say what the real run
// would end with here.
void examine_entry(UpdateSession& s, uint32_t j, const TargetVerdict& verdict, DryRunReport* report,
                   DryRunEntry* entry)
{
    s.result = UPDATE_E_DAMAGED;
    StagedEntry& e = s.entries[j];
    resolve_entry(s, j);
    entry->target = e.path;
    if (!seek_entry(s.payload, s.index, j)) {
        entry->failure = s.result;
        entry->problem = "its data lies beyond what the file can reach";
        return;
    }
    e.installed_index = find_installed(s.installed, e.path);
    if (is_hash_list_entry(e)) {
        entry->state = TARGET_HASH_LIST;
        return;
    }
    if (verdict.problem != PATH_OK) {
        entry->failure = UPDATE_E_DAMAGED;
        entry->problem = path_problem_text(verdict.problem);
        return;
    }
    if (!prepare_target(s, j)) {
        entry->failure = s.result;
        entry->problem = "the path does not fit 260 bytes";
        return;
    }
    e.staged = true;
    if (!parent_folder_exists(e.tmp)) {
        entry->failure = UPDATE_E_FAILED;
        const size_t folder_length = static_cast<size_t>(path_file_part(e.path) - e.path);
        const std::string folder = folder_length ? std::string(e.path, folder_length - 1) : std::string(s.dir);
        entry->problem = "the folder " + folder + " is missing, and the updater creates no folders";
        return;
    }
    ContentChecksum sum = {};
    if (!copy_entry(s, j, nullptr, &sum)) {
        entry->failure = s.result;
        entry->problem = "its data is cut short";
        return;
    }
    report->space_needed += entry->size;
    if (report->space_known && report->space_needed > report->space_free) {
        entry->failure = UPDATE_E_FAILED;
        entry->problem = "the disk would be full before it is staged";
        return;
    }
    entry->verified = e.has_expected;
    if (!verify_entry(s, j, sum)) {
        entry->verified = false;
        entry->failure = UPDATE_E_DAMAGED;
        entry->problem = "its bytes do not match the checksum in the shipped list";
        return;
    }
    entry->state = target_state(s, e, sum);
}

// What the commit meets once everything is staged: the moves, the rewrite
// of KXQ.hvl and the merge of uninst.lst.
void check_commit(UpdateSession& s, DryRunReport* report)
{
    for (const StagedEntry& e : s.entries) {
        const uint32_t attributes = e.staged ? os_get_attributes(e.target) : OS_INVALID_ATTRIBUTES;
        if (attributes != OS_INVALID_ATTRIBUTES && (attributes & OS_ATTRIBUTE_DIRECTORY))
            fail(report, UPDATE_E_FAILED, std::string("a folder stands where ") + e.path + " would be moved");
    }
    report->space_needed += HASH_HEADER_SIZE + static_cast<uint64_t>(s.installed.size()) * HASH_RECORD_V2_SIZE;
    if (report->space_known && report->space_needed > report->space_free)
        fail(report, UPDATE_E_FAILED, "the disk would be full before KXQ.hvl is rewritten");
    if (!report->hash_list_whole)
        fail(report, UPDATE_E_FAILED, "KXQ.hvl ends before its last record, so it would not be rewritten");
    if (!report->hash_list_replaceable)
        fail(report, UPDATE_E_FAILED, "KXQ.hvl is read-only, so it would not be rewritten");
    if (!report->uninstall_list_mergeable)
        fail(report, UPDATE_E_UNINST_LIST, "uninst.lst is missing, empty, unreadable or read-only");
}

}  // namespace

UpdateResult dry_run_update(const char* payload_path, const char* dir, DryRunReport* report)
{
    *report = DryRunReport();
    report->result = UPDATE_OK;
    QuietProgress quiet;
    UpdateSession s;
    s.dir = dir;
    s.progress = &quiet;
    check_installed_list(s, report);
    report->uninstall_list_mergeable = uninstall_list_mergeable(dir);
    report->space_known = os_free_space(dir, &report->space_free);
    report->payload_read = set_up(s, payload_path);
    if (!report->payload_read) {
        fail(report, s.result, s.result == UPDATE_E_TOO_MANY_ENTRIES ? "the updater holds more than 256 entries"
                                                                     : "the updater's payload cannot be read");
        return report->result;
    }
    // The real run checks every target together before it creates anything,
    // so a refused target decides the result whatever comes before it.
    std::vector<TargetVerdict> verdicts;
    if (!check_payload_targets(s.index, s.shipped, &verdicts)) {
        for (uint32_t j = 0; j < s.index.count; ++j) {
            if (verdicts[j].problem == PATH_OK)
                continue;
            resolve_entry(s, j);
            fail(report, UPDATE_E_DAMAGED, std::string(s.entries[j].path) + ": " + path_problem_text(verdicts[j].problem));
            break;
        }
    }
    for (uint32_t j = 0; j < s.index.count; ++j) {
        DryRunEntry entry;
        char name[97];
        entry_name(s.index, j, name);
        entry.name = name;
        entry.size = entry_size(s.index, j);
        examine_entry(s, j, verdicts[j], report, &entry);
        if (entry.failure != UPDATE_OK)
            fail(report, entry.failure, entry.target + ": " + entry.problem);
        report->entries.push_back(entry);
    }
    check_commit(s, report);
    return report->result;
}
