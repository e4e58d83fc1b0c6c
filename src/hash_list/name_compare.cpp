#include "hash_list/name_compare.h"

#include <cstring>

#include "platform/platform.h"

bool lower_name_copy(char out[260], const char* name)
{
    const void* end = std::memchr(name, 0, OS_PATH_SIZE);
    if (!end) {
        out[0] = '\0';
        return false;
    }
    const size_t n = static_cast<size_t>(static_cast<const char*>(end) - name);
    std::memcpy(out, name, n + 1);
    os_ansi_lower(out);
    return true;
}

bool names_equal(const char* a, const char* b)
{
    char la[OS_PATH_SIZE];
    char lb[OS_PATH_SIZE];
    // A name that cannot be lower-cased in its buffer names nothing we can
    // compare; treating it as different keeps it from matching by accident.
    if (!lower_name_copy(la, a) || !lower_name_copy(lb, b))
        return false;
    return std::strcmp(la, lb) == 0;
}
