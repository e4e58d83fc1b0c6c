// The ProgressView of the real progress dialog: status text on
// IDC_STATUS_TEXT, the file bar IDC_FILE_PROGRESS and the total bar
// IDC_TOTAL_PROGRESS; pump() is pump_messages().
#pragma once
#include <windows.h>
#include "update/progress.h"

class DialogProgressView : public ProgressView {
public:
    // Fetches the three control handles from dialog_handle once; a control
    // that is missing (or no dialog) is simply never updated.
    DialogProgressView();
    void set_status(const char* text) override;         // SetWindowTextA
    void set_file_range(uint32_t max) override;         // PBM_SETRANGE32 0..max
    void set_file_position(uint32_t position) override; // PBM_SETPOS
    void set_total_range(uint32_t max) override;
    void set_total_position(uint32_t position) override;
    int pump() override;                                 // pump_messages()

private:
    HWND status_;
    HWND file_bar_;
    HWND total_bar_;
};
