// The run log's lines, its rotation and the files it refuses to write.
#include <gtest/gtest.h>

#include <string>

#include "run_log/run_log.h"

namespace {

const LogTime TIME = {2026, 3, 7, 9, 5, 1};

struct LineCase {
    const char* name;
    size_t cap;
    int kind;  // 0 note, 1 note without text, 2 failure, 3 exit
    const char* a;
    const char* b;
    const char* expected;  // "" when the line must not fit
};

TEST(RunLogLine, EachEventIsOneLineWithControlBytesEscaped)
{
    // "ソフト" ends its first character with the trail byte "\", which stays.
    const LineCase cases[] = {
        {"note", 256, 0, "folder", "C:\\\x83\x5C\x83\x74\x83\x67", "2026-03-07 09:05:01 folder: C:\\\x83\x5C\x83\x74\x83\x67\r\n"},
        {"label only", 256, 1, "updater started", nullptr, "2026-03-07 09:05:01 updater started\r\n"},
        {"forged line", 256, 0, "caption", "v1\r\n2026 exit code 0\x7f",
         "2026-03-07 09:05:01 caption: v1\\x0d\\x0a2026 exit code 0\\x7f\r\n"},
        {"failure", 256, 2, "replace the target", "C:\\g\\a.arc",
         "2026-03-07 09:05:01 could not replace the target: C:\\g\\a.arc: system error 32: in use\r\n"},
        {"exit", 256, 3, nullptr, "UPDATE_E_FAILED",
         "2026-03-07 09:05:01 exit code -2147483644 (0x80000004): UPDATE_E_FAILED\r\n"},
        {"exactly fits", 30, 1, "0123456", nullptr, "2026-03-07 09:05:01 0123456\r\n"},
        {"one byte short", 29, 1, "0123456", nullptr, ""},
        {"no room at all", 0, 1, "x", nullptr, ""},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        char out[256] = "stale";
        bool fits = false;
        if (c.kind == 0 || c.kind == 1)
            fits = format_log_note(out, c.cap, TIME, c.a, c.b);
        else if (c.kind == 2)
            fits = format_log_failure(out, c.cap, TIME, c.a, c.b, 32, "in use");
        else
            fits = format_log_exit(out, c.cap, TIME, -2147483644, c.b);
        EXPECT_EQ(fits, *c.expected != 0);
        EXPECT_EQ(std::string(c.cap ? out : ""), c.expected);
    }
}

TEST(RunLogLine, FailureDetailLeavesOutAnEmptySystemText)
{
    char out[128];
    ASSERT_TRUE(format_failure_detail(out, sizeof out, "create the staged file", "a\x1b.tmp", 0, ""));
    EXPECT_STREQ(out, "could not create the staged file: a\\x1b.tmp: system error 0");
}

TEST(RunLogRotation, TheFileStaysUnderItsCap)
{
    const struct {
        uint64_t size, line;
        bool rotates;
    } cases[] = {
        {0, RUN_LOG_CAP + 1, false}, {RUN_LOG_CAP - 10, 10, false}, {RUN_LOG_CAP - 10, 11, true},
        {RUN_LOG_CAP, 0, true},      {~0ull, 1, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run_log_rotates(c.size, c.line), c.rotates) << c.size << " + " << c.line;
}

TEST(RunLogFile, OnlyAPlainFileWithOneNameIsWritten)
{
    const struct {
        const char* name;
        RunLogFileFacts facts;
        bool usable;
    } cases[] = {
        {"plain file", {true, false, false, 1}, true},
        {"symbolic link or junction", {true, false, true, 1}, false},
        {"folder", {true, true, false, 1}, false},
        {"second hard link", {true, false, false, 2}, false},
        {"pipe or device", {false, false, false, 1}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run_log_file_usable(c.facts), c.usable) << c.name;
}

}  // namespace
