#include "ui/dialog_progress_view.h"

#include <commctrl.h>

#include "ui/message_pump.h"
#include "ui/progress_dialog.h"

namespace {

HWND control(int id) {
    return dialog_handle != nullptr ? GetDlgItem(dialog_handle, id) : nullptr;
}

// After WM_CLOSE the handles are stale; messages to them have no effect.
void set_range(HWND bar, uint32_t max) {
    if (bar != nullptr)
        SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(max));
}

void set_position(HWND bar, uint32_t position) {
    if (bar != nullptr)
        SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace

DialogProgressView::DialogProgressView()
    : status_(control(IDC_STATUS_TEXT)),
      file_bar_(control(IDC_FILE_PROGRESS)),
      total_bar_(control(IDC_TOTAL_PROGRESS)) {}

void DialogProgressView::set_status(const char* text) {
    if (status_ != nullptr)
        SetWindowTextA(status_, text);
}

void DialogProgressView::set_file_range(uint32_t max) { set_range(file_bar_, max); }
void DialogProgressView::set_file_position(uint32_t position) { set_position(file_bar_, position); }
void DialogProgressView::set_total_range(uint32_t max) { set_range(total_bar_, max); }
void DialogProgressView::set_total_position(uint32_t position) { set_position(total_bar_, position); }

int DialogProgressView::pump() { return pump_messages(); }
