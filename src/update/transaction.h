// The update transaction: stage every payload entry as "<target>.tmp" while
// checksumming it, verify against the shipped hash list, and only then move the
// staged files over their targets, rewrite KXQ.hvl and merge uninst.lst.
#pragma once
#include "result/update_result.h"
#include "update/progress.h"

// Runs the update from the running executable's own payload into `dir`.
UpdateResult run_update(const char* dir, ProgressView& progress);
// The same from the payload of the updater file `payload_path` (patchtool apply).
UpdateResult run_update_from(const char* payload_path, const char* dir, ProgressView& progress);
