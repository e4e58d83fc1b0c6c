// The run log's file calls against the real file system of the Wine prefix:
// the log stays under its cap with one rotated copy and no line lost, it is
// never written through a second name of a file elsewhere, and it keeps under
// its cap when the rotated copy cannot be replaced.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "driver/run_log_file.h"
#include "run_log/run_log.h"
#include "support/temp_dir.h"

namespace {

uint64_t size_of(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

struct Case {
    const char* what;
    void (*plant)(const std::string& dir);  // before the first line
    uint64_t kept;                          // bytes of log and copy together, of 70 lines of 1000
    uint64_t elsewhere;                     // bytes then in "elsewhere.txt"
};

const Case CASES[] = {
    {"rotated once, nothing lost", [](const std::string&) {}, 70000, 0},
    {"a second name of a file elsewhere",
     [](const std::string& dir) {
         CloseHandle(CreateFileA((dir + "\\elsewhere.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
         CreateHardLinkA((dir + "\\" + RUN_LOG_NAME).c_str(), (dir + "\\elsewhere.txt").c_str(), nullptr);
     },
     0, 0},
    // The lines since the log was last emptied in place remain.
    {"a folder at the rotated copy's name",
     [](const std::string& dir) {
         CreateDirectoryA((dir + "\\" + RUN_LOG_NAME + RUN_LOG_OLD_SUFFIX).c_str(), nullptr);
     },
     70000 % 65000, 0},
};

TEST(RunLogFile, StaysUnderItsCapAndWritesOnlyItsOwnFile)
{
    const std::string line = std::string(998, 'x') + "\r\n";
    TempDir temp;
    std::string base = temp.path();
    for (char& ch : base)
        ch = ch == '/' ? '\\' : ch;
    int n = 0;
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        const std::string dir = base + "\\" + std::to_string(++n);
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
        // GetTempPathA reads TMP first, then TEMP.
        ASSERT_TRUE(SetEnvironmentVariableA("TMP", dir.c_str()));
        ASSERT_TRUE(SetEnvironmentVariableA("TEMP", dir.c_str()));
        c.plant(dir);
        for (int i = 0; i < 70; ++i) {
            SetLastError(ERROR_FILE_EXISTS);
            run_log_append(line.c_str());
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS)) << "the caller's last error is kept";
        }
        const uint64_t log = size_of(dir + "\\" + RUN_LOG_NAME);
        EXPECT_LE(log, RUN_LOG_CAP);
        EXPECT_EQ(log + size_of(dir + "\\" + RUN_LOG_NAME + RUN_LOG_OLD_SUFFIX), c.kept);
        EXPECT_EQ(size_of(dir + "\\elsewhere.txt"), c.elsewhere);
    }
}

}  // namespace
