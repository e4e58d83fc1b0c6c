#include <cstring>
#include <vector>

#include "hash_list/hash_list.h"
#include "hash_list/hash_list_records.h"
#include "platform/little_endian.h"
#include "windows_text/path_buffer.h"
#include "platform/platform.h"

bool load_installed(const char* dir, FileHandle& file, HashListHeader* header, HashList* list)
{
    char path[OS_PATH_SIZE];
    list->clear();
    if (!path_join(path, sizeof path, dir, HASH_LIST_NAME))
        return false;
    // The list itself only: a link planted as KXQ.hvl would have the elevated
    // updater read, and then replace, a file chosen by whoever planted it.
    if (!file.open_read_regular(path))
        return false;
    // A short header leaves the file open on purpose: the rewrite through the
    // same object then fails, so a list we could not read is never replaced.
    if (file.read(header->bytes, HASH_HEADER_SIZE) != HASH_HEADER_SIZE)
        return true;
    if (std::memcmp(header->bytes + HASH_HEADER_MAGIC, HASH_MAGIC_V2, sizeof HASH_MAGIC_V2) != 0) {
        file.close();
        return false;
    }
    const uint32_t count = load_u32le(header->bytes + HASH_HEADER_COUNT);
    // More records than any installation has is no list we could hold; the
    // bound also keeps records * 256 below 2^32 in the 32-bit updater.
    if (count > HASH_LIST_MAX_RECORDS) {
        file.close();
        return false;
    }
    const uint32_t available = bytes_left(file.size(), HASH_HEADER_SIZE);
    // Never more records than the file holds, the last one partly present:
    // a count the file cannot back must not decide how much memory we take.
    const uint32_t supplied = available / HASH_RECORD_V2_SIZE + (available % HASH_RECORD_V2_SIZE ? 1 : 0);
    const uint32_t records = count < supplied ? count : supplied;
    list->assign(records, HashRecord());
    const uint32_t wanted = records * HASH_RECORD_V2_SIZE;
    const uint32_t got = wanted ? file.read(list->data(), wanted) : 0;
    if (records == count && got == wanted)
        file.close();
    return true;
}

namespace {

// Reads `count` records of `record_size` bytes in one call, refusing a count
// the rest of the file cannot supply before allocating anything.
bool read_records(FileHandle& file, uint32_t position, uint32_t count, uint32_t record_size,
                  HashList* out)
{
    if (!hash_count_fits(count, record_size, bytes_left(file.size(), position)))
        return false;
    const uint32_t wanted = count * record_size;
    std::vector<uint8_t> bytes(wanted);
    if (wanted && file.read(bytes.data(), wanted) != wanted)
        return false;
    widen_records(bytes.data(), count, record_size, out);
    return true;
}

}  // namespace

HashList read_hash_list_at(FileHandle& file, uint32_t position, int* version)
{
    HashList records;
    // The caller knows a list starts here. Anything short of a whole version
    // 1 or 2 list is damage, not a payload without a list: installing
    // unverified under bare names would put files in the wrong places and
    // report success.
    *version = HASH_LIST_UNREADABLE;
    if (!file.seek(position))
        return records;
    uint8_t header[HASH_HEADER_SIZE];
    if (file.read(header, HASH_HEADER_SIZE) != HASH_HEADER_SIZE)
        return records;
    const uint32_t record_size = hash_record_size(header);
    if (record_size == 0)
        return records;
    const uint32_t count = load_u32le(header + HASH_HEADER_COUNT);
    if (!read_records(file, position + HASH_HEADER_SIZE, count, record_size, &records)) {
        records.clear();
        return records;
    }
    *version = hash_list_version(record_size);
    return records;
}

bool parse_hash_list(const uint8_t* data, uint32_t size, HashList* records, int* version)
{
    records->clear();
    *version = 0;
    if (size < HASH_HEADER_SIZE)
        return false;
    const uint32_t record_size = hash_record_size(data);
    if (record_size == 0)
        return false;
    const uint32_t count = load_u32le(data + HASH_HEADER_COUNT);
    if (!hash_count_fits(count, record_size, size - HASH_HEADER_SIZE))
        return false;
    widen_records(data + HASH_HEADER_SIZE, count, record_size, records);
    *version = hash_list_version(record_size);
    return true;
}
