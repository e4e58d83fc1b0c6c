#include "checksum/checksum.h"

#include <cstring>

#include "checksum/cpu_features.h"
#include "platform/little_endian.h"

void checksum_update_plain(ContentChecksum* state, const void* data, uint32_t length)
{
    if (length == 0)
        return;
    const uint8_t* in = static_cast<const uint8_t*>(data);
    uint32_t mix = load_u32le(state->bytes);
    uint8_t mix_sum = state->bytes[4];
    uint8_t mix_xor = state->bytes[5];
    uint8_t byte_sum = state->bytes[6];
    uint8_t byte_xor = state->bytes[7];
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t x = in[i];
        mix = mix * CHECKSUM_MULTIPLIER + x;  // unsigned: wraps modulo 2^32
        const uint8_t m = static_cast<uint8_t>(mix);
        mix_sum = static_cast<uint8_t>(mix_sum + m);
        mix_xor ^= m;
        byte_sum = static_cast<uint8_t>(byte_sum + x);
        byte_xor ^= x;
    }
    store_u32le(state->bytes, mix);
    state->bytes[4] = mix_sum;
    state->bytes[5] = mix_xor;
    state->bytes[6] = byte_sum;
    state->bytes[7] = byte_xor;
}

namespace {

typedef void (*ChecksumFunction)(ContentChecksum*, const void*, uint32_t);

struct ChecksumVariant {
    ChecksumFunction update;
    const char* name;
};

// Chosen once from the CPU's features: all variants give identical bytes, so
// the choice only changes the speed.
const ChecksumVariant& chosen_variant()
{
    static const ChecksumVariant variant =
        cpu_has_avx2()   ? ChecksumVariant{checksum_update_avx2, "avx2"}
        : cpu_has_sse2() ? ChecksumVariant{checksum_update_sse2, "sse2"}
                         : ChecksumVariant{checksum_update_plain, "plain"};
    return variant;
}

}  // namespace

void checksum_update(ContentChecksum* state, const void* data, uint32_t length)
{
    chosen_variant().update(state, data, length);
}

const char* checksum_variant_name()
{
    return chosen_variant().name;
}

bool checksum_equal(const ContentChecksum& a, const ContentChecksum& b)
{
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

void checksum_to_hex(const ContentChecksum& value, char out[17])
{
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) {
        out[2 * i] = digits[value.bytes[i] >> 4];
        out[2 * i + 1] = digits[value.bytes[i] & 15];
    }
    out[16] = '\0';
}
