#include "path_rules/target_key.h"

#include <cstring>

#include "windows_text/path_buffer.h"

namespace {

bool is_separator_unit(uint16_t u)
{
    return u == '\\' || u == '/';
}

bool is_trimmed_unit(uint16_t u)
{
    return u == '.' || u == ' ';
}

// Appends units[start, end) as the next component; false when it trims to
// nothing, which no file can be named.
bool append_component(TargetKey* key, const uint16_t* units, uint32_t start, uint32_t end)
{
    while (end > start && is_trimmed_unit(units[end - 1]))
        --end;
    if (end == start || key->length + (key->length ? 1 : 0) + (end - start) > OS_PATH_SIZE)
        return false;
    if (key->length)
        key->units[key->length++] = '\\';
    std::memcpy(key->units + key->length, units + start, (end - start) * sizeof units[0]);
    key->length += end - start;
    return true;
}

}  // namespace

bool target_key(TargetKey* key, const char* path, const char* suffix)
{
    key->length = 0;
    char joined[OS_PATH_SIZE];
    if (!text_join(joined, sizeof joined, path, suffix) || joined[0] == '\0')
        return false;
    // Converted whole before it is split: a trail byte 0x5C is part of its
    // character, never a separator.
    uint16_t units[OS_PATH_SIZE];
    const int n = os_to_wide(CODE_PAGE_932, joined, static_cast<int>(std::strlen(joined)), units, OS_PATH_SIZE);
    if (n <= 0)
        return false;
    const uint32_t count = static_cast<uint32_t>(n);
    os_wide_lower(units, count);
    uint32_t start = 0;
    for (uint32_t i = 0; i <= count; ++i) {
        if (i < count && !is_separator_unit(units[i]))
            continue;
        const bool empty = i == start;
        const bool dot = i == start + 1 && units[start] == '.';
        if (empty || dot) {
            if (i == count) {  // "Archive\" and "Archive\." name the folder
                key->length = 0;
                return false;
            }
        } else if (!append_component(key, units, start, i)) {
            key->length = 0;
            return false;
        }
        start = i + 1;
    }
    return key->length > 0;
}

bool target_keys_equal(const TargetKey& a, const TargetKey& b)
{
    return a.length == b.length && std::memcmp(a.units, b.units, a.length * sizeof a.units[0]) == 0;
}
