// The platform interface with exactly the Win32 calls and flags the updater is
// defined with. Nothing here adds behaviour of its own, except that a module
// path that does not fit is reported as a failure instead of a truncated path,
// and the two guards against names planted in the game folder (platform.h):
// CREATE_NEW without following a link, and the reading of regular files only.
#include "platform/platform.h"

#include <windows.h>

namespace {

HANDLE to_handle(OsHandle h)
{
    return reinterpret_cast<HANDLE>(h);
}

OsHandle from_handle(HANDLE h)
{
    return reinterpret_cast<OsHandle>(h);
}

}  // namespace

static_assert(sizeof(OsHandle) == sizeof(HANDLE), "OsHandle carries a HANDLE");

OsHandle os_open_read(const char* path)
{
    return from_handle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

OsHandle os_create_write(const char* path)
{
    return from_handle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

OsHandle os_open_write(const char* path)
{
    return from_handle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_ARCHIVE, nullptr));
}

OsHandle os_create_new(const char* path)
{
    return from_handle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
}

namespace {

// What the name itself is: a folder, or a link or junction to somewhere else
// (a name-surrogate reparse point), is no file to read. Other reparse points
// (compressed, deduplicated or cloud files) hold their own data.
bool names_plain_file(HANDLE probe)
{
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(probe, FileAttributeTagInfo, &tag, sizeof tag))
        return false;
    if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    return !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsReparseTagNameSurrogate(tag.ReparseTag);
}

bool same_disk_file(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (GetFileType(b) != FILE_TYPE_DISK || !GetFileInformationByHandle(a, &ia) || !GetFileInformationByHandle(b, &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace

OsHandle os_open_read_regular(const char* path)
{
    // The probe reads attributes only and shares everything, so it changes
    // nothing about who may open the file; the real open then follows the
    // usual sharing rules and must land on the very file the probe saw.
    HANDLE probe = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                               nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return OS_INVALID_HANDLE;
    HANDLE h = INVALID_HANDLE_VALUE;
    if (names_plain_file(probe)) {
        h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h != INVALID_HANDLE_VALUE && !same_disk_file(probe, h)) {
            CloseHandle(h);
            h = INVALID_HANDLE_VALUE;
        }
    }
    CloseHandle(probe);
    return from_handle(h);
}

uint32_t os_read(OsHandle h, void* dst, uint32_t n)
{
    DWORD got = 0;
    return ReadFile(to_handle(h), dst, n, &got, nullptr) ? got : 0;
}

uint32_t os_write(OsHandle h, const void* src, uint32_t n)
{
    DWORD put = 0;
    return WriteFile(to_handle(h), src, n, &put, nullptr) ? put : 0;
}

uint32_t os_seek(OsHandle h, uint32_t pos)
{
    return SetFilePointer(to_handle(h), static_cast<LONG>(pos), nullptr, FILE_BEGIN);
}

uint32_t os_size(OsHandle h)
{
    return GetFileSize(to_handle(h), nullptr);
}

bool os_flush(OsHandle h)
{
    return FlushFileBuffers(to_handle(h)) != 0;
}

void os_close(OsHandle h)
{
    CloseHandle(to_handle(h));
}

bool os_set_normal_attributes(const char* path)
{
    return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0;
}

bool os_set_readonly(const char* path)
{
    return SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY) != 0;
}

bool os_move_replace(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool os_delete_file(const char* path)
{
    return DeleteFileA(path) != 0;
}

uint32_t os_get_attributes(const char* path)
{
    return GetFileAttributesA(path);
}

bool os_file_replaceable(const char* path)
{
    // Asking for delete access while sharing everything is refused exactly
    // when some handle does not share deletion.
    HANDLE h = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return true;
}

uint32_t os_own_path(char* buf, uint32_t size)
{
    DWORD n = GetModuleFileNameA(nullptr, buf, size);
    // A full buffer means the path was cut short: a different file's name.
    if (n == 0 || n >= size) {
        if (size)
            buf[0] = '\0';
        return 0;
    }
    return n;
}

int os_to_wide(uint32_t code_page, const char* src, int src_len, uint16_t* dst, int dst_len)
{
    return MultiByteToWideChar(code_page, 0, src, src_len, reinterpret_cast<WCHAR*>(dst), dst_len);
}

int os_to_narrow(uint32_t code_page, const uint16_t* src, int src_len, char* dst, int dst_len)
{
    return WideCharToMultiByte(code_page, 0, reinterpret_cast<const WCHAR*>(src), src_len, dst, dst_len,
                               nullptr, nullptr);
}

void os_ansi_lower(char* text)
{
    unsigned char* p = reinterpret_cast<unsigned char*>(text);
    while (*p) {
        if (!IsDBCSLeadByteEx(CP_ACP, *p)) {
            if (*p >= 'A' && *p <= 'Z')
                *p = static_cast<unsigned char>(*p + ('a' - 'A'));
            ++p;
            continue;
        }
        if (p[1] == 0)
            return;  // a lead byte without its trail byte stays as it is
        // The double-byte character as one unit, so a trail byte that happens
        // to be a capital letter is never folded on its own.
        WCHAR unit = 0;
        WCHAR lower = 0;
        char back[2];
        if (MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<char*>(p), 2, &unit, 1) == 1 &&
            LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_LOWERCASE, &unit, 1, &lower, 1) == 1 && lower != unit &&
            WideCharToMultiByte(CP_ACP, 0, &lower, 1, back, 2, nullptr, nullptr) == 2) {
            p[0] = static_cast<unsigned char>(back[0]);
            p[1] = static_cast<unsigned char>(back[1]);
        }
        p += 2;
    }
}

uint64_t os_size64(OsHandle h)
{
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(to_handle(h), &high);
    // With a high part, INVALID_FILE_SIZE is also a valid low part: only the
    // last error tells a failure.
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return OS_INVALID_FILE_SIZE64;
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool os_set_attributes(const char* path, uint32_t attributes)
{
    const DWORD kept = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    return SetFileAttributesA(path, kept ? kept : FILE_ATTRIBUTE_NORMAL) != 0;
}

void os_wide_lower(uint16_t* units, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        WCHAR unit = units[i];
        WCHAR lower = 0;
        if (LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_LOWERCASE, &unit, 1, &lower, 1) == 1)
            units[i] = lower;
    }
}

bool os_free_space(const char* dir, uint64_t* bytes)
{
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(dir, &available, nullptr, nullptr))
        return false;
    *bytes = available.QuadPart;
    return true;
}

uint32_t os_last_error()
{
    return GetLastError();
}

void os_error_text(uint32_t error, char* out, uint32_t size)
{
    if (size == 0)
        return;
    out[0] = '\0';
    if (error == 0)
        return;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, out,
                             size, nullptr);
    // The system's text ends in CR LF, which a log line does not want.
    while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n'))
        out[--n] = '\0';
    if (n == 0)
        out[0] = '\0';
}

bool os_hard_link(const char* existing, const char* new_name)
{
    return CreateHardLinkA(new_name, existing, nullptr) != 0;
}

bool os_error_transient(uint32_t error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

void os_sleep_ms(uint32_t ms)
{
    Sleep(ms);
}
