// What patchtool verify does per record, without the checksum: open the file
// a record names through the platform layer, read it, close it. The records
// name 2,000 and 4,000 files of one folder, once in the case the files have on
// disk and once in another case, so that every component is matched without
// regard to case. Printed: each time (best of 3), the ratio other case /
// same case (the baseline: an exact name needs no reading of the folder), and
// the growth from 2,000 to 4,000 records. A lookup that reads each folder once
// keeps the ratio near 1; one that reads the folder again for every path made
// it 100-150 on the development machine.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

const int SIZES[] = {2000, 4000};
const int ROUNDS = 3;

std::string file_name(int i, bool upper)
{
    char name[32];
    std::snprintf(name, sizeof name, upper ? "DATA%05d.ARC" : "data%05d.arc", i);
    return name;
}

bool make_folder(const std::string& root, int files)
{
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/archive");
    for (int i = 0; i < files; ++i) {
        const std::string path = root + "\\archive\\" + file_name(i, false);
        OsHandle h = os_create_write(path.c_str());
        if (h == OS_INVALID_HANDLE)
            return false;
        os_write(h, path.data(), 16);
        os_close(h);
    }
    return true;
}

// Seconds to open, read and close every file under the names of `paths`.
double read_all(const std::vector<std::string>& paths)
{
    char buf[16];
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& p : paths) {
        OsHandle h = os_open_read_regular(p.c_str());
        if (h == OS_INVALID_HANDLE || os_read(h, buf, sizeof buf) != sizeof buf) {
            std::fprintf(stderr, "case_lookup_timing: cannot read %s\n", p.c_str());
            std::exit(1);
        }
        os_close(h);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double best_of(const std::vector<std::string>& paths)
{
    double best = 1e9;
    for (int r = 0; r < ROUNDS; ++r) {
        const double t = read_all(paths);
        best = t < best ? t : best;
    }
    return best;
}

}  // namespace

int main()
{
    const std::string root = std::filesystem::temp_directory_path().string() + "/updater-case-lookup";
    double other_case[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
        const int n = SIZES[s];
        if (!make_folder(root, n)) {
            std::fprintf(stderr, "case_lookup_timing: cannot make the folder under %s\n", root.c_str());
            return 1;
        }
        std::vector<std::string> same, other;
        for (int i = 0; i < n; ++i) {
            same.push_back(root + "\\archive\\" + file_name(i, false));
            other.push_back(root + "\\ARCHIVE\\" + file_name(i, true));
        }
        const double t_same = best_of(same);
        other_case[s] = best_of(other);
        std::printf("%5d records: same case %8.4f s, other case %8.4f s, ratio %6.2f\n", n, t_same,
                    other_case[s], other_case[s] / t_same);
    }
    std::printf("other case, 4000 / 2000 records: %.2f\n", other_case[1] / other_case[0]);
    std::filesystem::remove_all(root);
    return 0;
}
