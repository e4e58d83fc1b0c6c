// patchtool's JSON output, made with nlohmann-json. Objects keep their keys in
// the order they are added, so every report reads in the order its text form
// does.
#pragma once
#include <string>
#include <nlohmann/json.hpp>

typedef nlohmann::ordered_json JsonOut;

// Prints `value` to stdout, indented by two spaces, with a final newline. Any
// byte sequence that is not UTF-8 comes out as U+FFFD rather than failing, and
// every control character as a \u escape, so that JSON read on a terminal is
// as safe as the text reports.
void print_json(const JsonOut& value);
// A code page 932 text as the pair the reports use: "<key>" in UTF-8 and
// "<key>_hex" with its raw bytes.
void put_text(JsonOut* object, const char* key, const std::string& cp932);
