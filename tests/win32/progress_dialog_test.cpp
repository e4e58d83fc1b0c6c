// The progress dialog as the platform builds it from IDD_PROGRESS, and its
// procedure row by row, with the cancel question answered from a second
// thread the way a user answers it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/caption.h"
#include "ui/message_pump.h"
#include "ui/progress_dialog.h"
#include "ui_test_support.h"

namespace {

using ui_test::BoxAnswerer;
using ui_test::BoxSeen;

const char CANCEL_TEXT[] = "\x92\x86\x8E\x7E";  // 中止
// "アップデート" as the title, so that the box's title is recognisably ours.
const char TEST_CAPTION[] = "\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67 test";

class ProgressDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ui_test::reset_state();
        strcpy(caption_buffer, TEST_CAPTION);
        dialog_ = ui_test::create_progress_dialog();
        ASSERT_NE(dialog_, nullptr);
        SetWindowTextA(dialog_, caption_buffer);
        ShowWindow(dialog_, SW_SHOWNORMAL);
        button_ = GetDlgItem(dialog_, IDC_CANCEL_BUTTON);
        ASSERT_NE(button_, nullptr);
        ui_test::drain_queue();
    }
    void TearDown() override { ui_test::reset_state(); }

    INT_PTR command(WORD id, WORD code) {
        return progress_dialog_proc(dialog_, WM_COMMAND, MAKEWPARAM(id, code),
                                    reinterpret_cast<LPARAM>(button_));
    }

    HWND dialog_ = nullptr;
    HWND button_ = nullptr;
};

struct ControlExpectation {
    int id;
    const char* class_name;
    const char* text;
    LONG style_bits;     // bits that must be set at run time
    LONG ex_style_bits;
    RECT units;          // x, y, width, height in dialog units
};

const ControlExpectation CONTROLS[] = {
    {IDC_CANCEL_BUTTON, "Button", CANCEL_TEXT, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
     {110, 88, 51, 14}},
    {IDC_STATUS_TEXT, "Static", "", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTERIMAGE | SS_CENTER,
     WS_EX_STATICEDGE, {7, 7, 257, 14}},
    {IDC_FILE_PROGRESS, "msctls_progress32", "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0,
     {7, 33, 257, 16}},
    {IDC_TOTAL_PROGRESS, "msctls_progress32", "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0,
     {7, 59, 257, 16}},
};

TEST(ProgressDialogWindow, IsCreatedHiddenWithoutSystemMenu) {
    ui_test::reset_state();
    HWND dialog = ui_test::create_progress_dialog();
    ASSERT_NE(dialog, nullptr);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_FALSE(style & WS_VISIBLE);
    EXPECT_EQ(style & WS_POPUP, WS_POPUP);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU);  // no close box in the title bar
    EXPECT_EQ(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, WS_EX_DLGMODALFRAME);
    EXPECT_EQ(GetParent(dialog), nullptr);
    EXPECT_EQ(ui_test::window_text(dialog), "");  // the driver sets the caption
    RECT client;
    ASSERT_TRUE(GetClientRect(dialog, &client));
    RECT size = {0, 0, 271, 109};
    ASSERT_TRUE(MapDialogRect(dialog, &size));
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    ui_test::reset_state();
}

