// The only way the transaction reports progress and lets the user stop it.
// The Win32 dialog implements it (ui/dialog_progress_view), tests use a
// scripted fake, patchtool apply draws it on the terminal.
#pragma once
#include <cstdint>

struct ProgressView {
    virtual ~ProgressView() = default;
    virtual void set_status(const char* text) = 0;        // code page 932 text
    virtual void set_file_range(uint32_t max) = 0;        // 0..max, set once (0xFFFF)
    virtual void set_file_position(uint32_t position) = 0;
    virtual void set_total_range(uint32_t max) = 0;       // 0..count, set once
    virtual void set_total_position(uint32_t position) = 0;
    // Dispatches whatever input is waiting; 0 to go on, 1 when the caller must
    // stop (the message loop saw WM_QUIT or a handler threw).
    virtual int pump() = 0;

    // What a support desk needs to know afterwards, besides what the dialog
    // shows: the updater writes it to its run log, patchtool apply prints the
    // failures on standard error. Both are told, never asked: nothing they do
    // changes the run. Paths are code page 932.
    //
    // Entry `path` was staged and its checksum verified (or it has none to verify).
    virtual void entry_staged(const char* path) { (void)path; }
    // A step failed on `path` with the system's error number for it
    // (GetLastError, errno; 0 when the system reported none). `step` is a short
    // English phrase: "create the staged file", "replace the target", ...
    virtual void failure(const char* step, const char* path, uint32_t os_error)
    {
        (void)step;
        (void)path;
        (void)os_error;
    }
};
