#include "platform/host_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "windows_text/code_page.h"
#include "platform/host_root.h"
#include "platform/platform.h"
#include "windows_text/ansi_char.h"
#include "windows_text/windows_names.h"

namespace {

// UTF-8 -> UTF-16, refusing malformed text (a name on disk that does not
// decode is never taken for a match).
bool utf8_to_units(const std::string& text, std::vector<uint16_t>* units)
{
    units->clear();
    if (text.empty())
        return true;
    const int len = static_cast<int>(text.size());
    int n = cp_to_wide(CODE_PAGE_UTF8, text.data(), len, nullptr, 0);
    if (n <= 0)
        return false;
    units->resize(static_cast<size_t>(n));
    cp_to_wide(CODE_PAGE_UTF8, text.data(), len, units->data(), n);
    std::vector<char> back(static_cast<size_t>(n) * 3 + 1);
    int m = cp_to_narrow(CODE_PAGE_UTF8, units->data(), n, back.data(), static_cast<int>(back.size()));
    return m == len && std::memcmp(back.data(), text.data(), static_cast<size_t>(len)) == 0;
}

// What one folder held when it was last read: for each name's folded form
// (its UTF-16 units through the Windows lower-case mapping), the first name in
// byte order with that form; and the folder's identity and modification time
// at that moment, which tell whether anyone changed it since.
struct FolderNames {
    dev_t dev;
    ino_t ino;
    struct timespec mtime;
    std::unordered_map<std::u16string, std::string> names;
};

// Folders read so far, by host path, so that a lookup costs one reading of
// each folder instead of one per component of every path (verify of a few
// thousand records would otherwise be quadratic). Process-wide and
// single-threaded like the layer's list of open handles; bounded.
std::unordered_map<std::string, FolderNames> folder_cache;
const size_t FOLDER_CACHE_LIMIT = 256;

bool folded(const std::string& name, std::u16string* out)
{
    std::vector<uint16_t> units;
    if (!utf8_to_units(name, &units))
        return false;
    out->resize(units.size());
    for (size_t i = 0; i < units.size(); ++i)
        (*out)[i] = static_cast<char16_t>(unicode_lower(units[i]));
    return true;
}

// Whether a listing can stand for the folder as long as its modification time
// stays `mtime`, given that the clock read `read_at` before the folder was
// looked at. A change stamps the folder with the clock's tick at that moment,
// so only an mtime clearly older than `read_at` proves that a later change
// would show; a change in the same tick would not. File systems that keep
// whole seconds (or two, as FAT does) get that much margin.
bool listing_settled(const struct timespec& mtime, const struct timespec& read_at)
{
    const int64_t margin_ns = mtime.tv_nsec == 0 ? 2000000000 : 20000000;
    const int64_t m = static_cast<int64_t>(mtime.tv_sec) * 1000000000 + mtime.tv_nsec;
    const int64_t r = static_cast<int64_t>(read_at.tv_sec) * 1000000000 + read_at.tv_nsec;
    return m + margin_ns < r;
}

// The listing of `dir` ("" = the current folder), read again when the folder
// is not the one read before or has changed since. A listing that is not yet
// settled is handed out in *fresh and not kept. Null when it cannot be read.
const FolderNames* folder_names(const std::string& dir, FolderNames* fresh)
{
    const std::string where = dir.empty() ? "." : dir;
    struct timespec read_at;
    struct stat st;
    if (clock_gettime(CLOCK_REALTIME_COARSE, &read_at) != 0 || stat(where.c_str(), &st) != 0)
        return nullptr;
    auto it = folder_cache.find(dir);
    if (it != folder_cache.end()) {
        const FolderNames& known = it->second;
        if (known.dev == st.st_dev && known.ino == st.st_ino && known.mtime.tv_sec == st.st_mtim.tv_sec &&
            known.mtime.tv_nsec == st.st_mtim.tv_nsec)
            return &known;
        folder_cache.erase(it);
    }
    DIR* d = opendir(where.c_str());
    if (!d)
        return nullptr;
    FolderNames listing{st.st_dev, st.st_ino, st.st_mtim, {}};
    std::u16string key;
    while (const dirent* e = readdir(d)) {
        const std::string candidate = e->d_name;
        if (candidate == "." || candidate == ".." || !folded(candidate, &key))
            continue;
        auto slot = listing.names.emplace(key, candidate);
        if (!slot.second && candidate < slot.first->second)
            slot.first->second = candidate;
    }
    closedir(d);
    if (!listing_settled(st.st_mtim, read_at)) {
        *fresh = std::move(listing);
        return fresh;
    }
    if (folder_cache.size() >= FOLDER_CACHE_LIMIT)
        folder_cache.clear();
    return &(folder_cache[dir] = std::move(listing));
}

// The name in `dir` that matches `name`: exact if it exists, else the first
// case-insensitive match in byte order. Empty when there is none.
std::string find_component(const std::string& dir, const std::string& name)
{
    struct stat st;
    const std::string exact = dir.empty() ? name : dir == "/" ? "/" + name : dir + "/" + name;
    if (lstat(exact.c_str(), &st) == 0)
        return name;
    std::u16string key;
    FolderNames fresh;
    const FolderNames* listing = folded(name, &key) ? folder_names(dir, &fresh) : nullptr;
    if (!listing)
        return std::string();
    auto found = listing->names.find(key);
    return found == listing->names.end() ? std::string() : found->second;
}

// What Windows drops from a component before it looks the name up: every
// trailing dot and space of the last one ("a.arc. " opens a.arc), one
// trailing dot of a folder on the way ("Archive." is Archive, "Archive " is
// not found). A last component left empty names the folder before it.
void trim_component(std::string* name, bool last)
{
    if (!last) {
        // A name of dots only stays as it is: "..." never becomes "..".
        if (!name->empty() && name->back() == '.' && name->find_first_not_of('.') != std::string::npos)
            name->pop_back();
        return;
    }
    if (*name == "." || *name == "..")
        return;
    const size_t keep = name->find_last_not_of(". ");
    name->erase(keep == std::string::npos ? 0 : keep + 1);
}

}  // namespace

