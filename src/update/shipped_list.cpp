#include "update/shipped_list.h"

#include "hash_list/hash_list_format.h"
#include "hash_list/name_compare.h"

namespace {

// First entry whose whole name, lower-cased, is "kxq.hvl"; -1 when none. The
// whole name is compared, so an entry named with a folder never matches.
int64_t find_hash_list_entry(const PayloadIndex& index)
{
    for (uint32_t j = 0; j < index.count; ++j) {
        char name[97];
        entry_name(index, j, name);
        if (names_equal(name, HASH_LIST_NAME_LOWER))
            return j;
    }
    return -1;
}

}  // namespace

HashList load_shipped(FileHandle& payload, const PayloadIndex& index, int* version)
{
    *version = 0;
    const int64_t found = find_hash_list_entry(index);
    if (found < 0)
        return HashList();
    uint32_t position = 0;
    if (!entry_position(index, static_cast<uint32_t>(found), &position)) {
        *version = SHIPPED_UNREADABLE;
        return HashList();
    }
    return read_hash_list_at(payload, position, version);
}

HashList load_shipped(FileHandle& payload, const PayloadIndex& index)
{
    int version = 0;
    return load_shipped(payload, index, &version);
}
