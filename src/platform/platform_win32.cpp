// The platform interface with exactly the Win32 calls and flags the updater is
// defined with. Nothing here adds behaviour of its own, except that a module
// path that does not fit is reported as a failure instead of a truncated path,
// and the two guards against names planted in the game folder (platform.h):
// CREATE_NEW without following a link, and the reading of regular files only.
#include "platform/platform.h"

#include "platform/file_calls_win32.h"

namespace {

HANDLE to_handle(OsHandle h)
{
    return reinterpret_cast<HANDLE>(h);
}

OsHandle from_handle(HANDLE h)
{
    return reinterpret_cast<OsHandle>(h);
}

HANDLE open_ansi(const char* path, const OpenCall& c)
{
    return CreateFileA(path, c.access, c.share, nullptr, c.disposition, c.flags, nullptr);
}

}  // namespace

static_assert(sizeof(OsHandle) == sizeof(HANDLE), "OsHandle carries a HANDLE");

OsHandle os_open_read(const char* path)
{
    return from_handle(open_ansi(path, OPEN_READ));
}

OsHandle os_create_write(const char* path)
{
    return from_handle(open_ansi(path, CREATE_WRITE));
}

OsHandle os_open_write(const char* path)
{
    return from_handle(open_ansi(path, OPEN_WRITE));
}

OsHandle os_create_new(const char* path)
{
    return from_handle(open_ansi(path, CREATE_NEW_FILE));
}

OsHandle os_open_read_regular(const char* path)
{
    return from_handle(open_regular_file([path](const OpenCall& c) { return open_ansi(path, c); }));
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
    return MoveFileExA(from, to, MOVE_FLAGS) != 0;
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
    return file_replaceable([path](const OpenCall& c) { return open_ansi(path, c); });
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
    return SetFileAttributesA(path, kept_attributes(attributes)) != 0;
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
