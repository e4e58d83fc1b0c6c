#include "checksum/checksum_tables.h"

#include "checksum/checksum.h"

namespace {

constexpr uint32_t power(uint32_t exponent)
{
    uint32_t p = 1;
    for (uint32_t i = 0; i < exponent; ++i)
        p *= CHECKSUM_MULTIPLIER;  // unsigned: wraps modulo 2^32
    return p;
}

static_assert((power(CHECKSUM_BLOCK) & 0xFF) == 1,
              "233's powers modulo 256 repeat every block, so block tables never shift");

// The signed 16-bit lane value congruent to v modulo 2^16.
constexpr int16_t lane(uint32_t v)
{
    v &= 0xFFFF;
    return static_cast<int16_t>(v >= 0x8000 ? static_cast<int32_t>(v) - 0x10000 : static_cast<int32_t>(v));
}

constexpr void split(uint32_t p, int16_t* lo, int16_t* hi)
{
    *lo = lane(p);
    // p - lo is a multiple of 65536; its upper half, as a lane, is hi.
    *hi = lane((p - static_cast<uint32_t>(static_cast<int32_t>(*lo))) >> 16);
}

constexpr ChecksumTables make_tables()
{
    ChecksumTables t{};
    const uint32_t inverse = power(CHECKSUM_BLOCK - 1);  // 233 * 233^31 = 1 (mod 256)
    for (uint32_t k = 0; k < 16; ++k) {
        t.pow_even[k] = lane(power(2 * k + 1) & 0xFF);
        t.pow_odd[k] = lane(power(2 * k + 2) & 0xFF);
        uint32_t inv = 1;
        for (uint32_t i = 0; i < 2 * k + 1; ++i)
            inv = (inv * inverse) & 0xFF;
        t.inv_even[k] = lane(inv);
        t.inv_odd[k] = lane((inv * inverse) & 0xFF);
    }
    uint32_t p = 1;  // 233^(CHUNK-1-t), walking t down from CHUNK-1
    for (uint32_t t1 = CHECKSUM_CHUNK; t1-- > 0;) {
        if (t1 % 2 == 0)
            split(p, &t.mix_lo_even[t1 / 2], &t.mix_hi_even[t1 / 2]);
        else
            split(p, &t.mix_lo_odd[t1 / 2], &t.mix_hi_odd[t1 / 2]);
        p *= CHECKSUM_MULTIPLIER;
    }
    for (uint32_t n = 0; n <= CHECKSUM_CHUNK_BLOCKS; ++n)
        t.block_power[n] = power(CHECKSUM_BLOCK * n);
    return t;
}

}  // namespace

constexpr ChecksumTables checksum_tables_value = make_tables();
const ChecksumTables checksum_tables = checksum_tables_value;

uint32_t checksum_load_mix(const ContentChecksum* state)
{
    const uint8_t* st = state->bytes;
    return static_cast<uint32_t>(st[0]) | static_cast<uint32_t>(st[1]) << 8 |
           static_cast<uint32_t>(st[2]) << 16 | static_cast<uint32_t>(st[3]) << 24;
}

void checksum_store_lanes(ContentChecksum* state, uint32_t mix, const ChecksumLanes& lanes)
{
    uint32_t mix_sum = 0, mix_xor = 0, byte_sum = 0, byte_xor = 0;
    for (uint32_t i = 0; i < lanes.mix_lanes; ++i) {
        mix_sum += lanes.mix_sum[i];
        mix_xor ^= lanes.mix_xor[i];
    }
    for (uint32_t i = 0; i < lanes.byte_lanes; ++i) {
        byte_sum += lanes.byte_sum[i];
        byte_xor ^= lanes.byte_xor[i];
    }
    uint8_t* st = state->bytes;
    for (int i = 0; i < 4; ++i)
        st[i] = static_cast<uint8_t>(mix >> (8 * i));
    st[4] = static_cast<uint8_t>(st[4] + mix_sum);
    st[5] = static_cast<uint8_t>(st[5] ^ mix_xor);
    st[6] = static_cast<uint8_t>(st[6] + byte_sum);
    st[7] = static_cast<uint8_t>(st[7] ^ byte_xor);
}
