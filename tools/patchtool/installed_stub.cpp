#include "installed_stub.h"

#include <filesystem>
#include <system_error>

// The stub's install path relative to the tool's, from the install layout
// (tools/patchtool/CMakeLists.txt).
#ifndef PATCHTOOL_STUB_FROM_BINDIR
#error "PATCHTOOL_STUB_FROM_BINDIR is not defined"
#endif

namespace fs = std::filesystem;

std::vector<std::string> stub_candidates()
{
    const std::string own = own_program_path();
    if (own.empty())
        return {};
    const fs::path folder = fs::u8path(own).parent_path();
    return {(folder / fs::u8path(PATCHTOOL_STUB_FROM_BINDIR)).lexically_normal().u8string(),
            (folder / "updater.exe").u8string()};
}

std::string find_installed_stub()
{
    for (const std::string& candidate : stub_candidates()) {
        std::error_code ec;
        if (fs::is_regular_file(fs::u8path(candidate), ec))
            return candidate;
    }
    return "";
}
