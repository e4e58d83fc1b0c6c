// Rewriting a list file the safe way: the new bytes go to a sibling of our
// own beside it, reach the disk, and only then replace the list by one move,
// so that any failure leaves the old list whole. KXQ.hvl and uninst.lst are
// both rewritten through it.
#pragma once
#include <cstdint>
#include "platform/file_handle.h"

// A read-only list, or a folder of its name, is not replaced (Windows
// refuses to; Wine lets MoveFileExA do it, so the attribute is checked).
// `attributes` as os_get_attributes gives them; a missing list is replaceable.
bool refuses_replacing(uint32_t attributes);

// Writes `first` then `second` (either may be empty) to `sibling` with `file`
// (closed on entry; the sibling created fresh, so a planted name is removed,
// never followed), flushes it, gives it the list's hidden and system
// attributes and moves it over `target`. False, with the sibling deleted and
// `target` as it was, when the list refuses replacing, `file` is still open,
// or any step fails.
bool rewrite_beside(FileHandle& file, const char* target, const char* sibling, const void* first,
                    uint32_t first_size, const void* second, uint32_t second_size);
