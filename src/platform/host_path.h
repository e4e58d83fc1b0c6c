// How the posix layer finds the Linux file an ANSI path names, the way Wine
// does: code page 932 text converted to UTF-8, "\" and "/" both separators,
// and each component that exists matched without regard to case. Each folder
// is read once for the case-insensitive matches, not once per lookup.
#pragma once
#include <string>

// *out := the host path for `path`. Components that exist are replaced by the
// name on disk (an exact match first, else the first name in byte order that
// is equal after the Windows lower-case mapping); the first missing one and
// everything after it stay as given. A path that begins with a registered
// host path's marker (host_root.h) is that host path, spelled as registered,
// with the rest resolved inside it. False for a path of 260 bytes or more
// (MAX_PATH, terminator included; a marker counts as its own 4 bytes), an
// empty one, one that does not convert, or one with a name CreateFileA
// refuses or opens as a device (inside a host path: below it).
bool host_path(const char* path, std::string* out);
// True when `path` is a registered host path itself, perhaps with a suffix of
// the program's own, and so names nothing that was resolved.
bool host_path_names_root(const char* path);
// The layer's own change of the folder that holds `host` (a path host_path
// gave): a name created, renamed or deleted there. The lookup forgets what it
// knew of that folder. Changes made by anyone else are noticed through the
// folder's modification time.
void host_folder_changed(const std::string& host);
// *out := the code page 932 text `name` as UTF-8, without looking at the disk.
bool host_name(const char* name, std::string* out);
// Case-insensitive equality of two UTF-8 names under the Windows lower-case
// mapping, unit by unit; false when either is not valid UTF-8.
bool host_names_equal(const std::string& a, const std::string& b);
// *out := the host path `utf8` as code page 932; false when a character has no
// 932 form or the result is 260 bytes or more.
bool host_path_to_ansi(const std::string& utf8, std::string* out);
