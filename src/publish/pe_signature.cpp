#include "publish/pe_signature.h"

#include <cstring>

#include "platform/little_endian.h"

namespace {

// Offsets of the PE/COFF image format.
const uint32_t DOS_NEW_HEADER_AT = 0x3C;        // e_lfanew: where "PE\0\0" starts
const uint32_t COFF_HEADER_SIZE = 20;           // after the 4-byte signature
const uint32_t COFF_OPTIONAL_SIZE_AT = 16;      // SizeOfOptionalHeader (u16)
const uint32_t OPTIONAL_MAGIC_PE32 = 0x10B;
const uint32_t OPTIONAL_MAGIC_PE32_PLUS = 0x20B;
const uint32_t DIRECTORY_CERTIFICATE = 4;
// NumberOfRvaAndSizes and the first data directory, by optional header magic.
const uint32_t PE32_DIRECTORY_COUNT_AT = 92, PE32_DIRECTORIES_AT = 96;
const uint32_t PE32_PLUS_DIRECTORY_COUNT_AT = 108, PE32_PLUS_DIRECTORIES_AT = 112;
const uint32_t OPTIONAL_READ_SIZE = PE32_PLUS_DIRECTORIES_AT + 8 * (DIRECTORY_CERTIFICATE + 1);

bool read_at(FileHandle& file, uint32_t position, uint8_t* out, uint32_t n)
{
    return file.seek(position) && file.read(out, n) == n;
}

}  // namespace

SignatureStatus read_certificate_table(FileHandle& file, CertificateTable* table)
{
    *table = CertificateTable();
    uint8_t dos[DOS_NEW_HEADER_AT + 4];
    if (!read_at(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return SIGNATURE_NOT_PE;
    const uint32_t pe_at = load_u32le(dos + DOS_NEW_HEADER_AT);
    uint8_t coff[4 + COFF_HEADER_SIZE];
    if (pe_at > 0xFFFFFFFFu - sizeof coff - OPTIONAL_READ_SIZE || !read_at(file, pe_at, coff, sizeof coff) ||
        std::memcmp(coff, "PE\0\0", 4) != 0)
        return SIGNATURE_NOT_PE;
    const uint32_t optional_size = coff[4 + COFF_OPTIONAL_SIZE_AT] | coff[4 + COFF_OPTIONAL_SIZE_AT + 1] << 8;
    // A PE32 optional header with all its directories is shorter than the
    // bytes read here, but never shorter than a file can be: read what is
    // there and check each field against the declared size.
    uint8_t optional[OPTIONAL_READ_SIZE] = {};
    const uint32_t want = optional_size < OPTIONAL_READ_SIZE ? optional_size : OPTIONAL_READ_SIZE;
    if (want < 2 || !read_at(file, pe_at + sizeof coff, optional, want))
        return SIGNATURE_NOT_PE;
    const uint32_t magic = optional[0] | optional[1] << 8;
    uint32_t count_at, directories_at;
    if (magic == OPTIONAL_MAGIC_PE32) {
        count_at = PE32_DIRECTORY_COUNT_AT;
        directories_at = PE32_DIRECTORIES_AT;
    } else if (magic == OPTIONAL_MAGIC_PE32_PLUS) {
        count_at = PE32_PLUS_DIRECTORY_COUNT_AT;
        directories_at = PE32_PLUS_DIRECTORIES_AT;
    } else {
        return SIGNATURE_NOT_PE;
    }
    const uint32_t entry_at = directories_at + 8 * DIRECTORY_CERTIFICATE;
    if (want < count_at + 4)
        return SIGNATURE_NOT_PE;
    // An image with fewer directories, or a header too short to hold entry 4,
    // has no certificate table.
    if (load_u32le(optional + count_at) <= DIRECTORY_CERTIFICATE || want < entry_at + 8)
        return SIGNATURE_NONE;
    table->offset = load_u32le(optional + entry_at);
    table->size = load_u32le(optional + entry_at + 4);
    if (table->offset == 0 && table->size == 0)
        return SIGNATURE_NONE;
    return SIGNATURE_FOUND;
}

TablePlacement certificate_table_placement(const CertificateTable& table, uint64_t file_size)
{
    const uint64_t end = static_cast<uint64_t>(table.offset) + table.size;
    if (table.size == 0)
        return TABLE_EMPTY;
    if (end > file_size)
        return TABLE_PAST_END;
    return end < file_size ? TABLE_DATA_AFTER : TABLE_ENDS_FILE;
}
