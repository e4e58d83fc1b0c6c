// Retrying what goes away by itself. On Windows a virus scanner or indexer
// often holds a file it has just seen being written, for a moment, so that a
// create, a move or an attribute change is refused with a sharing violation
// or access denied. Such a refusal is tried again after a growing pause
// (0.1 s, doubling, about 3 s in all) before it counts as a failure, while the
// dialog goes on being pumped, so that a cancel still ends the wait.
#pragma once
#include <cstdint>
#include "update/transaction_steps.h"

// After failed attempt number `tries` (1-based) with system error `error`:
// waits and returns true when one more attempt is worth making; false at once
// for an error that does not go away, after the last pause, or on a stop.
bool wait_to_retry(UpdateSession& s, uint32_t tries, uint32_t error);

// Calls `attempt` until it succeeds or wait_to_retry gives up. The attempt
// returns true on success, else false with *error set to the system's error
// of the call that decided the refusal (read at once: later calls overwrite it).
template <class Attempt>
bool with_retries_of(UpdateSession& s, Attempt attempt)
{
    for (uint32_t tries = 1;; ++tries) {
        uint32_t error = 0;
        if (attempt(&error))
            return true;
        if (!wait_to_retry(s, tries, error))
            return false;
    }
}

// The same for one call that reports its success as a bool: its error is
// the system's last one, read as soon as it fails.
template <class Call>
bool with_retries(UpdateSession& s, Call call)
{
    return with_retries_of(s, [&](uint32_t* error) {
        if (call())
            return true;
        *error = os_last_error();
        return false;
    });
}