void host_folder_changed(const std::string& host)
{
    const size_t slash = host.rfind('/');
    folder_cache.erase(slash == std::string::npos ? std::string() : slash == 0 ? std::string("/") : host.substr(0, slash));
}

bool host_name(const char* path, std::string* out)
{
    const int wide_len = cp_to_wide(CODE_PAGE_932, path, -1, nullptr, 0);
    if (wide_len <= 0)
        return false;
    std::vector<uint16_t> wide(static_cast<size_t>(wide_len));
    cp_to_wide(CODE_PAGE_932, path, -1, wide.data(), wide_len);
    const int narrow_len = cp_to_narrow(CODE_PAGE_UTF8, wide.data(), wide_len, nullptr, 0);
    if (narrow_len <= 0)
        return false;
    std::vector<char> narrow(static_cast<size_t>(narrow_len));
    cp_to_narrow(CODE_PAGE_UTF8, wide.data(), wide_len, narrow.data(), narrow_len);
    // A lead byte right before the terminator swallows nothing: the text ends
    // at the first NUL whatever came before it.
    out->assign(narrow.data(), strnlen(narrow.data(), narrow.size()));
    return true;
}

bool host_names_equal(const std::string& a, const std::string& b)
{
    std::vector<uint16_t> ua, ub;
    if (!utf8_to_units(a, &ua) || !utf8_to_units(b, &ub) || ua.size() != ub.size())
        return false;
    for (size_t i = 0; i < ua.size(); ++i) {
        if (unicode_lower(ua[i]) != unicode_lower(ub[i]))
            return false;
    }
    return true;
}

