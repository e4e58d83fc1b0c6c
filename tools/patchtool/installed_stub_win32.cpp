#include "installed_stub.h"

#include "cli_text.h"

#include <windows.h>

#include <vector>

// The wide form: the ANSI one would have lost a folder name the system's code
// page cannot hold.
std::string own_program_path()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return "";
        if (n < path.size())
            break;
        if (path.size() >= 0x8000)  // longer than any Windows path
            return "";
        path.resize(path.size() * 2);
    }
    std::string out;
    return wide_to_utf8(path.data(), &out) ? out : "";
}
