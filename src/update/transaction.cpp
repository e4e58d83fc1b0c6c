#include "update/transaction.h"

#include "path_rules/list_files.h"
#include "update/shipped_list.h"
#include "update/stop_flags.h"
#include "update/transaction_steps.h"

bool set_up(UpdateSession& s, const char* payload_path)
{
    UpdateResult opened = open_payload(s.payload, payload_path, &s.index);
    if (opened != UPDATE_OK) {
        fail(s, opened,
             opened == UPDATE_E_TOO_MANY_ENTRIES ? "read the updater's payload (it holds more than 256 entries)"
                                                 : "read the updater's payload",
             payload_path);
        return false;
    }
    int version = 0;
    s.shipped = load_shipped(s.payload, s.index, &version);
    // A list that is there but cannot be read or parsed is a damaged payload,
    // not one that ships no list: one flipped bit must not install every
    // entry unverified under its bare name. Nothing has been created yet.
    if (version == SHIPPED_UNREADABLE) {
        fail(s, UPDATE_E_DAMAGED, "read the shipped KXQ.hvl", payload_path);
        return false;
    }
    s.names.assign(s.index.count + 1, nullptr);
    s.progress->set_file_range(FILE_PROGRESS_MAX);
    s.progress->set_file_position(0);
    s.progress->set_total_range(s.index.count);
    s.progress->set_total_position(0);
    // A stop here is seen at the top of the staging loop.
    pump_and_poll(s);
    s.buffer.clear();
    s.entries.assign(s.index.count, StagedEntry{});
    return true;
}

namespace {

// A confirmed cancel outranks a closed window; both outrank what went before.
UpdateResult finish(UpdateSession& s)
{
    s.payload.close();
    if (window_closed)
        s.result = UPDATE_E_CLOSED;
    if (cancel_requested)
        s.result = UPDATE_E_CANCELLED;
    s.installed_file.close();
    return s.result;
}

}  // namespace

UpdateResult run_update_from(const char* payload_path, const char* dir, ProgressView& progress)
{
    UpdateSession s;
    s.dir = dir;
    s.progress = &progress;
    s.sink = &real_folder();
    if (!load_installed(dir, s.installed_file, &s.installed_header, &s.installed)) {
        fail_list(s, UPDATE_E_FAILED, "load KXQ.hvl (missing, or not a version 2 hash list)", HASH_LIST_NAME);
        return UPDATE_E_FAILED;
    }
    if (set_up(s, payload_path))
        run_staging_order(s);
    return finish(s);
}

UpdateResult run_update(const char* dir, ProgressView& progress)
{
    return run_update_from(nullptr, dir, progress);
}
