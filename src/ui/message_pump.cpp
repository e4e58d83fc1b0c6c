#include "ui/message_pump.h"

#include <exception>
#include <utility>

#include "ui/progress_dialog.h"

namespace {

std::exception_ptr pending_exception;

void rethrow_pending() {
    if (!pending_exception)
        return;
    std::exception_ptr e = std::exchange(pending_exception, nullptr);
    std::rethrow_exception(e);
}

}  // namespace

void stash_window_exception() noexcept {
    if (!pending_exception)
        pending_exception = std::current_exception();
}

bool window_exception_pending() noexcept {
    return static_cast<bool>(pending_exception);
}

int pump_one_message() {
    rethrow_pending();  // from a handler that ran outside the pump (a sent message)
    MSG msg;
    BOOL taken = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    if (!taken)
        return 0;
    if (msg.message == WM_QUIT)
        throw 0;  // the stop signal; pump_messages turns it into its result
    if (dialog_handle == nullptr || !IsDialogMessageA(dialog_handle, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    rethrow_pending();
    return taken;
}

int pump_messages() noexcept {
    try {
        while (pump_one_message() != 0) {
        }
        return 0;
    } catch (int) {
        return 1;  // WM_QUIT
    } catch (...) {
        return 1;  // thrown by a window procedure while dispatching
    }
}
