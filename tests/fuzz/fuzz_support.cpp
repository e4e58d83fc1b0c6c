#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#include "memory_files.h"

const std::string& fuzz_scratch_dir()
{
    static std::string dir;
    if (dir.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/updater-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        dir = pattern;
    }
    return dir;
}

std::string fuzz_write_file(const char* name, const uint8_t* data, size_t size, size_t prefix_zeros)
{
    std::string path = fuzz_scratch_dir() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    static const std::vector<uint8_t> zeros(0x28000, 0);
    while (prefix_zeros > 0) {
        size_t n = prefix_zeros < zeros.size() ? prefix_zeros : zeros.size();
        std::fwrite(zeros.data(), 1, n, f);
        prefix_zeros -= n;
    }
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

const char* fuzz_memory_game(const char* name, const uint8_t* data, size_t size)
{
    static const char GAME[] = "C:\\Game";
    memory_files_use(true);
    const std::string path = std::string(GAME) + "\\" + name;
    if (!memory_files_add_folder(GAME) || !memory_files_add_folder("C:\\Game\\Archive") ||
        !memory_files_put(path.c_str(), data, size))
        std::abort();
    return GAME;
}
