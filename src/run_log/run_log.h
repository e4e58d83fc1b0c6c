// The run log: what a support desk reads after a failed update. updater.exe
// appends one line per event to a file in the user's temporary folder
// (src/driver does the file calls); patchtool apply prints the same failure
// detail on standard error. This module is the portable part: the wording of
// every line, when the file is rotated, and which opened file may be written.
// Text is code page 932 bytes, as the updater's paths are.
#pragma once
#include <cstddef>
#include <cstdint>

extern const char RUN_LOG_NAME[];        // "Velmora-updater.log", in the temporary folder
extern const char RUN_LOG_OLD_SUFFIX[];  // ".old": the one rotated copy beside it

// The file is rotated before a line would take it past this size, so the two
// files together stay under twice the cap.
const uint64_t RUN_LOG_CAP = 64 * 1024;
// Room for the longest line: a 1024-byte caption or a 260-byte path and a
// 256-byte system text, each byte of which may be escaped to four.
const size_t RUN_LOG_LINE_SIZE = 4608;
const size_t RUN_LOG_ERROR_TEXT_SIZE = 256;

struct LogTime {
    uint16_t year, month, day, hour, minute, second;  // local time
};

// Each formatter writes a whole line, "YYYY-MM-DD hh:mm:ss " first and CR LF
// last, with every control byte of the given texts shown as "\xNN", so that no
// name can start a line of its own. False, with out = "", when the line does
// not fit in `cap` bytes.
//
// "<time> <label>: <text>", or "<time> <label>" when text is null.
bool format_log_note(char* out, size_t cap, const LogTime& time, const char* label, const char* text);
// "<time> " and the failure detail below.
bool format_log_failure(char* out, size_t cap, const LogTime& time, const char* step, const char* path,
                        uint32_t os_error, const char* error_text);
// "<time> exit code <n> (0x<8 hex digits>): <why>".
bool format_log_exit(char* out, size_t cap, const LogTime& time, int exit_code, const char* why);

// "could not <step>: <path>: system error <n>: <error text>" without time or
// line end, ": <error text>" left out when it is empty. patchtool apply prints
// it as the updater logs it. False, with out = "", when it does not fit.
bool format_failure_detail(char* out, size_t cap, const char* step, const char* path, uint32_t os_error,
                           const char* error_text);

// True when appending `line_length` bytes to a log of `size` bytes would pass
// RUN_LOG_CAP: the file then becomes the ".old" copy and a new one is started.
// An empty file is never rotated.
bool run_log_rotates(uint64_t size, uint64_t line_length);

// What the system says about the file opened at the log's name, which was
// opened as the name itself (FILE_FLAG_OPEN_REPARSE_POINT).
struct RunLogFileFacts {
    bool on_disk;         // GetFileType: a disk file, not a pipe or device
    bool directory;
    bool name_surrogate;  // a symbolic link or junction: the name points elsewhere
    uint32_t links;       // names of the file (hard links)
};
// True when the updater, which runs elevated, may append to it: a plain disk
// file with this one name. A link planted at the name, or a second name of a
// file elsewhere, would make it write where its caller could not.
bool run_log_file_usable(const RunLogFileFacts& facts);
