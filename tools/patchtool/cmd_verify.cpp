// patchtool verify: checks every record of an installation's KXQ.hvl against
// the file on disk, one line per problem.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_text.h"
#include "commands.h"
#include "hash_list/hash_list.h"
#include "platform/path_buffer.h"

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
        *problem = "cannot read KXQ.hvl";
        return false;
    }
    if (*version == 0) {
        *problem = "KXQ.hvl is not a hash list (short, unknown magic, short records or too many records)";
        return false;
    }
    return true;
}

// "" when the file matches its record, else what is wrong.
std::string check_record(const std::string& dir, const HashRecord& record)
{
    char relative[sizeof record.path + 1];
    size_t n = field_length(record.path, sizeof record.path);
    std::memcpy(relative, record.path, n);
    relative[n] = '\0';
    char path[OS_PATH_SIZE];
    FileHandle file;
    if (!path_join(path, sizeof path, dir.c_str(), relative))
        return "path too long";
    if (!file.open_read_regular(path))
        return os_get_attributes(path) == OS_INVALID_ATTRIBUTES ? "missing" : "unreadable (not a regular file)";
    ContentChecksum sum;
    if (!checksum_next_bytes(file, file.size(), &sum))
        return "unreadable";
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
    int first = 1;
    if (first < argc && std::strcmp(argv[first], "--") == 0)
        ++first;
    if (argc - first != 1)
        return usage_error("verify", "give exactly one INSTALL_DIR");
    std::string dir, problem;
    if (!utf8_to_cp932(argv[first], &dir)) {
        std::fprintf(stderr, "patchtool verify: the path cannot be written in code page 932\n");
        return EXIT_USAGE;
    }
    HashList records;
    int version = 0;
    if (!read_list(dir, &records, &version, &problem)) {
        std::printf("%s\n", problem.c_str());
        return EXIT_FAILED;
    }
    size_t problems = 0;
    for (const HashRecord& record : records) {
        std::string wrong = check_record(dir, record);
        if (wrong.empty())
            continue;
        ++problems;
        std::string path(record.path, field_length(record.path, sizeof record.path));
        std::printf("%s: %s\n", cp932_to_utf8(path).c_str(), wrong.c_str());
    }
    std::printf("%zu of %zu records match (KXQ.hvl version %d)\n", records.size() - problems, records.size(),
                version);
    return problems == 0 ? EXIT_OK : EXIT_FAILED;
}
