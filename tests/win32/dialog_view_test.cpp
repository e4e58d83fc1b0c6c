// The dialog's ProgressView: what the transaction reports lands in the real
// controls of IDD_PROGRESS.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/dialog_progress_view.h"
#include "ui/progress_dialog.h"
#include "ui_test_support.h"

namespace {

// "data\bgm01.ogg" + "をインストール中", code page 932.
const char STATUS[] = "data\\bgm01.ogg\x82\xF0\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x92\x86";

struct Range {
    int low, high;
};

Range range_of(HWND bar) {
    PBRANGE r = {-1, -1};
    SendMessageA(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&r));
    return Range{r.iLow, r.iHigh};
}

int position_of(HWND bar) {
    return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
}

class DialogView : public ::testing::Test {
protected:
    void SetUp() override {
        ui_test::reset_state();
        ASSERT_NE(ui_test::create_progress_dialog(), nullptr);
        status_ = GetDlgItem(dialog_handle, IDC_STATUS_TEXT);
        file_ = GetDlgItem(dialog_handle, IDC_FILE_PROGRESS);
        total_ = GetDlgItem(dialog_handle, IDC_TOTAL_PROGRESS);
    }
    void TearDown() override { ui_test::reset_state(); }

    HWND status_ = nullptr, file_ = nullptr, total_ = nullptr;
};

TEST_F(DialogView, RangesPositionsAndStatusLandInTheirControls) {
    DialogProgressView view;
    view.set_file_range(0xFFFF);
    view.set_total_range(3);
    EXPECT_EQ(range_of(file_).low, 0);
    EXPECT_EQ(range_of(file_).high, 0xFFFF);
    EXPECT_EQ(range_of(total_).low, 0);
    EXPECT_EQ(range_of(total_).high, 3);

    view.set_status(STATUS);
    EXPECT_EQ(ui_test::window_text(status_), STATUS);

    const int file_steps[] = {0, 21845, 43690, 65535};
    for (int p : file_steps) {
        view.set_file_position(static_cast<uint32_t>(p));
        EXPECT_EQ(position_of(file_), p);
        EXPECT_EQ(position_of(total_), 0);  // the bars are independent
    }
    view.set_total_position(2);
    EXPECT_EQ(position_of(total_), 2);
    EXPECT_EQ(position_of(file_), 65535);
}

TEST_F(DialogView, TheControlHandlesAreTakenAtConstruction) {
    DialogProgressView view;
    HWND dialog = dialog_handle;
    dialog_handle = nullptr;  // later changes of the handle do not matter
    view.set_total_range(10);
    view.set_total_position(4);
    EXPECT_EQ(range_of(total_).high, 10);
    EXPECT_EQ(position_of(total_), 4);
    dialog_handle = dialog;
}

TEST_F(DialogView, WithoutADialogNothingIsUpdated) {
    HWND dialog = dialog_handle;
    dialog_handle = nullptr;
    DialogProgressView view;  // finds no controls
    view.set_status(STATUS);
    view.set_file_range(5000);
    view.set_file_position(50);
    view.set_total_range(7);
    view.set_total_position(7);
    EXPECT_EQ(ui_test::window_text(status_), "");
    EXPECT_EQ(range_of(file_).high, 100);  // the control's own default range
    EXPECT_EQ(position_of(file_), 0);
    EXPECT_EQ(position_of(total_), 0);
    EXPECT_EQ(view.pump(), 0);
    dialog_handle = dialog;
}

TEST_F(DialogView, AfterTheDialogClosedReportsHaveNoEffectAndPumpStillAnswers) {
    DialogProgressView view;
    PostMessageA(dialog_handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(view.pump(), 0);
    EXPECT_EQ(window_closed, 1);
    EXPECT_FALSE(IsWindow(total_));
    view.set_status(STATUS);  // stale handles: no effect, no failure
    view.set_total_position(1);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
    EXPECT_EQ(view.pump(), 1);
}

}  // namespace
