#include <cstring>
#include <vector>

#include "hash_list/hash_list.h"
#include "hash_list/hash_list_records.h"
#include "path_rules/path_safety.h"
#include "platform/little_endian.h"
#include "windows_text/path_buffer.h"
#include "platform/platform.h"

bool write_back(const char* dir, FileHandle& file, const HashListHeader& header, const HashList& list)
{
    // The object is still open when the load stopped short: a list that was
    // not read in full is never rewritten.
    if (file.is_open())
        return false;
    if (list.size() > (0xFFFFFFFFu - HASH_HEADER_SIZE) / HASH_RECORD_V2_SIZE)
        return false;
    const uint32_t count = static_cast<uint32_t>(list.size());
    uint8_t out_header[HASH_HEADER_SIZE];
    // Magic and reserved travel unchanged; only the count follows the list.
    std::memcpy(out_header, header.bytes, sizeof out_header);
    store_u32le(out_header + HASH_HEADER_COUNT, count);
    return replace_hash_list(dir, file, out_header, reinterpret_cast<const uint8_t*>(list.data()),
                             count * HASH_RECORD_V2_SIZE);
}

namespace {

// Whether the file or folder a record names is still there. A path that does
// not fit its buffer cannot be asked about, so the record counts as present.
// So does one the updater would never write (outside the folder, a device):
// it is not followed, and the record stays for the game's own tools as it was.
bool record_present(const char* dir, const uint8_t* record, uint32_t path_width)
{
    char relative[OS_PATH_SIZE];
    char full[OS_PATH_SIZE];
    copy_record_path(relative, reinterpret_cast<const char*>(record), path_width);
    if (path_problem(relative) != PATH_OK || !path_join(full, sizeof full, dir, relative))
        return true;
    return os_get_attributes(full) != OS_INVALID_ATTRIBUTES;
}

// The list file as it is on disk: header and all `count` records, or false.
bool read_list_file(const char* path, uint8_t header[16], std::vector<uint8_t>* records,
                    uint32_t* record_size)
{
    FileHandle file;
    if (!file.open_read_regular(path))
        return false;
    if (file.read(header, HASH_HEADER_SIZE) != HASH_HEADER_SIZE)
        return false;
    *record_size = hash_record_size(header);
    if (*record_size == 0)
        return false;
    const uint32_t count = load_u32le(header + HASH_HEADER_COUNT);
    if (!hash_count_fits(count, *record_size, bytes_left(file.size(), HASH_HEADER_SIZE)))
        return false;
    records->assign(static_cast<size_t>(count) * *record_size, 0);
    return records->empty() || file.read(records->data(), count * *record_size) == count * *record_size;
}

}  // namespace

void prune_missing(const char* dir)
{
    char path[OS_PATH_SIZE];
    if (!path_join(path, sizeof path, dir, HASH_LIST_NAME))
        return;
    uint8_t header[HASH_HEADER_SIZE];
    std::vector<uint8_t> records;
    uint32_t record_size = 0;
    if (!read_list_file(path, header, &records, &record_size))
        return;
    const uint32_t path_width = record_size == HASH_RECORD_V1_SIZE ? HASH_RECORD_V1_PATH : HASH_RECORD_V2_PATH;
    std::vector<uint8_t> kept;
    kept.reserve(records.size());
    uint32_t kept_count = 0;
    for (size_t at = 0; at < records.size(); at += record_size) {
        if (!record_present(dir, records.data() + at, path_width))
            continue;
        kept.insert(kept.end(), records.begin() + static_cast<std::ptrdiff_t>(at),
                    records.begin() + static_cast<std::ptrdiff_t>(at + record_size));
        ++kept_count;
    }
    // A version-1 list is pruned as version 1; magic and reserved unchanged.
    store_u32le(header + HASH_HEADER_COUNT, kept_count);
    FileHandle file;
    replace_hash_list(dir, file, header, kept.data(), static_cast<uint32_t>(kept.size()));
}