namespace {

// *out := `base` ("" for the current folder, "/" or a host path) followed by
// the code page 932 path `inside`, each component resolved as Windows and
// Wine would find it. False when the text does not convert.
bool resolve_inside(const char* inside, std::string base, std::string* out)
{
    std::string utf8;
    if (!host_name(inside, &utf8))
        return false;
    for (char& c : utf8) {
        if (c == '\\')
            c = '/';
    }
    std::string result = base.empty() && !utf8.empty() && utf8[0] == '/' ? "/" : std::move(base);
    bool resolving = true;
    size_t start = 0;
    while (start <= utf8.size()) {
        size_t end = utf8.find('/', start);
        if (end == std::string::npos)
            end = utf8.size();
        std::string name = utf8.substr(start, end - start);
        start = end + 1;
        trim_component(&name, end == utf8.size());
        if (name.empty())
            continue;
        if (resolving && name != "." && name != "..") {
            std::string found = find_component(result, name);
            if (found.empty())
                resolving = false;  // nothing below a missing component exists
            else
                name = found;
        }
        if (!result.empty() && result.back() != '/')
            result += "/";
        result += name;
    }
    *out = result.empty() ? "." : result;
    return true;
}

// The length of the suffix a program appended to a registered host path
// (".tmp"): everything up to the first separator, whole characters only.
size_t suffix_length(const char* rest)
{
    const size_t left = std::strlen(rest);
    size_t i = 0;
    while (i < left && rest[i] != '\\' && rest[i] != '/')
        i += ansi_char_length(rest + i, left - i);
    return i;
}

}  // namespace

bool host_path(const char* path, std::string* out)
{
    const size_t length = std::strlen(path);
    // The 260-byte limit counts what the engine's buffers hold: a registered
    // folder's marker and the path inside it, not the folder's own spelling.
    if (length == 0 || length >= OS_PATH_SIZE)
        return false;
    size_t marker = 0;
    const std::string* root = os_host_root_at(path, &marker);
    if (!root) {
        // Names CreateFileA refuses, or opens as a device, are no file here.
        return windows_path_problem(path) == WINDOWS_NAME_OK && resolve_inside(path, std::string(), out);
    }
    // The host spelling is used as it is, trailing dots and all; only what
    // lies inside it follows the rules.
    const char* rest = path + marker;
    const size_t suffix = suffix_length(rest);
    std::string base;
    if (!host_name(std::string(rest, suffix).c_str(), &base))
        return false;
    base = *root + base;
    if (rest[suffix] == '\0') {
        *out = base;
        return true;
    }
    const char* inside = rest + suffix + 1;
    return windows_path_problem(inside) == WINDOWS_NAME_OK && resolve_inside(inside, base, out);
}

bool host_path_names_root(const char* path)
{
    size_t marker = 0;
    return os_host_root_at(path, &marker) && path[marker + suffix_length(path + marker)] == '\0';
}

bool host_path_to_ansi(const std::string& utf8, std::string* out)
{
    std::vector<uint16_t> wide;
    if (!utf8_to_units(utf8, &wide) || wide.empty())
        return false;
    const int n = static_cast<int>(wide.size());
    const int needed = cp_to_narrow(CODE_PAGE_932, wide.data(), n, nullptr, 0);
    if (needed <= 0 || static_cast<uint32_t>(needed) >= OS_PATH_SIZE)
        return false;
    std::vector<char> narrow(static_cast<size_t>(needed));
    cp_to_narrow(CODE_PAGE_932, wide.data(), n, narrow.data(), needed);
    // Only a lossless conversion names the same file.
    std::vector<uint16_t> back(static_cast<size_t>(n) + 1);
    if (cp_to_wide(CODE_PAGE_932, narrow.data(), needed, back.data(), n + 1) != n ||
        std::memcmp(back.data(), wide.data(), static_cast<size_t>(n) * 2) != 0)
        return false;
    out->assign(narrow.data(), static_cast<size_t>(needed));
    return true;
}
