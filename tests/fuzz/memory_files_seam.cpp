// The seam's file functions over the in-memory tree, put in place of the
// posix layer's at link time. The linker's --wrap=SYMBOL sends every call to
// SYMBOL to __wrap_SYMBOL and keeps the original reachable as __real_SYMBOL:
// each function here takes its posix twin's calls (TREE_TAKES) and, while the
// tree is switched off, hands them on to it (DISK_GIVES), so one program can
// run over both. The posix functions themselves never ask which is in use.
//
// The symbols are the seam's C++ names on x86-64 Linux. memory_files.cmake
// reads the --wrap list from the TREE_TAKES lines below; a symbol that names
// no seam function fails the link, because its __real_ has no definition.
#include <cerrno>
#include <cstdint>

#include "memory_files.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"

#define TREE_TAKES(symbol) __asm__("__wrap_" symbol)
#define DISK_GIVES(symbol) __asm__("__real_" symbol)

OsHandle tree_open_read(const char* path) TREE_TAKES("_Z12os_open_readPKc");
OsHandle disk_open_read(const char* path) DISK_GIVES("_Z12os_open_readPKc");
OsHandle tree_open_read(const char* path)
{
    if (!memory_files_in_use())
        return disk_open_read(path);
    return fault_injected(FAULT_OPEN_READ) ? OS_INVALID_HANDLE : memory_open(path, MEMORY_READ);
}

OsHandle tree_create_write(const char* path) TREE_TAKES("_Z15os_create_writePKc");
OsHandle disk_create_write(const char* path) DISK_GIVES("_Z15os_create_writePKc");
OsHandle tree_create_write(const char* path)
{
    if (!memory_files_in_use())
        return disk_create_write(path);
    return fault_injected(FAULT_CREATE_WRITE) ? OS_INVALID_HANDLE : memory_open(path, MEMORY_CREATE_ALWAYS);
}

OsHandle tree_create_new(const char* path) TREE_TAKES("_Z13os_create_newPKc");
OsHandle disk_create_new(const char* path) DISK_GIVES("_Z13os_create_newPKc");
OsHandle tree_create_new(const char* path)
{
    if (!memory_files_in_use())
        return disk_create_new(path);
    // Counted with the other creates, as on disk.
    return fault_injected(FAULT_CREATE_WRITE) ? OS_INVALID_HANDLE : memory_open(path, MEMORY_CREATE_NEW);
}

OsHandle tree_open_read_regular(const char* path) TREE_TAKES("_Z20os_open_read_regularPKc");
OsHandle disk_open_read_regular(const char* path) DISK_GIVES("_Z20os_open_read_regularPKc");
OsHandle tree_open_read_regular(const char* path)
{
    if (!memory_files_in_use())
        return disk_open_read_regular(path);
    // The tree holds regular files only.
    return fault_injected(FAULT_OPEN_READ) ? OS_INVALID_HANDLE : memory_open(path, MEMORY_READ);
}

OsHandle tree_open_write(const char* path) TREE_TAKES("_Z13os_open_writePKc");
OsHandle disk_open_write(const char* path) DISK_GIVES("_Z13os_open_writePKc");
OsHandle tree_open_write(const char* path)
{
    if (!memory_files_in_use())
        return disk_open_write(path);
    return fault_injected(FAULT_OPEN_WRITE) ? OS_INVALID_HANDLE : memory_open(path, MEMORY_OPEN_WRITE);
}

uint32_t tree_read(OsHandle h, void* dst, uint32_t n) TREE_TAKES("_Z7os_readmPvj");
uint32_t disk_read(OsHandle h, void* dst, uint32_t n) DISK_GIVES("_Z7os_readmPvj");
uint32_t tree_read(OsHandle h, void* dst, uint32_t n)
{
    if (!memory_files_in_use())
        return disk_read(h, dst, n);
    return fault_transfer_allowed(FAULT_READ, &n) ? memory_read(h, dst, n) : 0;
}

uint32_t tree_write(OsHandle h, const void* src, uint32_t n) TREE_TAKES("_Z8os_writemPKvj");
uint32_t disk_write(OsHandle h, const void* src, uint32_t n) DISK_GIVES("_Z8os_writemPKvj");
uint32_t tree_write(OsHandle h, const void* src, uint32_t n)
{
    if (!memory_files_in_use())
        return disk_write(h, src, n);
    return fault_transfer_allowed(FAULT_WRITE, &n) ? memory_write(h, src, n) : 0;
}

uint32_t tree_seek(OsHandle h, uint32_t pos) TREE_TAKES("_Z7os_seekmj");
uint32_t disk_seek(OsHandle h, uint32_t pos) DISK_GIVES("_Z7os_seekmj");
uint32_t tree_seek(OsHandle h, uint32_t pos)
{
    if (!memory_files_in_use())
        return disk_seek(h, pos);
    return fault_injected(FAULT_SEEK) ? OS_INVALID_POSITION : memory_seek(h, pos);
}

