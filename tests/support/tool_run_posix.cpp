#include "support/tool_run.h"

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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

ToolRun run_tool_on_terminal(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    ToolRun run;
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0)
        return run;
    if (child == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n > 0)
            run.out.append(buffer, static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;  // EIO once the program has closed its side
    }
    close(terminal);
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}
