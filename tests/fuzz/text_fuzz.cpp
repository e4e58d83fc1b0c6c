// The text helpers over arbitrary NUL-terminated bytes: detection, decoding in
// every mode, search, lower-casing and both conversions. None may step past
// the terminator.
#include <cstring>
#include <vector>

#include "uninstall_list/text_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const char* end = text.data() + std::strlen(text.data());

    (void)detect_text_mode(text.data());
    const TextMode modes[] = {TEXT_MODE_SJIS, TEXT_MODE_UTF8, TEXT_MODE_ASCII, TEXT_MODE_AUTO};
    for (TextMode mode : modes) {
        for (const char* p = text.data(); *p;) {
            uint32_t value = 0;
            int full = 0;
            uint32_t n = decode_char(&value, &full, p, mode);
            if (n == 0 || p + n > end)
                __builtin_trap();
            p += n;
        }
        const char* cr = find_char(text.data(), '\r', mode);
        if (cr && (cr < text.data() || cr > end))
            __builtin_trap();
    }
    std::vector<char> lowered(text);
    to_lower(lowered.data());
    if (std::strlen(lowered.data()) != std::strlen(text.data()))
        __builtin_trap();

    uint16_t* wide = to_wide(nullptr, text.data());
    if (wide) {
        char* narrow = to_narrow(nullptr, wide, TEXT_MODE_SJIS);
        delete[] narrow;
        narrow = to_narrow(nullptr, wide, TEXT_MODE_UTF8);
        delete[] narrow;
        delete[] wide;
    }
    return 0;
}
