// Merging uninst.lst lists of 10k, 50k and 100k lines, ASCII with CRLF ends and
// Shift-JIS with LF ends, in memory (parse, payload paths, render) and through
// the file (read, merge, write beside it, move into place). Afterwards the
// ratio time(100k) / time(50k) of each family is printed, in real and in
// processor time: a merge that is linear in the list's length gives about 2.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "windows_text/text.h"
#include "uninstall_list/uninstall_list.h"

namespace {

const int SIZES[] = {10000, 50000, 100000};
const int PAYLOAD_PATHS = 500;

// "データ\ア" in code page 932: a lead byte 0x83 with trail bytes 0x41 and
// 0x5E, which the lower-casing must leave alone.
const char SJIS_FOLDER[] = "\x83\x66\x81\x5B\x83\x5E\\\x83\x41";

std::string list_line(bool sjis, int i)
{
    char line[64];
    const char* folder = sjis ? SJIS_FOLDER : (i % 3 ? "Archive" : "ARCHIVE");
    if (i % 100 == 99)
        std::snprintf(line, sizeof line, "$%s\\Dir%06d", folder, i);
    else
        std::snprintf(line, sizeof line, "%s\\Data%06d.%s", folder, i, i % 2 ? "arc" : "ARC");
    return line;
}

std::string list_text(bool sjis, int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += list_line(sjis, i);
        text += sjis ? "\n" : "\r\n";
    }
    return text;
}

// Half the payload paths are listed already (in other case), half are new.
std::vector<std::string> payload_paths(bool sjis, int lines)
{
    std::vector<std::string> paths;
    for (int i = 0; i < PAYLOAD_PATHS; ++i) {
        std::string p = list_line(sjis, i % 2 ? lines + i : (i * 7) % lines);
        if (p[0] == '$')
            p.erase(0, 1);
        paths.push_back(p);
    }
    return paths;
}

void merge_in_memory(benchmark::State& state, bool sjis)
{
    const int lines = static_cast<int>(state.range(0));
    const std::string text = list_text(sjis, lines);
    const std::vector<std::string> paths = payload_paths(sjis, lines);
    for (auto _ : state) {
        UninstallEntryList main_list, dollar_list;
        parse_uninstall_list(&main_list, &dollar_list, text.c_str(), text.size());
        for (const std::string& path : paths) {
            std::string entry = path;
            to_lower_in_mode(&entry[0], TEXT_MODE_SJIS);
            append_if_absent(&main_list, std::move(entry));
        }
        const UninstallEntryList* lists[2] = {&main_list, &dollar_list};
        std::string out = render_uninstall_list(lists, 2);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * lines);
}

std::string scratch_dir()
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/uninstall-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        return std::string(made);
    }();
    return dir;
}

void merge_file(benchmark::State& state, bool sjis)
{
    const int lines = static_cast<int>(state.range(0));
    const std::vector<std::string> paths = payload_paths(sjis, lines);
    std::vector<const char*> array;
    for (const std::string& p : paths)
        array.push_back(p.c_str());
    array.push_back(nullptr);
    const std::string dir = scratch_dir();
    std::ofstream(dir + "/uninst.lst", std::ios::binary | std::ios::trunc) << list_text(sjis, lines);
    for (auto _ : state) {
        if (!merge_uninstall_list(dir.c_str(), array.data())) {
            state.SkipWithError("merge failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * lines);
}

struct Seconds {
    double real;
    double cpu;
};
std::map<std::string, std::map<int64_t, Seconds>> seconds_per_run;

// Keeps each run's real time per iteration for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations == 0)
                continue;
            std::string name = r.run_name.function_name;
            int64_t lines = std::atoll(r.run_name.args.c_str());
            double iterations = static_cast<double>(r.iterations);
            seconds_per_run[name][lines] = Seconds{r.real_accumulated_time / iterations,
                                                   r.cpu_accumulated_time / iterations};
        }
    }
};

// Real time includes waits for the disk and for other processes; processor
// time shows the merge's own cost when the machine is busy.
void print_ratios()
{
    std::printf("\n%-20s %14s %14s %12s %12s\n", "family", "50k real/cpu", "100k real/cpu", "2n/n real",
                "2n/n cpu");
    for (const auto& family : seconds_per_run) {
        auto n = family.second.find(50000);
        auto two_n = family.second.find(100000);
        if (n == family.second.end() || two_n == family.second.end() || n->second.real <= 0 ||
            n->second.cpu <= 0)
            continue;
        const Seconds& a = n->second;
        const Seconds& b = two_n->second;
        std::printf("%-20s %6.1f/%5.1f ms %6.1f/%5.1f ms %12.2f %12.2f\n", family.first.c_str(), a.real * 1e3,
                    a.cpu * 1e3, b.real * 1e3, b.cpu * 1e3, b.real / a.real, b.cpu / a.cpu);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const struct { const char* name; void (*run)(benchmark::State&, bool); bool sjis; } families[] = {
        {"merge_memory/ascii", merge_in_memory, false},
        {"merge_memory/sjis", merge_in_memory, true},
        {"merge_file/ascii", merge_file, false},
        {"merge_file/sjis", merge_file, true},
    };
    for (const auto& f : families) {
        auto* b = benchmark::RegisterBenchmark(f.name, f.run, f.sjis);
        for (int size : SIZES)
            b->Arg(size);
        b->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_ratios();
    std::error_code ec;
    std::filesystem::remove_all(scratch_dir(), ec);
    return 0;
}
