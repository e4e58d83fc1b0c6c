#include "path_rules/path_safety.h"

#include <cstring>

#include "windows_text/ansi_char.h"
#include "windows_text/windows_names.h"

namespace {

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

uint32_t char_length(const char* p)
{
    return static_cast<uint32_t>(ansi_char_length(p));
}

// A component of only dots and spaces with at least two dots: Windows drops
// trailing dots and spaces from a name, which turns it into "..".
bool is_parent_component(const char* begin, const char* end)
{
    uint32_t dots = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '.')
            ++dots;
        else if (*p != ' ')
            return false;
    }
    return dots >= 2;
}

}  // namespace

bool path_escapes_folder(const char* path)
{
    if (is_separator(path[0]))
        return true;
    const char* component = path;
    const char* p = path;
    for (;;) {
        if (*p == '\0' || is_separator(*p)) {
            if (is_parent_component(component, p))
                return true;
            if (*p == '\0')
                return false;
            component = p + 1;
            ++p;
            continue;
        }
        if (*p == ':')
            return true;
        p += char_length(p);
    }
}

PathProblem path_problem(const char* path)
{
    if (path_escapes_folder(path))
        return PATH_LEAVES_FOLDER;
    const char* component = path;
    for (const char* p = path;; p += char_length(p)) {
        if (*p != '\0' && !is_separator(*p))
            continue;
        // Stricter than CreateFileA, which looks a folder named like a device
        // up as a folder: no such folder can be made on Windows.
        if (windows_name_problem(component, static_cast<uint32_t>(p - component)) != WINDOWS_NAME_OK)
            return PATH_REFUSED_NAME;
        if (*p == '\0')
            return PATH_OK;
        component = p + 1;
    }
}

const char* path_problem_text(PathProblem problem)
{
    switch (problem) {
    case PATH_OK:
        return "";
    case PATH_LEAVES_FOLDER:
        return "leaves the installation folder (absolute, a drive or stream \":\", or \"..\")";
    case PATH_REFUSED_NAME:
        return "holds a name Windows refuses (< > : \" | ? * or a control character) or a device name (NUL, COM1, ...)";
    case PATH_TOO_LONG:
        return "too long for a Windows path with \".prev\" appended";
    case PATH_NAMES_FOLDER:
        return "names no file (empty, ends in a separator or \".\", or a name of only dots and spaces)";
    case PATH_LIST_FILE:
        return "is one of the lists the updater keeps (KXQ.hvl, uninst.lst, or their .new siblings)";
    case PATH_SHARES_FILE:
        return "names on Windows the same file as another entry, or that entry's temporary or kept copy";
    }
    return "";
}

const char* path_problem_code(PathProblem problem)
{
    static const char* const CODES[] = {"", "leaves-folder", "refused-name", "too-long",
                                        "names-folder", "list-file", "shares-file"};
    return problem >= PATH_OK && problem <= PATH_SHARES_FILE ? CODES[problem] : "";
}

bool path_with_backslashes(char* out, uint32_t cap, const char* path)
{
    uint32_t used = 0;
    const char* p = path;
    while (*p != '\0') {
        uint32_t n = char_length(p);
        if (used + n >= cap) {
            if (cap)
                out[0] = '\0';
            return false;
        }
        out[used] = (n == 1 && *p == '/') ? '\\' : p[0];
        if (n == 2)
            out[used + 1] = p[1];
        used += n;
        p += n;
    }
    if (cap == 0)
        return false;
    out[used] = '\0';
    return true;
}

