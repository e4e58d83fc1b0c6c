// ContentChecksum: the 8-byte running checksum stored in every hash record.
// Bytes 0-3: mix (u32 little-endian, mix = mix * 233 + x); 4: sum of mix's low
// byte; 5: xor of mix's low byte; 6: sum of the input bytes; 7: their xor.
// The state is exactly these eight bytes, so it can be suspended after any byte.
#pragma once
#include <cstdint>

struct ContentChecksum {
    uint8_t bytes[8];
};
static_assert(sizeof(ContentChecksum) == 8, "ContentChecksum is its stored form");

const uint32_t CHECKSUM_MULTIPLIER = 233;

// Feeds `length` bytes into `state`; length 0 leaves it unchanged. Any split of
// the input gives the same result. Uses the fastest variant the CPU supports.
void checksum_update(ContentChecksum* state, const void* data, uint32_t length);
// The plain byte-by-byte definition; the reference every faster variant must equal.
void checksum_update_plain(ContentChecksum* state, const void* data, uint32_t length);
// The same result in 128-bit lanes; only where cpu_has_sse2() (checksum/cpu_features.h).
void checksum_update_sse2(ContentChecksum* state, const void* data, uint32_t length);
// The same result in 256-bit lanes; only where cpu_has_avx2().
void checksum_update_avx2(ContentChecksum* state, const void* data, uint32_t length);
// Name of the variant checksum_update uses on this CPU: "avx2", "sse2" or "plain".
const char* checksum_variant_name();
// Equality of all eight stored bytes (there is no ordering).
bool checksum_equal(const ContentChecksum& a, const ContentChecksum& b);
// 16 lowercase hex digits of the stored bytes, in stored order; out holds 17 bytes.
void checksum_to_hex(const ContentChecksum& value, char out[17]);
