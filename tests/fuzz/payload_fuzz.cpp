// The caption block, archive header and index of an updater file: the input
// is everything from the caption block on, behind a zero-filled image.
#include <cstring>

#include "fuzz_support.h"
#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "payload/payload_format.h"
#include "update/shipped_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzz_write_file("updater.bin", data, size, PAYLOAD_CAPTION_OFFSET);

    char caption[PAYLOAD_CAPTION_SIZE];
    if (load_caption_from(path.c_str(), caption) && std::memchr(caption, 0, sizeof caption) == nullptr)
        __builtin_trap();  // the caption must always come back terminated

    FileHandle file;
    PayloadIndex index;
    if (open_payload(file, path.c_str(), &index) != UPDATE_OK)
        return 0;
    if (index.count > PAYLOAD_MAX_ENTRIES || index.raw.size() != static_cast<size_t>(index.count) * index.form)
        __builtin_trap();
    for (uint32_t j = 0; j < index.count; ++j) {
        char name[97];
        entry_name(index, j, name);
        if (std::memchr(name, 0, sizeof name) == nullptr)
            __builtin_trap();
        (void)entry_offset(index, j);
        (void)entry_size(index, j);
        (void)seek_entry(file, index, j);
    }
    HashList shipped = load_shipped(file, index);
    for (uint32_t j = 0; j < index.count; ++j) {
        char name[97];
        entry_name(index, j, name);
        (void)find_shipped(shipped, name);
    }
    return 0;
}
