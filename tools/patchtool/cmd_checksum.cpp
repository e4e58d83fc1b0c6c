// patchtool checksum FILE...: the content checksum the updater would compute
// while staging each file, as stored in a hash record.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "checksum/checksum_read.h"
#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "named_file.h"

namespace {

// EXIT_OK with *sum; else *problem (or a message of its own) and EXIT_USAGE
// for an operand that names no regular file or one too big for a payload
// entry, EXIT_FAILED for a file that cannot be read.
int checksum_file(const std::string& given, std::vector<uint8_t>& buffer, ContentChecksum* sum,
                  std::string* problem)
{
    std::string path;
    if (!host_operand("checksum", resolve_named_file(given), &path))
        return EXIT_USAGE;  // said already
    *problem = operand_kind_problem(path, false);
    if (!problem->empty())
        return EXIT_USAGE;
    FileHandle file;
    if (!file.open_read_regular(path.c_str())) {
        *problem = "cannot open it";
        return EXIT_FAILED;
    }
    // A file no payload entry can hold is refused input, like build refuses it.
    const uint64_t size = file.size64();
    if (size != OS_INVALID_FILE_SIZE64 && size > 0xFFFFFFFFu) {
        *problem = std::to_string(size) + " bytes, more than the 4294967295 a payload entry can hold";
        return EXIT_USAGE;
    }
    return checksum_whole_file(file, buffer, sum, problem) ? EXIT_OK : EXIT_FAILED;
}

}  // namespace

bool checksum_whole_file(FileHandle& file, std::vector<uint8_t>& buffer, ContentChecksum* sum,
                         std::string* problem)
{
    const uint64_t size = file.size64();
    if (size == OS_INVALID_FILE_SIZE64) {
        *problem = "cannot tell its size";
        return false;
    }
    if (size > 0xFFFFFFFFu) {
        *problem = std::to_string(size) + " bytes, more than the 4294967295 a payload entry can hold";
        return false;
    }
    *sum = ContentChecksum();
    if (read_and_checksum(file, size, buffer, sum, nullptr) != CHUNK_READ_OK) {
        *problem = "cannot read it in full";
        return false;
    }
    return true;
}

int cmd_checksum(int argc, char** argv)
{
    std::vector<std::string> files;
    CLI::App app;
    command_app(&app, "checksum");
    app.add_option("FILE", files, "files to checksum")->required();
    const int parsed = parse_command(app, argc, argv);
    if (parsed != COMMAND_PARSED)
        return parsed;
    int status = EXIT_OK;
    std::vector<uint8_t> buffer;
    for (const std::string& f : files) {
        ContentChecksum sum;
        std::string problem;
        const int summed = checksum_file(f, buffer, &sum, &problem);
        if (summed != EXIT_OK) {
            if (!problem.empty())
                std::fprintf(stderr, "patchtool checksum: %s: %s\n", printable_utf8(f).c_str(),
                             problem.c_str());
            // A refused operand outranks a failed read: the command line needs mending first.
            status = status == EXIT_USAGE ? status : summed;
            continue;
        }
        char hex[17];
        checksum_to_hex(sum, hex);
        std::printf("%s  %s\n", hex, printable_utf8(f).c_str());
    }
    return status;
}
