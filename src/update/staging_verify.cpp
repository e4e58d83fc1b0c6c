// Copying one entry into its temporary file, and verifying what was copied.
#include <cstring>

#include "update/stop_flags.h"
#include "update/transaction_steps.h"

namespace {

// done * 65535 / size with a 64-bit intermediate, truncated: a finished
// file stands at exactly 65535.
uint32_t file_position(uint32_t done, uint32_t size)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(done) * FILE_PROGRESS_MAX / size);
}

}  // namespace

bool copy_entry(UpdateSession& s, uint32_t j, FileHandle* tmp, ContentChecksum* sum)
{
    const uint32_t size = entry_size(s.index, j);
    uint32_t done = 0;
    uint32_t chunk = COPY_CHUNK_SIZE;
    while (done < size && !stop_requested()) {
        if (chunk > size - done)
            chunk = size - done;
        // The checksum runs over the bytes as read, before they are written,
        // so a damaged payload is caught whatever the disk does.
        if (s.payload.read(s.buffer.data(), chunk) != chunk)
            return false;
        checksum_update(sum, s.buffer.data(), chunk);
        if (tmp && tmp->write(s.buffer.data(), chunk) != chunk) {
            s.result = UPDATE_E_FAILED;
            return false;
        }
        done += chunk;
        s.progress->set_file_position(file_position(done, size));
        if (pump_and_poll(s))
            return false;
    }
    return done == size;
}

bool verify_entry(UpdateSession& s, uint32_t j, const ContentChecksum& sum)
{
    StagedEntry& e = s.entries[j];
    // Entries the shipped list does not know are installed unverified and
    // left out of the installed list.
    if (!e.has_expected)
        return true;
    ContentChecksum expected;
    std::memcpy(expected.bytes, e.expected, sizeof expected.bytes);
    if (!checksum_equal(sum, expected))
        return false;
    upsert(&s.installed, e.installed_index, e.path, sum.bytes);
    return true;
}
