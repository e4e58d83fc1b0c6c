#include "publish/release_base.h"

#include <algorithm>

#include "checksum/checksum.h"
#include "hash_list/hash_list.h"
#include "hash_list/name_compare.h"
#include "path_rules/path_safety.h"
#include "path_rules/target_key.h"
#include "platform/file_handle.h"
#include "windows_text/path_buffer.h"

namespace {

// A hash list longer than this is no installation's list.
const uint32_t BASE_LIST_LIMIT = 0x4000000;
const uint32_t CHUNK = 0x100000;

// Total bytes of the files, for progress; 0 for one that cannot be opened
// (its checksum then fails and says so).
uint64_t total_size(const std::vector<BuilderFile>& files)
{
    uint64_t total = 0;
    for (const BuilderFile& f : files) {
        FileHandle in;
        if (in.open_read(f.source.c_str()))
            total += in.size();
    }
    return total;
}

bool size_of(const std::string& source, uint32_t* size)
{
    FileHandle in;
    if (!in.open_read(source.c_str()))
        return false;
    *size = in.size();
    return true;
}

// Checksums the file at `source`, adding its bytes to *done as they go.
bool checksum_source(const std::string& source, std::array<uint8_t, 8>* sum, uint32_t* size,
                     std::vector<uint8_t>& buffer, BuilderProgress progress, void* context, uint64_t* done,
                     uint64_t total)
{
    FileHandle in;
    if (!in.open_read(source.c_str()))
        return false;
    ContentChecksum state = {};
    *size = in.size();
    for (uint32_t at = 0; at < *size;) {
        const uint32_t chunk = *size - at < CHUNK ? *size - at : CHUNK;
        if (in.read(buffer.data(), chunk) != chunk)
            return false;
        checksum_update(&state, buffer.data(), chunk);
        at += chunk;
        *done += chunk;
        if (progress)
            progress(context, *done, total);
    }
    std::copy(state.bytes, state.bytes + 8, sum->begin());
    return true;
}

// The folder part of a relative path: "" for a file at the top.
std::string folder_of(const std::string& path)
{
    const char* file = path_file_part(path.c_str());
    const size_t length = static_cast<size_t>(file - path.c_str());
    return length ? path.substr(0, length - 1) : std::string();
}

bool has_folder(const ReleaseBase& base, const std::string& folder)
{
    char wanted[OS_PATH_SIZE];
    char known[OS_PATH_SIZE];
    if (!path_with_backslashes(wanted, sizeof wanted, folder.c_str()))
        return false;
    for (const std::string& f : base.folders) {
        if (path_with_backslashes(known, sizeof known, f.c_str()) && names_equal(known, wanted))
            return true;
    }
    return false;
}

// The two relative paths name one file on Windows (the updater's collision key).
bool same_file(const std::string& a, const std::string& b)
{
    TargetKey left;
    TargetKey right;
    return target_key(&left, a.c_str(), nullptr) && target_key(&right, b.c_str(), nullptr) &&
           target_keys_equal(left, right);
}

// How `sum` of `path` stands against one base: 0 absent, 1 same bytes, 2 other bytes.
int compare_with_base(const ReleaseBase& base, const std::string& path, const std::array<uint8_t, 8>& sum)
{
    for (const BaseFile& f : base.files) {
        if (same_file(f.path, path))
            return f.checksum == sum ? 1 : 2;
    }
    return 0;
}

ShipReason reason_against(const std::vector<ReleaseBase>& bases, const std::string& path,
                          const std::array<uint8_t, 8>& sum)
{
    bool absent_somewhere = bases.empty();
    for (const ReleaseBase& base : bases) {
        const int found = compare_with_base(base, path, sum);
        if (found == 2)
            return SHIP_CHANGED;
        absent_somewhere = absent_somewhere || found == 0;
    }
    return absent_somewhere ? SHIP_NEW : SHIP_UNCHANGED;
}

// Refusal (message set) when a base release folder lacks the folder of a
// shipped file; a warning when a hash list base shows no record there.
bool check_folder(const std::vector<ReleaseBase>& bases, const std::string& path, ShipPlan* plan,
                  std::string* message)
{
    const std::string folder = folder_of(path);
    if (folder.empty())
        return true;
    for (const ReleaseBase& base : bases) {
        if (has_folder(base, folder))
            continue;
        if (base.is_folder) {
            *message = "the folder " + folder + " of " + path + " is missing from the release " + base.shown +
                       ": the updater creates no folders, so the update would fail for its players";
            return false;
        }
        const std::string warning = "no record of " + base.shown + " lies in the folder " + folder +
                                    ": installations of that release must have it, as the updater creates no folders";
        if (std::find(plan->warnings.begin(), plan->warnings.end(), warning) == plan->warnings.end())
            plan->warnings.push_back(warning);
    }
    return true;
}

}  // namespace

