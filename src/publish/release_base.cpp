#include "publish/release_base.h"

#include <algorithm>

#include "checksum/checksum_read.h"
#include "hash_list/hash_list.h"
#include "path_rules/path_safety.h"
#include "path_rules/target_key.h"
#include "platform/file_handle.h"
#include "windows_text/path_buffer.h"

namespace {

// A hash list longer than this is no installation's list.
const uint64_t BASE_LIST_LIMIT = 0x4000000;

// Counts the bytes of every chunk read for the progress of the whole step.
struct ProgressSink final : ChunkSink {
    BuilderProgress progress = nullptr;
    void* context = nullptr;
    uint64_t done = 0;
    uint64_t total = 0;

    bool take(const uint8_t*, uint32_t n) override
    {
        done += n;
        if (progress)
            progress(context, done, total);
        return true;
    }
};

// Total bytes of the files, for progress; 0 for one that cannot be opened
// (its checksum then fails and says so). It opens every file once more, so it
// is asked only where progress is shown.
uint64_t total_size(const std::vector<BuilderFile>& files)
{
    uint64_t total = 0;
    for (const BuilderFile& f : files) {
        FileHandle in;
        const uint64_t size = in.open_read_regular(f.source.c_str()) ? in.size64() : 0;
        total += size == OS_INVALID_FILE_SIZE64 ? 0 : size;
    }
    return total;
}

// Opens a source as a regular file (a link swapped in after the listing, or a
// pipe, fails at once instead of being followed or waited on) and tells its
// whole size.
bool open_source(FileHandle& in, const std::string& source, uint64_t* size)
{
    if (!in.open_read_regular(source.c_str()))
        return false;
    *size = in.size64();
    return *size != OS_INVALID_FILE_SIZE64;
}

bool checksum_open(FileHandle& in, uint64_t size, std::vector<uint8_t>& buffer, ProgressSink* sink,
                   std::array<uint8_t, 8>* sum)
{
    ContentChecksum state = {};
    if (read_and_checksum(in, size, buffer, &state, sink) != CHUNK_READ_OK)
        return false;
    std::copy(state.bytes, state.bytes + 8, sum->begin());
    return true;
}

BaseKey key_of(const char* path)
{
    TargetKey key;
    if (!target_key(&key, path, nullptr))
        return BaseKey();
    return BaseKey(key.units, key.units + key.length);
}

// The key of the folder a file's key lies in: "" for the top.
BaseKey folder_key(const BaseKey& file)
{
    const size_t separator = file.rfind(u'\\');
    return separator == BaseKey::npos ? BaseKey() : file.substr(0, separator);
}

// The folder part of a relative path, for messages: "" for a file at the top.
std::string folder_of(const std::string& path)
{
    const char* file = path_file_part(path.c_str());
    const size_t length = static_cast<size_t>(file - path.c_str());
    return length ? path.substr(0, length - 1) : std::string();
}

void add_file(ReleaseBase* base, const BaseFile& file)
{
    const BaseKey key = key_of(file.path.c_str());
    // A path that names no file matches nothing, as the updater writes nothing there.
    if (!key.empty())
        base->file_by_key.emplace(key, base->files.size());
    base->files.push_back(file);
}

// How `sum` of the file with `key` stands against one base: 0 absent, 1 same bytes, 2 other bytes.
int compare_with_base(const ReleaseBase& base, const BaseKey& key, const std::array<uint8_t, 8>& sum)
{
    const auto found = key.empty() ? base.file_by_key.end() : base.file_by_key.find(key);
    if (found == base.file_by_key.end())
        return 0;
    return base.files[found->second].checksum == sum ? 1 : 2;
}

ShipReason reason_against(const std::vector<ReleaseBase>& bases, const BaseKey& key,
                          const std::array<uint8_t, 8>& sum)
{
    bool absent_somewhere = bases.empty();
    for (const ReleaseBase& base : bases) {
        const int found = compare_with_base(base, key, sum);
        if (found == 2)
            return SHIP_CHANGED;
        absent_somewhere = absent_somewhere || found == 0;
    }
    return absent_somewhere ? SHIP_NEW : SHIP_UNCHANGED;
}

// Refusal (message set) when a base release folder lacks the folder of a
// shipped file; a warning when a hash list base shows no record there.
bool check_folder(const std::vector<ReleaseBase>& bases, const std::string& path, const BaseKey& key,
                  ShipPlan* plan, std::string* message)
{
    const BaseKey wanted = folder_key(key);
    if (wanted.empty())
        return true;
    const std::string folder = folder_of(path);
    for (const ReleaseBase& base : bases) {
        if (base.folder_keys.count(wanted))
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
    if (!file.open_read_regular(path.c_str())) {
        *message = "cannot open the base " + base->shown + " (missing, or neither a folder nor a regular file)";
        return false;
    }
    const uint64_t size = file.size64();
    const uint32_t length = size <= BASE_LIST_LIMIT ? static_cast<uint32_t>(size) : 0;
    std::vector<uint8_t> bytes(length);
    HashList records;
    int version = 0;
    if (size > BASE_LIST_LIMIT || (length > 0 && file.read(bytes.data(), length) != length) ||
        !parse_hash_list(bytes.data(), length, &records, &version)) {
        *message = "the base " + base->shown + " is neither a folder nor a readable hash list";
        return false;
    }
    base->is_folder = false;
    for (const HashRecord& r : records) {
        BaseFile f;
        f.path.assign(r.path, field_length(r.path, sizeof r.path));
        std::copy(r.checksum, r.checksum + 8, f.checksum.begin());
        for (BaseKey folder = folder_key(key_of(f.path.c_str())); !folder.empty(); folder = folder_key(folder))
            base->folder_keys.insert(folder);
        add_file(base, f);
    }
    return true;
}

bool load_base_folder(const std::vector<BuilderFile>& files, const std::vector<std::string>& folders,
                      BuilderProgress progress, void* context, ReleaseBase* base, std::string* message)
{
    base->is_folder = true;
    for (const std::string& folder : folders)
        base->folder_keys.insert(key_of(folder.c_str()));
    std::vector<uint8_t> buffer;
    ProgressSink sink;
    sink.progress = progress;
    sink.context = context;
    sink.total = progress ? total_size(files) : 0;
    for (const BuilderFile& f : files) {
        BaseFile file;
        file.path = f.path;
        FileHandle in;
        uint64_t size = 0;
        if (!open_source(in, f.source, &size) || !checksum_open(in, size, buffer, &sink, &file.checksum)) {
            *message = "cannot read " + f.source + " of the base " + base->shown;
            return false;
        }
        add_file(base, file);
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
    std::vector<uint8_t> buffer;
    ProgressSink sink;
    sink.progress = progress;
    sink.context = context;
    sink.total = bases.empty() || !progress ? 0 : total_size(files);
    for (const BuilderFile& f : files) {
        PlannedFile planned;
        std::array<uint8_t, 8> sum = {};
        FileHandle in;
        if (!open_source(in, f.source, &planned.size)) {
            *message = "cannot read " + f.source + " (missing, or not a regular file)";
            return BUILD_FAILED;
        }
        // Refused before it is read, and even when every base had it: a file
        // the format cannot hold is no file of a release it can update.
        *message = check_source_size(f, planned.size);
        if (!message->empty())
            return BUILD_REFUSED;
        // Without a base every file ships: its bytes need not be read here.
        if (!bases.empty() && !checksum_open(in, planned.size, buffer, &sink, &sum)) {
            *message = "cannot read " + f.source;
            return BUILD_FAILED;
        }
        const BaseKey key = key_of(f.path.c_str());
        planned.reason = reason_against(bases, key, sum);
        if (planned.reason != SHIP_UNCHANGED) {
            if (!check_folder(bases, f.path, key, plan, message))
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
