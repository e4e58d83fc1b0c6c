// A small JSON reader for checking tool output in tests: objects, arrays,
// strings (with \u escapes), integers, true/false/null. Throws on bad input.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue {
    enum Kind { NUL, BOOL, NUMBER, STRING, ARRAY, OBJECT } kind = NUL;
    bool boolean = false;
    int64_t number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    bool is_null() const { return kind == NUL; }
    // Member or item access; throws when absent or of the wrong kind.
    const JsonValue& operator[](const std::string& key) const;
    const JsonValue& operator[](size_t i) const;
    bool has(const std::string& key) const { return kind == OBJECT && members.count(key) != 0; }
};

JsonValue parse_json(const std::string& text);
