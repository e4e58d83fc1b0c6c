// Stepping through code page 932 text one character at a time: a lead byte
// and the byte after it are one character, so a trail byte that happens to be
// "\", "|" or a letter is never taken for one on its own. Every walk over
// narrow paths and names takes its steps from here.
#pragma once
#include <cstddef>
#include <cstdint>

// IsDBCSLeadByteEx(932, b): 0x81-0x9F and 0xE0-0xFC, the lead bytes of the
// code page's table (and of Windows' own), without pulling the table in.
inline bool ansi_lead_byte(uint8_t b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Bytes of the character at p with `left` bytes (p included) still to read:
// 2 for a lead byte followed by a byte that is not the terminator, else 1. A
// lead byte cut short by the end or the terminator is one character of its own.
inline size_t ansi_char_length(const char* p, size_t left)
{
    return left >= 2 && ansi_lead_byte(static_cast<uint8_t>(p[0])) && p[1] != '\0' ? 2 : 1;
}

// The same step through text that ends at its terminator, at a byte that is
// not the terminator: the text goes on at least to the terminator, so the
// byte after p can be read.
inline size_t ansi_char_length(const char* p)
{
    return ansi_char_length(p, 2);
}
