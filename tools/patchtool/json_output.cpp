#include "json_output.h"

#include <cstdio>

#include "cli_text.h"

void print_json(const JsonOut& value)
{
    const std::string text = value.dump(2, ' ', false, JsonOut::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
}

void put_text(JsonOut* object, const char* key, const std::string& cp932)
{
    (*object)[key] = cp932_to_utf8(cp932);
    (*object)[std::string(key) + "_hex"] = hex_text(cp932.data(), cp932.size());
}
