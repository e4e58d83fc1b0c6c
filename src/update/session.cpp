// What every step of the transaction shares: recording a failure, and one
// pump of the dialog.
#include "update/stop_flags.h"
#include "update/transaction_steps.h"
#include "windows_text/path_buffer.h"

void fail(UpdateSession& s, UpdateResult code, const char* step, const char* path)
{
    // Read before anything else can overwrite it.
    const uint32_t error = os_last_error();
    if (!s.failed)
        s.result = code;
    s.failed = true;
    s.progress->failure(step, path ? path : s.dir, error);
}

void fail_list(UpdateSession& s, UpdateResult code, const char* step, const char* list)
{
    char path[OS_PATH_SIZE];
    fail(s, code, step, path_join(path, sizeof path, s.dir, list) ? path : nullptr);
}

void fail_entry(UpdateSession& s, uint32_t j, UpdateResult code, const char* step)
{
    StagedEntry& e = s.entries[j];
    if (e.failure == UPDATE_OK) {
        e.failure = code;
        if (!e.problem)
            e.problem = step;
    }
    // A prediction's reason says more than the step that would fail.
    fail(s, code, e.problem ? e.problem : step, e.target[0] ? e.target : e.path);
}

bool pump_and_poll(UpdateSession& s)
{
    if (s.progress->pump() == 1)
        window_closed = 1;
    return stop_requested();
}
