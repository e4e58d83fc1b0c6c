#include "support/json_lite.h"

#include <stdexcept>

namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}
    JsonValue document()
    {
        JsonValue v = value();
        skip();
        if (i_ != s_.size())
            fail("trailing text");
        return v;
    }

private:
    [[noreturn]] void fail(const char* what) const
    {
        throw std::runtime_error(std::string("json: ") + what + " at " + std::to_string(i_));
    }
    void skip()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    bool take(char c)
    {
        skip();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void expect(char c)
    {
        if (!take(c))
            fail("unexpected character");
    }
    bool word(const char* w)
    {
        const std::string ws(w);
        if (s_.compare(i_, ws.size(), ws) != 0)
            return false;
        i_ += ws.size();
        return true;
    }
    JsonValue value()
    {
        skip();
        JsonValue v;
        if (i_ >= s_.size())
            fail("end of text");
        const char c = s_[i_];
        if (c == '{')
            return object();
        if (c == '[')
            return array();
        if (c == '"') {
            v.kind = JsonValue::STRING;
            v.text = string();
        } else if (word("null")) {
            v.kind = JsonValue::NUL;
        } else if (word("true") || word("false")) {
            v.kind = JsonValue::BOOL;
            v.boolean = s_[i_ - 1] == 'e' && s_[i_ - 2] == 'u';
        } else {
            v.kind = JsonValue::NUMBER;
            v.number = number();
        }
        return v;
    }
    int64_t number()
    {
        const size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-')
            ++i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9')
            ++i_;
        if (i_ == start || (i_ == start + 1 && s_[start] == '-'))
            fail("bad value");
        return std::stoll(s_.substr(start, i_ - start));
    }
    void put_utf8(std::string* out, uint32_t u)
    {
        if (u < 0x80) {
            *out += static_cast<char>(u);
        } else if (u < 0x800) {
            *out += static_cast<char>(0xC0 | u >> 6);
            *out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            *out += static_cast<char>(0xE0 | u >> 12);
            *out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
            *out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    std::string string()
    {
        expect('"');
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            const unsigned char c = static_cast<unsigned char>(s_[i_++]);
            if (c < 0x20)
                fail("raw control character in string");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (i_ >= s_.size())
                fail("cut escape");
            const char e = s_[i_++];
            const std::string simple = "\"\\/bfnrt";
            const std::string meant = "\"\\/\b\f\n\r\t";
            if (simple.find(e) != std::string::npos) {
                out += meant[simple.find(e)];
            } else if (e == 'u' && i_ + 4 <= s_.size()) {
                put_utf8(&out, static_cast<uint32_t>(std::stoul(s_.substr(i_, 4), nullptr, 16)));
                i_ += 4;
            } else {
                fail("bad escape");
            }
        }
        expect('"');
        return out;
    }
    JsonValue array()
    {
        JsonValue v;
        v.kind = JsonValue::ARRAY;
        expect('[');
        if (take(']'))
            return v;
        do
            v.items.push_back(value());
        while (take(','));
        expect(']');
        return v;
    }
    JsonValue object()
    {
        JsonValue v;
        v.kind = JsonValue::OBJECT;
        expect('{');
        if (take('}'))
            return v;
        do {
            skip();
            const std::string key = string();
            expect(':');
            if (v.members.count(key))
                fail("duplicate key");
            v.members[key] = value();
        } while (take(','));
        expect('}');
        return v;
    }
    const std::string& s_;
    size_t i_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const
{
    if (kind != OBJECT || !members.count(key))
        throw std::runtime_error("json: no member " + key);
    return members.at(key);
}

const JsonValue& JsonValue::operator[](size_t i) const
{
    if (kind != ARRAY || i >= items.size())
        throw std::runtime_error("json: no item " + std::to_string(i));
    return items[i];
}

JsonValue parse_json(const std::string& text)
{
    return Reader(text).document();
}
