// The uninstall list's conversions between its narrow text and UTF-16,
// through the system's own MultiByteToWideChar and WideCharToMultiByte.
#include "uninstall_list/text_convert.h"

#include "platform/platform.h"

uint16_t* to_wide(uint16_t* dst, const char* text)
{
    uint32_t code_page = detect_text_mode(text) != TEXT_MODE_SJIS ? CODE_PAGE_UTF8 : ansi_code_page;
    int n = os_to_wide(code_page, text, -1, nullptr, 0);
    if (n < 1)
        return nullptr;
    uint16_t* buffer = dst ? dst : new uint16_t[static_cast<uint32_t>(n) + 1];
    if (!dst)
        buffer[n] = 0;
    // One conversion call for both destinations keeps the updater small.
    const int done = os_to_wide(code_page, text, -1, buffer, n);
    if (dst)
        return nullptr;
    // A conversion that fails after the length query yields no text, not an
    // array of unset units.
    if (done < 1) {
        delete[] buffer;
        return nullptr;
    }
    return buffer;
}

namespace {

uint32_t narrow_code_page(TextMode mode)
{
    if (mode == TEXT_MODE_SJIS)
        return ansi_code_page;
    if (mode == TEXT_MODE_UTF8)
        return CODE_PAGE_UTF8;
    return get_default_code_page();
}

}  // namespace

char* to_narrow(char* dst, const uint16_t* text, TextMode mode)
{
    uint32_t code_page = narrow_code_page(mode);
    int n = os_to_narrow(code_page, text, -1, nullptr, 0);
    if (n < 1)
        return nullptr;
    char* buffer = dst ? dst : new char[static_cast<uint32_t>(n) + 1];
    if (!dst)
        buffer[n] = '\0';
    const int done = os_to_narrow(code_page, text, -1, buffer, n);
    if (dst)
        return nullptr;
    if (done < 1) {
        delete[] buffer;
        return nullptr;
    }
    return buffer;
}

