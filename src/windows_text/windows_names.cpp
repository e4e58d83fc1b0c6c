#include "windows_text/windows_names.h"

#include <cstring>

#include "windows_text/ansi_char.h"

namespace {

const char* const DEVICE_NAMES[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};

bool is_refused_character(uint8_t b)
{
    return b < 0x20 || std::strchr("<>:\"|?*", b) != nullptr;
}

char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
}

// `base` (n bytes, already cut at its first ".") names a device: Windows reads
// "NUL .txt" as NUL, so spaces before the extension do not count.
bool is_device_base(const char* base, uint32_t n)
{
    while (n > 0 && base[n - 1] == ' ')
        --n;
    char lower[8];
    if (n == 0 || n >= sizeof lower)
        return false;
    for (uint32_t i = 0; i < n; ++i)
        lower[i] = ascii_lower(base[i]);
    lower[n] = '\0';
    if (n == 4 && (std::memcmp(lower, "com", 3) == 0 || std::memcmp(lower, "lpt", 3) == 0))
        return lower[3] >= '1' && lower[3] <= '9';
    for (const char* device : DEVICE_NAMES) {
        if (std::strcmp(lower, device) == 0)
            return true;
    }
    return false;
}

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

}  // namespace

WindowsNameProblem windows_name_problem(const char* name, uint32_t length)
{
    uint32_t base = length;  // up to the first "." that is a character of its own
    for (uint32_t i = 0; i < length;) {
        const uint32_t n = ansi_char_length(name + i, length - i);
        if (n == 1 && is_refused_character(static_cast<uint8_t>(name[i])))
            return WINDOWS_NAME_CHARACTER;
        if (n == 1 && name[i] == '.' && base == length)
            base = i;
        i += n;
    }
    return is_device_base(name, base) ? WINDOWS_NAME_DEVICE : WINDOWS_NAME_OK;
}

WindowsNameProblem windows_path_problem(const char* path)
{
    const uint32_t length = static_cast<uint32_t>(std::strlen(path));
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length;) {
        if (i < length && !is_separator(path[i])) {
            i += ansi_char_length(path + i, length - i);
            continue;
        }
        const WindowsNameProblem problem = windows_name_problem(path + start, i - start);
        // Only the last component is opened as a device; a folder of that
        // name on the way is looked up like any other.
        if (problem == WINDOWS_NAME_CHARACTER || (problem == WINDOWS_NAME_DEVICE && i == length))
            return problem;
        start = ++i;
    }
    return WINDOWS_NAME_OK;
}
