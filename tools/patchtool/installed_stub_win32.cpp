#include "installed_stub.h"

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
    const int need = WideCharToMultiByte(CP_UTF8, 0, path.data(), -1, nullptr, 0, nullptr, nullptr);
    if (need <= 1)
        return "";
    std::string out(static_cast<size_t>(need), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, path.data(), -1, &out[0], need, nullptr, nullptr) != need)
        return "";
    out.resize(static_cast<size_t>(need - 1));
    return out;
}
