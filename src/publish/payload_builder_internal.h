// Pieces of the updater-file writer shared by payload_builder*.cpp.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/file_handle.h"
#include "publish/payload_builder.h"

// Where everything lands once the sizes are known.
struct BuilderLayout {
    std::vector<uint32_t> sizes;   // entry sizes: the hash list, then each file
    uint32_t data_base = 0;        // 0x28410 + count * form
    uint64_t data_total = 0;       // bytes of entry data
};

// Copies the stub and zero-fills up to 0x28000. False with *message.
bool write_stub(FileHandle& out, const std::string& stub, std::string* message);
// Caption block, archive header and index for `layout`. False on a short write.
bool write_directory(FileHandle& out, const BuilderOptions& options,
                     const std::vector<BuilderFile>& files, const BuilderLayout& layout);
// Writes n zero bytes. False on a short write.
bool write_zeros(FileHandle& out, uint32_t n);
// Appends `size` bytes of `source` to `out`, computing their checksum.
bool copy_source(FileHandle& out, const BuilderFile& file, uint32_t size, std::vector<uint8_t>& buffer,
                 uint8_t checksum[8], std::string* message);
