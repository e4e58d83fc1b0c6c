#include "update/entry_paths.h"

#include <cstring>

#include "hash_list/hash_list_format.h"
#include "hash_list/name_compare.h"
#include "windows_text/path_buffer.h"

const HashRecord* entry_install_path(const PayloadIndex& index, const HashList& shipped, uint32_t j,
                                     char path[OS_PATH_SIZE])
{
    char name[97];
    entry_name(index, j, name);
    const HashRecord* record = shipped.empty() ? nullptr : find_shipped(shipped, name);
    const char* from = record ? record->path : name;
    const size_t n = field_length(from, record ? sizeof record->path : sizeof name - 1);
    std::memcpy(path, from, n);
    path[n] = '\0';
    return record;
}

bool is_hash_list_path(const char* path)
{
    return names_equal(path, HASH_LIST_NAME_LOWER);
}

bool check_payload_targets(const PayloadIndex& index, const HashList& shipped, std::vector<TargetVerdict>* verdicts)
{
    std::vector<char> buffers(static_cast<size_t>(index.count) * OS_PATH_SIZE);
    std::vector<const char*> paths(index.count);
    for (uint32_t j = 0; j < index.count; ++j) {
        char* path = &buffers[static_cast<size_t>(j) * OS_PATH_SIZE];
        entry_install_path(index, shipped, j, path);
        paths[j] = is_hash_list_path(path) ? nullptr : path;
    }
    verdicts->assign(index.count, TargetVerdict{PATH_OK, 0});
    return check_targets(paths.data(), index.count, verdicts->data());
}
