// The collision key: which file Windows opens for a relative path. Two paths
// with one key are one file, however they are spelt: components are split at
// "\" and "/", "." and empty components are dropped, the trailing dots and
// spaces of every component are trimmed ("a.arc", "a.arc." and "a.arc " are
// one file), and the characters compare as UTF-16 units after the system's
// lower-case mapping, so the duplicate code page 932 codes of one character
// (0x81E6 and 0x879A) and full-width letters in either case compare as
// Windows compares them. Windows trims only one dot from a folder on the way,
// and refuses a folder with a trailing space; the key trims both, so it may
// call two paths one file when Windows would find the second missing, never
// the other way round.
#pragma once
#include <cstdint>
#include "platform/platform.h"

struct TargetKey {
    uint16_t units[OS_PATH_SIZE];  // lower-cased components joined by "\"
    uint32_t length;
};

// *key := the key of `path` + `suffix` (suffix may be null). False (length 0)
// when the text does not fit a path, or names no file: empty, ending in a
// separator or a "." component, or with a component of only dots and spaces.
bool target_key(TargetKey* key, const char* path, const char* suffix);
bool target_keys_equal(const TargetKey& a, const TargetKey& b);
