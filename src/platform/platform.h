// The one interface through which the core reaches the operating system.
// platform_win32.cpp implements it with exactly the Win32 calls the updater is
// defined with; platform_posix.cpp with our own layer that behaves like Wine
// over a Linux folder ("\" as separator, code page 932 names stored as UTF-8,
// components matched without regard to case, read-only = no write permission).
#pragma once
#include <cstdint>
#include "windows_text/code_page_ids.h"

// A raw OS file handle value. All bits set means "nothing open", as
// INVALID_HANDLE_VALUE does; every operation on it fails.
typedef uintptr_t OsHandle;
const OsHandle OS_INVALID_HANDLE = ~static_cast<OsHandle>(0);

const uint32_t OS_INVALID_FILE_SIZE = 0xFFFFFFFFu;   // GetFileSize failure
const uint32_t OS_INVALID_ATTRIBUTES = 0xFFFFFFFFu;  // GetFileAttributesA: no such file
const uint32_t OS_INVALID_POSITION = 0xFFFFFFFFu;    // SetFilePointer failure
const uint32_t OS_ATTRIBUTE_READONLY = 0x1;
const uint32_t OS_ATTRIBUTE_DIRECTORY = 0x10;
const uint32_t OS_ATTRIBUTE_ARCHIVE = 0x20;    // what an ordinary file reports
const uint32_t OS_PATH_SIZE = 260;  // MAX_PATH, terminator included

// CreateFileA(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
// FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN). OS_INVALID_HANDLE on failure.
OsHandle os_open_read(const char* path);
// CreateFileA(GENERIC_WRITE, no sharing, CREATE_ALWAYS, same flags): truncates an
// existing file; fails on a read-only one. OS_INVALID_HANDLE on failure.
OsHandle os_create_write(const char* path);
// CreateFileA(GENERIC_WRITE, no sharing, OPEN_EXISTING, FILE_ATTRIBUTE_ARCHIVE):
// an existing file, kept as it is, for a later flush. OS_INVALID_HANDLE on failure.
OsHandle os_open_write(const char* path);

// The guards against a game folder that someone else can write. The updater
// runs elevated over such folders, so a name planted there must never redirect
// one of its reads or writes to a file elsewhere. Links and junctions among the
// folders above the last component are followed (players move game data to
// other drives that way); the last component is taken as the name itself.
//
// CreateFileA(GENERIC_WRITE, no sharing, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE |
// FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT): a file that did not
// exist. Any existing name fails, a link included: CREATE_NEW alone would
// follow a dangling link and create its target. OS_INVALID_HANDLE on failure.
OsHandle os_create_new(const char* path);
// Shared reading (as os_open_read) of a regular file on a disk, named by the
// path itself: a symbolic link or junction at the last component, a folder, a
// pipe or a device fails, as an unreadable file does, and opening never waits
// for a writer. The name is inspected through FILE_FLAG_OPEN_REPARSE_POINT,
// then opened as os_open_read does; a name swapped in between fails.
// Reparse points that are not name surrogates (compressed or deduplicated
// files) are ordinary files. OS_INVALID_HANDLE on failure.
OsHandle os_open_read_regular(const char* path);
// One ReadFile / WriteFile call; the count transferred, 0 on failure.
uint32_t os_read(OsHandle h, void* dst, uint32_t n);
uint32_t os_write(OsHandle h, const void* src, uint32_t n);
// SetFilePointer(pos, no high part, FILE_BEGIN): new position or OS_INVALID_POSITION.
uint32_t os_seek(OsHandle h, uint32_t pos);
// GetFileSize low part; OS_INVALID_FILE_SIZE on failure (a closed handle).
uint32_t os_size(OsHandle h);
// FlushFileBuffers: true once the file's data has reached the disk.
bool os_flush(OsHandle h);
void os_close(OsHandle h);

