// patchtool.exe's file calls on host paths. A publisher's folders are named
// in UTF-16 on the command line and may hold characters code page 932 lacks
// or lie deeper than 260 characters, which the "A" calls of the layer cannot
// reach. The seam path of such a folder begins with its marker (host_root.h);
// the functions here take every seam call of the tool at link time (the
// linker's --wrap, as tools/patchtool/CMakeLists.txt sets it up) and make a
// marked path's call through the "W" function with the same access, sharing
// and flags (file_calls_win32.h). Any other path goes on to the layer's own
// function unchanged. updater.exe is linked without --wrap and so never
// carries this file.
//
// The symbols are the seam's C++ names under MinGW; a name that matches no
// seam function fails the link, because its __real_ has no definition.
#include <string>

#include "platform/file_calls_win32.h"
#include "platform/host_files_win32.h"
#include "platform/host_root.h"
#include "platform/platform.h"

#define LABEL_TEXT(x) #x
#define LABEL(x) LABEL_TEXT(x)
#define HOST_TAKES(symbol) __asm__(LABEL(__USER_LABEL_PREFIX__) "__wrap_" symbol)
#define SEAM_GIVES(symbol) __asm__(LABEL(__USER_LABEL_PREFIX__) "__real_" symbol)

namespace {

bool append_wide(UINT code_page, const char* text, size_t n, std::wstring* out)
{
    if (n == 0)
        return true;
    if (n > 0x7fffffff)
        return false;
    const int len = static_cast<int>(n);
    const int units = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text, len, nullptr, 0);
    if (units <= 0)
        return false;
    const size_t at = out->size();
    out->resize(at + static_cast<size_t>(units));
    return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text, len, &(*out)[at], units) == units;
}

// The path the system reads from `typed`: made absolute against the current
// folder, "/" read as "\", the trailing dots and spaces of a name dropped, as
// every Win32 call reads a path; then given the prefix that lifts the
// 260-character limit, under which the system takes the path as it stands.
bool system_path(const std::wstring& typed, std::wstring* out)
{
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(typed.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (n == 0)
            return false;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);  // n counts the terminator when the buffer was short
    }
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
        *out = full;
    else if (full.compare(0, 2, L"\\\\") == 0)
        *out = L"\\\\?\\UNC\\" + full.substr(2);
    else
        *out = L"\\\\?\\" + full;
    return true;
}

enum PathKind { ANSI_PATH, HOST_PATH, UNUSABLE_PATH };

// A seam path that begins with a host folder's marker: *wide := the folder's
// own spelling (UTF-8) and the rest of the path (code page 932, "\" inside)
// as the system reads them together.
PathKind wide_path(const char* path, std::wstring* wide)
{
    size_t marker = 0;
    const std::string* host = os_host_root_at(path, &marker);
    if (!host)
        return ANSI_PATH;
    const char* rest = path + marker;
    std::wstring typed;
    if (!append_wide(CP_UTF8, host->data(), host->size(), &typed) ||
        !append_wide(CODE_PAGE_932, rest, std::char_traits<char>::length(rest), &typed) ||
        !system_path(typed, wide)) {
        SetLastError(ERROR_INVALID_NAME);
        return UNUSABLE_PATH;
    }
    return HOST_PATH;
}

// Calls wide(path) for a host path, ansi() for any other; `failed` when a
// host path does not convert.
template <typename Wide, typename Ansi, typename Result>
Result by_path(const char* path, Wide wide, Ansi ansi, Result failed)
{
    std::wstring w;
    switch (wide_path(path, &w)) {
    case ANSI_PATH:
        return ansi();
    case HOST_PATH:
        return wide(w.c_str());
    default:
        return failed;
    }
}

