// Checks on the relative paths the payload asks the transaction to write, so
// that a damaged or hostile payload cannot reach outside the installation
// folder. Separators are "\" and "/"; double-byte characters of the ANSI code
// page are stepped over whole, so a trail byte 0x5C is never a separator.
#pragma once
#include <cstdint>

// True when `path` would leave the installation folder: it starts with a
// separator (absolute or UNC), holds a ":" anywhere (a drive, or an NTFS
// stream), or has a component that resolves to the parent folder ("..", and
// ".. " or "..." which Windows trims to it).
bool path_escapes_folder(const char* path);
// out := `path` with every "/" separator replaced by "\", so that two spellings
// of one target compare equal. False (out = "") when it does not fit `cap`.
bool path_with_backslashes(char* out, uint32_t cap, const char* path);
// a + a_suffix and b + b_suffix (suffixes may be null) name the same file:
// "/" and "\" are one separator and letters compare after the engine's
// lower-casing. Texts that do not fit a path are never equal (such an entry
// fails its own length test).
bool paths_name_one_file(const char* a, const char* a_suffix, const char* b, const char* b_suffix);