TEST_F(ProgressDialog, ControlsMatchTheTemplateInTabOrder) {
    HWND child = GetWindow(dialog_, GW_CHILD);
    for (const ControlExpectation& c : CONTROLS) {
        SCOPED_TRACE(c.id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), c.id);
        EXPECT_EQ(_stricmp(ui_test::class_name(child).c_str(), c.class_name), 0)
            << ui_test::class_name(child);
        EXPECT_EQ(ui_test::window_text(child), c.text);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        EXPECT_EQ(style & c.style_bits, c.style_bits);
        EXPECT_EQ(GetWindowLongA(child, GWL_EXSTYLE) & c.ex_style_bits, c.ex_style_bits);
        if (c.id != IDC_CANCEL_BUTTON) {
            EXPECT_FALSE(style & WS_TABSTOP);
        }
        // The platform converts position and size separately, each value
        // on its own, exactly as MapDialogRect converts the four fields.
        RECT expected = c.units;
        ASSERT_TRUE(MapDialogRect(dialog_, &expected));
        expected.right += expected.left;
        expected.bottom += expected.top;
        RECT actual;
        ASSERT_TRUE(GetWindowRect(child, &actual));
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        EXPECT_EQ(actual.bottom, expected.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);  // exactly four controls
    EXPECT_EQ(GetWindowLongA(button_, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    // The button is the only tab stop: tabbing stays on it.
    EXPECT_EQ(GetNextDlgTabItem(dialog_, nullptr, FALSE), button_);
    EXPECT_EQ(GetNextDlgTabItem(dialog_, button_, FALSE), button_);
}

TEST_F(ProgressDialog, CancelAnsweredNoChangesNothing) {
    BoxAnswerer answerer(dialog_, IDNO);
    EXPECT_EQ(command(IDC_CANCEL_BUTTON, BN_CLICKED), TRUE);
    const BoxSeen& seen = answerer.finish();
    ASSERT_EQ(seen.boxes, 1);
    EXPECT_EQ(seen.text, std::string(MSG_CONFIRM_CANCEL, MSG_CONFIRM_CANCEL_LENGTH));
    EXPECT_EQ(seen.title, TEST_CAPTION);
    EXPECT_TRUE(seen.owner_disabled);  // owned by the dialog, modal to it
    EXPECT_TRUE(seen.has_yes && seen.has_no);
    EXPECT_FALSE(seen.has_ok || seen.has_cancel);
    EXPECT_TRUE(seen.no_default);
    EXPECT_FALSE(seen.yes_default);
    EXPECT_EQ(cancel_requested, 0);
    EXPECT_EQ(window_closed, 0);
    EXPECT_TRUE(IsWindowEnabled(button_));
    EXPECT_TRUE(IsWindowEnabled(dialog_));
}

TEST_F(ProgressDialog, CancelAnsweredYesSetsTheFlagAndDisablesTheButtonForGood) {
    {
        BoxAnswerer answerer(dialog_, IDYES);
        EXPECT_EQ(command(IDC_CANCEL_BUTTON, BN_CLICKED), TRUE);
        const BoxSeen& seen = answerer.finish();
        EXPECT_EQ(seen.boxes, 1);
        EXPECT_TRUE(seen.answer_enabled);
    }
    EXPECT_EQ(cancel_requested, 1);
    EXPECT_EQ(window_closed, 0);
    EXPECT_FALSE(IsWindowEnabled(button_));
    EXPECT_TRUE(IsWindow(dialog_));  // stays until the transaction is done

    // A second click (sent by software: the button is disabled) asks nothing.
    BoxAnswerer watcher(dialog_, IDYES);
    EXPECT_EQ(command(IDC_CANCEL_BUTTON, BN_CLICKED), TRUE);
    EXPECT_EQ(watcher.finish().boxes, 0);
    EXPECT_EQ(cancel_requested, 1);
    EXPECT_FALSE(IsWindowEnabled(button_));
}

TEST_F(ProgressDialog, ClickOnTheButtonThroughThePumpAsksTheQuestion) {
    BoxAnswerer answerer(dialog_, IDYES);
    ASSERT_TRUE(IsWindowEnabled(button_));  // a user could click it
    PostMessageA(button_, BM_CLICK, 0, 0);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_EQ(answerer.finish().boxes, 1);
    EXPECT_EQ(cancel_requested, 1);
    EXPECT_FALSE(IsWindowEnabled(button_));
}

TEST_F(ProgressDialog, CommandsThatAreNotAClickOnCancelAreLeftAlone) {
    struct Case {
        WORD id;
        WORD code;
    };
    const Case cases[] = {
        {IDC_CANCEL_BUTTON, BN_SETFOCUS}, {IDC_CANCEL_BUTTON, BN_KILLFOCUS},
        {IDC_CANCEL_BUTTON, 1},           {IDCANCEL, BN_CLICKED},
        {IDOK, BN_CLICKED},               {IDC_STATUS_TEXT, BN_CLICKED},
    };
    BoxAnswerer watcher(dialog_, IDYES);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << "/" << c.code);
        EXPECT_EQ(command(c.id, c.code), FALSE);
    }
    EXPECT_EQ(watcher.finish().boxes, 0);
    EXPECT_EQ(cancel_requested, 0);
    EXPECT_TRUE(IsWindowEnabled(button_));
}

TEST_F(ProgressDialog, EscapeKeyNeitherAsksNorCancels) {
    BoxAnswerer watcher(dialog_, IDYES);
    SetFocus(button_);
    PostMessageA(button_, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(button_, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_EQ(watcher.finish().boxes, 0);
    EXPECT_EQ(cancel_requested, 0);
    EXPECT_EQ(window_closed, 0);
    EXPECT_TRUE(IsWindow(dialog_));
}

TEST_F(ProgressDialog, CloseCommandIsSwallowedOtherSystemCommandsAreNot) {
    for (WPARAM command = 0xF060; command <= 0xF06F; ++command) {
        SCOPED_TRACE(command);
        EXPECT_EQ(progress_dialog_proc(dialog_, WM_SYSCOMMAND, command, 0), TRUE);
    }
    const WPARAM others[] = {SC_MOVE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_KEYMENU, 0xF070};
    for (WPARAM command : others) {
        SCOPED_TRACE(command);
        EXPECT_EQ(progress_dialog_proc(dialog_, WM_SYSCOMMAND, command, 0), FALSE);
    }
    // Through the platform, as Alt+F4 delivers it.
    PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_TRUE(IsWindow(dialog_));
    EXPECT_EQ(dialog_handle, dialog_);
    EXPECT_EQ(window_closed, 0);
}

TEST_F(ProgressDialog, InitDialogAndUnlistedMessages) {
    EXPECT_EQ(progress_dialog_proc(dialog_, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(progress_dialog_proc(dialog_, WM_TIMER, 1, 0), FALSE);
    EXPECT_EQ(progress_dialog_proc(dialog_, WM_APP, 0, 0), FALSE);
    EXPECT_EQ(GetFocus(), button_);  // the platform focused the first tab stop
}

TEST_F(ProgressDialog, CloseSetsTheFlagDestroysTheDialogAndClearsTheHandle) {
    PostMessageA(dialog_, WM_CLOSE, 0, 0);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_EQ(window_closed, 1);
    EXPECT_EQ(cancel_requested, 0);
    EXPECT_FALSE(IsWindow(dialog_));
    EXPECT_FALSE(IsWindow(button_));
    EXPECT_EQ(dialog_handle, nullptr);
}

TEST_F(ProgressDialog, ConfirmedCancelAndCloseInOnePumpSetBothFlags) {
    BoxAnswerer answerer(dialog_, IDYES, dialog_, WM_CLOSE);
    PostMessageA(button_, BM_CLICK, 0, 0);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_EQ(answerer.finish().boxes, 1);
    EXPECT_EQ(cancel_requested, 1);
    EXPECT_EQ(window_closed, 1);
    EXPECT_EQ(dialog_handle, nullptr);
}

}  // namespace