// Both paths of a move or link: the wide call when either is a host path, the
// other then read in the ANSI code page, as the "A" call would have read it.
template <typename Wide, typename Ansi>
bool by_paths(const char* a, const char* b, Wide wide, Ansi ansi)
{
    std::wstring wa, wb;
    const PathKind ka = wide_path(a, &wa);
    const PathKind kb = wide_path(b, &wb);
    if (ka == ANSI_PATH && kb == ANSI_PATH)
        return ansi();
    if (ka == UNUSABLE_PATH || kb == UNUSABLE_PATH)
        return false;
    if ((ka == ANSI_PATH && !append_wide(CP_ACP, a, std::char_traits<char>::length(a), &wa)) ||
        (kb == ANSI_PATH && !append_wide(CP_ACP, b, std::char_traits<char>::length(b), &wb))) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return wide(wa.c_str(), wb.c_str());
}

HANDLE open_wide(const wchar_t* path, const OpenCall& c)
{
    return CreateFileW(path, c.access, c.share, nullptr, c.disposition, c.flags, nullptr);
}

OsHandle opened(const char* path, const OpenCall& c, OsHandle (*ansi)(const char*))
{
    return by_path(
        path, [&](const wchar_t* w) { return reinterpret_cast<OsHandle>(open_wide(w, c)); },
        [&] { return ansi(path); }, OS_INVALID_HANDLE);
}

}  // namespace

bool host_wide_path(const std::string& utf8, std::wstring* out)
{
    std::wstring typed;
    return append_wide(CP_UTF8, utf8.data(), utf8.size(), &typed) && !typed.empty() && system_path(typed, out);
}

OsHandle host_open_read(const char*) HOST_TAKES("_Z12os_open_readPKc");
OsHandle seam_open_read(const char*) SEAM_GIVES("_Z12os_open_readPKc");
OsHandle host_open_read(const char* path)
{
    return opened(path, OPEN_READ, seam_open_read);
}

OsHandle host_create_write(const char*) HOST_TAKES("_Z15os_create_writePKc");
OsHandle seam_create_write(const char*) SEAM_GIVES("_Z15os_create_writePKc");
OsHandle host_create_write(const char* path)
{
    return opened(path, CREATE_WRITE, seam_create_write);
}

OsHandle host_open_write(const char*) HOST_TAKES("_Z13os_open_writePKc");
OsHandle seam_open_write(const char*) SEAM_GIVES("_Z13os_open_writePKc");
OsHandle host_open_write(const char* path)
{
    return opened(path, OPEN_WRITE, seam_open_write);
}

OsHandle host_create_new(const char*) HOST_TAKES("_Z13os_create_newPKc");
OsHandle seam_create_new(const char*) SEAM_GIVES("_Z13os_create_newPKc");
OsHandle host_create_new(const char* path)
{
    return opened(path, CREATE_NEW_FILE, seam_create_new);
}

OsHandle host_open_read_regular(const char*) HOST_TAKES("_Z20os_open_read_regularPKc");
OsHandle seam_open_read_regular(const char*) SEAM_GIVES("_Z20os_open_read_regularPKc");
OsHandle host_open_read_regular(const char* path)
{
    return by_path(
        path,
        [](const wchar_t* w) {
            return reinterpret_cast<OsHandle>(open_regular_file([w](const OpenCall& c) { return open_wide(w, c); }));
        },
        [&] { return seam_open_read_regular(path); }, OS_INVALID_HANDLE);
}

bool host_set_normal_attributes(const char*) HOST_TAKES("_Z24os_set_normal_attributesPKc");
bool seam_set_normal_attributes(const char*) SEAM_GIVES("_Z24os_set_normal_attributesPKc");
bool host_set_normal_attributes(const char* path)
{
    return by_path(
        path, [](const wchar_t* w) { return SetFileAttributesW(w, FILE_ATTRIBUTE_NORMAL) != 0; },
        [&] { return seam_set_normal_attributes(path); }, false);
}

