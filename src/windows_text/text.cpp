#include "windows_text/text.h"

#include <cstddef>

#include "windows_text/code_page_ids.h"

extern const TextMode default_text_mode = TEXT_MODE_SJIS;

static inline uint8_t byte_at(const char* p, size_t i)
{
    return static_cast<uint8_t>(p[i]);
}

uint32_t utf8_sequence_length(uint8_t first)
{
    // The smallest n >= 2 whose bit (0x80 >> n) is clear, at most 8: the count
    // of leading 1 bits for 0xC0-0xFF; a stray continuation byte 0x80-0xBF
    // gets whatever its lower bits give.
    uint32_t n = 2;
    while (n < 8 && (first & (0x80u >> n)) != 0)
        ++n;
    return n;
}

TextMode detect_text_mode(const char* text)
{
    uint32_t sequences = 0;
    const char* p = text;
    while (*p != '\0') {
        uint8_t b = byte_at(p, 0);
        if (b < 0x80) {
            ++p;
            continue;
        }
        if (b < 0xC2)
            return TEXT_MODE_SJIS;
        uint32_t n = utf8_sequence_length(b);
        // Stops at the first byte outside 0x80-0xBF, so the terminator ends the
        // check and nothing behind it is read.
        for (uint32_t i = 1; i < n; ++i) {
            uint8_t c = byte_at(p, i);
            if (c < 0x80 || c > 0xBF)
                return TEXT_MODE_SJIS;
        }
        if (++sequences == 3)
            return TEXT_MODE_UTF8;
        p += n;
    }
    return sequences ? TEXT_MODE_UTF8 : TEXT_MODE_ASCII;
}

uint32_t decode_utf8_sequence(uint32_t* value, const char* p)
{
    uint8_t first = byte_at(p, 0);
    if (first < 0x80) {
        if (value)
            *value = first;
        return 1;
    }
    uint32_t n = utf8_sequence_length(first);
    // Accumulating six bits at a time keeps the low 32 bits of the value for
    // the 7- and 8-byte forms without shifting a 32-bit number by 32 or more.
    uint32_t v = (n + 1 < 8) ? (first & (0xFFu >> (n + 1))) : 0;
    uint32_t length = 1;
    // A sequence cut short by the terminator ends before it: the walk that
    // steps by this length then stops at the terminator.
    while (length < n && p[length] != '\0') {
        v = (v << 6) | (byte_at(p, length) & 0x3Fu);
        ++length;
    }
    if (value)
        *value = v;
    return length;
}

int is_sjis_lead_byte(const char* p)
{
    uint8_t b = byte_at(p, 0);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) || b == 0xFF;
}

int is_full_width(uint32_t value)
{
    if (value < 0x80)
        return 0;
    if (value >= 0xFF61 && value <= 0xFF9F)
        return 0;
    return 1;
}

static uint32_t decode_utf8_char(uint32_t* value, const char* p)
{
    uint32_t high = 0;
    uint32_t length = decode_utf8_sequence(&high, p);
    if (high >= 0xD800 && high <= 0xDBFF && p[length] != '\0') {
        uint32_t low = 0;
        uint32_t low_length = decode_utf8_sequence(&low, p + length);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            *value = ((high - 0xD7C0u) << 10) | (low - 0xDC00u);
            return length + low_length;
        }
    }
    *value = high;
    return length;
}

uint32_t decode_char(uint32_t* value, int* full_width, const char* p, TextMode mode)
{
    uint32_t v = 0;
    int wide = 0;
    uint32_t length = 0;
    if (mode == TEXT_MODE_AUTO)
        mode = default_text_mode;
    if (mode == TEXT_MODE_SJIS) {
        // A lead byte right before the terminator has no trail byte: it is
        // taken alone so that the walk never steps over the terminator.
        if (is_sjis_lead_byte(p) && p[1] != '\0') {
            v = byte_at(p, 0) * 256u + byte_at(p, 1);
            wide = 1;
            length = 2;
        } else {
            v = byte_at(p, 0);
            length = 1;
        }
    } else if (mode == TEXT_MODE_UTF8) {
        length = decode_utf8_char(&v, p);
        wide = is_full_width(v);
    } else if (mode == TEXT_MODE_ASCII) {
        v = byte_at(p, 0);
        length = 1;
    }
    if (value)
        *value = v;
    if (full_width)
        *full_width = wide;
    return length;
}

const char* find_char(const char* text, uint32_t value, TextMode mode)
{
    if (mode == TEXT_MODE_AUTO)
        mode = detect_text_mode(text);
    if (mode == TEXT_MODE_ASCII) {
        const char* p = text;
        for (; *p != '\0'; ++p) {
            if (byte_at(p, 0) == value)
                return p;
        }
        return value == 0 ? p : nullptr;
    }
    if (mode != TEXT_MODE_SJIS && mode != TEXT_MODE_UTF8)
        return nullptr;
    const char* p = text;
    while (*p != '\0') {
        uint32_t v = 0;
        uint32_t length = decode_char(&v, nullptr, p, mode);
        if (v == value)
            return p;
        p += length;
    }
    return value == 0 ? p : nullptr;
}

char* to_lower(char* text)
{
    return to_lower_in_mode(text, detect_text_mode(text));
}

char* to_lower_in_mode(char* text, TextMode mode)
{
    if (mode == TEXT_MODE_ASCII) {
        for (char* p = text; *p != '\0'; ++p) {
            if (*p >= 'A' && *p <= 'Z')
                *p = static_cast<char>(*p + 0x20);
        }
        return text;
    }
    if (mode != TEXT_MODE_SJIS && mode != TEXT_MODE_UTF8)
        return text;
    char* p = text;
    while (*p != '\0') {
        // A byte below 0x80 is a character of its own in both modes.
        if (static_cast<uint8_t>(*p) < 0x80) {
            if (*p >= 'A' && *p <= 'Z')
                *p = static_cast<char>(*p + 0x20);
            ++p;
            continue;
        }
        uint32_t v = 0;
        uint32_t length = decode_char(&v, nullptr, p, mode);
        // Only a character of its own byte is a letter; a trail byte in
        // 0x41-0x5A belongs to a two-byte character and stays.
        if (length == 1 && v >= 0x41 && v <= 0x5A)
            *p = static_cast<char>(*p + 0x20);
        p += length;
    }
    return text;
}

int text_compare(const char* a, const char* b)
{
    for (size_t i = 0;; ++i) {
        uint8_t x = byte_at(a, i);
        uint8_t y = byte_at(b, i);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

char* text_copy(char* dst, const char* src)
{
    size_t i = 0;
    do {
        dst[i] = src[i];
    } while (src[i++] != '\0');
    return dst;
}

bool is_well_formed_utf8(const char* text)
{
    const char* p = text;
    while (*p != '\0') {
        const uint8_t b = byte_at(p, 0);
        if (b < 0x80) {
            ++p;
            continue;
        }
        // The first continuation byte's range rules out overlong forms (E0,
        // F0), encoded surrogates (ED) and values past U+10FFFF (F4).
        uint32_t n = 0;
        uint8_t low = 0x80;
        uint8_t high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            n = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        // The terminator is outside every range, so a cut sequence fails
        // before anything behind it is read.
        for (uint32_t i = 1; i < n; ++i) {
            const uint8_t c = byte_at(p, i);
            if (c < low || c > high)
                return false;
            low = 0x80;
            high = 0xBF;
        }
        p += n;
    }
    return true;
}
