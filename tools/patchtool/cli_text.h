// Text at patchtool's edges: the command line and the terminal speak UTF-8,
// the updater's files and paths code page 932.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The program's arguments in UTF-8. The native build takes argv as it is; the
// Win32 build reads the wide command line, since argv there is in the ANSI code
// page and would already have lost what it cannot hold. False on failure.
bool cli_arguments(int argc, char** argv, std::vector<std::string>* out);
// out := `utf8` in code page 932; false when the text is not valid UTF-8 or
// has a character code page 932 cannot hold (checked by converting back).
bool utf8_to_cp932(const std::string& utf8, std::string* out);
// Code page 932 bytes as UTF-8 for display; bytes without a mapping come out
// as the conversion's default characters.
std::string cp932_to_utf8(const std::string& bytes);
// Lowercase hex digits of `n` raw bytes.
std::string hex_text(const void* bytes, size_t n);
