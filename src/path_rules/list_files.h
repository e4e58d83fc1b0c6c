// The files the engine itself keeps in the installation's root: the two lists
// and the siblings it writes them through before moving them into place. No
// payload entry may be installed over one of them (target_rules.h).
#pragma once

const char HASH_LIST_NAME[] = "KXQ.hvl";
const char UNINSTALL_LIST_NAME[] = "uninst.lst";
// "<list>.new": written, flushed and moved over the list.
const char LIST_REWRITE_SUFFIX[] = ".new";
