#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

TempDir::TempDir()
{
    std::random_device seed;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = base / ("updater-test-" + std::to_string(seed()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::host(const std::string& relative) const
{
    return path_ + "/" + relative;
}

std::string read_host_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_host_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool host_file_exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}
