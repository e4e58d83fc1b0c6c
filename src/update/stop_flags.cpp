#include "update/stop_flags.h"

int32_t cancel_requested = 0;
int32_t window_closed = 0;

bool stop_requested()
{
    return cancel_requested != 0 || window_closed != 0;
}
