// An in-memory folder tree that stands in for the disk while it is switched
// on, so that fuzz targets run the list readers and writers at memory speed
// under the same rules as on disk: "\" and "/" both separate, names match
// after the ANSI lower-casing, paths of 260 bytes or more fail, a file is
// created only in an existing folder, folders are neither opened nor
// replaced, a read-only file is neither written, replaced nor deleted, and an
// open file is neither deleted nor replaced (nothing here shares writing or
// deletion). Links, pipes and devices do not exist in it. Process-wide and
// single-threaded like the fault hook, which still counts and spoils every
// operation on it.
//
// No shipped program contains it: memory_files_seam.cpp puts the tree in
// place of the posix layer's file functions at link time, in the fuzz targets
// and the tree's own test only (memory_files.cmake).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/platform.h"

// Switches the seam's file functions to an empty tree (true) or back to the
// disk (false). Either way every file and folder of the tree is dropped; handles
// into it are invalid from then on.
void memory_files_use(bool on);
bool memory_files_in_use();
// Makes a folder; its parent need not exist. False for a bad path or a file
// of that name.
bool memory_files_add_folder(const char* path);
// Creates or replaces a file, writable, with `size` bytes. False when its
// folder is missing, the name is a folder or the file is open.
bool memory_files_put(const char* path, const void* data, size_t size);
// *out := the file's bytes. False when there is no such file.
bool memory_files_get(const char* path, std::string* out);

// For memory_files_seam.cpp: the operations of platform.h over the tree, with
// the same results as on disk; the fault hook is the caller's.
enum MemoryOpen { MEMORY_READ, MEMORY_CREATE_ALWAYS, MEMORY_CREATE_NEW, MEMORY_OPEN_WRITE };
OsHandle memory_open(const char* path, MemoryOpen how);
uint32_t memory_read(OsHandle h, void* dst, uint32_t n);
uint32_t memory_write(OsHandle h, const void* src, uint32_t n);
uint32_t memory_seek(OsHandle h, uint32_t pos);
uint32_t memory_size(OsHandle h);
bool memory_flush(OsHandle h);
void memory_close(OsHandle h);
bool memory_set_read_only(const char* path, bool read_only);
bool memory_move(const char* from, const char* to);
bool memory_delete(const char* path);
uint32_t memory_attributes(const char* path);
