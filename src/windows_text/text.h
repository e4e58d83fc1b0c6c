// Text helpers over NUL-terminated narrow strings that may hold Shift-JIS
// (code page 932), UTF-8 or plain ASCII. No routine reads past a terminator:
// a multi-byte character cut short by it ends before it.
#pragma once
#include <cstdint>
#include "windows_text/code_page_ids.h"

typedef uint32_t TextMode;
const TextMode TEXT_MODE_SJIS = 0;
const TextMode TEXT_MODE_UTF8 = 1;
const TextMode TEXT_MODE_ASCII = 0x80000000u;
const TextMode TEXT_MODE_AUTO = 0xFFFFFFFFu;

// Process-wide settings: fixed from the start, only read. The code pages are
// constants every caller sees, so a conversion through them is given the
// number itself instead of loading it.
const uint32_t ansi_code_page = CODE_PAGE_932;
const uint32_t default_code_page = CODE_PAGE_932;
extern const TextMode default_text_mode;   // TEXT_MODE_SJIS

// SJIS when a byte 0x80-0xC1 or a broken sequence comes before the third
// multi-byte sequence; UTF8 when one to three sequences are seen; ASCII else.
TextMode detect_text_mode(const char* text);
// Sequence length that a first byte announces: 2..8 (only meaningful >= 0x80).
uint32_t utf8_sequence_length(uint8_t first);
// Length 1..8 of the UTF-8 sequence at p, fewer when the terminator cuts it;
// value (if given) = the low 32 bits of the decoded bits. Nothing is validated.
uint32_t decode_utf8_sequence(uint32_t* value, const char* p);
// 1 for 0x81-0x9F, 0xE0-0xFC and 0xFF; 0 for every other byte.
int is_sjis_lead_byte(const char* p);
// 0 below 0x80 and for half-width katakana U+FF61-U+FF9F; 1 otherwise.
int is_full_width(uint32_t value);
// Length of the character at p in `mode` (AUTO = default_text_mode; 0 and
// value 0 for an unknown mode); UTF-8 surrogate pairs are joined.
uint32_t decode_char(uint32_t* value, int* full_width, const char* p, TextMode mode);
// First character of `text` equal to `value` in `mode` (AUTO = detected from
// `text`), the terminator for value 0, else null (always null for an unknown mode).
const char* find_char(const char* text, uint32_t value, TextMode mode);
// Lowers single-byte A-Z in place, stepping by the detected mode's characters.
char* to_lower(char* text);
// -1, 0 or 1 by unsigned bytes; a text that ends first is smaller.
int text_compare(const char* a, const char* b);
// Copies src with its terminator; returns dst.
char* text_copy(char* dst, const char* src);
inline uint32_t get_default_code_page()
{
    return default_code_page;
}

// Lowers single-byte A-Z in place, stepping by the characters of `mode`
// (SJIS, UTF8 or ASCII), so a trail byte in 0x41-0x5A is never taken for a
// letter; to_lower is this with the detected mode. Any other mode: unchanged.
char* to_lower_in_mode(char* text, TextMode mode);
// True when the whole text is well-formed UTF-8: every sequence complete and
// in its shortest form, no encoded surrogate, nothing above U+10FFFF, which is
// what a strict conversion (MB_ERR_INVALID_CHARS) accepts. ASCII and the empty
// text are well formed.
bool is_well_formed_utf8(const char* text);
