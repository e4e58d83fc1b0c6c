// A plain timing program for the checksum where Google Benchmark is not built
// (the Win32 tree, run under Wine): each variant the CPU supports over a 1 MiB
// chunk in cache, best of several rounds, as a ratio against the plain loop.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "checksum/checksum.h"
#include "checksum/cpu_features.h"

namespace {

typedef void (*UpdateFunction)(ContentChecksum*, const void*, uint32_t);

const uint32_t CHUNK = 0x100000;
const uint32_t SLICE = CHUNK / 4;
const int ROUNDS = 400;

// Every stored byte is folded in, so no field's work can be dropped.
volatile uint64_t sink;

// Best bytes per second of ROUNDS short rounds, each one quarter of the chunk
// in turn. Rounds well under a scheduler time slice make the best one an
// undisturbed one for every variant alike, even on a busy shared machine.
double best_rate(UpdateFunction update, const std::vector<uint8_t>& data)
{
    double best = 0;
    ContentChecksum c;
    std::memset(c.bytes, 0, sizeof c.bytes);
    for (int r = 0; r < ROUNDS; ++r) {
        const uint8_t* slice = data.data() + (r % (CHUNK / SLICE)) * SLICE;
        const auto start = std::chrono::steady_clock::now();
        update(&c, slice, SLICE);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        uint64_t all;
        std::memcpy(&all, c.bytes, sizeof all);
        sink = sink + all;
        const double rate = took.count() > 0 ? SLICE / took.count() : 0;
        if (rate > best)
            best = rate;
    }
    return best;
}

}  // namespace

int main()
{
    std::vector<uint8_t> data(CHUNK);
    std::mt19937 rng(7);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(rng());
    struct {
        const char* name;
        UpdateFunction update;
        bool supported;
    } variants[] = {
        {"plain", checksum_update_plain, true},
        {"sse2", checksum_update_sse2, cpu_has_sse2()},
        {"avx2", checksum_update_avx2, cpu_has_avx2()},
        {"dispatch", checksum_update, true},
    };
    std::printf("checksum throughput against the plain loop (%u-bit build, dispatch uses %s):\n",
                unsigned(sizeof(void*) * 8), checksum_variant_name());
    double plain = 0;
    for (const auto& v : variants) {
        if (!v.supported)
            continue;
        const double rate = best_rate(v.update, data);
        if (plain == 0)
            plain = rate;
        std::printf("  checksum/%-11s %8.2f GB/s  %6.2fx\n", v.name, rate / 1e9, rate / plain);
    }
    return 0;
}
