// UTF-8 <-> UTF-16 as Wine converts code page 65001 without flags: an
// ill-formed sequence becomes one U+FFFD per maximal prefix of a well-formed
// sequence (overlong forms, surrogates and values above U+10FFFF are
// ill-formed), and a lone surrogate in UTF-16 becomes U+FFFD.
#include "platform/code_page_codecs.h"

namespace {

const uint16_t REPLACEMENT = 0xFFFD;

// Number of continuation bytes after a first byte of 0x80 or above; 0 for the
// bytes that cannot start a sequence.
uint32_t continuation_count(uint8_t b)
{
    if (b >= 0xC2 && b <= 0xDF)
        return 1;
    if (b >= 0xE0 && b <= 0xEF)
        return 2;
    if (b >= 0xF0 && b <= 0xF4)
        return 3;
    return 0;
}

// The allowed range of the first continuation byte, which is what excludes
// overlong forms, surrogates and values above U+10FFFF.
void second_byte_range(uint8_t first, uint8_t* lo, uint8_t* hi)
{
    *lo = 0x80;
    *hi = 0xBF;
    if (first == 0xE0)
        *lo = 0xA0;
    else if (first == 0xED)
        *hi = 0x9F;
    else if (first == 0xF0)
        *lo = 0x90;
    else if (first == 0xF4)
        *hi = 0x8F;
}

// Decodes the sequence at src[i]; *used := bytes consumed (at least 1).
// Returns the code point, or 0xFFFFFFFF for an ill-formed prefix.
uint32_t decode_one(const uint8_t* src, int i, int src_len, int* used)
{
    const uint8_t first = src[i];
    *used = 1;
    if (first < 0x80)
        return first;
    const uint32_t more = continuation_count(first);
    if (more == 0)
        return 0xFFFFFFFFu;
    uint32_t value = first & (0x3Fu >> more);
    uint8_t lo, hi;
    second_byte_range(first, &lo, &hi);
    for (uint32_t k = 1; k <= more; ++k) {
        if (i + static_cast<int>(k) >= src_len)
            return 0xFFFFFFFFu;
        const uint8_t b = src[i + k];
        if (b < lo || b > hi)
            return 0xFFFFFFFFu;
        value = value << 6 | (b & 0x3Fu);
        *used = static_cast<int>(k) + 1;
        lo = 0x80;
        hi = 0xBF;
    }
    return value;
}

void put_unit(uint16_t* dst, int dst_len, int* count, uint16_t unit)
{
    if (dst && *count < dst_len)
        dst[*count] = unit;
    ++*count;
}

void put_byte(uint8_t* dst, int dst_len, int* count, uint32_t byte)
{
    if (dst && *count < dst_len)
        dst[*count] = static_cast<uint8_t>(byte);
    ++*count;
}

}  // namespace

int utf8_decode(const uint8_t* src, int src_len, uint16_t* dst, int dst_len)
{
    int count = 0;
    for (int i = 0; i < src_len;) {
        int used = 1;
        const uint32_t value = decode_one(src, i, src_len, &used);
        i += used;
        if (value == 0xFFFFFFFFu) {
            put_unit(dst, dst_len, &count, REPLACEMENT);
        } else if (value >= 0x10000) {
            put_unit(dst, dst_len, &count, static_cast<uint16_t>(0xD800 + ((value - 0x10000) >> 10)));
            put_unit(dst, dst_len, &count, static_cast<uint16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            put_unit(dst, dst_len, &count, static_cast<uint16_t>(value));
        }
    }
    return count;
}

int utf8_encode(const uint16_t* src, int src_len, uint8_t* dst, int dst_len)
{
    int count = 0;
    for (int i = 0; i < src_len; ++i) {
        uint32_t value = src[i];
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < src_len && src[i + 1] >= 0xDC00 &&
            src[i + 1] <= 0xDFFF) {
            value = 0x10000 + ((value - 0xD800) << 10) + (src[i + 1] - 0xDC00u);
            ++i;
        } else if (value >= 0xD800 && value <= 0xDFFF) {
            value = REPLACEMENT;
        }
        if (value < 0x80) {
            put_byte(dst, dst_len, &count, value);
        } else if (value < 0x800) {
            put_byte(dst, dst_len, &count, 0xC0 | value >> 6);
            put_byte(dst, dst_len, &count, 0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            put_byte(dst, dst_len, &count, 0xE0 | value >> 12);
            put_byte(dst, dst_len, &count, 0x80 | (value >> 6 & 0x3F));
            put_byte(dst, dst_len, &count, 0x80 | (value & 0x3F));
        } else {
            put_byte(dst, dst_len, &count, 0xF0 | value >> 18);
            put_byte(dst, dst_len, &count, 0x80 | (value >> 12 & 0x3F));
            put_byte(dst, dst_len, &count, 0x80 | (value >> 6 & 0x3F));
            put_byte(dst, dst_len, &count, 0x80 | (value & 0x3F));
        }
    }
    return count;
}
