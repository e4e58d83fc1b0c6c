#include "support/tool_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <stdexcept>

#include "support/temp_dir.h"

namespace {

std::string quoted(const std::string& arg)
{
    std::string out = "'";
    for (char c : arg) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

}  // namespace

std::string built_program(const std::string& relative)
{
    const char* dir = std::getenv("UPDATER_BINARY_DIR");
    if (!dir || !*dir)
        throw std::runtime_error("UPDATER_BINARY_DIR is not set (run the test through ctest)");
    return std::string(dir) + "/" + relative;
}

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args)
{
    TempDir capture;
    std::string command = quoted(program);
    for (const std::string& a : args)
        command += " " + quoted(a);
    command += " >" + quoted(capture.host("out")) + " 2>" + quoted(capture.host("err")) + " </dev/null";
    ToolRun run;
    const int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw))
        run.status = WEXITSTATUS(raw);
    run.out = read_host_file(capture.host("out"));
    run.err = read_host_file(capture.host("err"));
    return run;
}
