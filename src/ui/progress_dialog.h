// The modeless progress dialog IDD_PROGRESS: its procedure, its handle and the
// cancel question it asks. The procedure only sets the two stop flags of
// update/stop_flags.h; the transaction fills the controls through the
// ProgressView of ui/dialog_progress_view.h.
#pragma once
#include <windows.h>
#include <cstdint>
#include "ui/resource.h"

// The dialog's window handle: null while no dialog exists. Set by whoever
// creates the dialog, cleared by whoever destroys it (the procedure itself on
// WM_CLOSE).
extern HWND dialog_handle;

// "アップデートを中止しますか？" and twelve U+3000, code page 932: 52 bytes + NUL.
extern const char MSG_CONFIRM_CANCEL[];
const uint32_t MSG_CONFIRM_CANCEL_LENGTH = 52;
// A Yes/No question with No as the default button.
const UINT CONFIRM_CANCEL_STYLE = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;

// The procedure passed to CreateDialogParamA for IDD_PROGRESS. TRUE when the
// message was handled; FALSE leaves it to the default dialog handling.
//   WM_CLOSE: window_closed := 1, dialog_handle destroyed and cleared.
//   WM_COMMAND from IDC_CANCEL_BUTTON, BN_CLICKED: asks MSG_CONFIRM_CANCEL
//     (owner: the dialog, title: caption_buffer) unless cancel_requested is
//     already set; Yes sets cancel_requested and disables the button.
//   WM_SYSCOMMAND SC_CLOSE: swallowed, so the dialog cannot be closed by it.
INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
