// Constant lane tables shared by the vector checksum variants. They live in a
// plain translation unit so that no inline code is compiled with wider
// instruction sets than the running CPU may have.
//
// The low byte of mix follows its own recurrence m' = m * 233 + x (mod 256).
// With b = 233^-1 (mod 256) and 233^32 = 1 (mod 256), the low byte after the
// n-th byte of a block is m_n = 233^n * (m_0 + sum_{i<=n} x_i * b^i), a plain
// prefix sum of weighted bytes scaled back by a weight that repeats every 32
// bytes. The 32-bit mix of a chunk of K bytes is mix * 233^K + sum x_t *
// 233^(K-1-t), a dot product against powers split into signed 16-bit halves.
#pragma once
#include <cstdint>

#include "checksum/checksum.h"

// Bytes per vector block: one period of 233's powers modulo 256.
const uint32_t CHECKSUM_BLOCK = 32;
// Bytes per chunk whose 32-bit mix is gathered before one scalar step.
const uint32_t CHECKSUM_CHUNK = 1024;
const uint32_t CHECKSUM_CHUNK_BLOCKS = CHECKSUM_CHUNK / CHECKSUM_BLOCK;

// Lane k of a block's 16-bit lanes holds its bytes 2k (even) and 2k+1 (odd).
struct ChecksumTables {
    // 233^-(t+1) and 233^(t+1) modulo 256 for block byte t, split even/odd.
    alignas(32) int16_t inv_even[16];
    alignas(32) int16_t inv_odd[16];
    alignas(32) int16_t pow_even[16];
    alignas(32) int16_t pow_odd[16];
    // Low and high signed 16-bit halves of 233^(CHUNK-1-t) modulo 2^32 for
    // chunk byte t, split even/odd: lo + 65536 * hi is the power modulo 2^32.
    // A chunk of K < CHUNK bytes starts at element (CHUNK - K) / 2.
    alignas(32) int16_t mix_lo_even[CHECKSUM_CHUNK / 2];
    alignas(32) int16_t mix_lo_odd[CHECKSUM_CHUNK / 2];
    alignas(32) int16_t mix_hi_even[CHECKSUM_CHUNK / 2];
    alignas(32) int16_t mix_hi_odd[CHECKSUM_CHUNK / 2];
    // 233^(32 n) modulo 2^32 for n = 0 .. CHUNK_BLOCKS.
    uint32_t block_power[CHECKSUM_CHUNK_BLOCKS + 1];
};

extern const ChecksumTables checksum_tables;

// Lane contents of a vector variant after its last block, stored to memory.
struct ChecksumLanes {
    const uint16_t* mix_sum;   // 16-bit lanes
    const uint16_t* mix_xor;
    uint32_t mix_lanes;
    const uint8_t* byte_sum;   // 8-bit lanes
    const uint8_t* byte_xor;
    uint32_t byte_lanes;
};

// Reads the 32-bit mix of a stored state.
uint32_t checksum_load_mix(const ContentChecksum* state);
// Writes `mix` and folds the lane sums and xors into the stored state; plain
// code, shared by every vector variant.
void checksum_store_lanes(ContentChecksum* state, uint32_t mix, const ChecksumLanes& lanes);
