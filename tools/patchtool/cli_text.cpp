#include "cli_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/host_root.h"
#include "platform/platform.h"

namespace {

bool to_wide(uint32_t code_page, const std::string& text, std::vector<uint16_t>* out)
{
    out->clear();
    if (text.empty())
        return true;
    const int len = static_cast<int>(text.size());
    const int need = os_to_wide(code_page, text.data(), len, nullptr, 0);
    if (need <= 0)
        return false;
    out->resize(static_cast<size_t>(need));
    return os_to_wide(code_page, text.data(), len, out->data(), need) == need;
}

bool to_narrow(uint32_t code_page, const std::vector<uint16_t>& wide, std::string* out)
{
    out->clear();
    if (wide.empty())
        return true;
    const int len = static_cast<int>(wide.size());
    const int need = os_to_narrow(code_page, wide.data(), len, nullptr, 0);
    if (need <= 0)
        return false;
    out->resize(static_cast<size_t>(need));
    return os_to_narrow(code_page, wide.data(), len, &(*out)[0], need) == need;
}

}  // namespace

bool utf8_to_cp932(const std::string& utf8, std::string* out)
{
    std::vector<uint16_t> wide;
    std::vector<uint16_t> back;
    std::string utf8_again;
    // Each step may substitute a default character or a best fit rather than
    // fail; only a text that survives both round trips is the same text.
    if (!to_wide(CODE_PAGE_UTF8, utf8, &wide) || !to_narrow(CODE_PAGE_UTF8, wide, &utf8_again) ||
        utf8_again != utf8)
        return false;
    if (!to_narrow(CODE_PAGE_932, wide, out) || !to_wide(CODE_PAGE_932, *out, &back) || back != wide) {
        out->clear();
        return false;
    }
    return true;
}

std::string cp932_to_utf8(const std::string& bytes)
{
    std::vector<uint16_t> wide;
    std::string out;
    if (!to_wide(CODE_PAGE_932, bytes, &wide) || !to_narrow(CODE_PAGE_UTF8, wide, &out))
        return std::string();
    return out;
}

std::string printable_utf8(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char escaped[8];
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0 &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80) {
            // U+0080-U+009F: terminals take U+009B as the start of a control sequence.
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(utf8[i + 1]));
            out += escaped;
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string printable(const std::string& cp932)
{
    return printable_utf8(cp932_to_utf8(cp932));
}

std::string hex_text(const void* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    std::string out;
    out.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

std::string message_utf8(const std::string& cp932)
{
    std::string out;
    size_t from = 0;
    // A marker's 0x01 is never the trail byte of a double-byte character.
    for (size_t i = 0; i < cp932.size(); ++i) {
        size_t length = 0;
        const std::string* host = cp932[i] == '\x01' ? os_host_root_at(cp932.c_str() + i, &length) : nullptr;
        if (!host)
            continue;
        out += cp932_to_utf8(cp932.substr(from, i - from)) + *host;
        i += length - 1;
        from = i + 1;
    }
    return out + cp932_to_utf8(cp932.substr(from));
}

bool host_operand(const char* command, const std::string& given, std::string* seam)
{
    if (os_host_root(given, seam))
        return true;
    std::fprintf(stderr, "patchtool %s: '%s' cannot be used as a path (empty or too long)\n", command,
                 printable_utf8(given).c_str());
    return false;
}
