// The file opens of the Win32 layer, described once for both spellings of a
// path: the engine's own ANSI paths go to CreateFileA (platform_win32.cpp),
// and patchtool.exe's host paths to CreateFileW (host_files_win32.cpp), with
// the very same access, sharing and flags, so that a file means the same
// whichever way it was named. Included by those two files only.
#pragma once
#include <windows.h>

struct OpenCall {
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD flags;
};

const OpenCall OPEN_READ = {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                            FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN};
const OpenCall CREATE_WRITE = {GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN};
const OpenCall OPEN_WRITE = {GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_ARCHIVE};
// Never through a link planted at the name.
const OpenCall CREATE_NEW_FILE = {GENERIC_WRITE, 0, CREATE_NEW,
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT};
// What the name itself is: attributes only, everything shared, so that asking
// changes nothing about who may open the file.
const OpenCall PROBE_NAME = {FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS};
// Delete access while sharing everything is refused exactly when some handle
// does not share deletion.
const OpenCall PROBE_DELETE = {DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS};

// A folder, or a link or junction to somewhere else (a name-surrogate reparse
// point), is no file to read. Other reparse points (compressed, deduplicated
// or cloud files) hold their own data.
inline bool names_plain_file(HANDLE probe)
{
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(probe, FileAttributeTagInfo, &tag, sizeof tag))
        return false;
    if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    return !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsReparseTagNameSurrogate(tag.ReparseTag);
}

inline bool same_disk_file(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (GetFileType(b) != FILE_TYPE_DISK || !GetFileInformationByHandle(a, &ia) || !GetFileInformationByHandle(b, &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

// A regular file opened for reading, by open(const OpenCall&). The probe reads
// what the name is; the real open then follows the usual sharing rules and
// must land on the very file the probe saw.
template <typename Open>
HANDLE open_regular_file(Open open)
{
    HANDLE probe = open(PROBE_NAME);
    if (probe == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    HANDLE h = INVALID_HANDLE_VALUE;
    if (names_plain_file(probe)) {
        h = open(OPEN_READ);
        if (h != INVALID_HANDLE_VALUE && !same_disk_file(probe, h)) {
            CloseHandle(h);
            h = INVALID_HANDLE_VALUE;
        }
    }
    CloseHandle(probe);
    return h;
}

// See os_file_replaceable (platform.h).
template <typename Open>
bool file_replaceable(Open open)
{
    HANDLE h = open(PROBE_DELETE);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return true;
}

// The attributes os_set_attributes keeps: read-only, hidden and system.
inline DWORD kept_attributes(uint32_t attributes)
{
    const DWORD kept = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

const DWORD MOVE_FLAGS = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
