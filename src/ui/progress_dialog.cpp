#include "ui/progress_dialog.h"

#include "ui/caption.h"
#include "ui/message_pump.h"
#include "update/stop_flags.h"

HWND dialog_handle = nullptr;

const char MSG_CONFIRM_CANCEL[] =
    "\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67\x82\xF0\x92\x86\x8E\x7E"
    "\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48"
    "\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40"
    "\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40";
static_assert(sizeof(MSG_CONFIRM_CANCEL) == MSG_CONFIRM_CANCEL_LENGTH + 1,
              "the cancel question is 52 bytes of code page 932");

namespace {

// The question runs its own modal loop here, so the transaction stays inside
// its pump call until the user answers.
void confirm_cancel(HWND dialog) {
    if (MessageBoxA(dialog, MSG_CONFIRM_CANCEL, caption_buffer, CONFIRM_CANCEL_STYLE) != IDYES)
        return;
    cancel_requested = 1;  // independent of the button being found
    HWND button = GetDlgItem(dialog, IDC_CANCEL_BUTTON);
    if (button != nullptr)
        EnableWindow(button, FALSE);
}

INT_PTR on_command(HWND dialog, WPARAM wparam) {
    // Esc arrives as IDCANCEL and other notifications carry their own code:
    // only a click on the cancel button asks the question.
    if (LOWORD(wparam) != IDC_CANCEL_BUTTON || HIWORD(wparam) != BN_CLICKED)
        return FALSE;
    if (cancel_requested == 0)
        confirm_cancel(dialog);
    return TRUE;
}

INT_PTR on_message(HWND dialog, UINT message, WPARAM wparam) {
    switch (message) {
    case WM_CLOSE:
        // The flag is set before the window goes, so the transaction sees it
        // at its next poll even though the controls no longer exist.
        window_closed = 1;
        DestroyWindow(dialog_handle);
        dialog_handle = nullptr;
        return TRUE;
    case WM_INITDIALOG:
        return TRUE;  // the platform focuses the first tab stop, the button
    case WM_COMMAND:
        return on_command(dialog, wparam);
    case WM_SYSCOMMAND:
        // The low four bits of a system command are the platform's own;
        // swallowing SC_CLOSE keeps Alt+F4 from turning into WM_CLOSE.
        return (wparam & 0xFFF0) == SC_CLOSE ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    try {
        return on_message(dialog, message, wparam);
    } catch (...) {
        // Nothing may unwind into the system's dispatch frames; the pump
        // rethrows it once dispatch has returned.
        stash_window_exception();
        return TRUE;
    }
}
