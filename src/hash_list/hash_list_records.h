// Helpers shared by the hash list's readers and writers: record versions, the
// widening of version-1 records, bounded path copies and the safe rewrite.
#pragma once
#include <cstddef>
#include <cstdint>
#include "hash_list/hash_list.h"
#include "platform/file_handle.h"

// Record size selected by the header's magic: 256 (version 2), 64 (version 1),
// 0 for any other magic.
uint32_t hash_record_size(const uint8_t header[16]);
// 2 for a 256-byte record size, 1 for 64.
int hash_list_version(uint32_t record_size);
// Appends `count` records of `record_size` bytes to `out` in the version-2
// layout: version-1 paths copied up to their terminator (the field width is the
// limit), checksums moved from 56-63 to 248-255.
void widen_records(const uint8_t* bytes, uint32_t count, uint32_t record_size, HashList* out);
// out := the path held in a field of `width` bytes, NUL-terminated (width < 260).
void copy_record_path(char out[260], const char* field, size_t width);
// Bytes a file of `size` can still supply from `position` on (0 past the end).
uint32_t bytes_left(uint32_t size, uint32_t position);
// Whether `count` records of `record_size` bytes are within
// HASH_LIST_MAX_RECORDS and within `available` bytes; computed in 64 bits, so
// no product wraps. Callers check this before allocating anything.
bool hash_count_fits(uint32_t count, uint32_t record_size, uint64_t available);
// Writes header + body to dir\KXQ.hvl.new with `file` (closed on entry),
// flushes it and moves it over dir\KXQ.hvl. On any failure the sibling is
// deleted and the list file stays as it was; false.
bool replace_hash_list(const char* dir, FileHandle& file, const uint8_t header[16],
                       const uint8_t* body, uint32_t body_size);
