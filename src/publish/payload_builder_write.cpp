// Writing the sections of an updater file.
#include <array>
#include <cstring>

#include "checksum/checksum_read.h"
#include "hash_list/hash_list_format.h"
#include "payload/payload_format.h"
#include "platform/little_endian.h"
#include "publish/payload_builder_internal.h"

bool write_zeros(FileHandle& out, uint32_t n)
{
    static const uint8_t zeros[4096] = {};
    while (n > 0) {
        uint32_t chunk = n < sizeof zeros ? n : static_cast<uint32_t>(sizeof zeros);
        if (out.write(zeros, chunk) != chunk)
            return false;
        n -= chunk;
    }
    return true;
}

bool write_stub(FileHandle& out, const std::string& stub, std::string* message)
{
    FileHandle in;
    if (!in.open_read_regular(stub.c_str())) {
        *message = "cannot open the stub " + stub + " (missing, or not a regular file)";
        return false;
    }
    const uint64_t whole = in.size64();
    if (whole > PAYLOAD_IMAGE_LIMIT) {
        *message = "the stub is larger than 0x28000 bytes, where the caption block starts";
        return false;
    }
    const uint32_t size = static_cast<uint32_t>(whole);
    std::vector<uint8_t> image(size);
    if (size > 0 && in.read(image.data(), size) != size) {
        *message = "cannot read the stub " + stub;
        return false;
    }
    if ((size > 0 && out.write(image.data(), size) != size) || !write_zeros(out, PAYLOAD_IMAGE_LIMIT - size)) {
        *message = "cannot write the stub into the updater";
        return false;
    }
    return true;
}

bool write_directory(FileHandle& out, const BuilderOptions& options, const std::vector<BuilderFile>& files,
                     const BuilderLayout& layout)
{
    const PayloadEntryForm& form = options.form == 128 ? PAYLOAD_FORM_128 : PAYLOAD_FORM_32;
    const uint32_t count = static_cast<uint32_t>(layout.sizes.size());
    std::vector<uint8_t> block(PAYLOAD_CAPTION_SIZE + PAYLOAD_HEADER_SIZE + count * form.entry_size, 0);
    std::memcpy(block.data(), options.caption.data(), options.caption.size());
    uint8_t* header = block.data() + PAYLOAD_CAPTION_SIZE;
    std::memcpy(header + PAYLOAD_HEADER_MAGIC, options.form == 128 ? PAYLOAD_MAGIC_128 : PAYLOAD_MAGIC_32, 12);
    store_u32le(header + PAYLOAD_HEADER_COUNT, count);
    uint8_t* entry = header + PAYLOAD_HEADER_SIZE;
    uint32_t offset = 0;
    for (uint32_t j = 0; j < count; ++j, entry += form.entry_size) {
        const std::string& name = j == 0 ? std::string(HASH_LIST_NAME) : files[j - 1].name;
        std::memcpy(entry, name.data(), name.size());
        store_u32le(entry + form.offset_at, offset);
        store_u32le(entry + form.size_at, layout.sizes[j]);
        offset += layout.sizes[j];
    }
    const uint32_t n = static_cast<uint32_t>(block.size());
    return out.write(block.data(), n) == n;
}

namespace {

// Each chunk, once checksummed, goes on into the updater file.
struct WriteSink final : ChunkSink {
    FileHandle* out = nullptr;
    bool failed = false;

    bool take(const uint8_t* data, uint32_t n) override
    {
        failed = out->write(data, n) != n;
        return !failed;
    }
};

}  // namespace

bool copy_source(FileHandle& out, const BuilderFile& file, uint32_t size, std::vector<uint8_t>& buffer,
                 uint8_t checksum[8], std::string* message)
{
    FileHandle in;
    ContentChecksum sum = {};
    if (!in.open_read_regular(file.source.c_str()) || in.size64() != size) {
        *message = "cannot read " + file.source + " (changed while building?)";
        return false;
    }
    WriteSink sink;
    sink.out = &out;
    if (read_and_checksum(in, size, buffer, &sum, &sink) != CHUNK_READ_OK) {
        *message = sink.failed ? "cannot write the updater (disk full?)" : "cannot read " + file.source;
        return false;
    }
    std::memcpy(checksum, sum.bytes, sizeof sum.bytes);
    return true;
}

std::vector<uint8_t> make_hash_list_bytes(uint32_t version, const std::vector<std::string>& paths,
                                          const std::vector<std::array<uint8_t, 8>>& checksums)
{
    const uint32_t record = version == 2 ? HASH_RECORD_V2_SIZE : HASH_RECORD_V1_SIZE;
    const uint32_t path_field = version == 2 ? HASH_RECORD_V2_PATH : HASH_RECORD_V1_PATH;
    const uint32_t count = static_cast<uint32_t>(paths.size());
    std::vector<uint8_t> bytes(HASH_HEADER_SIZE + count * record, 0);
    std::memcpy(bytes.data() + HASH_HEADER_MAGIC, version == 2 ? HASH_MAGIC_V2 : HASH_MAGIC_V1, 8);
    store_u32le(bytes.data() + HASH_HEADER_COUNT, count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* r = bytes.data() + HASH_HEADER_SIZE + i * record;
        // A path that would not leave room for its terminator is cut at the
        // field; check_builder_input refuses such paths first.
        size_t n = paths[i].size() < path_field ? paths[i].size() : path_field - 1;
        std::memcpy(r, paths[i].data(), n);
        std::memcpy(r + path_field, checksums[i].data(), 8);
    }
    return bytes;
}
