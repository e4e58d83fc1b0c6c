// Both hash list loaders, lookups, upsert, write-back and prune over an
// arbitrary KXQ.hvl, the installed copy held in the in-memory file tree.
#include <cstring>

#include "fuzz_support.h"
#include "hash_list/hash_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HashList parsed;
    int version = 0;
    if (parse_hash_list(data, static_cast<uint32_t>(size), &parsed, &version)) {
        if (version != 1 && version != 2)
            __builtin_trap();
        for (const HashRecord& record : parsed) {
            char path[sizeof record.path + 1];
            std::memcpy(path, record.path, sizeof record.path);
            path[sizeof record.path] = '\0';
            (void)find_installed(parsed, path);
            (void)find_shipped(parsed, path);
        }
    }

    const char* dir = fuzz_memory_game("KXQ.hvl", data, size);
    FileHandle file;
    HashListHeader header;
    HashList list;
    if (!load_installed(dir, file, &header, &list))
        return 0;
    if (list.size() > HASH_LIST_MAX_RECORDS)
        __builtin_trap();  // the count is bounded before anything is allocated
    const uint8_t checksum[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int32_t at = find_installed(list, "Archive\\data01300.arc");
    upsert(&list, at, "Archive\\data01300.arc", checksum);
    if (write_back(dir, file, header, list))
        prune_missing(dir);
    return 0;
}
