// patchtool checksum FILE...: the content checksum the updater would compute
// while staging each file, as stored in a hash record.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_text.h"
#include "command_line.h"
#include "commands.h"

namespace {

// The updater stages files in 1 MiB pieces; the result does not depend on it.
const uint32_t CHUNK = 0x100000;

bool checksum_file(const char* utf8_path, ContentChecksum* sum, std::string* problem)
{
    std::string path;
    if (!utf8_to_cp932(utf8_path, &path)) {
        *problem = "the name cannot be written in code page 932";
        return false;
    }
    FileHandle file;
    if (!file.open_read(path.c_str())) {
        *problem = "cannot open it";
        return false;
    }
    return checksum_whole_file(file, sum, problem);
}

}  // namespace

bool checksum_whole_file(FileHandle& file, ContentChecksum* sum, std::string* problem)
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
    if (!checksum_next_bytes(file, static_cast<uint32_t>(size), sum)) {
        *problem = "cannot read it in full";
        return false;
    }
    return true;
}

bool checksum_next_bytes(FileHandle& file, uint32_t size, ContentChecksum* sum)
{
    std::memset(sum->bytes, 0, sizeof sum->bytes);
    std::vector<uint8_t> buffer(size < CHUNK ? size : CHUNK);
    uint32_t left = size;
    while (left > 0) {
        const uint32_t want = left < CHUNK ? left : CHUNK;
        if (file.read(buffer.data(), want) != want)
            return false;
        checksum_update(sum, buffer.data(), want);
        left -= want;
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
    for (const std::string& f : files) {
        ContentChecksum sum;
        std::string problem;
        if (!checksum_file(f.c_str(), &sum, &problem)) {
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
