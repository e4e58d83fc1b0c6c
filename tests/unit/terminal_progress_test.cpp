// patchtool apply's progress view: a failure's step, path and system text
// reach the stream it writes to (standard error in apply), names escaped.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"
#include "terminal_progress.h"

TEST(TerminalProgress, FailureShowsStepPathAndSystemText)
{
    // A real failure: opening a file that is not there.
    TempDir dir;
    ASSERT_EQ(os_open_read((dir.path() + "/missing.arc").c_str()), OS_INVALID_HANDLE);
    const uint32_t error = os_last_error();
    ASSERT_NE(error, 0u);

    FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        TerminalProgress progress(out);
        // "ソフト" in code page 932, behind a name that would clear a terminal.
        progress.failure("create the staged file", "Archive\\\x1b[2J\x83\x5C\x83\x74\x83\x67.arc.tmp", error);
    }
    std::string shown(4096, '\0');
    std::rewind(out);
    shown.resize(std::fread(&shown[0], 1, shown.size(), out));
    std::fclose(out);
    EXPECT_EQ(shown, "patchtool apply: could not create the staged file: Archive\\\\x1b[2J"
                     "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.arc.tmp: system error " +
                         std::to_string(error) + ": " + std::strerror(static_cast<int>(error)) + "\n");
}