uint32_t tree_size(OsHandle h) TREE_TAKES("_Z7os_sizem");
uint32_t disk_size(OsHandle h) DISK_GIVES("_Z7os_sizem");
uint32_t tree_size(OsHandle h)
{
    if (!memory_files_in_use())
        return disk_size(h);
    return memory_size(h);
}

uint64_t tree_size64(OsHandle h) TREE_TAKES("_Z9os_size64m");
uint64_t disk_size64(OsHandle h) DISK_GIVES("_Z9os_size64m");
uint64_t tree_size64(OsHandle h)
{
    if (!memory_files_in_use())
        return disk_size64(h);
    const uint32_t size = memory_size(h);
    return size == OS_INVALID_FILE_SIZE ? OS_INVALID_FILE_SIZE64 : size;
}

bool tree_flush(OsHandle h) TREE_TAKES("_Z8os_flushm");
bool disk_flush(OsHandle h) DISK_GIVES("_Z8os_flushm");
bool tree_flush(OsHandle h)
{
    if (!memory_files_in_use())
        return disk_flush(h);
    return !fault_injected(FAULT_FLUSH) && memory_flush(h);
}

void tree_close(OsHandle h) TREE_TAKES("_Z8os_closem");
void disk_close(OsHandle h) DISK_GIVES("_Z8os_closem");
void tree_close(OsHandle h)
{
    if (!memory_files_in_use()) {
        disk_close(h);
        return;
    }
    memory_close(h);
}

bool tree_set_normal_attributes(const char* path) TREE_TAKES("_Z24os_set_normal_attributesPKc");
bool disk_set_normal_attributes(const char* path) DISK_GIVES("_Z24os_set_normal_attributesPKc");
bool tree_set_normal_attributes(const char* path)
{
    if (!memory_files_in_use())
        return disk_set_normal_attributes(path);
    return !fault_injected(FAULT_SET_ATTRIBUTES) && memory_set_read_only(path, false);
}

bool tree_set_readonly(const char* path) TREE_TAKES("_Z15os_set_readonlyPKc");
bool disk_set_readonly(const char* path) DISK_GIVES("_Z15os_set_readonlyPKc");
bool tree_set_readonly(const char* path)
{
    if (!memory_files_in_use())
        return disk_set_readonly(path);
    return !fault_injected(FAULT_SET_ATTRIBUTES) && memory_set_read_only(path, true);
}

bool tree_set_attributes(const char* path, uint32_t attributes) TREE_TAKES("_Z17os_set_attributesPKcj");
bool disk_set_attributes(const char* path, uint32_t attributes) DISK_GIVES("_Z17os_set_attributesPKcj");
bool tree_set_attributes(const char* path, uint32_t attributes)
{
    if (!memory_files_in_use())
        return disk_set_attributes(path, attributes);
    // The tree keeps no hidden or system attributes.
    return !fault_injected(FAULT_SET_ATTRIBUTES) && memory_set_read_only(path, (attributes & OS_ATTRIBUTE_READONLY) != 0);
}

bool tree_move_replace(const char* from, const char* to) TREE_TAKES("_Z15os_move_replacePKcS0_");
bool disk_move_replace(const char* from, const char* to) DISK_GIVES("_Z15os_move_replacePKcS0_");
bool tree_move_replace(const char* from, const char* to)
{
    if (!memory_files_in_use())
        return disk_move_replace(from, to);
    return !fault_injected(FAULT_MOVE) && memory_move(from, to);
}

bool tree_delete_file(const char* path) TREE_TAKES("_Z14os_delete_filePKc");
bool disk_delete_file(const char* path) DISK_GIVES("_Z14os_delete_filePKc");
bool tree_delete_file(const char* path)
{
    if (!memory_files_in_use())
        return disk_delete_file(path);
    return !fault_injected(FAULT_DELETE) && memory_delete(path);
}

uint32_t tree_get_attributes(const char* path) TREE_TAKES("_Z17os_get_attributesPKc");
uint32_t disk_get_attributes(const char* path) DISK_GIVES("_Z17os_get_attributesPKc");
uint32_t tree_get_attributes(const char* path)
{
    if (!memory_files_in_use())
        return disk_get_attributes(path);
    return fault_injected(FAULT_GET_ATTRIBUTES) ? OS_INVALID_ATTRIBUTES : memory_attributes(path);
}

// The tree has no hard links, as a FAT volume has none: the commit then moves
// the old content aside instead.
bool tree_hard_link(const char* existing, const char* new_name) TREE_TAKES("_Z12os_hard_linkPKcS0_");
bool disk_hard_link(const char* existing, const char* new_name) DISK_GIVES("_Z12os_hard_linkPKcS0_");
bool tree_hard_link(const char* existing, const char* new_name)
{
    if (!memory_files_in_use())
        return disk_hard_link(existing, new_name);
    if (!fault_injected(FAULT_LINK))
        errno = EPERM;
    return false;
}
