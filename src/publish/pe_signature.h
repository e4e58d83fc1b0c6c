// The Authenticode signature of an executable, as far as the publisher's
// tools need it: where its certificate table lies. Signing appends that table
// at the end of the file (after the updater's payload) and records it in the
// PE optional header's data directory 4, whose address is a file offset.
// Portable: reads through FileHandle.
#pragma once
#include <cstdint>
#include "platform/file_handle.h"

struct CertificateTable {
    uint32_t offset = 0;  // file offset of the table
    uint32_t size = 0;    // its length in bytes
};

enum SignatureStatus {
    SIGNATURE_NONE,    // a PE image whose certificate directory is empty
    SIGNATURE_FOUND,   // *table holds the directory entry, as stored
    SIGNATURE_NOT_PE   // no "MZ" / "PE\0\0" headers, or they are cut short
};

// Where a found table lies in its file. Signing appends the table last, and
// the signature covers neither the table nor anything after it: bytes there
// would reach a player unsigned, and an empty table signs nothing.
enum TablePlacement {
    TABLE_ENDS_FILE,   // a non-empty table that ends exactly at the end of the file
    TABLE_EMPTY,       // size 0
    TABLE_PAST_END,    // runs past the end of the file
    TABLE_DATA_AFTER   // more bytes follow it
};
TablePlacement certificate_table_placement(const CertificateTable& table, uint64_t file_size);

// Reads the DOS and PE headers of the open `file` (PE32 or PE32+) and its
// certificate directory entry. Moves the file position; never fails otherwise:
// a short read is SIGNATURE_NOT_PE.
SignatureStatus read_certificate_table(FileHandle& file, CertificateTable* table);
