// What the fuzz targets share: a private scratch folder on disk, for readers
// that take a host file, and an installation folder in the in-memory file
// tree (memory_files.h), for the list readers and writers, which would
// otherwise spend nearly all their time in the file system.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The process's scratch folder (created on first use, under TMPDIR or /tmp).
const std::string& fuzz_scratch_dir();
// Writes `prefix_zeros` zero bytes then `data` to scratch/`name`; returns the path.
std::string fuzz_write_file(const char* name, const uint8_t* data, size_t size, size_t prefix_zeros = 0);
// Switches the seam's file functions to a fresh in-memory tree holding the empty
// installation folder "C:\Game" and its "Archive" sub-folder, puts `data` in
// it as `name`, and returns the folder.
const char* fuzz_memory_game(const char* name, const uint8_t* data, size_t size);
