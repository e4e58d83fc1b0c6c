#include "update/dry_run.h"

#include "checksum/checksum_read.h"
#include "hash_list/hash_list_format.h"
#include "path_rules/list_files.h"
#include "uninstall_list/uninstall_list.h"
#include "update/transaction_steps.h"
#include "windows_text/path_buffer.h"

namespace {

// The dialog's part in a run nobody watches: nothing shown, never stopped.
// The first failure the staging order meets is the reason the report gives.
class QuietProgress : public ProgressView {
public:
    void set_status(const char*) override {}
    void set_file_range(uint32_t) override {}
    void set_file_position(uint32_t) override {}
    void set_total_range(uint32_t) override {}
    void set_total_position(uint32_t) override {}
    int pump() override { return 0; }
    void failure(const char* step, const char* path, uint32_t) override
    {
        if (reason.empty())
            reason = std::string(path) + ": " + step;
    }
    std::string reason;
};

// The folder a staged file is created in exists: the updater creates none.
bool parent_folder_exists(const char* file)
{
    const char* name = path_file_part(file);
    if (name == file)
        return true;
    return path_is_folder(std::string(file, static_cast<size_t>(name - file) - 1).c_str());
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
    if (read_and_checksum(file, file.size64(), s.buffer, &there, nullptr) != CHUNK_READ_OK)
        return TARGET_CHANGED;
    return checksum_equal(there, sum) ? TARGET_CURRENT : TARGET_CHANGED;
}

// The folder as the real run would find it at each step, predicted from what
// is there; nothing is written, moved or removed, not even a leftover.
class PredictedFolder : public FolderSink {
public:
    explicit PredictedFolder(DryRunReport* report) : report_(report) {}
    void clear_leftover(UpdateSession&, StagedEntry&) override {}
    bool open_staged(UpdateSession& s, StagedEntry& e) override
    {
        // What create_fresh cannot clear away or create in.
        if (!parent_folder_exists(e.tmp)) {
            e.problem = "its folder is missing, and the updater creates no folders";
            const size_t folder = static_cast<size_t>(path_file_part(e.path) - e.path);
            details_[&e - s.entries.data()] =
                "the folder " + (folder ? std::string(e.path, folder - 1) : std::string(s.dir)) +
                " is missing, and the updater creates no folders";
        }
        else if (path_is_folder(e.tmp))
            e.problem = "a folder stands where its staged copy is written";
        return e.problem == nullptr;
    }
    bool write_staged(const uint8_t*, uint32_t) override { return true; }
    void close_staged(UpdateSession& s, StagedEntry& e, const ContentChecksum& sum) override
    {
        states_[&e - s.entries.data()] = target_state(s, e, sum);
    }
    void commit(UpdateSession& s) override
    {
        if (!report_->uninstall_list_mergeable)
            fail_list(s, UPDATE_E_UNINST_LIST,
                      "merge the new files into uninst.lst (missing, empty, unreadable or read-only)",
                      UNINSTALL_LIST_NAME);
    }
    void clean_up(UpdateSession&) override {}

    std::vector<DryRunTarget> states_;
    std::vector<std::string> details_;  // a fuller reason than the entry's own

private:
    DryRunReport* report_;
};

void describe_installed_list(UpdateSession& s, DryRunReport* report)
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
}

void describe_entries(UpdateSession& s, const PredictedFolder& folder, DryRunReport* report)
{
    for (uint32_t j = 0; j < s.index.count; ++j) {
        const StagedEntry& e = s.entries[j];
        DryRunEntry entry;
        char name[97];
        entry_name(s.index, j, name);
        entry.name = name;
        entry.target = e.path;
        entry.size = entry_size(s.index, j);
        entry.state = is_hash_list_entry(e) ? TARGET_HASH_LIST : folder.states_[j];
        entry.verified = e.has_expected && e.staged && e.failure == UPDATE_OK;
        entry.failure = e.failure;
        entry.problem = !folder.details_[j].empty() ? folder.details_[j] : e.problem ? e.problem : "";
        report->entries.push_back(entry);
    }
}

}  // namespace

UpdateResult dry_run_update(const char* payload_path, const char* dir, DryRunReport* report)
{
    *report = DryRunReport();
    QuietProgress quiet;
    PredictedFolder folder(report);
    UpdateSession s;
    s.dir = dir;
    s.progress = &quiet;
    s.sink = &folder;
    s.keep_going = true;
    describe_installed_list(s, report);
    report->uninstall_list_mergeable = uninstall_list_mergeable(dir);
    report->space_known = os_free_space(dir, &report->space_free);
    // The real run stops at a list it cannot load, before the payload.
    if (!report->hash_list_loads)
        fail_list(s, UPDATE_E_FAILED,
                  report->hash_list_exists ? "load KXQ.hvl (not a version 2 hash list)" : "load KXQ.hvl (there is none)",
                  HASH_LIST_NAME);
    report->payload_read = set_up(s, payload_path);
    if (report->payload_read) {
        folder.states_.assign(s.index.count, TARGET_UNKNOWN);
        folder.details_.assign(s.index.count, std::string());
        run_staging_order(s);
        describe_entries(s, folder, report);
    }
    report->space_needed = s.space_needed;
    report->result = s.failed ? s.result : UPDATE_OK;
    report->reason = quiet.reason;
    return report->result;
}
