#include "named_file.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string resolve_named_file(const std::string& utf8)
{
    std::error_code ec;
    const fs::path given = fs::u8path(utf8);
    if (!fs::is_symlink(fs::symlink_status(given, ec)))
        return utf8;
    const fs::path target = fs::canonical(given, ec);
    return ec ? utf8 : target.u8string();
}
