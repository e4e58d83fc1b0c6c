// Reading the caption block and the archive index from an updater file.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/file_handle.h"
#include "result/update_result.h"

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
// or UPDATE_E_TOO_MANY_ENTRIES (count above 256, tested before the magic). On
// failure `index` is left empty; `file` stays as opened (its owner closes it).
UpdateResult open_payload(FileHandle& file, const char* path, PayloadIndex* index);

// What a damaged payload still offers to an inspector.
struct PayloadSalvage {
    bool header_read = false;     // the 16 header bytes arrived
    uint32_t declared_count = 0;  // the header's count as stored
    uint64_t data_base = 0;       // 0x28410 + declared_count * form, unclamped
    uint32_t entries_read = 0;    // whole entries read (at most 256)
};

// As open_payload, with the same result, but keeps in `index` the whole entries
// that could be read (the first 256 at most) even when the result is a failure;
// index->data_base is then clamped to 0xFFFFFFFF (unreachable) if it overflows.
UpdateResult open_payload_salvage(FileHandle& file, const char* path, PayloadIndex* index,
                                  PayloadSalvage* salvage);
// Reads the 16 header bytes at 0x28400 of an open file; UPDATE_E_DAMAGED when the
// file is shorter than 0x28400 or they do not arrive in full.
UpdateResult read_payload_header(FileHandle& file, uint8_t header[16]);

// Entry j's name (NUL-terminated copy of its field, bounded by the field width),
// offset and size. j must be below index.count.
void entry_name(const PayloadIndex& index, uint32_t j, char out[97]);
uint32_t entry_offset(const PayloadIndex& index, uint32_t j);
uint32_t entry_size(const PayloadIndex& index, uint32_t j);
// Positions `file` at entry j's data; false when data base + offset wraps past
// 2^32 or the position cannot be reached.
bool seek_entry(FileHandle& file, const PayloadIndex& index, uint32_t j);
// Absolute file position of entry j's data; false when it wraps past 2^32.
bool entry_position(const PayloadIndex& index, uint32_t j, uint32_t* position);
