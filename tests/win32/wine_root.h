// Whether the Wine running these tests runs as the Unix root user. Wine maps
// the read-only attribute to Unix permission bits and lets the kernel refuse
// writes, which it does not do for root; the checks that rely on it are only
// meaningful for another user. Wine reports the Unix user name as the Windows one.
#pragma once
#include <windows.h>

#include <cstring>

inline bool wine_runs_as_root()
{
    char name[64];
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) && std::strcmp(name, "root") == 0;
}
