// patchtool verify: checks every record of an installation's KXQ.hvl against
// the file on disk, one line per problem.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "hash_list/hash_list.h"
#include "path_rules/path_safety.h"
#include "windows_text/path_buffer.h"
#include "terminal_progress.h"

namespace {

// Only regular files are read, as the updater reads them: a link is not
// followed out of the folder, and a pipe never makes verify wait.
bool read_list(const std::string& dir, HashList* records, int* version, std::string* problem)
{
    char path[OS_PATH_SIZE];
    FileHandle file;
    if (!path_join(path, sizeof path, dir.c_str(), HASH_LIST_NAME) || !file.open_read_regular(path)) {
        *problem = "cannot open KXQ.hvl in the installation folder (missing, or not a regular file)";
        return false;
    }
    // The count is bounded before anything is allocated.
    *records = read_hash_list_at(file, 0, version);
    if (*version == HASH_LIST_UNREADABLE) {
        *problem = "KXQ.hvl is no whole hash list (unreadable, short, unknown magic, short records or too many records)";
        return false;
    }
    return true;
}

// "" when the file matches its record, else what is wrong.
std::string check_record(const std::string& dir, const HashRecord& record, std::vector<uint8_t>& buffer)
{
    char relative[sizeof record.path + 1];
    size_t n = field_length(record.path, sizeof record.path);
    std::memcpy(relative, record.path, n);
    relative[n] = '\0';
    // The updater's own rule: a record that leaves the folder or names a
    // device is reported and never opened (a serial port would not answer).
    const PathProblem unsafe = path_problem(relative);
    if (unsafe != PATH_OK)
        return std::string("not followed: the path ") + path_problem_text(unsafe);
    char path[OS_PATH_SIZE];
    FileHandle file;
    if (!path_join(path, sizeof path, dir.c_str(), relative))
        return "too long: the path inside the folder breaks the 260-byte limit of Windows paths";
    // A record that names a folder (or, with an empty path, the installation
    // folder itself) is present, as the prune after every update counts it;
    // a folder has no content to checksum.
    const uint32_t attributes = os_get_attributes(path);
    if (attributes != OS_INVALID_ATTRIBUTES && (attributes & OS_ATTRIBUTE_DIRECTORY))
        return "";
    if (!file.open_read_regular(path))
        return attributes == OS_INVALID_ATTRIBUTES ? "missing" : "unreadable (not a regular file)";
    ContentChecksum sum;
    std::string problem;
    if (!checksum_whole_file(file, buffer, &sum, &problem))
        return problem;
    ContentChecksum expected;
    std::memcpy(expected.bytes, record.checksum, sizeof expected.bytes);
    if (checksum_equal(sum, expected))
        return "";
    char want[17], have[17];
    checksum_to_hex(expected, want);
    checksum_to_hex(sum, have);
    return std::string("checksum mismatch (listed ") + want + ", on disk " + have + ")";
}

}  // namespace

int cmd_verify(int argc, char** argv)
{
    std::string given;
    CLI::App app;
    command_app(&app, "verify");
    app.add_option("INSTALL_DIR", given, "the installation folder")->required();
    const int parsed = parse_command(app, argc, argv);
    if (parsed != COMMAND_PARSED)
        return parsed;
    std::string dir, problem;
    if (!host_operand("verify", given, &dir))
        return EXIT_USAGE;
    const char* kind = operand_kind_problem(dir, true);
    if (*kind)
        return refuse_operand("verify", given, kind);
    HashList records;
    int version = 0;
    if (!read_list(dir, &records, &version, &problem)) {
        std::printf("%s\n", problem.c_str());
        return EXIT_FAILED;
    }
    size_t problems = 0;
    size_t checked = 0;
    TerminalProgress progress(stderr);
    std::vector<uint8_t> buffer;
    for (const HashRecord& record : records) {
        progress.show_count("verifying", checked++, records.size());
        std::string wrong = check_record(dir, record, buffer);
        if (wrong.empty())
            continue;
        // The problem line goes below the progress line, not into it.
        progress.finish();
        ++problems;
        std::string path(record.path, field_length(record.path, sizeof record.path));
        std::printf("%s: %s\n", printable(path).c_str(), wrong.c_str());
    }
    progress.finish();
    std::printf("%zu of %zu records match (KXQ.hvl version %d)\n", records.size() - problems, records.size(),
                version);
    return problems == 0 ? EXIT_OK : EXIT_FAILED;
}
