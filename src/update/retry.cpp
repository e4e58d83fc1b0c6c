#include "update/retry.h"

#include "update/stop_flags.h"

namespace {

const uint32_t FIRST_PAUSE_MS = 100;
const uint32_t RETRIES = 5;  // pauses of 0.1, 0.2, 0.4, 0.8 and 1.6 s
const uint32_t PUMP_EVERY_MS = 50;

}  // namespace

bool wait_to_retry(UpdateSession& s, uint32_t tries, uint32_t error)
{
    if (tries > RETRIES || !os_error_transient(error) || stop_requested())
        return false;
    uint32_t pause = FIRST_PAUSE_MS << (tries - 1);
    while (pause > 0) {
        const uint32_t slice = pause < PUMP_EVERY_MS ? pause : PUMP_EVERY_MS;
        os_sleep_ms(slice);
        pause -= slice;
        if (pump_and_poll(s))
            return false;
    }
    return true;
}
