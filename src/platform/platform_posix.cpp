// The platform interface over Linux, behaving as Wine does over a Linux
// folder: paths through host_path(), read-only meaning "no write permission
// bit" (checked here, since permission bits do not stop root), and Windows'
// sharing rules among the handles of this process (a file open for writing is
// opened by nobody else; an open file is neither deleted nor replaced). The
// last component of a path is the name itself, as Windows takes it: a link
// there is created over, changed, replaced and deleted as a link, never
// followed.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "windows_text/code_page.h"
#include "platform/fault_injection.h"
#include "platform/host_path.h"

namespace {

struct PosixFile {
    int fd;
    dev_t dev;
    ino_t ino;
    bool writable;
    PosixFile* next;
};

// Every handle this process holds, for the sharing checks and so that a stale
// or foreign handle value is refused instead of dereferenced.
PosixFile* open_files = nullptr;

PosixFile* find_handle(OsHandle h)
{
    for (PosixFile* f = open_files; f; f = f->next) {
        if (reinterpret_cast<OsHandle>(f) == h)
            return f;
    }
    return nullptr;
}

// True when some handle of this process has the file open (any access), or,
// with writers_only, open for writing.
bool file_in_use(const struct stat& st, bool writers_only)
{
    for (PosixFile* f = open_files; f; f = f->next) {
        if (f->dev == st.st_dev && f->ino == st.st_ino && (f->writable || !writers_only))
            return true;
    }
    return false;
}

bool is_read_only(const struct stat& st)
{
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// What Windows refuses to open for writing, create over or delete: a folder, a
// read-only file, and a file that any handle holds (none here shares writing
// or deletion).
bool refuses_exclusive_access(const struct stat& st)
{
    return S_ISDIR(st.st_mode) || is_read_only(st) || file_in_use(st, false);
}

// With `expected`, the descriptor must be that regular file: the name was not
// swapped for another one between the check and the open.
OsHandle register_file(int fd, bool writable, const struct stat* expected = nullptr)
{
    struct stat st;
    if (fstat(fd, &st) != 0 ||
        (expected && (!S_ISREG(st.st_mode) || st.st_dev != expected->st_dev || st.st_ino != expected->st_ino))) {
        close(fd);
        return OS_INVALID_HANDLE;
    }
    PosixFile* f = new PosixFile{fd, st.st_dev, st.st_ino, writable, open_files};
    open_files = f;
    return reinterpret_cast<OsHandle>(f);
}

// chmod of the name itself: fchmodat with AT_SYMLINK_NOFOLLOW refuses a link
// that was swapped in after the caller's lstat, instead of following it.
bool change_mode(const std::string& host, mode_t mode)
{
    return fchmodat(AT_FDCWD, host.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0;
}

bool sync_parent_folder(const std::string& host)
{
    const size_t slash = host.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : host.substr(0, slash);
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

// Hidden and system have no Unix bits. As Wine does, they live in the extended
// attribute "user.DOSATTRIB" as hexadecimal text ("0x6"), so a folder keeps
// them for the updater under Wine too; no attribute means neither.
const char DOS_ATTRIBUTE_NAME[] = "user.DOSATTRIB";
const uint32_t DOS_ATTRIBUTE_MASK = OS_ATTRIBUTE_HIDDEN | OS_ATTRIBUTE_SYSTEM;

uint32_t dos_attributes(const std::string& host)
{
    char text[32];
    const ssize_t n = getxattr(host.c_str(), DOS_ATTRIBUTE_NAME, text, sizeof text - 1);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 16)) & DOS_ATTRIBUTE_MASK;
}

// Removing what is not there (or cannot be there) leaves neither set: success.
bool set_dos_attributes(const std::string& host, uint32_t attributes)
{
    attributes &= DOS_ATTRIBUTE_MASK;
    if (attributes == 0)
        return removexattr(host.c_str(), DOS_ATTRIBUTE_NAME) == 0 || errno == ENODATA || errno == ENOTSUP;
    char text[16];
    const int n = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(attributes));
    return setxattr(host.c_str(), DOS_ATTRIBUTE_NAME, text, static_cast<size_t>(n), 0) == 0;
}

}  // namespace

