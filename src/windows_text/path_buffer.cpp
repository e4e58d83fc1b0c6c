#include "windows_text/path_buffer.h"

#include <cstring>

bool text_join(char* out, size_t cap, const char* a, const char* b, const char* c)
{
    const char* parts[3] = {a ? a : "", b ? b : "", c ? c : ""};
    size_t used = 0;
    if (cap == 0)
        return false;
    for (const char* part : parts) {
        size_t n = std::strlen(part);
        if (n >= cap - used) {
            out[0] = '\0';
            return false;
        }
        std::memcpy(out + used, part, n);
        used += n;
    }
    out[used] = '\0';
    return true;
}

bool path_join(char* out, size_t cap, const char* dir, const char* name, const char* suffix)
{
    char first[1024];
    if (!text_join(first, sizeof first, dir, "\\", nullptr)) {
        if (cap)
            out[0] = '\0';
        return false;
    }
    return text_join(out, cap, first, name, suffix);
}

size_t field_length(const char* field, size_t width)
{
    const void* nul = std::memchr(field, 0, width);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : width;
}
