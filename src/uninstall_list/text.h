// Text helpers over NUL-terminated narrow strings that may hold Shift-JIS
// (code page 932), UTF-8 or plain ASCII.
#pragma once
#include <cstdint>

typedef uint32_t TextMode;
const TextMode TEXT_MODE_SJIS = 0;
const TextMode TEXT_MODE_UTF8 = 1;
const TextMode TEXT_MODE_ASCII = 0x80000000u;
const TextMode TEXT_MODE_AUTO = 0xFFFFFFFFu;

// Process-wide settings: fixed from the start, only read.
extern const uint32_t ansi_code_page;      // 932
extern const uint32_t default_code_page;   // 932
extern const TextMode default_text_mode;   // TEXT_MODE_SJIS

TextMode detect_text_mode(const char* text);
// Length 1..8 of the UTF-8 sequence at p (never past the terminator).
uint32_t decode_utf8_sequence(uint32_t* value, const char* p);
int is_sjis_lead_byte(const char* p);
int is_full_width(uint32_t value);
// Length of the character at p in `mode` (0 for an unknown mode); never steps
// over the terminator.
uint32_t decode_char(uint32_t* value, int* full_width, const char* p, TextMode mode);
const char* find_char(const char* text, uint32_t value, TextMode mode);
char* to_lower(char* text);
// New arrays owned by the caller (delete[]), or null; with a destination the
// text is converted into it and the result is null.
uint16_t* to_wide(uint16_t* dst, const char* text);
char* to_narrow(char* dst, const uint16_t* text, TextMode mode);
int text_compare(const char* a, const char* b);
char* text_copy(char* dst, const char* src);
uint32_t get_default_code_page();