bool host_set_readonly(const char*) HOST_TAKES("_Z15os_set_readonlyPKc");
bool seam_set_readonly(const char*) SEAM_GIVES("_Z15os_set_readonlyPKc");
bool host_set_readonly(const char* path)
{
    return by_path(
        path, [](const wchar_t* w) { return SetFileAttributesW(w, FILE_ATTRIBUTE_READONLY) != 0; },
        [&] { return seam_set_readonly(path); }, false);
}

bool host_set_attributes(const char*, uint32_t) HOST_TAKES("_Z17os_set_attributesPKcj");
bool seam_set_attributes(const char*, uint32_t) SEAM_GIVES("_Z17os_set_attributesPKcj");
bool host_set_attributes(const char* path, uint32_t attributes)
{
    return by_path(
        path, [&](const wchar_t* w) { return SetFileAttributesW(w, kept_attributes(attributes)) != 0; },
        [&] { return seam_set_attributes(path, attributes); }, false);
}

bool host_delete_file(const char*) HOST_TAKES("_Z14os_delete_filePKc");
bool seam_delete_file(const char*) SEAM_GIVES("_Z14os_delete_filePKc");
bool host_delete_file(const char* path)
{
    return by_path(
        path, [](const wchar_t* w) { return DeleteFileW(w) != 0; }, [&] { return seam_delete_file(path); }, false);
}

uint32_t host_get_attributes(const char*) HOST_TAKES("_Z17os_get_attributesPKc");
uint32_t seam_get_attributes(const char*) SEAM_GIVES("_Z17os_get_attributesPKc");
uint32_t host_get_attributes(const char* path)
{
    return by_path(
        path, [](const wchar_t* w) { return static_cast<uint32_t>(GetFileAttributesW(w)); },
        [&] { return seam_get_attributes(path); }, OS_INVALID_ATTRIBUTES);
}

bool host_file_replaceable(const char*) HOST_TAKES("_Z19os_file_replaceablePKc");
bool seam_file_replaceable(const char*) SEAM_GIVES("_Z19os_file_replaceablePKc");
bool host_file_replaceable(const char* path)
{
    return by_path(
        path, [](const wchar_t* w) { return file_replaceable([w](const OpenCall& c) { return open_wide(w, c); }); },
        [&] { return seam_file_replaceable(path); }, true);
}

bool host_free_space(const char*, uint64_t*) HOST_TAKES("_Z13os_free_spacePKcPy");
bool seam_free_space(const char*, uint64_t*) SEAM_GIVES("_Z13os_free_spacePKcPy");
bool host_free_space(const char* dir, uint64_t* bytes)
{
    return by_path(
        dir,
        [&](const wchar_t* w) {
            // A folder named through the prefix, a share above all, is asked
            // about with its closing separator.
            std::wstring folder(w);
            if (folder.back() != L'\\')
                folder += L'\\';
            ULARGE_INTEGER available;
            if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
                return false;
            *bytes = available.QuadPart;
            return true;
        },
        [&] { return seam_free_space(dir, bytes); }, false);
}

bool host_move_replace(const char*, const char*) HOST_TAKES("_Z15os_move_replacePKcS0_");
bool seam_move_replace(const char*, const char*) SEAM_GIVES("_Z15os_move_replacePKcS0_");
bool host_move_replace(const char* from, const char* to)
{
    return by_paths(
        from, to, [](const wchar_t* f, const wchar_t* t) { return MoveFileExW(f, t, MOVE_FLAGS) != 0; },
        [&] { return seam_move_replace(from, to); });
}

bool host_hard_link(const char*, const char*) HOST_TAKES("_Z12os_hard_linkPKcS0_");
bool seam_hard_link(const char*, const char*) SEAM_GIVES("_Z12os_hard_linkPKcS0_");
bool host_hard_link(const char* existing, const char* new_name)
{
    return by_paths(
        existing, new_name, [](const wchar_t* e, const wchar_t* n) { return CreateHardLinkW(n, e, nullptr) != 0; },
        [&] { return seam_hard_link(existing, new_name); });
}
