// The path rules, the updater's boundary against a hostile payload, over
// arbitrary bytes: two paths split at the first NUL. A target judged safe
// resolves, through the posix layer, to a file inside the folder; its key does
// not change with letter case, trailing dots and spaces, the separator or a
// "." component, and is the key of its own text; check_targets calls two
// entries one file whichever comes first.
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "path_rules/target_rules.h"
#include "platform/host_path.h"
#include "windows_text/ansi_char.h"
#include "windows_text/windows_names.h"

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// `path` with `change` applied to each single-byte character; double-byte
// characters stay whole.
template <typename Change>
std::string single_bytes(const std::string& path, Change change)
{
    std::string out = path;
    for (size_t i = 0; i < out.size();) {
        const size_t n = ansi_char_length(&out[i], out.size() - i);
        if (n == 1)
            out[i] = change(out[i]);
        i += n;
    }
    return out;
}

// The text ends in a lead byte without its trail byte, which whatever is
// appended would complete into another character.
bool ends_in_lone_lead_byte(const std::string& path)
{
    bool lone = false;
    for (size_t i = 0; i < path.size();) {
        const size_t n = ansi_char_length(&path[i], path.size() - i);
        lone = n == 1 && ansi_lead_byte(static_cast<uint8_t>(path[i]));
        i += n;
    }
    return lone;
}

// A safe target, resolved below the folder, stays below it.
void check_resolves_inside(const std::string& path)
{
    const std::string& dir = fuzz_scratch_dir();
    std::string host;
    if (!host_path((dir + "\\" + path).c_str(), &host))
        return;
    require(host.compare(0, dir.size() + 1, dir + "/") == 0);
    const std::string below = "/" + host.substr(dir.size() + 1) + "/";
    require(below.find("/../") == std::string::npos);
}

void check_key(const std::string& path, const TargetKey& key)
{
    const bool open_end = ends_in_lone_lead_byte(path);
    const std::string variants[] = {
        single_bytes(path, [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }),
        single_bytes(path, [](char c) { return c == '\\' ? '/' : c; }),
        ".\\" + path, path + ".", path + " ", path + ". ."};
    for (const std::string& v : variants) {
        TargetKey other;
        if (v.size() < OS_PATH_SIZE && !(open_end && v.size() > path.size() && v.compare(0, path.size(), path) == 0)) {
            require(target_key(&other, v.c_str(), nullptr));
            require(target_keys_equal(other, key));
        }
    }
    // The key's own text, where code page 932 holds it, has the same key.
    char narrow[OS_PATH_SIZE * 2];
    const int n = os_to_narrow(CODE_PAGE_932, key.units, static_cast<int>(key.length), narrow, sizeof narrow - 1);
    uint16_t back[OS_PATH_SIZE];
    if (n <= 0 || n >= static_cast<int>(OS_PATH_SIZE) ||
        os_to_wide(CODE_PAGE_932, narrow, n, back, OS_PATH_SIZE) != static_cast<int>(key.length) ||
        std::memcmp(back, key.units, key.length * sizeof back[0]) != 0)
        return;
    narrow[n] = '\0';
    TargetKey again;
    require(target_key(&again, narrow, nullptr) && target_keys_equal(again, key));
}

// Whether check_targets calls the second of {first, second} a share of the first.
bool shares(const std::string& first, const std::string& second)
{
    const char* paths[] = {first.c_str(), second.c_str()};
    TargetVerdict verdicts[2];
    check_targets(paths, 2, verdicts);
    require(verdicts[0].problem != PATH_SHARES_FILE);
    return verdicts[1].problem == PATH_SHARES_FILE;
}

void check_one(const std::string& path, EntryTarget* target, bool* safe)
{
    const PathProblem rules = path_problem(path.c_str());
    // The path rules refuse at least what CreateFileA refuses.
    require(rules != PATH_OK || windows_path_problem(path.c_str()) == WINDOWS_NAME_OK);
    *safe = target_problem(path.c_str(), target) == PATH_OK;
    if (!*safe)
        return;
    check_resolves_inside(path);
    check_key(path, target->target);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    const size_t cut = strnlen(text, size);
    std::string a(text, cut < OS_PATH_SIZE - 1 ? cut : OS_PATH_SIZE - 1);
    std::string b;
    if (cut < size) {
        const size_t rest = strnlen(text + cut + 1, size - cut - 1);
        b.assign(text + cut + 1, rest < OS_PATH_SIZE - 1 ? rest : OS_PATH_SIZE - 1);
    }
    EntryTarget ta, tb;
    bool safe_a = false, safe_b = false;
    check_one(a, &ta, &safe_a);
    check_one(b, &tb, &safe_b);
    if (safe_a && safe_b) {
        require(shares(a, b) == targets_overlap(ta, tb));
        require(shares(a, b) == shares(b, a));
    }
    return 0;
}
