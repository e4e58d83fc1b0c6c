// What the fuzz targets share: a private scratch folder, and writing an input
// to a file there, because the readers under test work on files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The process's scratch folder (created on first use, under TMPDIR or /tmp).
const std::string& fuzz_scratch_dir();
// Writes `prefix_zeros` zero bytes then `data` to scratch/`name`; returns the path.
std::string fuzz_write_file(const char* name, const uint8_t* data, size_t size, size_t prefix_zeros = 0);
