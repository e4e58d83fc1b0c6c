// patchtool: the publisher's and support tool. Dispatches to one function per
// command; a command is added by one line in COMMANDS.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_text.h"
#include "commands.h"
#include "platform/file_handle.h"
#include "platform/platform.h"

namespace {

const CommandInfo COMMANDS[] = {
    {"checksum", cmd_checksum, "FILE...", "Print the content checksum of each file as 16 hex digits."},
    {"inspect", cmd_inspect, "[--json] FILE", "Show an updater's caption, index, entries and shipped hash list."},
    {"build", cmd_build, "[--base PATH]... [--dry-run] [--json] [--stub EXE] --caption TEXT [--index-form 128|32] [--hash-list v2|v1] --out FILE SOURCE_DIR", "Build an updater from a stub (the installed one if left out) and a folder laid out like the installation; with --base, only what changed since earlier releases."},
    {"apply", cmd_apply, "[--dry-run] FILE INSTALL_DIR", "Run an updater's update on an installation folder, with progress on the terminal, or say what it would do (--dry-run)."},
    {"verify", cmd_verify, "INSTALL_DIR", "Check every file listed in an installation's KXQ.hvl against its checksum."},
};

void print_overview(FILE* out)
{
    std::fprintf(out, "usage: patchtool COMMAND [ARGS...]\n       patchtool help COMMAND\n       patchtool --version\n\n"
                      "commands:\n");
    for (const CommandInfo& c : COMMANDS)
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\nFiles and folders on the command line are used as the system spells them, however deep;\n"
                      "only the paths inside a release or an installation follow the updater's rules.\n"
                      "Texts are given in UTF-8; output is UTF-8.\n"
                      "Exit codes, for every command: 0 success; 1 the work itself failed (a file could not be read\n"
                      "or written, an updater is damaged, an installation does not match); 2 a usage error or input\n"
                      "refused before any work (a missing file or folder, one of the wrong kind, no updater, what\n"
                      "the format cannot hold). apply, once the update runs, exits with the low byte of its result.\n"
                      "See patchtool(1).\n");
}

int run(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());
    if (argc < 2) {
        print_overview(stderr);
        return EXIT_USAGE;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "--version") == 0) {
        std::printf("patchtool %s\n", PATCHTOOL_VERSION);
        return EXIT_OK;
    }
    if (is_help_option(name) || std::strcmp(name, "help") == 0) {
        if (argc > 2)
            return print_command_help(argv[2]);
        print_overview(stdout);
        return EXIT_OK;
    }
    const CommandInfo* command = find_command(name);
    if (!command) {
        std::fprintf(stderr, "patchtool: unknown command '%s'\n\n", printable_utf8(name).c_str());
        print_overview(stderr);
        return EXIT_USAGE;
    }
    return command->run(argc - 1, argv.data() + 1);
}

}  // namespace

const CommandInfo* find_command(const char* name)
{
    for (const CommandInfo& c : COMMANDS) {
        if (std::strcmp(c.name, name) == 0)
            return &c;
    }
    return nullptr;
}

bool is_help_option(const char* arg)
{
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

int print_command_help(const char* name)
{
    const CommandInfo* command = find_command(name);
    if (!command) {
        std::fprintf(stderr, "patchtool: unknown command '%s'\n", printable_utf8(name).c_str());
        return EXIT_USAGE;
    }
    // The command itself prints its help, options included.
    std::string help_name = command->name, help_option = "--help";
    char* help_argv[] = {&help_name[0], &help_option[0], nullptr};
    return command->run(2, help_argv);
}

int usage_error(const char* name, const char* message)
{
    const CommandInfo* command = find_command(name);
    std::fprintf(stderr, "patchtool %s: %s\n", name, printable_utf8(message).c_str());
    if (command)
        std::fprintf(stderr, "usage: patchtool %s %s\n", command->name, command->usage);
    return EXIT_USAGE;
}

int refuse_operand(const char* command, const std::string& given, const char* message)
{
    std::fprintf(stderr, "patchtool %s: %s: %s\n", command, printable_utf8(given).c_str(), message);
    return EXIT_USAGE;
}

const char* operand_kind_problem(const std::string& seam, bool want_folder)
{
    const uint32_t attributes = os_get_attributes(seam.c_str());
    if (attributes == OS_INVALID_ATTRIBUTES)
        return "no such file or folder";
    const bool folder = (attributes & OS_ATTRIBUTE_DIRECTORY) != 0;
    if (folder != want_folder)
        return want_folder ? "not a folder" : "a folder, not a file";
    // A pipe or a device where a file is expected is refused at once: reading
    // it would wait for a writer that may never come.
    FileHandle file;
    if (!want_folder && !file.open_read_regular(seam.c_str()))
        return "not a regular file (a pipe or a device?)";
    return "";
}

int main(int argc, char** argv)
{
    cli_prepare_output();
    std::vector<std::string> args;
    if (!cli_arguments(argc, argv, &args)) {
        std::fprintf(stderr, "patchtool: cannot read the command line\n");
        return EXIT_USAGE;
    }
    return run(args);
}
