// Runs a built program of this project (found under the build tree named by
// UPDATER_BINARY_DIR) and captures its exit status and output. Native tree only.
#pragma once
#include <string>
#include <vector>

struct ToolRun {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Path of a program relative to the build tree ("tools/patchtool/patchtool").
std::string built_program(const std::string& relative);
// Runs `program` with `args` (passed through the shell, each argument quoted).
ToolRun run_tool(const std::string& program, const std::vector<std::string>& args);
