// Byte counts as the reports print them.
#pragma once
#include <cstdint>
#include <string>

// "512 bytes", "3.4 KiB", "12.0 MiB", "1.5 GiB": one decimal from KiB on.
std::string size_text(uint64_t bytes);
