// Helpers shared by the progress UI tests: a fresh dialog per test, a clean
// queue, and a second thread that answers the modal question the way a user
// would (find the box, read it, click a button), so the dialog procedure runs
// exactly as it does in the updater.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "ui/message_pump.h"
#include "ui/progress_dialog.h"
#include "update/stop_flags.h"

namespace ui_test {

// Takes every queued message off the thread's queue, dispatching all but
// WM_QUIT, so that one test's leftovers never reach the next.
inline void drain_queue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Tests only: the updater never clears the stop flags.
inline void reset_state() {
    if (dialog_handle != nullptr && IsWindow(dialog_handle))
        DestroyWindow(dialog_handle);
    dialog_handle = nullptr;
    cancel_requested = 0;
    window_closed = 0;
    drain_queue();
    if (window_exception_pending())
        pump_messages();  // drops an exception a failed test left behind
}

// Creates IDD_PROGRESS from this program's resources, as the driver does.
inline HWND create_progress_dialog() {
    dialog_handle = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS),
                                       nullptr, progress_dialog_proc, 0);
    return dialog_handle;
}

inline std::string window_text(HWND window) {
    char buf[1024] = {};
    int n = GetWindowTextA(window, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

inline std::string class_name(HWND window) {
    char buf[256] = {};
    int n = GetClassNameA(window, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

inline bool button_is_default(HWND button) {
    return button != nullptr &&
           (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// What the answering thread saw of the (first) message box owned by `owner`.
struct BoxSeen {
    int boxes = 0;              // message boxes that appeared
    std::string title;
    std::string text;           // the static control's text, code page 932
    bool owner_disabled = false;
    bool has_yes = false, has_no = false, has_ok = false, has_cancel = false;
    bool yes_default = false, no_default = false;
    bool answer_enabled = false;  // the button clicked could be clicked
};

// Watches for message boxes owned by `owner` from a second thread and clicks
// `answer` (IDYES or IDNO) in each. Clicks are posted, never sent: the owner's
// thread is inside the box's modal loop. Gives up after ten seconds.
class BoxAnswerer {
public:
    // After the first answer, `then` (if set) gets `message` posted, so that it
    // is queued behind the click and handled once the question has closed.
    BoxAnswerer(HWND owner, int answer, HWND then = nullptr, UINT message = 0)
        : owner_(owner), answer_(answer), then_(then), then_message_(message) {
        thread_ = std::thread([this] { run(); });
    }
    ~BoxAnswerer() { finish(); }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    const BoxSeen& finish() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return seen_;
    }

private:
    struct Search {
        HWND owner;
        HWND found;
    };

    static BOOL CALLBACK match(HWND window, LPARAM data) {
        Search* s = reinterpret_cast<Search*>(data);
        if (class_name(window) == "#32770" && GetWindow(window, GW_OWNER) == s->owner &&
            IsWindowVisible(window)) {
            s->found = window;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK text_child(HWND child, LPARAM data) {
        std::string* out = reinterpret_cast<std::string*>(data);
        if (_stricmp(class_name(child).c_str(), "Static") == 0) {
            std::string t = window_text(child);
            if (!t.empty()) {
                *out = t;
                return FALSE;
            }
        }
        return TRUE;
    }

    void record(HWND box) {
        BoxSeen& s = seen_;
        if (++s.boxes > 1)
            return;
        s.title = window_text(box);
        EnumChildWindows(box, text_child, reinterpret_cast<LPARAM>(&s.text));
        s.owner_disabled = !IsWindowEnabled(owner_);
        HWND yes = GetDlgItem(box, IDYES), no = GetDlgItem(box, IDNO);
        s.has_yes = yes != nullptr;
        s.has_no = no != nullptr;
        s.has_ok = GetDlgItem(box, IDOK) != nullptr;
        s.has_cancel = GetDlgItem(box, IDCANCEL) != nullptr;
        s.yes_default = button_is_default(yes);
        s.no_default = button_is_default(no);
    }

    void run() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        HWND answered = nullptr;
        int waited = 0;
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            Search s = {owner_, nullptr};
            EnumWindows(match, reinterpret_cast<LPARAM>(&s));
            bool again = s.found == answered && ++waited > 50;  // a click that got lost
            if (s.found != nullptr && (s.found != answered || again)) {
                if (s.found != answered)
                    record(s.found);
                HWND button = GetDlgItem(s.found, answer_);
                if (seen_.boxes == 1 && !again)
                    seen_.answer_enabled = button != nullptr && IsWindowEnabled(button);
                PostMessageA(button != nullptr ? button : s.found, BM_CLICK, 0, 0);
                if (then_ != nullptr && s.found != answered)
                    PostMessageA(then_, then_message_, 0, 0);
                answered = s.found;
                waited = 0;
            }
            Sleep(10);
        }
    }

    HWND owner_;
    int answer_;
    HWND then_;
    UINT then_message_;
    BoxSeen seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace ui_test
