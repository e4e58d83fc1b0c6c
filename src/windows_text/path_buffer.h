// Fixed-size text buffers that report overflow instead of truncating: a path
// that does not fit its 260-byte buffer is a failure, never a shorter path that
// could name a different file.
#pragma once
#include <cstddef>

// out := a + b + c (any may be null, meaning ""). False, with out = "", when the
// result and its terminator do not fit in cap bytes.
bool text_join(char* out, size_t cap, const char* a, const char* b, const char* c = nullptr);
// out := dir + "\" + name + suffix ("%s\%s" or "%s\%s.tmp"). False when it does not fit.
bool path_join(char* out, size_t cap, const char* dir, const char* name, const char* suffix = nullptr);
// Length of a string stored in a fixed field of `width` bytes that may lack a
// terminator: the field width is the limit.
size_t field_length(const char* field, size_t width);
