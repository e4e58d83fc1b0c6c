#include "cli_text.h"

#include <windows.h>
#include <shellapi.h>

namespace {

bool wide_to_utf8(const wchar_t* text, std::string* out)
{
    const int need = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0)
        return false;
    std::string buffer(static_cast<size_t>(need), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, &buffer[0], need, nullptr, nullptr) != need)
        return false;
    buffer.resize(static_cast<size_t>(need - 1));  // the converted terminator
    *out = buffer;
    return true;
}

}  // namespace

// argv of a console program holds the ANSI code page's rendering of the command
// line, where a name it cannot hold has already become "?"; the wide command
// line still has every character.
bool cli_arguments(int, char**, std::vector<std::string>* out)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return false;
    out->clear();
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        std::string arg;
        ok = wide_to_utf8(wide[i], &arg);
        out->push_back(arg);
    }
    LocalFree(wide);
    return ok;
}