bool load_base_list(const std::string& path, ReleaseBase* base, std::string* message)
{
    FileHandle file;
    if (!file.open_read(path.c_str())) {
        *message = "cannot open the base " + base->shown;
        return false;
    }
    const uint32_t size = file.size();
    std::vector<uint8_t> bytes(size <= BASE_LIST_LIMIT ? size : 0);
    HashList records;
    int version = 0;
    if (size > BASE_LIST_LIMIT || (size > 0 && file.read(bytes.data(), size) != size) ||
        !parse_hash_list(bytes.data(), size, &records, &version)) {
        *message = "the base " + base->shown + " is neither a folder nor a readable hash list";
        return false;
    }
    base->is_folder = false;
    base->folders.assign(1, std::string());
    for (const HashRecord& r : records) {
        BaseFile f;
        f.path.assign(r.path, field_length(r.path, sizeof r.path));
        std::copy(r.checksum, r.checksum + 8, f.checksum.begin());
        for (std::string folder = folder_of(f.path); !folder.empty(); folder = folder_of(folder))
            base->folders.push_back(folder);
        base->files.push_back(f);
    }
    return true;
}

bool load_base_folder(const std::vector<BuilderFile>& files, const std::vector<std::string>& folders,
                      BuilderProgress progress, void* context, ReleaseBase* base, std::string* message)
{
    base->is_folder = true;
    base->folders.assign(1, std::string());
    base->folders.insert(base->folders.end(), folders.begin(), folders.end());
    std::vector<uint8_t> buffer(CHUNK);
    const uint64_t total = total_size(files);
    uint64_t done = 0;
    for (const BuilderFile& f : files) {
        BaseFile file;
        file.path = f.path;
        uint32_t size = 0;
        if (!checksum_source(f.source, &file.checksum, &size, buffer, progress, context, &done, total)) {
            *message = "cannot read " + f.source + " of the base " + base->shown;
            return false;
        }
        base->files.push_back(file);
    }
    return true;
}

const char* ship_reason_text(ShipReason reason)
{
    return reason == SHIP_NEW ? "new" : reason == SHIP_CHANGED ? "changed" : "unchanged";
}

BuildStatus plan_shipment(const std::vector<BuilderFile>& files, const std::vector<ReleaseBase>& bases,
                          BuilderProgress progress, void* context, ShipPlan* plan, std::string* message)
{
    *plan = ShipPlan();
    std::vector<uint8_t> buffer(bases.empty() ? 0 : CHUNK);
    const uint64_t total = bases.empty() ? 0 : total_size(files);
    uint64_t done = 0;
    for (const BuilderFile& f : files) {
        PlannedFile planned;
        std::array<uint8_t, 8> sum = {};
        // Without a base every file ships: its bytes need not be read here.
        const bool read = bases.empty() ? size_of(f.source, &planned.size)
                                        : checksum_source(f.source, &sum, &planned.size, buffer, progress,
                                                          context, &done, total);
        if (!read) {
            *message = "cannot read " + f.source;
            return BUILD_FAILED;
        }
        planned.reason = reason_against(bases, f.path, sum);
        if (planned.reason != SHIP_UNCHANGED) {
            if (!check_folder(bases, f.path, plan, message))
                return BUILD_REFUSED;
            ++plan->shipped_count;
            plan->shipped_bytes += planned.size;
        }
        plan->files.push_back(planned);
    }
    return BUILD_OK;
}

std::vector<BuilderFile> shipped_files(const std::vector<BuilderFile>& files, const ShipPlan& plan)
{
    std::vector<BuilderFile> shipped;
    for (size_t i = 0; i < files.size() && i < plan.files.size(); ++i) {
        if (plan.files[i].reason != SHIP_UNCHANGED)
            shipped.push_back(files[i]);
    }
    return shipped;
}
