// The updater's start-up sequence, from the single-instance check to the exit
// code. Every system call it makes goes through StartupSystem, so that tests
// can replay each path with a recording fake; win32_startup_system() is the
// real one that WinMain uses.
#pragma once
#include <windows.h>
#include "result/update_result.h"

extern const char UPDATER_MUTEX_NAME[];  // "Updater for Velmora is executing."
extern const char ENGINE_MUTEX_NAME[];   // "Quillon for Velmora is executing."

// Exit codes of the checks before the update; a run that reached the update
// exits with its UpdateResult as a signed 32-bit integer.
const int EXIT_NOT_INSTALLED = -1;
const int EXIT_GAME_RUNNING = -2;
const int EXIT_DECLINED = -3;
const int EXIT_DIALOG_FAILED = -4;
const int EXIT_NO_CAPTION = -5;
const int EXIT_ALREADY_RUNNING = -6;

struct StartupSystem {
    // Limits library loading to the system folder (restrict_library_search);
    // the very first call, before anything could load a library.
    void (*restrict_library_search)();
    // CreateMutexA(no security, initially owned, name); *last_error receives
    // GetLastError() right after the call (non-zero: the name already existed
    // or the call failed).
    HANDLE (*create_owned_mutex)(const char* name, DWORD* last_error);
    void (*close_handle)(HANDLE handle);
    // Fills the 1024-byte caption buffer from the payload; false if unreadable.
    bool (*load_caption)(char* caption);
    bool (*find_install_folder)(char* out, const char* vendor, const char* product);
    // MessageBoxA(no owner, text, title, flags).
    int (*message_box)(const char* text, const char* title, UINT flags);
    // CreateDialogParamA(instance, 102, no parent, progress_dialog_proc, 0).
    HWND (*create_dialog)(HINSTANCE instance);
    void (*gather_monitors)();
    void (*set_window_text)(HWND window, const char* text);
    void (*center_window)(HWND window);
    void (*show_window)(HWND window, int show);
    // Runs the transaction into `dir` with the dialog's progress view.
    UpdateResult (*run_update)(const char* dir);
    void (*destroy_window)(HWND window);
    void (*release_monitors)();
    // Append to the run log (updater_log.h): a note, and the exit code with
    // its reason before anything is shown about it. What becomes of the log
    // never changes the run.
    void (*log_note)(const char* label, const char* text);
    void (*log_exit)(int exit_code, const char* why);
};

// The real calls (user32, advapi32, the ui and update modules).
const StartupSystem& win32_startup_system();

// The whole run: library search, mutexes, caption, game check, installation, confirmation,
// dialog, update, report. Returns the process exit code, which the run log
// ends with on every path. Uses the process-wide
// caption buffer and dialog handle; closes the engine's mutex, then its own,
// on every path.
int run_startup(const StartupSystem& sys, HINSTANCE instance, int show);
