// Name comparison of the update engine: byte equality after the multibyte
// lower-casing of the ANSI code page (os_ansi_lower), each copy made in a
// 260-byte buffer. Not the uninstall list's ASCII-only folding.
#pragma once

// out := lower-cased copy of `name`; false (out = "") when it does not fit 260 bytes.
bool lower_name_copy(char out[260], const char* name);
bool names_equal(const char* a, const char* b);
