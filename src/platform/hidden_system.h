// Taking a file's hidden and system attributes over to the sibling that is
// about to replace it. A list rewritten beside itself and moved into place
// otherwise carries the attributes its sibling was created with, and the
// game's own tools would find a hidden or system list turned ordinary.
#pragma once
#include <cstdint>

// Gives `sibling` the hidden and system bits of `target_attributes` (as
// os_get_attributes read them from the file the sibling replaces), keeping it
// an ordinary archive file otherwise. True at once, with no system call, when
// there is nothing to take over (OS_INVALID_ATTRIBUTES included); false when
// setting the attributes fails.
bool take_over_hidden_system(uint32_t target_attributes, const char* sibling);
