#include "path_rules/path_safety.h"

#include <cstring>

#include "platform/path_buffer.h"
#include "platform/platform.h"

namespace {

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

// Length of the character at p: 2 for a lead byte followed by a trail byte,
// else 1 (a lead byte right before the terminator counts alone).
uint32_t char_length(const char* p)
{
    if (os_is_ansi_lead_byte(static_cast<uint8_t>(p[0])) && p[1] != '\0')
        return 2;
    return 1;
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

namespace {

// key := a + suffix with "\" for every separator, lower-cased as the engine
// lower-cases names; false when it does not fit a path.
bool target_key(char key[OS_PATH_SIZE], const char* path, const char* suffix)
{
    char joined[OS_PATH_SIZE];
    if (!text_join(joined, sizeof joined, path, suffix) ||
        !path_with_backslashes(key, OS_PATH_SIZE, joined))
        return false;
    os_ansi_lower(key);
    return true;
}

}  // namespace

bool paths_name_one_file(const char* a, const char* a_suffix, const char* b, const char* b_suffix)
{
    char left[OS_PATH_SIZE];
    char right[OS_PATH_SIZE];
    if (!target_key(left, a, a_suffix) || !target_key(right, b, b_suffix))
        return false;
    return std::strcmp(left, right) == 0;
}
