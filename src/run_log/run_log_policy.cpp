// When the run log is rotated and which file at its name may be written.
#include "run_log/run_log.h"

bool run_log_rotates(uint64_t size, uint64_t line_length)
{
    // Written as a subtraction so that no size, however large, can wrap the sum.
    return size > 0 && (size >= RUN_LOG_CAP || line_length > RUN_LOG_CAP - size);
}

bool run_log_file_usable(const RunLogFileFacts& facts)
{
    return facts.on_disk && !facts.directory && !facts.name_surrogate && facts.links == 1;
}
