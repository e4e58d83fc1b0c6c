// patchtool's commands. Each takes its own arguments with argv[0] = the
// command's name, all in UTF-8 (see cli_arguments), and returns the exit code:
// 0 success, 1 a failure the command reports, 2 a usage error.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "checksum/checksum.h"
#include "platform/file_handle.h"
#include "result/update_result.h"

const int EXIT_OK = 0;
const int EXIT_FAILED = 1;
const int EXIT_USAGE = 2;

typedef int (*CommandFunction)(int argc, char** argv);

struct CommandInfo {
    const char* name;
    CommandFunction run;
    const char* usage;    // arguments after the name, e.g. "[--json] FILE"
    const char* summary;  // one sentence for the command list and `help COMMAND`
};

int cmd_checksum(int argc, char** argv);
int cmd_inspect(int argc, char** argv);
int cmd_build(int argc, char** argv);
int cmd_apply(int argc, char** argv);
int cmd_verify(int argc, char** argv);

// The registered command of that name, or null.
const CommandInfo* find_command(const char* name);
// Prints "patchtool COMMAND: message" and the command's usage to stderr; returns EXIT_USAGE.
int usage_error(const char* command, const char* message);
// Prints "patchtool COMMAND: OPERAND: message" to stderr for an operand the
// command refuses before any work (`given` UTF-8 as typed); returns EXIT_USAGE.
int refuse_operand(const char* command, const std::string& given, const char* message);
// What `seam` names, for refusing an operand of the wrong kind: "" when it is
// a file (want_folder false) or a folder (true), else why it is not.
const char* operand_kind_problem(const std::string& seam, bool want_folder);
// True for "--help" or "-h" (the tool's own, before any command).
bool is_help_option(const char* arg);
// Prints the help of `command` (usage, summary, options) to stdout; EXIT_OK
// (EXIT_USAGE if unknown).
int print_command_help(const char* command);

// The checksum of an open file's whole content, its size read in 64 bits. A
// file larger than a payload entry's 32-bit size field can describe has no
// checksum the updater could ever compute: false with *problem saying so, as
// also for a size that cannot be told or bytes that do not arrive. `buffer`
// is the caller's, kept from file to file: growing a fresh 1 MiB one for each
// of thousands of small files would cost more than reading them.
bool checksum_whole_file(FileHandle& file, std::vector<uint8_t>& buffer, ContentChecksum* sum,
                         std::string* problem);

// apply --dry-run on `file` and `dir` (code page 932; `shown_*` UTF-8 as
// given, control characters already escaped): prints what the update would
// do, every name escaped; result_exit_code of the prediction.
int apply_dry_run(const std::string& file, const std::string& dir, const std::string& shown_file,
                  const std::string& shown_dir);
