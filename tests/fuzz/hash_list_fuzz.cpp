// Both hash list loaders, lookups, upsert, write-back and prune over an
// arbitrary KXQ.hvl. The first input byte chooses how the installed copy is
// treated; the rest is the file.
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

    fuzz_write_file("KXQ.hvl", data, size);
    const std::string& dir = fuzz_scratch_dir();
    FileHandle file;
    HashListHeader header;
    HashList list;
    if (!load_installed(dir.c_str(), file, &header, &list))
        return 0;
    const uint8_t checksum[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int32_t at = find_installed(list, "Archive\\data01300.arc");
    upsert(&list, at, "Archive\\data01300.arc", checksum);
    if (write_back(dir.c_str(), file, header, list))
        prune_missing(dir.c_str());
    return 0;
}
