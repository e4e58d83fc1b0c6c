// The codecs behind cp_to_wide / cp_to_narrow. Each converts the whole source,
// stores the units or bytes that fit below dst_len (dst may be null) and
// returns the full count, so that one walk answers both the length query and
// the conversion.
#pragma once
#include <cstdint>

int cp932_decode(const uint8_t* src, int src_len, uint16_t* dst, int dst_len);
int cp932_encode(const uint16_t* src, int src_len, uint8_t* dst, int dst_len);
// *ends_in_pair := the input ended with a supplementary character: Wine then
// reports a destination one unit short as filled (the low surrogate dropped)
// rather than too small.
int utf8_decode(const uint8_t* src, int src_len, uint16_t* dst, int dst_len, bool* ends_in_pair);
int utf8_encode(const uint16_t* src, int src_len, uint8_t* dst, int dst_len);
