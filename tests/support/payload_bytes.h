// Byte-level makers of updater files and hash lists for tests, written from the
// format tables rather than from the code under test.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct EntryLayout {
    std::string name;          // raw code page 932 bytes; longer than the field = unterminated
    std::string data;
    bool fixed_offset = false; // true: `offset` is stored instead of the running offset
    uint32_t offset = 0;
    bool fixed_size = false;   // true: `size` is stored instead of data.size()
    uint32_t size = 0;
};

struct PayloadLayout {
    std::string caption;       // raw bytes of the caption block (zero-filled to 1024)
    uint32_t form = 128;       // 128: magic "ZEPHAN ARC20"; 32: `magic32` (default all zeros)
    std::string magic32 = std::string(12, '\0');
    bool fixed_count = false;  // true: `count` is stored instead of entries.size()
    uint32_t count = 0;
    std::vector<EntryLayout> entries;
};

// A whole updater file: zero image up to 0x28000, caption block, header, index,
// then the entries' data back to back in index order.
std::string payload_bytes(const PayloadLayout& layout);

struct RecordLayout {
    std::string path;          // longer than the field = unterminated
    std::string checksum;      // 8 bytes
};

// A hash list file of version 1 or 2; count_override >= 0 replaces the count.
std::string hash_list_bytes(int version, const std::vector<RecordLayout>& records, uint32_t reserved = 0,
                            int64_t count_override = -1);

// The content checksum's eight stored bytes, computed from its definition.
std::string reference_checksum(const std::string& data);
// Writes minimal PE32 headers at the start of `file` (at least 0x100 bytes):
// "MZ", e_lfanew 0x40, "PE\0\0", an i386 COFF header and an optional header
// with 16 data directories, the certificate directory (4) holding `offset`
// and `size` as signing leaves them (0, 0: unsigned).
void set_certificate_directory(std::string* file, uint32_t offset, uint32_t size);
// Lowercase hex of raw bytes.
std::string hex_of(const std::string& bytes);
// Little-endian u32 at `at` in `bytes`.
uint32_t u32_at(const std::string& bytes, size_t at);
