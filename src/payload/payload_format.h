// The layout of the data behind the updater's image, shared by the updater
// (reader) and patchtool (writer). All integers little-endian.
//
//   0x00000  executable image, zero-filled up to 0x28000
//   0x28000  caption block, 1024 bytes: NUL-terminated code page 932 text
//   0x28400  archive header, 16 bytes: 12-byte magic, u32 count (<= 256)
//   0x28410  index: count entries of 128 bytes (magic "ZEPHAN ARC20") or 32
//   then     entry data; its first byte is the data base
#pragma once
#include <cstdint>

const uint32_t PAYLOAD_IMAGE_LIMIT = 0x28000;   // the image must end here
const uint32_t PAYLOAD_CAPTION_OFFSET = 0x28000;
const uint32_t PAYLOAD_CAPTION_SIZE = 1024;
const uint32_t PAYLOAD_HEADER_OFFSET = 0x28400;
const uint32_t PAYLOAD_HEADER_SIZE = 16;
const uint32_t PAYLOAD_INDEX_OFFSET = 0x28410;
const uint32_t PAYLOAD_MAX_ENTRIES = 256;

const char PAYLOAD_MAGIC_128[12] = {'Z','E','P','H','A','N',' ','A','R','C','2','0'};
// Our builder's magic for the 32-byte form; the reader accepts any other 12 bytes.
const char PAYLOAD_MAGIC_32[12] = {'Z','E','P','H','A','N',' ','A','R','C','1','0'};

// Header field offsets.
const uint32_t PAYLOAD_HEADER_MAGIC = 0;
const uint32_t PAYLOAD_HEADER_COUNT = 12;

// Index entry layouts: name field, then offset and size (u32), then reserved.
struct PayloadEntryForm {
    uint32_t entry_size;
    uint32_t name_size;
    uint32_t offset_at;
    uint32_t size_at;
};
constexpr PayloadEntryForm PAYLOAD_FORM_128 = {128, 96, 96, 100};
constexpr PayloadEntryForm PAYLOAD_FORM_32 = {32, 16, 16, 20};
static_assert(PAYLOAD_FORM_128.size_at + 4 <= PAYLOAD_FORM_128.entry_size, "128-byte entry");
static_assert(PAYLOAD_FORM_32.size_at + 4 <= PAYLOAD_FORM_32.entry_size, "32-byte entry");
static_assert(PAYLOAD_HEADER_OFFSET + PAYLOAD_HEADER_SIZE == PAYLOAD_INDEX_OFFSET, "index follows header");
static_assert(PAYLOAD_CAPTION_OFFSET + PAYLOAD_CAPTION_SIZE == PAYLOAD_HEADER_OFFSET, "header follows caption");
