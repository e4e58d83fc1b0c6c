// Host paths: the folders and files a user names on patchtool's command line,
// and so the folder under which a release or an installation lies. They are
// spelled as the host system spells them and follow none of the updater's
// rules; only the paths inside them do (code page 932, the names Windows
// refuses, 260 bytes). The engine reaches a host path through a short seam
// path, so its fixed 260-byte buffers hold that and the path inside, never the
// host folder's own spelling, however deep it lies.
#pragma once
#include <cstddef>
#include <string>

// *seam := the seam path that names `host` (UTF-8 as given): a 4-byte marker,
// "\x01" and three digits, which the posix layer, and patchtool.exe's wide
// calls (host_files_win32.cpp), replace by the host spelling byte for byte; a
// control character, so that no path the rules let through can look like
// one. seam + "\" + inside names a path inside it, under the usual rules;
// seam + a suffix of the program's own (".tmp") the host path with that
// suffix. One host gets one marker. False for an empty host, one with a NUL,
// one longer than the system takes, or past 1000 hosts.
bool os_host_root(const std::string& host, std::string* seam);
// The host spelling (UTF-8) of the marker that begins `text`, with *length :=
// the marker's length; null when `text` begins with none.
const std::string* os_host_root_at(const char* text, size_t* length);
