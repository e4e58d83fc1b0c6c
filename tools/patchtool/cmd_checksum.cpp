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

bool checksum_file(const char* utf8_path, std::vector<uint8_t>& buffer, ContentChecksum* sum, std::string* problem)
{
    std::string path;
    if (!utf8_to_cp932(resolve_named_file(utf8_path), &path)) {
        *problem = "the name cannot be written in code page 932";
        return false;
    }
    // A pipe or a device named here fails at once instead of being waited on.
    FileHandle file;
    if (!file.open_read_regular(path.c_str())) {
        *problem = "cannot open it (missing, or not a regular file)";
        return false;
    }
    return checksum_whole_file(file, buffer, sum, problem);
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
        if (!checksum_file(f.c_str(), buffer, &sum, &problem)) {
            std::fprintf(stderr, "patchtool checksum: %s: %s\n", printable_utf8(f).c_str(), problem.c_str());
            status = EXIT_FAILED;
            continue;
        }
        char hex[17];
        checksum_to_hex(sum, hex);
        std::printf("%s  %s\n", hex, printable_utf8(f).c_str());
    }
    return status;
}
