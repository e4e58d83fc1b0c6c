#include "hash_list/hash_list_records.h"

#include <cstring>

#include "path_rules/list_files.h"
#include "windows_text/path_buffer.h"
#include "platform/platform.h"
#include "platform/rewrite_beside.h"

uint32_t hash_record_size(const uint8_t header[16])
{
    if (std::memcmp(header + HASH_HEADER_MAGIC, HASH_MAGIC_V2, sizeof HASH_MAGIC_V2) == 0)
        return HASH_RECORD_V2_SIZE;
    if (std::memcmp(header + HASH_HEADER_MAGIC, HASH_MAGIC_V1, sizeof HASH_MAGIC_V1) == 0)
        return HASH_RECORD_V1_SIZE;
    return 0;
}

int hash_list_version(uint32_t record_size)
{
    return record_size == HASH_RECORD_V1_SIZE ? 1 : 2;
}

void widen_records(const uint8_t* bytes, uint32_t count, uint32_t record_size, HashList* out)
{
    const uint32_t path_width = record_size == HASH_RECORD_V1_SIZE ? HASH_RECORD_V1_PATH : HASH_RECORD_V2_PATH;
    const size_t first = out->size();
    out->resize(first + count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* in = bytes + static_cast<size_t>(i) * record_size;
        HashRecord& record = (*out)[first + i];
        std::memset(&record, 0, sizeof record);
        if (record_size == HASH_RECORD_V2_SIZE) {
            // A version-2 record passes through as it stands, bytes after the
            // terminator included.
            std::memcpy(&record, in, sizeof record);
            continue;
        }
        const size_t n = field_length(reinterpret_cast<const char*>(in), path_width);
        std::memcpy(record.path, in, n);
        std::memcpy(record.checksum, in + path_width, sizeof record.checksum);
    }
}

void copy_record_path(char out[260], const char* field, size_t width)
{
    const size_t n = field_length(field, width);
    std::memcpy(out, field, n);
    out[n] = '\0';
}

uint32_t bytes_left(uint32_t size, uint32_t position)
{
    if (size == OS_INVALID_FILE_SIZE || position >= size)
        return 0;
    return size - position;
}

bool hash_count_fits(uint32_t count, uint32_t record_size, uint64_t available)
{
    return count <= HASH_LIST_MAX_RECORDS && static_cast<uint64_t>(count) * record_size <= available;
}

bool hash_list_replaceable(const char* dir)
{
    char target[OS_PATH_SIZE];
    return !path_join(target, sizeof target, dir, HASH_LIST_NAME) || !refuses_replacing(os_get_attributes(target));
}

bool replace_hash_list(const char* dir, FileHandle& file, const uint8_t header[16],
                       const uint8_t* body, uint32_t body_size)
{
    char target[OS_PATH_SIZE];
    char sibling[OS_PATH_SIZE];
    if (!path_join(target, sizeof target, dir, HASH_LIST_NAME) ||
        !path_join(sibling, sizeof sibling, dir, HASH_LIST_NAME, LIST_REWRITE_SUFFIX))
        return false;
    return rewrite_beside(file, target, sibling, header, HASH_HEADER_SIZE, body, body_size);
}
