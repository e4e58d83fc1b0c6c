// Code page 932 as Wine converts it. The tables come from Wine itself
// (scripts/gen-code-page-tables.sh); the rules around them are the ones the
// platform applies: a lead byte starts a pair unless it is the last byte or the
// next byte is NUL, in which case it stands alone as the default character.
#include "windows_text/code_page.h"
#include "windows_text/code_page_codecs.h"

#include <cstddef>

namespace {

#include "windows_text/cp932_tables.inc"

// The narrow form of every unit: the first code (single bytes, then pairs in
// code order) that maps to it, overridden by the platform's own choices where
// they differ (best-fit mappings, the preferred one of duplicate codes).
struct FromWideTable {
    uint16_t code[0x10000];
    FromWideTable();
};

const uint16_t UNSET = 0xFFFF;  // no unit maps to the (lead) code 0xFFFF

FromWideTable::FromWideTable()
{
    for (uint32_t u = 0; u < 0x10000; ++u)
        code[u] = UNSET;
    for (uint32_t b = 0; b < 256; ++b) {
        if (!cp932_is_lead_byte(static_cast<uint8_t>(b)) && code[CP932_SINGLE[b]] == UNSET)
            code[CP932_SINGLE[b]] = static_cast<uint16_t>(b);
    }
    for (const Cp932Segment& s : CP932_SEGMENTS) {
        for (uint32_t i = 0; i < s.count; ++i) {
            uint16_t unit = CP932_SEGMENT_UNITS[s.offset + i];
            if (unit != 0 && code[unit] == UNSET)
                code[unit] = static_cast<uint16_t>(s.first_code + i);
        }
    }
    for (uint32_t u = 0; u < 0x10000; ++u) {
        if (code[u] == UNSET)
            code[u] = CP932_DEFAULT_NARROW;
    }
    for (const Cp932WideException& e : CP932_WIDE_EXCEPTIONS)
        code[e.unit] = e.code;
}

const FromWideTable& from_wide()
{
    static const FromWideTable table;
    return table;
}

}  // namespace

bool cp932_is_lead_byte(uint8_t b)
{
    return (CP932_LEAD_BITS[b >> 5] >> (b & 31)) & 1u;
}

uint16_t cp932_pair_unit(uint8_t lead, uint8_t trail)
{
    const uint32_t code = static_cast<uint32_t>(lead) << 8 | trail;
    size_t lo = 0;
    size_t hi = sizeof CP932_SEGMENTS / sizeof CP932_SEGMENTS[0];
    while (lo < hi) {  // the last segment starting at or before code
        size_t mid = (lo + hi) / 2;
        if (CP932_SEGMENTS[mid].first_code <= code)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0)
        return CP932_DEFAULT_WIDE;
    const Cp932Segment& s = CP932_SEGMENTS[lo - 1];
    if (code - s.first_code >= s.count)
        return CP932_DEFAULT_WIDE;
    uint16_t unit = CP932_SEGMENT_UNITS[s.offset + (code - s.first_code)];
    return unit ? unit : CP932_DEFAULT_WIDE;
}

uint16_t cp932_from_unit(uint16_t unit)
{
    return from_wide().code[unit];
}

int cp932_decode(const uint8_t* src, int src_len, uint16_t* dst, int dst_len)
{
    int count = 0;
    for (int i = 0; i < src_len; ++count) {
        const uint8_t b = src[i];
        uint16_t unit;
        if (cp932_is_lead_byte(b) && i + 1 < src_len && src[i + 1] != 0) {
            unit = cp932_pair_unit(b, src[i + 1]);
            i += 2;
        } else {
            unit = CP932_SINGLE[b];
            i += 1;
        }
        if (dst && count < dst_len)
            dst[count] = unit;
    }
    return count;
}

int cp932_encode(const uint16_t* src, int src_len, uint8_t* dst, int dst_len)
{
    int count = 0;
    for (int i = 0; i < src_len; ++i) {
        const uint16_t code = cp932_from_unit(src[i]);
        if (code > 0xFF) {
            if (dst && count + 1 < dst_len) {
                dst[count] = static_cast<uint8_t>(code >> 8);
                dst[count + 1] = static_cast<uint8_t>(code);
            }
            count += 2;
        } else {
            if (dst && count < dst_len)
                dst[count] = static_cast<uint8_t>(code);
            count += 1;
        }
    }
    return count;
}

void cp932_lower(char* text)
{
    uint8_t* p = reinterpret_cast<uint8_t*>(text);
    while (*p) {
        if (!cp932_is_lead_byte(*p)) {
            if (*p >= 'A' && *p <= 'Z')
                *p = static_cast<uint8_t>(*p + ('a' - 'A'));
            ++p;
            continue;
        }
        if (p[1] == 0)
            return;  // a lead byte without its trail byte stays as it is
        const uint16_t unit = cp932_pair_unit(p[0], p[1]);
        const uint16_t lower = unicode_lower(unit);
        const uint16_t code = cp932_from_unit(lower);
        if (lower != unit && code > 0xFF) {
            p[0] = static_cast<uint8_t>(code >> 8);
            p[1] = static_cast<uint8_t>(code);
        }
        p += 2;
    }
}
