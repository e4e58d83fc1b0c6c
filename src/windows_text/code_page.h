// Portable code page 932 and UTF-8 (65001) conversions and the lower-case
// mapping, byte for byte what Wine's MultiByteToWideChar, WideCharToMultiByte
// (no flags, no default character) and LCMapStringW(LCMAP_LOWERCASE) give.
// The posix layer is built on them; the Win32 tree compiles them too, only so
// that a test under Wine can compare them with the real calls.
#pragma once
#include <cstdint>

// MultiByteToWideChar(code_page, 0, src, src_len, dst, dst_len) for 932 and
// 65001: src_len -1 converts through the terminator; dst_len 0 returns the
// length needed. 0 for any other code page, a null or empty source, a negative
// dst_len, or a dst too small (which then holds what fitted).
int cp_to_wide(uint32_t code_page, const char* src, int src_len, uint16_t* dst, int dst_len);
// WideCharToMultiByte with the same rules. Units without a 932 form become
// their best-fit character or "?"; a lone surrogate becomes U+FFFD in UTF-8.
int cp_to_narrow(uint32_t code_page, const uint16_t* src, int src_len, char* dst, int dst_len);

// IsDBCSLeadByteEx(932, b).
bool cp932_is_lead_byte(uint8_t b);
// The one unit of the two-byte character lead, trail (trail not 0); the
// default character U+30FB for a pair that the code page leaves unmapped.
uint16_t cp932_pair_unit(uint8_t lead, uint8_t trail);
// The code page 932 form of one unit: a byte (below 0x100) or lead * 256 + trail.
uint16_t cp932_from_unit(uint16_t unit);

// LCMapStringW(LCMAP_LOWERCASE) of one UTF-16 unit.
uint16_t unicode_lower(uint16_t unit);
// The multibyte lower-casing of code page 932 text, in place: A-Z to a-z, other
// single bytes unchanged; a two-byte character replaced by the two-byte form of
// its lower-case unit when that unit differs and has one. Never changes the
// length; a lead byte right before the terminator is left alone.
void cp932_lower(char* text);
