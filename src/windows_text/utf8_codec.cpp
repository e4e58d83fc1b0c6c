// UTF-8 <-> UTF-16 as Wine converts code page 65001 without flags. Each
// ill-formed piece becomes one U+FFFD: a byte that starts no sequence; the
// bytes of a sequence up to its first wrong continuation byte, where the
// bytes already taken may include one that shows the sequence overlong or a
// surrogate; a sequence that would run past the end of the input, which
// takes all that is left. A lone surrogate in UTF-16 becomes U+FFFD.
#include "windows_text/code_page_codecs.h"

namespace {

const uint16_t REPLACEMENT = 0xFFFD;
const uint32_t ILL_FORMED = 0xFFFFFFFFu;

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

// Adds the continuation byte at src[*pos] to *value; false when it is none.
bool take_continuation(const uint8_t* src, int* pos, uint32_t* value)
{
    const uint32_t bits = src[*pos] ^ 0x80u;
    if (bits >= 0x40)
        return false;
    *value = *value << 6 | bits;
    ++*pos;
    return true;
}

// Decodes the sequence at src[i]; *used := bytes consumed (at least 1).
// Returns the code point, or ILL_FORMED. The checks after each continuation
// byte look at the bits gathered so far: fewer than a sequence of that length
// needs is an overlong form, 0x110 or more after the first of three a value
// above U+10FFFF, 0x360-0x37F after two bytes a surrogate.
uint32_t decode_one(const uint8_t* src, int i, int src_len, int* used)
{
    static const uint8_t first_mask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    const uint8_t first = src[i];
    *used = 1;
    if (first < 0x80)
        return first;
    const uint32_t more = continuation_count(first);
    if (more == 0)
        return ILL_FORMED;
    if (static_cast<int64_t>(i) + 1 + more > src_len) {
        *used = src_len - i;
        return ILL_FORMED;
    }
    uint32_t value = first & first_mask[more];
    int pos = i + 1;
    bool ok = true;
    if (more == 3)
        ok = take_continuation(src, &pos, &value) && value >= 0x10 && value < 0x110;
    if (ok && more >= 2)
        ok = take_continuation(src, &pos, &value) && value >= 0x20 && !(value >= 0x360 && value < 0x380);
    if (ok)
        ok = take_continuation(src, &pos, &value) && value >= 0x80;
    *used = pos - i;
    return ok ? value : ILL_FORMED;
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

int utf8_decode(const uint8_t* src, int src_len, uint16_t* dst, int dst_len, bool* ends_in_pair)
{
    int count = 0;
    *ends_in_pair = false;
    for (int i = 0; i < src_len;) {
        int used = 1;
        const uint32_t value = decode_one(src, i, src_len, &used);
        i += used;
        *ends_in_pair = value != ILL_FORMED && value >= 0x10000;
        if (value == ILL_FORMED) {
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
