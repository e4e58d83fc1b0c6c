// The real StartupSystem: the Win32 calls of the start-up sequence and the
// ui and update modules behind them.
#include "driver/install_folder.h"
#include "driver/library_search.h"
#include "driver/logged_dialog_view.h"
#include "driver/startup.h"
#include "payload/payload.h"
#include "ui/monitors.h"
#include "ui/progress_dialog.h"
#include "update/transaction.h"

namespace {

HANDLE create_owned_mutex(const char* name, DWORD* last_error)
{
    // A new name leaves the error 0 and an existing one ERROR_ALREADY_EXISTS;
    // cleared first so that a stale code cannot pass for "exists".
    SetLastError(0);
    HANDLE handle = CreateMutexA(nullptr, TRUE, name);
    *last_error = GetLastError();
    return handle;
}

void close_handle(HANDLE handle) { CloseHandle(handle); }

bool read_caption(char* caption) { return load_caption(caption); }

bool read_install_folder(char* out, const char* vendor, const char* product)
{
    return find_install_folder(out, vendor, product);
}

int message_box(const char* text, const char* title, UINT flags)
{
    return MessageBoxA(nullptr, text, title, flags);
}

HWND create_dialog(HINSTANCE instance)
{
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                              progress_dialog_proc, 0);
}

void gather() { gather_monitors(); }
void set_window_text(HWND window, const char* text) { SetWindowTextA(window, text); }
void center(HWND window) { center_window(window); }
void show_window(HWND window, int show) { ShowWindow(window, show); }

UpdateResult update(const char* dir)
{
    // Constructed after the dialog is shown: it fetches the control handles
    // from dialog_handle once, as the transaction's first step. Staged
    // entries and failures go to the run log.
    LoggedDialogView view;
    return run_update(dir, view);
}

void destroy_window(HWND window) { DestroyWindow(window); }
void release() { release_monitors(); }

const StartupSystem WIN32_SYSTEM = {
    restrict_library_search, create_owned_mutex, close_handle, read_caption, read_install_folder,
    message_box, create_dialog, gather, set_window_text, center, show_window,
    update, destroy_window, release, updater_log_note, updater_log_exit,
};

}  // namespace

const StartupSystem& win32_startup_system() { return WIN32_SYSTEM; }
