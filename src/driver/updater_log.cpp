#include "driver/updater_log.h"

#include <windows.h>
#include "driver/run_log_file.h"
#include "platform/platform.h"
#include "run_log/run_log.h"

namespace {

LogTime now()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return LogTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// A line too long for its buffer is not cut: the log says one was left out.
void append(bool formatted, char* line, const LogTime& time)
{
    if (formatted || format_log_note(line, RUN_LOG_LINE_SIZE, time, "a line too long for the log was left out",
                                     nullptr))
        run_log_append(line);
}

}  // namespace

void updater_log_note(const char* label, const char* text)
{
    char line[RUN_LOG_LINE_SIZE];
    const LogTime time = now();
    append(format_log_note(line, sizeof line, time, label, text), line, time);
}

void updater_log_failure(const char* step, const char* path, uint32_t os_error)
{
    // FormatMessageA sets the last error of its own.
    const DWORD caller_error = GetLastError();
    char text[RUN_LOG_ERROR_TEXT_SIZE];
    os_error_text(os_error, text, sizeof text);
    char line[RUN_LOG_LINE_SIZE];
    const LogTime time = now();
    append(format_log_failure(line, sizeof line, time, step, path, os_error, text), line, time);
    SetLastError(caller_error);
}

void updater_log_exit(int exit_code, const char* why)
{
    char line[RUN_LOG_LINE_SIZE];
    const LogTime time = now();
    append(format_log_exit(line, sizeof line, time, exit_code, why), line, time);
}
