// The progress dialog's view with the run log behind it: the dialog shows the
// progress, the log keeps what a support desk needs to know afterwards.
#pragma once
#include "driver/updater_log.h"
#include "ui/dialog_progress_view.h"

class LoggedDialogView : public DialogProgressView {
public:
    void entry_staged(const char* path) override { updater_log_note("staged and verified", path); }
    void failure(const char* step, const char* path, uint32_t os_error) override
    {
        updater_log_failure(step, path, os_error);
    }
};
