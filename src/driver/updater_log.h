// What the updater writes to its run log (run_log_file.h), each line with the
// local time: the start, the caption and the installation folder, each entry
// staged and verified, every failure with its system error, and the exit code
// with its reason. The callers never learn whether a line was written, and
// the thread's last error is kept as they left it.
#pragma once
#include <cstdint>

// "<label>: <text>", or "<label>" alone when text is null (code page 932).
void updater_log_note(const char* label, const char* text);
// "could not <step>: <path>: system error <n>: <the system's text for n>".
void updater_log_failure(const char* step, const char* path, uint32_t os_error);
// "exit code <n> (0x...): <why>".
void updater_log_exit(int exit_code, const char* why);
