// Reading the caption block and the archive index from an updater file.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/file_handle.h"
#include "update/update_result.h"

struct PayloadIndex {
    uint32_t count = 0;
    uint32_t form = 128;        // entry size in bytes: 128 or 32
    uint32_t data_base = 0;     // 0x28410 + count * form
    std::vector<uint8_t> raw;   // count * form bytes, exactly as read
};

// Reads the 1024-byte caption block of the running executable into `caption`
// (always NUL-terminated within the buffer, even when the block has no NUL).
// False when the own path is unavailable, the file is shorter than 0x28000 or
// fewer than 1024 bytes arrive.
bool load_caption(char caption[1024]);
// The same from a given file (patchtool).
bool load_caption_from(const char* path, char caption[1024]);

// Opens `path` (null: the running executable, falling back to "setup.exe" when
// its path is unavailable) with `file` and reads the index. UPDATE_OK, or
// UPDATE_E_DAMAGED (unopenable, shorter than 0x28400, short header or index),
// or UPDATE_E_TOO_MANY_ENTRIES (count above 256, tested before the magic).
UpdateResult open_payload(FileHandle& file, const char* path, PayloadIndex* index);

// Entry j's name (NUL-terminated copy of its field, bounded by the field width),
// offset and size. j must be below index.count.
void entry_name(const PayloadIndex& index, uint32_t j, char out[97]);
uint32_t entry_offset(const PayloadIndex& index, uint32_t j);
uint32_t entry_size(const PayloadIndex& index, uint32_t j);
// Positions `file` at entry j's data; false when data base + offset wraps past
// 2^32 or the position cannot be reached.
bool seek_entry(FileHandle& file, const PayloadIndex& index, uint32_t j);