OsHandle os_open_read(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_OPEN_READ))
        return OS_INVALID_HANDLE;
    if (!host_path(path, &host) || stat(host.c_str(), &st) != 0)
        return OS_INVALID_HANDLE;
    // CreateFileA opens no folder without FILE_FLAG_BACKUP_SEMANTICS, and
    // FILE_SHARE_READ admits no handle that is already writing.
    if (S_ISDIR(st.st_mode) || file_in_use(st, true))
        return OS_INVALID_HANDLE;
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? OS_INVALID_HANDLE : register_file(fd, false);
}

OsHandle os_create_write(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_CREATE_WRITE))
        return OS_INVALID_HANDLE;
    if (!host_path(path, &host))
        return OS_INVALID_HANDLE;
    if (stat(host.c_str(), &st) == 0) {
        if (refuses_exclusive_access(st))  // CREATE_ALWAYS over it
            return OS_INVALID_HANDLE;
    }
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return OS_INVALID_HANDLE;
    host_folder_changed(host);
    return register_file(fd, true);
}

OsHandle os_create_new(const char* path)
{
    std::string host;
    // Counted with the other creates: to a caller both make the file it writes.
    if (fault_injected(FAULT_CREATE_WRITE))
        return OS_INVALID_HANDLE;
    if (!host_path(path, &host))
        return OS_INVALID_HANDLE;
    // O_EXCL fails on any existing name, a dangling link included; the
    // case-insensitive resolution has already turned another spelling of an
    // existing name into that name.
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return OS_INVALID_HANDLE;
    host_folder_changed(host);
    return register_file(fd, true);
}

OsHandle os_open_read_regular(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_OPEN_READ))
        return OS_INVALID_HANDLE;
    if (!host_path(path, &host) || lstat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || file_in_use(st, true))
        return OS_INVALID_HANDLE;
    // O_NONBLOCK: a pipe swapped in after the lstat must not make us wait for
    // a writer; register_file then refuses it as no regular file.
    int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return fd < 0 ? OS_INVALID_HANDLE : register_file(fd, false, &st);
}

OsHandle os_open_write(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_OPEN_WRITE))
        return OS_INVALID_HANDLE;
    if (!host_path(path, &host) || lstat(host.c_str(), &st) != 0)
        return OS_INVALID_HANDLE;
    // As for CREATE_ALWAYS, but the file must be there and stays as it is. It
    // is a file we staged, so anything but that regular file is refused, and
    // a pipe put in its place never blocks the open.
    if (!S_ISREG(st.st_mode) || refuses_exclusive_access(st))
        return OS_INVALID_HANDLE;
    int fd = open(host.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return fd < 0 ? OS_INVALID_HANDLE : register_file(fd, true, &st);
}

uint32_t os_read(OsHandle h, void* dst, uint32_t n)
{
    PosixFile* f = find_handle(h);
    if (!f || f->writable || !fault_transfer_allowed(FAULT_READ, &n))
        return 0;
    // ReadFile on a disk file delivers everything up to the end of the file.
    uint32_t done = 0;
    while (done < n) {
        const size_t want = n - done < 0x40000000u ? n - done : 0x40000000u;
        ssize_t got = read(f->fd, static_cast<char*>(dst) + done, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return 0;
        if (got == 0)
            break;
        done += static_cast<uint32_t>(got);
    }
    return done;
}

uint32_t os_write(OsHandle h, const void* src, uint32_t n)
{
    PosixFile* f = find_handle(h);
    if (!f || !f->writable || !fault_transfer_allowed(FAULT_WRITE, &n))
        return 0;
    uint32_t done = 0;
    while (done < n) {
        const size_t want = n - done < 0x40000000u ? n - done : 0x40000000u;
        ssize_t put = write(f->fd, static_cast<const char*>(src) + done, want);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return 0;
        done += static_cast<uint32_t>(put);
    }
    return done;
}

uint32_t os_seek(OsHandle h, uint32_t pos)
{
    PosixFile* f = find_handle(h);
    // Without a high part SetFilePointer takes the distance as signed: from
    // 0x80000000 on it is a negative position, which fails.
    if (!f || pos >= 0x80000000u || fault_injected(FAULT_SEEK))
        return OS_INVALID_POSITION;
    return lseek(f->fd, static_cast<off_t>(pos), SEEK_SET) == static_cast<off_t>(pos) ? pos : OS_INVALID_POSITION;
}

uint32_t os_size(OsHandle h)
{
    PosixFile* f = find_handle(h);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0)
        return OS_INVALID_FILE_SIZE;
    return static_cast<uint32_t>(static_cast<uint64_t>(st.st_size));
}

