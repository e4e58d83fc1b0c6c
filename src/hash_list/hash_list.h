// The installed and the shipped hash lists, and the seven operations the
// transaction calls. Names are compared after the multibyte lower-casing of the
// ANSI code page (name_compare.h).
#pragma once
#include <cstdint>
#include <vector>
#include "checksum/checksum.h"
#include "hash_list/hash_list_format.h"
#include "platform/file_handle.h"

typedef std::vector<HashRecord> HashList;

// Loads dir\KXQ.hvl with `file` (closed on entry). False: missing, unopenable,
// not a regular file (a link, a pipe), path too long, magic not "WQX_V2__" or
// a count above HASH_LIST_MAX_RECORDS (file closed). True otherwise; a short
// header or short records leave `file` open (so write_back fails), records
// zero-filled from the point the bytes stopped. Never allocates more than the
// file can supply.
bool load_installed(const char* dir, FileHandle& file, HashListHeader* header, HashList* list);
// Reads a whole hash list (version 1 or 2, widened) that starts at `position`
// of an open file, such as the shipped list inside a payload. *version := 1 or
// 2 for a list read in full (possibly of 0 records); HASH_LIST_UNREADABLE, with
// no records, for anything else: unreachable, a header shorter than 16 bytes,
// an unknown magic, a count the file cannot supply, or a failed read.
const int HASH_LIST_UNREADABLE = -1;
HashList read_hash_list_at(FileHandle& file, uint32_t position, int* version);
// Parses a hash list held in memory (patchtool); version 1 or 2, widened.
// False for a short header, unknown magic, short records or a count above
// HASH_LIST_MAX_RECORDS. *version := 1 or 2.
bool parse_hash_list(const uint8_t* data, uint32_t size, HashList* records, int* version);
// The file name and extension of `path`: what follows the last "\" or "/", or a
// one-character drive prefix and ":"; a trail byte is never a separator.
const char* path_file_part(const char* path);
// First shipped record whose file name plus extension matches `entry_name`.
const HashRecord* find_shipped(const HashList& shipped, const char* entry_name);
// Index of the first record whose whole path matches `path`, or -1.
int32_t find_installed(const HashList& list, const char* path);
// index != -1: replace record index's checksum; -1: append {path, checksum}.
void upsert(HashList* list, int32_t index, const char* path, const uint8_t checksum[8]);
// Rewrites dir\KXQ.hvl as version 2 (header as loaded, count updated) through a
// sibling file moved into place, so a failure leaves the old list whole. False
// when `file` is still open from the load, the list cannot be created (read-only
// is not cleared) or a write falls short.
bool write_back(const char* dir, FileHandle& file, const HashListHeader& header, const HashList& list);
// False when dir\KXQ.hvl is read-only or a folder, which write_back refuses
// to replace; true otherwise (also when the path does not fit: the load has
// failed then).
bool hash_list_replaceable(const char* dir);
// Drops records whose file or folder no longer exists, in the file's own version;
// a record whose composed path does not fit is kept. Silent on failure, and the
// old list survives any failure.
void prune_missing(const char* dir);
