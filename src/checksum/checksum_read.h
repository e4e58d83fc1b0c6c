// Reading a file's bytes and checksumming them as they go: the one loop
// behind the staging copy, the dry run's look at a target, the comparison with
// an earlier release, the builder's copy and the checksum command.
#pragma once
#include <cstdint>
#include <vector>
#include "checksum/checksum.h"
#include "platform/file_handle.h"

// One 1 MiB chunk: the granularity at which files are read, checksummed and
// copied, and at which the updater pumps its dialog.
const uint32_t CHUNK_SIZE = 0x100000;

// What becomes of each chunk once it is read and checksummed: written to a
// staged file, counted for progress, a stop polled. False ends the read.
struct ChunkSink {
    virtual bool take(const uint8_t* data, uint32_t n) = 0;

protected:
    ~ChunkSink() = default;
};

enum ChunkReadResult {
    CHUNK_READ_OK,       // all `size` bytes read, checksummed and taken
    CHUNK_READ_SHORT,    // the file ended early or a read failed
    CHUNK_READ_STOPPED,  // the sink ended it
};

// Reads `size` bytes from the current position of `file` through `buffer`
// (grown to CHUNK_SIZE when smaller) in chunks of at most CHUNK_SIZE, feeding
// each into *sum and then to `sink` (may be null). Sizes are 64-bit: a file
// past 4 GiB is read whole, never modulo 2^32.
ChunkReadResult read_and_checksum(FileHandle& file, uint64_t size, std::vector<uint8_t>& buffer,
                                  ContentChecksum* sum, ChunkSink* sink);