bool os_flush(OsHandle h)
{
    PosixFile* f = find_handle(h);
    // FlushFileBuffers needs a handle with write access.
    if (!f || !f->writable || fault_injected(FAULT_FLUSH))
        return false;
    return fsync(f->fd) == 0;
}

void os_close(OsHandle h)
{
    for (PosixFile** link = &open_files; *link; link = &(*link)->next) {
        if (reinterpret_cast<OsHandle>(*link) == h) {
            PosixFile* f = *link;
            *link = f->next;
            close(f->fd);
            delete f;
            return;
        }
    }
}

bool os_set_normal_attributes(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_SET_ATTRIBUTES))
        return false;
    if (!host_path(path, &host) || lstat(host.c_str(), &st) != 0)
        return false;
    // A link is never read-only here, so it has nothing to clear; changing
    // the mode of what it points to would reach a file outside the folder.
    if (S_ISLNK(st.st_mode))
        return true;
    // Write permission first: without it an ordinary user may not change the
    // extended attribute.
    return change_mode(host, (st.st_mode & 07777) | S_IWUSR) && set_dos_attributes(host, 0);
}

bool os_set_readonly(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_SET_ATTRIBUTES))
        return false;
    if (!host_path(path, &host) || lstat(host.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    return change_mode(host, st.st_mode & 07777 & ~(S_IWUSR | S_IWGRP | S_IWOTH));
}

bool os_move_replace(const char* from, const char* to)
{
    std::string src, dst;
    struct stat from_st, to_st;
    if (fault_injected(FAULT_MOVE))
        return false;
    if (!host_path(from, &src) || !host_path(to, &dst) || lstat(src.c_str(), &from_st) != 0 ||
        file_in_use(from_st, false))
        return false;
    // The target's own name decides: a link there is replaced as a link and
    // what it points to stays as it is, read-only or not. A link to a folder
    // counts as a folder, as a directory link does on Windows.
    if (lstat(dst.c_str(), &to_st) == 0) {
        struct stat pointed;
        if (S_ISLNK(to_st.st_mode) && stat(dst.c_str(), &pointed) == 0 && S_ISDIR(pointed.st_mode))
            return false;
        const bool same = to_st.st_dev == from_st.st_dev && to_st.st_ino == from_st.st_ino;
        if (same && !host_path_names_root(to)) {
            // A change of case only: the target resolved to the source itself,
            // so the new last component is taken as written.
            // Split after converting: a trail byte may be 0x5C.
            std::string given;
            if (!host_name(to, &given))
                return false;
            const size_t sep = given.find_last_of("\\/");
            const size_t slash = dst.rfind('/');
            dst = (slash == std::string::npos ? std::string() : dst.substr(0, slash + 1)) +
                  given.substr(sep == std::string::npos ? 0 : sep + 1);
        } else if (S_ISDIR(to_st.st_mode) || is_read_only(to_st) || file_in_use(to_st, false)) {
            // MoveFileExA replaces neither a folder nor a read-only or open
            // file: access denied, or a sharing violation for the open one.
            errno = file_in_use(to_st, false) ? EBUSY : EACCES;
            return false;
        }
    }
    if (rename(src.c_str(), dst.c_str()) != 0)
        return false;
    host_folder_changed(src);
    host_folder_changed(dst);
    return sync_parent_folder(dst);  // MOVEFILE_WRITE_THROUGH
}

bool os_delete_file(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_DELETE))
        return false;
    if (!host_path(path, &host) || lstat(host.c_str(), &st) != 0)
        return false;
    // DeleteFileA; a link is removed itself, what it points to stays.
    if (refuses_exclusive_access(st) || unlink(host.c_str()) != 0)
        return false;
    host_folder_changed(host);
    return true;
}

bool os_file_replaceable(const char* path)
{
    std::string host;
    struct stat st;
    if (!host_path(path, &host) || lstat(host.c_str(), &st) != 0)
        return true;
    // No handle of this layer shares deletion.
    if (!file_in_use(st, false))
        return true;
    errno = EBUSY;
    return false;
}

