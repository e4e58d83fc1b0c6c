// Building an updater file: the stub image zero-filled up to 0x28000, the
// caption block, the archive header and index, then the entries' bytes back
// to back from offset 0. The first entry is the shipped hash list "KXQ.hvl",
// one record per file (its relative path and content checksum). Portable: all
// paths and texts are code page 932 and every file access goes through
// FileHandle.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct BuilderFile {
    std::string name;    // bare file name stored in the index
    std::string path;    // relative path with "\" stored in the shipped list
    std::string source;  // where its bytes are read from
};

struct BuilderOptions {
    std::string stub;                 // the executable image
    std::string caption;              // caption block text
    uint32_t form = 128;              // index entry size: 128 or 32
    uint32_t hash_list_version = 2;   // shipped list records: 2 (256 bytes) or 1 (64)
    std::string out;                  // the updater file to write
};

// File positions at or above 2 GiB are unreachable for the updater's reader:
// no entry, and no updater file, may reach them.
const uint64_t BUILDER_FILE_LIMIT = 0x7FFFFFFFu;

// Reports long work: bytes of entry data written so far, of `total`.
typedef void (*BuilderProgress)(void* context, uint64_t done, uint64_t total);

// Refusals that need no file access: form, version, caption, entry count,
// name and path lengths, bare names, two files with one name (compared as the
// updater compares them), and every path the updater's check_targets refuses
// (outside the folder, a name Windows refuses, two paths on one file, a file
// and its temporary name, one of the lists). "" when the updater would
// install it, else the reason.
std::string check_builder_input(const BuilderOptions& options, const std::vector<BuilderFile>& files);
// The updater's own path rules over every file, as check_targets applies them
// (target_problem, and targets_overlap with every earlier file): "" when the
// updater would write each where its path says, else the reason for the first
// file it would refuse. Checked
// before any file is read, so that no patch is built that every player's
// updater would refuse or install wrongly.
std::string check_source_paths(const std::vector<BuilderFile>& files);
// "" when a source of `size` bytes fits an entry, else the refusal naming it.
std::string check_source_size(const BuilderFile& file, uint64_t size);
enum BuildStatus {
    BUILD_OK,
    BUILD_REFUSED,   // the format cannot hold the input (check_builder_input, stub size, a signed
                     // stub, 2 GiB)
    BUILD_FAILED     // a file could not be read or written
};
// Every check build_updater makes before it writes: check_builder_input, then
// the stub (a regular file, at most 0x28000 bytes, unsigned) and every
// source's size, and the layout they give. What build_updater would return
// for them, with *message; a dry run's answer.
BuildStatus check_build(const BuilderOptions& options, const std::vector<BuilderFile>& files,
                        std::string* message);
// check_build, then writes options.out through a sibling "<out>.tmp" created
// afresh (whatever had that name, a link included, is removed as a name and
// never written through) and renamed into place. On a refusal or failure
// *message says why and no output file (and no temporary file) is left behind.
// `progress` may be null.
BuildStatus build_updater(const BuilderOptions& options, const std::vector<BuilderFile>& files,
                          BuilderProgress progress, void* context, std::string* message);
// The shipped hash list bytes for `paths` with `checksums` (8 bytes each), in
// version 1 or 2. Paths must fit their field (check_builder_input).
std::vector<uint8_t> make_hash_list_bytes(uint32_t version, const std::vector<std::string>& paths,
                                          const std::vector<std::array<uint8_t, 8>>& checksums);
