#include "cli_text.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

namespace {

UINT console_code_page_before = 0;

void restore_console_code_page()
{
    SetConsoleOutputCP(console_code_page_before);
}

bool is_console(DWORD which)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

bool wide_to_utf8(const wchar_t* text, std::string* out)
{
    const int need = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0)
        return false;
    std::string buffer(static_cast<size_t>(need), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, &buffer[0], need, nullptr, nullptr) != need)
        return false;
    buffer.resize(static_cast<size_t>(need - 1));  // the converted terminator
    *out = buffer;
    return true;
}

void cli_prepare_output()
{
    // The C runtime's text mode turns every "\n" into "\r\n"; the console
    // needs no "\r" to start a new line.
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Everything the tool prints is UTF-8; a console shows bytes in its
    // output code page (932 on a Japanese system), and is shared with the
    // shell and whatever runs after us, hence the restore.
    if (!is_console(STD_OUTPUT_HANDLE) && !is_console(STD_ERROR_HANDLE))
        return;
    console_code_page_before = GetConsoleOutputCP();
    if (console_code_page_before != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(restore_console_code_page);
}

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
