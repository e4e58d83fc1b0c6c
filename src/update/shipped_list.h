// The shipped hash list: the first payload entry whose whole name, lower-cased,
// is "kxq.hvl", read as a hash list. It places every other entry in its folder
// and gives the checksum its staged copy must have.
#pragma once
#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "platform/file_handle.h"

// Only the first entry of that name is tried, whatever happens to it.
// *version as read_hash_list_at gives it; 0 (and no records) also when the
// payload holds no such entry or its position wraps past 2^32.
const int SHIPPED_UNREADABLE = HASH_LIST_UNREADABLE;
HashList load_shipped(FileHandle& payload, const PayloadIndex& index, int* version);
// The same, without telling why a list is empty.
HashList load_shipped(FileHandle& payload, const PayloadIndex& index);
