// The baseline of the update throughput benchmark: copies each named file into
// DEST_DIR as <name>.tmp with 1 MiB reads and writes, optionally flushes each
// one, then renames every .tmp over its target, as the update does with no
// checksum, no hash list and no progress.
//   plain_copy [--flush] DEST_DIR FILE...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const size_t BUFFER_SIZE = 0x100000;

// The same durability and replace semantics the update relies on.
#if defined(_WIN32)
bool flush_file(FILE* f)
{
    return std::fflush(f) == 0 && _commit(_fileno(f)) == 0;
}
bool replace_file(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
const char SEPARATOR = '\\';
#else
bool flush_file(FILE* f)
{
    return std::fflush(f) == 0 && fsync(fileno(f)) == 0;
}
bool replace_file(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}
const char SEPARATOR = '/';
#endif

std::string base_name(const std::string& path)
{
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool copy_file(const std::string& from, const std::string& to, bool flush, std::vector<char>& buf)
{
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = in ? std::fopen(to.c_str(), "wb") : nullptr;
    bool ok = in && out;
    while (ok) {
        const size_t n = std::fread(buf.data(), 1, buf.size(), in);
        if (n == 0) {
            ok = !std::ferror(in);
            break;
        }
        ok = std::fwrite(buf.data(), 1, n, out) == n;
    }
    if (ok && flush)
        ok = flush_file(out);
    if (out && std::fclose(out) != 0)
        ok = false;
    if (in)
        std::fclose(in);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1;
    const bool flush = argc > 1 && std::strcmp(argv[1], "--flush") == 0;
    if (flush)
        ++first;
    if (argc - first < 2) {
        std::fprintf(stderr, "usage: plain_copy [--flush] DEST_DIR FILE...\n");
        return 2;
    }
    const std::string dest = argv[first];
    std::vector<char> buf(BUFFER_SIZE);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    for (int i = first + 1; i < argc; ++i) {
        const std::string target = dest + SEPARATOR + base_name(argv[i]);
        if (!copy_file(argv[i], target + ".tmp", flush, buf)) {
            std::fprintf(stderr, "plain_copy: cannot copy %s\n", argv[i]);
            return 1;
        }
    }
    for (int i = first + 1; i < argc; ++i) {
        const std::string target = dest + SEPARATOR + base_name(argv[i]);
        if (!replace_file(target + ".tmp", target)) {
            std::fprintf(stderr, "plain_copy: cannot rename over %s\n", target.c_str());
            return 1;
        }
    }
    return 0;
}
