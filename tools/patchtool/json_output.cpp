#include "json_output.h"

#include <cstdio>

#include "cli_text.h"

namespace {

// The dump escapes C0 controls itself but leaves DEL and the C1 range
// (U+0080-U+009F, where U+009B starts a terminal's control sequence) as they
// are. Outside strings JSON has no such bytes, so each can be escaped in place.
std::string escape_remaining_controls(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        char escaped[8];
        if (c == 0x7F || (c == 0xC2 && next >= 0x80 && next < 0xA0)) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c == 0x7F ? c : next);
            out += escaped;
            i += c == 0x7F ? 0 : 1;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

void print_json(const JsonOut& value)
{
    const std::string text = value.dump(2, ' ', false, JsonOut::error_handler_t::replace);
    std::printf("%s\n", escape_remaining_controls(text).c_str());
}

void put_text(JsonOut* object, const char* key, const std::string& cp932)
{
    (*object)[key] = cp932_to_utf8(cp932);
    (*object)[std::string(key) + "_hex"] = hex_text(cp932.data(), cp932.size());
}
