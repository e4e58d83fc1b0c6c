// Where each payload entry installs, as the transaction decides it, and the
// path rules applied to all of them together. patchtool's inspect reports
// through the same functions, so it flags exactly what the updater refuses.
#pragma once
#include <cstdint>
#include <vector>
#include "hash_list/hash_list.h"
#include "path_rules/target_rules.h"
#include "payload/payload.h"
#include "platform/platform.h"

// path := the path entry j installs under: the path of the first shipped
// record with the entry's file name (returned), else the entry's own name
// (null returned). A record path without a terminator stops at its field.
const HashRecord* entry_install_path(const PayloadIndex& index, const HashList& shipped, uint32_t j,
                                     char path[OS_PATH_SIZE]);
// The path is the shipped hash list's own, which is rewritten, never copied.
bool is_hash_list_path(const char* path);
// *verdicts := check_targets over every entry's install path, the hash list's
// entries writing nothing. True when the updater would write them all.
bool check_payload_targets(const PayloadIndex& index, const HashList& shipped, std::vector<TargetVerdict>* verdicts);
