// Checksum throughput of the plain byte loop and of each vector variant the
// CPU supports, over the transaction's 1 MiB chunk held in cache, with each
// variant's speed printed as a ratio against the plain loop of the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "checksum/checksum.h"
#include "checksum/cpu_features.h"

namespace {

typedef void (*UpdateFunction)(ContentChecksum*, const void*, uint32_t);

const uint32_t CHUNK = 0x100000;

const std::vector<uint8_t>& chunk()
{
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> d(CHUNK);
        std::mt19937 rng(7);
        for (uint8_t& b : d)
            b = static_cast<uint8_t>(rng());
        return d;
    }();
    return data;
}

void run_variant(benchmark::State& state, UpdateFunction update)
{
    const std::vector<uint8_t>& data = chunk();
    ContentChecksum c;
    std::memset(c.bytes, 0, sizeof c.bytes);
    for (auto _ : state) {
        update(&c, data.data(), CHUNK);
        // All eight bytes are the result: keep every field's work alive.
        uint64_t all;
        std::memcpy(&all, c.bytes, sizeof all);
        benchmark::DoNotOptimize(all);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * CHUNK);
}

struct Measured {
    std::string name;
    double bytes_per_second;
};
std::vector<Measured> measured;

// Collects each run's throughput for the ratio table printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // The best repetition of each variant: on a shared machine it is the
        // one least disturbed by other processes.
        for (const Run& r : runs) {
            const auto it = r.counters.find("bytes_per_second");
            if (it == r.counters.end() || r.run_type != Run::RT_Iteration)
                continue;
            const std::string name = r.run_name.function_name;
            Measured* m = nullptr;
            for (Measured& e : measured)
                if (e.name == name)
                    m = &e;
            if (!m) {
                measured.push_back(Measured{name, 0});
                m = &measured.back();
            }
            if (it->second.value > m->bytes_per_second)
                m->bytes_per_second = it->second.value;
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("checksum/plain", run_variant, checksum_update_plain);
    if (cpu_has_sse2())
        benchmark::RegisterBenchmark("checksum/sse2", run_variant, checksum_update_sse2);
    if (cpu_has_avx2())
        benchmark::RegisterBenchmark("checksum/avx2", run_variant, checksum_update_avx2);
    benchmark::RegisterBenchmark("checksum/dispatch", run_variant, checksum_update);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;  // plain text: the output goes to logs and pipes
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (measured.empty() || measured[0].name != "checksum/plain")
        return 0;
    const double plain = measured[0].bytes_per_second;
    std::printf("\nchecksum throughput against the plain loop, best repetition (dispatch uses %s):\n",
                checksum_variant_name());
    for (const Measured& m : measured)
        std::printf("  %-20s %8.2f GB/s  %6.2fx\n", m.name.c_str(), m.bytes_per_second / 1e9,
                    m.bytes_per_second / plain);
    return 0;
}
