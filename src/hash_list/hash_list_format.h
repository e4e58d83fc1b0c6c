// The hash list file KXQ.hvl, shared by the updater and patchtool. A 16-byte
// header (8-byte magic, u32 reserved, u32 count) followed by count records.
// Version 2: 256-byte records (248-byte path, 8-byte checksum); version 1:
// 64-byte records (56-byte path, 8-byte checksum). All integers little-endian.
#pragma once
#include <cstdint>
#include "path_rules/list_files.h"

const uint32_t HASH_HEADER_SIZE = 16;
const uint32_t HASH_HEADER_MAGIC = 0;
const uint32_t HASH_HEADER_RESERVED = 8;
const uint32_t HASH_HEADER_COUNT = 12;
const char HASH_MAGIC_V2[8] = {'W','Q','X','_','V','2','_','_'};
const char HASH_MAGIC_V1[8] = {'W','Q','X','_','_','_','_','_'};

const uint32_t HASH_RECORD_V2_SIZE = 256;
const uint32_t HASH_RECORD_V2_PATH = 248;
const uint32_t HASH_RECORD_V1_SIZE = 64;
const uint32_t HASH_RECORD_V1_PATH = 56;

// The most records a list may hold, whatever its header says: 64 MiB of
// 256-byte records in memory, far beyond any installation. A count above it
// is refused before anything is allocated.
const uint32_t HASH_LIST_MAX_RECORDS = 0x40000;
const char HASH_LIST_NAME_LOWER[] = "kxq.hvl";

struct HashListHeader {
    uint8_t bytes[16];
};
// In memory every record has the version-2 layout, whatever it was read from.
struct HashRecord {
    char path[248];
    uint8_t checksum[8];
};
static_assert(sizeof(HashListHeader) == HASH_HEADER_SIZE, "header size");
static_assert(sizeof(HashRecord) == HASH_RECORD_V2_SIZE, "record is the version-2 layout");