uint32_t os_get_attributes(const char* path)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_GET_ATTRIBUTES))
        return OS_INVALID_ATTRIBUTES;
    if (!host_path(path, &host) || stat(host.c_str(), &st) != 0)
        return OS_INVALID_ATTRIBUTES;
    uint32_t attributes = S_ISDIR(st.st_mode) ? OS_ATTRIBUTE_DIRECTORY : OS_ATTRIBUTE_ARCHIVE;
    if (is_read_only(st))
        attributes |= OS_ATTRIBUTE_READONLY;
    return attributes | dos_attributes(host);
}

uint32_t os_own_path(char* buf, uint32_t size)
{
    if (fault_injected(FAULT_OWN_PATH))
        return 0;
    char link[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", link, sizeof link);
    std::string ansi;
    if (n <= 0 || static_cast<size_t>(n) >= sizeof link || !host_path_to_ansi(std::string(link, static_cast<size_t>(n)), &ansi))
        return 0;
    // A path that does not fit whole is a failure, never a shorter path.
    if (ansi.size() + 1 > size)
        return 0;
    ansi.copy(buf, ansi.size());
    buf[ansi.size()] = '\0';
    return static_cast<uint32_t>(ansi.size());
}

int os_to_wide(uint32_t code_page, const char* src, int src_len, uint16_t* dst, int dst_len)
{
    return cp_to_wide(code_page, src, src_len, dst, dst_len);
}

int os_to_narrow(uint32_t code_page, const uint16_t* src, int src_len, char* dst, int dst_len)
{
    return cp_to_narrow(code_page, src, src_len, dst, dst_len);
}

void os_ansi_lower(char* text)
{
    cp932_lower(text);
}

uint64_t os_size64(OsHandle h)
{
    PosixFile* f = find_handle(h);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0 || st.st_size < 0)
        return OS_INVALID_FILE_SIZE64;
    return static_cast<uint64_t>(st.st_size);
}

bool os_set_attributes(const char* path, uint32_t attributes)
{
    std::string host;
    struct stat st;
    if (fault_injected(FAULT_SET_ATTRIBUTES))
        return false;
    // On the name itself: what a planted link points to is never changed.
    if (!host_path(path, &host) || lstat(host.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    // The extended attribute changes only while the file is writable, so it
    // is set after write permission is given and before it is taken.
    if (attributes & OS_ATTRIBUTE_READONLY)
        return set_dos_attributes(host, attributes) &&
               change_mode(host, st.st_mode & 07777 & ~(S_IWUSR | S_IWGRP | S_IWOTH));
    return change_mode(host, (st.st_mode & 07777) | S_IWUSR) && set_dos_attributes(host, attributes);
}

void os_wide_lower(uint16_t* units, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
        units[i] = unicode_lower(units[i]);
}

bool os_free_space(const char* dir, uint64_t* bytes)
{
    std::string host;
    struct stat st;
    struct statvfs fs;
    if (!host_path(dir, &host) || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        statvfs(host.c_str(), &fs) != 0)
        return false;
    // f_bavail, not f_bfree: blocks kept for root are not the caller's to use,
    // as a quota's are not under GetDiskFreeSpaceExA.
    *bytes = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    return true;
}

uint32_t os_last_error()
{
    return static_cast<uint32_t>(errno);
}

void os_error_text(uint32_t error, char* out, uint32_t size)
{
    if (size == 0)
        return;
    out[0] = '\0';
    if (error == 0)
        return;
    const char* text = std::strerror(static_cast<int>(error));
    std::snprintf(out, size, "%s", text ? text : "");
}

bool os_hard_link(const char* existing, const char* new_name)
{
    std::string from, to;
    if (fault_injected(FAULT_LINK))
        return false;
    if (!host_path(existing, &from) || !host_path(new_name, &to))
        return false;
    // link() makes the new name exclusively and, on Linux, links a symbolic
    // link itself rather than what it points to.
    if (link(from.c_str(), to.c_str()) != 0)
        return false;
    host_folder_changed(to);
    return true;
}

bool os_error_transient(uint32_t error)
{
    // EBUSY: the layer's sharing violation. EACCES and EPERM: access refused,
    // which a file held by another program or made immutable for a moment gives.
    return error == EBUSY || error == EACCES || error == EPERM || error == ETXTBSY;
}

void os_sleep_ms(uint32_t ms)
{
    struct timespec t;
    t.tv_sec = static_cast<time_t>(ms / 1000);
    t.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}
