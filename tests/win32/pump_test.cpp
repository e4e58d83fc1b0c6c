// The message pump: drains without waiting, stops on WM_QUIT and on an
// exception from a window procedure, and leaves what is behind the stop
// queued.
//
// Exception model: this toolchain's unwinder is table based and cannot cross
// the system's own frames inside DispatchMessageA. An exception that escaped a
// window procedure straight into the system would end the process, so every
// window procedure of the program catches at its boundary and stashes the
// exception (stash_window_exception); the pump rethrows it right after
// dispatch returns, in its own frames, where pump_messages catches it. The
// test window below follows that rule, like progress_dialog_proc.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "ui/message_pump.h"
#include "ui/progress_dialog.h"
#include "ui_test_support.h"

namespace {

const UINT MSG_RECORD = WM_APP + 1;      // recorded
const UINT MSG_THROW = WM_APP + 2;       // recorded, then throws std::runtime_error
const UINT MSG_THROW_INT = WM_APP + 3;   // throws an int: must not look like WM_QUIT's
const UINT MSG_REPOST = WM_APP + 4;      // recorded, posts MSG_RECORD while draining
const UINT MSG_THROW_OTHER = WM_APP + 5; // throws an object of no standard type

struct Odd {};

std::vector<UINT> handled;

LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case MSG_RECORD:
        handled.push_back(message);
        return 0;
    case MSG_THROW:
        handled.push_back(message);
        throw std::runtime_error("handler failed");
    case MSG_THROW_INT:
        handled.push_back(message);
        throw 7;
    case MSG_THROW_OTHER:
        handled.push_back(message);
        throw Odd();
    case MSG_REPOST:
        handled.push_back(message);
        PostMessageA(window, MSG_RECORD, 0, 0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

LRESULT CALLBACK test_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    try {
        return handle(window, message, wparam, lparam);
    } catch (...) {
        stash_window_exception();
        return 0;
    }
}

class Pump : public ::testing::Test {
protected:
    void SetUp() override {
        ui_test::reset_state();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = test_window_proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PumpTestWindow";
        RegisterClassA(&wc);  // fails harmlessly when already registered
        window_ = CreateWindowExA(0, "PumpTestWindow", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window_, nullptr);
        ui_test::drain_queue();
        handled.clear();
    }
    void TearDown() override {
        DestroyWindow(window_);
        ui_test::reset_state();
    }

    void post(UINT message) { ASSERT_TRUE(PostMessageA(window_, message, 0, 0)); }
    void post_quit() { ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0)); }

    // The messages still queued, in order, taken off without dispatching.
    std::vector<UINT> remaining() {
        std::vector<UINT> out;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            out.push_back(msg.message);
        return out;
    }

    HWND window_ = nullptr;
};

TEST_F(Pump, EmptyQueueReturnsZeroAtOnce) {
    EXPECT_EQ(pump_one_message(), 0);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_TRUE(handled.empty());
}

TEST_F(Pump, DrainsEverythingIncludingWhatIsQueuedWhileDraining) {
    post(MSG_RECORD);
    post(MSG_REPOST);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_EQ(handled, (std::vector<UINT>{MSG_RECORD, MSG_REPOST, MSG_RECORD}));
    EXPECT_TRUE(remaining().empty());
}

TEST_F(Pump, QuitStopsTheDrainAndLeavesLaterMessagesQueued) {
    post(MSG_RECORD);
    post_quit();
    post(MSG_RECORD);
    post(MSG_REPOST);
    EXPECT_EQ(pump_messages(), 1);
    EXPECT_EQ(handled, std::vector<UINT>{MSG_RECORD});  // only what came before
    EXPECT_EQ(remaining(), (std::vector<UINT>{MSG_RECORD, MSG_REPOST}));  // the quit is gone
}

TEST_F(Pump, SingleStepThrowsTheIntegerZeroOnQuit) {
    post_quit();
    post(MSG_RECORD);
    int value = -1;
    try {
        pump_one_message();
        ADD_FAILURE() << "no exception on WM_QUIT";
    } catch (int v) {
        value = v;
    }
    EXPECT_EQ(value, 0);
    EXPECT_EQ(pump_one_message(), 1);  // the next message, not the quit again
    EXPECT_EQ(handled, std::vector<UINT>{MSG_RECORD});
}

TEST_F(Pump, ExceptionsFromAWindowProcedureStopTheDrain) {
    const UINT throwing[] = {MSG_THROW, MSG_THROW_INT, MSG_THROW_OTHER};
    for (UINT message : throwing) {
        SCOPED_TRACE(message);
        handled.clear();
        post(MSG_RECORD);
        post(message);
        post(MSG_RECORD);
        EXPECT_EQ(pump_messages(), 1);
        EXPECT_EQ(handled, (std::vector<UINT>{MSG_RECORD, message}));
        EXPECT_FALSE(window_exception_pending());
        EXPECT_EQ(remaining(), std::vector<UINT>{MSG_RECORD});
    }
}

TEST_F(Pump, SingleStepRethrowsTheWindowProceduresOwnException) {
    post(MSG_THROW);
    EXPECT_THROW(pump_one_message(), std::runtime_error);
    EXPECT_FALSE(window_exception_pending());
    EXPECT_EQ(pump_one_message(), 0);
}

TEST_F(Pump, ExceptionFromASentMessageStopsTheNextPump) {
    // A handler run by SendMessageA outside the pump: nothing can be thrown
    // through the sender, so the next pump call reports it.
    SendMessageA(window_, MSG_THROW, 0, 0);
    EXPECT_TRUE(window_exception_pending());
    EXPECT_EQ(pump_messages(), 1);
    EXPECT_FALSE(window_exception_pending());
    EXPECT_EQ(pump_messages(), 0);
}

TEST_F(Pump, SpaceOnTheFocusedCancelButtonIsAClick) {
    HWND dialog = ui_test::create_progress_dialog();
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOWNORMAL);
    ui_test::drain_queue();
    HWND button = GetDlgItem(dialog, IDC_CANCEL_BUTTON);
    SetFocus(button);
    ui_test::BoxAnswerer answerer(dialog, IDNO);
    PostMessageA(button, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageA(button, WM_KEYUP, VK_SPACE, 0xC0390001);
    post(MSG_RECORD);
    EXPECT_EQ(pump_messages(), 0);
    EXPECT_EQ(answerer.finish().boxes, 1);
    EXPECT_EQ(handled, std::vector<UINT>{MSG_RECORD});
    EXPECT_EQ(cancel_requested, 0);  // answered No
    EXPECT_TRUE(IsWindow(dialog));
}

}  // namespace
