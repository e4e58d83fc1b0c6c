#include "checksum/checksum_read.h"

ChunkReadResult read_and_checksum(FileHandle& file, uint64_t size, std::vector<uint8_t>& buffer,
                                  ContentChecksum* sum, ChunkSink* sink)
{
    if (buffer.size() < CHUNK_SIZE)
        buffer.resize(CHUNK_SIZE);
    for (uint64_t done = 0; done < size;) {
        const uint32_t chunk = size - done < CHUNK_SIZE ? static_cast<uint32_t>(size - done) : CHUNK_SIZE;
        // The checksum runs over the bytes as read, before anything is done
        // with them, so damage is caught whatever a writer does afterwards.
        if (file.read(buffer.data(), chunk) != chunk)
            return CHUNK_READ_SHORT;
        checksum_update(sum, buffer.data(), chunk);
        done += chunk;
        if (sink && !sink->take(buffer.data(), chunk))
            return CHUNK_READ_STOPPED;
    }
    return CHUNK_READ_OK;
}
