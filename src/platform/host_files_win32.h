// What patchtool.exe's wide calls make of a host path, for the tool's own
// Win32 code that reads host folders (its folder walk).
#pragma once
#include <string>

// *out := the host path `utf8` as the system reads it (absolute, "/" as "\",
// trailing dots and spaces of a name dropped), with the prefix that lifts the
// 260-character limit. False when it is not valid UTF-8 or cannot be read so.
bool host_wide_path(const std::string& utf8, std::wstring* out);
