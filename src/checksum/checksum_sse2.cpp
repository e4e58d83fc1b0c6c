// The checksum in 128-bit lanes: 16 bytes per step, two steps per block. Only
// this file is built with SSE2, and nothing here is inline code shared with
// other files, so no SSE2 instruction runs unless the dispatcher chose it.
#include "checksum/checksum.h"

#include "checksum/checksum_tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

// Windows only keeps a 32-bit thread's stack 4-byte aligned; vector spills
// need the entry to realign it.
#if defined(__i386__)
#define CHECKSUM_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define CHECKSUM_ALIGN_STACK
#endif

// The lane state must stay in registers through the block loop: a helper left
// out of line would pass it through memory on every block.
#define CHECKSUM_INLINE __attribute__((always_inline)) inline

struct Lanes {
    __m128i carry;     // m_0 + prefix of weighted bytes, in every lane
    __m128i mix_sum;   // per-lane sums of m (low bytes meaningful)
    __m128i mix_xor;   // per-lane xors of m (low bytes meaningful)
    __m128i byte_sum;  // per-byte sums of the input
    __m128i byte_xor;  // per-byte xors of the input
};

CHECKSUM_INLINE __m128i load_table(const int16_t* p)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

// 16 bytes, lanes 8h .. 8h+7 of a block; returns the contribution to the
// chunk's mix, starting at element e of the mix tables.
CHECKSUM_INLINE __m128i feed_half(Lanes* s, const uint8_t* in, uint32_t h, uint32_t e)
{
    const ChecksumTables& t = checksum_tables;
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i xe = _mm_and_si128(x, _mm_set1_epi16(0x00FF));
    const __m128i xo = _mm_srli_epi16(x, 8);
    const __m128i zo = _mm_mullo_epi16(xo, load_table(t.inv_odd + 8 * h));
    __m128i q = _mm_add_epi16(_mm_mullo_epi16(xe, load_table(t.inv_even + 8 * h)), zo);
    q = _mm_add_epi16(q, _mm_slli_si128(q, 2));
    q = _mm_add_epi16(q, _mm_slli_si128(q, 4));
    q = _mm_add_epi16(q, _mm_slli_si128(q, 8));
    const __m128i odd_prefix = _mm_add_epi16(q, s->carry);
    s->carry = _mm_add_epi16(s->carry, _mm_shuffle_epi32(_mm_shufflehi_epi16(q, 0xFF), 0xFF));
    const __m128i me = _mm_mullo_epi16(_mm_sub_epi16(odd_prefix, zo), load_table(t.pow_even + 8 * h));
    const __m128i mo = _mm_mullo_epi16(odd_prefix, load_table(t.pow_odd + 8 * h));
    s->mix_sum = _mm_add_epi16(s->mix_sum, _mm_add_epi16(me, mo));
    s->mix_xor = _mm_xor_si128(s->mix_xor, _mm_xor_si128(me, mo));
    s->byte_sum = _mm_add_epi8(s->byte_sum, x);
    s->byte_xor = _mm_xor_si128(s->byte_xor, x);
    const __m128i lo = _mm_add_epi32(_mm_madd_epi16(xe, load_table(t.mix_lo_even + e)),
                                     _mm_madd_epi16(xo, load_table(t.mix_lo_odd + e)));
    const __m128i hi = _mm_add_epi32(_mm_madd_epi16(xe, load_table(t.mix_hi_even + e)),
                                     _mm_madd_epi16(xo, load_table(t.mix_hi_odd + e)));
    return _mm_add_epi32(lo, _mm_slli_epi32(hi, 16));
}

CHECKSUM_INLINE uint32_t sum_u32(__m128i v)
{
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

// Feeds `blocks` (1 .. CHUNK_BLOCKS) blocks and returns the new mix.
CHECKSUM_INLINE uint32_t feed_chunk(Lanes* s, uint32_t mix, const uint8_t* in, uint32_t blocks)
{
    const uint32_t first = (CHECKSUM_CHUNK_BLOCKS - blocks) * (CHECKSUM_BLOCK / 2);
    __m128i acc = _mm_setzero_si128();
    for (uint32_t b = 0; b < blocks; ++b) {
        const uint32_t e = first + b * (CHECKSUM_BLOCK / 2);
        acc = _mm_add_epi32(acc, feed_half(s, in + b * CHECKSUM_BLOCK, 0, e));
        acc = _mm_add_epi32(acc, feed_half(s, in + b * CHECKSUM_BLOCK + 16, 1, e + 8));
    }
    return mix * checksum_tables.block_power[blocks] + sum_u32(acc);
}

CHECKSUM_ALIGN_STACK void feed_blocks(ContentChecksum* state, const uint8_t* in, uint32_t blocks)
{
    uint32_t mix = checksum_load_mix(state);
    Lanes s;
    s.carry = _mm_set1_epi16(static_cast<int16_t>(mix & 0xFF));
    s.mix_sum = s.mix_xor = s.byte_sum = s.byte_xor = _mm_setzero_si128();
    while (blocks > 0) {
        const uint32_t n = blocks < CHECKSUM_CHUNK_BLOCKS ? blocks : CHECKSUM_CHUNK_BLOCKS;
        mix = feed_chunk(&s, mix, in, n);
        in += n * CHECKSUM_BLOCK;
        blocks -= n;
    }
    alignas(16) uint16_t ms[8], mx[8];
    alignas(16) uint8_t bs[16], bx[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(ms), s.mix_sum);
    _mm_store_si128(reinterpret_cast<__m128i*>(mx), s.mix_xor);
    _mm_store_si128(reinterpret_cast<__m128i*>(bs), s.byte_sum);
    _mm_store_si128(reinterpret_cast<__m128i*>(bx), s.byte_xor);
    checksum_store_lanes(state, mix, ChecksumLanes{ms, mx, 8, bs, bx, 16});
}

}  // namespace

void checksum_update_sse2(ContentChecksum* state, const void* data, uint32_t length)
{
    const uint8_t* in = static_cast<const uint8_t*>(data);
    const uint32_t blocks = length / CHECKSUM_BLOCK;
    if (blocks > 0)
        feed_blocks(state, in, blocks);
    checksum_update_plain(state, in + blocks * CHECKSUM_BLOCK, length % CHECKSUM_BLOCK);
}

#else

// Built without SSE2 (not an x86 target): the dispatcher never chooses this.
void checksum_update_sse2(ContentChecksum* state, const void* data, uint32_t length)
{
    checksum_update_plain(state, data, length);
}

#endif
