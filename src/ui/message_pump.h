// The message pump the transaction calls between units of work: it drains
// the thread's queue without waiting and tells the caller when to stop.
#pragma once
#include <windows.h>

// Takes one queued message (PeekMessageA, PM_REMOVE) and processes it: through
// IsDialogMessageA when dialog_handle is set and the dialog takes it, else
// TranslateMessage + DispatchMessageA. Non-zero if a message was taken, 0 if
// the queue was empty. Throws the int 0 on WM_QUIT (removed, not re-posted),
// and rethrows an exception stashed by a window procedure, whether it was
// stashed during this processing or earlier (a message sent outside the pump).
int pump_one_message();

// Calls pump_one_message until the queue is empty: 0 then; 1 when WM_QUIT was
// taken or any C++ exception came out of processing. Messages behind that
// point stay queued. Nothing is ever thrown out of it.
int pump_messages() noexcept;

// This toolchain's table-based unwinder cannot cross the system's dispatch
// frames, so a window procedure of ours never lets an exception out: it
// catches at its boundary and calls this inside the catch block. The first
// exception stashed wins; later ones are dropped until it is rethrown.
void stash_window_exception() noexcept;

// True while a stashed exception waits for the pump to rethrow it.
bool window_exception_pending() noexcept;
