// The two process-wide stop flags: 0 at start, set to 1 at most once, never
// cleared. The progress dialog sets them; the transaction polls them and also
// sets window_closed whenever the pump asks it to stop.
#pragma once
#include <cstdint>

extern int32_t cancel_requested;
extern int32_t window_closed;

// True when the user cancelled or the dialog was closed.
bool stop_requested();
