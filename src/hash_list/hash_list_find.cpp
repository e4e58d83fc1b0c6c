#include <cstring>

#include "hash_list/hash_list.h"
#include "hash_list/hash_list_records.h"
#include "hash_list/name_compare.h"
#include "platform/platform.h"
#include "windows_text/ansi_char.h"
#include "windows_text/path_buffer.h"

const char* path_file_part(const char* path)
{
    const char* part = path;
    const char* p = path;
    // A one-character drive prefix ("C:") ends before the file part; a lead
    // byte in front of the colon would make the colon its trail byte instead.
    if (p[0] && !ansi_lead_byte(static_cast<uint8_t>(p[0])) && p[1] == ':')
        part = p = path + 2;
    // A trail byte equal to "\" belongs to its character: only a character
    // of its own separates.
    for (; *p; p += ansi_char_length(p)) {
        if (*p == '\\' || *p == '/')
            part = p + 1;
    }
    return part;
}

const HashRecord* find_shipped(const HashList& shipped, const char* entry_name)
{
    char wanted[OS_PATH_SIZE];
    if (!lower_name_copy(wanted, entry_name))
        return nullptr;
    for (const HashRecord& record : shipped) {
        char path[OS_PATH_SIZE];
        char file[OS_PATH_SIZE];
        copy_record_path(path, record.path, sizeof record.path);
        if (!lower_name_copy(file, path_file_part(path)))
            continue;
        if (std::strcmp(file, wanted) == 0)
            return &record;
    }
    return nullptr;
}

int32_t find_installed(const HashList& list, const char* path)
{
    char wanted[OS_PATH_SIZE];
    if (!lower_name_copy(wanted, path))
        return -1;
    for (size_t i = 0; i < list.size() && i < 0x7FFFFFFF; ++i) {
        char candidate[OS_PATH_SIZE];
        copy_record_path(candidate, list[i].path, sizeof list[i].path);
        os_ansi_lower(candidate);
        if (std::strcmp(candidate, wanted) == 0)
            return static_cast<int32_t>(i);
    }
    return -1;
}

void upsert(HashList* list, int32_t index, const char* path, const uint8_t checksum[8])
{
    if (index >= 0) {
        // The found record keeps its path letter for letter; only its
        // checksum changes.
        if (static_cast<size_t>(index) < list->size())
            std::memcpy((*list)[static_cast<size_t>(index)].checksum, checksum, 8);
        return;
    }
    HashRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.path, path, field_length(path, sizeof record.path));
    std::memcpy(record.checksum, checksum, sizeof record.checksum);
    list->push_back(record);
}