// Helpers on paths. Windows applies SetFileAttributesA, MoveFileExA and
// DeleteFileA to a symbolic link itself, never to what it points to; the posix
// layer does the same (a link has no read-only attribute of its own there).
bool os_set_normal_attributes(const char* path);           // SetFileAttributesA(NORMAL)
bool os_set_readonly(const char* path);                    // for tests and tools
bool os_move_replace(const char* from, const char* to);    // MoveFileExA(REPLACE_EXISTING | WRITE_THROUGH)
bool os_delete_file(const char* path);                     // DeleteFileA
uint32_t os_get_attributes(const char* path);              // GetFileAttributesA
// Whether a move or delete could replace the file at `path` now. False, with
// the sharing violation as the last error, while another program holds it
// open without delete sharing, as a running game holds its archives: such a
// file still takes a second name, which could then not be removed again.
// Anything else (a missing file included) is left for the move to report.
bool os_file_replaceable(const char* path);
// GetModuleFileNameA(no module, buf, size): the length copied, 0 on failure.
uint32_t os_own_path(char* buf, uint32_t size);

// MultiByteToWideChar / WideCharToMultiByte with no flags and no default
// character, for code pages 932 and 65001. Lengths in units; -1 for a
// NUL-terminated source (the terminator is then converted too). With dst_len 0
// the required length is returned. 0 on failure.
int os_to_wide(uint32_t code_page, const char* src, int src_len, uint16_t* dst, int dst_len);
int os_to_narrow(uint32_t code_page, const uint16_t* src, int src_len, char* dst, int dst_len);

// The multibyte lower-casing of the ANSI code page (932), in place: single-byte
// A-Z become a-z, other single bytes stay; each double-byte character is mapped
// as one unit through MultiByteToWideChar, LCMapStringW(LCMAP_LOWERCASE) and
// WideCharToMultiByte, so a trail byte is never folded on its own. Never
// lengthens the text; never reads past its terminator.
void os_ansi_lower(char* text);

// GetFileSize with its high part: the whole size of an open file, which the
// low part alone cuts to its last 32 bits (4 GiB + 100 bytes would read as
// 100). OS_INVALID_FILE_SIZE64 on failure (a closed handle).
const uint64_t OS_INVALID_FILE_SIZE64 = ~static_cast<uint64_t>(0);
uint64_t os_size64(OsHandle h);

const uint32_t OS_ATTRIBUTE_HIDDEN = 0x2;
const uint32_t OS_ATTRIBUTE_SYSTEM = 0x4;
// SetFileAttributesA(path, attributes): read-only, hidden and system as given
// (the others are ignored); false on failure.
bool os_set_attributes(const char* path, uint32_t attributes);

// LCMapStringW(LCMAP_LOWERCASE) of each of the n UTF-16 units, in place, unit
// by unit: the system's lower-case mapping, which also folds full-width and
// Greek letters. A unit the call cannot map stays as it is.
void os_wide_lower(uint16_t* units, uint32_t n);

// GetDiskFreeSpaceExA(dir): the bytes the caller may still write on the file
// system that holds the existing folder `dir` (quotas counted). False when
// the folder cannot be asked about (missing, not a folder, path too long).
bool os_free_space(const char* dir, uint64_t* bytes);

// The system's error number of the last call that failed on this thread
// (GetLastError; errno in the posix layer), for the run log. It says why, it
// never decides anything.
uint32_t os_last_error();
// That error's text (FormatMessageA in the system's language; strerror) into
// `out`, cut to fit and always terminated; "" when there is none.
void os_error_text(uint32_t error, char* out, uint32_t size);

// CreateHardLinkA(new_name, existing, null): a second name for the file
// `existing` (the name itself: a link there is linked as a link), created
// exclusively, so an existing `new_name` fails. False, too, where the volume
// has no hard links (FAT); the caller then moves the file aside instead.
bool os_hard_link(const char* existing, const char* new_name);
// The error (os_last_error) is one that goes away by itself: a sharing
// violation or a lock (a scanner or indexer holding the file for a moment),
// or an access refused while such a program has it open.
bool os_error_transient(uint32_t error);
// Sleep(ms).
void os_sleep_ms(uint32_t ms);
