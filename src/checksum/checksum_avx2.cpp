// The checksum in 256-bit lanes: 32 bytes per step. Only this file is built
// with AVX2, and nothing here is inline code shared with other files, so no
// AVX2 instruction can run unless the dispatcher chose this variant.
#include "checksum/checksum.h"

#include "checksum/checksum_tables.h"

#if defined(__AVX2__)
#include <immintrin.h>

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
    __m256i carry;     // m_0 + prefix of weighted bytes, in every lane
    __m256i mix_sum;   // per-lane sums of m (low bytes meaningful)
    __m256i mix_xor;   // per-lane xors of m (low bytes meaningful)
    __m256i byte_sum;  // per-byte sums of the input
    __m256i byte_xor;  // per-byte xors of the input
};

CHECKSUM_INLINE __m256i load_table(const int16_t* p)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

// Inclusive prefix sum of the 16 lanes of q, plus, in every lane, the total.
CHECKSUM_INLINE __m256i scan16(__m256i q, __m256i* total)
{
    q = _mm256_add_epi16(q, _mm256_slli_si256(q, 2));
    q = _mm256_add_epi16(q, _mm256_slli_si256(q, 4));
    q = _mm256_add_epi16(q, _mm256_slli_si256(q, 8));
    // Each 128-bit half is scanned; its last lane, everywhere in that half.
    const __m256i last = _mm256_shuffle_epi32(_mm256_shufflehi_epi16(q, 0xFF), 0xFF);
    *total = _mm256_add_epi16(last, _mm256_permute2x128_si256(last, last, 0x01));
    return _mm256_add_epi16(q, _mm256_permute2x128_si256(last, last, 0x08));
}

// One 32-byte block: the low-byte chain and the byte fields; returns the
// block's contribution to the chunk's mix (powers' low halves + high halves << 16).
CHECKSUM_INLINE __m256i feed_block(Lanes* s, const uint8_t* in, const int16_t* lo_e, const int16_t* lo_o,
                   const int16_t* hi_e, const int16_t* hi_o)
{
    const ChecksumTables& t = checksum_tables;
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i xe = _mm256_and_si256(x, _mm256_set1_epi16(0x00FF));
    const __m256i xo = _mm256_srli_epi16(x, 8);
    const __m256i zo = _mm256_mullo_epi16(xo, load_table(t.inv_odd));
    const __m256i q = _mm256_add_epi16(_mm256_mullo_epi16(xe, load_table(t.inv_even)), zo);
    __m256i total;
    const __m256i odd_prefix = _mm256_add_epi16(scan16(q, &total), s->carry);
    s->carry = _mm256_add_epi16(s->carry, total);
    const __m256i me = _mm256_mullo_epi16(_mm256_sub_epi16(odd_prefix, zo), load_table(t.pow_even));
    const __m256i mo = _mm256_mullo_epi16(odd_prefix, load_table(t.pow_odd));
    s->mix_sum = _mm256_add_epi16(s->mix_sum, _mm256_add_epi16(me, mo));
    s->mix_xor = _mm256_xor_si256(s->mix_xor, _mm256_xor_si256(me, mo));
    s->byte_sum = _mm256_add_epi8(s->byte_sum, x);
    s->byte_xor = _mm256_xor_si256(s->byte_xor, x);
    const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(xe, load_table(lo_e)),
                                        _mm256_madd_epi16(xo, load_table(lo_o)));
    const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(xe, load_table(hi_e)),
                                        _mm256_madd_epi16(xo, load_table(hi_o)));
    return _mm256_add_epi32(lo, _mm256_slli_epi32(hi, 16));
}

CHECKSUM_INLINE uint32_t sum_u32(__m256i v)
{
    __m128i h = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    h = _mm_add_epi32(h, _mm_shuffle_epi32(h, 0x4E));
    h = _mm_add_epi32(h, _mm_shuffle_epi32(h, 0xB1));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(h));
}

// Feeds `blocks` (1 .. CHUNK_BLOCKS) blocks and returns the new mix.
CHECKSUM_INLINE uint32_t feed_chunk(Lanes* s, uint32_t mix, const uint8_t* in, uint32_t blocks)
{
    const ChecksumTables& t = checksum_tables;
    const uint32_t first = (CHECKSUM_CHUNK_BLOCKS - blocks) * (CHECKSUM_BLOCK / 2);
    __m256i acc = _mm256_setzero_si256();
    for (uint32_t b = 0; b < blocks; ++b) {
        const uint32_t e = first + b * (CHECKSUM_BLOCK / 2);
        acc = _mm256_add_epi32(acc, feed_block(s, in + b * CHECKSUM_BLOCK, t.mix_lo_even + e,
                                               t.mix_lo_odd + e, t.mix_hi_even + e, t.mix_hi_odd + e));
    }
    return mix * t.block_power[blocks] + sum_u32(acc);
}

CHECKSUM_ALIGN_STACK void feed_blocks(ContentChecksum* state, const uint8_t* in, uint32_t blocks)
{
    uint32_t mix = checksum_load_mix(state);
    Lanes s;
    s.carry = _mm256_set1_epi16(static_cast<int16_t>(mix & 0xFF));
    s.mix_sum = s.mix_xor = s.byte_sum = s.byte_xor = _mm256_setzero_si256();
    while (blocks > 0) {
        const uint32_t n = blocks < CHECKSUM_CHUNK_BLOCKS ? blocks : CHECKSUM_CHUNK_BLOCKS;
        mix = feed_chunk(&s, mix, in, n);
        in += n * CHECKSUM_BLOCK;
        blocks -= n;
    }
    alignas(32) uint16_t ms[16], mx[16];
    alignas(32) uint8_t bs[32], bx[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(ms), s.mix_sum);
    _mm256_store_si256(reinterpret_cast<__m256i*>(mx), s.mix_xor);
    _mm256_store_si256(reinterpret_cast<__m256i*>(bs), s.byte_sum);
    _mm256_store_si256(reinterpret_cast<__m256i*>(bx), s.byte_xor);
    checksum_store_lanes(state, mix, ChecksumLanes{ms, mx, 16, bs, bx, 32});
}

}  // namespace

void checksum_update_avx2(ContentChecksum* state, const void* data, uint32_t length)
{
    const uint8_t* in = static_cast<const uint8_t*>(data);
    const uint32_t blocks = length / CHECKSUM_BLOCK;
    if (blocks > 0)
        feed_blocks(state, in, blocks);
    checksum_update_plain(state, in + blocks * CHECKSUM_BLOCK, length % CHECKSUM_BLOCK);
}

#else

// Built without AVX2 (not an x86 target): the dispatcher never chooses this.
void checksum_update_avx2(ContentChecksum* state, const void* data, uint32_t length)
{
    checksum_update_plain(state, data, length);
}

#endif
