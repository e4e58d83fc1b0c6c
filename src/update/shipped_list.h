// The shipped hash list: the first payload entry whose whole name, lower-cased,
// is "kxq.hvl", read as a hash list. It places every other entry in its folder
// and gives the checksum its staged copy must have.
#pragma once
#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "platform/file_handle.h"

// Only the first entry of that name is tried, whatever happens to it.
// *version := 1 or 2 for a list read in full (possibly of 0 records); 0 when
// the payload holds no such entry (a publisher may ship none: entries then
// install under their bare names); SHIPPED_UNREADABLE when the entry is there
// but its bytes are no whole list (its position wraps past 2^32, or as
// read_hash_list_at), which is a damaged payload.
const int SHIPPED_UNREADABLE = HASH_LIST_UNREADABLE;
HashList load_shipped(FileHandle& payload, const PayloadIndex& index, int* version);
// The same, without telling why a list is empty.
HashList load_shipped(FileHandle& payload, const PayloadIndex& index);
