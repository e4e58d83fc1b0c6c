// UpdateResult: the transaction's 32-bit outcome. The process exit code carries
// it as a signed integer (0x80000006 exits as -2147483642).
#pragma once
#include <cstdint>

typedef uint32_t UpdateResult;

const UpdateResult UPDATE_OK = 0;
const UpdateResult UPDATE_E_DAMAGED = 0x80000001u;
const UpdateResult UPDATE_E_TOO_MANY_ENTRIES = 0x80000002u;
const UpdateResult UPDATE_E_RESERVED_3 = 0x80000003u;  // never produced; reported as damaged
const UpdateResult UPDATE_E_FAILED = 0x80000004u;
const UpdateResult UPDATE_E_UNINST_LIST = 0x80000005u;
const UpdateResult UPDATE_E_CANCELLED = 0x80000006u;
const UpdateResult UPDATE_E_CLOSED = 0x80000007u;

// Short English name of a result ("UPDATE_E_FAILED"), for tools and tests;
// "UPDATE_E_UNKNOWN" for a value that is no result.
const char* update_result_name(UpdateResult result);
// What a result means for the installation, in the tools' words; "Unknown
// result." for a value that is no result.
const char* result_meaning(UpdateResult result);
// The exit code of a program whose status keeps only its low byte (patchtool
// apply, on Linux): 0 for success, else the result's low byte, which tells
// the results apart.
int result_exit_code(UpdateResult result);
