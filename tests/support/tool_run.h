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
// Runs `program` with its standard streams on a new pseudo-terminal, as from
// an interactive shell. Everything it wrote there is in `out` (the terminal
// turns "\n" into "\r\n"); `err` stays empty.
ToolRun run_tool_on_terminal(const std::string& program, const std::vector<std::string>& args);
